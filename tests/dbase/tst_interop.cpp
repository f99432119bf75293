// Tables we write, read back by an independent dBase reader (Debian's python3-dbfread).
#include "TableFixture.h"
#include "TempDir.h"
#include "TestRegistry.h"
#include "dbase/DatabaseError.h"

#include <algorithm>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace dbase;

class InteropTest : public QObject {
    Q_OBJECT

private slots:
    void dbfreadReadsWhatWeWrite()
    {
        if (!QFile::exists("/usr/bin/python3"))
            QSKIP("no /usr/bin/python3");
        QProcess probe;
        probe.start("/usr/bin/python3", {"-c", "import dbfread"});
        probe.waitForFinished();
        if (probe.exitCode() != 0)
            QSKIP("python3-dbfread is not installed");

        TempDir dir;
        Table::create(dir.path("INTEROP.DBF"), sampleFields());
        {
            auto table = Table::open(dir.path("INTEROP.DBF"));
            struct Row {
                const char *title, *author, *year, *cost, *date, *read;
            };
            const Row rows[] = {
                {"Jane Eyre", "Brontë, Charlotte", "1847", "12.5", "19960704", "T"},
                {"Cien años de soledad", "García Márquez", "1967", "-3.25", "", "F"},
                {"", "", "", "", "20000229", ""},
                {"Œuvres — complètes €", "Zoë", "-12", "99999.9999", "18500101", "T"},
            };
            for (const Row& r : rows) {
                table->append();
                table->setText(0, r.title);
                table->setText(1, r.author);
                table->setText(2, r.year);
                table->setText(3, r.cost);
                table->setText(4, r.date);
                table->setText(5, r.read);
                table->post();
            }
            table->last();
            table->prior();
            table->deleteRecord(); // dbfread skips deleted records too
        }

        const char* script = R"(
import dbfread, json, sys
t = dbfread.DBF(sys.argv[1], load=True)
def text(v):
    if v is None: return ""
    if isinstance(v, bool): return "T" if v else "F"
    if hasattr(v, "strftime"): return v.strftime("%Y%m%d")
    return str(v)
print(json.dumps({"encoding": t.encoding,
                  "fields": [[f.name, f.type, f.length, f.decimal_count] for f in t.fields],
                  "records": [[text(v) for v in r.values()] for r in t.records]}))
)";
        QProcess python;
        python.start("/usr/bin/python3", {"-c", script, QString::fromStdString(dir.path("INTEROP.DBF"))});
        QVERIFY(python.waitForFinished(30000));
        QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
        QJsonObject result = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
        QCOMPARE(result["encoding"].toString(), QString("cp1252"));
        QJsonArray fields = result["fields"].toArray();
        QCOMPARE(fields.size(), 6);
        QCOMPARE(fields[2].toArray()[1].toString(), QString("N"));
        QCOMPARE(fields[3].toArray()[3].toInt(), kFloatingDecimals);

        auto table = Table::open(dir.path("INTEROP.DBF"), Access::ReadOnly);
        QJsonArray records = result["records"].toArray();
        QCOMPARE(records.size(), int(table->recordCount()));
        int i = 0;
        for (table->first(); !table->eof(); table->next(), ++i) {
            QJsonArray theirs = records[i].toArray();
            for (int f = 0; f < 6; ++f) {
                QString ours = QString::fromStdString(table->text(f));
                QString other = theirs[f].toString();
                if (f == 2 || f == 3) // numbers: compare values, the readers format them differently
                    QCOMPARE(other.toDouble(), ours.toDouble());
                else
                    QCOMPARE(other, ours);
            }
        }
    }
};

REGISTER_TEST(InteropTest)

namespace {

std::string fileBytes(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = file.readAll();
    return std::string(all.constData(), std::size_t(all.size()));
}

void putFileBytes(const std::string& path, const std::string& bytes)
{
    QFile file(QString::fromStdString(path));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes.data(), qint64(bytes.size())), qint64(bytes.size()));
}

std::uint32_t le32At(const std::string& b, std::size_t offset)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | std::uint8_t(b[offset + std::size_t(i)]);
    return value;
}

void put32At(std::string& b, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        b[offset + std::size_t(i)] = char(value >> (8 * i));
}

// Byte offset of the tag table slot named `name` in an index file's bytes.
std::size_t slotOf(const std::string& mdx, const std::string& name)
{
    for (std::size_t slot = 544; slot + 32 <= 2048; slot += 32)
        if (mdx.compare(slot + 4, name.size() + 1, name.c_str(), name.size() + 1) == 0)
            return slot;
    return 0;
}

std::size_t tagHeaderOf(const std::string& mdx, const std::string& name)
{
    return std::size_t(le32At(mdx, slotOf(mdx, name))) * 512;
}

// Stores the equal keys of every leaf of a tag in descending record order,
// as another xBase engine writes them.
void reverseEqualKeysOf(std::string& b, const std::string& tag)
{
    const std::size_t header = tagHeaderOf(b, tag);
    const std::size_t keyLength = le32At(b, header + 12) & 0xFFFF, item = le32At(b, header + 18) & 0xFFFF;
    std::vector<std::uint32_t> pages{le32At(b, header)};
    while (!pages.empty()) {
        const std::size_t node = std::size_t(pages.back()) * 512;
        pages.pop_back();
        const std::uint32_t count = le32At(b, node);
        if (le32At(b, node + 8 + count * item) != 0) {
            for (std::uint32_t i = 0; i <= count; ++i)
                pages.push_back(le32At(b, node + 8 + i * item));
            continue;
        }
        for (std::uint32_t start = 0, end = 0; start < count; start = end) {
            for (end = start + 1; end < count && b.compare(node + 12 + end * item, keyLength, b,
                                                           node + 12 + start * item, keyLength) == 0;
                 ++end) {
            }
            std::vector<std::uint32_t> run;
            for (std::uint32_t i = start; i < end; ++i)
                run.push_back(le32At(b, node + 8 + i * item));
            std::sort(run.rbegin(), run.rend());
            for (std::uint32_t i = start; i < end; ++i)
                put32At(b, node + 8 + i * item, run[i - start]);
        }
    }
}

std::unique_ptr<Table> booksWithTag(const std::string& path, int count, const std::string& tag,
                                    const std::string& expression, const std::string& forExpression = {})
{
    Table::create(path, sampleFields());
    auto table = Table::open(path, Access::Exclusive);
    std::vector<std::string> titles;
    for (int i = 0; i < count; ++i)
        titles.push_back("Title " + std::to_string(1000 + (i * 7919) % count));
    table->beginBatch();
    appendBooks(*table, titles);
    table->endBatch();
    table->addTag(tag, expression, forExpression);
    return table;
}

} // namespace

// Index files as other xBase programs and dBase IV write them, made here as
// byte patches of tables this engine wrote.
class ForeignIndexTest : public QObject {
    Q_OBJECT

private slots:
    void tagNameWithUnderscoreSurvivesRebuild()
    {
        TempDir dir;
        booksWithTag(dir.path("U.DBF"), 50, "TITLE", "TITLE").reset();
        std::string mdx = fileBytes(dir.path("U.MDX"));
        const std::size_t slot = slotOf(mdx, "TITLE");
        QVERIFY(slot != 0);
        mdx.replace(slot + 4, 7, std::string("_TITLE\0", 7));
        putFileBytes(dir.path("U.MDX"), mdx);

        auto table = Table::open(dir.path("U.DBF"), Access::Exclusive);
        QCOMPARE(table->tags().at(0).name, std::string("_TITLE"));
        QVERIFY(table->regenerateIndexes().empty());
        QVERIFY(!QFile::exists(QString::fromStdString(dir.path("U.MDX.rebuild"))));
        table->setOrder("_TITLE");
        const std::vector<std::string> titles = walk(*table);
        QCOMPARE(titles.size(), std::size_t(50));
        QVERIFY(std::is_sorted(titles.begin(), titles.end()));
    }

    void logicalConstantsWrittenOut()
    {
        TempDir dir;
        booksWithTag(dir.path("L.DBF"), 20, "READ", "TITLE", "READ").reset();
        std::string mdx = fileBytes(dir.path("L.MDX"));
        const std::size_t header = tagHeaderOf(mdx, "READ");
        QCOMPARE(mdx.substr(header + 762, 5), std::string("READ\0", 5));
        const std::string condition = "READ .AND. .TRUE. .OR. .FALSE.";
        mdx.replace(header + 762, condition.size() + 1, condition + '\0');
        putFileBytes(dir.path("L.MDX"), mdx);

        auto table = Table::open(dir.path("L.DBF"));
        QVERIFY(table->tags().at(0).usable);
        appendBooks(*table, {"Read one"});
        table->edit();
        table->setText("READ", "T");
        table->post();
        appendBooks(*table, {"Unread one"});
        table->setOrder("READ");
        QCOMPARE(walk(*table), (std::vector<std::string>{"Read one"}));
    }

    void equalKeysInDescendingRecordOrder()
    {
        TempDir dir;
        booksWithTag(dir.path("D.DBF"), 600, "AUTHOR", "AUTHOR").reset();
        std::string mdx = fileBytes(dir.path("D.MDX"));
        const std::string ours = mdx;
        reverseEqualKeysOf(mdx, "AUTHOR");
        QVERIFY(mdx != ours);
        putFileBytes(dir.path("D.MDX"), mdx);

        auto table = Table::open(dir.path("D.DBF"));
        QVERIFY2(table->indexError().empty(), table->indexError().c_str());
        table->setOrder("AUTHOR");
        std::vector<std::string> authors;
        std::vector<std::uint32_t> seen;
        for (table->first(); !table->eof(); table->next()) {
            authors.push_back(table->text("AUTHOR"));
            seen.push_back(table->recno());
        }
        QCOMPARE(authors.size(), std::size_t(600));
        QVERIFY(std::is_sorted(authors.begin(), authors.end()));
        QVERIFY(seen[0] > seen[1]); // as stored: equal keys, higher record first
        for (std::uint32_t recno : {5u, 300u, 598u}) {
            QVERIFY(table->gotoBookmark(recno));
            table->edit();
            table->setText("AUTHOR", "B" + std::to_string(recno));
            table->post();
        }
        QVERIFY(table->gotoBookmark(7));
        table->deleteRecord();
        QVERIFY(table->seek("B"));
        QCOMPARE(table->text("AUTHOR"), std::string("B300"));
        table.reset();

        auto exclusive = Table::open(dir.path("D.DBF"), Access::Exclusive);
        exclusive->setOrder("AUTHOR");
        QCOMPARE(walk(*exclusive).size(), std::size_t(599));
        exclusive->regenerateIndexes(); // the same entries in our order
        QCOMPARE(walk(*exclusive).size(), std::size_t(599));
    }

    void tagWithLongerKeysLeavesTheOthersUsable()
    {
        TempDir dir;
        auto made = booksWithTag(dir.path("K.DBF"), 30, "TITLE", "TITLE");
        made->addTag("LONG", "TITLE+TITLE+TITLE+LEFT(AUTHOR, 10)"); // 100-byte keys
        made.reset();
        std::string mdx = fileBytes(dir.path("K.MDX"));
        const std::size_t header = tagHeaderOf(mdx, "LONG");
        QCOMPARE(le32At(mdx, header + 12), (9u << 16) | 100u); // 9 keys a block, 100 bytes
        mdx[header + 12] = char(101);
        mdx[header + 18] = char(108);
        putFileBytes(dir.path("K.MDX"), mdx);

        auto table = Table::open(dir.path("K.DBF"));
        QVERIFY2(table->indexError().empty(), table->indexError().c_str());
        const std::vector<TagInfo> tags = table->tags();
        QCOMPARE(tags.size(), std::size_t(2));
        QVERIFY(tags[0].usable);
        QVERIFY(!tags[1].usable);
        table->setOrder("TITLE");
        const std::vector<std::string> titles = walk(*table);
        QCOMPARE(titles.size(), std::size_t(30));
        QVERIFY(std::is_sorted(titles.begin(), titles.end()));
        table.reset();

        auto exclusive = Table::open(dir.path("K.DBF"), Access::Exclusive);
        QCOMPARE(exclusive->regenerateIndexes(), (std::vector<std::string>{"LONG"}));
        appendBooks(*exclusive, {"Added"});
        QCOMPARE(exclusive->tags().size(), std::size_t(1));
    }

    void indexOfAnotherTable()
    {
        TempDir dir;
        booksWithTag(dir.path("LOANS.DBF"), 10, "TITLE", "TITLE").reset();
        booksWithTag(dir.path("BOOKS.DBF"), 12, "TITLE", "TITLE").reset();
        const std::string copied = fileBytes(dir.path("LOANS.MDX"));
        putFileBytes(dir.path("BOOKS.MDX"), copied);

        try {
            Table::open(dir.path("BOOKS.DBF"));
            QFAIL("the index of another table was accepted");
        } catch (const DatabaseError& e) {
            QVERIFY2(QString(e.what()).contains("belongs to the table LOANS"), e.what());
        }
        auto physical = Table::openIgnoringIndex(dir.path("BOOKS.DBF"), Access::Shared);
        QVERIFY(QString::fromStdString(physical->indexError()).contains("damaged"));
        QCOMPARE(walk(*physical).size(), std::size_t(12));
        physical.reset();
        QCOMPARE(fileBytes(dir.path("BOOKS.MDX")), copied);
    }
};

REGISTER_TEST(ForeignIndexTest)

namespace {

// Walks one tag with Free Pascal's TDbf and prints the record numbers in its
// order; stops with exit code 3 past `limit` records (a reader going round).
const char* const kTdbfWalk = R"(program tdbfwalk;
{$mode objfpc}{$H+}
uses SysUtils, DB, dbf;
var
  table: TDbf;
  count, limit: Integer;
begin
  table := TDbf.Create(nil);
  try
    table.FilePathFull := ParamStr(1);
    table.TableName := ParamStr(2);
    table.ReadOnly := True;
    table.Open;
    table.IndexName := ParamStr(3);
    if table.IndexName <> ParamStr(3) then
    begin
      WriteLn(StdErr, 'TDbf sees no tag ', ParamStr(3));
      Halt(2);
    end;
    limit := StrToInt(ParamStr(4));
    count := 0;
    table.First;
    while not table.EOF do
    begin
      WriteLn(table.PhysicalRecNo);
      Inc(count);
      if count > limit then
        Halt(3);
      table.Next;
    end;
    table.Close;
  finally
    table.Free;
  end;
end.
)";

} // namespace

// Free Pascal's TDbf (Debian fp-units-db) walks the tags we write in our
// order. Date tags are left out: TDbf compares date keys as BCD numbers
// (its limits are listed in the README's engine section).
class TdbfReadBackTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString fpc = QStandardPaths::findExecutable("fpc");
        if (fpc.isEmpty())
            QSKIP("Free Pascal is not installed (apt-get install fpc fp-units-db): TDbf read-back not run");
        QFile source(m_tools.path() + "/tdbfwalk.pas");
        QVERIFY(source.open(QIODevice::WriteOnly));
        source.write(kTdbfWalk);
        source.close();
        QProcess compile;
        compile.setWorkingDirectory(m_tools.path());
        compile.start(fpc, {"-O1", "-otdbfwalk", "tdbfwalk.pas"});
        QVERIFY(compile.waitForFinished(120000));
        const QByteArray output = compile.readAllStandardOutput() + compile.readAllStandardError();
        if (output.contains("Can't find unit"))
            QSKIP("Free Pascal's database units are not installed (apt-get install fp-units-db): TDbf "
                  "read-back not run");
        QVERIFY2(compile.exitCode() == 0, output.constData());
        m_walker = m_tools.path() + "/tdbfwalk";
    }

    void tdbfWalksOurTags_data()
    {
        QTest::addColumn<bool>("grown");
        QTest::newRow("tags built at once") << false;
        QTest::newRow("tags grown by posts, edits and deletions") << true;
    }

    void tdbfWalksOurTags()
    {
        QFETCH(bool, grown);
        TempDir dir;
        // Lower case: TDbf looks for "books.mdx" unless the whole path is upper case.
        const std::string path = dir.path("books.dbf");
        Table::create(path, sampleFields());
        auto table = Table::open(path, Access::Exclusive);
        const std::vector<std::string> tags = {"TITLE", "TITLEDOWN", "YEARPUB", "COSTDOWN", "READTITLE"};
        auto addTags = [&] {
            table->addTag("TITLE", "TITLE");
            table->addTag("TITLEDOWN", "TITLE", {}, true);
            table->addTag("YEARPUB", "YEARPUB");
            table->addTag("COSTDOWN", "COST", {}, true);
            table->addTag("READTITLE", "TITLE", "READ");
        };
        if (grown)
            addTags();
        // Enough records for three levels of 30-byte keys, many of them equal.
        std::uint32_t random = 12345;
        auto next = [&random](std::uint32_t range) {
            random = random * 1103515245u + 12345u;
            return (random >> 8) % range;
        };
        table->beginBatch();
        for (int i = 0; i < 6000; ++i) {
            table->append();
            table->setText(0, "Title " + std::to_string(next(4000)));
            table->setWhole(2, 1800 + next(200));
            // No zero beside values below 0.1: TDbf's own comparison orders those wrongly.
            table->setFloating(3, 1 + next(100000) / 100.0);
            table->setText(5, next(2) ? "T" : "F");
            table->post();
        }
        table->endBatch();
        if (grown) {
            int k = 0;
            for (table->first(); !table->eof(); ++k) {
                if (k % 3 == 0) {
                    table->deleteRecord();
                    continue;
                }
                if (k % 3 == 1) {
                    table->edit();
                    table->setText(0, "Edited " + std::to_string(next(4000)));
                    table->setWhole(2, 1700 + next(200));
                    table->setText(5, next(2) ? "T" : "F");
                    table->post();
                }
                table->next();
            }
        } else {
            addTags();
        }

        for (const std::string& tag : tags) {
            table->setOrder(tag);
            const std::vector<std::uint32_t> ours = table->visibleRecords();
            QProcess walker;
            walker.start(m_walker, {QString::fromStdString(dir.dir() + "/"), "books.dbf",
                                    QString::fromStdString(tag), QString::number(ours.size())});
            QVERIFY2(walker.waitForFinished(60000), (tag + ": TDbf did not finish").c_str());
            QVERIFY2(walker.exitStatus() == QProcess::NormalExit && walker.exitCode() == 0,
                     (tag + ": " + walker.readAllStandardError().toStdString() + " exit code " +
                      std::to_string(walker.exitCode()))
                         .c_str());
            std::vector<std::uint32_t> theirs;
            for (const QByteArray& line : walker.readAllStandardOutput().split('\n'))
                if (!line.trimmed().isEmpty())
                    theirs.push_back(line.trimmed().toUInt());
            QVERIFY2(theirs == ours, (tag + ": TDbf walked " + std::to_string(theirs.size()) +
                                      " records, we " + std::to_string(ours.size()))
                                         .c_str());
        }
    }

private:
    QTemporaryDir m_tools;
    QString m_walker;
};

REGISTER_TEST(TdbfReadBackTest)
#include "tst_interop.moc"
