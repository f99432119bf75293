#pragma once

// What both stream players share: loading a recorded report with its header,
// and a canvas that replays one recorded page through the TCanvasReport
// drawing calls.

#include "reportengine/ReportStreamIO.h"
#include "reportengine/TCanvasReport.h"
#include "reportengine/stream/DrawState.h"
#include "reportengine/stream/ReportStreamReader.h"

#include <QByteArray>
#include <QIODevice>
#include <QPointer>
#include <QString>
#include <functional>
#include <optional>

class QPainter;

namespace reportengine {

// Replays recorded pages. Positions map onto the device as the page engine
// maps them, with the recorded scales and the given zoom; a font of height h
// inches gets round(resolution × h × zoom / 100) dots, a pen of width w
// round(resolution × w × ScaleX × zoom / 10000), never less than one.
// Raw printer data cannot pass through a painter and is skipped; so are
// focus rectangles and copies from another canvas.
class StreamCanvas : public TCanvasReport {
public:
    // Asked every few records; false stops the replay (the page stays unfinished).
    std::function<bool()> keepGoing;

    // Draws the records of one page with painter, which may be nullptr (the
    // calls are still made), on a device of that geometry at zoom percent.
    // Returns false when keepGoing stopped it. Damage raises StreamError.
    bool replay(stream::PageRecords records, QPainter* painter, const PageDevice& device, double zoom);

    // Off for a page that becomes black and white: grey glyph edges would
    // dither into speckles.
    void setTextAntialiasing(bool on) { m_antialiasText = on; }

protected:
    void FontChanged() override;
    void StartPageOutput(int) override {}
    void EndPageOutput() override {}
    void CloseOutput(bool) override {}

private:
    enum Changed {
        FontItem = 1,
        BrushItem = 2,
        PenItem = 4,
        ScaleItem = 8,
        BackgroundItem = 16,
        AllItems = 31
    };
    void applyState();
    void draw(const stream::Record& record);

    stream::DrawState m_state;
    int m_changed = AllItems;
    bool m_antialiasText = true;
    bool m_measurerSet = false;
};

// Shows the busy cursor while it lives, when there is a window system.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    bool m_shown = false;
};

// The stream source and header of a player. Pages are read from the file or
// device one at a time as they are shown, so a stream of any length costs a
// page of memory; a QBuffer given for smUser is shared, not copied.
class StreamPlayer {
public:
    StreamPlayer();
    virtual ~StreamPlayer();
    StreamPlayer(const StreamPlayer&) = delete;
    StreamPlayer& operator=(const StreamPlayer&) = delete;

    QString FileName() const { return m_fileName; }
    void SetFileName(const QString& fileName) { m_fileName = fileName; }
    reportengine::StreamMode StreamMode() const { return m_streamMode; }
    void SetStreamMode(reportengine::StreamMode mode) { m_streamMode = mode; }
    // The owner's stream for smUser: open for reading, not owned, left open.
    QIODevice* Stream() const { return m_stream; }
    void SetStream(QIODevice* device) { m_stream = device; }

    // From the header of the stream last opened; 0 before any.
    int PageCount() const { return m_header.pageCount; }
    int FirstPage() const { return m_header.firstPage; }
    int LastPage() const { return m_header.lastPage; }
    double PaperWidth() const { return m_header.paperWidth; } // inches
    double PaperHeight() const { return m_header.paperHeight; }

protected:
    // Loads the stream and checks its header and page links. Raises
    // StreamError for damage, ReportError when it cannot be read.
    void openStream();
    void closeStream();
    std::shared_ptr<const stream::StreamSource> openSource();
    std::shared_ptr<const stream::StreamSource> openFileSource(const QString& fileName);
    bool streamOpen() const { return m_reader.has_value(); }
    const stream::ReportStreamReader& reader() const { return *m_reader; }
    const stream::ReportHeader& header() const { return m_header; }
    StreamCanvas& canvas() { return m_canvas; }

private:
    static stream::ReportHeader emptyHeader(); // all zero: nothing read yet

    QString m_fileName;
    reportengine::StreamMode m_streamMode = smMemory;
    QPointer<QIODevice> m_stream;
    QByteArray m_bytes; // a QBuffer's bytes, never written to while the reader reads them
    std::optional<stream::ReportStreamReader> m_reader;
    stream::ReportHeader m_header = emptyHeader();
    StreamCanvas m_canvas;
};

} // namespace reportengine
