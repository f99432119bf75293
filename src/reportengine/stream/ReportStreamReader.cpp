#include "reportengine/stream/ReportStreamReader.h"

#include "reportengine/stream/RecordCodec.h"
#include "reportengine/stream/StreamError.h"

#include <algorithm>

namespace reportengine::stream {

namespace {

[[noreturn]] void damaged(const char* what, std::size_t position)
{
    throw StreamError(kUnexpectedCode, std::string(what) + " at byte " + std::to_string(position));
}

} // namespace

std::optional<Record> PageRecords::next()
{
    if (m_done)
        return std::nullopt;
    ByteSource in(m_bytes, m_pos);
    const std::uint8_t code = in.byte();
    if (code == std::uint8_t(RecordCode::PageEnd)) {
        m_done = true;
        m_pos = in.position();
        return std::nullopt;
    }
    Record record = decodeRecord(in, code);
    m_pos = in.position();
    return record;
}

ReportStreamReader::ReportStreamReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes)
{
    ByteSource in(m_bytes, 0);
    m_header = decodeHeader(in);
    if (m_header.pageCount > 0)
        readPageChain(in.position());
}

void ReportStreamReader::readPageChain(std::size_t position)
{
    // Every next link must lie past the page it leaves, so the walk ends.
    std::size_t previous = 0;
    for (;;) {
        ByteSource in(m_bytes, position);
        const PageStart start = decodePageStart(in);
        if (std::size_t(start.previous) != previous || start.previous < 0)
            damaged("a page's back link does not point at the page before it", position);
        if (!m_pages.empty() &&
            std::int64_t(start.pageNumber) != std::int64_t(m_pages.back().start.pageNumber) + 1)
            damaged("pages are not numbered one after another", position);
        m_pages.push_back({position, start});
        if (m_pages.size() > std::size_t(m_header.pageCount))
            damaged("more pages are linked than the header counts", position);
        if (start.next == 0)
            break;
        if (start.next < 0 || std::size_t(start.next) < position + kPageStartSize + 1)
            damaged("a next-page link does not point past its page", position);
        previous = position;
        position = std::size_t(start.next);
    }
    if (m_pages.size() != std::size_t(m_header.pageCount))
        damaged("fewer pages are linked than the header counts", position);
}

std::optional<std::int32_t> ReportStreamReader::firstPageNumber() const
{
    if (m_pages.empty())
        return std::nullopt;
    return m_pages.front().start.pageNumber;
}

std::optional<std::int32_t> ReportStreamReader::lastPageNumber() const
{
    if (m_pages.empty())
        return std::nullopt;
    return m_pages.back().start.pageNumber;
}

std::optional<PageInfo> ReportStreamReader::page(std::int32_t pageNumber) const
{
    if (m_pages.empty())
        return std::nullopt;
    const std::int64_t index = std::int64_t(pageNumber) - m_pages.front().start.pageNumber;
    return m_pages[std::size_t(std::clamp<std::int64_t>(index, 0, std::int64_t(m_pages.size()) - 1))];
}

PageRange ReportStreamReader::printRange(std::int32_t first, std::int32_t last) const
{
    if (m_pages.empty())
        return {};
    const std::int32_t firstRecorded = m_pages.front().start.pageNumber;
    const std::int32_t lastRecorded = m_pages.back().start.pageNumber;
    return {std::max(first, firstRecorded), last < 1 ? lastRecorded : std::min(last, lastRecorded)};
}

} // namespace reportengine::stream
