#include "reportengine/TReportFiler.h"
#include "reportengine/CachedMeasurer.h"
#include "reportengine/stream/StreamFile.h"

#include <QBuffer>
#include <QFile>
#include <QIODevice>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>

namespace reportengine {

namespace {

stream::Point toPoint(QPointF p)
{
    return {float(p.x()), float(p.y())};
}

stream::Rect toRect(const QRectF& r)
{
    return {toPoint(r.topLeft()), toPoint(r.bottomRight())};
}

stream::Graphic toGraphic(const ReportGraphic& graphic)
{
    return {stream::GraphicKind(graphic.kind),
            std::vector<std::uint8_t>(graphic.data.cbegin(), graphic.data.cend())};
}

std::vector<stream::Point> toPoints(const QVector<QPointF>& points)
{
    std::vector<stream::Point> out;
    out.reserve(std::size_t(points.size()));
    for (QPointF p : points)
        out.push_back(toPoint(p));
    return out;
}

std::array<stream::Point, 4> fourPoints(QPointF p1, QPointF p2, QPointF p3, QPointF p4)
{
    return {toPoint(p1), toPoint(p2), toPoint(p3), toPoint(p4)};
}

stream::FontState fontState(const ReportFont& font)
{
    return {toStreamText(font.name),
            toStreamColour(font.color),
            stream::FontPitch(font.pitch),
            float(font.height),
            font.bold,
            font.italic,
            font.underline,
            font.strikeOut};
}

stream::BrushState brushState(const ReportBrush& brush)
{
    stream::BrushState state{toStreamColour(brush.color), stream::BrushStyle(brush.style), std::nullopt};
    if (brush.bitmap)
        state.bitmap = toGraphic(*brush.bitmap);
    return state;
}

stream::PenState penState(const ReportPen& pen)
{
    return {toStreamColour(pen.color), stream::PenMode(pen.mode), stream::PenStyle(pen.style),
            float(pen.width)};
}

std::unique_ptr<QPrinter> defaultPrinter()
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return nullptr;
    auto printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    return printer;
}

} // namespace

TReportFiler::TReportFiler() : m_ownPrinter(defaultPrinter()), m_printer(m_ownPrinter.get())
{
    if (!m_printer)
        SetMeasurer(std::make_shared<CachedMeasurer>());
    readDevice();
}

TReportFiler::TReportFiler(QPrinter* printer) : m_printer(printer)
{
    if (!m_printer)
        SetMeasurer(std::make_shared<CachedMeasurer>());
    readDevice();
}

TReportFiler::~TReportFiler() = default;

void TReportFiler::SetStreamMode(reportengine::StreamMode mode)
{
    CheckIdle();
    m_streamMode = mode;
}

void TReportFiler::SetStream(QIODevice* device)
{
    CheckIdle();
    m_stream = device;
}

void TReportFiler::SetAccuracyMethod(reportengine::AccuracyMethod method)
{
    m_accuracy = method;
}

// Text is laid out on the device the report would print on, so that the
// recorded positions hold on paper.
void TReportFiler::readDevice()
{
    if (m_printer) {
        SetDevice(printerPageDevice(*m_printer));
        SetMeasurer(std::make_shared<CachedMeasurer>(*m_printer));
        return;
    }
    PageDevice device = ReferenceMeasurer::device();
    if (Orientation() == poLandScape)
        std::swap(device.paperWidth, device.paperHeight);
    SetDevice(device);
}

void TReportFiler::DeviceSettingsChanged()
{
    if (m_printer) {
        if (Orientation() != poDefault)
            m_printer->setPageOrientation(Orientation() == poLandScape ? QPageLayout::Landscape
                                                                       : QPageLayout::Portrait);
        m_printer->setCopyCount(std::max(1, Copies()));
    }
    readDevice();
}

QString TReportFiler::DeviceName() const
{
    if (!m_printer)
        return QStringLiteral("Preview Only");
    return printerWritesPdf(*m_printer) ? QStringLiteral("PDF") : m_printer->printerName();
}

QString TReportFiler::DriverName() const
{
    if (!m_printer)
        return QStringLiteral("Preview Only");
    return printerWritesPdf(*m_printer) ? QStringLiteral("PDF") : QStringLiteral("CUPS");
}

QString TReportFiler::PortName() const
{
    if (!m_printer)
        return QStringLiteral("Preview");
    if (printerWritesPdf(*m_printer))
        return m_printer->outputFileName();
    return QPrinterInfo::printerInfo(m_printer->printerName()).location();
}

stream::Orientation TReportFiler::streamOrientation() const
{
    return stream::Orientation(Orientation());
}

stream::ReportHeader TReportFiler::header() const
{
    const PageDevice& device = Device();
    stream::ReportHeader header;
    header.firstPage = FirstPage();
    header.lastPage = LastPage();
    header.paperWidth = float(device.paperWidth);
    header.paperHeight = float(device.paperHeight);
    header.borderLeft = float(device.borderLeft);
    header.borderRight = float(device.borderRight);
    header.borderTop = float(device.borderTop);
    header.borderBottom = float(device.borderBottom);
    header.orientation = streamOrientation();
    header.copies = std::max(1, Copies());
    if (m_printer && !printerWritesPdf(*m_printer)) {
        // The paper as a Windows printer names it: paper number and size in tenths of a millimetre.
        const QPageSize size = m_printer->pageLayout().pageSize();
        const QSizeF mm = size.size(QPageSize::Millimeter);
        header.paperSize = size.windowsId();
        header.devicePaperWidth = int(std::nearbyint(mm.width() * 10));
        header.devicePaperLength = int(std::nearbyint(mm.height() * 10));
        header.deviceName = toStreamText(m_printer->printerName());
    }
    return header;
}

// Opens the stream by StreamMode and writes the header. A stream that cannot
// be opened ends the run with the message and no pages.
bool TReportFiler::OpenOutput()
{
    m_file.reset();
    m_memory.reset();
    QIODevice* device = openStream();
    if (!device) {
        const QString message = QStringLiteral("Error initializing stream \"%1\"").arg(m_fileName);
        if (!showMessage)
            throw ReportError(message.toStdString());
        showMessage(message);
        return false;
    }
    const QString failure = m_streamMode == smUser
                                ? QStringLiteral("The report could not be written to its stream: ")
                                : QStringLiteral("Cannot write the report file \"%1\": ").arg(m_fileName);
    m_output.begin(*device, header(), failure);
    return true;
}

// The device the stream goes to, or nullptr when it cannot be opened.
QIODevice* TReportFiler::openStream()
{
    switch (m_streamMode) {
    case smMemory:
        if (m_fileName.isEmpty())
            return nullptr;
        m_memory = std::make_unique<QBuffer>();
        m_memory->open(QIODevice::ReadWrite);
        return m_memory.get();
    case smFile:
        m_file = std::make_unique<QFile>(m_fileName);
        if (m_file->open(QIODevice::ReadWrite | QIODevice::Truncate))
            return m_file.get();
        m_file.reset();
        return nullptr;
    case smUser:
        if (m_stream && m_stream->isOpen() && m_stream->isWritable() && !m_stream->isSequential())
            return m_stream;
        return nullptr;
    }
    return nullptr;
}

void TReportFiler::StartPageOutput(int pageNumber)
{
    m_state.font = fontState(Font());
    m_state.brush = brushState(Brush());
    m_state.pen = penState(Pen());
    m_state.scaleX = float(ScaleX());
    m_state.scaleY = float(ScaleY());
    m_state.backgroundMode = stream::BackgroundMode(TextBKMode());
    m_state.backgroundColour = toStreamColour(BackgroundColor());
    m_output.beginPage(pageNumber, streamOrientation(), m_state);
}

void TReportFiler::EndPageOutput()
{
    m_output.endPage();
}

// The stream is completed after an abort too: every page begun has been closed.
void TReportFiler::CloseOutput(bool)
{
    const std::unique_ptr<QFile> file = std::move(m_file);
    const std::unique_ptr<QBuffer> memory = std::move(m_memory);
    m_output.finish();
    if (memory) {
        const QByteArray& bytes = memory->data();
        stream::saveStreamFile(
            m_fileName.toStdString(),
            std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())));
    } else if (file && !file->flush()) {
        throw ReportError(QStringLiteral("Cannot write the report file \"%1\": %2.")
                              .arg(m_fileName, file->errorString())
                              .toStdString());
    }
}

void TReportFiler::recordState()
{
    m_output.page().updateState(m_state);
}

void TReportFiler::FontChanged()
{
    m_state.font = fontState(Font());
    recordState();
}

void TReportFiler::BrushChanged()
{
    m_state.brush = brushState(Brush());
    recordState();
}

void TReportFiler::PenChanged()
{
    m_state.pen = penState(Pen());
    recordState();
}

void TReportFiler::ScaleChanged()
{
    m_state.scaleX = float(ScaleX());
    m_state.scaleY = float(ScaleY());
    recordState();
}

void TReportFiler::BackgroundChanged()
{
    m_state.backgroundMode = stream::BackgroundMode(TextBKMode());
    m_state.backgroundColour = toStreamColour(BackgroundColor());
    recordState();
}

void TReportFiler::record(const stream::Record& record)
{
    m_output.page().write(record);
    recorded();
}

// The window stays responsive while a long report is recorded; the clock is
// read only every few records, as reading it costs more than a record does.
void TReportFiler::recorded()
{
    constexpr int kRecordsBetweenEvents = 32;
    if (++m_sinceEvents >= kRecordsBetweenEvents) {
        m_sinceEvents = 0;
        ProcessPendingEvents();
    }
}

void TReportFiler::DoText(TextAlign align, double x, double baseline, const QString& text)
{
    if (m_accuracy == amPositioning) {
        writeCharacters(align, x, baseline, text);
    } else {
        const auto streamAlign = align == TextAlign::Left     ? stream::TextAlign::Left
                                 : align == TextAlign::Centre ? stream::TextAlign::Centre
                                                              : stream::TextAlign::Right;
        writePieces(streamAlign, x, baseline, text);
    }
    recorded();
}

void TReportFiler::writePieces(stream::TextAlign align, double x, double baseline, const QString& text)
{
    // Widths before ScaleX, like the positions they are added to.
    const auto widthOf = [this](std::string_view piece) { return TextWidthInches(fromStreamText(piece)); };
    m_output.page().writeText(align, baseline, toStreamText(text), x, widthOf);
}

// One record per character at the x where it starts, measured as a prefix of
// the whole text so that rounding does not add up.
void TReportFiler::writeCharacters(TextAlign align, double x, double baseline, const QString& text)
{
    double start = x;
    if (align == TextAlign::Centre)
        start -= TextWidthInches(text) / 2;
    else if (align == TextAlign::Right)
        start -= TextWidthInches(text);
    const std::string bytes = toStreamText(text);
    qsizetype at = 0; // position in text of the character bytes[i] stands for
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const double charX = start + TextWidthInches(text.left(at));
        m_output.page().write(stream::TextLeft{float(baseline), std::string(1, bytes[i]), float(charX)});
        at += text[at].isHighSurrogate() && at + 1 < text.size() ? 2 : 1;
    }
}

// A text longer than one record holds is split, each piece at the position
// the whole text would give it.
void TReportFiler::DoTextRect(const QRectF& clip, QPointF position, const QString& text)
{
    const std::string bytes = toStreamText(text);
    for (std::size_t at = 0; at == 0 || at < bytes.size(); at += stream::kMaxTextBytes) {
        const double shift =
            at == 0 ? 0.0 : TextWidthInches(fromStreamText(std::string_view(bytes).substr(0, at)));
        m_output.page().write(stream::TextInRect{toRect(clip), toPoint(position + QPointF(shift, 0)),
                                                 bytes.substr(at, stream::kMaxTextBytes)});
    }
    recorded();
}

void TReportFiler::DoTabCell(const QRectF& cell)
{
    record(stream::TabRectangle{toRect(cell)});
}

void TReportFiler::DoMoveTo(QPointF point)
{
    record(stream::MoveTo{toPoint(point)});
}

void TReportFiler::DoLineTo(QPointF point)
{
    record(stream::LineTo{toPoint(point)});
}

void TReportFiler::DoRectangle(const QRectF& rect)
{
    record(stream::Rectangle{toRect(rect)});
}

void TReportFiler::DoFillRect(const QRectF& rect)
{
    record(stream::FillRect{toRect(rect)});
}

void TReportFiler::DoFrameRect(const QRectF& rect)
{
    record(stream::FrameRect{toRect(rect)});
}

void TReportFiler::DoFocusRect(const QRectF& rect)
{
    record(stream::FocusRect{toRect(rect)});
}

void TReportFiler::DoEllipse(const QRectF& rect)
{
    record(stream::Ellipse{toRect(rect)});
}

void TReportFiler::DoRoundRect(const QRectF& rect, double cornerWidth, double cornerHeight)
{
    record(stream::RoundRect{toRect(rect), float(cornerWidth), float(cornerHeight)});
}

void TReportFiler::DoArc(QPointF p1, QPointF p2, QPointF p3, QPointF p4)
{
    record(stream::Arc{fourPoints(p1, p2, p3, p4)});
}

void TReportFiler::DoChord(QPointF p1, QPointF p2, QPointF p3, QPointF p4)
{
    record(stream::Chord{fourPoints(p1, p2, p3, p4)});
}

void TReportFiler::DoPie(QPointF p1, QPointF p2, QPointF p3, QPointF p4)
{
    record(stream::Pie{fourPoints(p1, p2, p3, p4)});
}

void TReportFiler::DoPolygon(const QVector<QPointF>& points)
{
    record(stream::Polygon{toPoints(points)});
}

void TReportFiler::DoPolyLine(const QVector<QPointF>& points)
{
    record(stream::Polyline{toPoints(points)});
}

void TReportFiler::DoFloodFill(QPointF point, const QColor& color, FillStyle style)
{
    record(stream::FloodFill{toPoint(point), toStreamColour(color), std::int32_t(style)});
}

void TReportFiler::DoDraw(QPointF point, const ReportGraphic& graphic)
{
    record(stream::DrawGraphic{toGraphic(graphic), toPoint(point)});
}

void TReportFiler::DoStretchDraw(const QRectF& rect, const ReportGraphic& graphic)
{
    record(stream::StretchGraphic{toGraphic(graphic), toRect(rect)});
}

void TReportFiler::DoPrintBitmap(QPointF point, double scaleX, double scaleY, const ReportGraphic& bitmap)
{
    record(stream::PrintBitmap{toGraphic(bitmap), toPoint(point), float(scaleX), float(scaleY)});
}

void TReportFiler::DoPrintBitmapRect(const QRectF& rect, const ReportGraphic& bitmap)
{
    record(stream::PrintBitmapRect{toGraphic(bitmap), toRect(rect)});
}

void TReportFiler::DoBrushCopy(const QRectF& dest, const ReportGraphic& bitmap, const QRectF& source,
                               const QColor& transparent)
{
    record(stream::BrushCopy{toGraphic(bitmap), toRect(dest), toRect(source), toStreamColour(transparent)});
}

void TReportFiler::DoCopyRect(const QRectF&, const QImage&, const QRect&)
{
    throw ReportError("CopyRect() not supported in file mode.");
}

void TReportFiler::DoPrintRaw(const QByteArray& data)
{
    record(stream::RawPrinterData{data.toStdString()});
}

} // namespace reportengine
