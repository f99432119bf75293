#pragma once

#include "settings/Fonts.h"
#include "settings/Settings.h"

#include <QSize>

#include <vector>

class QPalette;
class QWidget;

namespace settings {

// A widget whose property of this name is true keeps the palette it was given, with
// everything inside it, when the default rule colours its window: a colour sample, a hint.
inline constexpr char kOwnColors[] = "ownColors";

// The controls of a window by the part of its colour scheme each one shows. Every
// pointer must be live while applyColorScheme() runs; none is kept.
struct SchemedControls {
    std::vector<QWidget*> pages{};       // filled with the window's background, as the window is
    std::vector<QWidget*> majorTitles{}; // labels or group boxes whose text is a major title
    std::vector<QWidget*> minorTitles{};
    std::vector<QWidget*> edits{};
    std::vector<QWidget*> combos{};
    std::vector<QWidget*> lists{}; // list boxes, trees and grids
    std::vector<QWidget*> radios{};
    std::vector<QWidget*> checks{};
};

// The light palette of the Fusion style, the same on every desktop, with every role
// set. A scheme is painted over it, so what a scheme does not colour (buttons, scroll
// bars, an edit box the window does not name) stays dark on light under a dark theme.
const QPalette& lightPalette();

// Paints `window` and `controls` in `scheme`, the one colouring every window does each
// time it is shown. The window gets the light palette with the main background and,
// for whatever text it does not name, the minor title colour; each named control gets
// its own pair of background and text colours. Text disabled in a control is drawn
// halfway to its background, so it still looks disabled in every scheme.
void applyColorScheme(QWidget* window, const ColorScheme& scheme, const SchemedControls& controls);
// The same by the default rule, for windows no finer assignment is made for.
void applyColorScheme(QWidget* window, const ColorScheme& scheme);

// The default rule: group boxes show major titles, other labels minor titles, and each
// edit, combo, list or grid, radio button and check box its own colours; the pages of a
// notebook are filled. The parts of a compound control (a combo box's edit, a grid's
// cell editor), child windows and widgets marked kOwnColors are left out.
SchemedControls defaultSchemedControls(QWidget* window);

// Colours `window` by the default rule from `scheme` each time it is shown, so a window
// needs this one call when it is built. `scheme` must outlive the window; it is read at
// each showing, so a scheme changed in between shows at the next.
void colorOnEveryShow(QWidget* window, const ColorScheme& scheme);

// Gives `window` the shared fonts and then scales it to `factor` and centres it on a
// screen of `screen` size (see scaleAndCentre for `moveUp`). The fonts go first: the
// scaling records each widget's font size as its design the first time it meets it.
void fitWindow(QWidget* window, const SharedFonts& fonts, double factor, QSize screen, bool moveUp = true);

} // namespace settings
