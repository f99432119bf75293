#include "BookSchema.h"

#include <algorithm>

namespace db {
namespace {

using Kind = dbase::FieldSpec::Kind;

// A text field whose box takes as many characters as the field holds.
constexpr BookField text(std::string_view name, std::string_view key, int width, std::string_view title)
{
    return {name, key, Kind::Character, width, title, width};
}

// `typed`: the most characters typed into its box (a year takes 4, money 12, a date 10).
constexpr BookField value(std::string_view name, std::string_view key, Kind kind, std::string_view title,
                          int typed)
{
    return {name, key, kind, 0, title, typed};
}

constexpr std::array<BookField, kBookFieldCount> kBookFields{{
    text("TITLE", "Title", 90, "Title"),
    text("AUTHOR", "Author", 90, "Author"),
    value("YEARPUB", "YearPub", Kind::Whole, "Year Pub", 4),
    text("PUBLISHER", "Publisher", 60, "Publisher"),
    text("CATEGORY", "Category", 20, "Category"),
    text("WHEREPURCH", "WherePurch", 30, "Where Purchased"),
    value("COST", "Cost", Kind::Floating, "Cost", 12),
    value("VALUE", "Value", Kind::Floating, "Value", 12),
    text("DESCRIPTIO", "Descriptio", 110, "Description"),
    text("ISBN", "ISBN", 20, "ISBN"),
    text("RATING", "Rating", 15, "Rating"),
    value("PURCHDATE", "PurchDate", Kind::Date, "Purchase Date", 10),
    text("BOOKTYPE", "BookType", 15, "Book Type"),
    text("CATALOGNUM", "CatalogNum", 15, "Cat Num"),
    text("SUB1", "Sub1", 6, "Sub Cat1"),
    text("SUB2", "Sub2", 6, "Sub Cat2"),
    text("CHECKOUT", "CheckOut", 3, "Checked Out"),
    value("CHECKDATE", "CheckDate", Kind::Date, "Check Out Date", 10),
    text("CHECKNAME", "CheckName", 30, "Check Out Person"),
    text("VOLUME", "Volume", 8, "Volume"),
    text("ISSUE", "Issue", 8, "Issue"),
    text("EDITION", "Edition", 10, "Edition"),
    text("KEYWORDS", "KeyWords", 80, "Key Words"),
    value("PAGES", "Pages", Kind::Whole, "Pages", 5),
    text("LOCATION", "Location", 30, "Location"),
    text("CONDITION", "Condition", 20, "Condition"),
    text("EDITOR", "Editor", 30, "Editor"),
    text("DEWEY", "Dewey", 20, "Dewey Decimal"),
    value("LOWMARKET", "LowMarket", Kind::Floating, "Low Market", 12),
    value("HIGHMARKET", "HighMarket", Kind::Floating, "High Market", 12),
    text("USERDEF1", "UserDef1", 40, "User Defined 1"),
    text("USERDEF2", "UserDef2", 40, "User Defined 2"),
    text("USERDEF3", "UserDef3", 40, "User Defined 3"),
    text("USERDEF4", "UserDef4", 40, "User Defined 4"),
    text("USERDEF5", "UserDef5", 40, "User Defined 5"),
    text("USERDEF6", "UserDef6", 40, "User Defined 6"),
}};

} // namespace

const std::array<BookField, kBookFieldCount>& bookFields()
{
    return kBookFields;
}

bool isMoneyField(int field)
{
    return std::find(fields::kMoney.begin(), fields::kMoney.end(), field) != fields::kMoney.end();
}

bool isWholeNumberField(int field)
{
    return std::find(fields::kWholeNumbers.begin(), fields::kWholeNumbers.end(), field) !=
           fields::kWholeNumbers.end();
}

bool isDateField(int field)
{
    return field >= 0 && field < kBookFieldCount && kBookFields[std::size_t(field)].kind == Kind::Date;
}

bool isUserField(int field)
{
    return field >= fields::UserDef1 && field <= fields::UserDef6;
}

int pickListOf(int field)
{
    const auto* found = std::find(fields::kPickLists.begin(), fields::kPickLists.end(), field);
    return found == fields::kPickLists.end() ? 0 : int(found - fields::kPickLists.begin()) + 1;
}

int pickListField(int list)
{
    return list >= 1 && list <= kPickListCount ? fields::kPickLists[std::size_t(list - 1)] : -1;
}

int inputLength(int field)
{
    return field >= 0 && field < kBookFieldCount ? kBookFields[std::size_t(field)].typed : 0;
}

std::vector<dbase::FieldSpec> bookFieldSpecs()
{
    std::vector<dbase::FieldSpec> fields;
    fields.reserve(kBookFields.size());
    for (const BookField& field : kBookFields)
        fields.push_back({std::string(field.name), field.kind, field.width});
    return fields;
}

int bookFieldIndex(std::string_view name)
{
    for (int i = 0; i < kBookFieldCount; ++i)
        if (kBookFields[static_cast<std::size_t>(i)].name == name)
            return i;
    return -1;
}

} // namespace db
