#pragma once

#include "settings/Settings.h"

#include <QColor>
#include <QFont>

class QWidget;

namespace settings {

// The installed family standing in for a Windows font name: Liberation Sans for
// "MS Sans Serif" and "Arial", Liberation Mono for "Courier New", Liberation Serif for
// "Times New Roman" (letter case ignored); any other name as it is.
QString qtFamily(const QString& windowsName);

// A font of a Windows height in pixels: a positive height is the cell height (ascent
// plus descent), a negative one the character height, 0 the default size.
QFont fontFromWindowsHeight(const QString& windowsName, int height);

// The point size of a new font, which the label, edit and button fonts keep.
inline constexpr int kNewFontPointSize = 8;

// The five fonts shared by every window. The grid fonts carry their colour beside them.
struct SharedFonts {
    QFont gridTitle;
    QColor gridTitleColor;
    QFont grid;
    QColor gridColor;
    QFont label;
    QFont edit;
    QFont button;
};

SharedFonts makeSharedFonts(const Settings& settings);
// Puts the fonts' names, sizes, colours and styles back into `settings` before they are
// written. A family that stands in for the name already there keeps that name.
void storeSharedFonts(const SharedFonts& fonts, Settings& settings);

// Copies the family, bold and italic (never size or colour) of the label font to the
// labels, list boxes, check boxes, radio buttons and group boxes in `window`; of the
// edit font to line edits, combo boxes (with their drop-down lists) and tables; of the
// button font to push buttons.
void applyFonts(QWidget* window, const SharedFonts& fonts);

} // namespace settings
