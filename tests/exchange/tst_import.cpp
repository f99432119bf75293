#include "ExchangeTestSupport.h"
#include "FaultyFileSystem.h"
#include "TestRegistry.h"
#include "db/BookImport.h"
#include "db/BookSchema.h"
#include "exchange/DelimitedImportSource.h"
#include "exchange/ImportFieldMap.h"
#include "exchange/Importer.h"
#include "exchange/SameFile.h"
#include "platform/ScriptedDialogs.h"

#include <QTest>
#include <filesystem>

using db::ImportOutcome;
using platform::Button;

Q_DECLARE_METATYPE(db::ImportOutcome)

namespace {

int field(const char* name)
{
    return db::bookFieldIndex(name);
}

// Moves import field `importField` row by row to the row of book field `name`, as the Up and Down buttons do.
void moveTo(exchange::ImportFieldMap& map, int importField, const char* name)
{
    int row = 0;
    while (map.row(row).importField != importField)
        ++row;
    for (; row < field(name); ++row)
        map.moveDown(row);
    for (; row > field(name); --row)
        map.moveUp(row);
}

// Title, PurchDate and a third column (YearPub or Cost) where the book record has them.
void placeThree(exchange::ImportFieldMap& map, const char* third)
{
    moveTo(map, 1, "PURCHDATE");
    moveTo(map, 2, third);
}

} // namespace

class TestImport : public QObject {
    Q_OBJECT

    std::unique_ptr<settings::DateFormat> m_dates = formatOne();

    // Imports `text` (first line: the names) into a fresh book table with the
    // rows arranged by `arrange`, answering `answer` to a question when given.
    struct Run {
        long long imported = 0;
        QStringList rows;
        std::vector<platform::ScriptedDialogs::Message> messages;
    };
    Run importText(const QByteArray& text, const std::function<void(exchange::ImportFieldMap&)>& arrange = {},
                   const QString& question = {}, Button answer = Button::No)
    {
        TempDir dir;
        const std::string books = dir.path("BOOKS.DBF");
        makeBooks(books, {"kept"});
        writeFile(dir.path("IN.TXT"), text);
        auto table = openBooks(books);
        exchange::FileByteSource bytes(dir.path("IN.TXT"));
        exchange::DelimitedHeader header = exchange::readDelimitedHeader(bytes);
        exchange::ImportFieldMap map(header.names);
        if (arrange)
            arrange(map);
        exchange::DelimitedImportSource source(bytes, static_cast<int>(header.names.size()), true);
        platform::ScriptedDialogs dialogs;
        if (!question.isEmpty())
            dialogs.expectQuestion(question, answer);
        exchange::Importer importer({*table, dialogs, *m_dates, m_dates->separator(), 2026}, header.names,
                                    QStringLiteral("line"));
        Run run;
        run.imported = importer.run(source, map.map());
        run.messages = dialogs.transcript();
        table.reset();
        run.rows = tableTexts(books);
        return run;
    }

private slots:
    // Text into each kind of book field, by the rules of that kind.
    void convert_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<ImportOutcome>("outcome");
        QTest::addColumn<QString>("stored");
        QTest::newRow("whole") << field("YEARPUB") << " 1965" << ImportOutcome::Stored << "1965";
        QTest::newRow("whole, partly read") << field("PAGES") << "-12 pages" << ImportOutcome::Loose << "-12";
        QTest::newRow("whole, no digits") << field("PAGES") << "many" << ImportOutcome::Loose << "0";
        QTest::newRow("whole, too wide") << field("PAGES") << "123456789012" << ImportOutcome::TooWide << "";
        QTest::newRow("amount") << field("COST") << "1234.50" << ImportOutcome::Stored << "1234.5000";
        QTest::newRow("amount with grouping")
            << field("COST") << "1,234.50" << ImportOutcome::Loose << "1.0000";
        QTest::newRow("amount inf") << field("VALUE") << "inf" << ImportOutcome::Loose << "0.0000";
        QTest::newRow("amount nan") << field("VALUE") << "nan" << ImportOutcome::Loose << "0.0000";
        QTest::newRow("blank amount") << field("VALUE") << "   " << ImportOutcome::Stored << "";
        QTest::newRow("two-digit year in the past")
            << field("PURCHDATE") << "7/4/45" << ImportOutcome::Stored << "19450704";
        QTest::newRow("two-digit year this year")
            << field("PURCHDATE") << "7/4/26" << ImportOutcome::Stored << "20260704";
        QTest::newRow("four-digit year")
            << field("PURCHDATE") << "7/4/1925" << ImportOutcome::Stored << "19250704";
        QTest::newRow("other separator") << field("PURCHDATE") << "7-4-45" << ImportOutcome::Loose << "";
        QTest::newRow("month name") << field("CHECKDATE") << "July/4/45" << ImportOutcome::Loose << "";
        QTest::newRow("no such day") << field("CHECKDATE") << "2/30/99" << ImportOutcome::BadDate << "";
        QTest::newRow("euro") << field("TITLE") << QString::fromUtf8("Price 5 €") << ImportOutcome::Stored
                              << QString::fromUtf8("Price 5 €");
        QTest::newRow("no Windows-1252 byte")
            << field("TITLE") << QString::fromUtf8("Star ★") << ImportOutcome::Unencodable << "";
    }
    void convert()
    {
        QFETCH(int, field);
        QFETCH(QString, text);
        QFETCH(ImportOutcome, outcome);
        QFETCH(QString, stored);
        TempDir dir;
        makeBooks(dir.path("B.DBF"), {});
        auto table = dbase::Table::open(dir.path("B.DBF"));
        db::ImportConverter converter(*table, *m_dates, u'/', 2026);
        db::ImportConverter::Value value;
        QCOMPARE(converter.convert(field, {db::ImportValue::Kind::Text, text.toStdString(), {}}, value),
                 outcome);
        table->append();
        if (outcome == ImportOutcome::Stored || outcome == ImportOutcome::Loose)
            converter.store(*table, field, value);
        QCOMPARE(QString::fromStdString(table->text(field)), stored);
    }

    // Fields of equal names each go to the row the user put them in.
    void duplicateNamesMapByRow()
    {
        Run run = importText("\"\",\"\",\"Title\"\r\n\"first blank\",\"second blank\",\"T\"\r\n",
                             [](exchange::ImportFieldMap& map) {
                                 // Title up to row 1, the second blank field down to Publisher.
                                 moveTo(map, 2, "TITLE");
                                 moveTo(map, 1, "PUBLISHER");
                                 QCOMPARE(map.nameAt(0), QStringLiteral("Title"));
                             });
        QCOMPARE(run.imported, 1);
        const QStringList fields = run.rows.value(1).split(u'|');
        QCOMPARE(fields.value(field("TITLE")), QStringLiteral("T"));
        QCOMPARE(fields.value(field("AUTHOR")), QStringLiteral("first blank"));
        QCOMPARE(fields.value(field("PUBLISHER")), QStringLiteral("second blank"));
        QCOMPARE(fields.value(field("YEARPUB")), QString());
    }

    // Rows below the 36th and rows set to "No" are not imported.
    void mapRows()
    {
        QStringList names;
        for (int i = 0; i < 40; ++i)
            names << QStringLiteral("F%1").arg(i);
        exchange::ImportFieldMap map(names);
        QCOMPARE(map.rowCount(), 40);
        map.toggleUse(3);
        QVERIFY(map.moveDown(35)); // F35 to row 37, F36 up into row 36
        QVERIFY(!map.moveDown(39));
        QVERIFY(!map.moveUp(0));
        db::ImportMap expected(40, -1);
        for (int i = 0; i < 35; ++i)
            expected[static_cast<std::size_t>(i)] = i;
        expected[3] = -1;
        expected[36] = 35;
        QCOMPARE(map.map(), expected);
    }

    // A value that does not read stops everything before the first write; the
    // question names the line, the field and the text.
    void failedCheckImportsNothing_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("error");
        const QByteArray head = "\"Title\",\"PurchDate\",\"YearPub\"\r\n\"a\",\"1/2/99\",\"1999\"\r\n";
        QTest::newRow("bad date declined")
            << head + "\"b\",\"2/30/99\",\"1\"\r\n"
            << "Line 3, field \"PurchDate\": \"2/30/99\" is not a valid date. 1 "
            << "";
        QTest::newRow("number too wide declined") << head + "\"b\",\"\",\"123456789012\"\r\n"
                                                  << "Line 3, field \"YearPub\""
                                                  << "";
        QTest::newRow("character refused") << head + "\"\xE2\x98\x85\",\"\",\"1\"\r\n"
                                           << ""
                                           << "Line 3, field \"Title\"";
    }
    void failedCheckImportsNothing()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, question);
        QFETCH(QString, error);
        Run run = importText(
            text, [](exchange::ImportFieldMap& map) { placeThree(map, "YEARPUB"); }, question, Button::No);
        QCOMPARE(run.imported, -1);
        QCOMPARE(run.rows.size(), 1);
        if (!error.isEmpty()) {
            QCOMPARE(run.messages.size(), std::size_t(1));
            QCOMPARE(run.messages[0].caption, QStringLiteral("Error"));
            QVERIFY2(run.messages[0].text.startsWith(error), qPrintable(run.messages[0].text));
        }
    }

    // Going on after the question imports every record, the bad values empty,
    // and says how many values were left empty.
    void problemsAccepted()
    {
        Run run = importText(
            "\"Title\",\"PurchDate\",\"Cost\"\r\n\"a\",\"2/30/99\",\"1,234.50\"\r\n\r\n"
            "\"b\",\"7/4/45\",\"2\"\r\n",
            [](exchange::ImportFieldMap& map) { placeThree(map, "COST"); },
            QStringLiteral("is not a valid date"), Button::Yes);
        QCOMPARE(run.imported, 2);
        QCOMPARE(run.rows.size(), 3);
        QCOMPARE(run.rows[1].split(u'|').value(field("PURCHDATE")), QString());
        QCOMPARE(run.rows[1].split(u'|').value(field("COST")), QStringLiteral("1.0000"));
        QCOMPARE(run.rows[2].split(u'|').value(field("PURCHDATE")), QStringLiteral("19450704"));
        QCOMPARE(run.messages.back().caption, QStringLiteral("Ok"));
        QCOMPARE(run.messages.back().text,
                 QStringLiteral(
                     "Import Complete. 2 value(s) were left empty or only partly read, such as dates in "
                     "another form or numbers with thousands separators."));
    }

    // Dates and numbers from a dBase source move by value: a 1925 date stays
    // 1925 under the two-digit format 1, and the source's count taken at the
    // start bounds the walk.
    void dbaseSource()
    {
        TempDir dir;
        const std::string from = dir.path("books.2024.dbf");
        dbase::Table::create(from, {{"when", dbase::FieldSpec::Kind::Date, 0},
                                    {"price", dbase::FieldSpec::Kind::Floating, 0},
                                    {"name", dbase::FieldSpec::Kind::Character, 30}});
        {
            auto source = dbase::Table::open(from, dbase::Access::Exclusive);
            source->append();
            source->setDate(0, {1925, 7, 4});
            source->setFloating(1, 1234.5);
            source->setText(2, "Gatsby");
            source->post();
        }
        db::DbfImportSource source(from);
        QCOMPARE(source.fieldNames(), (std::vector<std::string>{"WHEN", "PRICE", "NAME"}));
        {
            auto more = dbase::Table::open(from);
            more->append();
            more->setText(2, "added after the start");
            more->post();
        }
        makeBooks(dir.path("B.DBF"), {});
        auto target = dbase::Table::open(dir.path("B.DBF"));
        db::ImportConverter converter(*target, *m_dates, u'/', 2026);
        db::ImportResult result =
            db::writeImport(*target, source, {field("PURCHDATE"), field("COST"), field("TITLE")}, converter);
        QCOMPARE(result.records, 1);
        QCOMPARE(result.loose, 0);
        target->first();
        QCOMPARE(target->date(field("PURCHDATE")), (dbase::Date{1925, 7, 4}));
        QCOMPARE(target->text(field("COST")), std::string("1234.5000"));
        QCOMPARE(target->text(field("TITLE")), std::string("Gatsby"));
    }

    // A source of more than 46 fields gives its first 46 and says how many it dropped.
    void dbaseSourceFieldLimit()
    {
        TempDir dir;
        std::vector<dbase::FieldSpec> specs;
        for (int i = 0; i < 50; ++i)
            specs.push_back({"F" + std::to_string(i), dbase::FieldSpec::Kind::Character, 2});
        dbase::Table::create(dir.path("WIDE.DBF"), specs);
        db::DbfImportSource source(dir.path("WIDE.DBF"));
        QCOMPARE(source.fieldCount(), 46);
        QCOMPARE(source.droppedFields(), 4);
    }

    // The current database and the program's files are recognised by any path
    // that reaches them; other files are not, even of a name that differs in case only.
    void sameFileByIdentity()
    {
        TempDir dir;
        const QString base = QString::fromStdString(dir.dir());
        makeBooks(dir.path("MASTER.DBF"), {});
        makeBooks(dir.path("master.dbf"), {});
        writeFile(dir.path("AUTHOR.LST"), "x");
        QDir(base).mkdir(QStringLiteral("sub"));
        std::filesystem::create_symlink(dir.path("MASTER.DBF"), dir.path("link.dbf"));
        const QStringList owned = QStringList{base + "/MASTER.DBF"} + exchange::programFilesIn(base);
        QCOMPARE(exchange::ownedFileReached(base + "/sub/../MASTER.DBF", owned), base + "/MASTER.DBF");
        QCOMPARE(exchange::ownedFileReached(base + "/./link.dbf", owned), base + "/MASTER.DBF");
        QCOMPARE(exchange::ownedFileReached(base + "/sub/../AUTHOR.LST", owned), base + "/AUTHOR.LST");
        QCOMPARE(exchange::ownedFileReached(base + "/master.dbf", owned), QString());
        QCOMPARE(exchange::ownedFileReached(base + "/NEW.TXT", owned), QString());
    }

    // A write that fails half-way (an I/O error) takes back the records already
    // appended: the table shows what it held before.
    void failedWriteLeavesNothing()
    {
        TempDir dir;
        makeBooks(dir.path("B.DBF"), {"kept"});
        addTag(dir.path("B.DBF"), "NewIndex", "UPPER(TITLE)");
        QByteArray text;
        for (int i = 0; i < 200; ++i)
            text += "\"book " + QByteArray::number(i) + "\",\"author\"\r\n";
        exchange::MemoryByteSource bytes(std::string_view(text.constData(), text.size()));
        exchange::DelimitedImportSource source(bytes, 2, false);
        FailingFileSystem fs;
        auto target = dbase::Table::open(dir.path("B.DBF"), dbase::Access::Shared, fs);
        target->setOrder("NewIndex");
        db::ImportConverter converter(*target, *m_dates, u'/', 2026);
        fs.budget = 30000;
        fs.failOnce = true;
        QVERIFY_THROWS_EXCEPTION(dbase::IoError, db::writeImport(*target, source, {0, 1}, converter));
        QCOMPARE(target->recordCount(), 1u);
        target.reset();
        auto check = dbase::Table::openIgnoringIndex(dir.path("B.DBF"), dbase::Access::Exclusive);
        check->regenerateIndexes();
        check->setOrder("NewIndex");
        QCOMPARE(check->recordCount(), 1u);
    }

    // A disk that stays full refuses every write after the failure too: the
    // records are still taken back, and the table and its index are as before.
    void fullDiskLeavesTheTableAsItWas()
    {
        TempDir dir;
        const std::string path = dir.path("B.DBF");
        makeBooks(path, {"kept"});
        addTag(path, "NewIndex", "UPPER(TITLE)");
        const QByteArray before = fileBytes(path);
        QByteArray text;
        for (int i = 0; i < 2000; ++i)
            text += "\"book " + QByteArray::number(i) + "\",\"author\"\r\n";
        exchange::MemoryByteSource bytes(std::string_view(text.constData(), text.size()));
        exchange::DelimitedImportSource source(bytes, 2, false);
        FullDisk disk(40000);
        auto target = dbase::Table::open(path, dbase::Access::Shared, disk);
        target->setOrder("NewIndex");
        const std::string order = target->order();
        db::ImportConverter converter(*target, *m_dates, u'/', 2026);
        QVERIFY_THROWS_EXCEPTION(dbase::IoError, db::writeImport(*target, source, {0, 1}, converter));
        const QByteArray after =
            fileBytes(path); // the header's change counter moved on, so others look again
        QCOMPARE(after.size(), before.size());
        QCOMPARE(after.mid(4, 4), before.mid(4, 4));
        QCOMPARE(after.mid(32), before.mid(32));
        QCOMPARE(target->order(), order);
        QCOMPARE(target->physicalCount(), 1u);
        auto other = dbase::Table::open(path, dbase::Access::Shared);
        other->setOrder("NewIndex");
        QCOMPARE(other->recordCount(), 1u);
    }
};

REGISTER_TEST(TestImport)
#include "tst_import.moc"
