#pragma once

#include "settings/Fonts.h"
#include "settings/Settings.h"

#include <QSize>

#include <vector>

class QWidget;

namespace settings {

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

// Paints `window` and `controls` in `scheme`: the window and its pages in the main
// background, titles in their colour on it, and each kind of control in its own pair of
// background and text colours. A role the scheme does not name keeps what it had, so
// palettes set apart from the scheme (a sample, a hint) are left alone.
void applyColorScheme(QWidget* window, const ColorScheme& scheme, const SchemedControls& controls);

// Gives `window` the shared fonts and then scales it to `factor` and centres it on a
// screen of `screen` size (see scaleAndCentre for `moveUp`). The fonts go first: the
// scaling records each widget's font size as its design the first time it meets it.
void fitWindow(QWidget* window, const SharedFonts& fonts, double factor, QSize screen, bool moveUp = true);

} // namespace settings
