// Feeds arbitrary bytes as a recorded report stream: finds pages by number,
// reads every record of every page, and writes what was read back through
// the writer, which must give the same records again.
#include "reportengine/stream/ReportStreamReader.h"
#include "reportengine/stream/ReportStreamWriter.h"
#include "reportengine/stream/StreamError.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
#include <vector>

using namespace reportengine::stream;

namespace {

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

// The records of each page, without the state every page starts with when written.
std::vector<std::vector<Record>> readPages(const ReportStreamReader& reader, std::size_t skip)
{
    std::vector<std::vector<Record>> pages;
    for (const PageInfo& page : reader.pages()) {
        PageRecords records = reader.records(page);
        std::vector<Record>& out = pages.emplace_back();
        for (std::size_t i = 0; auto record = records.next(); ++i)
            if (i >= skip)
                out.push_back(std::move(*record));
    }
    return pages;
}

void findPages(const ReportStreamReader& reader)
{
    const std::int32_t numbers[] = {std::numeric_limits<std::int32_t>::min(), -1, 0, 1, 2, 3,
                                    std::numeric_limits<std::int32_t>::max()};
    for (std::int32_t n : numbers) {
        const auto page = reader.page(n);
        check(page.has_value() == (reader.pageCount() > 0));
        const PageRange range = reader.printRange(n, n);
        check(range.empty() ||
              (range.first >= *reader.firstPageNumber() && range.last <= *reader.lastPageNumber()));
    }
}

void roundTrip(const ReportStreamReader& reader, const std::vector<std::vector<Record>>& pages)
{
    ReportStreamWriter writer;
    writer.writeHeader(reader.header());
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const PageStart& start = reader.pages()[i].start;
        writer.beginPage(start.pageNumber, start.orientation, DrawState());
        for (const Record& record : pages[i])
            writer.write(record);
        writer.endPage();
    }
    writer.finish();
    const ReportStreamReader again(writer.bytes());
    check(again.header() == reader.header());
    check(readPages(again, 19) == pages);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    try {
        const ReportStreamReader reader(bytes);
        findPages(reader);
        const auto pages = readPages(reader, 0);
        roundTrip(reader, pages);
    } catch (const StreamError& e) {
        check(std::strcmp(e.what(), kUnexpectedCode) == 0);
    }
    return 0;
}
