#pragma once

class QLineEdit;

namespace edit {

// Limits what the user types or pastes into `line` to `length` characters (0: no limit),
// without ever cutting a text the program puts in. A value loaded from a table that
// another program wrote may be longer than its box allows; it must be stored back as it
// was unless the user changes it. Typing can make the text neither longer than `length`
// nor, once it is longer, longer than it already is; a paste keeps what fits.
//
// Unlike QLineEdit::setMaxLength, which cuts every text set. Replaces any validator of
// `line`; the limit lives as long as `line`.
void limitTyping(QLineEdit* line, int length);

} // namespace edit
