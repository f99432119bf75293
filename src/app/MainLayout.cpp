#include "MainLayout.h"

namespace mainlayout {
namespace {

constexpr int kFrameLeft = 3;
constexpr int kGridLeft = 7;

struct Design {
    QRect navigator; // its left is ignored in mode 3
    int searchOnTop;
    int countTop;
    int booksTop;
    int frameTop;
    int gridTitleTop;
    int gridTop;
};

std::optional<Design> designOf(int mode)
{
    switch (mode) {
    case SpeedButtons:
        return Design{{424, 3, 241, 25}, 44, 38, 52, 34, 38, 70};
    case LetteredButtons:
        return Design{{400, 47, 221, 25}, 96, 90, 105, 86, 90, 122};
    case NoButtons:
        return Design{{0, 8, 201, 25}, 14, 8, 23, 4, 8, 40};
    default:
        return std::nullopt;
    }
}

} // namespace

std::optional<Frame> frameFor(int mode, QSize client)
{
    std::optional<Design> design = designOf(mode);
    if (!design)
        return std::nullopt;
    const int width = client.width();
    const int height = client.height();
    Frame frame;
    frame.searchOnTop = design->searchOnTop;
    frame.countTop = design->countTop;
    frame.booksTop = design->booksTop;
    // The frame ends 3 pixels above the bottom, the grid 7.
    frame.gridFrame = QRect(kFrameLeft, design->frameTop, width - 6, height - design->frameTop - 3);
    frame.gridTitleTop = design->gridTitleTop;
    frame.grid = QRect(kGridLeft, design->gridTop, width - 14, height - design->gridTop - 7);
    if (mode == NoButtons)
        frame.navigatorLeft = width - 207;
    return frame;
}

std::optional<Layout> forMode(int mode, QSize client)
{
    std::optional<Frame> frame = frameFor(mode, client);
    if (!frame)
        return std::nullopt;
    Layout layout;
    layout.letteredButtons = mode == LetteredButtons;
    layout.speedPanel = mode == SpeedButtons;
    layout.navigationLabel = mode == LetteredButtons;
    layout.navigator = designOf(mode)->navigator;
    if (frame->navigatorLeft)
        layout.navigator.moveLeft(*frame->navigatorLeft);
    layout.frame = *frame;
    return layout;
}

int minimumClientWidth(int mode)
{
    // The navigator's right edge and a margin as wide as the one mode 3 keeps.
    switch (mode) {
    case SpeedButtons:
        return 424 + 241 + 6;
    case LetteredButtons:
        return 400 + 221 + 6;
    default:
        return 480;
    }
}

} // namespace mainlayout
