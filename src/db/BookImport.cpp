#include "BookImport.h"

#include "dbase/CodePage.h"
#include "dbase/DatabaseError.h"
#include "dbase/Expression.h"
#include "dbase/Values.h"

#include <QString>
#include <algorithm>

namespace db {
namespace {

using dbase::FieldType;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isBlankText(std::string_view text)
{
    return text.find_first_not_of(' ') == std::string_view::npos;
}

// The longest leading number of `text`: blanks, an optional sign, digits and,
// when `decimals`, a "." with more digits. Empty when there are no digits;
// `rest` tells whether anything but blanks follows it.
std::string leadingNumber(std::string_view text, bool decimals, bool& rest)
{
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string_view::npos)
        i = text.size();
    std::string number;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        number.push_back(text[i++]);
    bool digits = false;
    while (i < text.size() && isDigit(text[i])) {
        number.push_back(text[i++]);
        digits = true;
    }
    if (decimals && i + 1 < text.size() && text[i] == '.' && isDigit(text[i + 1])) {
        number.push_back(text[i++]);
        while (i < text.size() && isDigit(text[i])) {
            number.push_back(text[i++]);
            digits = true;
        }
    } else if (decimals && digits && i < text.size() && text[i] == '.') {
        ++i; // "12." is 12
    }
    rest = !isBlankText(text.substr(i));
    if (!digits)
        return {};
    if (number[0] == '+')
        number.erase(0, 1);
    return number;
}

bool fits(const dbase::Field& field, const std::string& number)
{
    try {
        dbase::encodeNumberText(field, number);
        return true;
    } catch (const dbase::DatabaseError&) {
        return false;
    }
}

// Whether a date's text wrote its year with at most two digits: no run of three or more digits.
bool shortYear(std::string_view text)
{
    int run = 0;
    for (char c : text) {
        run = isDigit(c) ? run + 1 : 0;
        if (run > 2)
            return false;
    }
    return true;
}

bool isNumberField(const dbase::Field& field)
{
    return field.type == FieldType::Numeric || field.type == FieldType::Float;
}

} // namespace

ImportConverter::ImportConverter(const dbase::Table& target, const DateText& dates, QChar separator,
                                 int currentYear)
    : m_target(target), m_dates(dates), m_separator(separator), m_currentYear(currentYear)
{
}

ImportOutcome ImportConverter::convert(int index, const ImportValue& in, Value& out) const
{
    out = Value();
    const dbase::Field& field = m_target.fields().at(static_cast<std::size_t>(index));
    switch (in.kind) {
    case ImportValue::Kind::Text:
        return convertText(field, in.text, out);
    case ImportValue::Kind::Number:
        if (field.type == FieldType::Date)
            return in.text.empty() ? ImportOutcome::Stored : ImportOutcome::Loose;
        if (field.type == FieldType::Character || in.text.empty())
            return convertText(field, in.text, out);
        if (!fits(field, in.text))
            return ImportOutcome::TooWide;
        out.blank = false;
        out.text = in.text;
        return ImportOutcome::Stored;
    case ImportValue::Kind::Date:
        if (in.date.isNull())
            return ImportOutcome::Stored;
        if (field.type == FieldType::Date) {
            out.blank = false;
            out.date = in.date;
            return ImportOutcome::Stored;
        }
        if (field.type == FieldType::Character)
            return convertText(field, m_dates.write(in.date).toStdString(), out);
        return ImportOutcome::Loose;
    }
    return ImportOutcome::Loose;
}

ImportOutcome ImportConverter::convertText(const dbase::Field& field, const std::string& text,
                                           Value& out) const
{
    if (isBlankText(text))
        return ImportOutcome::Stored;
    switch (field.type) {
    case FieldType::Character: {
        std::string bytes, bad;
        if (!dbase::CodePage::forLanguageDriver(m_target.languageDriver()).encode(text, bytes, bad))
            return ImportOutcome::Unencodable;
        out.blank = false;
        out.text = text;
        return ImportOutcome::Stored;
    }
    case FieldType::Numeric:
    case FieldType::Float: {
        bool rest = false;
        std::string number = leadingNumber(text, field.decimals > 0, rest);
        out.blank = false;
        out.text = number.empty() ? "0" : number;
        if (!fits(field, out.text))
            return ImportOutcome::TooWide;
        return number.empty() || rest ? ImportOutcome::Loose : ImportOutcome::Stored;
    }
    case FieldType::Date:
        return convertDate(text, out);
    case FieldType::Logical:
    case FieldType::Memo:
        break;
    }
    return ImportOutcome::Loose;
}

ImportOutcome ImportConverter::convertDate(const std::string& text, Value& out) const
{
    const char separator = static_cast<char>(m_separator.toLatin1());
    bool letter = std::any_of(text.begin(), text.end(),
                              [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); });
    if (letter || separator == 0 || text.find(separator) == std::string::npos)
        return ImportOutcome::Loose;
    std::optional<dbase::Date> date = m_dates.read(QString::fromStdString(text));
    if (!date)
        return ImportOutcome::BadDate;
    // No purchase lies in the future: "7/4/45" read in 2026 is 1945.
    if (date->year > m_currentYear && shortYear(text)) {
        date->year -= 100;
        if (dbase::julianDay(date->year, date->month, date->day) == 0)
            return ImportOutcome::BadDate;
    }
    out.blank = false;
    out.date = *date;
    return ImportOutcome::Stored;
}

void ImportConverter::store(dbase::Table& table, int field, const Value& value) const
{
    if (value.blank)
        return;
    if (table.fields().at(static_cast<std::size_t>(field)).type == FieldType::Date)
        table.setDate(field, value.date);
    else
        table.setText(field, value.text);
}

ImportCheck checkImport(ImportSource& source, const ImportMap& map, const ImportConverter& converter)
{
    ImportCheck check;
    source.restart();
    std::vector<ImportValue> values;
    ImportConverter::Value value;
    const int count = std::min<int>(source.fieldCount(), static_cast<int>(map.size()));
    while (source.next(values)) {
        ++check.records;
        for (int i = 0; i < count; ++i) {
            if (map[static_cast<std::size_t>(i)] < 0)
                continue;
            const ImportValue& in = values[static_cast<std::size_t>(i)];
            ImportOutcome outcome = converter.convert(map[static_cast<std::size_t>(i)], in, value);
            if (outcome == ImportOutcome::Stored)
                continue;
            if (outcome == ImportOutcome::Loose) {
                ++check.loose;
                continue;
            }
            ImportProblem problem{source.position(), i, in.text, outcome};
            if (outcome == ImportOutcome::Unencodable) {
                if (check.unencodable++ == 0)
                    check.firstUnencodable = problem;
            } else if (check.problems++ == 0) {
                check.firstProblem = problem;
            }
        }
    }
    return check;
}

ImportConverter::ImportConverter(const BookTable& target, const DateText& dates, QChar separator,
                                 int currentYear)
    : ImportConverter(target.table(), dates, separator, currentYear)
{
}

ImportResult writeImport(BookTable& books, ImportSource& source, const ImportMap& map,
                         const ImportConverter& converter, const std::function<void(long long)>& progress)
{
    // Not waited for under the batch's header lock, which the walk completing the map may wait for.
    books.completeRows();
    if (books.editing())
        books.post();
    const std::uint32_t current = books.recnoAt(books.currentRow());
    ImportResult result;
    try {
        result = writeImport(books.table(), source, map, converter, progress);
    } catch (...) {
        books.rebuild();
        books.gotoRow(books.rowOf(current));
        throw;
    }
    books.rebuild();
    books.gotoRow(books.rowOf(current));
    return result;
}

ImportResult writeImport(dbase::Table& target, ImportSource& source, const ImportMap& map,
                         const ImportConverter& converter, const std::function<void(long long)>& progress)
{
    ImportResult result;
    std::vector<ImportValue> values;
    ImportConverter::Value value;
    const int count = std::min<int>(source.fieldCount(), static_cast<int>(map.size()));
    source.restart();
    // A failure anywhere takes every record of the import back: the table
    // shows the books it had before, with no deleted records left behind.
    target.beginBatch(dbase::BatchFailure::TakeBackAppends);
    bool batch = true;
    try {
        while (source.next(values)) {
            target.append();
            for (int i = 0; i < count; ++i) {
                int field = map[static_cast<std::size_t>(i)];
                if (field < 0)
                    continue;
                ImportOutcome outcome = converter.convert(field, values[static_cast<std::size_t>(i)], value);
                if (outcome != ImportOutcome::Stored)
                    ++result.loose;
                if (outcome == ImportOutcome::Stored || outcome == ImportOutcome::Loose)
                    converter.store(target, field, value);
            }
            target.post();
            if (++result.records; progress && (result.records & 255) == 0)
                progress(result.records);
        }
        batch = false;
        target.endBatch(); // a failure of its own writes takes the records back too
    } catch (...) {
        if (!batch)
            throw;
        std::string undone;
        try {
            target.abandonBatch();
        } catch (const dbase::DatabaseError& e) {
            undone = e.what();
        }
        if (undone.empty())
            throw;
        try {
            throw;
        } catch (const std::exception& failure) {
            throw dbase::DatabaseError(std::string(failure.what()) + " " + undone);
        }
    }
    if (progress)
        progress(result.records);
    return result;
}

DbfImportSource::DbfImportSource(const std::string& path, dbase::FileSystem& fs)
    : m_table(dbase::Table::openIgnoringIndex(path, dbase::Access::ReadOnly, fs))
{
    m_table->setOrder({});
    const int fields = static_cast<int>(m_table->fields().size());
    m_fieldCount = std::min(fields, kMaxFields);
    m_dropped = fields - m_fieldCount;
    m_count = m_table->physicalCount();
}

DbfImportSource::~DbfImportSource() = default;

std::vector<std::string> DbfImportSource::fieldNames() const
{
    std::vector<std::string> names;
    for (int i = 0; i < m_fieldCount; ++i)
        names.push_back(m_table->fields()[static_cast<std::size_t>(i)].name);
    return names;
}

void DbfImportSource::restart()
{
    m_table->first();
    m_position = 0;
}

bool DbfImportSource::next(std::vector<ImportValue>& values)
{
    if (m_table->eof() || m_table->recno() == 0 || m_table->recno() > m_count)
        return false;
    values.resize(static_cast<std::size_t>(m_fieldCount));
    for (int i = 0; i < m_fieldCount; ++i) {
        ImportValue& value = values[static_cast<std::size_t>(i)];
        const dbase::Field& field = m_table->fields()[static_cast<std::size_t>(i)];
        value.kind = ImportValue::Kind::Text;
        value.date = {};
        if (field.type == FieldType::Memo) {
            value.text = m_table->memo(i);
        } else if (field.type == FieldType::Date) {
            value.kind = ImportValue::Kind::Date;
            value.date = m_table->date(i);
            value.text.clear();
        } else {
            value.kind = isNumberField(field) ? ImportValue::Kind::Number : ImportValue::Kind::Text;
            value.text = m_table->text(i);
        }
    }
    m_position = m_table->recno();
    m_table->next();
    return true;
}

} // namespace db
