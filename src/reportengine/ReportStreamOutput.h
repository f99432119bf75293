#pragma once

// Writes a recorded report to a device page by page, so that only the page
// being recorded is held in memory, however long the report. Each page is
// encoded by a fresh ReportStreamWriter (every page starts with the whole
// state anyway); the links between pages are absolute positions in the
// device, set here.

#include "reportengine/stream/ReportStreamWriter.h"

#include <QString>
#include <QtGlobal>
#include <cstdint>
#include <vector>

class QIODevice;

namespace reportengine {

class ReportStreamOutput {
public:
    // Starts the stream at position 0 of device, which must be open for
    // writing, allow seeking and outlive the output. A failed write raises
    // ReportError(failure + the device's reason).
    void begin(QIODevice& device, const stream::ReportHeader& header, const QString& failure);

    void beginPage(std::int32_t pageNumber, stream::Orientation orientation, const stream::DrawState& state);
    // The open page's writer: records, texts and state changes go here.
    stream::ReportStreamWriter& page() { return m_writer; }
    bool pageOpen() const { return m_writer.pageOpen(); }
    void endPage();

    // Writes what is still held (the last page, with no next page) and the
    // page count. Call once, with no page open.
    void finish();

private:
    void put(qint64 position, const void* data, qint64 size);
    void writePending();

    QIODevice* m_device = nullptr;
    QString m_failure;
    stream::ReportStreamWriter m_writer;
    std::size_t m_pageOffset = 0;        // where the open page starts in m_writer's bytes
    std::vector<std::uint8_t> m_pending; // the last page ended, until its next link is known
    qint64 m_pendingPosition = 0;
    qint64 m_end = 0; // where the next page will start
    std::int32_t m_pageCount = 0;
};

} // namespace reportengine
