#include "BookFixture.h"
#include "FaultyFileSystem.h"
#include "TempDir.h"
#include "TestRegistry.h"

#include "db/BookDatabase.h"
#include "platform/ScriptedDialogs.h"
#include "search/SortOrderChange.h"
#include "search/SortString.h"
#include "search/TMySortOrder.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>

namespace {

using Levels = std::array<int, 4>;
// Authors A0 A1 A2 A0 A1.
const std::vector<std::string> kTitles{"Emma", "Dune", "Ulysses", "Beloved", "Ivanhoe"};

// A disk full for a moment: once the budget is spent, the next file opened finds room again.
class PassingFault : public FaultyFileSystem {
public:
    std::unique_ptr<dbase::File> open(const std::string& path, dbase::OpenMode mode) override
    {
        if (budget == 0)
            budget = -1;
        return FaultyFileSystem::open(path, mode);
    }
};

// The book table in author order with "Ivanhoe" filtered out, and the main window's side of a change.
struct Harness {
    explicit Harness(dbase::FileSystem& fs = dbase::defaultFileSystem(), bool withTag = true)
    {
        makeBooks(path, kTitles);
        if (withTag)
            addTag(path, db::kOrderTag, "Upper(Left(Author,80))");
        auto table = dbase::Table::open(path);
        table->setOrder(withTag ? db::kOrderTag : "");
        books.adopt(std::move(table), [](const dbase::RecordView& r) { return r.text(0) != "Ivanhoe"; });
        change = std::make_unique<search::SortOrderChange>(
            books, levels, dialogs,
            search::SortOrderHooks{[this](const QString& p) { return database.DBaseInUse(p); },
                                   [this] { written.push_back(levels); }, [this] { ++viewerApplied; }},
            fs);
    }
    QStringList rows()
    {
        QStringList titles;
        books.readRows(0, books.rowCount(), [&](int, const dbase::Table& t) { titles << t.text(0).c_str(); });
        return titles;
    }
    std::string tagExpression()
    {
        for (const dbase::TagInfo& tag : dbase::Table::open(path, dbase::Access::ReadOnly)->tags())
            return tag.expression;
        return "none";
    }

    TempDir dir;
    std::string path = dir.path("BOOKS.DBF");
    platform::ScriptedDialogs dialogs;
    db::BookTable books;
    db::BookDatabase database{books, dialogs, {}};
    Levels levels{2, 0, 0, 0};
    std::vector<Levels> written;
    int viewerApplied = 0;
    std::unique_ptr<search::SortOrderChange> change;
};

const QStringList kByAuthor{"Emma", "Beloved", "Dune", "Ulysses"};

} // namespace

class SortOrderTest : public QObject {
    Q_OBJECT

private slots:
    void sortString_data()
    {
        QTest::addColumn<QList<int>>("levels");
        QTest::addColumn<QString>("expression");
        QTest::newRow("author alone") << QList<int>{2, 0, 0, 0} << "Upper(Left(Author,80))";
        QTest::newRow("author, title")
            << QList<int>{2, 1, 0, 0} << "Upper(Left(Author,40))+Upper(Left(Title,40))";
        QTest::newRow("category, date, cost")
            << QList<int>{5, 12, 7, 0} << "Upper(Left(Category,26))+DTOS(PurchDate)+STR(Cost,12,2)";
        QTest::newRow("none then title") << QList<int>{0, 1, 0, 0} << "Upper(Left(Title,80))";
        QTest::newRow("four characters") << QList<int>{1, 2, 4, 36}
                                         << "Upper(Left(Title,20))+Upper(Left(Author,20))+"
                                            "Upper(Left(Publisher,20))+Upper(Left(UserDef6,20))";
        QTest::newRow("three characters") << QList<int>{0, 23, 25, 26}
                                          << "Upper(Left(KeyWords,26))+Upper(Left(Location,26))+"
                                             "Upper(Left(Condition,26))";
        QTest::newRow("same field twice")
            << QList<int>{1, 1, 0, 0} << "Upper(Left(Title,40))+Upper(Left(Title,40))";
        QTest::newRow("whole numbers") << QList<int>{24, 0, 3, 0} << "STR(Pages,12,0)+STR(YearPub,12,0)";
        QTest::newRow("all none") << QList<int>{0, 0, 0, 0} << "";
        const Levels first = settings::Settings().sortOrder;
        QTest::newRow("first start") << QList<int>(first.begin(), first.end()) << "Upper(Left(Author,80))";
    }
    void sortString()
    {
        QFETCH(QList<int>, levels);
        QFETCH(QString, expression);
        QCOMPARE(BuildSortString({levels[0], levels[1], levels[2], levels[3]}), expression);
    }

    void newOrder_data()
    {
        QTest::addColumn<QList<int>>("levels");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("title") << QList<int>{1, 0, 0, 0} << QStringList{"Beloved", "Dune", "Emma", "Ulysses"};
        QTest::newRow("none, author, none, title")
            << QList<int>{0, 2, 0, 1} << QStringList{"Beloved", "Emma", "Dune", "Ulysses"};
        QTest::newRow("all none: physical")
            << QList<int>{0, 0, 0, 0} << QStringList{"Emma", "Dune", "Ulysses", "Beloved"};
    }
    void newOrder()
    {
        QFETCH(QList<int>, levels);
        QFETCH(QStringList, rows);
        Harness h;
        const Levels chosen{levels[0], levels[1], levels[2], levels[3]};
        QCOMPARE(h.change->apply(chosen), search::SortOrderChange::Outcome::Applied);
        QCOMPARE(h.levels, chosen);
        QCOMPARE(h.written, std::vector<Levels>{chosen}); // the settings hold the new levels
        QCOMPARE(h.rows(), rows);                         // filter kept, new order
        QCOMPARE(h.viewerApplied, 1);
        // With no level the old tag stays in the file, and the next order replaces it.
        QCOMPARE(h.tagExpression(),
                 chosen == Levels{} ? "Upper(Left(Author,80))" : BuildSortString(chosen).toStdString());
        QCOMPARE(h.change->apply({2, 0, 0, 0}), search::SortOrderChange::Outcome::Applied);
        QCOMPARE(h.rows(), kByAuthor);
        QVERIFY(h.dialogs.transcript().empty());
    }

    void databaseWithoutIndex()
    {
        Harness h(dbase::defaultFileSystem(), false);
        QCOMPARE(h.change->apply({1, 0, 0, 0}), search::SortOrderChange::Outcome::Applied);
        QCOMPARE(h.rows(), (QStringList{"Beloved", "Dune", "Emma", "Ulysses"}));
    }

    // Every point at which the index writes can fail: the old levels and the old tag come back.
    void failureRestoresOldOrder_data()
    {
        QTest::addColumn<bool>("passing");
        QTest::newRow("disk full for a moment") << true;
        QTest::newRow("disk stays full") << false;
    }
    void failureRestoresOldOrder()
    {
        QFETCH(bool, passing);
        int failures = 0;
        for (std::int64_t budget = passing ? 1 : 0;; budget += 157) {
            PassingFault passingFault;
            FaultyFileSystem lastingFault;
            FaultyFileSystem& fs = passing ? passingFault : lastingFault;
            Harness h(fs);
            fs.budget = budget;
            if (h.change->apply({1, 2, 0, 0}) == search::SortOrderChange::Outcome::Applied)
                break;
            ++failures;
            QCOMPARE(h.dialogs.transcript().at(0).text,
                     "Error in implementing sort order.  New sort order not implemented.");
            QCOMPARE(h.levels, (Levels{2, 0, 0, 0}));
            QVERIFY(h.written.empty());
            QVERIFY(h.books.isOpen());
            if (passing) {
                QCOMPARE(h.dialogs.transcript().size(), 1u);
                QCOMPARE(h.tagExpression(), "Upper(Left(Author,80))");
                QCOMPARE(h.rows(), kByAuthor);
            }
        }
        QVERIFY2(failures > 5, "the faults must reach into the index writes");
    }

    // A refusal leaves everything as it was and the window open; Ok then takes the chosen levels.
    void window()
    {
        Harness h;
        settings::Settings settings;
        TMySortOrder window(*h.change, settings, settings::makeSharedFonts(settings), 1.0, {1024, 768});
        window.show();
        auto* second = window.findChild<QComboBox*>("ComboBox2");
        QCOMPARE(QStringList({second->itemText(0), second->itemText(12), QString::number(second->count())}),
                 QStringList({"<NONE>", "Purchase Date", "37"}));
        QCOMPARE(window.findChild<QComboBox*>("ComboBox1")->currentIndex(), 2);
        second->setCurrentIndex(1);
        auto other = dbase::Table::open(h.path);
        window.findChild<QPushButton*>("OkButton")->click();
        QVERIFY(window.isVisible());
        QCOMPARE(
            h.dialogs.transcript().at(0).text,
            "Creating a new sort order requires exclusive use of the DBase File.  Make sure that the DBase "
            "File is not in use by another program  or that no other users are running the software or "
            "that no other copies of the software are in use.");
        QVERIFY(h.levels == (Levels{2, 0, 0, 0}) && h.written.empty() && h.rows() == kByAuthor);
        other.reset();
        window.findChild<QPushButton*>("OkButton")->click();
        QCOMPARE(window.result(), int(QDialog::Accepted));
        QCOMPARE(h.levels, (Levels{2, 1, 0, 0}));
    }
};

REGISTER_TEST(SortOrderTest)

#include "tst_sortorder.moc"
