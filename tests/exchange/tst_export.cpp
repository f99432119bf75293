#include "ExchangeTestSupport.h"
#include "TestRegistry.h"
#include "db/BookExport.h"
#include "db/BookSchema.h"
#include "exchange/DelimitedImportSource.h"
#include "exchange/ExportDates.h"
#include "exchange/ImportFieldMap.h"
#include "exchange/Importer.h"
#include "platform/ScriptedDialogs.h"

#include <QDir>
#include <QTest>

Q_DECLARE_METATYPE(db::ExportKind)

namespace {

using Kind = dbase::FieldSpec::Kind;

// A book table of `count` generated books that fills every field with the
// values exports get wrong: quotes, commas, leading blanks, accents, "€",
// a 1925 date, amounts with cents, blanks.
void makeVariedBooks(const std::string& path, int count)
{
    dbase::Table::create(path, db::bookFieldSpecs());
    auto table = dbase::Table::open(path, dbase::Access::Exclusive);
    const auto& fields = db::bookFields();
    const char* texts[] = {
        "The \"Big\" Book", "Birds, Volume 2", "  leading blanks", "Café Müller", "Price 5 €", "", "plain"};
    table->beginBatch();
    for (int i = 0; i < count; ++i) {
        table->append();
        for (int f = 0; f < db::kBookFieldCount; ++f) {
            const int pick = (i + f) % 7;
            switch (fields[static_cast<std::size_t>(f)].kind) {
            case Kind::Character:
                table->setText(f, QString::fromUtf8(texts[pick])
                                      .left(fields[static_cast<std::size_t>(f)].width)
                                      .toStdString());
                break;
            case Kind::Whole:
                if (pick != 5)
                    table->setWhole(f, 1900 + (i * 7 + f) % 126);
                break;
            case Kind::Floating:
                if (pick != 5)
                    table->setText(f,
                                   pick == 0 ? "1234.50" : std::to_string(i) + "." + std::to_string(f % 10));
                break;
            case Kind::Date:
                if (pick == 0)
                    table->setDate(f, {1925, 7, 4});
                else if (pick != 5)
                    table->setDate(f, {1990 + i % 30, 1 + i % 12, 1 + i % 28});
                break;
            default:
                break;
            }
        }
        table->post();
    }
    table->endBatch();
}

db::ExportOptions allFields(bool header, bool windows1252 = false)
{
    db::ExportOptions options;
    for (int f = 0; f < db::kBookFieldCount; ++f) {
        options.fields.push_back(f);
        if (header)
            options.labels.push_back(
                QString::fromUtf8(db::bookFields()[static_cast<std::size_t>(f)].name.data()));
    }
    options.windows1252 = windows1252;
    return options;
}

} // namespace

class TestExport : public QObject {
    Q_OBJECT

    std::unique_ptr<settings::DateFormat> m_dates = formatOne();
    exchange::ExportDates m_exportDates{m_dates->pattern(), *m_dates};

private slots:
    // Export then import gives every value back, under date format 1 whose
    // two-digit years would turn 1925 into 2025.
    void roundTrip_data()
    {
        QTest::addColumn<bool>("windows1252");
        QTest::newRow("UTF-8") << false;
        QTest::newRow("Windows-1252") << true;
    }
    void roundTrip()
    {
        QFETCH(bool, windows1252);
        TempDir dir;
        makeVariedBooks(dir.path("FROM.DBF"), 1000);
        auto from = openBooks(dir.path("FROM.DBF"));
        db::exportBooks(*from, false, db::ExportKind::Text, allFields(true, windows1252), m_exportDates,
                        dir.path("OUT.TXT"));

        makeBooks(dir.path("TO.DBF"), {});
        auto to = openBooks(dir.path("TO.DBF"));
        exchange::FileByteSource bytes(dir.path("OUT.TXT"));
        exchange::DelimitedHeader header = exchange::readDelimitedHeader(bytes);
        QCOMPARE(header.names.size(), db::kBookFieldCount);
        exchange::DelimitedImportSource source(bytes, db::kBookFieldCount, true);
        platform::ScriptedDialogs dialogs;
        exchange::Importer importer({*to, dialogs, *m_dates, m_dates->separator(), 2026}, header.names,
                                    QStringLiteral("line"));
        QCOMPARE(importer.run(source, exchange::ImportFieldMap(header.names).map()), 1000);
        QCOMPARE(dialogs.transcript().back().text, QStringLiteral("Import Complete."));
        from.reset();
        to.reset();
        const QStringList before = tableTexts(dir.path("FROM.DBF"));
        const QStringList after = tableTexts(dir.path("TO.DBF"));
        QCOMPARE(after.size(), before.size());
        for (int i = 0; i < before.size(); ++i)
            QCOMPARE(after[i], before[i]);
    }

    // The text as written: BOM, quotes doubled, CR LF, numbers and dates the import reads back.
    void textLayout()
    {
        TempDir dir;
        makeBooks(dir.path("B.DBF"), {"Say \"hi\"\tnow"});
        {
            auto table = dbase::Table::open(dir.path("B.DBF"));
            table->first();
            table->edit();
            table->setText(db::bookFieldIndex("COST"), "1234.5");
            table->setWhole(db::bookFieldIndex("PAGES"), 1024);
            table->setDate(db::bookFieldIndex("PURCHDATE"), {1925, 7, 4});
            table->post();
        }
        auto books = openBooks(dir.path("B.DBF"));
        db::ExportOptions options;
        options.fields = {0, db::bookFieldIndex("COST"), db::bookFieldIndex("PAGES"),
                          db::bookFieldIndex("PURCHDATE")};
        options.labels = {"Title", "Cost", "Pages", "Purchase Date"};
        db::exportBooks(*books, false, db::ExportKind::Text, options, m_exportDates, dir.path("OUT.TXT"));
        QCOMPARE(fileBytes(dir.path("OUT.TXT")),
                 QByteArray("\xEF\xBB\xBF\"Title\",\"Cost\",\"Pages\",\"Purchase Date\"\r\n"
                            "\"Say \"\"hi\"\" now\",\"1234.5000\",\"1024\",\"7/4/1925\"\r\n"));
    }

    // A written field never passes 255 characters and never splits a doubled quote.
    void fieldCap()
    {
        QCOMPARE(db::quotedValue(std::string(300, 'x'), 255).size(), std::size_t(255));
        QCOMPARE(db::quotedValue("ab\"cd", 5), std::string("\"ab\""));
        QCOMPARE(db::quotedValue("a\"bc", 5), std::string("\"a\"\"\""));
        QCOMPARE(db::quotedValue("é€x", 4), std::string("\"é€\""));
    }

    // With a search on, the search export writes the grid's rows in order and the
    // entire export every record; the search stays on either way.
    void searchExport()
    {
        TempDir dir;
        makeBooks(dir.path("B.DBF"), {"d", "a", "c", "b", "e", "f"});
        addTag(dir.path("B.DBF"), "NewIndex", "UPPER(TITLE)");
        auto books = std::make_unique<db::BookTable>();
        auto table = dbase::Table::open(dir.path("B.DBF"));
        table->setOrder("NewIndex");
        books->adopt(std::move(table), [](const dbase::RecordView& r) { return r.text(1) != "A1"; });
        books->gotoRow(2);
        const std::uint32_t current = books->recnoAt(2);
        db::ExportOptions options;
        options.fields = {0};
        db::exportBooks(*books, true, db::ExportKind::Text, options, m_exportDates, dir.path("S.TXT"));
        QCOMPARE(fileBytes(dir.path("S.TXT")),
                 QByteArray("\xEF\xBB\xBF\"b\"\r\n\"c\"\r\n\"d\"\r\n\"f\"\r\n"));
        QStringList walked;
        for (int row = 0; row < books->rowCount(); ++row)
            books->readRows(row, 1,
                            [&](int, const dbase::Table& t) { walked << QString::fromStdString(t.text(0)); });
        QCOMPARE(walked, (QStringList{"b", "c", "d", "f"}));
        db::exportBooks(*books, false, db::ExportKind::Text, options, m_exportDates, dir.path("E.TXT"));
        QCOMPARE(fileBytes(dir.path("E.TXT")),
                 QByteArray("\xEF\xBB\xBF\"a\"\r\n\"b\"\r\n\"c\"\r\n\"d\"\r\n\"e\"\r\n\"f\"\r\n"));
        QVERIFY(books->hasFilter());
        QCOMPARE(books->rowCount(), 4);
        QCOMPARE(books->currentRow(), 2);
        QCOMPARE(books->table().recno(), current);
    }

    // A failure half-way (disk full) keeps the old file whole, leaves no
    // temporary file, and the search and the current record as they were.
    void writeFailure_data()
    {
        QTest::addColumn<db::ExportKind>("kind");
        QTest::addColumn<std::int64_t>("budget");
        QTest::newRow("text, first block") << db::ExportKind::Text << std::int64_t(0);
        QTest::newRow("text, at the rename") << db::ExportKind::Text << std::int64_t(-2);
        QTest::newRow("dBase, half-way") << db::ExportKind::Dbase << std::int64_t(20000);
    }
    void writeFailure()
    {
        QFETCH(db::ExportKind, kind);
        QFETCH(std::int64_t, budget);
        TempDir dir;
        makeVariedBooks(dir.path("B.DBF"), 300);
        auto books = std::make_unique<db::BookTable>();
        books->adopt(dbase::Table::open(dir.path("B.DBF")),
                     [](const dbase::RecordView& r) { return r.text(0) != "plain"; });
        books->gotoRow(5);
        const int rows = books->rowCount();
        writeFile(dir.path("OLD.OUT"), "the old file");
        FailingFileSystem fs;
        fs.budget = budget;
        fs.failRename = budget == -2; // every byte written, then the rename fails
        QVERIFY_THROWS_EXCEPTION(dbase::IoError, db::exportBooks(*books, false, kind, allFields(true),
                                                                 m_exportDates, dir.path("OLD.OUT"), fs));
        QCOMPARE(fileBytes(dir.path("OLD.OUT")), QByteArray("the old file"));
        QCOMPARE(QDir(QString::fromStdString(dir.dir())).entryList(QDir::Files),
                 (QStringList{"B.DBF", "OLD.OUT"}));
        QVERIFY(books->hasFilter());
        QCOMPARE(books->rowCount(), rows);
        QCOMPARE(books->currentRow(), 5);
    }

    // The dBase target: the book fields' names, numbers and dates by value, no
    // index, and the index of the table it replaced gone.
    void dbaseTarget()
    {
        TempDir dir;
        makeVariedBooks(dir.path("B.DBF"), 10);
        makeBooks(dir.path("OUT.DBF"), {"old"});
        addTag(dir.path("OUT.DBF"), "OLD", "TITLE");
        QVERIFY(QFile::exists(QString::fromStdString(dir.path("OUT.MDX"))));
        auto books = openBooks(dir.path("B.DBF"));
        const std::vector<int> fields{db::bookFieldIndex("PURCHDATE"), db::bookFieldIndex("COST"), 0};
        db::ExportOptions options;
        options.fields = fields;
        db::exportBooks(*books, false, db::ExportKind::Dbase, options, m_exportDates, dir.path("OUT.DBF"));
        QVERIFY(!QFile::exists(QString::fromStdString(dir.path("OUT.MDX"))));
        auto out = dbase::Table::open(dir.path("OUT.DBF"), dbase::Access::ReadOnly);
        QCOMPARE(out->fields()[0].name, std::string("PURCHDATE"));
        QCOMPARE(out->fields()[1].decimals, dbase::kFloatingDecimals);
        QCOMPARE(out->recordCount(), 10u);
        out->first();
        out->next();
        QCOMPARE(out->text(1), std::string("1234.5000"));
        QCOMPARE(out->text(2), std::string("Birds, Volume 2"));
        out->next();
        out->next();
        QCOMPARE(out->date(0), (dbase::Date{1925, 7, 4}));
    }
};

REGISTER_TEST(TestExport)
#include "tst_export.moc"
