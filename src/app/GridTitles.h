#pragma once

#include <QHeaderView>

// The viewer grid's row of column titles. A title wider than its column is drawn from its
// start, whatever the chosen alignment: centred or right-aligned, the style would cut both
// its ends or its start, and the user could not tell which field the column shows.
class GridTitles : public QHeaderView {
    Q_OBJECT

public:
    explicit GridTitles(QWidget* parent = nullptr);

    // The alignment a title of `textWidth` pixels takes in a section of `sectionWidth`
    // pixels with `margin` pixels on either side, when `wanted` is the chosen alignment.
    static Qt::Alignment titleAlignment(Qt::Alignment wanted, int textWidth, int sectionWidth, int margin);

protected:
    void initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const override;
};
