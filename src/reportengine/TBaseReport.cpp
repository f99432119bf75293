#include "reportengine/TBaseReport.h"
#include "reportengine/PageMeasure.h"

#include <cmath>

namespace reportengine {

namespace {

// Positions are sums of line heights; compare them with a tolerance far below a dot.
constexpr double kEpsilon = 1e-7;

} // namespace

TBaseReport::TBaseReport()
{
    resetPageState();
}

TBaseReport::~TBaseReport() = default;

void TBaseReport::SetLinesPerInch(int lines)
{
    if (lines > 0)
        m_linesPerInch = lines;
}

void TBaseReport::SetUnits(reportengine::Units units)
{
    static constexpr double kFactors[] = {1, 25.4, 2.54, 72};
    m_units = units;
    if (units != unUser)
        m_unitsFactor = kFactors[units];
}

void TBaseReport::SetUnitsFactor(double factor)
{
    if (!(factor > 0))
        return;
    m_unitsFactor = factor;
    if (factor == 1)
        m_units = unInch;
    else if (factor == 25.4)
        m_units = unMM;
    else if (factor == 2.54)
        m_units = unCM;
    else if (factor == 72)
        m_units = unPoint;
    else
        m_units = unUser;
}

void TBaseReport::SetTabShade(int percent)
{
    m_tabShade = std::clamp(percent, 0, 100);
}

void TBaseReport::SetCopies(int copies)
{
    CheckIdle();
    m_copies = copies;
    DeviceSettingsChanged();
}

void TBaseReport::SetOrientation(reportengine::Orientation orientation)
{
    CheckIdle();
    m_orientation = orientation;
    DeviceSettingsChanged();
}

double TBaseReport::PaperWidth() const
{
    return toUnits(m_device.paperWidth);
}

double TBaseReport::PaperHeight() const
{
    return toUnits(m_device.paperHeight);
}

double TBaseReport::AreaLeft() const
{
    return toUnits(m_areaLeft);
}

double TBaseReport::AreaRight() const
{
    return toUnits(m_areaRight);
}

double TBaseReport::AreaTop() const
{
    return toUnits(m_areaTop);
}

double TBaseReport::AreaBottom() const
{
    return toUnits(m_areaBottom);
}

void TBaseReport::SetAreaLeft(double value)
{
    m_areaLeft = toIn(value);
    m_x = std::max(m_x, m_areaLeft);
}

void TBaseReport::SetAreaRight(double value)
{
    m_areaRight = toIn(value);
    m_x = std::min(m_x, m_areaRight);
}

void TBaseReport::SetAreaTop(double value)
{
    m_areaTop = toIn(value);
    m_y = std::max(m_y, m_areaTop);
}

void TBaseReport::SetAreaBottom(double value)
{
    m_areaBottom = toIn(value);
    m_y = std::min(m_y, m_areaBottom);
}

void TBaseReport::SetOrigin(double x, double y)
{
    m_originX = toIn(x);
    m_originY = toIn(y);
}

double TBaseReport::XPos() const
{
    return toUnits(m_x);
}

double TBaseReport::YPos() const
{
    return toUnits(m_y);
}

void TBaseReport::SetXPos(double x)
{
    m_x = toIn(x);
}

void TBaseReport::SetYPos(double y)
{
    m_y = toIn(y);
}

void TBaseReport::SetColumns(int columns)
{
    if (columns > 0)
        m_columns = columns;
}

double TBaseReport::LineHeight() const
{
    return toUnits(m_lineHeight);
}

double TBaseReport::FontDescent() const
{
    return toUnits(m_descent);
}

double TBaseReport::columnLeft() const
{
    return m_areaLeft + (m_columnNum - 1) * (m_areaRight - m_areaLeft) / m_columns;
}

void TBaseReport::refreshLineMetrics()
{
    m_lineHeight = m_lineHeightMethod == lhmFont ? m_fontLineHeight : 1.0 / m_linesPerInch;
    // Asked for every line, but the font seldom changes between lines.
    if (!m_fontDescent)
        m_fontDescent = Measurer().descent(m_font);
    m_descent = *m_fontDescent * 100.0 / m_scaleY;
}

// Setting the line always counts as a line change: the metrics of the font in
// force now decide where the line lies.
void TBaseReport::putCursorOnLine(int line)
{
    m_lineNum = line;
    refreshLineMetrics();
    m_y = line * m_lineHeight + m_areaTop - m_descent;
    m_x = columnLeft();
}

void TBaseReport::GotoLine(int line)
{
    putCursorOnLine(line);
}

void TBaseReport::ToFirstLine()
{
    m_columnNum = 1;
    putCursorOnLine(1);
}

// Adds one line height to the baseline as it stands, not to the line's own
// position: a caller that moved the baseline (onto a new area top) keeps that.
void TBaseReport::NextLine()
{
    if (m_columnNum >= m_columns || RemainingLines() > 1) {
        ++m_lineNum;
        refreshLineMetrics();
        m_y += m_lineHeight;
        m_x = columnLeft();
    } else {
        ++m_columnNum;
        putCursorOnLine(1);
        if (OnNewColumn)
            OnNewColumn(*this);
    }
    m_currentTab = -1;
    m_tabPending = false;
}

int TBaseReport::RemainingLines() const
{
    double room = m_areaBottom - (m_y + m_descent);
    if (room < -kEpsilon)
        return 0;
    return static_cast<int>(std::trunc(std::max(room, 0.0) / m_lineHeight + kEpsilon)) + 1;
}

void TBaseReport::WriteText(const QString& text)
{
    OutputActive();
    qsizetype tab = text.indexOf(QLatin1Char('\t'));
    if (tab < 0) {
        if (!text.isEmpty())
            placeText(text);
        return;
    }
    if (tab > 0)
        placeText(text.first(tab));
    while (tab >= 0) {
        const qsizetype from = tab + 1;
        tab = text.indexOf(QLatin1Char('\t'), from);
        NextTabStop();
        placeText(tab < 0 ? text.sliced(from) : text.sliced(from, tab - from));
    }
}

void TBaseReport::WriteTab(const QString& text)
{
    OutputActive();
    NextTabStop();
    placeText(text);
}

void TBaseReport::WriteLine(const QString& text)
{
    WriteText(text);
    NextLine();
}

void TBaseReport::placeText(const QString& part)
{
    if (!m_tabPending) {
        drawText(TextAlign::Left, part, m_x);
        return;
    }
    const TabStop& stop = m_tabs[m_currentTab];
    const double shift = (m_columnNum - 1) * (m_areaRight - m_areaLeft) / m_columns;
    m_tabPending = false;
    switch (stop.justify) {
    case pjLeft:
        drawText(TextAlign::Left, part, stop.position + stop.margin + shift);
        break;
    case pjCenter:
        drawText(TextAlign::Centre, part, stop.position + stop.width / 2 + shift);
        break;
    case pjRight:
        drawText(TextAlign::Right, part, stop.position + stop.width - stop.margin + shift);
        break;
    }
}

void TBaseReport::drawText(TextAlign align, const QString& text, double x)
{
    if (OutputActive() && !text.isEmpty())
        DoText(align, x + m_originX, m_y + m_originY, text);
    const double width = TextWidthInches(text);
    switch (align) {
    case TextAlign::Left:
        m_x = x + width;
        break;
    case TextAlign::Centre:
        m_x = x + std::ceil(width * m_device.dpiX / 2 - kEpsilon) / m_device.dpiX;
        break;
    case TextAlign::Right:
        m_x = x;
        break;
    }
}

void TBaseReport::TextLeftAt(const QString& text, double x)
{
    drawText(TextAlign::Left, text, toIn(x));
}

void TBaseReport::TextCentredAt(const QString& text, double x)
{
    drawText(TextAlign::Centre, text, toIn(x));
}

void TBaseReport::TextRightAt(const QString& text, double x)
{
    drawText(TextAlign::Right, text, toIn(x));
}

void TBaseReport::TextOnBottomLine(const QString& text, Justify justify)
{
    OutputActive();
    m_y = m_areaBottom - m_descent;
    switch (justify) {
    case pjCenter:
        drawText(TextAlign::Centre, text, (m_areaLeft + m_areaRight) / 2);
        break;
    case pjLeft:
        drawText(TextAlign::Left, text, m_areaLeft);
        break;
    case pjRight:
        drawText(TextAlign::Right, text, m_areaRight);
        break;
    }
}

// Every text placed is measured twice, by the writer recording it and for the
// cursor after it: the last measurement is kept for the second.
double TBaseReport::TextWidthInches(const QString& text) const
{
    if (text.isEmpty())
        return 0;
    if (m_lastMeasured.width >= 0 && m_lastMeasured.font == m_fontSerial && m_lastMeasured.text == text)
        return m_lastMeasured.width * 100.0 / m_scaleX;
    const double width = Measurer().textWidth(m_font, text);
    m_lastMeasured = {text, m_fontSerial, width};
    return width * 100.0 / m_scaleX;
}

double TBaseReport::MeasureText(const QString& text) const
{
    return toUnits(TextWidthInches(text));
}

void TBaseReport::AddTabStop(double position, Justify justify, double width, double margin, int boxLines,
                             int shade)
{
    TabStop stop;
    if (position >= 0)
        stop.position = toIn(position);
    else if (m_tabs.isEmpty())
        stop.position = toIn(m_marginLeft);
    else
        stop.position = m_tabs.back().position + m_tabs.back().width;
    stop.justify = justify;
    if (width > 0) {
        stop.width = toIn(width);
        stop.margin = margin * 0.01;
        stop.boxLines = boxLines & blAll;
        stop.shade = std::clamp(shade, 0, 100);
    }
    m_tabs.append(stop);
}

void TBaseReport::ClearTabStops()
{
    m_tabs.clear();
    m_currentTab = -1;
    m_tabPending = false;
}

void TBaseReport::SetTabStops(const QVector<TabStop>& stops)
{
    ClearTabStops();
    m_tabs = stops;
}

double TBaseReport::TabStopWidth(int n) const
{
    const int index = n == 0 ? m_currentTab : n - 1;
    if (index < 0 || index >= m_tabs.size())
        return 0;
    return toUnits(m_tabs[index].width - 2 * m_tabs[index].margin);
}

void TBaseReport::NextTabStop()
{
    if (!OutputActive())
        return;
    m_tabPending = false;
    if (m_currentTab + 1 >= m_tabs.size()) {
        m_currentTab = static_cast<int>(m_tabs.size());
        return;
    }
    ++m_currentTab;
    m_tabPending = true;
    const TabStop& stop = m_tabs[m_currentTab];
    if (stop.width <= 0)
        return;
    const double shift = (m_columnNum - 1) * (m_areaRight - m_areaLeft) / m_columns;
    const double left = stop.position + shift + m_originX;
    const double right = left + stop.width;
    const double bottom = m_y + m_descent + m_originY;
    const double top = bottom - m_lineHeight;
    const int shade = stop.shade > 0 ? stop.shade : m_tabShade;
    if (shade > 0) {
        const ReportBrush brush = m_brush;
        const ReportPen pen = m_pen;
        const BKMode mode = m_bkMode;
        const int grey = (shade * 255 / 100) ^ 255;
        SetBrush({QColor(grey, grey, grey), bsSolid, std::nullopt});
        SetPenStyle(psClear);
        SetTextBKMode(bkTransparent);
        DoTabCell(QRectF(QPointF(left, top), QPointF(right, bottom)));
        SetBrush(brush);
        SetPen(pen);
        SetTextBKMode(mode);
    }
    const auto line = [this](double x1, double y1, double x2, double y2) {
        DoMoveTo({x1, y1});
        DoLineTo({x2, y2});
    };
    if (stop.boxLines & blLeft)
        line(left, bottom, left, top);
    if (stop.boxLines & blRight)
        line(right, bottom, right, top);
    if (stop.boxLines & blTop)
        line(left, top, right, top);
    if (stop.boxLines & blBottom)
        line(left, bottom, right, bottom);
}

void TBaseReport::SetMeasurer(std::shared_ptr<const PageMeasurer> measurer)
{
    m_measurer = std::move(measurer);
    m_lastMeasured = {};
    m_fontDescent.reset();
}

const PageMeasurer& TBaseReport::Measurer() const
{
    if (!m_measurer)
        m_measurer = std::make_shared<ReferenceMeasurer>();
    return *m_measurer;
}

int TBaseReport::DeviceX(double x) const
{
    return static_cast<int>(
               std::nearbyint((x * m_scaleX * m_zoom / 10000 - m_device.borderLeft) * m_device.dpiX)) +
           m_device.originX;
}

int TBaseReport::DeviceY(double y) const
{
    return static_cast<int>(
               std::nearbyint((y * m_scaleY * m_zoom / 10000 - m_device.borderTop) * m_device.dpiY)) +
           m_device.originY;
}

void TBaseReport::SetDevice(const PageDevice& device)
{
    m_device = device;
    if (!m_running)
        resetPageState();
}

void TBaseReport::SetZoom(double percent)
{
    m_zoom = percent;
}

bool TBaseReport::OutputActive() const
{
    if (!m_running)
        throw ReportError(kNotPrinting);
    return !m_skipPage && m_pageOpen;
}

void TBaseReport::CheckIdle() const
{
    if (m_running)
        throw ReportError(kAlreadyPrinting);
}

} // namespace reportengine
