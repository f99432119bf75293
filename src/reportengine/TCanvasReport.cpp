#include "reportengine/TCanvasReport.h"
#include "reportengine/PageMeasure.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QPaintEngine>
#include <QPainter>
#include <cmath>
#include <numbers>

namespace reportengine {

namespace {

Qt::PenStyle qtPenStyle(PenStyle style)
{
    switch (style) {
    case psDash:
        return Qt::DashLine;
    case psDot:
        return Qt::DotLine;
    case psDashDot:
        return Qt::DashDotLine;
    case psDashDotDot:
        return Qt::DashDotDotLine;
    case psClear:
        return Qt::NoPen;
    case psSolid:
    case psInsideFrame:
        break;
    }
    return Qt::SolidLine;
}

Qt::BrushStyle qtBrushStyle(BrushStyle style)
{
    static constexpr Qt::BrushStyle kStyles[] = {Qt::SolidPattern, Qt::NoBrush,         Qt::HorPattern,
                                                 Qt::VerPattern,   Qt::FDiagPattern,    Qt::BDiagPattern,
                                                 Qt::CrossPattern, Qt::DiagCrossPattern};
    return style <= bsDiagCross ? kStyles[style] : Qt::SolidPattern;
}

QImage imageOf(const ReportGraphic& graphic)
{
    return QImage::fromData(graphic.data);
}

// Natural size of a picture: its own resolution, else 96 dots per inch.
QSizeF inchesOf(const QImage& image)
{
    const double dpiX = image.dotsPerMeterX() > 0 ? image.dotsPerMeterX() * 0.0254 : 96.0;
    const double dpiY = image.dotsPerMeterY() > 0 ? image.dotsPerMeterY() * 0.0254 : 96.0;
    return {image.width() / dpiX, image.height() / dpiY};
}

} // namespace

TCanvasReport::TCanvasReport() = default;
TCanvasReport::~TCanvasReport() = default;

double TCanvasReport::dotsX(double inches) const
{
    return inches * ScaleX() * Zoom() / 10000 * Device().dpiX;
}

double TCanvasReport::dotsY(double inches) const
{
    return inches * ScaleY() * Zoom() / 10000 * Device().dpiY;
}

QPoint TCanvasReport::map(QPointF point) const
{
    return {DeviceX(point.x()), DeviceY(point.y())};
}

QRect TCanvasReport::map(const QRectF& rect) const
{
    return QRect(map(rect.topLeft()), map(rect.bottomRight())).normalized();
}

QFont TCanvasReport::CanvasFont(const ReportFont& font) const
{
    return qtReportFont(font, Device().dpiY * font.height * Zoom() / 100);
}

void TCanvasReport::AttachPainter(QPainter* painter)
{
    m_painter = painter;
}

void TCanvasReport::ApplyState()
{
    FontChanged();
    BrushChanged();
    PenChanged();
    BackgroundChanged();
}

void TCanvasReport::FontChanged()
{
    if (m_painter)
        m_painter->setFont(CanvasFont(Font()));
}

void TCanvasReport::BrushChanged()
{
    if (!m_painter)
        return;
    const ReportBrush& brush = Brush();
    if (brush.bitmap && brush.style != bsClear)
        m_painter->setBrush(QBrush(imageOf(*brush.bitmap)));
    else
        m_painter->setBrush(QBrush(brush.color, qtBrushStyle(brush.style)));
}

void TCanvasReport::PenChanged()
{
    if (!m_painter)
        return;
    const ReportPen& pen = Pen();
    const int width = std::max(1, static_cast<int>(std::nearbyint(dotsX(pen.width))));
    QColor color = pen.color;
    if (pen.mode == pmBlack)
        color = Qt::black;
    else if (pen.mode == pmWhite)
        color = Qt::white;
    m_qpen = QPen(color, width, pen.mode == pmNop ? Qt::NoPen : qtPenStyle(pen.style), Qt::SquareCap,
                  Qt::MiterJoin);
    m_painter->setPen(m_qpen);
    applyComposition();
}

// Raster operations exist only on image devices; a printer draws the pen as is.
void TCanvasReport::applyComposition()
{
    if (!m_painter->paintEngine() || !m_painter->paintEngine()->hasFeature(QPaintEngine::RasterOpModes))
        return;
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    switch (Pen().mode) {
    case pmNot:
        mode = QPainter::RasterOp_NotDestination;
        break;
    case pmNotCopy:
        mode = QPainter::RasterOp_NotSource;
        break;
    case pmXor:
        mode = QPainter::RasterOp_SourceXorDestination;
        break;
    case pmNotXor:
        mode = QPainter::RasterOp_NotSourceXorDestination;
        break;
    case pmMask:
        mode = QPainter::RasterOp_SourceAndDestination;
        break;
    case pmMerge:
        mode = QPainter::RasterOp_SourceOrDestination;
        break;
    case pmNotMask:
        mode = QPainter::RasterOp_NotSourceOrNotDestination;
        break;
    case pmNotMerge:
        mode = QPainter::RasterOp_NotSourceAndNotDestination;
        break;
    case pmMaskPenNot:
        mode = QPainter::RasterOp_SourceAndNotDestination;
        break;
    case pmMaskNotPen:
        mode = QPainter::RasterOp_NotSourceAndDestination;
        break;
    case pmMergePenNot:
    case pmMergeNotPen:
        mode = QPainter::RasterOp_SourceOrDestination;
        break;
    default:
        break;
    }
    m_painter->setCompositionMode(mode);
}

void TCanvasReport::ScaleChanged()
{
    PenChanged();
}

void TCanvasReport::BackgroundChanged()
{
    if (!m_painter)
        return;
    m_painter->setBackground(BackgroundColor());
    m_painter->setBackgroundMode(TextBKMode() == bkOpaque ? Qt::OpaqueMode : Qt::TransparentMode);
}

// Qt draws fonts at whole pixel sizes: 8 points at 96 dpi become 11 pixels
// instead of 10.67, 3 % wider than the layout measured. Each run is therefore
// scaled to the width the layout measured and to the exact character height,
// so that it ends where the layout says on every device and at every zoom.
void TCanvasReport::DoText(TextAlign align, double x, double baseline, const QString& text)
{
    if (!m_painter)
        return;
    const QFontMetricsF metrics(m_painter->font(), m_painter->device());
    const double drawn = metrics.horizontalAdvance(text);
    const double width = Measurer().textWidth(Font(), text) * Zoom() / 100 * Device().dpiX;
    const double pixels = QFontInfo(m_painter->font()).pixelSize();
    const double height = Device().dpiY * Font().height * Zoom() / 100;
    const double scaleX = drawn > 0 && width > 0 ? width / drawn : 1.0;
    const double scaleY = pixels > 0 && height > 0 ? height / pixels : 1.0;
    QPointF origin = map(QPointF(x, baseline));
    if (align == TextAlign::Centre)
        origin.rx() -= width / 2;
    else if (align == TextAlign::Right)
        origin.rx() -= width;
    if (TextBKMode() == bkOpaque)
        m_painter->fillRect(
            QRectF(origin.x(), origin.y() - metrics.ascent() * scaleY, width, metrics.height() * scaleY),
            BackgroundColor());
    m_painter->save();
    m_painter->translate(origin);
    m_painter->scale(scaleX, scaleY);
    m_painter->setPen(Font().color);
    m_painter->drawText(QPointF(0, 0), text);
    m_painter->restore();
}

void TCanvasReport::DoTextRect(const QRectF& clip, QPointF position, const QString& text)
{
    if (!m_painter)
        return;
    const QFontMetricsF metrics(m_painter->font(), m_painter->device());
    m_painter->save();
    m_painter->setClipRect(map(clip));
    m_painter->setPen(Font().color);
    m_painter->drawText(QPointF(map(position)) + QPointF(0, metrics.ascent()), text);
    m_painter->restore();
}

// A tab cell is filled edge to edge, both edges included, so box lines lie on its border.
void TCanvasReport::DoTabCell(const QRectF& cell)
{
    if (m_painter)
        m_painter->fillRect(map(cell), m_painter->brush());
}

void TCanvasReport::DoMoveTo(QPointF point)
{
    m_penPos = map(point);
}

void TCanvasReport::DoLineTo(QPointF point)
{
    const QPoint to = map(point);
    if (m_painter)
        m_painter->drawLine(m_penPos, to);
    m_penPos = to;
}

void TCanvasReport::DoRectangle(const QRectF& rect)
{
    if (m_painter)
        m_painter->drawRect(map(rect));
}

void TCanvasReport::DoFillRect(const QRectF& rect)
{
    if (m_painter)
        m_painter->fillRect(map(rect), m_painter->brush());
}

void TCanvasReport::DoFrameRect(const QRectF& rect)
{
    if (!m_painter)
        return;
    m_painter->save();
    m_painter->setPen(QPen(m_painter->brush().color(), 1));
    m_painter->setBrush(Qt::NoBrush);
    m_painter->drawRect(map(rect));
    m_painter->restore();
}

// Focus rectangles belong to screens; a page has none.
void TCanvasReport::DoFocusRect(const QRectF&) {}

void TCanvasReport::DoEllipse(const QRectF& rect)
{
    if (m_painter)
        m_painter->drawEllipse(map(rect));
}

void TCanvasReport::DoRoundRect(const QRectF& rect, double cornerWidth, double cornerHeight)
{
    if (m_painter)
        m_painter->drawRoundedRect(map(rect), dotsX(cornerWidth) / 2, dotsY(cornerHeight) / 2);
}

// Arcs run counter-clockwise from the radial through p3 to the one through p4
// on the ellipse bounded by p1 and p2.
void TCanvasReport::shape(int kind, QPointF p1, QPointF p2, QPointF p3, QPointF p4)
{
    if (!m_painter)
        return;
    const QRect box = map(QRectF(p1, p2));
    const QPointF centre = QRectF(box).center();
    const auto angle = [&](QPointF p) {
        const QPointF d = QPointF(map(p)) - centre;
        return std::atan2(-d.y() * box.width(), d.x() * std::max(1, box.height())) * 180 / std::numbers::pi;
    };
    const double start = angle(p3);
    double span = angle(p4) - start;
    if (span <= 0)
        span += 360;
    const int a = static_cast<int>(std::nearbyint(start * 16));
    const int s = static_cast<int>(std::nearbyint(span * 16));
    if (kind == 0)
        m_painter->drawArc(box, a, s);
    else if (kind == 1)
        m_painter->drawChord(box, a, s);
    else
        m_painter->drawPie(box, a, s);
}

void TCanvasReport::DoArc(QPointF p1, QPointF p2, QPointF p3, QPointF p4)
{
    shape(0, p1, p2, p3, p4);
}

void TCanvasReport::DoChord(QPointF p1, QPointF p2, QPointF p3, QPointF p4)
{
    shape(1, p1, p2, p3, p4);
}

void TCanvasReport::DoPie(QPointF p1, QPointF p2, QPointF p3, QPointF p4)
{
    shape(2, p1, p2, p3, p4);
}

void TCanvasReport::DoPolygon(const QVector<QPointF>& points)
{
    if (!m_painter)
        return;
    QPolygon polygon;
    for (QPointF p : points)
        polygon << map(p);
    m_painter->drawPolygon(polygon);
}

void TCanvasReport::DoPolyLine(const QVector<QPointF>& points)
{
    if (!m_painter)
        return;
    QPolygon polygon;
    for (QPointF p : points)
        polygon << map(p);
    m_painter->drawPolyline(polygon);
}

// Only an image can be flood-filled: its pixels are read back. On a printer the call does nothing.
void TCanvasReport::DoFloodFill(QPointF point, const QColor& color, FillStyle style)
{
    if (!m_painter)
        return;
    auto* image = dynamic_cast<QImage*>(m_painter->device());
    const QPoint start = map(point);
    if (!image || !image->rect().contains(start))
        return;
    const QRgb fill = m_painter->brush().color().rgb();
    const QRgb match = color.rgb();
    const auto inside = [&](QPoint p) {
        const QRgb here = image->pixel(p) | 0xff000000;
        return here != fill && (style == fsSurface ? here == match : here != match);
    };
    m_painter->end();
    QVector<QPoint> todo{start};
    while (!todo.isEmpty()) {
        const QPoint p = todo.takeLast();
        if (!image->rect().contains(p) || !inside(p))
            continue;
        image->setPixel(p, fill);
        todo << p + QPoint(1, 0) << p - QPoint(1, 0) << p + QPoint(0, 1) << p - QPoint(0, 1);
    }
    m_painter->begin(image);
    ApplyState();
}

void TCanvasReport::DoDraw(QPointF point, const ReportGraphic& graphic)
{
    const QImage image = imageOf(graphic);
    const QSizeF size = inchesOf(image);
    DoStretchDraw(QRectF(point, size), graphic);
}

void TCanvasReport::DoStretchDraw(const QRectF& rect, const ReportGraphic& graphic)
{
    if (m_painter)
        m_painter->drawImage(map(rect), imageOf(graphic));
}

// The scales multiply the picture's natural size.
void TCanvasReport::DoPrintBitmap(QPointF point, double scaleX, double scaleY, const ReportGraphic& bitmap)
{
    const QSizeF size = inchesOf(imageOf(bitmap));
    DoStretchDraw(QRectF(point, QSizeF(size.width() * scaleX, size.height() * scaleY)), bitmap);
}

void TCanvasReport::DoPrintBitmapRect(const QRectF& rect, const ReportGraphic& bitmap)
{
    DoStretchDraw(rect, bitmap);
}

// source is in the picture's own pixels.
void TCanvasReport::DoBrushCopy(const QRectF& dest, const ReportGraphic& bitmap, const QRectF& source,
                                const QColor& transparent)
{
    if (!m_painter)
        return;
    QImage image = imageOf(bitmap).convertToFormat(QImage::Format_ARGB32);
    const QRgb clear = transparent.rgb() & 0xffffff;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if ((line[x] & 0xffffff) == clear)
                line[x] = 0;
    }
    m_painter->drawImage(map(dest), image, source);
}

void TCanvasReport::DoCopyRect(const QRectF& dest, const QImage& source, const QRect& sourceRect)
{
    if (m_painter)
        m_painter->drawImage(map(dest), source, sourceRect);
}

} // namespace reportengine
