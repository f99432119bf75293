#include "TempDir.h"
#include "TestRegistry.h"

#include "db/BookSchema.h"
#include "edit/TMyLocateDialog.h"
#include "platform/Screen.h"
#include "platform/ScriptedDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

namespace {

using db::MatchType;
using From = db::Locator::From;

// Books from "title|cost|date" lines (date as YYYYMMDD); authors from `authors`, in turn.
void makeBooks(const std::string& path, const QStringList& books, const QStringList& authors = {""})
{
    dbase::Table::create(path, db::bookFieldSpecs());
    auto table = dbase::Table::open(path, dbase::Access::Exclusive);
    for (qsizetype i = 0; i < books.size(); ++i) {
        const QStringList values = books[i].split(u'|');
        table->append();
        table->setText(0, values.value(0).toStdString());
        table->setText(1, authors[i % authors.size()].toStdString());
        table->setText(6, values.value(1).toStdString());
        table->setText(11, values.value(2).toStdString());
        table->post();
    }
}

const QStringList kBooks{"Smith and Sons|12.50|19960704",
                         "smithy tales||",
                         "The Blacksmith|3|",
                         "|0.10|",
                         "émile|12.5|",
                         "Émile Zola||"};

} // namespace

class LocateTest : public QObject {
    Q_OBJECT

private slots:
    void find_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("match");
        QTest::addColumn<bool>("withCase");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<int>("from"); // -1 first, else next after this row
        QTest::addColumn<int>("found");
        const int exact = 0, start = 1, anywhere = 2;
        QTest::newRow("beginning in capitals") << "TITLE"
                                               << "sm" << start << false << "." << -1 << 0;
        QTest::newRow("beginning with case") << "TITLE"
                                             << "sm" << start << true << "." << -1 << 1;
        QTest::newRow("anywhere, next") << "TITLE"
                                        << "SMITH" << anywhere << false << "." << 0 << 1;
        QTest::newRow("anywhere with case") << "TITLE"
                                            << "smith" << anywhere << true << "." << -1 << 1;
        QTest::newRow("exact") << "TITLE"
                               << "the blacksmith" << exact << false << "." << -1 << 2;
        QTest::newRow("exact with case") << "TITLE"
                                         << "the blacksmith" << exact << true << "." << -1 << -1;
        QTest::newRow("exact prefix is not enough") << "TITLE"
                                                    << "the black" << exact << false << "." << -1 << -1;
        QTest::newRow("exact empty") << "TITLE"
                                     << "" << exact << false << "." << -1 << 3;
        QTest::newRow("partial empty") << "TITLE"
                                       << "" << start << false << "." << -1 << -1;
        QTest::newRow("capitals are a-z only") << "TITLE"
                                               << "émile z" << start << false << "." << -1 << -1;
        QTest::newRow("no wrap-around") << "TITLE"
                                        << "smith and" << start << false << "." << 3 << -1;
        QTest::newRow("cost 12.5 is 12.50") << "COST"
                                            << "12.5" << exact << false << "." << -1 << 0;
        QTest::newRow("cost 12.50, next") << "COST"
                                          << " 12.50" << exact << false << "." << 0 << 4;
        QTest::newRow("cost with comma") << "COST"
                                         << "12,5" << exact << false << "," << -1 << 0;
        QTest::newRow("point under comma") << "COST"
                                           << "12.5" << exact << false << "," << -1 << -1;
        QTest::newRow("cost not a number") << "COST"
                                           << "12.5x" << exact << false << "." << -1 << -1;
        QTest::newRow("blank cost is no zero") << "COST"
                                               << "0" << exact << false << "." << -1 << -1;
        QTest::newRow("cost as text") << "COST"
                                      << "0,1" << start << false << "," << -1 << 3;
        QTest::newRow("date") << "PURCHDATE"
                              << "7/4/96" << exact << false << "." << -1 << 0;
        QTest::newRow("date partly") << "PURCHDATE"
                                     << "/4/" << anywhere << false << "." << -1 << 0;
        QTest::newRow("no such field") << "NOFIELD"
                                       << "x" << anywhere << false << "." << -1 << -1;
    }
    // Each search runs reading rows in turn and reading the file in one pass.
    void find()
    {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(int, match);
        QFETCH(bool, withCase);
        QFETCH(QString, separator);
        QFETCH(int, from);
        QFETCH(int, found);
        TempDir dir;
        makeBooks(dir.path("BOOKS.DBF"), kBooks);
        db::BookTable books;
        books.adopt(dbase::Table::open(dir.path("BOOKS.DBF")));
        db::ShortDateText dates;
        db::Locator locator(books, dates, separator);
        for (int inTurn : {256, 0}) {
            locator.setRowsReadInTurn(inTurn);
            const int before = from < 0 ? 5 : from;
            books.gotoRow(before);
            const bool located = locator.find({field.toStdString(), value, MatchType(match), withCase},
                                              from < 0 ? From::First : From::Next);
            QCOMPARE(located, found >= 0);
            QCOMPARE(books.currentRow(), found >= 0 ? found : before);
        }
    }

    // Keys equal in capitals, keys running on below the blank, a filter: the index finds what reading finds.
    void seekAgreesWithScan_data()
    {
        QTest::addColumn<QString>("tag");
        QTest::newRow("author") << "Upper(Left(Author,80))";
        QTest::newRow("author cut, then title") << "Upper(Left(Author,12))+Upper(Left(Title,20))";
    }
    void seekAgreesWithScan()
    {
        QFETCH(QString, tag);
        TempDir dir;
        const std::string path = dir.path("BOOKS.DBF");
        QStringList titles;
        for (int i = 0; i < 400; ++i)
            titles << QString::number(i % 7);
        makeBooks(path, titles,
                  {"Smith, Ann", "smith, ann", "SMITH, ANN", "Smithers, Bo", "Smyth", "", "Sm\tith", "Jones",
                   "Smith, Ann and Friends", "smith"});
        dbase::Table::open(path, dbase::Access::Exclusive)->addTag("NewIndex", tag.toStdString());
        auto table = dbase::Table::open(path);
        table->setOrder("NewIndex");
        db::BookTable books;
        books.adopt(std::move(table), [](const dbase::RecordView& r) { return r.text(0) != "3"; });
        db::ShortDateText dates;
        db::Locator seeking(books, dates), reading(books, dates);
        reading.setIndexSeek(false);
        const int last = books.rowCount() - 1;
        for (const QString value :
             {"sm", "Smith, Ann", "SMITH", "Sm\t", "", "smy", "zz", "smith, ann and friends"})
            for (MatchType match : {MatchType::Exact, MatchType::Beginning})
                for (bool withCase : {false, true})
                    for (int from : {-1, 0, 1, 40, 300, last - 1, last}) {
                        const db::LocateQuery query{"AUTHOR", value, match, withCase};
                        int rows[2];
                        for (db::Locator* locator : {&seeking, &reading}) {
                            books.gotoRow(std::max(from, 0));
                            locator->find(query, from < 0 ? From::First : From::Next);
                            rows[locator == &reading] = books.currentRow();
                        }
                        QVERIFY(seeking.usedIndexSeek() || (value.isEmpty() && match != MatchType::Exact));
                        QVERIFY2(rows[0] == rows[1], qPrintable(QStringLiteral("%1 from %2: %3 against %4")
                                                                    .arg(value)
                                                                    .arg(from)
                                                                    .arg(rows[0])
                                                                    .arg(rows[1])));
                    }
    }

    void dialog()
    {
        TempDir dir;
        makeBooks(dir.path("BOOKS.DBF"), kBooks);
        db::BookTable books;
        books.adopt(dbase::Table::open(dir.path("BOOKS.DBF")));
        platform::ScriptedDialogs dialogs;
        db::ShortDateText dates;
        settings::Settings settings;
        settings.fields[0].title = QStringLiteral("Book~Title");
        const settings::SharedFonts fonts = settings::makeSharedFonts(settings);
        const platform::FixedScreen screen({1024, 768});
        TMyLocateDialog locate({books, dialogs, dates, settings, fonts, screen, {}});

        // Locate next with nothing searched yet opens the dialog.
        QStringList seen;
        whenShown([&](TMyLocateDlg* dlg) {
            auto* fields = dlg->findChild<QComboBox*>("FieldNameComboBox");
            seen << dlg->windowTitle() << fields->itemText(0) << fields->itemText(1);
            fields->setCurrentIndex(fields->findText("Book Title"));
            dlg->findChild<QLineEdit*>("SearchValue")->setText("zz");
            dlg->findChild<QPushButton*>("FirstButton")->click(); // not found: the dialog stays
            seen << QString::number(dlg->isVisible());
            dlg->findChild<QLineEdit*>("SearchValue")->setText("SMITH");
            dlg->findChild<QRadioButton*>("PartialMatchAnyBtn")->setChecked(true);
            dlg->findChild<QPushButton*>("NextButton")->click();
        });
        books.gotoRow(0);
        QVERIFY(locate.LocateNext(nullptr));
        QCOMPARE(seen, (QStringList{"Locate Field Value", "Author", "Book Title", "1"}));
        QCOMPARE(books.currentRow(), 1);
        QVERIFY(locate.LocateNext(nullptr));
        QCOMPARE(books.currentRow(), 2);
        QVERIFY(!locate.LocateNext(nullptr));
        QCOMPARE(books.currentRow(), 2);

        // The dialog comes back as it was left; another field empties the value.
        whenShown([&](TMyLocateDlg* dlg) {
            auto* value = dlg->findChild<QLineEdit*>("SearchValue");
            seen = {dlg->findChild<QComboBox*>("FieldNameComboBox")->currentText(), value->text(),
                    QString::number(dlg->findChild<QRadioButton*>("PartialMatchAnyBtn")->isChecked())};
            dlg->findChild<QComboBox*>("FieldNameComboBox")->setCurrentIndex(0);
            seen << value->text();
            dlg->findChild<QPushButton*>("BitBtn1")->click();
        });
        QVERIFY(!locate.Locate(nullptr));
        QCOMPARE(seen, (QStringList{"Book Title", "SMITH", "1", ""}));
        QCOMPARE(books.currentRow(), 2);

        books.close();
        QVERIFY(!locate.Locate(nullptr));
        QVERIFY(!locate.LocateNext(nullptr));
        QStringList messages;
        for (const auto& message : dialogs.transcript())
            messages << message.caption + ": " + message.text;
        QCOMPARE(messages, (QStringList{"Notice: No matches found", "Notice: No more matches found",
                                        "Error: DataSource does not reference an active DataSet",
                                        "Warning: DataSource does not refer to an active table!"}));
    }

private:
    // Runs `act` on the locate dialog once it is up.
    static void whenShown(std::function<void(TMyLocateDlg*)> act)
    {
        QTimer::singleShot(0, [act] {
            auto* dlg = qobject_cast<TMyLocateDlg*>(QApplication::activeModalWidget());
            QVERIFY(dlg);
            act(dlg);
            if (dlg->isVisible())
                dlg->reject();
        });
    }
};

REGISTER_TEST(LocateTest)

#include "tst_locate.moc"
