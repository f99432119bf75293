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
    int typed = 0;          // most characters the user types into the field's box, criteria or cell
};

inline constexpr int kBookFieldCount = 36;

// Positions of the book fields in bookFields().
namespace fields {
inline constexpr int Title = 0, Author = 1, YearPub = 2, Publisher = 3, Category = 4, WherePurch = 5,
                     Cost = 6, Value = 7, Description = 8, Isbn = 9, Rating = 10, PurchDate = 11,
                     BookType = 12, CatalogNum = 13, Sub1 = 14, Sub2 = 15, CheckOut = 16, CheckDate = 17,
                     CheckName = 18, Volume = 19, Issue = 20, Edition = 21, KeyWords = 22, Pages = 23,
                     Location = 24, Condition = 25, Editor = 26, Dewey = 27, LowMarket = 28, HighMarket = 29,
                     UserDef1 = 30, UserDef6 = 35;
static_assert(UserDef6 + 1 == kBookFieldCount);

// The fields holding money, in the order their values are checked.
inline constexpr std::array<int, 4> kMoney{Cost, Value, LowMarket, HighMarket};
// The fields holding whole numbers.
inline constexpr std::array<int, 2> kWholeNumbers{YearPub, Pages};
// The field each pick list 1-9 offers values for (list n at index n - 1).
inline constexpr std::array<int, 9> kPickLists{Author, Location, WherePurch, Category, Publisher,
                                               Rating, BookType, CheckName,  Condition};
} // namespace fields

inline constexpr int kPickListCount = int(fields::kPickLists.size());

// The 36 fields of the book record in their fixed order. The views point to static storage.
const std::array<BookField, kBookFieldCount>& bookFields();

// Position of the field named `name` (upper case, as stored); -1 when there is none.
int bookFieldIndex(std::string_view name);

bool isMoneyField(int field);
bool isWholeNumberField(int field);
bool isDateField(int field);
// USERDEF1-USERDEF6, whose text is stored without surrounding blanks.
bool isUserField(int field);
// The pick list (1-9) that offers values for `field`; 0 for a field without one.
int pickListOf(int field);
// The field of pick list `list` (1-9); -1 outside that range.
int pickListField(int list);
// Most characters typed into the field's box (BookField::typed); 0 outside 0-35.
int inputLength(int field);

// The book record as the engine needs it to create a table (none of the fields is required).
std::vector<dbase::FieldSpec> bookFieldSpecs();

} // namespace db
