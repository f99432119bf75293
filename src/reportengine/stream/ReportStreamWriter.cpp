#include "reportengine/stream/ReportStreamWriter.h"

#include "reportengine/stream/RecordCodec.h"
#include "reportengine/stream/StreamError.h"

#include <limits>
#include <stdexcept>

namespace reportengine::stream {

namespace {

constexpr std::size_t kPreviousLink = 1;
constexpr std::size_t kNextLink = 5;
constexpr std::size_t kPageCountField = 1;

} // namespace

void ReportStreamWriter::require(Phase phase, const char* call) const
{
    if (m_phase != phase)
        throw std::logic_error(std::string("ReportStreamWriter::") + call + " called out of order");
}

void ReportStreamWriter::writeHeader(const ReportHeader& header)
{
    require(Phase::Empty, "writeHeader");
    ReportHeader written = header;
    written.pageCount = 0;
    encodeHeader(m_bytes, written);
    m_phase = Phase::BetweenPages;
}

std::size_t ReportStreamWriter::beginPage(std::int32_t pageNumber, Orientation orientation,
                                          const DrawState& state)
{
    require(Phase::BetweenPages, "beginPage");
    const std::size_t position = m_bytes.size();
    // Links are 32-bit stream positions.
    if (position > std::size_t(std::numeric_limits<std::int32_t>::max()))
        throw StreamError("The report cannot be recorded: it is larger than 2 GiB.");
    PageStart page;
    page.previous = std::int32_t(m_lastPage);
    page.pageNumber = pageNumber;
    page.orientation = orientation;
    encodePageStart(m_bytes, page);
    try {
        recordState(state, true);
    } catch (...) {
        m_bytes.resize(position);
        throw;
    }
    if (m_lastPage != 0)
        putInt32(&m_bytes[m_lastPage + kNextLink], std::int32_t(position));
    static_assert(kPreviousLink + 4 == kNextLink);
    m_lastPage = position;
    ++m_pageCount;
    m_phase = Phase::InPage;
    return position;
}

void ReportStreamWriter::updateState(const DrawState& state)
{
    require(Phase::InPage, "updateState");
    recordState(state, false);
}

void ReportStreamWriter::recordState(const DrawState& s, bool all)
{
    const DrawState& w = m_state;
    const std::size_t before = m_bytes.size();
    auto item = [&](bool changed, auto makeRecord) {
        if (all || changed)
            encodeRecord(m_bytes, makeRecord());
    };
    try {
        item(s.brush.colour != w.brush.colour, [&] { return SetBrushColour{s.brush.colour}; });
        item(s.brush.style != w.brush.style, [&] { return SetBrushStyle{s.brush.style}; });
        item(s.brush.bitmap != w.brush.bitmap, [&] { return SetBrushBitmap{s.brush.bitmap}; });
        item(s.font.name != w.font.name, [&] { return SetFontName{s.font.name}; });
        item(s.font.colour != w.font.colour, [&] { return SetFontColour{s.font.colour}; });
        item(s.font.pitch != w.font.pitch, [&] { return SetFontPitch{s.font.pitch}; });
        item(s.font.height != w.font.height, [&] { return SetFontHeight{s.font.height}; });
        item(s.font.bold != w.font.bold, [&] { return SetBold{s.font.bold}; });
        item(s.font.italic != w.font.italic, [&] { return SetItalic{s.font.italic}; });
        item(s.font.underline != w.font.underline, [&] { return SetUnderline{s.font.underline}; });
        item(s.font.strikeOut != w.font.strikeOut, [&] { return SetStrikeOut{s.font.strikeOut}; });
        item(s.pen.colour != w.pen.colour, [&] { return SetPenColour{s.pen.colour}; });
        item(s.pen.mode != w.pen.mode, [&] { return SetPenMode{s.pen.mode}; });
        item(s.pen.style != w.pen.style, [&] { return SetPenStyle{s.pen.style}; });
        item(s.pen.width != w.pen.width, [&] { return SetPenWidth{s.pen.width}; });
        item(s.scaleX != w.scaleX, [&] { return SetScaleX{s.scaleX}; });
        item(s.scaleY != w.scaleY, [&] { return SetScaleY{s.scaleY}; });
        item(s.backgroundMode != w.backgroundMode, [&] { return SetBackgroundMode{s.backgroundMode}; });
        item(s.backgroundColour != w.backgroundColour,
             [&] { return SetBackgroundColour{s.backgroundColour}; });
    } catch (...) {
        // All or nothing, so the recorded state stays what the stream says.
        m_bytes.resize(before);
        throw;
    }
    m_state = s;
}

void ReportStreamWriter::write(const Record& record)
{
    require(Phase::InPage, "write");
    if (const auto* raw = std::get_if<RawPrinterData>(&record); raw && raw->value.size() > kMaxTextBytes) {
        const std::string_view data = raw->value;
        for (std::size_t at = 0; at < data.size(); at += kMaxTextBytes)
            encodeRecord(m_bytes, RawPrinterData{std::string(data.substr(at, kMaxTextBytes))});
        return;
    }
    encodeRecord(m_bytes, record);
    applyRecord(m_state, record);
}

void ReportStreamWriter::writeText(TextAlign align, double y, std::string_view text, double x,
                                   const TextWidth& widthOf)
{
    require(Phase::InPage, "writeText");
    if (text.size() <= kMaxTextBytes) {
        // A text record changes no state, so it goes straight to the bytes.
        const RecordCode code = align == TextAlign::Left     ? RecordCode::TextLeft
                                : align == TextAlign::Centre ? RecordCode::TextCentred
                                                             : RecordCode::TextRight;
        encodeText(m_bytes, code, float(y), text, float(x));
        return;
    }
    double start = x;
    if (align == TextAlign::Centre)
        start -= widthOf(text) / 2;
    else if (align == TextAlign::Right)
        start -= widthOf(text);
    const std::size_t before = m_bytes.size();
    try {
        for (std::size_t at = 0; at < text.size(); at += kMaxTextBytes) {
            // Measuring the whole prefix keeps kerning and rounding from adding up piece by piece.
            const double pieceX = at == 0 ? start : start + widthOf(text.substr(0, at));
            write(TextLeft{float(y), std::string(text.substr(at, kMaxTextBytes)), float(pieceX)});
        }
    } catch (...) {
        m_bytes.resize(before);
        throw;
    }
}

void ReportStreamWriter::endPage()
{
    require(Phase::InPage, "endPage");
    m_bytes.push_back(std::uint8_t(RecordCode::PageEnd));
    m_phase = Phase::BetweenPages;
}

void ReportStreamWriter::finish()
{
    if (m_phase == Phase::InPage)
        endPage();
    require(Phase::BetweenPages, "finish");
    putInt32(&m_bytes[kPageCountField], m_pageCount);
    m_phase = Phase::Finished;
}

std::vector<std::uint8_t> ReportStreamWriter::takeBytes()
{
    std::vector<std::uint8_t> out = std::move(m_bytes);
    *this = ReportStreamWriter();
    return out;
}

} // namespace reportengine::stream
