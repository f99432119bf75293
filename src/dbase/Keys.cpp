// Index key encodings: dBase IV numeric (BCD) keys, date keys, Julian days.
#include "Expression.h"
#include "ExpressionNode.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace dbase {

namespace detail {

Decimal toDecimal(double value, int significant)
{
    Decimal d;
    if (std::isnan(value) || value == 0 || std::isinf(value))
        return d;
    d.negative = value < 0;
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific,
                             significant - 1);
    std::string_view text(buf, res.ptr - buf); // "d.dddde+XX"
    auto e = text.find('e');
    const char* expBegin = text.data() + e + 1;
    if (*expBegin == '+')
        ++expBegin;
    int exp10 = 0;
    std::from_chars(expBegin, text.data() + text.size(), exp10);
    for (char c : text.substr(0, e))
        if (c != '.')
            d.digits += c;
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    d.exponent = exp10 + 1;
    return d;
}

} // namespace detail

namespace {

using detail::Decimal;

// A numeric key holds 0.d1d2...d20 x 10^exponent with the exponent stored as
// 0x34 + exponent in one byte; this is the range that byte can hold.
constexpr int kExponentBias = 0x34;
constexpr int kMinExponent = -kExponentBias;
constexpr int kMaxExponent = 0xFF - kExponentBias;
constexpr int kKeyDigits = 20;
// Keys keep 15 significant digits: every decimal of up to 15 digits survives
// the trip through a double, and sums such as 0.1 + 0.2 get the key of 0.3,
// as dBase's decimal arithmetic would give.
constexpr int kSignificantDigits = 15;

// The number of digits dBase records in byte 1. Writers disagree (dBase IV
// itself writes the field width, unknown here) and comparisons ignore it; we
// write the digits needed to show the value: its integer digits plus its
// decimals up to the last nonzero one (123.45 -> 5, 0.05 -> 2).
int digitCount(const Decimal& d)
{
    int size = static_cast<int>(d.digits.size());
    int count = std::max(d.exponent, 0) + std::max(size - d.exponent, 0);
    return std::clamp(count, 1, kKeyDigits);
}

// Saturates beyond the exponent byte's range; NaN keys as zero.
Decimal keyDecimal(double value)
{
    if (std::isinf(value))
        return Decimal{value < 0, kMaxExponent, std::string(kKeyDigits, '9')};
    Decimal d = detail::toDecimal(value, kSignificantDigits);
    if (d.exponent > kMaxExponent)
        return Decimal{d.negative, kMaxExponent, std::string(kKeyDigits, '9')};
    if (d.exponent < kMinExponent)
        return Decimal{};
    return d;
}

} // namespace

std::string numericKey(double value)
{
    Decimal d = keyDecimal(value);
    std::string key(12, '\0');
    if (d.digits.empty()) {
        key[0] = static_cast<char>(kExponentBias);
        key[1] = 0x01;
        return key;
    }
    key[0] = static_cast<char>(kExponentBias + d.exponent);
    key[1] = static_cast<char>((d.negative ? 0x80 : 0) | (digitCount(d) << 2) | 0x01);
    for (size_t i = 0; i < d.digits.size(); ++i) {
        auto nibble = static_cast<unsigned char>(d.digits[i] - '0');
        auto& byte = reinterpret_cast<unsigned char&>(key[2 + i / 2]);
        byte |= (i % 2 == 0) ? static_cast<unsigned char>(nibble << 4) : nibble;
    }
    return key;
}

double numericKeyValue(std::string_view key12)
{
    if (key12.size() < 2)
        return 0;
    // "0.<20 digits>e<exponent>"; a nibble above 9 (damaged key) reads as 9.
    std::string text = "0.";
    bool allZero = true;
    for (size_t i = 2; i < 12; ++i) {
        unsigned char byte = i < key12.size() ? static_cast<unsigned char>(key12[i]) : 0;
        for (int nibble : {byte >> 4, byte & 0x0F}) {
            nibble = std::min(nibble, 9);
            allZero = allZero && nibble == 0;
            text += static_cast<char>('0' + nibble);
        }
    }
    if (allZero)
        return 0;
    int exponent = static_cast<unsigned char>(key12[0]) - kExponentBias;
    text += 'e';
    char buf[8];
    auto res = std::to_chars(buf, buf + sizeof buf, exponent);
    text.append(buf, res.ptr);
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return (static_cast<unsigned char>(key12[1]) & 0x80) ? -value : value;
}

std::string dateKey(double julianDay)
{
    auto bits = std::bit_cast<std::uint64_t>(julianDay);
    std::string key(8, '\0');
    for (int i = 0; i < 8; ++i)
        key[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    return key;
}

double dateKeyValue(std::string_view key8)
{
    if (key8.size() < 8)
        return 0;
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= static_cast<std::uint64_t>(static_cast<unsigned char>(key8[i])) << (8 * i);
    double value = std::bit_cast<double>(bits);
    // A damaged key must still compare sensibly: read NaN as "no date".
    return std::isnan(value) ? 0 : value;
}

namespace {

bool isLeap(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : days[month - 1];
}

} // namespace

long julianDay(int year, int month, int day)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
        return 0;
    // Count from March so the leap day falls at the end of the counting year.
    long a = (14 - month) / 12;
    long y = year + 4800 - a;
    long m = month + 12 * a - 3;
    return day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

void civilFromJulian(long julianDay, int& year, int& month, int& day)
{
    if (julianDay < detail::kFirstJulianDay || julianDay > detail::kLastJulianDay) {
        year = month = day = 0;
        return;
    }
    long a = julianDay + 32044;
    long b = (4 * a + 3) / 146097;
    long c = a - 146097 * b / 4;
    long d = (4 * c + 3) / 1461;
    long e = c - 1461 * d / 4;
    long m = (5 * e + 2) / 153;
    day = static_cast<int>(e - (153 * m + 2) / 5 + 1);
    month = static_cast<int>(m + 3 - 12 * (m / 10));
    year = static_cast<int>(100 * b + d - 4800 + m / 10);
}

} // namespace dbase
