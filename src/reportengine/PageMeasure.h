#pragma once

// Text measurement for the page engine. Layout never measures on the screen:
// on the printer's own resolution, or on a fixed high-resolution reference
// device, so that what the preview shows is what prints.

#include "reportengine/TBaseReport.h"

#include <QFont>
#include <QString>
#include <memory>

class QPaintDevice;
class QPdfWriter;

namespace reportengine {

// The installed family standing in for a Windows font name (Arial, Courier New, ...).
QString reportFontFamily(const QString& windowsName);

// A Qt font for a report font whose character height is pixelHeight dots.
QFont qtReportFont(const ReportFont& font, double pixelHeight);

class PageMeasurer {
public:
    virtual ~PageMeasurer() = default;
    // Advance width of text in the font, inches (font.height already scaled).
    virtual double textWidth(const ReportFont& font, const QString& text) const = 0;
    // Descent below the baseline, inches.
    virtual double descent(const ReportFont& font) const = 0;
};

// Measures with real fonts on a paint device (a printer). The device must
// outlive the measurer.
class DeviceMeasurer : public PageMeasurer {
public:
    explicit DeviceMeasurer(QPaintDevice& device);
    double textWidth(const ReportFont& font, const QString& text) const override;
    double descent(const ReportFont& font) const override;

private:
    QPaintDevice& m_device;
};

// Measures on a Letter page at 1200 dpi with no unprintable borders, for runs
// with no printer.
class ReferenceMeasurer : public PageMeasurer {
public:
    ReferenceMeasurer();
    ~ReferenceMeasurer() override;
    double textWidth(const ReportFont& font, const QString& text) const override;
    double descent(const ReportFont& font) const override;
    static PageDevice device();

private:
    std::unique_ptr<QPdfWriter> m_writer;
    std::unique_ptr<DeviceMeasurer> m_measurer;
};

} // namespace reportengine
