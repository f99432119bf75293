#pragma once

#include <QSize>
#include <QString>

class QWidget;

namespace settings {

// The four screen sizes a window can be scaled to, by the width of each.
inline constexpr int kScreenSizes[] = {640, 800, 1024, 1280};

// The scale factor for the "Window Size" setting on a screen of `screen` size:
// 1.25 for 800, 1.6 for 1024 and 2.0 for 1280 when the screen is at least that
// large (800 x 600, 1024 x 768, 1280 x 1024); 1.0 in every other case.
double scaleFactor(int windowSize, QSize screen);
// The screen size whose menu item is ticked: the one the factor stands for.
int tickedScreenSize(int windowSize, QSize screen);
// The factor in hundredths, as windows are scaled: 100, 125, 160 or 200.
int scalePercent(double factor);

struct ScreenSizeChoice {
    enum class Outcome { Unchanged, Changed, Refused };
    Outcome outcome = Outcome::Unchanged;
    QString error; // for Refused: the message to show, caption "Error"
};

// The screen size command for `size` (one of kScreenSizes): nothing when `windowSize`
// already equals it, a refusal when the screen is smaller, else `windowSize` becomes
// `size`. The caller then ticks tickedScreenSize() and takes scaleFactor().
ScreenSizeChoice chooseScreenSize(int size, QSize screen, int& windowSize);

// Scales `window` and every widget in it (size and font sizes) to `factor` times its
// design, then centres it on a screen of `screen` size; with `moveUp`, a window whose
// top is more than 10 pixels down is moved up 10 pixels. The design is what the window
// was the first time it was scaled: its size (or size hint before it was ever resized)
// and each widget's font size, recorded in the widgets, so repeated scaling never
// compounds. Widgets added later are recorded when first met.
void scaleAndCentre(QWidget* window, double factor, QSize screen, bool moveUp = true);

} // namespace settings
