#pragma once

#include "dbase/Field.h"

#include <array>
#include <string_view>
#include <vector>

namespace db {

// One field of the book record. The order of bookFields() is part of the file
// format: a table is a book database when its field names match it position by position.
struct BookField {
    std::string_view name; // upper case, as the table stores it
    std::string_view key;  // mixed-case form used by the settings file and the field titles
    dbase::FieldSpec::Kind kind = dbase::FieldSpec::Kind::Character;
    int width = 0;          // characters; 0 for the numeric and date kinds, whose width the engine fixes
    std::string_view title; // default field title shown to the user
};

inline constexpr int kBookFieldCount = 36;

// The 36 fields of the book record in their fixed order. The views point to static storage.
const std::array<BookField, kBookFieldCount>& bookFields();

// Position of the field named `name` (upper case, as stored); -1 when there is none.
int bookFieldIndex(std::string_view name);

// The book record as the engine needs it to create a table (none of the fields is required).
std::vector<dbase::FieldSpec> bookFieldSpecs();

} // namespace db
