#include "reports/design/LineNormaliser.h"

#include <algorithm>

namespace reports {

void normaliseLine(ReportLine& line, int width, LineTail tail)
{
    int sum = 0;
    int stop = kItemsPerLine - 1;
    for (int i = 0; i < kItemsPerLine; ++i) {
        ReportItem& item = line[std::size_t(i)];
        if (item.width <= 0)
            item.width = width;
        sum += item.width;
        if (sum >= width) {
            stop = i;
            break;
        }
    }
    if (sum > width)
        line[std::size_t(stop)].width -= sum - width;
    else if (sum < width)
        line[kItemsPerLine - 1].width += width - sum;
    const int end = tail == LineTail::Cleared ? kItemsPerLine : std::min(stop + 2, kItemsPerLine);
    for (int i = stop + 1; i < end; ++i)
        line[std::size_t(i)].width = 0;
}

void normaliseLines(ReportDefinition& definition)
{
    const LineTail tail = definition.width == 90 ? LineTail::Cleared : LineTail::NextOnly;
    const int count = std::clamp(definition.lineCount, 0, kMaxLines);
    for (int k = 0; k < count; ++k)
        normaliseLine(definition.lines[std::size_t(k)], definition.width, tail);
}

} // namespace reports
