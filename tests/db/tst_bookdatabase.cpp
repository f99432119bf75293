#include "BookFixture.h"
#include "FaultyFileSystem.h"
#include "TempDir.h"
#include "TestRegistry.h"
#include "db/BookDatabase.h"
#include "platform/ScriptedDialogs.h"

#include <QFileInfo>
#include <QScopeGuard>
#include <QTest>

namespace {

const QString kNotBook =
    "This DBase file was not created with Shelvano Books 95.  It cannot be opened.  You may, "
    "however, import data from this file using the import function.";
const QStringList kSorted{"a", "b", "c"}, kPhysical{"c", "a", "b"};
using dbase::Access;

// A main window's worth of hooks that records what the database code asked of it.
struct Harness {
    explicit Harness(dbase::FileSystem& fs = dbase::defaultFileSystem())
        : database(table, dialogs,
                   {[this] { return sort; },
                    {},
                    {},
                    {},
                    [this](const QString& from, const QString& to) {
                        events << "recent " + QFileInfo(from).fileName() + ">" + QFileInfo(to).fileName();
                    },
                    [this](const QString& caption) { events << caption; },
                    [this] { events << "count"; }},
                   fs)
    {
    }
    std::string file(const char* name) const { return dir.path(name); }
    QString path(const char* name) const { return QString::fromStdString(dir.path(name)); }
    QStringList messages(const QString& caption) const
    {
        QStringList texts;
        for (const auto& message : dialogs.transcript())
            if (message.caption == caption)
                texts << message.text;
        return texts;
    }
    void openBooks(const char* name) // three books, made current
    {
        makeBooks(file(name), {"c", "a", "b"});
        database.OpenSaveFile(path(name));
    }
    QStringList titles()
    {
        QStringList seen;
        table.readRows(0, table.rowCount(), [&](int, const dbase::Table& t) { seen << t.text(0).c_str(); });
        return seen;
    }
    QString orderAndTag() // the current order and the expression of NEWINDEX
    {
        QString text = QString::fromStdString(table.table().order());
        for (const dbase::TagInfo& tag : table.table().tags())
            text += tag.name == "NEWINDEX" ? " " + QString::fromStdString(tag.expression) : "";
        return text;
    }

    TempDir dir;
    platform::ScriptedDialogs dialogs;
    db::BookTable table;
    QString sort = "UPPER(TITLE)";
    QStringList events;
    db::BookDatabase database;
};

} // namespace

class TestBookDatabase : public QObject {
    Q_OBJECT

private slots:
    void recognition_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<bool>("recognised");
        QTest::newRow("book record") << "book" << true;
        QTest::newRow("other kinds and widths") << "kinds" << true;
        QTest::newRow("mixed-case names") << "case" << true;
        QTest::newRow("other order") << "order" << false;
        QTest::newRow("37th field") << "extra" << false;
        QTest::newRow("35 fields") << "short" << false;
    }

    void recognition()
    {
        QFETCH(QString, layout);
        QFETCH(bool, recognised);
        Harness h;
        std::vector<dbase::FieldSpec> fields = db::bookFieldSpecs();
        for (dbase::FieldSpec& field : fields)
            if (layout == "kinds")
                field = {field.name, dbase::FieldSpec::Kind::Character, 7};
        if (layout == "order")
            std::swap(fields[3], fields[4]);
        if (layout == "extra")
            fields.push_back({"EXTRA", dbase::FieldSpec::Kind::Character, 5});
        if (layout == "short")
            fields.pop_back();
        dbase::Table::create(h.file("T.DBF"), fields);
        if (layout == "case")
            patchFile(h.file("T.DBF"), 32, "Title"); // the first field descriptor's name
        QCOMPARE(h.database.CheckDBaseFormat(h.path("T.DBF")), recognised);
        QCOMPARE(h.messages("Error"), recognised ? QStringList() : QStringList{kNotBook});
    }

    // A copy without its .MDX, under a name with two dots.
    void copyWithoutIndex()
    {
        Harness h;
        makeBooks(h.file("BOOKS.OLD.DBF"), {"c", "a", "b"});
        addTag(h.file("BOOKS.OLD.DBF"), "NewIndex", "UPPER(AUTHOR)");
        QFile::remove(h.path("BOOKS.OLD.MDX"));
        QVERIFY(h.database.CheckDBaseFormat(h.path("BOOKS.OLD.DBF")));
        QCOMPARE(fileBytes(h.file("BOOKS.OLD.DBF"))[28], '\0');
        h.database.OpenSaveFile(h.path("BOOKS.OLD.DBF"));
        QCOMPARE(h.titles(), kSorted);
        QCOMPARE(h.events, QStringList({"Shelvano Books 95 (BOOKS)", "recent >BOOKS.OLD.DBF", "count"}));
        QCOMPARE(db::splitDatabasePath(h.path("BOOKS.OLD.DBF")).directory, h.path(""));
        QCOMPARE(h.database.indexPath(), h.path("BOOKS.OLD.MDX")); // where the engine keeps it
        QVERIFY(QFileInfo::exists(h.database.indexPath()));
    }

    // What the engine notices on the way in reaches the user; a repair done by the
    // exclusive open before the shared one is told too.
    void openingWarningsAreShown_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("told");
        QTest::addColumn<int>("books"); // the flag is on the last; 300 are mapped a screenful first
        // clang-format off
        QTest::newRow("unknown deletion mark")      << "flag" << "has an unknown deletion mark" << 3;
        QTest::newRow("deletion mark past the map") << "flag" << "has an unknown deletion mark" << 300;
        QTest::newRow("torn last record")           << "torn" << "was only partly written"      << 3;
        QTest::newRow("sound table")                << ""     << ""                             << 3;
        // clang-format on
    }

    void openingWarningsAreShown()
    {
        QFETCH(QString, fault);
        QFETCH(QString, told);
        QFETCH(int, books);
        char name[] = "tst_db";
        char* argv[] = {name};
        int argc = 1;
        QCoreApplication app(argc, argv); // for the notice after the map's completion
        db::BookTable::setCompleteLaterFrom(1);
        const auto restore = qScopeGuard([] { db::BookTable::setCompleteLaterFrom(0); });
        Harness h;
        h.sort = "";
        std::vector<std::string> titles{"c", "a", "b"};
        for (int i = 3; i < books; ++i)
            titles.push_back("book " + std::to_string(i));
        makeBooks(h.file("T.DBF"), titles);
        QByteArray bytes = fileBytes(h.file("T.DBF"));
        const int header = quint8(bytes[8]) | quint8(bytes[9]) << 8;
        const int recordLength = quint8(bytes[10]) | quint8(bytes[11]) << 8;
        if (fault == "flag")
            patchFile(h.file("T.DBF"), header + (books - 2) * recordLength, "X");
        if (fault == "torn") // half a fourth record after the count's three, where the end mark was
            patchFile(h.file("T.DBF"), header + 3 * recordLength, QByteArray(recordLength / 2, ' '));
        h.database.OpenSaveFile(h.path("T.DBF"));
        QCOMPARE(h.table.rowCount(), books);
        QCoreApplication::processEvents();
        const QStringList notices = h.messages("Notice");
        QCOMPARE(notices.size(), told.isEmpty() ? 0 : 1);
        if (!told.isEmpty())
            QVERIFY2(notices[0].contains(told), qPrintable(notices[0]));
    }

    void switchKeepsCurrent_data()
    {
        QTest::addColumn<QString>("problem");
        for (const char* problem :
             {"missing", "damaged", "held exclusively", "bad sort", "bad sort, same file"})
            QTest::newRow(problem) << problem;
    }

    void switchKeepsCurrent()
    {
        QFETCH(QString, problem);
        Harness h;
        h.openBooks("A.DBF");
        std::unique_ptr<dbase::Table> holder;
        if (problem == "damaged")
            patchFile(h.file("B.DBF"), 0, "not a table, just some text");
        if (problem == "held exclusively" || problem == "bad sort")
            makeBooks(h.file("B.DBF"), {"x"});
        if (problem == "held exclusively")
            holder = dbase::Table::open(h.file("B.DBF"), Access::Exclusive);
        if (problem.startsWith("bad sort"))
            h.sort = "TITLE+";
        h.events.clear();
        QVERIFY_THROWS_EXCEPTION(dbase::DatabaseError, h.database.OpenSaveFile(h.path(
                                                           problem.endsWith("file") ? "A.DBF" : "B.DBF")));
        QCOMPARE(h.database.currentPath(), h.path("A.DBF"));
        QCOMPARE(h.table.path(), h.file("A.DBF"));
        QCOMPARE(h.orderAndTag(), "NEWINDEX UPPER(TITLE)");
        QCOMPARE(h.titles(), kSorted);
        QCOMPARE(h.events, QStringList{"count"});
    }

    // The order tag when a database is opened (at start-up or by a command), in use elsewhere or not.
    void orderTag_data()
    {
        QTest::addColumn<bool>("atStartUp");
        QTest::addColumn<QString>("tag"); // the index's tag and its expression
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("order");
        QTest::addColumn<bool>("indexKept");
        const QString sorted = "NEWINDEX UPPER(TITLE)", title = "NewIndex UPPER(TITLE)";
        // A tag of another expression than the sort string, ordering the books unlike the file
        const QString another = "NewIndex UPPER(LEFT(TITLE,10))", other = "AUTHORS UPPER(AUTHOR)";
        const QString kept = "NEWINDEX UPPER(LEFT(TITLE,10))";
        const QString fits = "NewIndex upper(title)"; // the sort string in other letters
        // clang-format off
        QTest::newRow("fitting tag kept")          << true  << fits    << ""         << "NEWINDEX upper(title)" << true;
        QTest::newRow("fitting tag rebuilt")       << false << fits    << ""         << sorted << false;
        QTest::newRow("missing tag built")         << true  << other   << ""         << sorted << false;
        QTest::newRow("other expression")          << true  << another << ""         << sorted << false;
        QTest::newRow("other expression, in use")  << true  << another << "held"     << kept   << true;
        QTest::newRow("missing tag, in use")       << true  << other   << "held"     << ""       << true;
        QTest::newRow("opened in use")             << false << another << "held"     << kept   << true;
        QTest::newRow("damaged index, rebuilt")    << false << title   << "damaged"  << sorted   << false;
        QTest::newRow("damaged index, declined")   << true  << title   << "declined" << ""       << true;
        // clang-format on
    }

    void orderTag()
    {
        QFETCH(bool, atStartUp);
        QFETCH(QString, tag);
        QFETCH(QString, state);
        QFETCH(QString, order);
        QFETCH(bool, indexKept);
        Harness h;
        makeBooks(h.file("A.DBF"), {"c", "a", "b"});
        addTag(h.file("A.DBF"), tag.section(' ', 0, 0).toStdString(), tag.section(' ', 1).toStdString());
        auto other = state == "held" ? dbase::Table::open(h.file("A.DBF")) : nullptr;
        if (state == "damaged" || state == "declined") {
            patchFile(h.file("A.MDX"), 0, "\x7f");
            h.dialogs.expectQuestion("damaged",
                                     state == "damaged" ? platform::Button::Yes : platform::Button::No);
        }
        QByteArray index = fileBytes(h.file("A.MDX"));
        if (atStartUp)
            QCOMPARE(h.database.startUp(h.path("A.DBF"), h.path("")), db::BookDatabase::StartUp::Opened);
        else
            h.database.OpenSaveFile(h.path("A.DBF"));
        QCOMPARE(h.dialogs.problems(), QStringList());
        QCOMPARE(h.table.table().access(), Access::Shared);
        QCOMPARE(h.orderAndTag(), order);
        QCOMPARE(fileBytes(h.file("A.MDX")) == index, indexKept);
        // Declining was answer enough; a tag of another expression is used, and the user told so.
        const QString notice =
            order.isEmpty() ? "Another program is using the database A, so its sort order cannot be set "
                              "up now.  The books are shown in the order they were entered."
                            : "Another program is using the database A, so its books are shown in the "
                              "sort order stored with it, which differs from the one you chose.";
        QCOMPARE(h.messages("Notice"), state == "held" ? QStringList{notice} : QStringList());
        QCOMPARE(h.titles(), order.isEmpty() ? kPhysical : kSorted);
    }

    // Another copy that stops half-way through an import leaves the index stale: the
    // books fall back to the order they were entered, and the user is told why once.
    void lostIndexToldOnce()
    {
        Harness h;
        h.openBooks("A.DBF");
        QCOMPARE(h.titles(), kSorted);
        QByteArray bytes = fileBytes(h.file("A.DBF"));
        const int length = static_cast<uchar>(bytes[10]) | static_cast<uchar>(bytes[11]) << 8;
        // A whole record past the count and the incomplete mark, as a killed writer leaves them.
        patchFile(h.file("A.DBF"), bytes.size() - 1, bytes.mid(bytes.size() - 1 - length, length) + "\x1a");
        patchFile(h.file("A.DBF"), 14, "\x01");
        char name[] = "tst_db";
        char* argv[] = {name};
        int argc = 1;
        QCoreApplication app(argc, argv);
        h.table.rebuild();
        QVERIFY(h.messages("Notice").isEmpty()); // not while the views are in the middle of the reset
        QCoreApplication::processEvents();
        h.table.rebuild();
        QCoreApplication::processEvents();
        QCOMPARE(h.titles(), kPhysical + QStringList{"b"});
        const QStringList notices = h.messages("Notice");
        QCOMPARE(notices.size(), 1);
        QVERIFY2(notices[0].contains("order they were entered") && notices[0].contains("only user"),
                 qPrintable(notices[0]));
    }

    // The default database: created upper-case when missing, found whatever its case.
    void defaultDatabase()
    {
        Harness h;
        QCOMPARE(h.database.startUp(h.path("GONE.DBF"), h.path("")), db::BookDatabase::StartUp::Opened);
        QCOMPARE(h.database.currentPath(), h.path("MASTER.DBF"));
        QCOMPARE(h.table.rowCount(), 0);
        QFile::rename(h.path("MASTER.DBF"), h.path("master.dbf"));
        QCOMPARE(db::defaultDatabasePath(h.path("")), h.path("master.dbf"));
    }

    void refusedChoices_data()
    {
        QTest::addColumn<bool>("create");
        QTest::addColumn<QString>("chosen"); // in the test's directory
        QTest::addColumn<QString>("message");
        const QString tooLong = QString(240, 'a') + ".DBF"; // a path of more than 249 characters
        // clang-format off
        QTest::newRow("open other type") << false << "books.txt" << "Invalid file type selected.";
        QTest::newRow("new other type")  << true  << "books.DBX" << "Invalid file type selected.";
        QTest::newRow("open long path")  << false << tooLong     << "The path of the file has ";
        QTest::newRow("new long path")   << true  << tooLong     << "The path of the file has ";
        QTest::newRow("open cancelled")  << false << ""          << "";
        QTest::newRow("new cancelled")   << true  << ""          << "";
        // clang-format on
    }

    void refusedChoices()
    {
        QFETCH(bool, create);
        QFETCH(QString, chosen);
        QFETCH(QString, message);
        Harness h;
        h.openBooks("A.DBF");
        h.events.clear();
        chosen = chosen.isEmpty() ? chosen : h.path(qPrintable(chosen));
        if (!create && !chosen.isEmpty())
            patchFile(chosen.toStdString(), 0, "x");
        create ? h.dialogs.expectSaveFile(chosen) : h.dialogs.expectOpenFile(chosen);
        create ? h.database.DoNew() : h.database.DoOpen();
        QVERIFY(h.dialogs.fileDialogs().back().filters.join(' ').contains("*.dbf"));
        QCOMPARE(h.messages("Error").join('|').left(message.size()), message);
        QCOMPARE(h.events, QStringList{"count"});
        QCOMPARE(h.table.path(), h.file("A.DBF"));
    }

    void newDatabaseAndInUse()
    {
        Harness h;
        h.openBooks("A.DBF");
        h.dialogs.expectSaveFile(h.path("NEW.DBF"));
        h.database.DoNew();
        QCOMPARE(h.database.currentPath(), h.path("NEW.DBF"));
        QCOMPARE(h.orderAndTag(), "NEWINDEX UPPER(TITLE)");
        QVERIFY(!h.database.DBaseInUse(h.path("NEW.DBF"))); // our own table does not count
        QVERIFY(h.table.isOpen());
        auto other = dbase::Table::open(h.file("NEW.DBF"));
        QVERIFY(!h.database.MakeNewDB(h.path("NEW.DBF")));
        QCOMPARE(h.messages("Error"), QStringList{"The table \"" + h.path("NEW.DBF") +
                                                  "\" is currently in use by another program.  New table "
                                                  "creation will be aborted."});
        QVERIFY(h.table.isOpen());
    }

    void removeMdxByteFailure()
    {
        FaultyFileSystem fs;
        Harness h(fs);
        makeBooks(h.file("A.DBF"), {"a"});
        h.database.RemoveMDXByte(h.path("MISSING.DBF")); // nothing to write to: nothing happens
        fs.budget = 0;
        try {
            h.database.RemoveMDXByte(h.path("A.DBF"));
            QFAIL("the failed write went unnoticed");
        } catch (const dbase::IoError& error) {
            QVERIFY2(QString(error.what()).contains(h.path("A.DBF")), error.what());
        }
    }
};

REGISTER_TEST(TestBookDatabase)
#include "tst_bookdatabase.moc"
