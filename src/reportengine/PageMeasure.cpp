#include "reportengine/PageMeasure.h"

#include "platform/FontNames.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPaintDevice>
#include <QPdfWriter>

namespace reportengine {

namespace {

constexpr int kReferenceDpi = 1200;

// At the whole number of dots the canvas draws the font with on this device,
// so that measured and printed widths agree.
QFont measuringFont(const ReportFont& font, const QPaintDevice& device)
{
    return qtReportFont(font, font.height * device.logicalDpiY());
}

} // namespace

QString reportFontFamily(const QString& windowsName)
{
    return platform::qtFontFamily(windowsName);
}

// Unhinted, so that advances scale linearly and the screen preview breaks
// lines where the printer does.
QFont qtReportFont(const ReportFont& font, double pixelHeight)
{
    QFont qfont(reportFontFamily(font.name));
    qfont.setPixelSize(std::max(1, static_cast<int>(std::nearbyint(pixelHeight))));
    qfont.setBold(font.bold);
    qfont.setItalic(font.italic);
    qfont.setUnderline(font.underline);
    qfont.setStrikeOut(font.strikeOut);
    if (font.pitch == fpFixed) {
        qfont.setFixedPitch(true);
        qfont.setStyleHint(QFont::TypeWriter);
    }
    qfont.setHintingPreference(QFont::PreferNoHinting);
    qfont.setKerning(false);
    // Without kerning, shaping Latin text changes nothing but costs most of a report's run time.
    qfont.setStyleStrategy(QFont::PreferNoShaping);
    return qfont;
}

DeviceMeasurer::DeviceMeasurer(QPaintDevice& device) : m_device(device) {}

double DeviceMeasurer::textWidth(const ReportFont& font, const QString& text) const
{
    return QFontMetricsF(measuringFont(font, m_device), &m_device).horizontalAdvance(text) /
           m_device.logicalDpiX();
}

double DeviceMeasurer::descent(const ReportFont& font) const
{
    return QFontMetricsF(measuringFont(font, m_device), &m_device).descent() / m_device.logicalDpiY();
}

ReferenceMeasurer::ReferenceMeasurer()
{
    // Nothing is ever painted: the writer only lends its resolution to the font metrics.
    auto* sink = new QBuffer;
    m_writer = std::make_unique<QPdfWriter>(sink);
    sink->setParent(m_writer.get());
    m_writer->setResolution(kReferenceDpi);
    m_writer->setPageSize(QPageSize(QPageSize::Letter));
    m_writer->setPageMargins(QMarginsF(0, 0, 0, 0));
    m_measurer = std::make_unique<DeviceMeasurer>(*m_writer);
}

ReferenceMeasurer::~ReferenceMeasurer() = default;

double ReferenceMeasurer::textWidth(const ReportFont& font, const QString& text) const
{
    return m_measurer->textWidth(font, text);
}

double ReferenceMeasurer::descent(const ReportFont& font) const
{
    return m_measurer->descent(font);
}

PageDevice ReferenceMeasurer::device()
{
    PageDevice device;
    device.dpiX = device.dpiY = kReferenceDpi;
    device.paperWidth = 8.5;
    device.paperHeight = 11;
    return device;
}

} // namespace reportengine
