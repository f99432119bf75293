#include "FaultyFileSystem.h"
#include "MaintenanceFixture.h"
#include "TestRegistry.h"
#include "db/LegacyConversion.h"

#include <QTest>
#include <climits>
#include <filesystem>

using db::LegacyVersion;
using platform::Button;

namespace {

// A file system whose deletes fail, as on a medium that went read-only.
class NoDeleteFileSystem : public FaultyFileSystem {
public:
    void remove(const std::string& path) override { throw dbase::IoError(path, "delete", EROFS); }
};

// A data directory with a current book database of two books and room for old files.
struct Start {
    TempDir dir;
    db::BookTable table;
    platform::ScriptedDialogs dialogs;
    std::string books = dir.path("MASTER.DBF");

    Start()
    {
        makeBooks(books, {"x", "y"});
        table.adopt(dbase::Table::open(books));
    }
    std::string oldFile(bool v1, const char* name = nullptr)
    {
        std::string path = dir.path(name ? name : v1 ? "BLOG.DBF" : "B2LOG.DBF");
        dbase::Table::create(path, oldBookFields(v1));
        return path;
    }
    std::uint32_t startUp(dbase::FileSystem& fs = dbase::defaultFileSystem(), bool browse = false)
    {
        db::LegacyConversion conversion(table, dialogs, fs);
        return conversion.CheckForConversion(QString::fromStdString(dir.dir()), browse);
    }
};

} // namespace

class TestConversion : public QObject {
    Q_OBJECT

private slots:
    // An old file is recognised by its field count and its names 2 … n, on their first ten characters.
    void recognition_data()
    {
        QTest::addColumn<bool>("v1");
        QTest::addColumn<int>("change");    // 0 none, 1 a 27th/16th field, 2 the last field dropped
        QTest::addColumn<QString>("patch"); // "position:name" written over a field name in the header
        QTest::addColumn<bool>("isV1");
        QTest::addColumn<bool>("isV2");
        QTest::newRow("2.X") << false << 0 << "" << false << true;
        QTest::newRow("2.X, first field any name") << false << 0 << "0:wHaTeVeR" << false << true;
        QTest::newRow("2.X, names in lower case") << false << 0 << "1:title" << false << true;
        QTest::newRow("2.X, eleven characters") << false << 0 << "19:CHECKPERSON" << false << true;
        QTest::newRow("2.X, tenth character differs") << false << 0 << "9:DESCRIPTIX" << false << false;
        QTest::newRow("2.X, a 27th field") << false << 1 << "" << false << false;
        QTest::newRow("2.X, 25 fields") << false << 2 << "" << false << false;
        QTest::newRow("1.X") << true << 0 << "" << true << false;
        QTest::newRow("1.X, a 16th field") << true << 1 << "" << false << false;
        QTest::newRow("1.X, PURCHDATE for PURCHDAY") << true << 0 << "12:PURCHDATE" << false << false;
    }
    void recognition()
    {
        QFETCH(bool, v1);
        QFETCH(int, change);
        QFETCH(QString, patch);
        QFETCH(bool, isV1);
        QFETCH(bool, isV2);
        TempDir dir;
        std::vector<dbase::FieldSpec> fields = oldBookFields(v1);
        if (change == 1)
            fields.push_back({"EXTRA", dbase::FieldSpec::Kind::Character, 5});
        if (change == 2)
            fields.pop_back();
        dbase::Table::create(dir.path("OLD.DBF"), fields);
        if (!patch.isEmpty()) {
            QByteArray name = patch.section(':', 1).toLatin1().leftJustified(11, '\0');
            patchFile(dir.path("OLD.DBF"), 32 + 32 * patch.section(':', 0, 0).toInt(), name);
        }
        db::BookTable table;
        platform::ScriptedDialogs dialogs;
        db::LegacyConversion conversion(table, dialogs);
        QCOMPARE(conversion.CheckDBaseFormatV1(QString::fromStdString(dir.path("OLD.DBF"))), isV1);
        QCOMPARE(conversion.CheckDBaseFormatV2(QString::fromStdString(dir.path("OLD.DBF"))), isV2);
    }

    void purchaseDate_data()
    {
        QTest::addColumn<QString>("day");
        QTest::addColumn<QString>("month");
        QTest::addColumn<QString>("year");
        QTest::addColumn<QString>("date"); // yyyy-mm-dd, "empty", or "none" when no date
        QTest::newRow("month by name") << "5"
                                       << "Mar"
                                       << "1994"
                                       << "1994-03-05";
        QTest::newRow("month in capitals") << "5"
                                           << "MAR"
                                           << "1994"
                                           << "none";
        QTest::newRow("month by number") << "5"
                                         << "3"
                                         << "1994"
                                         << "1994-03-05";
        QTest::newRow("two-digit year") << "5"
                                        << "Mar"
                                        << "94"
                                        << "1994-03-05";
        QTest::newRow("two-digit year 45") << "1"
                                           << "12"
                                           << "45"
                                           << "1945-12-01";
        QTest::newRow("four characters of each") << "05xx"
                                                 << "Mar"
                                                 << "19945"
                                                 << "none";
        QTest::newRow("year cut to four") << "05"
                                          << "Mar "
                                          << "19945"
                                          << "1994-03-05";
        QTest::newRow("all empty") << ""
                                   << ""
                                   << ""
                                   << "empty";
        QTest::newRow("day empty") << ""
                                   << "Mar"
                                   << "1994"
                                   << "none";
        QTest::newRow("year empty") << "5"
                                    << "Mar"
                                    << ""
                                    << "none";
        QTest::newRow("no such day") << "31"
                                     << "Apr"
                                     << "1994"
                                     << "none";
        QTest::newRow("leap day") << "29"
                                  << "Feb"
                                  << "96"
                                  << "1996-02-29";
        QTest::newRow("no leap day") << "29"
                                     << "Feb"
                                     << "1900"
                                     << "none";
    }
    void purchaseDate()
    {
        QFETCH(QString, day);
        QFETCH(QString, month);
        QFETCH(QString, year);
        QFETCH(QString, date);
        auto got = db::legacyPurchaseDate(day.toStdString(), month.toStdString(), year.toStdString());
        QString text = !got            ? "none"
                       : got->isNull() ? "empty"
                                       : QString::asprintf("%04d-%02d-%02d", got->year, got->month, got->day);
        QCOMPARE(text, date);
    }

    void pages_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qlonglong>("pages");
        QTest::newRow("thousands comma") << "1,024" << 1024LL;
        QTest::newRow("empty") << "" << 0LL;
        QTest::newRow("words first") << "ca. 300" << 0LL;
        QTest::newRow("words after") << "300 pp" << 300LL;
        QTest::newRow("blanks") << "  12  " << 12LL;
        QTest::newRow("saturates") << "99,999,999,999" << qlonglong(INT_MAX);
    }
    void pages()
    {
        QFETCH(QString, text);
        QFETCH(qlonglong, pages);
        QCOMPARE(db::legacyPages(text.toStdString()), pages);
    }

    // 2.X values arrive by value: a 1925 date stays 1925 whatever date format the user has.
    void converts2X()
    {
        Start start;
        const std::string old = start.oldFile(false, "b2log.dbf");
        addRecord(old, {{"TITLE", "Old"},
                        {"PURCHDATE", "19250704"},
                        {"PAGES", "1,024"},
                        {"CHECKPERSO", "Ann"},
                        {"COST", "12.5"},
                        {"CHECKDATE", ""}});
        addRecord(old, {{"TITLE", "Older"}, {"PAGES", ""}});
        patchFile(start.dir.path("b2log.mdx"), 0, "an old index stays");
        start.dialogs.expectQuestion("(2.X) has been detected", Button::Yes);

        QCOMPARE(start.startUp(), 2u);
        QCOMPARE(start.table.rowCount(), 4);
        QCOMPARE(columnOf(start.books, "TITLE"), QStringList({"x", "y", "Old", "Older"}));
        QCOMPARE(columnOf(start.books, "PURCHDATE").at(2), "19250704");
        QCOMPARE(columnOf(start.books, "PAGES").mid(2), QStringList({"1024", "0"}));
        QCOMPARE(columnOf(start.books, "CHECKNAME").at(2), "Ann");
        QCOMPARE(columnOf(start.books, "COST").at(2), "12.5000");
        QVERIFY(!std::filesystem::exists(old));
        QVERIFY(std::filesystem::exists(start.dir.path("b2log.mdx")));
        QVERIFY(start.dialogs.problems().isEmpty());
    }

    // 1.X dates: built from their three parts, 19yy, an all-empty date empty.
    void converts1X()
    {
        Start start;
        const std::string old = start.oldFile(true);
        addRecord(old, {{"TITLE", "A"}, {"PURCHDAY", "5"}, {"PURCHMONTH", "Mar"}, {"PURCHYEAR", "94"}});
        addRecord(old, {{"TITLE", "B"}});
        start.dialogs.expectQuestion("(1.X) has been detected", Button::Yes);
        QCOMPARE(start.startUp(), 2u);
        QCOMPARE(columnOf(start.books, "PURCHDATE").mid(2), QStringList({"19940305", ""}));
        QVERIFY(!std::filesystem::exists(old));
    }

    // One record the book table cannot take: nothing is added and the old file stays.
    void badRecordConvertsNothing()
    {
        Start start;
        // Kinds are not compared: this file kept its dates as text, one of them no date.
        std::vector<dbase::FieldSpec> fields = oldBookFields(false);
        fields[12] = {"PURCHDATE", dbase::FieldSpec::Kind::Character, 10};
        const std::string old = start.dir.path("B2LOG.DBF");
        dbase::Table::create(old, fields);
        addRecord(old, {{"TITLE", "good"}, {"PURCHDATE", "19990228"}});
        addRecord(old, {{"TITLE", "bad"}, {"PURCHDATE", "7/4/25"}});
        start.dialogs.expectQuestion("(2.X)", Button::Yes);
        QCOMPARE(start.startUp(), 0u);
        QCOMPARE(columnOf(start.books, "TITLE"), QStringList({"x", "y"}));
        QCOMPARE(start.table.rowCount(), 2);
        QVERIFY(std::filesystem::exists(old));
        const QStringList errors = messagesOf(start.dialogs, "Error");
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains("record 2"), qPrintable(errors[0]));
    }

    // 1.X dates that are no dates: the user chooses between empty dates and no conversion.
    void badDatesOffered_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("leave them empty") << true;
        QTest::newRow("convert nothing") << false;
    }
    void badDatesOffered()
    {
        QFETCH(bool, accept);
        Start start;
        const std::string old = start.oldFile(true);
        addRecord(old, {{"TITLE", "A"}, {"PURCHDAY", "5"}, {"PURCHMONTH", "MAR"}, {"PURCHYEAR", "1994"}});
        addRecord(old, {{"TITLE", "B"}, {"PURCHDAY", "6"}, {"PURCHMONTH", "Apr"}, {"PURCHYEAR", "1994"}});
        start.dialogs.expectQuestion("(1.X)", Button::Yes);
        start.dialogs.expectQuestion("1 of the books in \"BLOG.DBF\"", accept ? Button::Yes : Button::No);
        QCOMPARE(start.startUp(), accept ? 2u : 0u);
        QCOMPARE(columnOf(start.books, "PURCHDATE").mid(2),
                 accept ? QStringList({"", "19940406"}) : QStringList());
        QCOMPARE(std::filesystem::exists(old), !accept);
    }

    // Both versions in one start, 2.X first; No keeps the file for the next start.
    void bothVersionsInOneStart()
    {
        Start start;
        addRecord(start.oldFile(false), {{"TITLE", "two"}});
        const std::string v1 = start.oldFile(true);
        addRecord(v1, {{"TITLE", "one"}});
        start.dialogs.expectQuestion("(2.X)", Button::Yes);
        start.dialogs.expectQuestion("(1.X)", Button::No);
        QCOMPARE(start.startUp(), 1u);
        QCOMPARE(columnOf(start.books, "TITLE"), QStringList({"x", "y", "two"}));
        QVERIFY(std::filesystem::exists(v1));
    }

    // Nothing is offered in browse mode, and a file of neither version is passed over silently.
    void notOffered_data()
    {
        QTest::addColumn<bool>("browse");
        QTest::addColumn<bool>("asV1");
        QTest::newRow("browse mode") << true << false;
        QTest::newRow("1.X file named B2LOG") << false << true;
    }
    void notOffered()
    {
        QFETCH(bool, browse);
        QFETCH(bool, asV1);
        Start start;
        addRecord(start.oldFile(asV1, "B2LOG.DBF"), {{"TITLE", "two"}});
        QCOMPARE(start.startUp(dbase::defaultFileSystem(), browse), 0u);
        QVERIFY(start.dialogs.transcript().empty());
    }

    // An old file held by another program is reported, and the start goes on without it.
    void heldOldFileReported()
    {
        Start start;
        const std::string old = start.oldFile(false);
        addRecord(old, {{"TITLE", "two"}});
        HeldTable held(old, "exclusive");
        QCOMPARE(start.startUp(), 0u);
        const QStringList errors = messagesOf(start.dialogs, "Error");
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains("B2LOG.DBF"), qPrintable(errors[0]));
        QVERIFY(std::filesystem::exists(old));
    }

    // A disk that fills half-way through the writing: the books added so far are taken back.
    void fullDiskLeavesNoHalfConversion()
    {
        TempDir dir;
        const std::string books = dir.path("MASTER.DBF");
        makeBooks(books, {"x", "y"});
        addTag(books, "NewIndex", "TITLE");
        FillingFileSystem fs;
        db::BookTable table(fs);
        table.adopt(dbase::Table::open(books, dbase::Access::Shared, fs));
        table.setOrder("NewIndex");
        const std::string old = dir.path("B2LOG.DBF");
        dbase::Table::create(old, oldBookFields(false));
        for (int i = 0; i < 40; ++i)
            addRecord(old, {{"TITLE", "old " + std::to_string(i)}});
        fs.room = 3 * 1024; // about five books
        platform::ScriptedDialogs dialogs;
        dialogs.expectQuestion("(2.X)", Button::Yes);
        db::LegacyConversion conversion(table, dialogs, fs);
        QCOMPARE(conversion.CheckForConversion(QString::fromStdString(dir.dir()), false), 0u);
        QCOMPARE(messagesOf(dialogs, "Error").size(), 1);
        QVERIFY2(messagesOf(dialogs, "Error")[0].contains("No space left"),
                 qPrintable(messagesOf(dialogs, "Error")[0]));
        QCOMPARE(table.rowCount(), 2);
        auto check = dbase::Table::open(books);
        QCOMPARE(check->recordCount(), 2u);
        QCOMPARE(check->physicalCount(), 2u); // the added books are gone from the file
        QVERIFY(std::filesystem::exists(old));
    }

    // A delete that fails is said once, with what the user must do.
    void failedDeleteSaid()
    {
        Start start;
        const std::string old = start.oldFile(false);
        addRecord(old, {{"TITLE", "two"}});
        NoDeleteFileSystem fs;
        start.dialogs.expectQuestion("(2.X)", Button::Yes);
        QCOMPARE(start.startUp(fs), 1u);
        const QStringList errors = messagesOf(start.dialogs, "Error");
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains("converted again"), qPrintable(errors[0]));
    }
};

REGISTER_TEST(TestConversion)
#include "tst_conversion.moc"
