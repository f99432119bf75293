#include "reports/BookReportSource.h"

#include "db/BookSchema.h"

#include <QDate>
#include <bit>

namespace reports {

namespace {

// Report fields count from 1 where the book schema counts from 0.
enum Field {
    kYearPub = db::fields::YearPub + 1,
    kCost = db::fields::Cost + 1,
    kValue = db::fields::Value + 1,
    kPages = db::fields::Pages + 1,
    kLowMarket = db::fields::LowMarket + 1,
    kHighMarket = db::fields::HighMarket + 1
};

// Distinct values kept per kind before the table starts again: bounds memory on unusual data.
constexpr std::size_t kKeptValues = 4096;

bool isMoney(int field)
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

void BookReportSource::first()
{
    m_cursor.first();
    ++m_book;
    // The number settings may have changed since the last run.
    m_money.clear();
    m_years.clear();
    m_pages.clear();
}

void BookReportSource::next()
{
    m_cursor.next();
    ++m_book;
}

const QString& BookReportSource::formatted(Formatted& known, double value,
                                           QString (BookReportSource::*format)(double) const) const
{
    const auto bits = std::bit_cast<std::uint64_t>(value);
    if (const auto found = known.find(bits); found != known.end())
        return found->second;
    if (known.size() >= kKeptValues)
        known.clear();
    return known.emplace(bits, (this->*format)(value)).first->second;
}

QString BookReportSource::moneyText(double amount) const
{
    return formatted(m_money, amount, &BookReportSource::formatMoney);
}

QString BookReportSource::text(int field) const
{
    if (field < 1 || field > int(m_index.size()) || m_index[std::size_t(field - 1)] < 0)
        return QString();
    const auto at = std::size_t(field - 1);
    if (m_textBook[at] == m_book)
        return m_texts[at];
    const dbase::Table& table = m_cursor.record();
    const int index = m_index[at];
    if (isMoney(field))
        m_texts[at] = formatted(m_money, table.floating(index), &BookReportSource::formatMoney);
    else if (field == kYearPub)
        m_texts[at] = formatted(m_years, table.floating(index), &BookReportSource::formatYear);
    else if (field == kPages)
        m_texts[at] = formatted(m_pages, table.floating(index), &BookReportSource::formatPages);
    else
        m_texts[at] = db::fieldText(table, index, m_dates);
    m_textBook[at] = m_book;
    return m_texts[at];
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
