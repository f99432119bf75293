#include "TempDir.h"
#include "TestRegistry.h"

#include "db/BookSchema.h"
#include "db/BookTable.h"
#include "platform/Screen.h"
#include "platform/ScriptedDialogs.h"
#include "search/SearchTemplates.h"
#include "search/TMySearch.h"
#include "search/TSearchOptions.h"
#include "settings/DateFormat.h"
#include "settings/Fonts.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

namespace {

// Four books: title, year published, purchase date (row 12), keywords (row 23).
void makeBooks(const std::string& path)
{
    const std::vector<std::array<std::string, 4>> books{{"Birds of the Coast", "1995", "19960704", "nature"},
                                                        {"THE BLACKBIRD", "1985", "", "war"},
                                                        {"Rivers", "1950", "19800101", "peace"},
                                                        {"Coast Roads", "1992", "20010203", "travel"}};
    dbase::Table::create(path, db::bookFieldSpecs());
    auto table = dbase::Table::open(path, dbase::Access::Exclusive);
    for (const auto& book : books) {
        table->append();
        for (int i : {0, 1, 2, 3})
            table->setText(std::array{0, 2, 11, 22}[std::size_t(i)], book[std::size_t(i)]);
        table->post();
    }
}

// The search window on a book table, with the main window's side played here.
struct Harness {
    Harness()
    {
        makeBooks(dir.path("BOOKS.DBF"));
        table.adopt(dbase::Table::open(dir.path("BOOKS.DBF")));
        dates.apply(1, false);
        auto endSearch = [this] {
            searchOn = false;
            ++ended;
            table.setFilter({});
        };
        auto lists = [](int list) { return list == 4 ? QStringList{"Fiction", "History"} : QStringList(); };
        auto isOn = [this] { return searchOn; };
        auto enable = [this] { searchOn = true; };
        auto scale = [] { return 1.0; };
        window = std::make_unique<TMySearch>(search::SearchServices{
            dialogs, table, settings, dates, fonts, screen, scale, lists, isOn, enable, endSearch, {}});
        window->show();
    }
    const platform::ScriptedDialogs::Message& lastMessage() const { return dialogs.transcript().back(); }

    TempDir dir;
    platform::ScriptedDialogs dialogs;
    db::BookTable table;
    settings::Settings settings;
    settings::DateFormat dates{QStringLiteral("M/d/yy")};
    settings::SharedFonts fonts = settings::makeSharedFonts(settings);
    platform::FixedScreen screen{{1024, 768}};
    bool searchOn = false;
    int ended = 0;
    std::unique_ptr<TMySearch> window;
};

QLineEdit* editorOf(TMySearch& window)
{
    return qobject_cast<QLineEdit*>(window.SearchGrid->indexWidget(window.SearchGrid->currentIndex()));
}

// The options window for `row` as the "..." cell opens it, its entry `entry` (-1: none) chosen with OK.
void chooseOption(TMySearch& window, int row, const QStringList& values, int entry)
{
    const settings::SharedFonts fonts;
    TSearchOptions options(fonts, 1.0, {1024, 768});
    options.setRow(row, QStringLiteral("Field"));
    if (values.isEmpty())
        options.showOperators(window.rowOption(row));
    else
        options.showValues(values);
    options.ListBox1->setCurrentRow(entry);
    options.OkButtonClick();
    window.applySearchOptions(options);
}

} // namespace

class SearchWindowTest : public QObject {
    Q_OBJECT

private slots:
    void okWithoutCriteriaTouchesNothing()
    {
        Harness h;
        h.window->OkButtonClick();
        QCOMPARE(h.lastMessage().caption, QStringLiteral("Error"));
        QCOMPARE(h.lastMessage().text, QStringLiteral("No search criteria entered."));
        QVERIFY(!h.table.hasFilter());
        QVERIFY(!h.searchOn);
        QVERIFY(h.window->isVisible());
    }

    void okFiltersTheTable()
    {
        Harness h;
        h.table.gotoRow(3);
        h.window->setCriteria(1, QStringLiteral("bird"));
        h.window->OkButtonClick();
        QVERIFY(!h.window->isVisible());
        QVERIFY(h.searchOn);
        QCOMPARE(h.table.rowCount(), 2);
        QCOMPARE(h.table.currentRow(), 0);
    }

    void noMatchEndsTheSearch()
    {
        Harness h;
        h.window->setCriteria(1, QStringLiteral("bird"));
        h.window->OkButtonClick();
        h.window->show();
        h.window->setCriteria(1, QStringLiteral("zzz"));
        h.window->OkButtonClick();
        QCOMPARE(h.lastMessage().caption, QStringLiteral("Notice"));
        QCOMPARE(h.lastMessage().text,
                 QStringLiteral("No valid matches found.  Search Criteria will be cleared."));
        QCOMPARE(h.ended, 1);
        QVERIFY(!h.searchOn);
        QCOMPARE(h.table.rowCount(), 4);
        QVERIFY(h.window->isVisible());
        QVERIFY(h.window->criteria(1).isEmpty());
        QVERIFY(!h.window->activeQuery());
    }

    // Regression: showing the window emptied the query the filter read, so Exit
    // while a search was on left "SEARCH ON" over an empty grid.
    void exitKeepsTheRunningSearch()
    {
        Harness h;
        h.window->setCriteria(1, QStringLiteral("bird"));
        h.window->OkButtonClick();
        h.window->show();
        h.window->setCriteria(1, QStringLiteral("rivers"));
        h.window->MoreButtonClick();
        h.window->setCriteria(1, QStringLiteral("zzz"));
        h.window->ExitButtonClick();
        h.table.close(); // the filter runs again on every record
        h.table.reopen();
        QVERIFY(h.searchOn);
        QCOMPARE(h.table.rowCount(), 2);
    }

    void invalidLevelKeepsEarlierLevels()
    {
        Harness h;
        h.window->setCriteria(1, QStringLiteral("bird"));
        h.window->MoreButtonClick();
        chooseOption(*h.window, 3, {}, 3);
        h.window->setCriteria(3, QStringLiteral("> 1990 AND <"));
        h.window->OkButtonClick();
        QCOMPARE(h.lastMessage().text, QStringLiteral("Invalid search criteria entered.  Please correct."));
        QCOMPARE(h.window->currentRow(), 3);
        QCOMPARE(h.window->query().count(), 1);
        QCOMPARE(h.window->query().level(), 2);
        QVERIFY(!h.searchOn);
    }

    void tenLevelsAtMost()
    {
        Harness h;
        for (int level = 1; level < 10; ++level) {
            h.window->setCriteria(1, QStringLiteral("zzz%1").arg(level));
            h.window->MoreButtonClick();
        }
        QCOMPARE(h.window->SearchGrid->horizontalHeaderItem(2)->text(),
                 QStringLiteral(" SEARCH CRITERIA    (Level 10)"));
        QVERIFY(!h.window->MoreButton->isEnabled());
        h.window->setCriteria(1, QStringLiteral("coast"));
        h.window->OkButtonClick();
        QCOMPARE(h.table.rowCount(), 2);
    }

    // Regression: an OK that failed on the tenth level brought "Find More" back, and the levels
    // it then stored ran past ten under a "Level 10" header.
    void failedOkOnTheLastLevel_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("criteria");
        QTest::addColumn<QString>("message");
        QTest::newRow("invalid") << 3 << "19x"
                                 << "Invalid search criteria entered.  Please correct.";
        QTest::newRow("empty") << 1 << ""
                               << "No search criteria entered.";
    }

    void failedOkOnTheLastLevel()
    {
        QFETCH(int, row);
        QFETCH(QString, criteria);
        QFETCH(QString, message);
        Harness h;
        for (int level = 1; level < 10; ++level) {
            h.window->setCriteria(1, QStringLiteral("zzz%1").arg(level));
            h.window->MoreButtonClick();
        }
        h.window->setCriteria(row, criteria);
        h.window->OkButtonClick();
        QCOMPARE(h.lastMessage().text, message);
        QVERIFY(!h.window->MoreButton->isEnabled());
        h.window->setCriteria(row, QString());
        h.window->setCriteria(1, QStringLiteral("zzz10"));
        h.window->MoreButtonClick(); // as a stray click would: nothing is stored
        QCOMPARE(h.window->query().count(), 9);
        QCOMPARE(h.window->query().level(), 10);
        QCOMPARE(h.window->SearchGrid->horizontalHeaderItem(2)->text(),
                 QStringLiteral(" SEARCH CRITERIA    (Level 10)"));
        QVERIFY(!h.window->MoreButton->isEnabled());
        h.window->setCriteria(1, QStringLiteral("coast"));
        h.window->OkButtonClick();
        QCOMPARE(h.table.rowCount(), 2);
        QCOMPARE(h.window->activeQuery()->count(), 10);
    }

    void seventySixthItemClearsTheQuery()
    {
        Harness h;
        for (int level = 1; level <= 3; ++level) {
            for (int row = 1; row <= search::kSearchRows; ++row)
                if (search::searchField(row).type == search::FieldType::Character)
                    h.window->setCriteria(row, QStringLiteral("a"));
            h.window->MoreButtonClick();
        }
        QCOMPARE(h.lastMessage().text,
                 QStringLiteral("More than 75 search items have been entered.  This exceeds "
                                "the maximum allowable.  Search criteria will be cleared."));
        QCOMPARE(h.window->query().count(), 0);
        QCOMPARE(h.window->query().level(), 1);
        QVERIFY(h.window->criteria(1).isEmpty());
    }

    // The range template takes effect in the open editor at once and survives the window closing.
    void dateRangeOption()
    {
        Harness h;
        chooseOption(*h.window, 12, {}, 3);
        QCOMPARE(h.window->rowOption(12), 4);
        QCOMPARE(h.window->currentRow(), 12);
        QVERIFY(editorOf(*h.window));
        QCOMPARE(editorOf(*h.window)->inputMask(),
                 QStringLiteral("\\> 00/00/9999 \\A\\N\\D \\< 00/00/9999;_"));
        QTest::keyClicks(editorOf(*h.window), QStringLiteral("1/1/1990"));
        QCOMPARE(h.window->criteria(12), QStringLiteral("> 1 /1 /1990 AND <   /  /    "));
        h.window->ExitButtonClick();
        h.window->show();
        QCOMPARE(h.window->rowOption(12), 4);
        QCOMPARE(h.window->criteriaMask(12), search::criteriaMask(12, 4, QLatin1Char('/')));
    }

    void typedCriteriaKeepTheirBlanks()
    {
        Harness h;
        h.window->SearchGrid->setCurrentCell(22, 2);
        QTest::keyClicks(editorOf(*h.window), QStringLiteral("war  peace"));
        QCOMPARE(h.window->criteria(23), QStringLiteral("war  peace"));
        h.window->OkButtonClick();
        QCOMPARE(h.table.rowCount(), 2);
    }

    void pickListValue()
    {
        Harness h;
        h.window->setCriteria(5, QStringLiteral("typed"));
        chooseOption(*h.window, 5, {"Fiction", "History"}, -1);
        QCOMPARE(h.window->criteria(5), QStringLiteral("typed"));
        QCOMPARE(h.window->currentRow(), 5);
        chooseOption(*h.window, 5, {"Fiction", "History"}, 1);
        QCOMPARE(h.window->criteria(5), QStringLiteral("History"));
    }

    void optionsCellOpensTheOptionsWindow()
    {
        Harness h;
        QStringList shown;
        QTimer::singleShot(0, [&] {
            auto* options = qobject_cast<TSearchOptions*>(QApplication::activeModalWidget());
            QVERIFY(options);
            shown << options->FieldNameLabel->text();
            for (int i = 0; i < options->ListBox1->count(); ++i)
                shown << options->ListBox1->item(i)->text();
            QVERIFY(options->ListBox1->selectedItems().isEmpty());
            options->ListBox1->setCurrentRow(1);
            options->OkButton->click();
        });
        QTableWidgetItem* dots = h.window->SearchGrid->item(16, 1);
        h.window->SearchGrid->scrollToItem(dots);
        QTest::mouseClick(h.window->SearchGrid->viewport(), Qt::LeftButton, {},
                          h.window->SearchGrid->visualItemRect(dots).center());
        QCOMPARE(shown, (QStringList{"Checked Out", "YES", "NO"}));
        QCOMPARE(h.window->criteria(17), QStringLiteral("NO"));
    }
};

REGISTER_TEST(SearchWindowTest)
#include "tst_searchwindow.moc"
