#include "SearchQuery.h"

#include "SearchTemplates.h"

#include "dbase/Expression.h"

#include <charconv>
#include <climits>

namespace search {
namespace {

// The rows in schema order: a criterion is as long as the field's box takes, and a row
// offers the field's pick list.
std::array<SearchField, kSearchRows> makeSearchFields()
{
    std::array<SearchField, kSearchRows> rows{};
    for (int field = 0; field < kSearchRows; ++field) {
        const db::BookField& book = db::bookFields()[std::size_t(field)];
        const FieldType type = book.kind == dbase::FieldSpec::Kind::Date        ? FieldType::Date
                               : book.kind == dbase::FieldSpec::Kind::Character ? FieldType::Character
                                                                                : FieldType::Numeric;
        const int list = field + 1 == kCheckOutRow ? kYesNoList : db::pickListOf(field);
        rows[std::size_t(field)] = {type, book.typed, list};
    }
    return rows;
}

constexpr int kMaxCriteria = 110;

std::vector<std::string> wordsOf(const std::string& text)
{
    std::vector<std::string> words;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t blank = text.find(' ', start);
        if (blank == std::string::npos)
            blank = text.size();
        if (blank > start)
            words.push_back(text.substr(start, blank - start));
        start = blank + 1;
    }
    return words;
}

// The items of one level, read row by row; a failure stops the reading at once.
class LevelReader {
public:
    enum class Step { Ok, Invalid, TooMany };

    LevelReader(int before, const db::DateText& dates) : m_before(before), m_dates(dates) {}

    Step read(int row, const QString& cell, int option)
    {
        if (option < OptionEqual || option > OptionRange)
            option = OptionEqual;
        switch (searchField(row).type) {
        case FieldType::Character:
            return readText(row, cell);
        case FieldType::Numeric:
            return option == OptionRange ? readRange(row, cell, false) : readValue(row, cell, option, false);
        case FieldType::Date:
            return option == OptionRange ? readRange(row, cell, true) : readValue(row, cell, option, true);
        }
        return Step::Ok;
    }

    std::vector<SearchItem> items;

private:
    Step readText(int row, const QString& cell)
    {
        const QString text = upperAZ(cell.trimmed()).left(kMaxCriteria);
        if (text.isEmpty())
            return Step::Ok;
        SearchItem item;
        item.criteria = text;
        item.text = text.toStdString();
        item.row = row;
        item.op = row == kKeywordsRow ? Operator::AnyWord : Operator::Contains;
        if (item.op == Operator::AnyWord)
            item.words = wordsOf(item.text);
        return add(std::move(item));
    }

    Step readValue(int row, const QString& cell, int option, bool isDate)
    {
        const QString text = withoutOperator(cell, option);
        if (isDate ? untouchedDate(text) : text.isEmpty())
            return Step::Ok;
        SearchItem item;
        if (!convert(text, isDate, item))
            return Step::Invalid;
        item.row = row;
        item.op = static_cast<Operator>(option);
        return add(std::move(item));
    }

    Step readRange(int row, const QString& cell, bool isDate)
    {
        const RangeBounds bounds = splitRange(cell);
        const bool noLower = isDate ? untouchedDate(bounds.lower) : bounds.lower.isEmpty();
        const bool noUpper = isDate ? untouchedDate(bounds.upper) : bounds.upper.isEmpty();
        if (noLower && noUpper)
            return Step::Ok;
        SearchItem lower;
        SearchItem upper;
        if (noLower || noUpper || !convert(bounds.lower, isDate, lower) ||
            !convert(bounds.upper, isDate, upper))
            return Step::Invalid;
        lower.row = upper.row = row;
        lower.op = Operator::Greater;
        upper.op = Operator::Less;
        const Step step = add(std::move(lower));
        return step == Step::Ok ? add(std::move(upper)) : step;
    }

    bool convert(const QString& text, bool isDate, SearchItem& item) const
    {
        item.isDate = isDate;
        if (!isDate) {
            const std::optional<double> number = readDecimal(text);
            item.criteria = text;
            item.number = number.value_or(0);
            return number.has_value();
        }
        const std::optional<dbase::Date> date = m_dates.read(text);
        if (!date)
            return false;
        item.day = dbase::julianDay(date->year, date->month, date->day);
        item.criteria = QString::number(item.day);
        return true;
    }

    Step add(SearchItem item)
    {
        if (m_before + static_cast<int>(items.size()) + 1 > SearchQuery::kMaxItems)
            return Step::TooMany;
        items.push_back(std::move(item));
        return Step::Ok;
    }

    int m_before;
    const db::DateText& m_dates;
};

long dayOf(const dbase::Date& date)
{
    return date.isNull() ? LONG_MIN : dbase::julianDay(date.year, date.month, date.day);
}

template <typename T> bool compare(Operator op, T field, T criterion)
{
    switch (op) {
    case Operator::Equal:
        return field == criterion;
    case Operator::Greater:
        return field > criterion;
    case Operator::Less:
        return field < criterion;
    default:
        return false;
    }
}

bool holds(const SearchItem& item, const dbase::RecordView& record)
{
    const int field = item.row - 1;
    switch (item.op) {
    case Operator::Contains: {
        std::string text = record.text(field);
        upperAZ(text);
        return text.find(item.text) != std::string::npos;
    }
    case Operator::AnyWord: {
        std::string text = record.text(field);
        upperAZ(text);
        for (const std::string& word : item.words)
            if (text.find(word) != std::string::npos)
                return true;
        return false;
    }
    default:
        if (item.isDate)
            return compare(item.op, dayOf(record.date(field)), item.day);
        return compare(item.op, record.number(field), item.number);
    }
}

} // namespace

const SearchField& searchField(int row)
{
    static const std::array<SearchField, kSearchRows> rows = makeSearchFields();
    return rows.at(static_cast<std::size_t>(row - 1));
}

bool hasOptions(int row)
{
    const SearchField& field = searchField(row);
    return field.type != FieldType::Character || field.pickList != 0;
}

QString upperAZ(const QString& text)
{
    QString out = text;
    for (QChar& c : out)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - ('a' - 'A'));
    return out;
}

void upperAZ(std::string& utf8)
{
    // Bytes of multi-byte UTF-8 sequences are never ASCII letters.
    for (char& c : utf8)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - ('a' - 'A'));
}

std::optional<double> readDecimal(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    const char* p = bytes.constData();
    const char* end = p + bytes.size();
    const bool negative = p != end && *p == '-';
    if (p != end && (*p == '-' || *p == '+'))
        ++p;
    // from_chars would also take "inf" and "nan".
    if (p == end || !((*p >= '0' && *p <= '9') || *p == '.'))
        return std::nullopt;
    double value = 0;
    const auto [stop, error] = std::from_chars(p, end, value, std::chars_format::general);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return negative ? -value : value;
}

SearchQuery::SaveResult SearchQuery::saveLevel(const std::array<QString, kSearchRows>& cells,
                                               const RowOptions& options, const db::DateText& dates)
{
    using Outcome = SaveResult::Outcome;
    LevelReader reader(count(), dates);
    for (int row = 1; row <= kSearchRows; ++row) {
        const std::size_t at = static_cast<std::size_t>(row - 1);
        switch (reader.read(row, cells[at], options[at])) {
        case LevelReader::Step::Ok:
            break;
        case LevelReader::Step::Invalid:
            return {Outcome::Invalid, row};
        case LevelReader::Step::TooMany:
            clear();
            return {Outcome::TooMany, row};
        }
    }
    if (reader.items.empty())
        return {Outcome::Empty, 0};
    reader.items.back().endOfLevel = true;
    m_items.insert(m_items.end(), std::make_move_iterator(reader.items.begin()),
                   std::make_move_iterator(reader.items.end()));
    return {Outcome::Saved, 0};
}

void SearchQuery::clear()
{
    m_items.clear();
    m_level = 1;
}

void SearchQuery::nextLevel()
{
    if (m_level < kMaxLevels)
        ++m_level;
}

bool SearchQuery::matches(const dbase::RecordView& record) const
{
    bool level = true;
    for (const SearchItem& item : m_items) {
        if (level)
            level = holds(item, record);
        if (item.endOfLevel) {
            if (level)
                return true;
            level = true;
        }
    }
    return false;
}

} // namespace search
