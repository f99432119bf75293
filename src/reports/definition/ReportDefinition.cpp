#include "reports/definition/ReportDefinition.h"

#include "dbase/CodePage.h"
#include "reports/definition/ReportFields.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace reports {

namespace {

// Offsets of the record's fields.
constexpr std::size_t kName = 0;
constexpr std::size_t kWidth = 31;
constexpr std::size_t kFonts = 33;
constexpr std::size_t kFontSize = 61;
constexpr std::size_t kColumnHeaders = 338;
constexpr std::size_t kPageNumbers = 339;
constexpr std::size_t kLandscape = 340;
constexpr std::size_t kDateOnPages = 341;
constexpr std::size_t kUseTotals = 342;
constexpr std::size_t kLineCount = 343;
constexpr std::size_t kTotals = 345;
constexpr std::size_t kMargins = 1845; // top, bottom, left, right
constexpr std::size_t kVerticalLines = 1877;
constexpr std::size_t kHorizontalLines = 1878;
constexpr std::size_t kTitles = 1879;
constexpr std::size_t kTitleSize = 81;
constexpr std::size_t kLines = 2122;
constexpr std::size_t kLineSize = 1500;
constexpr std::size_t kItemSize = 75;
constexpr std::size_t kGroupLevel1 = 20122;
constexpr std::size_t kGroupLevel2 = 20123;
constexpr std::size_t kReserved = 20124;

// The older record.
constexpr std::size_t kOldColumnHeaders = 83;
constexpr std::size_t kOldPageNumbers = 84;
constexpr std::size_t kOldUseTotals = 85;
constexpr std::size_t kOldLineCount = 86;
constexpr std::size_t kOldTotals = 88;
constexpr std::size_t kOldTitles = 1588;
constexpr std::size_t kOldLines = 1831;

constexpr double kDefaultMargin = 0.5;
constexpr int kDefaultFontSize = 10;
constexpr int kMaxFontSize = 144;

using Bytes = std::span<const std::uint8_t>;

int int16At(Bytes b, std::size_t at)
{
    return std::int16_t(std::uint16_t(b[at] | (b[at + 1] << 8)));
}

std::int32_t int32At(Bytes b, std::size_t at)
{
    return std::int32_t(std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 |
                        std::uint32_t(b[at + 2]) << 16 | std::uint32_t(b[at + 3]) << 24);
}

// Little-endian IEEE double at an odd offset: copied, never cast.
double doubleAt(Bytes b, std::size_t at)
{
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = bits << 8 | b[at + std::size_t(i)];
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// string[n]: a length byte, then n bytes of which the first min(length, n) count.
// Windows-1252's undefined bytes and the C1 controls never leave the record.
std::string stringAt(Bytes b, std::size_t at, std::size_t n)
{
    const std::size_t length = std::min<std::size_t>(b[at], n);
    std::string bytes;
    bytes.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t c = b[at + 1 + i];
        if (c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D)
            continue;
        bytes.push_back(char(c));
    }
    return dbase::CodePage::windows1252().decode(bytes);
}

ReportItem itemAt(Bytes b, std::size_t at)
{
    ReportItem item;
    item.name = stringAt(b, at, 30);
    item.number = b[at + 31];
    item.width = int16At(b, at + 32);
    item.label = stringAt(b, at + 34, 40);
    return item;
}

ReportLine lineAt(Bytes b, std::size_t at)
{
    ReportLine line;
    for (int j = 0; j < kItemsPerLine; ++j)
        line[std::size_t(j)] = itemAt(b, at + std::size_t(j) * kItemSize);
    return line;
}

ReportFontBlock fontAt(Bytes b, std::size_t at)
{
    ReportFontBlock font;
    font.name = stringAt(b, at, 50);
    font.size = int16At(b, at + 51);
    font.bold = b[at + 53] != 0;
    font.italic = b[at + 54] != 0;
    font.underline = b[at + 55] != 0;
    font.strikeOut = b[at + 56] != 0;
    font.colour = int32At(b, at + 57);
    return font;
}

class Writer {
public:
    explicit Writer(DefinitionBytes& out) : m_out(out) {}

    void int16(std::size_t at, int value)
    {
        const auto v = std::uint16_t(std::int16_t(value));
        m_out[at] = std::uint8_t(v & 0xff);
        m_out[at + 1] = std::uint8_t(v >> 8);
    }
    void int32(std::size_t at, std::int32_t value)
    {
        for (int i = 0; i < 4; ++i)
            m_out[at + std::size_t(i)] = std::uint8_t((std::uint32_t(value) >> (8 * i)) & 0xff);
    }
    void real(std::size_t at, double value)
    {
        std::uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        for (int i = 0; i < 8; ++i)
            m_out[at + std::size_t(i)] = std::uint8_t((bits >> (8 * i)) & 0xff);
    }
    void flag(std::size_t at, bool on) { m_out[at] = on ? 1 : 0; }
    // The bytes after the length stay zero, so that equal definitions give equal files.
    void string(std::size_t at, std::size_t n, const std::string& text, const char* what)
    {
        std::string bytes;
        std::string bad;
        if (!dbase::CodePage::windows1252().encode(text, bytes, bad))
            throw DefinitionError(std::string("The character \"") + bad + "\" of the " + what +
                                  " cannot be stored in a report file.");
        if (bytes.size() > n)
            throw DefinitionError(std::string("The ") + what + " is longer than " + std::to_string(n) +
                                  " characters.");
        m_out[at] = std::uint8_t(bytes.size());
        std::memcpy(&m_out[at + 1], bytes.data(), bytes.size());
    }
    void item(std::size_t at, const ReportItem& item)
    {
        string(at, 30, item.name, "item name");
        m_out[at + 31] = std::uint8_t(std::clamp(item.number, 0, 255));
        int16(at + 32, item.width);
        string(at + 34, 40, item.label, "label");
    }
    void line(std::size_t at, const ReportLine& line)
    {
        for (int j = 0; j < kItemsPerLine; ++j)
            item(at + std::size_t(j) * kItemSize, line[std::size_t(j)]);
    }
    void font(std::size_t at, const ReportFontBlock& font)
    {
        string(at, 50, font.name, "font name");
        int16(at + 51, font.size);
        flag(at + 53, font.bold);
        flag(at + 54, font.italic);
        flag(at + 55, font.underline);
        flag(at + 56, font.strikeOut);
        int32(at + 57, font.colour);
    }

private:
    DefinitionBytes& m_out;
};

void sanitiseLine(ReportLine& line, int lastNumber)
{
    for (ReportItem& item : line) {
        item.width = std::clamp(item.width, 0, kMaxItemWidth);
        if (item.kind() == ReportItem::Kind::Field && (item.number < 1 || item.number > lastNumber)) {
            item.name = kFiller;
            item.label.clear();
        }
    }
}

void renumber(ReportLine& line, int lastNumber, int (*numberOf)(std::string_view))
{
    for (ReportItem& item : line)
        if (item.kind() == ReportItem::Kind::Field && (item.number < 1 || item.number > lastNumber))
            item.number = numberOf(item.name);
}

double saneMargin(double margin)
{
    return std::isfinite(margin) && margin >= 0 ? margin : kDefaultMargin;
}

} // namespace

ReportItem::Kind ReportItem::kind() const
{
    if (name == kFiller)
        return Kind::Filler;
    if (name == kLabel)
        return Kind::Label;
    return Kind::Field;
}

std::span<const ReportItem> ReportDefinition::used(const ReportLine& line) const
{
    std::size_t n = 0;
    while (n < line.size() && line[n].width > 0)
        ++n;
    return std::span<const ReportItem>(line.data(), n);
}

std::string decodeName(std::span<const std::uint8_t> nameField)
{
    if (nameField.size() < 31)
        return {};
    return stringAt(nameField, kName, 30);
}

ReportDefinition decodeDefinition(std::span<const std::uint8_t, kDefinitionSize> record)
{
    const Bytes b(record);
    ReportDefinition d;
    d.name = stringAt(b, kName, 30);
    d.width = int16At(b, kWidth);
    for (std::size_t f = 0; f < d.fonts.size(); ++f)
        d.fonts[f] = fontAt(b, kFonts + f * kFontSize);
    d.columnHeaders = b[kColumnHeaders] != 0;
    d.pageNumbers = b[kPageNumbers] != 0;
    d.landscape = b[kLandscape] != 0;
    d.dateOnPages = b[kDateOnPages] != 0;
    d.useTotals = b[kUseTotals] != 0;
    d.lineCount = int16At(b, kLineCount);
    d.totals = lineAt(b, kTotals);
    d.marginTop = doubleAt(b, kMargins);
    d.marginBottom = doubleAt(b, kMargins + 8);
    d.marginLeft = doubleAt(b, kMargins + 16);
    d.marginRight = doubleAt(b, kMargins + 24);
    d.verticalLines = b[kVerticalLines] != 0;
    d.horizontalLines = b[kHorizontalLines] != 0;
    for (std::size_t t = 0; t < d.titles.size(); ++t)
        d.titles[t] = stringAt(b, kTitles + t * kTitleSize, 80);
    for (std::size_t k = 0; k < d.lines.size(); ++k)
        d.lines[k] = lineAt(b, kLines + k * kLineSize);
    d.groupLevel1 = b[kGroupLevel1] != 0;
    d.groupLevel2 = b[kGroupLevel2] != 0;
    std::memcpy(d.reserved.data(), &b[kReserved], kReservedSize);
    sanitise(d);
    return d;
}

DefinitionBytes encodeDefinition(const ReportDefinition& d)
{
    DefinitionBytes out{};
    Writer w(out);
    w.string(kName, 30, d.name, "report name");
    w.int16(kWidth, d.width);
    for (std::size_t f = 0; f < d.fonts.size(); ++f)
        w.font(kFonts + f * kFontSize, d.fonts[f]);
    w.flag(kColumnHeaders, d.columnHeaders);
    w.flag(kPageNumbers, d.pageNumbers);
    w.flag(kLandscape, d.landscape);
    w.flag(kDateOnPages, d.dateOnPages);
    w.flag(kUseTotals, d.useTotals);
    w.int16(kLineCount, d.lineCount);
    w.line(kTotals, d.totals);
    w.real(kMargins, d.marginTop);
    w.real(kMargins + 8, d.marginBottom);
    w.real(kMargins + 16, d.marginLeft);
    w.real(kMargins + 24, d.marginRight);
    w.flag(kVerticalLines, d.verticalLines);
    w.flag(kHorizontalLines, d.horizontalLines);
    for (std::size_t t = 0; t < d.titles.size(); ++t)
        w.string(kTitles + t * kTitleSize, 80, d.titles[t], "title");
    for (std::size_t k = 0; k < d.lines.size(); ++k)
        w.line(kLines + k * kLineSize, d.lines[k]);
    w.flag(kGroupLevel1, d.groupLevel1);
    w.flag(kGroupLevel2, d.groupLevel2);
    std::memcpy(&out[kReserved], d.reserved.data(), kReservedSize);
    return out;
}

ReportDefinition decodeOldDefinition(std::span<const std::uint8_t, kOldDefinitionSize> record)
{
    const Bytes b(record);
    ReportDefinition d = newDefinition();
    d.name = stringAt(b, kName, 30);
    d.width = int16At(b, kWidth);
    d.columnHeaders = b[kOldColumnHeaders] != 0;
    d.pageNumbers = b[kOldPageNumbers] != 0;
    d.useTotals = b[kOldUseTotals] != 0;
    d.lineCount = int16At(b, kOldLineCount);
    d.totals = lineAt(b, kOldTotals);
    for (std::size_t t = 0; t < d.titles.size(); ++t)
        d.titles[t] = stringAt(b, kOldTitles + t * kTitleSize, 80);
    for (std::size_t k = 0; k < d.lines.size(); ++k)
        d.lines[k] = lineAt(b, kOldLines + k * kLineSize);
    const int size = d.width == 90 ? 10 : 8;
    for (std::size_t f = 0; f < d.fonts.size(); ++f)
        d.fonts[f] = ReportFontBlock{"Courier New", size, f == 0 || f == 1 || f == 4, false, false, false, 0};
    d.landscape = false;
    d.dateOnPages = true;
    d.verticalLines = d.horizontalLines = false;
    d.groupLevel1 = true;
    d.groupLevel2 = false;
    // The older program kept field numbers less carefully than names: find a lost number by its name.
    renumber(d.totals, kTotalCount, totalNumber);
    for (ReportLine& line : d.lines)
        renumber(line, kFieldCount, fieldNumber);
    sanitise(d);
    return d;
}

void sanitise(ReportDefinition& d)
{
    d.lineCount = std::clamp(d.lineCount, 0, kMaxLines);
    if (d.width != 90 && d.width != 120 && d.width != 150)
        d.width = 90;
    for (ReportFontBlock& font : d.fonts)
        if (font.size < 1 || font.size > kMaxFontSize)
            font.size = kDefaultFontSize;
    d.marginTop = saneMargin(d.marginTop);
    d.marginBottom = saneMargin(d.marginBottom);
    d.marginLeft = saneMargin(d.marginLeft);
    d.marginRight = saneMargin(d.marginRight);
    sanitiseLine(d.totals, kTotalCount);
    for (ReportLine& line : d.lines)
        sanitiseLine(line, kFieldCount);
}

ReportDefinition newDefinition()
{
    ReportDefinition d;
    for (std::size_t f = 0; f < d.fonts.size(); ++f)
        d.fonts[f] = ReportFontBlock{"Courier New", 10, f == 0 || f == 1 || f == 4, false, false, false, 0};
    d.totals[0].width = kMaxItemWidth;
    for (ReportLine& line : d.lines)
        line[0].width = kMaxItemWidth;
    return d;
}

} // namespace reports
