#pragma once

#include <QChar>
#include <QString>

namespace edit {

// The input mask of a date box: two digit places for the month and the day and four for
// the year, in the order of the date pattern `pattern` (m/d/y language), joined by
// `separator`. Every digit place may stay empty, so partial dates can be typed and then
// refused by the date check; unfilled places show "_". The widget's text() then holds the
// typed digits and the separators, so an empty box reads as two separators ("//").
QString dateInputMask(const QString& pattern, QChar separator);

// `text` (a date as the date format writes it) laid out for a box of dateInputMask(pattern,
// separator): each part's digits to the right of its places, the places before them
// left unfilled, as fixed-width dates read. Text that does not fit the mask is left as it is.
QString dateBoxText(const QString& text, const QString& pattern, QChar separator);

// A date box whose text has no digit is empty, whatever separators its mask shows.
bool isEmptyDateText(const QString& text);

// `text` with every `from` replaced by `to`: carries a date box's text over to a new mask.
QString changeDateSeparator(QString text, QChar from, QChar to);

} // namespace edit
