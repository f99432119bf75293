#include "Scaling.h"

#include <QFontMetrics>
#include <QLayout>
#include <QVariant>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace settings {
namespace {

constexpr const char* kDesignSize = "shelvanoDesignSize";
// Point size when positive, minus the pixel size when the design font is set in pixels.
constexpr const char* kDesignFont = "shelvanoDesignFont";
// Title bar room besides the title: the window's icon and its three buttons, as common
// window managers draw them.
constexpr int kTitleBarExtras = 120;

struct ScreenRequirement {
    int size;
    QSize minimum;
    double factor;
};

constexpr ScreenRequirement kRequirements[] = {
    {800, {800, 600}, 1.25},
    {1024, {1024, 768}, 1.6},
    {1280, {1280, 1024}, 2.0},
};

const ScreenRequirement* requirementFor(int size)
{
    for (const ScreenRequirement& requirement : kRequirements)
        if (requirement.size == size)
            return &requirement;
    return nullptr;
}

bool fits(const ScreenRequirement& requirement, QSize screen)
{
    return screen.width() >= requirement.minimum.width() && screen.height() >= requirement.minimum.height();
}

int scaled(int design, int percent)
{
    return int(std::lround(double(design) * percent / 100.0));
}

double designFontOf(const QFont& font)
{
    return font.pointSizeF() > 0 ? font.pointSizeF() : -double(font.pixelSize());
}

// A widget whose font it inherits takes its parent's design; its own font may already be scaled.
void recordDesignFont(QWidget* widget)
{
    if (widget->property(kDesignFont).isValid())
        return;
    QWidget* parent = widget->parentWidget();
    QVariant inherited = parent && !widget->isWindow() ? parent->property(kDesignFont) : QVariant();
    bool ownFont = widget->testAttribute(Qt::WA_SetFont);
    widget->setProperty(kDesignFont, !ownFont && inherited.isValid() ? inherited.toDouble()
                                                                     : designFontOf(widget->font()));
}

void scaleFont(QWidget* widget, int percent)
{
    double design = widget->property(kDesignFont).toDouble();
    QFont font = widget->font();
    if (design > 0)
        font.setPointSizeF(design * percent / 100.0);
    else if (design < 0)
        font.setPixelSize(scaled(int(-design), percent));
    widget->setFont(font);
}

} // namespace

double scaleFactor(int windowSize, QSize screen)
{
    const ScreenRequirement* requirement = requirementFor(windowSize);
    return requirement && fits(*requirement, screen) ? requirement->factor : 1.0;
}

int tickedScreenSize(int windowSize, QSize screen)
{
    const ScreenRequirement* requirement = requirementFor(windowSize);
    return requirement && fits(*requirement, screen) ? windowSize : 640;
}

int scalePercent(double factor)
{
    return int(std::lround(factor * 100));
}

ScreenSizeChoice chooseScreenSize(int size, QSize screen, int& windowSize)
{
    if (windowSize == size)
        return {};
    const ScreenRequirement* requirement = requirementFor(size);
    if (requirement && !fits(*requirement, screen)) {
        return {ScreenSizeChoice::Outcome::Refused,
                QStringLiteral("Your current screen resolution does not support %1 x %2 pixels.")
                    .arg(requirement->minimum.width())
                    .arg(requirement->minimum.height())};
    }
    if (!requirement && size != 640)
        return {};
    windowSize = size;
    return {ScreenSizeChoice::Outcome::Changed, {}};
}

void scaleAndCentre(QWidget* window, double factor, QSize screen, bool moveUp)
{
    if (!window->property(kDesignSize).isValid())
        window->setProperty(kDesignSize,
                            window->testAttribute(Qt::WA_Resized) ? window->size() : window->sizeHint());
    QList<QWidget*> widgets{window};
    for (QWidget* child : window->findChildren<QWidget*>()) // parents before their children
        if (child->window() == window)                      // dialogs owned by the window scale themselves
            widgets.append(child);
    for (QWidget* widget : widgets)
        recordDesignFont(widget);

    const int percent = scalePercent(factor);
    for (QWidget* widget : widgets)
        scaleFont(widget, percent);
    if (QLayout* layout = window->layout())
        layout->activate(); // the new fonts' minimum size limits the resize below
    QSize design = window->property(kDesignSize).toSize();
    QFont titleFont = window->font();
    titleFont.setBold(true);
    // A small dialog would otherwise have its caption cut short in the title bar.
    const int titleWidth =
        window->windowTitle().isEmpty()
            ? 0
            : QFontMetrics(titleFont).horizontalAdvance(window->windowTitle()) + kTitleBarExtras;
    window->resize(std::max(scaled(design.width(), percent), titleWidth), scaled(design.height(), percent));

    int left = (screen.width() - window->width()) / 2;
    int top = (screen.height() - window->height()) / 2;
    if (moveUp && top > 10)
        top -= 10;
    window->move(left, top);
}

} // namespace settings
