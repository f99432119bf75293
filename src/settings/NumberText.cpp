#include "NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

namespace settings {
namespace {

constexpr int kMaxDecimals = 400;

QChar firstOrBlank(const QString& separator)
{
    return separator.isEmpty() ? QChar(u' ') : separator.front();
}

// A separator that would be taken for part of the number when money is read back.
bool partOfNumber(QChar c)
{
    return c.isDigit() || c == u'+' || c == u'-' || c == u'e' || c == u'E';
}

void useDecimalSeparator(QString& text, QChar separator)
{
    if (qsizetype at = text.indexOf(u'.'); at >= 0)
        text[at] = separator;
}

// Adds one unit in the last place of a string of decimal digits.
void incrementDigits(std::string& digits)
{
    auto i = digits.size();
    while (i > 0 && digits[i - 1] == '9')
        digits[--i] = '0';
    if (i == 0)
        digits.insert(digits.begin(), '1');
    else
        ++digits[i - 1];
}

// Optional sign, digits with an optional fraction (at least one digit), optional exponent.
bool isDecimalNumber(std::string_view s)
{
    std::size_t i = 0;
    auto digitsFrom = [&] {
        std::size_t start = i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i;
        return i - start;
    };
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    std::size_t mantissa = digitsFrom();
    if (i < s.size() && s[i] == '.') {
        ++i;
        mantissa += digitsFrom();
    }
    if (mantissa == 0)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        if (digitsFrom() == 0)
            return false;
    }
    return i == s.size();
}

} // namespace

QString fixedText(double value, int decimals)
{
    if (!std::isfinite(value))
        return QString::number(value);
    decimals = std::clamp(decimals, 0, kMaxDecimals);
    // The shortest fixed form of a double has at most 309 integer or 327 fraction digits.
    char buffer[400];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    std::string_view text(buffer, std::size_t(result.ptr - buffer));
    const bool negative = text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    const auto point = text.find('.');
    std::string integer(text.substr(0, point));
    std::string fraction(point == std::string_view::npos ? std::string_view() : text.substr(point + 1));

    const auto kept = std::size_t(decimals);
    const bool roundUp = fraction.size() > kept && fraction[kept] >= '5';
    fraction.resize(kept, '0');
    if (roundUp) {
        std::string digits = integer + fraction;
        incrementDigits(digits);
        integer = digits.substr(0, digits.size() - kept);
        fraction = digits.substr(digits.size() - kept);
    }
    const bool zero = std::all_of(integer.begin(), integer.end(), [](char c) { return c == '0'; }) &&
                      std::all_of(fraction.begin(), fraction.end(), [](char c) { return c == '0'; });
    std::string out = negative && !zero ? "-" + integer : integer;
    if (kept > 0)
        out += '.' + fraction;
    return QString::fromLatin1(out);
}

NumberText::NumberText(const platform::Intl& intl, int currencyFormat, int numericFormat)
    : m_currencyFormat(currencyFormat), m_numericFormat(numericFormat)
{
    const QChar decimal = firstOrBlank(intl.decimalSeparator());
    const QChar group = firstOrBlank(intl.thousandSeparator());
    if (!decimal.isSpace() && decimal != group && !partOfNumber(decimal) && !partOfNumber(group)) {
        m_decimal = decimal;
        m_group = group;
    }
    const int digits = intl.currencyDigits();
    m_currencyDigits = digits >= 0 && digits <= 9 ? digits : 2;
}

QString NumberText::pad(QString text, int width)
{
    return width > text.size() ? text.rightJustified(width, u' ') : text;
}

// Counts from the right: past the decimal part, a separator before every further three
// characters. The leading minus sign counts as one of them, so a separator that lands
// right after it is taken out again.
QString NumberText::group(QString text, int decimals, QChar separator) const
{
    qsizetype p = decimals > 0 ? qsizetype(decimals) + 4 : 3;
    while (p < text.size()) {
        text.insert(text.size() - p, separator);
        p += 4;
    }
    if (text.size() > 1 && text[0] == u'-' && text[1] == separator)
        text.remove(1, 1);
    return text;
}

QString NumberText::plain(int width, int decimals, double value) const
{
    QString text = fixedText(value, decimals);
    if (!usStyle(m_numericFormat))
        useDecimalSeparator(text, m_decimal);
    return pad(text, width);
}

QString NumberText::grouped(int width, int decimals, double value) const
{
    decimals = std::clamp(decimals, 0, kMaxDecimals);
    QString text = fixedText(value, decimals);
    if (usStyle(m_numericFormat))
        return pad(group(text, decimals, u','), width);
    useDecimalSeparator(text, m_decimal);
    return pad(group(text, decimals, m_group), width);
}

QString NumberText::money(int width, double value) const
{
    if (usStyle(m_currencyFormat))
        return pad(group(fixedText(value, 2), 2, u','), width);
    QString text = fixedText(value, m_currencyDigits);
    useDecimalSeparator(text, m_decimal);
    return pad(group(text, m_currencyDigits, m_group), width);
}

std::optional<double> NumberText::readMoney(const QString& text) const
{
    QString t = text.trimmed();
    if (usStyle(m_currencyFormat)) {
        t.remove(u',');
    } else {
        if (m_group.isSpace())
            t.removeIf([](QChar c) { return c.isSpace(); });
        else
            t.remove(m_group);
        if (qsizetype at = t.indexOf(m_decimal); at >= 0)
            t[at] = u'.';
    }
    std::string ascii;
    ascii.reserve(std::size_t(t.size()));
    for (QChar c : t) {
        if (c.unicode() > 127)
            return std::nullopt;
        ascii += char(c.unicode());
    }
    if (!isDecimalNumber(ascii))
        return std::nullopt;
    std::string_view digits(ascii);
    if (digits.front() == '+')
        digits.remove_prefix(1); // from_chars takes no plus sign
    double value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return value;
}

} // namespace settings
