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

std::span<const std::uint8_t> MemorySource::read(std::size_t position, std::size_t count,
                                                 std::vector<std::uint8_t>&) const
{
    if (position >= m_bytes.size())
        return {};
    return m_bytes.subspan(position, std::min(count, m_bytes.size() - position));
}

ReportStreamReader::ReportStreamReader(std::span<const std::uint8_t> bytes)
    : m_source(std::make_shared<MemorySource>(bytes))
{
    readHeader();
}

ReportStreamReader::ReportStreamReader(std::shared_ptr<const StreamSource> source)
    : m_source(std::move(source))
{
    readHeader();
}

void ReportStreamReader::readHeader()
{
    std::vector<std::uint8_t> buffer;
    ByteSource in(m_source->read(0, kHeaderFixedSize + kMaxTextBytes, buffer), 0);
    m_header = decodeHeader(in);
    if (m_header.pageCount > 0)
        readPageChain(in.position());
}

PageRecords ReportStreamReader::records(const PageInfo& page) const
{
    const std::size_t start = page.position + kPageStartSize;
    // Pages lie one after another; the last one runs to the end of the stream.
    const std::size_t end = page.start.next > 0 ? std::size_t(page.start.next) : m_source->size();
    auto buffer = std::make_shared<std::vector<std::uint8_t>>();
    const std::span<const std::uint8_t> bytes = m_source->read(start, end - start, *buffer);
    return {bytes, 0, buffer->empty() ? nullptr : std::move(buffer)};
}

void ReportStreamReader::readPageChain(std::size_t position)
{
    // Every next link must lie past the page it leaves, so the walk ends.
    std::size_t previous = 0;
    std::vector<std::uint8_t> buffer;
    for (;;) {
        ByteSource in(m_source->read(position, kPageStartSize, buffer), 0);
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
