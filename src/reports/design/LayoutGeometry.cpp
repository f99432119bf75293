#include "reports/design/LayoutGeometry.h"

#include <algorithm>
#include <cmath>

namespace reports {

namespace {

int scaled(int design, double factor)
{
    return int(std::floor(design * factor));
}

} // namespace

LayoutGeometry::LayoutGeometry(double factor)
    : m_left(scaled(4, factor)), m_right(scaled(629, factor)), m_bodyTop(scaled(75, factor)),
      m_rowHeight(scaled(20, factor)), m_totalsTop(scaled(355, factor)),
      m_totalsBottom(scaled(375, factor) + 1)
{
}

std::vector<LayoutBox> LayoutGeometry::boxes(const ReportLine& line, int width) const
{
    std::vector<LayoutBox> out;
    if (width <= 0)
        return out;
    const long long area = m_right - m_left;
    long long sum = 0;
    int x0 = m_left;
    for (int i = 0; i < kItemsPerLine && line[std::size_t(i)].width > 0; ++i) {
        sum += line[std::size_t(i)].width;
        const bool last = i == kItemsPerLine - 1 || line[std::size_t(i) + 1].width <= 0;
        const int x1 = last ? m_right : int(std::min<long long>(m_left + area * sum / width, m_right));
        out.push_back({i, x0, std::max(x0, x1)});
        x0 = std::max(x0, x1);
    }
    return out;
}

std::optional<int> LayoutGeometry::itemAt(int x, const ReportLine& line, int width) const
{
    for (const LayoutBox& box : boxes(line, width))
        if (x >= box.x0 && x < box.x1)
            return box.item + 1;
    return std::nullopt;
}

std::optional<LayoutPosition> LayoutGeometry::position(int x, int y, const ReportDefinition& definition,
                                                       int width, bool totals) const
{
    if (totals && y >= m_totalsTop && y < m_totalsBottom) {
        if (const std::optional<int> item = itemAt(x, definition.totals, width))
            return LayoutPosition{kTotalsLine, *item};
        return std::nullopt;
    }
    if (y < m_bodyTop || m_rowHeight <= 0)
        return std::nullopt;
    const int line = (y - m_bodyTop) / m_rowHeight + 1;
    if (line > std::clamp(definition.lineCount, 0, kMaxLines))
        return std::nullopt;
    if (const std::optional<int> item = itemAt(x, definition.lines[std::size_t(line - 1)], width))
        return LayoutPosition{line, *item};
    return std::nullopt;
}

} // namespace reports
