#include "GridTitles.h"

#include <QStyleOptionHeader>

GridTitles::GridTitles(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
{
    setObjectName(QStringLiteral("GridTitles"));
}

Qt::Alignment GridTitles::titleAlignment(Qt::Alignment wanted, int textWidth, int sectionWidth, int margin)
{
    if (textWidth <= sectionWidth - 2 * margin)
        return wanted;
    return (wanted & ~Qt::AlignHorizontal_Mask) | Qt::AlignLeft;
}

void GridTitles::initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const
{
    QHeaderView::initStyleOptionForIndex(option, logicalIndex);
    const int margin = style()->pixelMetric(QStyle::PM_HeaderMargin, option, this);
    option->textAlignment =
        titleAlignment(option->textAlignment, option->fontMetrics.horizontalAdvance(option->text),
                       sectionSize(logicalIndex), margin);
}
