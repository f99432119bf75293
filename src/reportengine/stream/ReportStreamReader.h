#pragma once

// Reads a recorded report stream. The constructor checks the header and
// walks the page links once (each must point forward at a record 80 whose
// back link and page number agree); the records of a page are read only when
// asked for. Any damage raises StreamError(kUnexpectedCode); nothing is
// allocated beyond what the bytes themselves hold.

#include "reportengine/stream/StreamRecords.h"

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace reportengine::stream {

struct PageInfo {
    std::size_t position = 0; // of the page's record 80
    PageStart start;
};

// Page numbers to print, first to last; empty when first > last.
struct PageRange {
    std::int32_t first = 1;
    std::int32_t last = 0;
    bool empty() const { return first > last; }
};

// The records of one page in stream order, up to its record 82. Valid while
// the bytes it reads are.
class PageRecords {
public:
    PageRecords(std::span<const std::uint8_t> bytes, std::size_t position) : m_bytes(bytes), m_pos(position)
    {
    }

    // The next record, or nothing once the page-end record is reached.
    std::optional<Record> next();

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_pos;
    bool m_done = false;
};

class ReportStreamReader {
public:
    // `bytes` must stay alive and unchanged while the reader or any
    // PageRecords from it is in use. Bytes after the last page are ignored: a
    // stream the owner supplies is not truncated when rewritten.
    explicit ReportStreamReader(std::span<const std::uint8_t> bytes);

    const ReportHeader& header() const { return m_header; }
    std::int32_t pageCount() const { return std::int32_t(m_pages.size()); }
    const std::vector<PageInfo>& pages() const { return m_pages; }

    // Page numbers run one by one from the first recorded page, which is
    // above 1 when the report began output at a later page. Nothing when the
    // stream holds no page.
    std::optional<std::int32_t> firstPageNumber() const;
    std::optional<std::int32_t> lastPageNumber() const;

    // The page numbered n; a number below the first gives the first page,
    // one beyond the last the last page. Nothing when there is no page.
    std::optional<PageInfo> page(std::int32_t pageNumber) const;

    // A ranged print clamped to the pages recorded, so that no page prints
    // twice and none is lost: first below the first page starts there; last
    // < 1 or beyond the last page ends at the last.
    PageRange printRange(std::int32_t first, std::int32_t last) const;

    PageRecords records(const PageInfo& page) const { return {m_bytes, page.position + kPageStartSize}; }

private:
    void readPageChain(std::size_t firstPosition);

    std::span<const std::uint8_t> m_bytes;
    ReportHeader m_header;
    std::vector<PageInfo> m_pages;
};

} // namespace reportengine::stream
