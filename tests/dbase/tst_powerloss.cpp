// Power cuts at every step of the changes a program makes: after each cut the
// table must open, hold no torn record, keep everything that had reached a
// sync point (a batch's end, close, pack, rebuild), and have an index that
// matches its records or is reported for rebuild. A killed process (the page
// cache survives) is run through the same steps.
#include "FaultyFileSystem.h"
#include "TableFixture.h"
#include "TempDir.h"
#include "TestRegistry.h"

#include "dbase/DatabaseError.h"
#include "dbase/Expression.h"
#include "dbase/MdxFile.h"

#include <QDir>
#include <QTest>

#include <algorithm>
#include <functional>
#include <set>

using namespace dbase;

namespace {

constexpr int kBaseRecords = 40;

// Every value of a record follows from its number, so a record whose fields
// disagree was torn.
struct Book {
    std::string title, author, year;
};
Book book(int id)
{
    return {"T" + std::to_string(1000 + id), "A" + std::to_string(id % 7), std::to_string(1900 + id % 100)};
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string trimmed(std::string text)
{
    text.erase(text.find_last_not_of(' ') + 1);
    text.erase(0, text.find_first_not_of(' '));
    return text;
}

using Titles = std::multiset<std::string>;

// One run of a scenario: the table it changes, the titles it expects after
// each step, and which of those states had reached the disk for certain.
struct Run {
    PowerLossFileSystem& fs;
    std::string path;
    std::unique_ptr<Table> table;
    Titles live;
    std::vector<Titles> states;
    std::size_t durable = 0;       // states[durable..] may be what the disk holds
    std::set<std::string> written; // every title ever written, old versions included
    int nextId = kBaseRecords + 1;

    void open(Access access) { table = Table::open(path, access, fs); }
    // Called before each change with the titles it leaves: a cut during the
    // change may leave either the state before it or this one.
    void step() { states.push_back(live); }
    // The state after the last change is on the disk.
    void synced() { durable = states.size() - 1; }
    void fill(int id)
    {
        const Book b = book(id);
        table->setText("TITLE", b.title);
        table->setText("AUTHOR", b.author);
        table->setText("YEARPUB", b.year);
        table->setText("READ", id % 3 ? "F" : "T");
        table->setDate(4, {2000, 1 + id % 12, 1 + id % 28});
        written.insert(b.title);
    }
    void append()
    {
        table->append();
        const int id = nextId++;
        fill(id);
        live.insert(book(id).title);
        step();
        table->post();
    }
    void edit(std::uint32_t recno)
    {
        QVERIFY(table->gotoBookmark(recno));
        const std::string old = table->text("TITLE");
        table->edit();
        const int id = nextId++;
        fill(id);
        live.erase(live.find(old));
        live.insert(book(id).title);
        step();
        table->post();
    }
    void remove(std::uint32_t recno)
    {
        QVERIFY(table->gotoBookmark(recno));
        const std::string old = table->text("TITLE");
        live.erase(live.find(old));
        step();
        table->deleteRecord();
    }
    void close()
    {
        table.reset();
        if (fs.dead()) // the cut came while closing
            throw IoError(path, "close", EIO);
        synced();
    }
};

using Scenario = std::function<void(Run&)>;

// The checks after a cut; returns what is wrong, empty when nothing is.
class Check {
public:
    Check(const std::string& dir, const Run& run) : m_dir(dir), m_run(run) {}

    QStringList operator()()
    {
        const std::string dbf = m_dir + "/BOOKS.DBF", mdx = m_dir + "/BOOKS.MDX";
        if (!QFile::exists(QString::fromStdString(dbf)) || !QFile::exists(QString::fromStdString(mdx)))
            return {"the table or its index is gone"};
        // Whether the cut left the mark that tells the next open to rebuild the index.
        m_marked = readFile(dbf).at(14) != 0;
        try {
            auto readOnly = Table::openIgnoringIndex(dbf, Access::ReadOnly);
            records(*readOnly, "read-only open");
            if (readOnly->indexError().empty())
                index(*readOnly, mdx, "read-only open");
        } catch (const DatabaseError& e) {
            m_problems << QString("a read-only open fails: %1").arg(e.what());
        }
        try {
            auto shared = Table::openIgnoringIndex(dbf, Access::Shared);
            records(*shared, "shared open");
            if (shared->indexError().empty())
                index(*shared, mdx, "shared open");
        } catch (const DatabaseError& e) {
            m_problems << QString("a shared open fails: %1").arg(e.what());
        }
        try {
            auto exclusive = Table::open(dbf, Access::Exclusive);
            records(*exclusive, "exclusive open");
            index(*exclusive, mdx, "exclusive open");
        } catch (const DatabaseError& e) {
            m_problems << QString("an exclusive open fails: %1").arg(e.what());
        }
        const QStringList left = QDir(QString::fromStdString(m_dir)).entryList({"*.pack", "*.rebuild"});
        if (!left.isEmpty())
            m_problems << "temporary files left after an exclusive open: " + left.join(", ");
        return m_problems;
    }

private:
    // Every record whole and written by us; the live ones a state at or after the last sync point.
    void records(Table& table, const char* how)
    {
        m_records.clear();
        const std::string bytes = readFile(table.path());
        const std::size_t headerLength = std::uint8_t(bytes[8]) | std::uint8_t(bytes[9]) << 8;
        const std::size_t recordLength = std::uint8_t(bytes[10]) | std::uint8_t(bytes[11]) << 8;
        const auto field = [&](const std::string& rec, int f) {
            const Field& d = table.fields()[f];
            return trimmed(rec.substr(d.offset, d.length));
        };
        Titles live;
        for (std::uint32_t n = 1; n <= table.physicalCount(); ++n) {
            const std::string rec = bytes.substr(headerLength + (n - 1) * recordLength, recordLength);
            m_records.push_back(rec);
            const std::string title = field(rec, 0);
            const int id = title.size() > 1 ? std::atoi(title.c_str() + 1) - 1000 : -1;
            if (rec.size() != recordLength || (rec[0] != ' ' && rec[0] != '*') ||
                !m_run.written.count(title) || field(rec, 1) != book(id).author ||
                field(rec, 2) != book(id).year) {
                m_problems << QString("%1: record %2 is torn").arg(how).arg(n);
                continue;
            }
            if (rec[0] == ' ')
                live.insert(title);
        }
        const auto& states = m_run.states;
        if (std::find(states.begin() + m_run.durable, states.end(), live) == states.end())
            m_problems << QString("%1: %2 live records, none of the states since the last sync point "
                                  "(%3 records then)")
                              .arg(how)
                              .arg(live.size())
                              .arg(states[m_run.durable].size());
    }

    // Each tag's entries are exactly the keys recomputed from the records.
    void index(Table& table, const std::string& mdxPath, const char* how)
    {
        try {
            auto mdx = MdxFile::open(defaultFileSystem().open(mdxPath, OpenMode::ReadOnly));
            for (int t = 0; t < mdx->tagCount(); ++t) {
                const TagDefinition& tag = mdx->tag(t);
                const Expression key = Expression::compile(tag.expression, table.fields());
                std::optional<Expression> condition;
                if (!tag.forExpression.empty())
                    condition = Expression::compile(tag.forExpression, table.fields());
                std::vector<std::pair<std::uint32_t, std::string>> expected, actual;
                for (std::uint32_t n = 1; n <= m_records.size(); ++n) {
                    const char* rec = m_records[n - 1].data();
                    if (condition && !condition->evaluate(rec).logical)
                        continue;
                    std::string k = key.key(rec);
                    k.resize(std::size_t(tag.keyLength), ' ');
                    expected.emplace_back(n, k);
                }
                for (const IndexEntry& e : mdx->verify(t))
                    actual.emplace_back(e.recno, e.key);
                std::sort(actual.begin(), actual.end());
                if (actual != expected)
                    m_problems << QString("%1: tag %2 holds %3 entries where the records give %4, "
                                          "and no rebuild is asked for (incomplete mark %5)")
                                      .arg(how, QString::fromStdString(tag.name))
                                      .arg(actual.size())
                                      .arg(expected.size())
                                      .arg(m_marked ? "set" : "clear");
            }
        } catch (const DatabaseError& e) {
            m_problems
                << QString("%1: the index is damaged and no rebuild is asked for: %2").arg(how, e.what());
        }
    }

    std::string m_dir;
    const Run& m_run;
    QStringList m_problems;
    std::vector<std::string> m_records;
    bool m_marked = false;
};

} // namespace

class PowerLossTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TempDir dir;
        Table::create(dir.path("BOOKS.DBF"), sampleFields());
        {
            auto table = Table::open(dir.path("BOOKS.DBF"), Access::Exclusive);
            table->addTag("TITLE", "UPPER(TITLE)");
            table->addTag("YEAR", "YEARPUB", "", true);
            table->addTag("BOUGHT", "PURCHDATE");
            table->addTag("UNREAD", "TITLE", ".NOT. READ .AND. .NOT. DELETED()");
            Run run{m_unused, dir.path("BOOKS.DBF"), std::move(table), {}, {}, 0, {}, 1};
            for (int i = 1; i <= kBaseRecords; ++i)
                run.append();
            m_base = run.live;
            m_baseWritten = run.written;
        }
        m_dbf = readFile(dir.path("BOOKS.DBF"));
        m_mdx = readFile(dir.path("BOOKS.MDX"));
    }

    void everyCut_data()
    {
        QTest::addColumn<bool>("killed");
        QTest::addColumn<int>("scenario");
        const char* names[] = {"batch appends", "single posts", "edits", "deletes", "pack", "index rebuild"};
        for (int s = 0; s < 6; ++s) {
            QTest::addRow("%s, power cut", names[s]) << false << s;
            QTest::addRow("%s, process killed", names[s]) << true << s;
        }
    }

    void everyCut()
    {
        QFETCH(bool, killed);
        QFETCH(int, scenario);
        const Scenario scenarios[] = {
            [](Run& r) {
                r.open(Access::Shared);
                for (int batch = 0; batch < 2; ++batch) {
                    r.table->beginBatch();
                    for (int i = 0; i < 20; ++i)
                        r.append();
                    r.table->endBatch();
                    r.synced();
                }
                r.close();
            },
            [](Run& r) {
                r.open(Access::Shared);
                for (int i = 0; i < 5; ++i)
                    r.append();
                r.close();
            },
            [](Run& r) {
                r.open(Access::Shared);
                for (std::uint32_t n : {3u, 17u, 29u, 40u})
                    r.edit(n);
                r.close();
            },
            [](Run& r) {
                r.open(Access::Shared);
                for (std::uint32_t n : {2u, 11u, 25u, 39u})
                    r.remove(n);
                r.close();
            },
            [](Run& r) {
                r.open(Access::Exclusive);
                for (std::uint32_t n = 1; n <= kBaseRecords; n += 4)
                    r.remove(n);
                r.table->pack();
                r.synced();
                r.append();
                r.close();
            },
            [](Run& r) {
                r.open(Access::Exclusive);
                r.edit(7);
                r.table->regenerateIndexes();
                r.synced();
                r.close();
            },
        };

        // A run without a cut counts the steps; then the power fails at each in turn.
        long steps = -1;
        QStringList failures;
        for (long cut = -1; cut < 0 || cut < steps; ++cut) {
            TempDir dir;
            std::ofstream(dir.path("BOOKS.DBF"), std::ios::binary) << m_dbf;
            std::ofstream(dir.path("BOOKS.MDX"), std::ios::binary) << m_mdx;
            PowerLossFileSystem fs(dir.dir());
            fs.cutAt = cut;
            fs.keepUnsynced = killed;
            Run run{fs, dir.path("BOOKS.DBF"), nullptr, m_base, {m_base}, 0, m_baseWritten, kBaseRecords + 1};
            try {
                scenarios[scenario](run);
                QVERIFY2(cut < 0, "the scenario ran past the cut");
            } catch (const DatabaseError&) {
                QVERIFY2(fs.dead(), "a step failed without a cut");
            }
            run.table.reset();
            if (cut < 0)
                steps = fs.operations;
            fs.restore();
            for (const QString& problem : Check(dir.dir(), run)())
                failures << QString("cut at step %1 of %2: %3").arg(cut).arg(steps).arg(problem);
        }
        QVERIFY(steps > 10);
        QVERIFY2(failures.isEmpty(), qPrintable(QString("%1 problems; the first:\n").arg(failures.size()) +
                                                failures.mid(0, 8).join("\n")));
    }

private:
    PowerLossFileSystem m_unused{"/nonexistent"};
    std::string m_dbf, m_mdx;
    Titles m_base;
    std::set<std::string> m_baseWritten;
};

REGISTER_TEST(PowerLossTest)
#include "tst_powerloss.moc"
