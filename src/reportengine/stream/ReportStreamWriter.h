#pragma once

// Records a report into an in-memory byte stream: a header, then pages that
// each start with record 80 and the whole canvas state and end with record
// 82. Pages are linked both ways by absolute stream positions so that a
// player can reach any page without scanning.
//
// Call order: writeHeader, then for every page output beginPage, any number
// of write / writeText / updateState, endPage; finally finish (also after an
// abort: it closes the page still open). Calls out of this order throw
// std::logic_error; values the stream cannot hold throw StreamError.

#include "reportengine/stream/DrawState.h"

#include <cstddef>
#include <functional>
#include <string_view>
#include <vector>

namespace reportengine::stream {

enum class TextAlign { Left, Centre, Right };

class ReportStreamWriter {
public:
    // Width in inches of a piece of text in the font in force.
    using TextWidth = std::function<double(std::string_view)>;

    // Starts the stream. The page count is written as 0 whatever the header
    // says; finish() fills in the number of pages begun.
    void writeHeader(const ReportHeader& header);

    // Starts a page: record 80 (the previous page's next link is pointed
    // here), then every item of `state` in the fixed order 41 42 43, 51 52
    // 53 54 55 57 56 58, 71 72 73 74, 28 29, 26 27. Returns the page's
    // position in the stream.
    std::size_t beginPage(std::int32_t pageNumber, Orientation orientation, const DrawState& state);

    // Records the items of `state` that differ from the state last recorded,
    // in the same order as beginPage. Writes nothing when nothing changed.
    void updateState(const DrawState& state);

    // Appends one record to the open page. A state record also becomes part
    // of the state updateState compares with. Raw printer data longer than
    // 255 bytes is split across records; any other text must fit in one.
    void write(const Record& record);

    // Text of any length with its baseline at y: one record 23, 24 or 25 when
    // it fits in 255 bytes. A longer text is split into left-aligned pieces
    // (record 24) placed with widthOf so that together they cover what the
    // whole text would; widthOf is called only then.
    void writeText(TextAlign align, double y, std::string_view text, double x, const TextWidth& widthOf);

    // Closes the open page with record 82.
    void endPage();

    // Ends the stream: closes the open page, if any, and fills in the page
    // count. The last page's next link stays 0.
    void finish();

    bool pageOpen() const { return m_phase == Phase::InPage; }
    bool finished() const { return m_phase == Phase::Finished; }
    std::int32_t pageCount() const { return m_pageCount; }
    const DrawState& state() const { return m_state; } // as last recorded
    const std::vector<std::uint8_t>& bytes() const { return m_bytes; }
    // Hands the stream over; the writer is empty afterwards.
    std::vector<std::uint8_t> takeBytes();

private:
    enum class Phase { Empty, BetweenPages, InPage, Finished };

    void require(Phase phase, const char* call) const;
    void recordState(const DrawState& state, bool all);

    std::vector<std::uint8_t> m_bytes;
    Phase m_phase = Phase::Empty;
    std::int32_t m_pageCount = 0;
    std::size_t m_lastPage = 0; // position of the last record 80; 0 before the first page
    DrawState m_state;
};

} // namespace reportengine::stream
