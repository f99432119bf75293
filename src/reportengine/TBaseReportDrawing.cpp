// The page engine's drawing calls other than text: positions in units from
// the page origin, handed on in absolute inches.
#include "reportengine/TBaseReport.h"

namespace reportengine {

QPointF TBaseReport::absolute(double x, double y) const
{
    return {toIn(x) + m_originX, toIn(y) + m_originY};
}

QRectF TBaseReport::absolute(const QRectF& rect) const
{
    return QRectF(absolute(rect.left(), rect.top()), absolute(rect.right(), rect.bottom()));
}

void TBaseReport::MoveTo(double x, double y)
{
    if (OutputActive())
        DoMoveTo(absolute(x, y));
}

void TBaseReport::LineTo(double x, double y)
{
    if (OutputActive())
        DoLineTo(absolute(x, y));
}

void TBaseReport::Rectangle(double x1, double y1, double x2, double y2)
{
    if (OutputActive())
        DoRectangle(QRectF(absolute(x1, y1), absolute(x2, y2)));
}

void TBaseReport::FillRect(const QRectF& rect)
{
    if (OutputActive())
        DoFillRect(absolute(rect));
}

void TBaseReport::FrameRect(const QRectF& rect)
{
    if (OutputActive())
        DoFrameRect(absolute(rect));
}

void TBaseReport::DrawFocusRect(const QRectF& rect)
{
    if (OutputActive())
        DoFocusRect(absolute(rect));
}

void TBaseReport::Ellipse(double x1, double y1, double x2, double y2)
{
    if (OutputActive())
        DoEllipse(QRectF(absolute(x1, y1), absolute(x2, y2)));
}

void TBaseReport::RoundRect(double x1, double y1, double x2, double y2, double cornerWidth,
                            double cornerHeight)
{
    if (OutputActive())
        DoRoundRect(QRectF(absolute(x1, y1), absolute(x2, y2)), toIn(cornerWidth), toIn(cornerHeight));
}

void TBaseReport::Arc(QPointF p1, QPointF p2, QPointF p3, QPointF p4)
{
    if (OutputActive())
        DoArc(absolute(p1.x(), p1.y()), absolute(p2.x(), p2.y()), absolute(p3.x(), p3.y()),
              absolute(p4.x(), p4.y()));
}

void TBaseReport::Chord(QPointF p1, QPointF p2, QPointF p3, QPointF p4)
{
    if (OutputActive())
        DoChord(absolute(p1.x(), p1.y()), absolute(p2.x(), p2.y()), absolute(p3.x(), p3.y()),
                absolute(p4.x(), p4.y()));
}

void TBaseReport::Pie(QPointF p1, QPointF p2, QPointF p3, QPointF p4)
{
    if (OutputActive())
        DoPie(absolute(p1.x(), p1.y()), absolute(p2.x(), p2.y()), absolute(p3.x(), p3.y()),
              absolute(p4.x(), p4.y()));
}

void TBaseReport::Polygon(const QVector<QPointF>& points)
{
    if (!OutputActive())
        return;
    QVector<QPointF> mapped;
    mapped.reserve(points.size());
    for (QPointF p : points)
        mapped.append(absolute(p.x(), p.y()));
    DoPolygon(mapped);
}

void TBaseReport::PolyLine(const QVector<QPointF>& points)
{
    if (!OutputActive())
        return;
    QVector<QPointF> mapped;
    mapped.reserve(points.size());
    for (QPointF p : points)
        mapped.append(absolute(p.x(), p.y()));
    DoPolyLine(mapped);
}

void TBaseReport::FloodFill(double x, double y, const QColor& color, FillStyle style)
{
    if (OutputActive())
        DoFloodFill(absolute(x, y), color, style);
}

void TBaseReport::TextRect(const QRectF& clip, double x, double y, const QString& text)
{
    if (OutputActive())
        DoTextRect(absolute(clip), absolute(x, y), text);
}

void TBaseReport::TabRectangle(const QRectF& rect)
{
    if (OutputActive())
        DoTabCell(absolute(rect));
}

void TBaseReport::Draw(double x, double y, const ReportGraphic& graphic)
{
    if (OutputActive())
        DoDraw(absolute(x, y), graphic);
}

void TBaseReport::StretchDraw(const QRectF& rect, const ReportGraphic& graphic)
{
    if (OutputActive())
        DoStretchDraw(absolute(rect), graphic);
}

void TBaseReport::PrintBitmap(double x, double y, double scaleX, double scaleY, const ReportGraphic& bitmap)
{
    if (OutputActive())
        DoPrintBitmap(absolute(x, y), scaleX, scaleY, bitmap);
}

void TBaseReport::PrintBitmapRect(const QRectF& rect, const ReportGraphic& bitmap)
{
    if (OutputActive())
        DoPrintBitmapRect(absolute(rect), bitmap);
}

void TBaseReport::BrushCopy(const QRectF& dest, const ReportGraphic& bitmap, const QRectF& source,
                            const QColor& transparent)
{
    if (OutputActive())
        DoBrushCopy(absolute(dest), bitmap, source, transparent);
}

void TBaseReport::CopyRect(const QRectF& dest, const QImage& source, const QRect& sourceRect)
{
    if (OutputActive())
        DoCopyRect(absolute(dest), source, sourceRect);
}

void TBaseReport::PrintRaw(const QByteArray& data)
{
    if (OutputActive())
        DoPrintRaw(data);
}

} // namespace reportengine
