#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

namespace search {

// How a criteria cell is laid out, and taken apart again.
//
// A template is written in the grid's mask language: "c" any character,
// optional; "9" a digit, optional; "0" a digit, required; "\" makes the next
// character literal; "/" is the date separator; a trailing ";1" keeps the
// literals in the cell text.

// The template of row `row` (1-36) under `option` (1-4): "c" to the field
// width for character rows; "= ccccccccc;1" … for numbers; "= 99/99/0000;1" …
// for dates, or "= 0000/99/99;1" … when `yearFirst` (a date pattern that
// starts with the year).
QString criteriaTemplate(int row, int option, bool yearFirst = false);

// `pattern` as a QLineEdit input mask whose dates use `separator`. Qt's mask
// language differs: its "0" and "9" are swapped, letters such as A, N, D and
// the signs < and > are mask characters that must be escaped, and ";" starts
// the blank character, not the keep-literals flag.
QString qtInputMask(const QString& pattern, QChar separator);

// The input mask of row `row`'s criteria cell, or empty for a character row:
// its cell is plain text limited to the field width, so that blanks between
// words stay as typed.
QString criteriaMask(int row, int option, QChar separator, bool yearFirst = false);

// The entries of the operator list, in option order: " = ", " > ", " < ", " > X < ".
const QStringList& operatorNames();

// `text` without the first occurrence of option `option`'s sign ("=", ">" or
// "<"), trimmed.
QString withoutOperator(QString text, int option);

// "> a AND < b" as a range template lays it out, cut into its two bounds: the
// first "<" and the first ">" removed, split at the first "AND", each trimmed.
struct RangeBounds {
    QString lower;
    QString upper;
};
RangeBounds splitRange(QString text);

// A date the user never typed: nothing, or the template's two separators.
bool untouchedDate(QString text);

// The value typed in a cell under `option` (the lower bound of a range), or
// empty; for carrying a criterion over to another option.
QString firstValue(const QString& cell, int option, bool isDate);

// `value` (empty for none) as typed after option `option`'s sign: "> 1990".
QString withOperator(const QString& value, int option);

} // namespace search
