// Evaluates a compiled expression tree on raw record bytes. Nothing here
// throws on bad data: unreadable numbers read as 0 and bad dates as no date.
#include "Expression.h"
#include "ExpressionNode.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace dbase {

namespace detail {

namespace {

bool isBlankByte(char c)
{
    return c == ' ' || c == '\0';
}

// Parses [blanks][sign]digits[.digits][e[sign]digits]; `whole` demands that
// nothing but blanks follow, otherwise the longest number at the start counts.
double parseNumber(std::string_view s, bool whole)
{
    while (!s.empty() && isBlankByte(s.front()))
        s.remove_prefix(1);
    if (whole)
        while (!s.empty() && isBlankByte(s.back()))
            s.remove_suffix(1);
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    // from_chars also accepts "inf" and "nan", which are no dBase numbers.
    if (s.empty() || !((s.front() >= '0' && s.front() <= '9') || s.front() == '.'))
        return 0;
    double value = 0;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value, std::chars_format::general);
    if (ec != std::errc() || (whole && ptr != s.data() + s.size()))
        return 0;
    return negative ? -value : value;
}

double parseDate(std::string_view raw)
{
    if (raw.size() < 8)
        return 0;
    int parts[3] = {0, 0, 0};
    const int widths[3] = {4, 2, 2};
    size_t pos = 0;
    for (int i = 0; i < 3; ++i) {
        for (int k = 0; k < widths[i]; ++k, ++pos) {
            if (raw[pos] < '0' || raw[pos] > '9')
                return 0;
            parts[i] = parts[i] * 10 + (raw[pos] - '0');
        }
    }
    return static_cast<double>(julianDay(parts[0], parts[1], parts[2]));
}

Value fieldValue(const Node& node, const char* record)
{
    std::string_view raw(record + node.offset, static_cast<size_t>(node.width));
    switch (node.fieldType) {
    case FieldType::Numeric:
    case FieldType::Float:
        return numberValue(parseFieldNumber(raw));
    case FieldType::Date:
        return dateValue(parseDate(raw));
    case FieldType::Logical:
        return logicalValue(!raw.empty() &&
                            std::string_view("TtYy").find(raw.front()) != std::string_view::npos);
    case FieldType::Character:
    case FieldType::Memo:
        break;
    }
    return textValue(std::string(raw));
}

// A date moved by a number of days; no date stays no date.
double shiftDate(double day, double days)
{
    if (day == 0 || !std::isfinite(days))
        return 0;
    double result = day + std::trunc(days);
    return (result < kFirstJulianDay || result > kLastJulianDay) ? 0 : result;
}

size_t count(double n, size_t limit)
{
    if (!(n > 0))
        return 0;
    return n >= static_cast<double>(limit) ? limit : static_cast<size_t>(n);
}

std::string_view trimRight(std::string_view s)
{
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

std::string_view trimLeft(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    return s;
}

// Unsigned byte order; `padded` compares as if the shorter text had blanks
// appended, `==` (exact) compares the texts as they are.
int compareText(const std::string& a, const std::string& b, bool padded)
{
    if (!padded)
        return a.compare(b);
    size_t n = std::max(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        auto ca = static_cast<unsigned char>(i < a.size() ? a[i] : ' ');
        auto cb = static_cast<unsigned char>(i < b.size() ? b[i] : ' ');
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return 0;
}

bool compare(const Node& node, const Value& a, const Value& b)
{
    int c = 0;
    if (a.type == ValueType::Character)
        c = compareText(a.text, b.text, node.comparison != Comparison::Exact);
    else
        c = a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
    switch (node.comparison) {
    case Comparison::Equal:
    case Comparison::Exact:
        return c == 0;
    case Comparison::NotEqual:
        return c != 0;
    case Comparison::Less:
        return c < 0;
    case Comparison::Greater:
        return c > 0;
    case Comparison::LessEqual:
        return c <= 0;
    case Comparison::GreaterEqual:
        return c >= 0;
    }
    return false;
}

// `a` by value: text is appended in place, without a new string per key part.
Value add(Value a, const Value& b)
{
    if (a.type == ValueType::Character) {
        a.text += b.text;
        return textValue(std::move(a.text));
    }
    if (a.type == ValueType::Date)
        return dateValue(shiftDate(a.number, b.number));
    if (b.type == ValueType::Date)
        return dateValue(shiftDate(b.number, a.number));
    return numberValue(a.number + b.number);
}

Value subtract(const Value& a, const Value& b)
{
    if (a.type == ValueType::Character) {
        // dBase moves the left operand's trailing blanks to the end.
        std::string_view kept = trimRight(a.text);
        std::string result(kept);
        result += b.text;
        result.append(a.text.size() - kept.size(), ' ');
        return textValue(std::move(result));
    }
    if (a.type == ValueType::Date && b.type == ValueType::Date)
        return numberValue(a.number == 0 || b.number == 0 ? 0 : a.number - b.number);
    if (a.type == ValueType::Date)
        return dateValue(shiftDate(a.number, -b.number));
    return numberValue(a.number - b.number);
}

// Changes a-z only: the letters among bytes 0x80-0xFF differ per code page.
std::string changeCase(std::string s, bool toUpper)
{
    for (char& c : s) {
        if (toUpper && c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        else if (!toUpper && c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

// SUBSTR: 1-based `start` (below 1 reads as 1), at most `length` bytes.
std::string substring(const std::string& s, double start, double length)
{
    size_t first = start >= 1 ? count(start, s.size() + 1) : 1;
    if (first > s.size())
        return {};
    size_t rest = s.size() - first + 1;
    return s.substr(first - 1, count(length, rest));
}

std::string dateText(double day, bool sortable)
{
    int y = 0, m = 0, d = 0;
    civilFromJulian(static_cast<long>(day), y, m, d);
    if (day == 0 || y == 0)
        return sortable ? std::string(8, ' ') : std::string("  /  /  ");
    char buf[8];
    auto put = [&buf](int pos, int width, int v) {
        for (int k = width - 1; k >= 0; --k, v /= 10)
            buf[pos + k] = static_cast<char>('0' + v % 10);
    };
    if (sortable) {
        put(0, 4, y);
        put(4, 2, m);
        put(6, 2, d);
    } else {
        put(0, 2, m);
        buf[2] = '/';
        put(3, 2, d);
        buf[5] = '/';
        put(6, 2, y % 100);
    }
    return std::string(buf, 8);
}

Value callFunction(const Node& node, const char* record)
{
    Value a = evaluate(*node.args[0], record);
    auto arg = [&](size_t i) { return evaluate(*node.args[i], record); };
    switch (node.function) {
    case Function::Upper:
    case Function::Lower:
        return textValue(changeCase(std::move(a.text), node.function == Function::Upper));
    case Function::Left:
        a.text.resize(count(arg(1).number, a.text.size()));
        return textValue(std::move(a.text));
    case Function::Right: {
        size_t n = count(arg(1).number, a.text.size());
        a.text.erase(0, a.text.size() - n);
        return textValue(std::move(a.text));
    }
    case Function::Substr: {
        double length = node.args.size() > 2 ? arg(2).number : HUGE_VAL;
        return textValue(substring(a.text, arg(1).number, length));
    }
    case Function::Trim:
        return textValue(std::string(trimRight(a.text)));
    case Function::Ltrim:
        return textValue(std::string(trimLeft(a.text)));
    case Function::Alltrim:
        return textValue(std::string(trimLeft(trimRight(a.text))));
    case Function::Str: {
        int decimals = node.args.size() > 2 ? static_cast<int>(count(arg(2).number, 255)) : 0;
        return textValue(formatNumber(a.number, node.length, decimals));
    }
    case Function::Dtos:
    case Function::Dtoc:
        return textValue(dateText(a.number, node.function == Function::Dtos));
    case Function::Val:
        return numberValue(parseNumber(a.text, false));
    case Function::Iif:
        return a.logical ? arg(1) : arg(2);
    }
    return Value{};
}

} // namespace

double parseFieldNumber(std::string_view raw)
{
    return parseNumber(raw, true);
}

std::string formatNumber(double value, int width, int decimals)
{
    width = std::max(width, 0);
    if (!std::isfinite(value))
        return std::string(width, '*');
    decimals = std::clamp(decimals, 0, width);
    Decimal d = toDecimal(value, 15);
    std::string& digits = d.digits;
    int exponent = d.exponent;
    // Round half away from zero after `keep` digits, i.e. at `decimals` places.
    int keep = exponent + decimals;
    if (keep < 0) {
        digits.clear();
    } else if (keep < static_cast<int>(digits.size())) {
        bool up = digits[keep] >= '5';
        digits.resize(keep);
        int i = keep - 1;
        for (; up && i >= 0 && digits[i] == '9'; --i)
            digits[i] = '0';
        if (up && i < 0) {
            digits.insert(digits.begin(), '1');
            ++exponent;
        } else if (up) {
            ++digits[i];
        }
    }
    auto digitAt = [&](int index) {
        return index >= 0 && index < static_cast<int>(digits.size()) ? digits[index] : '0';
    };
    std::string text = d.negative && !digits.empty() ? "-" : "";
    if (exponent <= 0)
        text += '0';
    for (int i = 0; i < exponent; ++i)
        text += digitAt(i);
    if (decimals > 0) {
        text += '.';
        for (int i = 0; i < decimals; ++i)
            text += digitAt(exponent + i);
    }
    if (static_cast<int>(text.size()) > width)
        return std::string(width, '*');
    return std::string(width - text.size(), ' ') + text;
}

Value evaluate(const Node& node, const char* record)
{
    switch (node.op) {
    case Op::Constant:
        return node.constant;
    case Op::Field:
        return fieldValue(node, record);
    case Op::Deleted:
        return logicalValue(record[0] == '*');
    case Op::Negate:
        return numberValue(-evaluate(*node.args[0], record).number);
    case Op::Not:
        return logicalValue(!evaluate(*node.args[0], record).logical);
    case Op::And:
        return logicalValue(evaluate(*node.args[0], record).logical &&
                            evaluate(*node.args[1], record).logical);
    case Op::Or:
        return logicalValue(evaluate(*node.args[0], record).logical ||
                            evaluate(*node.args[1], record).logical);
    case Op::Add:
        return add(evaluate(*node.args[0], record), evaluate(*node.args[1], record));
    case Op::Subtract:
        return subtract(evaluate(*node.args[0], record), evaluate(*node.args[1], record));
    case Op::Compare:
        return logicalValue(compare(node, evaluate(*node.args[0], record), evaluate(*node.args[1], record)));
    case Op::Call:
        return callFunction(node, record);
    }
    return Value{};
}

} // namespace detail

ValueType Expression::type() const
{
    return m_root ? m_root->type : ValueType::Character;
}

int Expression::length() const
{
    return m_root ? m_root->length : 0;
}

Value Expression::evaluate(const char* record) const
{
    return m_root ? detail::evaluate(*m_root, record) : Value{};
}

std::string Expression::key(const char* record) const
{
    Value v = evaluate(record);
    switch (type()) {
    case ValueType::Numeric:
        return numericKey(v.number);
    case ValueType::Date:
        return dateKey(v.number);
    case ValueType::Logical:
        return v.logical ? "T" : "F";
    case ValueType::Character:
        break;
    }
    // Trimmed parts come back shorter; the key is always length() bytes.
    v.text.resize(static_cast<size_t>(length()), ' ');
    return v.text;
}

} // namespace dbase
