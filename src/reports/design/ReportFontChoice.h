#pragma once

// A report font block as the design windows show and choose it. The block
// stores the name a Windows machine knows ("Arial"), while the screen shows
// the family fontconfig stands in for it.

#include "reports/definition/ReportDefinition.h"

#include <QColor>
#include <QFont>
#include <QString>

namespace reports {

// The font of a block as the screen draws it, and the block's colour (stored as 0x00BBGGRR).
QFont blockFont(const ReportFontBlock& block);
QColor blockColour(const ReportFontBlock& block);
std::int32_t windowsColour(const QColor& colour);

// How a block is shown in its box: name, a blank, size and "pt" ("Courier New 10pt").
QString blockText(const ReportFontBlock& block);

// A font the dialog returned, in whole points: its point size rounded, or a
// pixel size converted at `dotsPerInch`; at least 1.
int wholePoints(const QFont& font, double dotsPerInch);

// Stores the chosen font's name, size and styles in `block` and answers an
// empty text; or answers why the name cannot be stored, leaving `block` as it
// was. A family equal to what the stored name resolves to keeps the stored name.
QString storeChosenFont(const QFont& chosen, double dotsPerInch, ReportFontBlock& block);

} // namespace reports
