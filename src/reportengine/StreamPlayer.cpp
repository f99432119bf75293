#include "reportengine/StreamPlayer.h"
#include "reportengine/CachedMeasurer.h"
#include "reportengine/stream/StreamError.h"

#include <QBuffer>
#include <QCursor>
#include <QFile>
#include <QGuiApplication>
#include <QIODevice>
#include <QPainter>
#include <limits>
#include <memory>
#include <span>
#include <type_traits>

namespace reportengine {

namespace {

template <class... F> struct Overloaded : F... {
    using F::operator()...;
};
template <class... F> Overloaded(F...) -> Overloaded<F...>;

// How often, in records, a replay asks whether to go on.
constexpr int kRecordsBetweenChecks = 64;
// The largest paper a stream may describe, inches: beyond it the header is damaged.
constexpr float kMaxPaper = 50;

QPointF toPoint(stream::Point p)
{
    return {p.x, p.y};
}

QRectF toRect(const stream::Rect& r)
{
    return QRectF(toPoint(r.topLeft), toPoint(r.bottomRight));
}

ReportGraphic toGraphic(const stream::Graphic& graphic)
{
    return {GraphicKind(graphic.kind),
            QByteArray(reinterpret_cast<const char*>(graphic.data.data()), qsizetype(graphic.data.size()))};
}

QVector<QPointF> toPoints(const std::vector<stream::Point>& points)
{
    QVector<QPointF> out;
    out.reserve(qsizetype(points.size()));
    for (const stream::Point& p : points)
        out.append(toPoint(p));
    return out;
}

// Reads the stream from a device, seeking before every read: a preview and a
// printer may share one owner's device. `owned` is the file the player opened.
class DeviceSource : public stream::StreamSource {
public:
    DeviceSource(QIODevice* device, std::unique_ptr<QFile> owned, QString name)
        : m_owned(std::move(owned)), m_device(m_owned ? m_owned.get() : device), m_name(std::move(name)),
          m_size(std::size_t(std::max<qint64>(0, m_device->size())))
    {
    }

    std::size_t size() const override { return m_size; }

    std::span<const std::uint8_t> read(std::size_t position, std::size_t count,
                                       std::vector<std::uint8_t>& buffer) const override
    {
        if (position >= m_size)
            return {};
        count = std::min(count, m_size - position);
        buffer.resize(count);
        if (!m_device || !m_device->seek(qint64(position)) ||
            m_device->read(reinterpret_cast<char*>(buffer.data()), qint64(count)) != qint64(count))
            throw ReportError(
                QStringLiteral("Cannot read the report file \"%1\": %2.")
                    .arg(m_name, m_device ? m_device->errorString() : QStringLiteral("it was closed"))
                    .toStdString());
        return buffer;
    }

private:
    std::unique_ptr<QFile> m_owned;
    QPointer<QIODevice> m_device;
    QString m_name;
    std::size_t m_size;
};

} // namespace

bool StreamCanvas::replay(stream::PageRecords records, QPainter* painter, const PageDevice& device,
                          double zoom)
{
    // Text runs are drawn at the widths the layout measured, on the reference device.
    if (!m_measurerSet) {
        SetMeasurer(std::make_shared<CachedMeasurer>());
        m_measurerSet = true;
    }
    SetDevice(device);
    SetZoom(zoom);
    AttachPainter(painter);
    m_state = stream::DrawState{};
    m_changed = AllItems;
    bool finished = true;
    try {
        int count = 0;
        while (const std::optional<stream::Record> record = records.next()) {
            if (stream::applyRecord(m_state, *record)) {
                const stream::RecordCode code = stream::codeOf(*record);
                const int group = int(code) / 10;
                m_changed |= group == 4   ? BrushItem
                             : group == 5 ? FontItem
                             : group == 7 ? PenItem
                             : code == stream::RecordCode::ScaleX || code == stream::RecordCode::ScaleY
                                 ? ScaleItem
                                 : BackgroundItem;
                continue;
            }
            if (m_changed)
                applyState();
            draw(*record);
            if (++count % kRecordsBetweenChecks == 0 && keepGoing && !keepGoing()) {
                finished = false;
                break;
            }
        }
    } catch (...) {
        AttachPainter(nullptr);
        throw;
    }
    AttachPainter(nullptr);
    return finished;
}

void StreamCanvas::FontChanged()
{
    TCanvasReport::FontChanged();
    if (!m_antialiasText && Painter()) {
        QFont font = Painter()->font();
        font.setStyleStrategy(QFont::NoAntialias);
        Painter()->setFont(font);
    }
}

// Hands the canvas only what changed since the last drawing record.
void StreamCanvas::applyState()
{
    const int changed = m_changed;
    m_changed = 0;
    if (changed & FontItem) {
        const stream::FontState& f = m_state.font;
        SetFont({fromStreamText(f.name), fromStreamColour(f.colour), FontPitch(f.pitch), f.height, f.bold,
                 f.italic, f.underline, f.strikeOut});
        FontChanged();
    }
    if (changed & BrushItem) {
        const stream::BrushState& b = m_state.brush;
        ReportBrush brush{fromStreamColour(b.colour), BrushStyle(b.style), std::nullopt};
        if (b.bitmap)
            brush.bitmap = toGraphic(*b.bitmap);
        SetBrush(brush);
        BrushChanged();
    }
    if (changed & ScaleItem) {
        SetScaleX(m_state.scaleX);
        SetScaleY(m_state.scaleY);
        ScaleChanged();
    }
    if (changed & PenItem) {
        const stream::PenState& p = m_state.pen;
        SetPen({fromStreamColour(p.colour), PenMode(p.mode), PenStyle(p.style), p.width});
        PenChanged();
    }
    if (changed & BackgroundItem) {
        SetTextBKMode(BKMode(m_state.backgroundMode));
        SetBackgroundColor(fromStreamColour(m_state.backgroundColour));
        BackgroundChanged();
    }
}

void StreamCanvas::draw(const stream::Record& record)
{
    const Overloaded visitor{
        [&](const stream::TextLeft& r) { DoText(TextAlign::Left, r.x, r.y, fromStreamText(r.text)); },
        [&](const stream::TextCentred& r) { DoText(TextAlign::Centre, r.x, r.y, fromStreamText(r.text)); },
        [&](const stream::TextRight& r) { DoText(TextAlign::Right, r.x, r.y, fromStreamText(r.text)); },
        [&](const stream::TextInRect& r) {
            DoTextRect(toRect(r.clip), toPoint(r.position), fromStreamText(r.text));
        },
        [&](const stream::TabRectangle& r) { DoTabCell(toRect(r.rect)); },
        [&](const stream::MoveTo& r) { DoMoveTo(toPoint(r.point)); },
        [&](const stream::LineTo& r) { DoLineTo(toPoint(r.point)); },
        [&](const stream::Rectangle& r) { DoRectangle(toRect(r.rect)); },
        [&](const stream::FillRect& r) { DoFillRect(toRect(r.rect)); },
        [&](const stream::FrameRect& r) { DoFrameRect(toRect(r.rect)); },
        [&](const stream::FocusRect& r) { DoFocusRect(toRect(r.rect)); },
        [&](const stream::Ellipse& r) { DoEllipse(toRect(r.rect)); },
        [&](const stream::RoundRect& r) { DoRoundRect(toRect(r.rect), r.cornerWidth, r.cornerHeight); },
        [&](const stream::Arc& r) {
            DoArc(toPoint(r.points[0]), toPoint(r.points[1]), toPoint(r.points[2]), toPoint(r.points[3]));
        },
        [&](const stream::Chord& r) {
            DoChord(toPoint(r.points[0]), toPoint(r.points[1]), toPoint(r.points[2]), toPoint(r.points[3]));
        },
        [&](const stream::Pie& r) {
            DoPie(toPoint(r.points[0]), toPoint(r.points[1]), toPoint(r.points[2]), toPoint(r.points[3]));
        },
        [&](const stream::Polygon& r) { DoPolygon(toPoints(r.points)); },
        [&](const stream::Polyline& r) { DoPolyLine(toPoints(r.points)); },
        [&](const stream::FloodFill& r) {
            DoFloodFill(toPoint(r.point), fromStreamColour(r.colour),
                        r.fillStyle == 1 ? fsBorder : fsSurface);
        },
        [&](const stream::DrawGraphic& r) { DoDraw(toPoint(r.position), toGraphic(r.graphic)); },
        [&](const stream::StretchGraphic& r) { DoStretchDraw(toRect(r.rect), toGraphic(r.graphic)); },
        [&](const stream::PrintBitmap& r) {
            DoPrintBitmap(toPoint(r.position), r.scaleX, r.scaleY, toGraphic(r.graphic));
        },
        [&](const stream::PrintBitmapRect& r) { DoPrintBitmapRect(toRect(r.rect), toGraphic(r.graphic)); },
        [&](const stream::BrushCopy& r) {
            DoBrushCopy(toRect(r.destination), toGraphic(r.graphic), toRect(r.source),
                        fromStreamColour(r.transparentColour));
        },
        // The canvas it copied from is not in the stream; raw data cannot pass a painter.
        [&](const stream::CopyRect&) {}, [&](const stream::RawPrinterData&) {},
        [&](const auto&) {}, // state records, applied before
    };
    std::visit(visitor, record);
}

WaitCursor::WaitCursor()
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        m_shown = true;
    }
}

WaitCursor::~WaitCursor()
{
    if (m_shown)
        QGuiApplication::restoreOverrideCursor();
}

StreamPlayer::StreamPlayer() = default;

stream::ReportHeader StreamPlayer::emptyHeader()
{
    stream::ReportHeader header;
    header.firstPage = 0;
    header.paperWidth = 0;
    header.paperHeight = 0;
    return header;
}
StreamPlayer::~StreamPlayer() = default;

void StreamPlayer::openStream()
{
    closeStream();
    std::shared_ptr<const stream::StreamSource> source = openSource();
    try {
        m_reader.emplace(std::move(source));
        const stream::ReportHeader& h = m_reader->header();
        if (!(h.paperWidth > 0 && h.paperWidth <= kMaxPaper && h.paperHeight > 0 &&
              h.paperHeight <= kMaxPaper))
            throw stream::StreamError(stream::kUnexpectedCode, "the paper size is out of range");
    } catch (...) {
        closeStream();
        throw;
    }
    m_header = m_reader->header();
    // The count of pages actually linked, which the reader has checked against the header.
    m_header.pageCount = m_reader->pageCount();
}

// A QBuffer is read in place; anything else, and a file, page by page.
std::shared_ptr<const stream::StreamSource> StreamPlayer::openSource()
{
    if (m_streamMode == smUser) {
        if (!m_stream || !m_stream->isOpen() || !m_stream->isReadable())
            throw ReportError("The report stream is not open for reading.");
        if (auto* buffer = qobject_cast<QBuffer*>(m_stream.data())) {
            m_bytes = buffer->data();
            return std::make_shared<stream::MemorySource>(std::span(
                reinterpret_cast<const std::uint8_t*>(m_bytes.constData()), std::size_t(m_bytes.size())));
        }
        if (m_stream->isSequential())
            throw ReportError("The report stream cannot be read from its start.");
        // A file of its own, unbuffered: a buffered device reads kilobytes for every page link.
        const auto* fileDevice = qobject_cast<QFileDevice*>(m_stream.data());
        if (!fileDevice || fileDevice->fileName().isEmpty())
            return std::make_shared<DeviceSource>(m_stream.data(), nullptr, QStringLiteral("report stream"));
        return openFileSource(fileDevice->fileName());
    }
    return openFileSource(m_fileName);
}

std::shared_ptr<const stream::StreamSource> StreamPlayer::openFileSource(const QString& fileName)
{
    auto file = std::make_unique<QFile>(fileName);
    if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw ReportError(QStringLiteral("Cannot read the report file \"%1\": %2.")
                              .arg(fileName, file->errorString())
                              .toStdString());
    // No stream position can reach past 2 GiB.
    if (file->size() > std::numeric_limits<std::int32_t>::max())
        throw ReportError(QStringLiteral("Cannot read the report file \"%1\": it is larger than 2 GiB.")
                              .arg(fileName)
                              .toStdString());
    return std::make_shared<DeviceSource>(nullptr, std::move(file), fileName);
}

void StreamPlayer::closeStream()
{
    m_reader.reset();
    m_bytes.clear();
}

} // namespace reportengine
