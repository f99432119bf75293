#include "reportengine/CachedMeasurer.h"

#include <QBuffer>
#include <QPageSize>
#include <QPdfWriter>

namespace reportengine {

namespace {

constexpr std::size_t kFonts = 8;

// Everything of a font that changes its metrics; the colour does not.
bool sameShape(const ReportFont& a, const ReportFont& b)
{
    return a.height == b.height && a.bold == b.bold && a.italic == b.italic && a.underline == b.underline &&
           a.strikeOut == b.strikeOut && a.pitch == b.pitch && a.name == b.name;
}

std::unique_ptr<QPdfWriter> referenceWriter()
{
    // Nothing is ever painted: the writer only lends its resolution to the font metrics.
    auto* sink = new QBuffer;
    auto writer = std::make_unique<QPdfWriter>(sink);
    sink->setParent(writer.get());
    const PageDevice device = ReferenceMeasurer::device();
    writer->setResolution(int(device.dpiX));
    writer->setPageSize(QPageSize(QSizeF(device.paperWidth, device.paperHeight), QPageSize::Inch));
    writer->setPageMargins(QMarginsF(0, 0, 0, 0));
    return writer;
}

} // namespace

CachedMeasurer::CachedMeasurer(QPaintDevice& device)
    : m_device(device), m_dpiX(device.logicalDpiX()), m_dpiY(device.logicalDpiY())
{
}

CachedMeasurer::CachedMeasurer()
    : m_reference(referenceWriter()), m_device(*m_reference), m_dpiX(m_device.logicalDpiX()),
      m_dpiY(m_device.logicalDpiY())
{
}

CachedMeasurer::~CachedMeasurer() = default;

const QFontMetricsF& CachedMeasurer::metrics(const ReportFont& font) const
{
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (sameShape(m_entries[i].font, font)) {
            if (i != 0)
                std::swap(m_entries[i], m_entries[0]);
            return m_entries[0].metrics;
        }
    }
    // At the whole number of dots the canvas draws the font with on this device.
    const QFontMetricsF metrics(qtReportFont(font, font.height * m_dpiY), &m_device);
    if (m_entries.size() == kFonts)
        m_entries.pop_back();
    m_entries.insert(m_entries.begin(), Entry{font, metrics});
    return m_entries[0].metrics;
}

double CachedMeasurer::textWidth(const ReportFont& font, const QString& text) const
{
    return metrics(font).horizontalAdvance(text) / m_dpiX;
}

double CachedMeasurer::descent(const ReportFont& font) const
{
    return metrics(font).descent() / m_dpiY;
}

} // namespace reportengine
