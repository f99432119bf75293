#pragma once

#include "db/BookSchema.h"
#include "db/FieldText.h"
#include "dbase/Table.h"

#include <QString>

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace search {

// The rows of the search grid are the book record's 36 fields in schema order,
// numbered from 1; row r is field r - 1 of a book database.
inline constexpr int kSearchRows = db::kBookFieldCount;
inline constexpr int kKeywordsRow = db::fields::KeyWords + 1;
inline constexpr int kCheckOutRow = db::fields::CheckOut + 1;

enum class FieldType { Character, Numeric, Date };

// The comparison a numeric or date row uses; kept per row by the search window.
enum RowOption : int { OptionEqual = 1, OptionGreater = 2, OptionLess = 3, OptionRange = 4 };
using RowOptions = std::array<int, kSearchRows>; // by row - 1

// Pick list behind a character row: 0 none, 1-9 the list numbers of the pick
// lists, kYesNoList the two fixed values of CHECKOUT.
inline constexpr int kYesNoList = 10;

struct SearchField {
    FieldType type;
    int width; // characters a criterion may have
    int pickList;
};

// `row` 1-36.
const SearchField& searchField(int row);
// Rows with a "..." cell: numeric, date, or backed by a pick list.
bool hasOptions(int row);

enum class Operator { Equal = 1, Greater = 2, Less = 3, Contains = 5, AnyWord = 6 };

// One stored criterion.
struct SearchItem {
    QString criteria;               // upper-cased text, the number as typed, or the day number
    std::string text;               // criteria as UTF-8, for Contains
    std::vector<std::string> words; // for AnyWord: the criteria cut at single blanks, empty words left out
    double number = 0;
    long day = 0; // Julian day of a date criterion
    int row = 0;
    Operator op = Operator::Contains;
    bool endOfLevel = false;
    bool isDate = false;
};

// Letters a-z upper-cased; every other character as it is.
QString upperAZ(const QString& text);
void upperAZ(std::string& utf8);

// A decimal number: optional sign, digits with "." as decimal point, optional
// exponent, and nothing else (blanks around it are the caller's to trim).
std::optional<double> readDecimal(const QString& text);

// A query by form: levels of criteria that must all hold, any one level
// matching. The search window edits one while the record filter reads
// another, accepted one; a query is a plain value, so the filter holds its
// own copy.
class SearchQuery {
public:
    static constexpr int kMaxItems = 75;
    static constexpr int kMaxLevels = 10;

    struct SaveResult {
        enum class Outcome { Saved, Invalid, TooMany, Empty };
        Outcome outcome = Outcome::Saved;
        int row = 0; // Invalid: the row that could not be read
    };

    // Reads one level from the criteria cells (`cells[r - 1]` is row r's text
    // as its template lays it out), each numeric or date row under its option.
    // Saved: the level's items are added, the last one ending the level.
    // Invalid: a row is not a number or date, or a range has one bound; nothing
    // is added. TooMany: the items would pass kMaxItems; the whole query is
    // cleared. Empty: no row has a criterion; nothing changes.
    SaveResult saveLevel(const std::array<QString, kSearchRows>& cells, const RowOptions& options,
                         const db::DateText& dates);

    void clear();
    // The level being entered, 1 to kMaxLevels.
    int level() const { return m_level; }
    void nextLevel();
    int count() const { return static_cast<int>(m_items.size()); }
    const std::vector<SearchItem>& items() const { return m_items; }

    // Whether `record`, a book record, passes: any level whose items all hold.
    // A blank number reads as 0; a blank date lies before every date.
    // No items pass nothing.
    bool matches(const dbase::RecordView& record) const;

private:
    std::vector<SearchItem> m_items;
    int m_level = 1;
};

} // namespace search
