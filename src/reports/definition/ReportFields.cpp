#include "reports/definition/ReportFields.h"

#include <array>

namespace reports {

namespace {

constexpr std::array<std::string_view, 36> kFields{
    "Title",      "Author",    "YearPub",   "Publisher", "Category",  "WherePurch", "Cost",     "Value",
    "Descriptio", "ISBN",      "Rating",    "PurchDate", "BookType",  "CatalogNum", "Sub1",     "Sub2",
    "CheckOut",   "CheckDate", "CheckName", "Volume",    "Issue",     "Edition",    "KeyWords", "Pages",
    "Location",   "Condition", "Editor",    "Dewey",     "LowMarket", "HighMarket", "UserDef1", "UserDef2",
    "UserDef3",   "UserDef4",  "UserDef5",  "UserDef6"};

constexpr std::array<std::string_view, 4> kTotals{"Cost", "Value", "Low Market", "High Market"};

} // namespace

std::string_view fieldName(int number)
{
    return number >= 1 && number <= int(kFields.size()) ? kFields[std::size_t(number - 1)]
                                                        : std::string_view();
}

int fieldNumber(std::string_view name)
{
    for (std::size_t i = 0; i < kFields.size(); ++i)
        if (kFields[i] == name)
            return int(i) + 1;
    return 0;
}

std::string_view totalName(int number)
{
    return number >= 1 && number <= int(kTotals.size()) ? kTotals[std::size_t(number - 1)]
                                                        : std::string_view();
}

int totalNumber(std::string_view caption)
{
    for (std::size_t i = 0; i < kTotals.size(); ++i)
        if (kTotals[i] == caption)
            return int(i) + 1;
    return 0;
}

} // namespace reports
