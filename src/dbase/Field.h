#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dbase {

enum class FieldType : char {
    Character = 'C',
    Numeric = 'N',
    Float = 'F',
    Date = 'D',
    Logical = 'L',
    Memo = 'M',
};

// One column of a table as stored in the .DBF descriptor.
struct Field {
    std::string name; // upper case as stored, at most 10 characters
    FieldType type = FieldType::Character;
    int length = 0; // bytes in the record
    int decimals = 0;
    int offset = 0; // from the start of the record, the deletion flag being byte 0
};

// What a caller asks for when creating a table.
struct FieldSpec {
    enum class Kind { Character, Whole, Floating, Date, Logical };
    std::string name;
    Kind kind = Kind::Character;
    int width = 0; // characters; used by Character only
};

// Widths the engine gives the numeric kinds (both stored as dBase type N).
inline constexpr int kWholeWidth = 11;
inline constexpr int kFloatingWidth = 20;
inline constexpr int kFloatingDecimals = 4;

// Position of the field named `name` (ASCII case ignored), or -1.
int findField(const std::vector<Field>& fields, const std::string& name);

} // namespace dbase
