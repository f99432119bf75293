#pragma once

// The field and total names a report definition stores beside their numbers.
// They are part of the record format (a field item names "Descriptio", as the
// book table's ten-letter field does), so they live with the codec.

#include <string_view>

namespace reports {

// The name of report field 1..36 ("Title", "Author", ...), empty outside.
std::string_view fieldName(int number);
// The number of the field with exactly this name (case included), 0 when none.
int fieldNumber(std::string_view name);
// The caption of total 1..4: "Cost", "Value", "Low Market", "High Market"; empty outside.
std::string_view totalName(int number);
// The number of the total with exactly this caption, 0 when none.
int totalNumber(std::string_view caption);

} // namespace reports
