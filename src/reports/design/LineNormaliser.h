#pragma once

// Keeps a report line's widths adding up to the report width. Qt-free.

#include "reports/definition/ReportDefinition.h"

namespace reports {

// What happens to the items after the one where the line reaches the width.
enum class LineTail {
    Cleared, // every later item gets width 0 (the part window, a switch to 90 characters)
    NextOnly // only the next item gets width 0 (a switch to 120 or 150 characters)
};

// Walks the line from item 1: an item of width 0 (a negative width counts as 0)
// first takes the whole `width`; the walk stops at the first item where the
// running sum reaches `width`, or at item 20. The stopping item loses any
// excess, item 20 gains any shortfall, and the tail is cut as `tail` says.
// Names and labels are never touched, so an item cut off by one switch comes
// back, with its name, when a later switch gives it width again.
void normaliseLine(ReportLine& line, int width, LineTail tail);

// Normalises lines 1..lineCount (clamped to 0..12) of `definition` to its width
// for a switch to it: the tail rule of 90 characters, or of 120 and 150. The
// totals line and the lines beyond the count are left alone.
void normaliseLines(ReportDefinition& definition);

} // namespace reports
