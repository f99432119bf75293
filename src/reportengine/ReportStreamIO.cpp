#include "reportengine/ReportStreamIO.h"

#include "reportengine/TPrinterReport.h"

#include <QPrinter>

namespace reportengine {

namespace {

// Bytes 0x80..0x9F of Windows-1252; the five it leaves free stand for the C1
// control of their own number. Every other byte is its Latin-1 character.
constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char streamByte(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == c)
            return static_cast<char>(0x80 + i);
    return '?';
}

} // namespace

std::string toStreamText(const QString& text)
{
    std::string bytes(static_cast<std::size_t>(text.size()), '\0');
    char* out = bytes.data();
    const QChar* c = text.constData();
    const QChar* const end = c + text.size();
    for (; c != end; ++c) {
        if (c->isHighSurrogate() && c + 1 != end && c[1].isLowSurrogate())
            ++c; // one character outside the code page, one '?'
        *out++ = streamByte(c->unicode());
    }
    bytes.resize(static_cast<std::size_t>(out - bytes.data()));
    return bytes;
}

QString fromStreamText(std::string_view bytes)
{
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char b : bytes) {
        const auto byte = static_cast<unsigned char>(b);
        *out++ = QChar(byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : char16_t(byte));
    }
    return text;
}

std::int32_t toStreamColour(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return stream::rgb(std::uint8_t(rgb.red()), std::uint8_t(rgb.green()), std::uint8_t(rgb.blue()));
}

QColor fromStreamColour(std::int32_t colour)
{
    return QColor(colour & 0xff, (colour >> 8) & 0xff, (colour >> 16) & 0xff);
}

bool printerWritesPdf(const QPrinter& printer)
{
    return printer.outputFormat() == QPrinter::PdfFormat || !printer.isValid() ||
           printer.printerName().isEmpty();
}

PageDevice printerPageDevice(const QPrinter& printer)
{
    return printerPageDevice(printer, printer.fullPage() || printerWritesPdf(printer));
}

} // namespace reportengine
