#pragma once

#include "reportengine/TBaseReport.h"

#include <QPen>

class QPainter;

namespace reportengine {

// A page engine drawing with a QPainter on whatever device the subclass
// opens (a printer, a PDF file, an RGB image for the preview). The painter
// works in the device's own dots; positions map as DeviceX/DeviceY say.
class TCanvasReport : public TBaseReport {
public:
    TCanvasReport();
    ~TCanvasReport() override;

    // The Qt font the canvas uses for a report font at the current device and zoom.
    QFont CanvasFont(const ReportFont& font) const;

protected:
    // The painter to draw the pages with; not owned, nullptr detaches.
    // ApplyState hands it the whole current font, brush, pen and background.
    void AttachPainter(QPainter* painter);
    QPainter* Painter() const { return m_painter; }
    void ApplyState();

    void FontChanged() override;
    void BrushChanged() override;
    void PenChanged() override;
    void ScaleChanged() override;
    void BackgroundChanged() override;

    void DoText(TextAlign align, double x, double baseline, const QString& text) override;
    void DoTextRect(const QRectF& clip, QPointF position, const QString& text) override;
    void DoTabCell(const QRectF& cell) override;
    void DoMoveTo(QPointF point) override;
    void DoLineTo(QPointF point) override;
    void DoRectangle(const QRectF& rect) override;
    void DoFillRect(const QRectF& rect) override;
    void DoFrameRect(const QRectF& rect) override;
    void DoFocusRect(const QRectF& rect) override;
    void DoEllipse(const QRectF& rect) override;
    void DoRoundRect(const QRectF& rect, double cornerWidth, double cornerHeight) override;
    void DoArc(QPointF p1, QPointF p2, QPointF p3, QPointF p4) override;
    void DoChord(QPointF p1, QPointF p2, QPointF p3, QPointF p4) override;
    void DoPie(QPointF p1, QPointF p2, QPointF p3, QPointF p4) override;
    void DoPolygon(const QVector<QPointF>& points) override;
    void DoPolyLine(const QVector<QPointF>& points) override;
    void DoFloodFill(QPointF point, const QColor& color, FillStyle style) override;
    void DoDraw(QPointF point, const ReportGraphic& graphic) override;
    void DoStretchDraw(const QRectF& rect, const ReportGraphic& graphic) override;
    void DoPrintBitmap(QPointF point, double scaleX, double scaleY, const ReportGraphic& bitmap) override;
    void DoPrintBitmapRect(const QRectF& rect, const ReportGraphic& bitmap) override;
    void DoBrushCopy(const QRectF& dest, const ReportGraphic& bitmap, const QRectF& source,
                     const QColor& transparent) override;
    void DoCopyRect(const QRectF& dest, const QImage& source, const QRect& sourceRect) override;
    // Qt's painter cannot pass raw data to a printer: it is dropped.
    void DoPrintRaw(const QByteArray&) override {}

private:
    QPoint map(QPointF point) const;
    QRect map(const QRectF& rect) const;
    double dotsX(double inches) const;
    double dotsY(double inches) const;
    void shape(int kind, QPointF p1, QPointF p2, QPointF p3, QPointF p4);
    void applyComposition();

    QPainter* m_painter = nullptr;
    QPoint m_penPos;
    QPen m_qpen;
};

} // namespace reportengine
