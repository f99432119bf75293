#pragma once

// Where the layout window draws a definition's lines and which item a mouse
// position picks. Every design number is multiplied by the window's scale
// factor and rounded down. Qt-free.

#include "reports/definition/ReportDefinition.h"

#include <optional>
#include <vector>

namespace reports {

inline constexpr int kTotalsLine = 100; // the line number of the totals band

// One drawn item: its index in the line (0..19) and the pixels x0 ≤ x < x1 it covers.
struct LayoutBox {
    int item;
    int x0;
    int x1;
};

// A line and item (both from 1; line kTotalsLine for the totals band).
struct LayoutPosition {
    int line;
    int item;
    bool operator==(const LayoutPosition&) const = default;
};

class LayoutGeometry {
public:
    explicit LayoutGeometry(double factor);

    int left() const { return m_left; }
    int right() const { return m_right; }
    int bodyTop() const { return m_bodyTop; }
    int rowHeight() const { return m_rowHeight; }
    int totalsTop() const { return m_totalsTop; }
    int totalsBottom() const { return m_totalsBottom; } // exclusive

    // The boxes of a line on a report `width` characters wide: one per item up
    // to the first of width ≤ 0, box j ending at left + ⌊area × (widths 1..j) ÷
    // width⌋ and the last one at the right edge; widths that stored data pushes
    // past the edge are cut there.
    std::vector<LayoutBox> boxes(const ReportLine& line, int width) const;

    // The item under (x, y): in body row k (1..lineCount) or, when `totals`
    // is shown, in the totals band; nothing elsewhere.
    std::optional<LayoutPosition> position(int x, int y, const ReportDefinition& definition, int width,
                                           bool totals) const;

private:
    std::optional<int> itemAt(int x, const ReportLine& line, int width) const;

    int m_left;
    int m_right;
    int m_bodyTop;
    int m_rowHeight;
    int m_totalsTop;
    int m_totalsBottom;
};

} // namespace reports
