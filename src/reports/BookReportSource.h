#pragma once

#include "db/BookCursor.h"
#include "db/FieldText.h"
#include "reports/ReportSource.h"
#include "settings/NumberText.h"

#include <QElapsedTimer>
#include <QStringList>
#include <array>
#include <cstdint>
#include <vector>

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

    void first() override;
    bool atEnd() const override { return m_cursor.atEnd(); }
    void next() override;
    QString text(int field) const override;
    double amount(int field) const override;
    QString moneyText(double amount) const override;
    QString fieldTitle(int field) const override { return m_titles.value(field - 1); }
    QString today() const override;

private:
    db::BookCursor& m_cursor;
    const settings::NumberText& m_numbers;
    const db::DateText& m_dates;
    QStringList m_titles;
    std::array<int, 36> m_index{}; // table field of each report field

    // The texts of the current book already asked for: a grouping field is read twice.
    mutable std::array<QString, 36> m_texts;
    mutable std::array<std::uint64_t, 36> m_textBook{}; // m_book when m_texts[i] was made
    std::uint64_t m_book = 1;                           // changes with every move
    // Number and date texts by value: prices, years and dates repeat from
    // book to book, and formatting them costs more than looking them up. A
    // value has one place, where it replaces the one before: the memory stays
    // small and constant whatever the data.
    struct Formatted {
        struct Slot {
            std::uint64_t key = 0;
            bool used = false;
            QString text;
        };
        std::vector<Slot> places = std::vector<Slot>(1024);
        void clear() { places.assign(places.size(), Slot{}); }
    };
    mutable Formatted m_money, m_years, m_pages, m_dateTexts;
    std::array<bool, 36> m_isDate{}; // by report field, like m_index
    template <class Make> QString remembered(Formatted& known, std::uint64_t key, Make make) const;
    mutable QString m_today;
    mutable QElapsedTimer m_todayAge;
};

} // namespace reports
