#pragma once

// The compiled form of an Expression, private to the expression code.
#include "Expression.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace dbase::detail {

// The days of the years 1 to 9999, the dates dBase can hold.
inline constexpr long kFirstJulianDay = 1721426; // 0001-01-01
inline constexpr long kLastJulianDay = 5373484;  // 9999-12-31

enum class Op : unsigned char {
    Constant,
    Field,
    Deleted,
    Negate,
    Not,
    And,
    Or,
    Add,
    Subtract,
    Compare,
    Call,
};

enum class Function : unsigned char {
    Upper,
    Lower,
    Left,
    Right,
    Substr,
    Trim, // TRIM and RTRIM
    Ltrim,
    Alltrim,
    Str,
    Dtos,
    Dtoc,
    Val,
    Iif,
};

enum class Comparison : unsigned char { Equal, Exact, NotEqual, Less, Greater, LessEqual, GreaterEqual };

// One node of an immutable tree. `type` and `length` are fixed at compile
// time; a character result's text is never longer than `length`.
struct Node {
    Op op = Op::Constant;
    ValueType type = ValueType::Character;
    int length = 0;
    Function function = Function::Upper;
    Comparison comparison = Comparison::Equal;
    FieldType fieldType = FieldType::Character; // Op::Field
    int offset = 0;                             // Op::Field: bytes from the record start
    int width = 0;                              // Op::Field: bytes in the record
    Value constant;                             // Op::Constant
    std::vector<std::shared_ptr<const Node>> args;
};

inline Value numberValue(double v)
{
    Value value;
    value.type = ValueType::Numeric;
    value.number = v;
    return value;
}

inline Value dateValue(double day)
{
    Value value;
    value.type = ValueType::Date;
    value.number = day;
    return value;
}

inline Value textValue(std::string s)
{
    Value value;
    value.text = std::move(s);
    return value;
}

inline Value logicalValue(bool b)
{
    Value value;
    value.type = ValueType::Logical;
    value.logical = b;
    return value;
}

// `record` may be null only for trees without fields and DELETED().
Value evaluate(const Node& node, const char* record);

// A number's decimal digits rounded to `significant` digits:
// value = (negative ? -1 : 1) x 0.digits x 10^exponent. `digits` has no
// leading or trailing zeros and is empty for zero. NaN reads as zero;
// infinities must be handled by the caller.
struct Decimal {
    bool negative = false;
    int exponent = 0;
    std::string digits;
};
Decimal toDecimal(double value, int significant);

// The text of STR(value, width, decimals): right-aligned, rounded half away
// from zero, `width` asterisks when it does not fit.
std::string formatNumber(double value, int width, int decimals);

// A field's stored number: blanks around it, a sign, digits, a point and an
// exponent. Blank or anything else reads as 0.
double parseFieldNumber(std::string_view raw);

} // namespace dbase::detail
