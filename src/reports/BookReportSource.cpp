#include "reports/BookReportSource.h"

#include "db/BookSchema.h"

#include <QDate>

namespace reports {

namespace {

enum Field { kYearPub = 3, kCost = 7, kValue = 8, kPages = 24, kLowMarket = 29, kHighMarket = 30 };

bool money(int field)
{
    return field == kCost || field == kValue || field == kLowMarket || field == kHighMarket;
}

} // namespace

BookReportSource::BookReportSource(db::BookCursor& cursor, const settings::NumberText& numbers,
                                   const db::DateText& dates, QStringList titles)
    : m_cursor(cursor), m_numbers(numbers), m_dates(dates), m_titles(std::move(titles))
{
    for (std::size_t i = 0; i < m_index.size(); ++i)
        m_index[i] = cursor.record().fieldIndex(std::string(db::bookFields()[i].name));
}

QString BookReportSource::text(int field) const
{
    if (field < 1 || field > int(m_index.size()) || m_index[std::size_t(field - 1)] < 0)
        return QString();
    const dbase::Table& table = m_cursor.record();
    const int index = m_index[std::size_t(field - 1)];
    if (money(field))
        return m_numbers.money(1, table.floating(index));
    if (field == kYearPub)
        return m_numbers.plain(1, 0, table.floating(index));
    if (field == kPages)
        return m_numbers.grouped(1, 0, table.floating(index));
    return db::fieldText(table, index, m_dates);
}

double BookReportSource::amount(int field) const
{
    const int index = field >= 1 && field <= int(m_index.size()) ? m_index[std::size_t(field - 1)] : -1;
    return index < 0 ? 0.0 : m_cursor.record().floating(index);
}

QString BookReportSource::today() const
{
    const QDate date = QDate::currentDate();
    return m_dates.write({date.year(), date.month(), date.day()});
}

} // namespace reports
