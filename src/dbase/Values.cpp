#include "Values.h"

#include "DatabaseError.h"
#include "Expression.h"
#include "Table.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace dbase {

namespace {

[[noreturn]] void refuse(const Field& field, std::string_view value, const char* why)
{
    throw DatabaseError("The value \"" + std::string(value) + "\" cannot be stored in the field " +
                        field.name + ": " + why + ".");
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool allDigits(std::string_view s)
{
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// Adds one unit in the last place of a string of decimal digits; returns the carry.
bool incrementDigits(std::string& digits)
{
    for (std::size_t i = digits.size(); i-- > 0;) {
        if (digits[i] == '9') {
            digits[i] = '0';
        } else {
            ++digits[i];
            return false;
        }
    }
    return true;
}

} // namespace

std::string_view trimRight(std::string_view s)
{
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
        s.remove_suffix(1);
    return s;
}

bool isBlank(std::string_view raw)
{
    for (char c : raw)
        if (c != ' ' && c != '\0')
            return false;
    return true;
}

std::string encodeNumberText(const Field& field, std::string_view text)
{
    std::string_view t = trim(text);
    if (t.empty())
        return std::string(field.length, ' ');
    bool negative = false;
    std::string_view body = t;
    if (body.front() == '-' || body.front() == '+') {
        negative = body.front() == '-';
        body.remove_prefix(1);
    }
    auto point = body.find('.');
    std::string_view intPart = body.substr(0, point);
    std::string_view fracPart = point == std::string_view::npos ? std::string_view() : body.substr(point + 1);
    if ((intPart.empty() && fracPart.empty()) || !allDigits(intPart) || !allDigits(fracPart))
        refuse(field, text, "it is not a number");

    std::string digits(intPart.empty() ? std::string_view("0") : intPart);
    std::string fraction(fracPart);
    if (field.decimals == 0 && fraction.find_first_not_of('0') != std::string::npos)
        refuse(field, text, "the field holds whole numbers only");

    // Round half away from zero to the field's decimals.
    if (static_cast<int>(fraction.size()) > field.decimals) {
        bool up = fraction[field.decimals] >= '5';
        fraction.resize(field.decimals);
        if (up) {
            std::string all = digits + fraction;
            if (incrementDigits(all))
                all.insert(all.begin(), '1');
            digits = all.substr(0, all.size() - fraction.size());
            fraction = all.substr(all.size() - fraction.size());
        }
    }
    fraction.resize(field.decimals, '0');
    auto firstNonZero = digits.find_first_not_of('0');
    digits = firstNonZero == std::string::npos ? "0" : digits.substr(firstNonZero);
    bool zero = digits == "0" && fraction.find_first_not_of('0') == std::string::npos;

    std::string out = (negative && !zero ? "-" : "") + digits;
    if (field.decimals > 0)
        out += "." + fraction;
    if (static_cast<int>(out.size()) > field.length)
        refuse(field, text,
               ("it is wider than the field's " + std::to_string(field.length) + " characters").c_str());
    return std::string(field.length - out.size(), ' ') + out;
}

std::string encodeNumber(const Field& field, double value)
{
    if (!std::isfinite(value))
        refuse(field, "not a finite number", "it is not a number");
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (ec != std::errc())
        refuse(field, "a number too large", "it is too wide for the field");
    return encodeNumberText(field, std::string_view(buffer, end - buffer));
}

std::string encodeWhole(const Field& field, long long value)
{
    char buffer[32];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return encodeNumberText(field, std::string_view(buffer, end - buffer));
}

std::string decodeNumberText(std::string_view raw)
{
    std::string_view t = trim(trimRight(raw));
    if (!t.empty() && t.front() == '+')
        t.remove_prefix(1);
    if (t.empty())
        return {};
    double probe = 0;
    auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), probe, std::chars_format::fixed);
    if (ec != std::errc() || ptr != t.data() + t.size())
        return {};
    // A leading zero before a bare point, built by appending (GCC 12 warns
    // falsely about "literal" + string here).
    std::string out;
    if (t.front() == '-') {
        out += '-';
        t.remove_prefix(1);
    }
    if (t.front() == '.')
        out += '0';
    out += t;
    return out;
}

double decodeNumber(std::string_view raw)
{
    std::string text = decodeNumberText(raw);
    double value = 0;
    if (!text.empty())
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    return value;
}

std::string encodeDate(const Field& field, const Date& date)
{
    if (date.isNull())
        return std::string(8, ' ');
    if (julianDay(date.year, date.month, date.day) == 0)
        refuse(field,
               std::to_string(date.year) + "-" + std::to_string(date.month) + "-" + std::to_string(date.day),
               "it is not a valid date");
    char buffer[9];
    int parts[3] = {date.year, date.month, date.day};
    int widths[3] = {4, 2, 2};
    int pos = 0;
    for (int i = 0; i < 3; ++i) {
        int v = parts[i];
        for (int k = widths[i] - 1; k >= 0; --k) {
            buffer[pos + k] = static_cast<char>('0' + v % 10);
            v /= 10;
        }
        pos += widths[i];
    }
    return std::string(buffer, 8);
}

std::string encodeDateText(const Field& field, std::string_view text)
{
    std::string_view t = trim(text);
    if (t.empty())
        return std::string(8, ' ');
    if (t.size() != 8 || !allDigits(t))
        refuse(field, text, "a date must be written YYYYMMDD");
    Date d = decodeDate(t);
    if (d.isNull())
        refuse(field, text, "it is not a valid date");
    return std::string(t);
}

Date decodeDate(std::string_view raw)
{
    if (raw.size() < 8 || !allDigits(raw.substr(0, 8)))
        return {};
    auto num = [&](int from, int len) {
        int v = 0;
        for (int i = from; i < from + len; ++i)
            v = v * 10 + (raw[i] - '0');
        return v;
    };
    Date d{num(0, 4), num(4, 2), num(6, 2)};
    if (julianDay(d.year, d.month, d.day) == 0)
        return {};
    return d;
}

std::string encodeLogicalText(const Field& field, std::string_view text)
{
    std::string_view t = trim(text);
    if (t.empty())
        return " ";
    switch (t.front()) {
    case 'T':
    case 't':
    case 'Y':
    case 'y':
        return "T";
    case 'F':
    case 'f':
    case 'N':
    case 'n':
        return "F";
    case '?':
        return "?";
    default:
        refuse(field, text, "a logical value must be T or F");
    }
}

} // namespace dbase
