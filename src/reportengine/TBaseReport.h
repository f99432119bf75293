#pragma once

// The page drawing engine: a text cursor moved line by line down pages of a
// chosen unit, tab stops with boxes and shading, page events and status text.
// TBaseReport holds all state and the device-independent logic; subclasses
// implement the protected Do* primitives (TCanvasReport paints with QPainter,
// a recorder writes them to a stream). Every font, brush, pen, scale and
// background change and every drawing call reaches a virtual, so a recorder
// sees the whole page.

#include <QByteArray>
#include <QColor>
#include <QElapsedTimer>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QVector>
#include <algorithm>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>

class QLabel;

namespace reportengine {

class PageMeasurer;

// The engine's own error; the messages are those the user sees.
class ReportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* kAlreadyPrinting = "Invalid method call.  Report engine already printing.";
inline constexpr const char* kNotPrinting = "Invalid method call.  Report engine is not printing.";
inline constexpr const char* kCanvasNotActive = "Error!  Canvas not yet active.";
inline constexpr const char* kNoPrinters = "No printers are defined, aborting print job.";

enum LineHeightMethod { lhmLinesPerInch = 0, lhmFont = 1 };
enum Units { unInch = 0, unMM = 1, unCM = 2, unPoint = 3, unUser = 4 };
enum BKMode { bkTransparent = 0, bkOpaque = 1 };
enum Orientation { poPortrait = 0, poLandScape = 1, poDefault = 2 };
enum Justify { pjCenter = 0, pjLeft = 1, pjRight = 2 };
enum BoxLine { blLeft = 1, blRight = 2, blTop = 4, blBottom = 8, blAll = 15 };
enum class TextAlign { Left, Centre, Right };

// The ordinals below are the byte values a recorded stream carries; do not renumber.
enum BrushStyle : quint8 {
    bsSolid = 0,
    bsClear = 1,
    bsHorizontal = 2,
    bsVertical = 3,
    bsFDiagonal = 4,
    bsBDiagonal = 5,
    bsCross = 6,
    bsDiagCross = 7
};
enum PenStyle : quint8 {
    psSolid = 0,
    psDash = 1,
    psDot = 2,
    psDashDot = 3,
    psDashDotDot = 4,
    psClear = 5,
    psInsideFrame = 6
};
enum PenMode : quint8 {
    pmBlack = 0,
    pmWhite = 1,
    pmNop = 2,
    pmNot = 3,
    pmCopy = 4,
    pmNotCopy = 5,
    pmMergePenNot = 6,
    pmMaskPenNot = 7,
    pmMergeNotPen = 8,
    pmMaskNotPen = 9,
    pmMerge = 10,
    pmNotMerge = 11,
    pmMask = 12,
    pmNotMask = 13,
    pmXor = 14,
    pmNotXor = 15
};
enum FontPitch : quint8 { fpDefault = 0, fpVariable = 1, fpFixed = 2 };
enum FillStyle : quint8 { fsSurface = 0, fsBorder = 1 };
enum GraphicKind : quint8 { gkBitmap = 1, gkMetafile = 2, gkIcon = 3, gkOther = 4 };

// A picture in its own file format (BMP, PNG, ...), as a stream stores it.
struct ReportGraphic {
    GraphicKind kind = gkBitmap;
    QByteArray data;
    bool operator==(const ReportGraphic&) const = default;
};

// The canvas font; the default is the font in force before the first
// SelectFont of every run: 10-point Arial, black, default pitch, no style.
// height is the character height (em) in inches with ScaleY already applied,
// zoom not; name is as the report gives it (a Windows name is mapped to an
// installed family only when drawing or measuring).
struct ReportFont {
    QString name = QStringLiteral("Arial");
    QColor color = Qt::black;
    FontPitch pitch = fpDefault;
    double height = 10.0 / 72.0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    bool operator==(const ReportFont&) const = default;
};

struct ReportBrush {
    QColor color = Qt::black;
    BrushStyle style = bsClear;
    std::optional<ReportGraphic> bitmap;
    bool operator==(const ReportBrush&) const = default;
};

// width is in inches before ScaleX and zoom; 0 draws the thinnest line.
struct ReportPen {
    QColor color = Qt::black;
    PenMode mode = pmCopy;
    PenStyle style = psSolid;
    double width = 0;
    bool operator==(const ReportPen&) const = default;
};

// Lengths in inches.
struct TabStop {
    double position = 0;
    Justify justify = pjLeft;
    double width = 0;
    double margin = 0;
    int boxLines = 0;
    int shade = 0;
};

// What the output device looks like. Unprintable borders in inches; the
// device origin in dots (0 on paper).
struct PageDevice {
    double dpiX = 1200;
    double dpiY = 1200;
    double paperWidth = 8.5;
    double paperHeight = 11;
    double borderLeft = 0;
    double borderRight = 0;
    double borderTop = 0;
    double borderBottom = 0;
    int originX = 0;
    int originY = 0;
};

class TBaseReport {
public:
    using Event = std::function<void(TBaseReport&)>;
    using PageEvent = std::function<bool(TBaseReport&)>; // true: another page is wanted

    TBaseReport();
    virtual ~TBaseReport();
    TBaseReport(const TBaseReport&) = delete;
    TBaseReport& operator=(const TBaseReport&) = delete;

    // Events. OnPrint produces the whole report (calling NextPage itself);
    // otherwise OnPrintPage is called once per page.
    Event OnBeforePrint;
    Event OnPrint;
    PageEvent OnPrintPage;
    Event OnPrintHeader;
    Event OnPrintFooter;
    Event OnNewPage;
    Event OnNewColumn;
    Event OnAfterPrint;
    // Receives every status text; an alternative or addition to StatusLabel.
    std::function<void(const QString&)> OnStatus;

    // Properties. Lengths are in Units unless said otherwise.
    int FirstPage() const { return m_firstPage; }
    void SetFirstPage(int page) { m_firstPage = page; }
    int LastPage() const { return m_lastPage; } // starts at the largest int, so no page is lost
    void SetLastPage(int page) { m_lastPage = page; }
    QLabel* StatusLabel() const { return m_statusLabel; }
    void SetStatusLabel(QLabel* label) { m_statusLabel = label; } // not owned; must outlive runs
    QString StatusFormat() const { return m_statusFormat; }
    void SetStatusFormat(const QString& format) { m_statusFormat = format; }
    QStringList StatusText() const { return m_statusText; }
    void SetStatusText(const QStringList& lines) { m_statusText = lines; }
    reportengine::LineHeightMethod LineHeightMethod() const { return m_lineHeightMethod; }
    void SetLineHeightMethod(reportengine::LineHeightMethod method) { m_lineHeightMethod = method; }
    int LinesPerInch() const { return m_linesPerInch; }
    void SetLinesPerInch(int lines);
    reportengine::Units Units() const { return m_units; }
    void SetUnits(reportengine::Units units);
    double UnitsFactor() const { return m_unitsFactor; }
    void SetUnitsFactor(double factor);
    double MarginLeft() const { return m_marginLeft; }
    double MarginRight() const { return m_marginRight; }
    double MarginTop() const { return m_marginTop; }
    double MarginBottom() const { return m_marginBottom; }
    void SetMarginLeft(double value) { m_marginLeft = value; }
    void SetMarginRight(double value) { m_marginRight = value; }
    void SetMarginTop(double value) { m_marginTop = value; }
    void SetMarginBottom(double value) { m_marginBottom = value; }
    int TabShade() const { return m_tabShade; }
    void SetTabShade(int percent);
    QString Title() const { return m_title; }
    void SetTitle(const QString& title) { m_title = title; }
    BKMode TextBKMode() const { return m_bkMode; }
    void SetTextBKMode(BKMode mode);
    QColor BackgroundColor() const { return m_bkColor; }
    void SetBackgroundColor(const QColor& color);
    int Copies() const { return m_copies; }
    void SetCopies(int copies);
    reportengine::Orientation Orientation() const { return m_orientation; }
    void SetOrientation(reportengine::Orientation orientation);
    double ScaleX() const { return m_scaleX; }
    double ScaleY() const { return m_scaleY; }
    void SetScaleX(double percent);
    void SetScaleY(double percent);

    // Paper and print area.
    double PaperWidth() const;
    double PaperHeight() const;
    double AreaLeft() const;
    double AreaRight() const;
    double AreaTop() const;
    double AreaBottom() const;
    // Setting an edge pulls a cursor lying beyond it onto it.
    void SetAreaLeft(double value);
    void SetAreaRight(double value);
    void SetAreaTop(double value);
    void SetAreaBottom(double value);
    void SetOrigin(double x, double y); // added to every position until the next page

    // Cursor.
    double XPos() const;
    double YPos() const; // the baseline
    void SetXPos(double x);
    void SetYPos(double y);
    int LineNum() const { return m_lineNum; }
    void GotoLine(int line); // line n of the current column
    int ColumnNum() const { return m_columnNum; }
    int Columns() const { return m_columns; }
    void SetColumns(int columns); // columns share the print area's width
    double LineHeight() const;
    double FontDescent() const;
    void ToFirstLine();
    void NextLine();
    int RemainingLines() const;

    // Text.
    void WriteText(const QString& text);
    void WriteLine(const QString& text);
    // WriteText of a tab followed by text, without building that string.
    void WriteTab(const QString& text);
    void TextLeftAt(const QString& text, double x);
    void TextCentredAt(const QString& text, double x);
    void TextRightAt(const QString& text, double x);
    void TextOnBottomLine(const QString& text, Justify justify);
    // Width the text covers in positions (before ScaleX and zoom), in units.
    double MeasureText(const QString& text) const;

    // Fonts: name and point size; style bits and colour afterwards.
    void SelectFont(const QString& name, double size);
    void Bold(bool on);
    void Italic(bool on);
    void Underline(bool on);
    void StrikeOut(bool on);
    void SetFontColor(const QColor& color);
    void SetFontPitch(FontPitch pitch);
    const ReportFont& Font() const { return m_font; }
    void SetFont(const ReportFont& font);

    // Brush and pen. A positive pen width is in dots of the device, a negative
    // one in hundredths of an inch; 0 and 1 are the thinnest line (width 0).
    // Each run starts with a black clear brush and a black solid copy-mode pen
    // of the thinnest width.
    const ReportBrush& Brush() const { return m_brush; }
    void SetBrush(const ReportBrush& brush);
    void SetBrushColor(const QColor& color);
    void SetBrushStyle(BrushStyle style);
    const ReportPen& Pen() const { return m_pen; }
    void SetPen(const ReportPen& pen);
    void SetPenColor(const QColor& color);
    void SetPenStyle(PenStyle style);
    void SetPenMode(PenMode mode);
    void SetPenWidth(int width);

    // Tab stops. position < 0 follows the previous stop (the left margin for
    // the first); margin in hundredths of an inch; boxLines a BoxLine set;
    // shade 0 uses TabShade.
    void AddTabStop(double position, Justify justify, double width, double margin, int boxLines, int shade);
    void ClearTabStops();
    // ClearTabStops, then the stops as TabStops() gave them.
    void SetTabStops(const QVector<TabStop>& stops);
    void NextTabStop();
    double TabStopWidth(int n) const; // 1-based, 0 = the current stop
    const QVector<TabStop>& TabStops() const { return m_tabs; }

    // Other drawing, positions and sizes in units from the page origin.
    void MoveTo(double x, double y);
    void LineTo(double x, double y);
    void Rectangle(double x1, double y1, double x2, double y2);
    void FillRect(const QRectF& rect);
    void FrameRect(const QRectF& rect);
    void DrawFocusRect(const QRectF& rect);
    void Ellipse(double x1, double y1, double x2, double y2);
    void RoundRect(double x1, double y1, double x2, double y2, double cornerWidth, double cornerHeight);
    void Arc(QPointF p1, QPointF p2, QPointF p3, QPointF p4);
    void Chord(QPointF p1, QPointF p2, QPointF p3, QPointF p4);
    void Pie(QPointF p1, QPointF p2, QPointF p3, QPointF p4);
    void Polygon(const QVector<QPointF>& points);
    void PolyLine(const QVector<QPointF>& points);
    void FloodFill(double x, double y, const QColor& color, FillStyle style);
    void TextRect(const QRectF& clip, double x, double y, const QString& text);
    void TabRectangle(const QRectF& rect);
    void Draw(double x, double y, const ReportGraphic& graphic);
    void StretchDraw(const QRectF& rect, const ReportGraphic& graphic);
    void PrintBitmap(double x, double y, double scaleX, double scaleY, const ReportGraphic& bitmap);
    void PrintBitmapRect(const QRectF& rect, const ReportGraphic& bitmap);
    // source is in the bitmap's own pixels.
    void BrushCopy(const QRectF& dest, const ReportGraphic& bitmap, const QRectF& source,
                   const QColor& transparent);
    void CopyRect(const QRectF& dest, const QImage& source, const QRect& sourceRect);
    void PrintRaw(const QByteArray& data); // passed to the device unchanged where it can take it

    // Run state.
    void Run();
    void NextPage();
    void AbortReport();
    int PageNumber() const { return m_pageNumber; }
    bool WasAborted() const { return m_aborted; }
    bool IsRunning() const { return m_running; }
    bool PageSkipped() const { return m_skipPage; }

    // Off for a run that must not let the window handle events: a layout probe
    // made while the user could still press a button that starts another run.
    void SetProcessEvents(bool on) { m_processEvents = on; }

    // Status text from StatusFormat; UpdateStatus shows it and lets the window breathe.
    QString StatusString() const;
    void UpdateStatus();

    // Measuring: the default is a 1200-dpi Letter reference device. Not shared
    // with other engines unless the caller shares it.
    void SetMeasurer(std::shared_ptr<const PageMeasurer> measurer);
    const PageMeasurer& Measurer() const;

    // Device mapping of absolute positions in inches (page origin added).
    int DeviceX(double x) const;
    int DeviceY(double y) const;
    const PageDevice& Device() const { return m_device; }
    double Zoom() const { return m_zoom; }

protected:
    // Run hooks, in the order Run calls them. CanRun false ends Run before any
    // event; OpenOutput false ends it after OnBeforePrint (OnAfterPrint fires).
    virtual bool CanRun() { return true; }
    virtual bool OpenOutput() { return true; }
    // A page that is output begins or ends. StartPageOutput must take over the
    // whole current state (Font(), Brush(), Pen(), scales, background).
    virtual void StartPageOutput(int pageNumber) = 0;
    virtual void EndPageOutput() = 0;
    virtual void CloseOutput(bool aborted) = 0;
    // Names for the status codes D, R and T.
    virtual QString DeviceName() const { return {}; }
    virtual QString DriverName() const { return {}; }
    virtual QString PortName() const { return {}; }
    // Orientation or copies changed while idle: hand them to the device and
    // call SetDevice with the new geometry.
    virtual void DeviceSettingsChanged() {}

    // State changes, called only while a page is being output.
    virtual void FontChanged() {}
    virtual void BrushChanged() {}
    virtual void PenChanged() {}
    virtual void ScaleChanged() {}
    virtual void BackgroundChanged() {}

    // Drawing primitives, called only while a page is being output. Points and
    // rectangles are absolute inches: page origin added, ScaleX/ScaleY and zoom
    // not applied.
    virtual void DoText(TextAlign align, double x, double baseline, const QString& text) = 0;
    virtual void DoTextRect(const QRectF& clip, QPointF position, const QString& text) = 0;
    virtual void DoTabCell(const QRectF& cell) = 0;
    virtual void DoMoveTo(QPointF point) = 0;
    virtual void DoLineTo(QPointF point) = 0;
    virtual void DoRectangle(const QRectF& rect) = 0;
    virtual void DoFillRect(const QRectF& rect) = 0;
    virtual void DoFrameRect(const QRectF& rect) = 0;
    virtual void DoFocusRect(const QRectF& rect) = 0;
    virtual void DoEllipse(const QRectF& rect) = 0;
    virtual void DoRoundRect(const QRectF& rect, double cornerWidth, double cornerHeight) = 0;
    virtual void DoArc(QPointF p1, QPointF p2, QPointF p3, QPointF p4) = 0;
    virtual void DoChord(QPointF p1, QPointF p2, QPointF p3, QPointF p4) = 0;
    virtual void DoPie(QPointF p1, QPointF p2, QPointF p3, QPointF p4) = 0;
    virtual void DoPolygon(const QVector<QPointF>& points) = 0;
    virtual void DoPolyLine(const QVector<QPointF>& points) = 0;
    virtual void DoFloodFill(QPointF point, const QColor& color, FillStyle style) = 0;
    virtual void DoDraw(QPointF point, const ReportGraphic& graphic) = 0;
    virtual void DoStretchDraw(const QRectF& rect, const ReportGraphic& graphic) = 0;
    virtual void DoPrintBitmap(QPointF point, double scaleX, double scaleY, const ReportGraphic& bitmap) = 0;
    virtual void DoPrintBitmapRect(const QRectF& rect, const ReportGraphic& bitmap) = 0;
    virtual void DoBrushCopy(const QRectF& dest, const ReportGraphic& bitmap, const QRectF& source,
                             const QColor& transparent) = 0;
    virtual void DoCopyRect(const QRectF& dest, const QImage& source, const QRect& sourceRect) = 0;
    virtual void DoPrintRaw(const QByteArray& data) = 0;

    // Device geometry and zoom (percent). Recomputes the paper size.
    void SetDevice(const PageDevice& device);
    void SetZoom(double percent);
    // Width of the text in the current font, inches, before ScaleX and zoom.
    double TextWidthInches(const QString& text) const;
    // Processes pending window events, at most every ~50 ms.
    void ProcessPendingEvents();
    // Raises kNotPrinting outside a run; false on a skipped page.
    bool OutputActive() const;
    void CheckIdle() const; // raises kAlreadyPrinting during a run

private:
    void startPage();
    void endPage();
    void resetPageState();
    void resetRunState();
    void finishRun(bool aborted);
    void putCursorOnLine(int line);
    void refreshLineMetrics();
    double columnLeft() const;
    void placeText(const QString& part);
    void drawText(TextAlign align, const QString& text, double x);
    bool outputLive() const { return m_running && !m_skipPage && m_pageOpen; }
    double toIn(double units) const { return units / m_unitsFactor; }
    double toUnits(double inches) const { return inches * m_unitsFactor; }
    QPointF absolute(double x, double y) const;
    QRectF absolute(const QRectF& rect) const;

    int m_firstPage = 1;
    int m_lastPage = std::numeric_limits<int>::max();
    QLabel* m_statusLabel = nullptr;
    QString m_statusFormat = QStringLiteral("Printing page %p");
    QStringList m_statusText;
    bool m_processEvents = true;
    reportengine::LineHeightMethod m_lineHeightMethod = lhmLinesPerInch;
    int m_linesPerInch = 6;
    reportengine::Units m_units = unInch;
    double m_unitsFactor = 1;
    double m_marginLeft = 0, m_marginRight = 0, m_marginTop = 0, m_marginBottom = 0; // units
    int m_tabShade = 0;
    QString m_title = QStringLiteral("Report");
    BKMode m_bkMode = bkTransparent;
    QColor m_bkColor = Qt::white;
    int m_copies = 1;
    reportengine::Orientation m_orientation = poPortrait;
    double m_scaleX = 100, m_scaleY = 100;

    PageDevice m_device;
    double m_zoom = 100;
    mutable std::shared_ptr<const PageMeasurer> m_measurer; // created on first use
    struct Measured {
        QString text;
        quint64 font = 0;  // m_fontSerial when measured
        double width = -1; // inches, before ScaleX; -1: nothing measured yet
    };
    mutable Measured m_lastMeasured;
    quint64 m_fontSerial = 1; // changes with every change of m_font
    // The measurer's descent of m_font, inches before ScaleY; asked again after a font change.
    std::optional<double> m_fontDescent;

    // Inches from here on.
    double m_originX = 0, m_originY = 0;
    double m_areaLeft = 0, m_areaRight = 8.5, m_areaTop = 0, m_areaBottom = 11;
    double m_x = 0, m_y = 0;
    int m_lineNum = 1, m_columnNum = 1, m_columns = 1;
    double m_columnWidth = 8.5;
    double m_lineHeight = 1.0 / 6, m_descent = 0;
    double m_fontLineHeight = 1.0 / 6;
    QVector<TabStop> m_tabs;
    int m_currentTab = -1; // index into m_tabs, -1 before the first
    bool m_tabPending = false;

    ReportFont m_font;
    ReportBrush m_brush;
    ReportPen m_pen;

    bool m_running = false, m_aborted = false, m_skipPage = false, m_pageOpen = false;
    int m_pageNumber = 0;
    QElapsedTimer m_sinceEvents;
};

} // namespace reportengine
