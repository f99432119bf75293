#pragma once

#include "Field.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace dbase {

enum class ValueType : char { Character = 'C', Numeric = 'N', Date = 'D', Logical = 'L' };

// A value computed by an expression. Character values are bytes in the
// table's code page. A date is a Julian day number, 0 for "no date".
struct Value {
    ValueType type = ValueType::Character;
    std::string text;
    double number = 0;
    bool logical = false;
};

namespace detail {
struct Node;
}

// A compiled dBase key or FOR expression over the fields of one table:
// field names, string and number literals, + and -, UPPER, LOWER, LEFT,
// RIGHT, SUBSTR, TRIM, RTRIM, LTRIM, ALLTRIM, STR, DTOS, DTOC, VAL, IIF,
// DELETED(), .NOT., .AND., .OR., .T., .F. and comparisons. UPPER changes the
// letters a-z only: bytes above 0x7F mean different letters in different code pages.
class Expression {
public:
    // Throws DatabaseError naming the expression and what is wrong with it.
    static Expression compile(std::string_view text, const std::vector<Field>& fields);

    ValueType type() const;
    // Width of a character result: every result of this expression is padded
    // or cut to it. 8 for dates, 12 for numbers, 1 for logical results.
    int length() const;
    const std::string& text() const { return m_text; }

    // `record` is the raw record, deletion flag first, laid out as `fields`.
    Value evaluate(const char* record) const;
    // The key as stored in an index: character results blank-padded to
    // length(); numbers as 12-byte BCD; dates as an 8-byte Julian day.
    std::string key(const char* record) const;

private:
    std::string m_text;
    std::shared_ptr<const detail::Node> m_root;
};

// Index key encodings shared by the expression evaluator and the index.
std::string numericKey(double value);
double numericKeyValue(std::string_view key12);
std::string dateKey(double julianDay);
double dateKeyValue(std::string_view key8);

// Julian day number of a proleptic Gregorian date; 0 for an invalid date.
long julianDay(int year, int month, int day);
void civilFromJulian(long julianDay, int& year, int& month, int& day);

} // namespace dbase
