#include "reportengine/ReportStreamOutput.h"

#include "reportengine/TBaseReport.h"
#include "reportengine/stream/RecordCodec.h"
#include "reportengine/stream/StreamError.h"

#include <QIODevice>
#include <limits>

namespace reportengine {

namespace {

constexpr std::size_t kPreviousLink = 1;
constexpr std::size_t kNextLink = 5;
constexpr qint64 kPageCountField = 1;

} // namespace

void ReportStreamOutput::put(qint64 position, const void* data, qint64 size)
{
    // Pages follow one another: seeking would flush the device's buffer for nothing.
    if ((m_device->pos() != position && !m_device->seek(position)) ||
        m_device->write(static_cast<const char*>(data), size) != size)
        throw ReportError((m_failure + m_device->errorString() + QLatin1Char('.')).toStdString());
}

void ReportStreamOutput::begin(QIODevice& device, const stream::ReportHeader& header, const QString& failure)
{
    m_device = &device;
    m_failure = failure;
    stream::ReportStreamWriter writer;
    writer.writeHeader(header);
    put(0, writer.bytes().data(), qint64(writer.bytes().size()));
    m_end = qint64(writer.bytes().size());
    m_pending.clear();
    m_pendingPosition = 0;
    m_pageCount = 0;
}

void ReportStreamOutput::beginPage(std::int32_t pageNumber, stream::Orientation orientation,
                                   const stream::DrawState& state)
{
    // Links are 32-bit stream positions.
    if (m_end > std::numeric_limits<std::int32_t>::max())
        throw stream::StreamError("The report cannot be recorded: it is larger than 2 GiB.");
    m_writer = stream::ReportStreamWriter();
    m_writer.writeHeader(stream::ReportHeader{});
    m_pageOffset = m_writer.bytes().size();
    m_writer.beginPage(pageNumber, orientation, state);
}

void ReportStreamOutput::endPage()
{
    m_writer.endPage();
    const std::vector<std::uint8_t>& bytes = m_writer.bytes();
    std::vector<std::uint8_t> page(bytes.begin() + std::ptrdiff_t(m_pageOffset), bytes.end());
    m_writer = stream::ReportStreamWriter();
    if (!m_pending.empty()) {
        stream::putInt32(&m_pending[kNextLink], std::int32_t(m_end));
        stream::putInt32(&page[kPreviousLink], std::int32_t(m_pendingPosition));
        writePending();
    }
    m_pendingPosition = m_end;
    m_end += qint64(page.size());
    m_pending = std::move(page);
    ++m_pageCount;
}

void ReportStreamOutput::writePending()
{
    put(m_pendingPosition, m_pending.data(), qint64(m_pending.size()));
    m_pending.clear();
}

void ReportStreamOutput::finish()
{
    if (!m_pending.empty())
        writePending();
    std::uint8_t count[4];
    stream::putInt32(count, m_pageCount);
    put(kPageCountField, count, 4);
}

} // namespace reportengine
