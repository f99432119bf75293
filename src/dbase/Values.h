#pragma once

#include "Field.h"

#include <string>
#include <string_view>

namespace dbase {

struct Date;

// Conversions between a field's stored bytes and the engine's values. None of
// them depends on the process locale. Failures raise DatabaseError naming the
// field and the value.

// Field bytes for a number given as decimal text ("-12.5", " 7 "). Empty or
// blank text gives a blank field. More decimals than the field holds are
// rounded half away from zero; a fraction for a field without decimals, text
// that is not a plain decimal number, or a number too wide for the field is refused.
std::string encodeNumberText(const Field& field, std::string_view text);
std::string encodeNumber(const Field& field, double value);
std::string encodeWhole(const Field& field, long long value);

// Plain decimal text of a stored number ("" when blank): leading blanks and a
// leading '+' removed. Bytes that are not a number read as blank.
std::string decodeNumberText(std::string_view raw);
double decodeNumber(std::string_view raw);

// Dates are stored as YYYYMMDD or 8 blanks.
std::string encodeDate(const Field& field, const Date& date);
std::string encodeDateText(const Field& field, std::string_view yyyymmdd);
Date decodeDate(std::string_view raw); // null date for blanks or anything invalid

std::string encodeLogicalText(const Field& field, std::string_view text);

bool isBlank(std::string_view raw);
std::string_view trimRight(std::string_view s);

} // namespace dbase
