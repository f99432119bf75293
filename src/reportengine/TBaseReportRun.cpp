// The run lifecycle of the page engine, its status text and its font, brush and pen state.
#include "reportengine/TBaseReport.h"

#include <QCoreApplication>
#include <QLabel>

namespace reportengine {

void TBaseReport::resetPageState()
{
    m_originX = m_originY = 0;
    m_areaLeft = toIn(m_marginLeft);
    m_areaTop = toIn(m_marginTop);
    m_areaRight = m_device.paperWidth - toIn(m_marginRight);
    m_areaBottom = m_device.paperHeight - toIn(m_marginBottom);
    m_columnNum = 1;
}

// The page-one state of brush, pen and tab stops; no page is open yet, so no
// subclass hears of it.
void TBaseReport::resetRunState()
{
    m_brush = ReportBrush{};
    m_pen = ReportPen{};
    m_tabs.clear();
    m_currentTab = -1;
    m_tabPending = false;
}

void TBaseReport::Run()
{
    CheckIdle();
    if (!CanRun())
        return;
    m_pageNumber = 0;
    // Every run starts from the same font, whatever the previous run left behind.
    m_font = ReportFont{};
    m_font.height = 10.0 / 72.0 * (m_scaleY / 100.0);
    ++m_fontSerial;
    m_fontDescent.reset();
    m_fontLineHeight = 1.0 / 6.0;
    try {
        if (OnBeforePrint)
            OnBeforePrint(*this);
        if ((OnPrint || OnPrintPage) && OpenOutput()) {
            m_running = true;
            m_aborted = false;
            m_pageOpen = false;
            resetRunState();
            resetPageState();
            ToFirstLine();
            m_pageNumber = 1;
            startPage();
            if (OnPrint) {
                OnPrint(*this);
            } else {
                while (OnPrintPage(*this) && !m_aborted)
                    NextPage();
            }
            if (OnPrintFooter)
                OnPrintFooter(*this);
            finishRun(m_aborted);
        }
    } catch (...) {
        if (m_running)
            finishRun(true);
        if (OnAfterPrint)
            OnAfterPrint(*this);
        throw;
    }
    if (OnAfterPrint)
        OnAfterPrint(*this);
}

// An aborted run still closes the page it opened, so recorded output stays whole.
void TBaseReport::finishRun(bool aborted)
{
    m_running = false;
    endPage();
    CloseOutput(aborted);
}

void TBaseReport::startPage()
{
    m_skipPage = m_aborted || m_pageNumber < m_firstPage || m_pageNumber > m_lastPage;
    UpdateStatus();
    if (!m_skipPage) {
        StartPageOutput(m_pageNumber);
        m_pageOpen = true;
    }
    if (OnNewPage)
        OnNewPage(*this);
    if (OnPrintHeader)
        OnPrintHeader(*this);
}

void TBaseReport::endPage()
{
    if (!m_pageOpen)
        return;
    m_pageOpen = false;
    EndPageOutput();
}

// The tab stops stay; only the current one starts again from the first.
void TBaseReport::NextPage()
{
    OutputActive();
    if (OnPrintFooter)
        OnPrintFooter(*this);
    endPage();
    ++m_pageNumber;
    resetPageState();
    m_currentTab = -1;
    m_tabPending = false;
    ToFirstLine();
    startPage();
}

void TBaseReport::AbortReport()
{
    m_aborted = true;
    m_skipPage = true;
}

QString TBaseReport::StatusString() const
{
    QString result;
    for (qsizetype i = 0; i < m_statusFormat.size(); ++i) {
        const QChar c = m_statusFormat[i];
        if (c != QLatin1Char('%') || i + 1 == m_statusFormat.size()) {
            result += c;
            continue;
        }
        const QChar code = m_statusFormat[++i].toUpper();
        if (code == QLatin1Char('%'))
            result += code;
        else if (code >= QLatin1Char('0') && code <= QLatin1Char('9')) {
            const int line = code.digitValue();
            if (line < m_statusText.size())
                result += m_statusText[line];
        } else if (code == QLatin1Char('P'))
            result += QString::number(m_pageNumber);
        else if (code == QLatin1Char('F'))
            result += QString::number(m_firstPage);
        else if (code == QLatin1Char('L'))
            result += QString::number(m_lastPage);
        else if (code == QLatin1Char('D'))
            result += DeviceName();
        else if (code == QLatin1Char('R'))
            result += DriverName();
        else if (code == QLatin1Char('T'))
            result += PortName();
        else
            result += QStringLiteral("<ERROR-%") + code + QLatin1Char('>');
    }
    return result;
}

void TBaseReport::UpdateStatus()
{
    const QString status = StatusString();
    // Status formats break lines with a carriage return, on which a label does not break.
    if (m_statusLabel) {
        QString shown = status;
        shown.replace(QLatin1String("\r\n"), QLatin1String("\n"))
            .replace(QLatin1Char('\r'), QLatin1Char('\n'));
        m_statusLabel->setText(shown);
    }
    if (OnStatus)
        OnStatus(status);
    ProcessPendingEvents();
}

void TBaseReport::ProcessPendingEvents()
{
    constexpr qint64 kIntervalMs = 50;
    if (!QCoreApplication::instance() || !m_processEvents)
        return;
    if (m_sinceEvents.isValid() && m_sinceEvents.elapsed() < kIntervalMs)
        return;
    QCoreApplication::processEvents();
    m_sinceEvents.start();
}

void TBaseReport::SetTextBKMode(BKMode mode)
{
    m_bkMode = mode;
    if (outputLive())
        BackgroundChanged();
}

void TBaseReport::SetBackgroundColor(const QColor& color)
{
    m_bkColor = color;
    if (outputLive())
        BackgroundChanged();
}

void TBaseReport::SetScaleX(double percent)
{
    m_scaleX = percent;
    if (outputLive())
        ScaleChanged();
}

void TBaseReport::SetScaleY(double percent)
{
    m_scaleY = percent;
    if (outputLive())
        ScaleChanged();
}

void TBaseReport::SelectFont(const QString& name, double size)
{
    ReportFont font;
    font.name = name;
    font.height = size / 72.0 * m_scaleY / 100.0;
    m_fontLineHeight = size / 60.0;
    SetFont(font);
}

void TBaseReport::SetFont(const ReportFont& font)
{
    m_font = font;
    ++m_fontSerial;
    m_fontDescent.reset();
    if (outputLive())
        FontChanged();
}

void TBaseReport::Bold(bool on)
{
    m_font.bold = on;
    SetFont(m_font);
}

void TBaseReport::Italic(bool on)
{
    m_font.italic = on;
    SetFont(m_font);
}

void TBaseReport::Underline(bool on)
{
    m_font.underline = on;
    SetFont(m_font);
}

void TBaseReport::StrikeOut(bool on)
{
    m_font.strikeOut = on;
    SetFont(m_font);
}

void TBaseReport::SetFontColor(const QColor& color)
{
    m_font.color = color;
    SetFont(m_font);
}

void TBaseReport::SetFontPitch(FontPitch pitch)
{
    m_font.pitch = pitch;
    SetFont(m_font);
}

void TBaseReport::SetBrush(const ReportBrush& brush)
{
    m_brush = brush;
    if (outputLive())
        BrushChanged();
}

void TBaseReport::SetBrushColor(const QColor& color)
{
    m_brush.color = color;
    SetBrush(m_brush);
}

void TBaseReport::SetBrushStyle(BrushStyle style)
{
    m_brush.style = style;
    SetBrush(m_brush);
}

void TBaseReport::SetPen(const ReportPen& pen)
{
    m_pen = pen;
    if (outputLive())
        PenChanged();
}

void TBaseReport::SetPenColor(const QColor& color)
{
    m_pen.color = color;
    SetPen(m_pen);
}

void TBaseReport::SetPenStyle(PenStyle style)
{
    m_pen.style = style;
    SetPen(m_pen);
}

void TBaseReport::SetPenMode(PenMode mode)
{
    m_pen.mode = mode;
    SetPen(m_pen);
}

void TBaseReport::SetPenWidth(int width)
{
    // One dot is the thinnest line on every device, as 0 is.
    m_pen.width = width > 1 ? width / m_device.dpiX : width < 0 ? -width / 100.0 : 0.0;
    SetPen(m_pen);
}

} // namespace reportengine
