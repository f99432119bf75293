#pragma once

// What the report tests share: books held in memory as a report source, and
// an engine on the Letter reference device that measures every character
// 0.1 inch wide and logs the texts it draws, page by page.

#include "../reportengine/ReportTestSupport.h"
#include "reportengine/TCanvasReport.h"
#include "reports/ReportSource.h"
#include "reports/definition/ReportFields.h"

#include <QStringList>
#include <map>
#include <vector>

namespace {

struct Book {
    QString title;
    QString author;
    double cost = 0;
    QString location = {};
};

// 40 books of 9 authors, in author order; "Smith" and "SMITH" sort together as the key folds case.
inline std::vector<Book> fortyBooks()
{
    const char* authors[] = {"Austen", "Brontë", "Carroll", "Dickens", "Eliot",
                             "Hardy",  "Smith",  "SMITH",   "Twain"};
    const int counts[] = {3, 7, 1, 9, 4, 6, 2, 3, 5};
    std::vector<Book> books;
    for (int a = 0; a < 9; ++a)
        for (int i = 0; i < counts[a]; ++i)
            books.push_back({QString("%1 book %2").arg(authors[a]).arg(i + 1), authors[a], 1.25 * (i + 1)});
    return books;
}

class BookSource : public reports::ReportSource {
public:
    explicit BookSource(std::vector<Book> books) : m_books(std::move(books)) {}

    void first() override { m_at = 0; }
    bool atEnd() const override { return m_at >= m_books.size(); }
    void next() override { ++m_at; }
    QString text(int field) const override
    {
        const Book& b = m_books[m_at];
        switch (field) {
        case 1:
            return b.title;
        case 2:
            return b.author;
        case 3:
            return QString::number(1900 + int(m_at));
        case 7:
            return moneyText(b.cost);
        case 25:
            return b.location;
        default:
            return QString();
        }
    }
    double amount(int field) const override { return field == 7 ? m_books[m_at].cost : 0; }
    QString moneyText(double amount) const override { return QString::number(amount, 'f', 2); }
    QString fieldTitle(int field) const override
    {
        return field == 3 ? QStringLiteral("Year Pub") : QString::fromUtf8(reports::fieldName(field).data());
    }
    QString today() const override { return QStringLiteral("12/7/26"); }

private:
    std::vector<Book> m_books;
    std::size_t m_at = 0;
};

// One drawn text: its page, baseline and text.
struct Drawn {
    int page;
    double y;
    QString text;
    bool centred;
};

class LoggingEngine : public reportengine::TCanvasReport {
public:
    std::vector<Drawn> drawn;
    int pages = 0;

    LoggingEngine() { SetMeasurer(std::make_shared<FixedMeasurer>()); }

    // The texts of one page, in drawing order.
    QStringList page(int n) const
    {
        QStringList out;
        for (const Drawn& d : drawn)
            if (d.page == n)
                out << d.text;
        return out;
    }

protected:
    void StartPageOutput(int) override { ++pages; }
    void EndPageOutput() override {}
    void CloseOutput(bool) override {}
    void DoText(reportengine::TextAlign align, double, double y, const QString& text) override
    {
        drawn.push_back({PageNumber(), y, text, align == reportengine::TextAlign::Centre});
    }
};

} // namespace
