#pragma once

// Reads a recorded report stream. The constructor checks the header and
// walks the page links once (each must point forward at a record 80 whose
// back link and page number agree), reading only the page starts; the
// records of a page are read only when asked for. Any damage raises
// StreamError(kUnexpectedCode); nothing is allocated beyond what the bytes
// themselves hold.

#include "reportengine/stream/StreamRecords.h"

#include <cstddef>
#include <memory>
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

// Where a reader finds the bytes of a stream: in memory, or read on demand
// from a file so that a stream of any length costs one page of memory.
class StreamSource {
public:
    virtual ~StreamSource() = default;
    virtual std::size_t size() const = 0;
    // The bytes from position on, at most count of them (fewer at the end).
    // The span is valid while the source and buffer are unchanged; a source
    // that reads fills buffer. A failed read raises StreamError.
    virtual std::span<const std::uint8_t> read(std::size_t position, std::size_t count,
                                               std::vector<std::uint8_t>& buffer) const = 0;
};

// Bytes already in memory; they must outlive the source.
class MemorySource : public StreamSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
    std::size_t size() const override { return m_bytes.size(); }
    std::span<const std::uint8_t> read(std::size_t position, std::size_t count,
                                       std::vector<std::uint8_t>&) const override;

private:
    std::span<const std::uint8_t> m_bytes;
};

// The records of one page in stream order, up to its record 82. Valid while
// the bytes it reads are; bytes read from a file are kept by every copy.
class PageRecords {
public:
    PageRecords(std::span<const std::uint8_t> bytes, std::size_t position,
                std::shared_ptr<const std::vector<std::uint8_t>> keep = nullptr)
        : m_keep(std::move(keep)), m_bytes(bytes), m_pos(position)
    {
    }

    // The next record, or nothing once the page-end record is reached.
    std::optional<Record> next();

private:
    std::shared_ptr<const std::vector<std::uint8_t>> m_keep;
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
    // Reads from source, which must outlive the reader and its PageRecords.
    explicit ReportStreamReader(std::shared_ptr<const StreamSource> source);

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

    // The records of a page; from a file, its bytes up to the next page are read now.
    PageRecords records(const PageInfo& page) const;

private:
    void readHeader();
    void readPageChain(std::size_t firstPosition);

    std::shared_ptr<const StreamSource> m_source;
    ReportHeader m_header;
    std::vector<PageInfo> m_pages;
};

} // namespace reportengine::stream
