#include "Locator.h"

#include <QRegularExpression>
#include <charconv>
#include <cmath>

namespace db {
namespace {

using dbase::FieldType;

bool isNumber(const dbase::Field& field)
{
    return field.type == FieldType::Numeric || field.type == FieldType::Float;
}

// Fields the user reads with decimals; whole numbers are matched as their text.
bool hasDecimals(const dbase::Field& field)
{
    return field.type == FieldType::Float || (field.type == FieldType::Numeric && field.decimals > 0);
}

// The name and width of a key that begins with Upper(Left(name,width)).
struct KeyStart {
    QString name;
    int width = 0;
};

std::optional<KeyStart> keyStart(const std::string& expression)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\s*UPPER\s*\(\s*LEFT\s*\(\s*([A-Z_][A-Z0-9_]*)\s*,\s*(\d{1,3})\s*\)\s*\))"),
        QRegularExpression::CaseInsensitiveOption);
    QRegularExpressionMatch found = pattern.match(QString::fromStdString(expression));
    if (!found.hasMatch() || found.captured(2).toInt() < 1)
        return std::nullopt;
    return KeyStart{found.captured(1), found.captured(2).toInt()};
}

} // namespace

QString upperAZ(QString text)
{
    for (QChar& c : text)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 'a' + 'A');
    return text;
}

std::optional<double> readLocateNumber(const QString& text, const QString& decimalSeparator)
{
    QString number = text.trimmed();
    const QString separator = decimalSeparator.isEmpty() ? QStringLiteral(".") : decimalSeparator;
    if (separator != QStringLiteral(".")) {
        if (number.contains(u'.'))
            return std::nullopt;
        number.replace(separator, QStringLiteral("."));
    }
    const std::string bytes = number.toStdString();
    const char* begin = bytes.data();
    const char* end = begin + bytes.size();
    if (begin != end && *begin == '+')
        ++begin;
    if (begin == end || *begin == '+')
        return std::nullopt;
    double value = 0;
    auto [stop, error] = std::from_chars(begin, end, value, std::chars_format::general);
    if (error != std::errc() || stop != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// ---------------------------------------------------------------- match test

FieldMatch::FieldMatch(const dbase::Table& table, int field, const LocateQuery& query,
                       const db::DateText& dates, const QString& decimalSeparator)
    : m_field(field), m_dates(dates), m_separator(decimalSeparator),
      m_value(query.caseSensitive ? query.value : upperAZ(query.value)), m_match(query.match),
      m_caseSensitive(query.caseSensitive)
{
    const dbase::Field& f = table.fields().at(static_cast<std::size_t>(field));
    m_decimalField = hasDecimals(f);
    m_memo = f.type == FieldType::Memo;
    if (m_decimalField && m_match == MatchType::Exact)
        m_number = readLocateNumber(query.value, decimalSeparator);
    if (!isNumber(f) || m_separator.isEmpty())
        m_separator = QStringLiteral(".");
}

bool FieldMatch::matches(const dbase::Table& table) const
{
    if (m_decimalField && m_match == MatchType::Exact)
        return equalsNumber(table.isBlank(m_field), table.floating(m_field));
    return matchesText(db::fieldText(table, m_field, m_dates));
}

bool FieldMatch::matches(const dbase::RecordView& record) const
{
    if (m_decimalField && m_match == MatchType::Exact)
        return equalsNumber(record.text(m_field).empty(), record.number(m_field));
    return matchesText(db::fieldText(record, m_field, m_dates));
}

bool FieldMatch::equalsNumber(bool blank, double value) const
{
    return m_number && !blank && value == *m_number;
}

bool FieldMatch::matchesText(QString text) const
{
    if (m_separator != QStringLiteral("."))
        text.replace(QStringLiteral("."), m_separator);
    if (!m_caseSensitive)
        text = upperAZ(std::move(text));
    switch (m_match) {
    case MatchType::Exact:
        return text == m_value;
    case MatchType::Beginning:
        return !m_value.isEmpty() && text.startsWith(m_value);
    case MatchType::Anywhere:
        return !m_value.isEmpty() && text.contains(m_value);
    }
    return false;
}

// ---------------------------------------------------------------- search

Locator::Locator(db::BookTable& table, const db::DateText& dates, QString decimalSeparator,
                 dbase::FileSystem& fs)
    : m_table(table), m_dates(dates), m_separator(std::move(decimalSeparator)), m_fs(fs)
{
}

bool Locator::find(const LocateQuery& query, From from)
{
    m_usedSeek = false;
    if (!m_table.isOpen())
        return false;
    dbase::Table& table = m_table.table();
    if (table.editing())
        m_table.post(); // moving to another record would post it anyway
    const int field = table.fieldIndex(query.field);
    if (field < 0 || (query.match != MatchType::Exact && query.value.isEmpty()))
        return false;
    const int startRow = from == From::First ? 0 : std::max(0, m_table.currentRow() + 1);
    const FieldMatch match(table, field, query, m_dates, m_separator);

    const std::uint32_t keep = table.recno();
    const bool hadRecord = !table.isEmpty() && keep != 0;
    int row = -1;
    try {
        std::optional<Prefix> prefix = seekPrefix(query, field);
        m_usedSeek = prefix.has_value();
        row = prefix ? seek(match, *prefix, field, startRow) : scan(match, startRow);
    } catch (...) {
        if (hadRecord)
            table.gotoBookmark(keep);
        throw;
    }
    if (row < 0) {
        if (hadRecord)
            table.gotoBookmark(keep);
        return false;
    }
    return m_table.gotoRow(row);
}

// The rows next to the start are read one by one: the next match is often
// near. Beyond them one pass over the file finds every match at once.
int Locator::scan(const FieldMatch& match, int startRow)
{
    dbase::Table& table = m_table.table();
    const int rows = m_table.rowCount();
    const int near = match.readsMemo() ? rows : std::min(rows, startRow + m_rowsReadInTurn);
    for (int row = startRow; row < near; ++row)
        if (table.gotoBookmark(m_table.recnoAt(row)) && match.matches(table))
            return row;
    if (near == rows)
        return -1;
    const std::vector<std::uint8_t> matching = matchingRecords(match);
    for (int row = near; row < rows; ++row) {
        const std::uint32_t recno = m_table.recnoAt(row);
        // Checked again on our own open: the file may have changed in between.
        if (recno < matching.size() && matching[recno] && table.gotoBookmark(recno) && match.matches(table))
            return row;
    }
    return -1;
}

// Marks, by record number, the records of the file whose field matches.
std::vector<std::uint8_t> Locator::matchingRecords(const FieldMatch& match)
{
    auto reader = dbase::Table::openIgnoringIndex(m_table.path(), dbase::Access::ReadOnly, m_fs);
    reader->setFilter([&match](const dbase::RecordView& record) { return match.matches(record); });
    std::vector<std::uint8_t> matching(std::size_t(reader->physicalCount()) + 1, 0);
    for (std::uint32_t recno : reader->visibleRecords())
        if (recno < matching.size())
            matching[recno] = 1;
    return matching;
}

// The index serves when the current order's key starts with Upper(Left(f,w)) of
// the character field searched: every record that can match then has a key
// starting with the value in capitals, cut to w (padded to w for an exact match).
std::optional<Locator::Prefix> Locator::seekPrefix(const LocateQuery& query, int field) const
{
    const dbase::Table& table = m_table.table();
    const dbase::Field& f = table.fields()[static_cast<std::size_t>(field)];
    if (!m_indexSeek || query.match == MatchType::Anywhere || f.type != FieldType::Character ||
        table.order().empty())
        return std::nullopt;
    for (const dbase::TagInfo& tag : table.tags()) {
        if (QString::fromStdString(tag.name).compare(QString::fromStdString(table.order()),
                                                     Qt::CaseInsensitive) != 0)
            continue;
        std::optional<KeyStart> start = keyStart(tag.expression);
        if (!tag.usable || tag.descending || !tag.forExpression.empty() || !start ||
            start->name.compare(QString::fromStdString(f.name), Qt::CaseInsensitive) != 0)
            return std::nullopt;
        const int width = std::min(start->width, f.length);
        QString probe = upperAZ(query.value).left(width);
        if (query.match == MatchType::Exact)
            probe = probe.leftJustified(width, u' ');
        return Prefix{width, probe};
    }
    return std::nullopt;
}

bool Locator::hasPrefix(const Prefix& prefix, int field) const
{
    const QString text = QString::fromStdString(m_table.table().text(field));
    return upperAZ(text.left(prefix.width).leftJustified(prefix.width, u' ')).startsWith(prefix.probe);
}

// The records whose keys start with the probe lie together in the order. The
// engine's seek compares the probe padded with blanks, so keys continuing with
// a character below the blank lie just before where it lands: step back over them.
int Locator::seek(const FieldMatch& match, const Prefix& prefix, int field, int startRow)
{
    dbase::Table& table = m_table.table();
    table.seek(prefix.probe.toStdString());
    int landed = m_table.rowCount();
    if (!table.eof() && table.recno() != 0) {
        landed = m_table.rowOf(table.recno());
        if (landed < 0) // changed by another program since the rows were read
            return scan(match, startRow);
    }
    int first = landed;
    while (first > startRow && table.gotoBookmark(m_table.recnoAt(first - 1)) && hasPrefix(prefix, field))
        --first;
    for (int row = std::max(first, startRow); row < m_table.rowCount(); ++row) {
        if (!table.gotoBookmark(m_table.recnoAt(row)))
            continue;
        if (!hasPrefix(prefix, field))
            break;
        if (match.matches(table))
            return row;
    }
    return -1;
}

} // namespace db
