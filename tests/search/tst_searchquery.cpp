#include "SearchTestSupport.h"
#include "TestRegistry.h"

#include "search/SearchQuery.h"
#include "search/SearchTemplates.h"
#include "settings/DateFormat.h"

#include <QTest>

using search::SearchQuery;
using Outcome = SearchQuery::SaveResult::Outcome;
Q_DECLARE_METATYPE(Outcome)

class SearchQueryTest : public QObject {
    Q_OBJECT

    settings::DateFormat m_dates{QStringLiteral("M/d/yy")};

private slots:
    void initTestCase() { m_dates.apply(1, false); }

    void matches_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("book");
        QTest::addColumn<bool>("expected");
        // Substrings, with the letters a-z folded and nothing else.
        QTest::newRow("start of a word") << "1:bird"
                                         << "1=Birds of the Coast" << true;
        QTest::newRow("inside a word") << "1:bird"
                                       << "1=THE BLACKBIRD" << true;
        QTest::newRow("accent not folded") << "1:café"
                                           << "1=CAFÉ SOCIETY" << false;
        QTest::newRow("two words one substring") << "1:war peace"
                                                 << "1=Wartime" << false;
        // KEYWORDS: any one word.
        QTest::newRow("keywords first word") << "23:war peace"
                                             << "23=wartime, memoir" << true;
        QTest::newRow("keywords double blank") << "23:war  peace"
                                               << "23=peace talks" << true;
        QTest::newRow("keywords none") << "23:war  peace"
                                       << "23=history" << false;
        // Numbers and dates: strict ranges and comparisons.
        QTest::newRow("range lower bound") << "3~:> 1990      AND < 2000"
                                           << "3=1990" << false;
        QTest::newRow("range inside") << "3~:> 1990      AND < 2000"
                                      << "3=1991" << true;
        QTest::newRow("range upper bound") << "3~:> 1990 AND < 2000"
                                           << "3=2000" << false;
        QTest::newRow("greater is strict") << "3>:> 1990"
                                           << "3=1990" << false;
        QTest::newRow("equal decimals") << "7=:= 12.5"
                                        << "7=12.5000" << true;
        QTest::newRow("date range inside") << "12~:> 7/4/1996 AND < 7/6/1996"
                                           << "12=19960705" << true;
        QTest::newRow("date range bound") << "12~:> 7/4/1996 AND < 7/6/1996"
                                          << "12=19960704" << false;
        // Blank fields: a number reads as 0, a date lies before every date.
        QTest::newRow("blank number less") << "24<:< 5"
                                           << "" << true;
        QTest::newRow("blank number equal 0") << "24:= 0"
                                              << "" << true;
        QTest::newRow("blank date equal") << "12:= 7/4/1996"
                                          << "" << false;
        QTest::newRow("blank date less than 1800") << "12<:< 1/1/1800"
                                                   << "" << true;
        QTest::newRow("blank date greater") << "12>:> 1/1/1800"
                                            << "" << false;
        // All of a level, any level.
        QTest::newRow("level needs all") << "1:bird ; 3>:> 1990"
                                         << "1=Birds; 3=1985" << false;
        QTest::newRow("second level") << "3>:> 1990 | 1:coast"
                                      << "1=The Coast; 3=1950" << true;
        QTest::newRow("neither level") << "3>:> 1990 | 1:coast"
                                       << "1=Rivers; 3=1950" << false;
        QTest::newRow("failed level resets") << "1:zzz ; 3>:> 1990 | 3<:< 2000"
                                             << "1=A; 3=1995" << true;
    }

    void matches()
    {
        QFETCH(QString, query);
        QFETCH(QString, book);
        QFETCH(bool, expected);
        SearchQuery q;
        QVERIFY(saveQuery(q, query, m_dates));
        QCOMPARE(q.matches(FakeBook(book)), expected);
    }

    void saveLevel_data()
    {
        QTest::addColumn<QString>("level");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("count");
        QTest::newRow("not a number") << "1:x ; 3:= 19a0" << Outcome::Invalid << 3 << 0;
        QTest::newRow("comma is no decimal point") << "7:= 12,5" << Outcome::Invalid << 7 << 0;
        QTest::newRow("lower bound only") << "3~:> 1990      AND <" << Outcome::Invalid << 3 << 0;
        QTest::newRow("upper bound only") << "29~:>  AND < 5" << Outcome::Invalid << 29 << 0;
        QTest::newRow("empty range") << "3~:>           AND <         " << Outcome::Empty << 0 << 0;
        QTest::newRow("date range one bound")
            << "12~:> 7/4/1996 AND <   /  /    " << Outcome::Invalid << 12 << 0;
        QTest::newRow("not a date") << "12:= 2/30/1996" << Outcome::Invalid << 12 << 0;
        QTest::newRow("untouched date") << "12:=   /  /    ; 18<:<   .  .    " << Outcome::Empty << 0 << 0;
        QTest::newRow("first bad row wins") << "3:= x ; 12:= y" << Outcome::Invalid << 3 << 0;
        QTest::newRow("range is two items") << "3~:> 1 AND < 5 ; 1:a" << Outcome::Saved << 0 << 3;
        QTest::newRow("blanks only") << "1:   " << Outcome::Empty << 0 << 0;
    }

    void saveLevel()
    {
        QFETCH(QString, level);
        QFETCH(Outcome, outcome);
        QFETCH(int, row);
        QFETCH(int, count);
        SearchQuery q;
        QVERIFY(saveQuery(q, QStringLiteral("2:kept"), m_dates));
        const LevelCells cells = levelCells(level);
        const SearchQuery::SaveResult result = q.saveLevel(cells.cells, cells.options, m_dates);
        QCOMPARE(result.outcome, outcome);
        QCOMPARE(result.row, row);
        QCOMPARE(q.count(), 1 + count); // a level that fails leaves the earlier one as it was
        QVERIFY(q.items().back().endOfLevel);
        QCOMPARE(q.items().front().criteria, QStringLiteral("KEPT"));
    }

    // Seventy-five items over all levels are allowed; the seventy-sixth clears the query.
    void itemLimit()
    {
        QStringList full, text; // every row: 28 text rows, 8 ranges of two items
        for (int row = 1; row <= search::kSearchRows; ++row) {
            const search::FieldType type = search::searchField(row).type;
            if (type == search::FieldType::Character)
                text << QStringLiteral("%1:a").arg(row);
            full << (type == search::FieldType::Character ? QStringLiteral("%1:a").arg(row)
                     : type == search::FieldType::Numeric
                         ? QStringLiteral("%1~:> 1 AND < 9").arg(row)
                         : QStringLiteral("%1~:> 1/1/1990 AND < 1/1/2000").arg(row));
        }
        SearchQuery q;
        QVERIFY(saveQuery(q, full.join(QStringLiteral(" ; ")), m_dates));
        QCOMPARE(q.count(), 44);
        QVERIFY(saveQuery(q, text.join(QStringLiteral(" ; ")) + QStringLiteral(" ; 3~:> 1 AND < 9 ; 7:= 1"),
                          m_dates));
        QCOMPARE(q.count(), 75);
        const LevelCells one = levelCells(QStringLiteral("1:b"));
        QCOMPARE(q.saveLevel(one.cells, one.options, m_dates).outcome, Outcome::TooMany);
        QCOMPARE(q.count(), 0);
        QCOMPARE(q.level(), 1);
    }

    void masks_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("mask");
        QTest::newRow("number range") << 7 << 4 << "/"
                                      << "\\> xxxxxxxxx \\A\\N\\D \\< xxxxxxxx";
        QTest::newRow("date less") << 12 << 3 << "."
                                   << "\\< 00.00.9999";
        QTest::newRow("date range") << 18 << 4 << "-"
                                    << "\\> 00-00-9999 \\A\\N\\D \\< 00-00-9999";
        QTest::newRow("text row") << 23 << 4 << "/"
                                  << "";
    }

    void masks()
    {
        QFETCH(int, row);
        QFETCH(int, option);
        QFETCH(QString, separator);
        QFETCH(QString, mask);
        QCOMPARE(search::criteriaMask(row, option, separator[0]), mask);
    }
};

REGISTER_TEST(SearchQueryTest)
#include "tst_searchquery.moc"
