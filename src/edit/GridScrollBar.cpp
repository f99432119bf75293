#include "GridScrollBar.h"

#include <QStyle>
#include <QStyleOptionSlider>

namespace edit {

GridScrollBar::GridScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent), m_painted(sliderPosition())
{
}

QRect GridScrollBar::handleAt(int position) const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.sliderPosition = position;
    option.sliderValue = position;
    const QRect handle =
        style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
    // Styles draw the handle's outline a pixel or so outside its rectangle.
    constexpr int kOutline = 4;
    if (orientation() == Qt::Vertical)
        return QRect(0, handle.top() - kOutline, width(), handle.height() + 2 * kOutline);
    return QRect(handle.left() - kOutline, 0, handle.width() + 2 * kOutline, height());
}

void GridScrollBar::sliderChange(SliderChange change)
{
    const int was = m_painted;
    m_painted = sliderPosition();
    const auto atEnd = [this](int position) { return position <= minimum() || position >= maximum(); };
    if (change != SliderValueChange || isSliderDown() || underMouse() || atEnd(was) || atEnd(m_painted)) {
        QScrollBar::sliderChange(change);
        return;
    }
    update(handleAt(was));
    update(handleAt(m_painted));
}

} // namespace edit
