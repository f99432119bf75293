#pragma once

#include <QChar>
#include <QString>

class QLineEdit;

namespace edit {

// Makes `box` a date box of the date pattern `pattern` (m/d/y language) and `separator`.
// The box shows a date exactly as the format writes it ("5/9/90", "05.09.1990"): no
// input mask, so no fill characters, and nothing typed in place can shift a digit into
// another part. What the user types is limited to what can become such a date: digits
// and the separator, at most three parts, four digits for the year and two for the
// others. A text set by the program is taken whole. An empty box shows the pattern.
// Called again when the format changes.
void setUpDateBox(QLineEdit* box, const QString& pattern, QChar separator);

// A date box whose text has no digit is empty, whatever separators or blanks it holds.
bool isEmptyDateText(const QString& text);

// `text` with every `from` replaced by `to`: carries a date text over to a new separator.
QString changeDateSeparator(QString text, QChar from, QChar to);

} // namespace edit
