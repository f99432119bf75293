#pragma once

#include <QScrollBar>

namespace edit {

// A scroll bar that, when only its value changes, repaints where the handle was and where
// it is instead of the whole bar. A jump through a long table then repaints two handles'
// worth of the bar rather than its whole height of gradients and lines, which the raster
// engine would hand to helper threads piece by piece.
//
// Everything else (a new range, the handle dragged, the mouse over the bar, either end
// reached or left, where styles draw the arrows differently) repaints the whole bar.
class GridScrollBar : public QScrollBar {
public:
    explicit GridScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    void sliderChange(SliderChange change) override;

private:
    QRect handleAt(int position) const;

    int m_painted; // the handle position the bar shows
};

} // namespace edit
