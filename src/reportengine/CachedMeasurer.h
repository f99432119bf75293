#pragma once

// Measures text like DeviceMeasurer, keeping the metrics of the fonts last
// used: a report switches between a few fonts, and building a font for every
// measurement costs as much as the measuring itself. Text of Latin-1's
// printable characters is measured as the sum of each character's advance,
// kept per font: report fonts are neither kerned nor shaped, so a text is as
// wide as its characters laid end to end, and laying out every field through
// Qt's text engine took most of a report's run time.

#include "reportengine/PageMeasure.h"

#include <QFontMetricsF>
#include <array>
#include <memory>
#include <vector>

class QPaintDevice;
class QPdfWriter;

namespace reportengine {

class CachedMeasurer : public PageMeasurer {
public:
    // Measures on device, which must outlive the measurer and keep its resolution.
    explicit CachedMeasurer(QPaintDevice& device);
    // Measures on its own reference device: Letter, 1200 dpi, no unprintable
    // borders, as ReferenceMeasurer does.
    CachedMeasurer();
    ~CachedMeasurer() override;

    double textWidth(const ReportFont& font, const QString& text) const override;
    double descent(const ReportFont& font) const override;

private:
    struct Entry;
    Entry& entry(const ReportFont& font) const;

    std::unique_ptr<QPdfWriter> m_reference;
    QPaintDevice& m_device;
    double m_dpiX; // read once: asking a printer for them is not free
    double m_dpiY;
    mutable std::vector<std::unique_ptr<Entry>> m_entries; // most recently used first
};

} // namespace reportengine
