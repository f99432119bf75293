#pragma once

#include <QRect>
#include <QSize>
#include <optional>

// Where the main window's controls go for each access mode. The numbers are
// the window's own design: every position is in pixels within the client area
// (the area below the menu bar).
namespace mainlayout {

enum AccessMode { SpeedButtons = 1, LetteredButtons = 2, NoButtons = 3 };

// The part of the layout that follows the client size; re-applied on every resize.
struct Frame {
    int searchOnTop = 0;
    int countTop = 0;
    int booksTop = 0;
    QRect gridFrame; // the bevel around the grid
    int gridTitleTop = 0;
    QRect grid;
    std::optional<int> navigatorLeft; // set in the one mode whose navigator follows the right edge
};

struct Layout {
    bool letteredButtons = false; // visible and enabled, with their bevels
    bool speedPanel = false;
    bool navigationLabel = false;
    int navigationLabelTop = 20;
    QRect navigator;
    Frame frame;
};

// The layout of `mode` for a client area of `client` size; nullopt for a mode
// other than 1, 2 or 3, which changes nothing.
std::optional<Layout> forMode(int mode, QSize client);
// What a resize re-applies; nullopt for an unknown mode.
std::optional<Frame> frameFor(int mode, QSize client);

// The smallest client width at which the controls of `mode` do not overlap.
int minimumClientWidth(int mode);

} // namespace mainlayout
