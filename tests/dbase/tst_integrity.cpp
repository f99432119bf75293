// The integrity check finds each planted fault, and the repair mends those it
// can without losing a record.
#include "TableFixture.h"
#include "TempDir.h"
#include "TestRegistry.h"

#include "dbase/Bytes.h"
#include "dbase/DatabaseError.h"
#include "dbase/Integrity.h"

#include <QTest>
#include <fstream>

using namespace dbase;

namespace {

constexpr std::uint32_t kPage = 512;

std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::uint32_t get32At(const std::string& bytes, std::size_t offset)
{
    return get32(reinterpret_cast<const std::uint8_t*>(bytes.data()) + offset);
}

void put32At(std::string& bytes, std::size_t offset, std::uint32_t value)
{
    put32(reinterpret_cast<std::uint8_t*>(bytes.data()) + offset, value);
}

// The first tag's root page; the tables here are small enough for it to be the only leaf.
std::size_t rootLeaf(const std::string& mdx)
{
    std::uint32_t tagHeader = get32At(mdx, 544);
    return std::size_t(get32At(mdx, tagHeader * kPage)) * kPage;
}

int itemLength(const std::string& mdx)
{
    std::uint32_t tagHeader = get32At(mdx, 544);
    return static_cast<unsigned char>(mdx[tagHeader * kPage + 18]);
}

bool mentions(const IntegrityReport& report, const std::string& words)
{
    for (const IntegrityFinding& f : report.findings)
        if (f.text.find(words) != std::string::npos)
            return true;
    return false;
}

enum class Fault { WrongCount, TornRecord, KeyRemoved, KeysSwapped, FreeListLoop };

} // namespace

class IntegrityTest : public QObject {
    Q_OBJECT

    TempDir m_dir;

    std::string makeTable(const char* name)
    {
        std::string path = m_dir.path(name);
        Table::create(path, sampleFields());
        auto table = Table::open(path, Access::Exclusive);
        table->addTag("TITLE", "UPPER(TITLE)");
        table->addTag("YEARPUB", "YEARPUB", {}, true);
        appendBooks(*table, {"Emma", "Dracula", "Ulysses", "Beloved", "Middlemarch", "Persuasion", "Kim"});
        table->first();
        table->deleteRecord(); // deleted records keep their keys
        return path;
    }

private slots:
    void soundTableIsClean()
    {
        std::string path = makeTable("SOUND.DBF");
        IntegrityReport report = checkTable(path);
        QVERIFY2(report.clean(), report.text().c_str());
        QCOMPARE(report.records, 7u);
        QCOMPARE(report.tags, 2);
    }

    // Tables and indexes dBase IV itself wrote pass, numeric keys' digit counts included.
    void dbaseWrittenTableIsClean()
    {
        IntegrityReport report = checkTable(std::string(SHELVANO_FIXTURES) + "/dbase4/TEST.DBF");
        QVERIFY2(report.clean(), report.text().c_str());
        QVERIFY(report.tags > 0);
    }

    void plantedFaultIsFoundAndRepaired_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("finding");
        QTest::addColumn<QString>("repair");
        QTest::newRow("count") << Fault::WrongCount << "counts 9 records"
                               << "set the record count";
        QTest::newRow("torn") << Fault::TornRecord << "never completely written"
                              << "bytes of a record";
        QTest::newRow("key removed") << Fault::KeyRemoved << "has no key"
                                     << "rebuilt the index";
        QTest::newRow("keys swapped") << Fault::KeysSwapped << "out of order"
                                      << "rebuilt the index";
        QTest::newRow("free list") << Fault::FreeListLoop << "loops at page"
                                   << "rebuilt the index";
    }

    void plantedFaultIsFoundAndRepaired()
    {
        QFETCH(Fault, fault);
        QFETCH(QString, finding);
        QFETCH(QString, repair);
        std::string path = makeTable("FAULT.DBF");
        std::string mdxPath = m_dir.path("FAULT.MDX");
        std::string dbf = readBytes(path);
        std::string mdx = readBytes(mdxPath);
        const std::uint16_t recordLength = get16(reinterpret_cast<const std::uint8_t*>(dbf.data()) + 10);

        switch (fault) {
        case Fault::WrongCount:
            put32At(dbf, 4, 9);
            break;
        case Fault::TornRecord:
            dbf.pop_back(); // the end mark
            dbf.append(recordLength / 2, 'x');
            break;
        case Fault::KeyRemoved: {
            std::size_t leaf = rootLeaf(mdx);
            std::uint32_t count = get32At(mdx, leaf);
            put32At(mdx, leaf, count - 1);
            put32At(mdx, leaf + 8 + (count - 1) * itemLength(mdx), 0); // the leaf's closing word
            break;
        }
        case Fault::KeysSwapped: {
            std::size_t first = rootLeaf(mdx) + 8;
            int length = itemLength(mdx);
            std::string a = mdx.substr(first, length);
            mdx.replace(first, length, mdx.substr(first + length, length));
            mdx.replace(first + length, length, a);
            break;
        }
        case Fault::FreeListLoop: {
            auto page = static_cast<std::uint32_t>(mdx.size() / kPage);
            std::string block(1024, '\0');
            put32At(block, 4, page); // links to itself
            mdx += block;
            put32At(mdx, 36, page);
            put32At(mdx, 40, 1);
            break;
        }
        }
        writeBytes(path, dbf);
        writeBytes(mdxPath, mdx);

        IntegrityReport found = checkTable(path);
        QVERIFY2(mentions(found, finding.toStdString()), found.text().c_str());
        QVERIFY(found.fixable());

        IntegrityReport repaired = repairTable(path);
        QVERIFY2(repaired.clean(), repaired.text().c_str());
        bool said = false;
        for (const std::string& r : repaired.repairs)
            said = said || r.find(repair.toStdString()) != std::string::npos;
        QVERIFY2(said, repaired.text().c_str());

        // No record is lost: six visible books in title order, the deleted one still there.
        auto table = Table::open(path, Access::Shared);
        QCOMPARE(table->physicalCount(), 7u);
        table->setOrder("TITLE");
        QCOMPARE(walk(*table), (std::vector<std::string>{"Beloved", "Dracula", "Kim", "Middlemarch",
                                                         "Persuasion", "Ulysses"}));
    }

    void unreadableValuesAreReportedNotChanged()
    {
        std::string path = makeTable("VALUES.DBF");
        std::string dbf = readBytes(path);
        const auto headerLength = get16(reinterpret_cast<const std::uint8_t*>(dbf.data()) + 8);
        const auto recordLength = get16(reinterpret_cast<const std::uint8_t*>(dbf.data()) + 10);
        // Record 2: YEARPUB (after the flag, TITLE 30 and AUTHOR 20) gets letters; record 3 a bad flag.
        dbf.replace(headerLength + recordLength + 1 + 50, 4, "19x4");
        dbf[headerLength + 2 * recordLength] = '#';
        writeBytes(path, dbf);

        IntegrityReport report = checkTable(path);
        QVERIFY2(mentions(report, "Record 2, field YEARPUB"), report.text().c_str());
        QVERIFY(mentions(report, "Record 3 has an unknown deletion mark"));
        // The index was built from the old value, so its key no longer matches either.
        QVERIFY(mentions(report, "Tag YEARPUB"));
        IntegrityReport repaired = repairTable(path);
        QVERIFY(mentions(repaired, "Record 2, field YEARPUB"));
        QCOMPARE(readBytes(path).substr(headerLength + recordLength + 51, 4), std::string("19x4"));
    }

    void repairRefusedWhileAnotherOpenHoldsTheTable()
    {
        std::string path = makeTable("BUSY.DBF");
        auto other = Table::open(path, Access::Shared);
        QVERIFY_THROWS_EXCEPTION(DatabaseError, repairTable(path));
    }
};

REGISTER_TEST(IntegrityTest)
#include "tst_integrity.moc"
