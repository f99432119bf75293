#pragma once

// The stream writer: a page engine that, instead of drawing, records every
// drawing call and every change of font, brush, pen, scale and background
// into a report stream that TFilePrinter and TFilePreview replay.
//
// Every page starts with the whole canvas state; later records carry only
// what changed. Byte values of the state records are the ordinals of
// TBaseReport's enumerations: brush solid 0, clear 1; pen solid 0 ... clear 5;
// pen mode copy 4; font pitch default 0. Before the first SelectFont the font
// is 10-point Arial, black, default pitch, no style (height 10/72 inch).

#include "reportengine/ReportStreamIO.h"
#include "reportengine/ReportStreamOutput.h"
#include "reportengine/TBaseReport.h"
#include "reportengine/stream/DrawState.h"

#include <QIODevice>
#include <QPointer>
#include <functional>
#include <memory>

class QBuffer;
class QFile;
class QPrinter;

namespace reportengine {

// amAppearance records each text whole; amPositioning records every
// character at the position it starts at, for devices that space differently.
enum AccuracyMethod { amPositioning = 0, amAppearance = 1 };

class TReportFiler : public TBaseReport {
public:
    // Measures text on the system's default printer, or on the reference
    // device (Letter, 1200 dpi, no unprintable borders) when there is none.
    TReportFiler();
    // Measures on printer, which must outlive the filer; nullptr chooses the
    // reference device whatever printers exist.
    explicit TReportFiler(QPrinter* printer);
    ~TReportFiler() override;

    QString FileName() const { return m_fileName; }
    void SetFileName(const QString& fileName) { m_fileName = fileName; }
    reportengine::StreamMode StreamMode() const { return m_streamMode; }
    void SetStreamMode(reportengine::StreamMode mode);
    // The owner's stream for smUser: open for writing, not owned, written
    // from position 0 at the end of the run and left open.
    QIODevice* Stream() const { return m_stream; }
    void SetStream(QIODevice* device);
    reportengine::AccuracyMethod AccuracyMethod() const { return m_accuracy; }
    void SetAccuracyMethod(reportengine::AccuracyMethod method);

    // Shows "Error initializing stream "name"" when the stream cannot be
    // opened; unassigned, the message is thrown as ReportError.
    std::function<void(const QString&)> showMessage;

protected:
    bool OpenOutput() override;
    void StartPageOutput(int pageNumber) override;
    void EndPageOutput() override;
    // Also after an abort: every page begun is closed, so the stream reads back.
    void CloseOutput(bool aborted) override;
    QString DeviceName() const override;
    QString DriverName() const override;
    QString PortName() const override;
    void DeviceSettingsChanged() override;

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
    // A stream cannot carry another canvas: raises "CopyRect() not supported in file mode.".
    void DoCopyRect(const QRectF& dest, const QImage& source, const QRect& sourceRect) override;
    void DoPrintRaw(const QByteArray& data) override;

private:
    void readDevice();
    QIODevice* openStream();
    stream::ReportHeader header() const;
    stream::Orientation streamOrientation() const;
    void record(const stream::Record& record);
    void recorded();
    void recordState();
    void writePieces(stream::TextAlign align, double x, double baseline, const QString& text);
    void writeCharacters(TextAlign align, double x, double baseline, const QString& text);

    std::unique_ptr<QPrinter> m_ownPrinter;
    QPrinter* m_printer = nullptr; // nullptr: the reference device
    QString m_fileName;
    reportengine::StreamMode m_streamMode = smMemory;
    QPointer<QIODevice> m_stream;
    reportengine::AccuracyMethod m_accuracy = amAppearance;
    std::unique_ptr<QFile> m_file;     // smFile, from the start of a run to its end
    std::unique_ptr<QBuffer> m_memory; // smMemory, likewise
    ReportStreamOutput m_output;
    int m_sinceEvents = 0;     // records since window events were last looked at
    stream::DrawState m_state; // the canvas state in stream terms, kept up to date by the hooks
};

} // namespace reportengine
