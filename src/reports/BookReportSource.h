#pragma once

#include "db/BookCursor.h"
#include "db/FieldText.h"
#include "reports/ReportSource.h"
#include "settings/NumberText.h"

#include <QStringList>
#include <array>

namespace reports {

// The books of a BookCursor as a report prints them: money text for Cost,
// Value, Low Market and High Market, a plain year, grouped pages, other fields
// as the program shows them with dates in the short form. An empty number
// prints as 0. Everything given must outlive the source.
class BookReportSource : public ReportSource {
public:
    // `titles`: the user's titles of the 36 fields in schema order.
    BookReportSource(db::BookCursor& cursor, const settings::NumberText& numbers, const db::DateText& dates,
                     QStringList titles);

    void first() override { m_cursor.first(); }
    bool atEnd() const override { return m_cursor.atEnd(); }
    void next() override { m_cursor.next(); }
    QString text(int field) const override;
    double amount(int field) const override;
    QString moneyText(double amount) const override { return m_numbers.money(1, amount); }
    QString fieldTitle(int field) const override { return m_titles.value(field - 1); }
    QString today() const override;

private:
    db::BookCursor& m_cursor;
    const settings::NumberText& m_numbers;
    const db::DateText& m_dates;
    QStringList m_titles;
    std::array<int, 36> m_index{}; // table field of each report field
};

} // namespace reports
