#include "reportengine/CachedMeasurer.h"

#include <QBuffer>
#include <QPageSize>
#include <QPdfWriter>

namespace reportengine {

struct CachedMeasurer::Entry {
    ReportFont font;
    QFontMetricsF metrics;
    // Dots each Latin-1 character advances; negative until it is first measured.
    std::array<double, 256> advances;
};

namespace {

constexpr std::size_t kFonts = 8;

// Printable Latin-1 characters, each of which advances the same wherever it
// stands. Control characters and the soft hyphen, whose width depends on
// where it falls, are measured with their text.
bool standsAlone(char16_t c)
{
    return (c >= 0x20 && c < 0x7F) || (c >= 0xA0 && c <= 0xFF && c != 0xAD);
}

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

CachedMeasurer::Entry& CachedMeasurer::entry(const ReportFont& font) const
{
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (sameShape(m_entries[i]->font, font)) {
            if (i != 0)
                std::swap(m_entries[i], m_entries[0]);
            return *m_entries[0];
        }
    }
    // At the whole number of dots the canvas draws the font with on this device.
    auto made = std::make_unique<Entry>(
        Entry{font, QFontMetricsF(qtReportFont(font, font.height * m_dpiY), &m_device), {}});
    made->advances.fill(-1);
    if (m_entries.size() == kFonts)
        m_entries.pop_back();
    m_entries.insert(m_entries.begin(), std::move(made));
    return *m_entries[0];
}

double CachedMeasurer::textWidth(const ReportFont& font, const QString& text) const
{
    Entry& e = entry(font);
    // Advances are whole 64ths of a dot, so the sum is exact in any order.
    double dots = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!standsAlone(u))
            return e.metrics.horizontalAdvance(text) / m_dpiX;
        double& advance = e.advances[u];
        if (advance < 0)
            advance = e.metrics.horizontalAdvance(QString(c));
        dots += advance;
    }
    return dots / m_dpiX;
}

double CachedMeasurer::descent(const ReportFont& font) const
{
    return entry(font).metrics.descent() / m_dpiY;
}

} // namespace reportengine
