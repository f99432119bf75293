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

std::uint64_t keyOf(double value)
{
    return std::bit_cast<std::uint64_t>(value);
}

bool isMoney(int field)
{
    return field == kCost || field == kValue || field == kLowMarket || field == kHighMarket;
}

} // namespace

BookReportSource::BookReportSource(db::BookCursor& cursor, const settings::NumberText& numbers,
                                   const db::DateText& dates, QStringList titles)
    : m_cursor(cursor), m_numbers(numbers), m_dates(dates), m_titles(std::move(titles))
{
    const dbase::Table& table = cursor.record();
    for (std::size_t i = 0; i < m_index.size(); ++i) {
        m_index[i] = table.fieldIndex(std::string(db::bookFields()[i].name));
        m_isDate[i] =
            m_index[i] >= 0 && table.fields()[std::size_t(m_index[i])].type == dbase::FieldType::Date;
    }
}

void BookReportSource::first()
{
    m_cursor.first();
    ++m_book;
    // The number settings may have changed since the last run.
    m_money.clear();
    m_years.clear();
    m_pages.clear();
    m_dateTexts.clear();
    m_todayAge.invalidate();
}

void BookReportSource::next()
{
    m_cursor.next();
    ++m_book;
}

template <class Make>
QString BookReportSource::remembered(Formatted& known, std::uint64_t key, Make make) const
{
    // Fibonacci hashing spreads keys that differ only in their low or high bits.
    const std::size_t at = std::size_t((key * 0x9E3779B97F4A7C15ULL) >> 54) % known.places.size();
    Formatted::Slot& slot = known.places[at];
    if (!slot.used || slot.key != key) {
        slot.text = make();
        slot.key = key;
        slot.used = true;
    }
    return slot.text;
}

QString BookReportSource::moneyText(double amount) const
{
    return remembered(m_money, keyOf(amount), [&] { return m_numbers.money(1, amount); });
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
    if (isMoney(field)) {
        m_texts[at] = moneyText(table.floating(index));
    } else if (field == kYearPub) {
        const double year = table.floating(index);
        m_texts[at] = remembered(m_years, keyOf(year), [&] { return m_numbers.plain(1, 0, year); });
    } else if (field == kPages) {
        const double pages = table.floating(index);
        m_texts[at] = remembered(m_pages, keyOf(pages), [&] { return m_numbers.grouped(1, 0, pages); });
    } else if (m_isDate[at]) {
        // As db::fieldText shows a date.
        const dbase::Date date = table.date(index);
        const auto write = [&] { return m_dates.write(date); };
        if (date.isNull())
            m_texts[at] = QString();
        else if (date.month >= 0 && date.month < 0x10000 && date.day >= 0 && date.day < 0x10000)
            m_texts[at] = remembered(m_dateTexts,
                                     std::uint64_t(std::uint32_t(date.year)) << 32 |
                                         std::uint64_t(date.month) << 16 | std::uint64_t(date.day),
                                     write);
        else
            m_texts[at] = write();
    } else {
        m_texts[at] = db::fieldText(table, index, m_dates);
    }
    m_textBook[at] = m_book;
    return m_texts[at];
}

double BookReportSource::amount(int field) const
{
    const int index = field >= 1 && field <= int(m_index.size()) ? m_index[std::size_t(field - 1)] : -1;
    return index < 0 ? 0.0 : m_cursor.record().floating(index);
}

// Asked for on every page: reading the clock in local time costs more than
// the rest of a page's footer, so the text is made again only a second later.
QString BookReportSource::today() const
{
    if (!m_todayAge.isValid() || m_todayAge.elapsed() >= 1000) {
        const QDate date = QDate::currentDate();
        m_today = m_dates.write({date.year(), date.month(), date.day()});
        m_todayAge.start();
    }
    return m_today;
}

} // namespace reports
