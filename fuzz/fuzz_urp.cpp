// Feeds arbitrary bytes as a report definition record (and as a record of the
// older format): whatever they hold, the decoded definition must be safe to
// generate from, and must write back into a record that reads the same.
#include "reports/definition/ReportDefinition.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace reports;

namespace {

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

void checkLine(const ReportLine& line, int lastNumber)
{
    for (const ReportItem& item : line) {
        check(item.width >= 0 && item.width <= kMaxItemWidth);
        if (item.kind() == ReportItem::Kind::Field)
            check(item.number >= 1 && item.number <= lastNumber);
        check(item.name.size() <= 30 * 3 && item.label.size() <= 40 * 3);
    }
}

void checkSafe(const ReportDefinition& d)
{
    check(d.lineCount >= 0 && d.lineCount <= kMaxLines);
    check(d.width == 90 || d.width == 120 || d.width == 150);
    for (const ReportFontBlock& font : d.fonts)
        check(font.size >= 1 && font.size <= 144);
    for (double margin : {d.marginTop, d.marginBottom, d.marginLeft, d.marginRight})
        check(std::isfinite(margin) && margin >= 0);
    checkLine(d.totals, kTotalCount);
    for (const ReportLine& line : d.lines)
        checkLine(line, kFieldCount);
}

template <std::size_t N> std::array<std::uint8_t, N> padded(const std::uint8_t* data, std::size_t size)
{
    std::array<std::uint8_t, N> record{};
    std::memcpy(record.data(), data, std::min(size, N));
    return record;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto record = padded<kDefinitionSize>(data, size);
    const ReportDefinition d = decodeDefinition(record);
    checkSafe(d);
    const DefinitionBytes again = encodeDefinition(d);
    check(decodeDefinition(again) == d);
    check(decodeName(std::span(data, size)) == (size >= 31 ? d.name : std::string()));

    const auto old = padded<kOldDefinitionSize>(data, size);
    const ReportDefinition converted = decodeOldDefinition(old);
    checkSafe(converted);
    check(decodeDefinition(encodeDefinition(converted)) == converted);
    return 0;
}
