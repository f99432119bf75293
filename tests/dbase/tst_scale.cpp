// Large-table behaviour at small scale: tag builds that outgrow one sorted
// run, and how much of the files a post or a walk reads.
#include "TableFixture.h"
#include "TempDir.h"
#include "TestRegistry.h"

#include "dbase/DatabaseError.h"
#include "dbase/MdxFile.h"
#include "dbase/RecordPrefetch.h"

#include <QTest>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <set>

using namespace dbase;

namespace {

std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The real file system, counting reads of each file and noting every path opened.
class CountingFileSystem : public ForwardingFileSystem {
public:
    std::set<std::string> opened;
    std::size_t reads = 0;
    std::size_t indexReads = 0; // of .MDX files
    std::size_t locks = 0;

    std::unique_ptr<File> open(const std::string& path, OpenMode mode) override
    {
        opened.insert(path);
        return std::make_unique<CountingFile>(*this, defaultFileSystem().open(path, mode));
    }

private:
    class CountingFile : public ForwardingFile {
    public:
        CountingFile(CountingFileSystem& fs, std::unique_ptr<File> inner)
            : ForwardingFile(std::move(inner)), m_fs(fs)
        {
        }
        std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t n) override
        {
            ++m_fs.reads;
            if (path().ends_with(".MDX"))
                ++m_fs.indexReads;
            return ForwardingFile::readAt(offset, buffer, n);
        }
        void lock(std::uint64_t start, std::uint64_t length, LockKind kind) override
        {
            ++m_fs.locks;
            ForwardingFile::lock(start, length, kind);
        }

    private:
        CountingFileSystem& m_fs;
    };
};

// The real file system, except that a tag's spill file fails its writes once
// `writesLeft` bytes are written, and its reads once `readsLeft` reads are made.
class FailingSpill : public ForwardingFileSystem {
public:
    std::int64_t writesLeft = -1, readsLeft = -1; // -1: no limit
    int failed = 0;

    std::unique_ptr<File> open(const std::string& path, OpenMode mode) override
    {
        auto inner = defaultFileSystem().open(path, mode);
        if (!path.ends_with(".sort"))
            return inner;
        return std::make_unique<SpillFile>(*this, std::move(inner));
    }

private:
    class SpillFile : public ForwardingFile {
    public:
        SpillFile(FailingSpill& fs, std::unique_ptr<File> inner) : ForwardingFile(std::move(inner)), m_fs(fs)
        {
        }
        std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t n) override
        {
            if (m_fs.readsLeft == 0)
                fail("read", EIO);
            if (m_fs.readsLeft > 0)
                --m_fs.readsLeft;
            return ForwardingFile::readAt(offset, buffer, n);
        }
        void writeAt(std::uint64_t offset, const void* buffer, std::size_t n) override
        {
            if (m_fs.writesLeft >= 0 && m_fs.writesLeft < std::int64_t(n))
                fail("write", ENOSPC);
            if (m_fs.writesLeft >= 0)
                m_fs.writesLeft -= std::int64_t(n);
            ForwardingFile::writeAt(offset, buffer, n);
        }

    private:
        [[noreturn]] void fail(const char* action, int error)
        {
            ++m_fs.failed;
            throw IoError(path(), action, error);
        }
        FailingSpill& m_fs;
    };
};

// Titles with many repeats and years in no order, so that runs overlap.
void fillTable(const std::string& path, int records)
{
    Table::create(path, sampleFields());
    auto table = Table::open(path, Access::Exclusive);
    table->beginBatch();
    for (int i = 0; i < records; ++i) {
        table->append();
        table->setText("TITLE", "T" + std::to_string((i * 7919) % 400));
        table->setWhole(2, (i * 37) % 97 - 40);
        table->setText("AUTHOR", i % 5 ? "Yes" : "No");
        table->post();
    }
    table->endBatch();
}

} // namespace

class ScaleTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        MdxFile::setSortRunBytes(0);
        RecordPrefetch::setPieceBytes(0);
    }

    void tagBuiltFromSpilledRunsMatchesOneRun_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<bool>("descending");
        QTest::addColumn<bool>("unique");
        QTest::newRow("character") << "TITLE" << false << false;
        QTest::newRow("character, descending, unique") << "TITLE" << true << true;
        QTest::newRow("numeric") << "YEARPUB" << false << false;
        QTest::newRow("numeric, descending") << "YEARPUB" << true << false;
    }

    // Several runs merged must give the very file one run in memory gives,
    // and the order the records' own values give.
    void tagBuiltFromSpilledRunsMatchesOneRun()
    {
        QFETCH(QString, expression);
        QFETCH(bool, descending);
        QFETCH(bool, unique);
        constexpr int kRecords = 5000;
        TempDir dir;
        std::filesystem::create_directory(dir.path("one"));
        std::filesystem::create_directory(dir.path("runs"));
        fillTable(dir.path("one/X.DBF"), kRecords);
        std::filesystem::copy_file(dir.path("one/X.DBF"), dir.path("runs/X.DBF"));
        const std::string field = expression.toStdString();
        Table::open(dir.path("one/X.DBF"), Access::Exclusive)->addTag("K", field, {}, descending, unique);

        MdxFile::setSortRunBytes(4096);      // about 150 entries a run
        RecordPrefetch::setPieceBytes(4096); // keys computed by turns on the reading thread and here
        CountingFileSystem fs;
        auto table = Table::open(dir.path("runs/X.DBF"), Access::Exclusive, fs);
        table->addTag("K", field, {}, descending, unique);
        QVERIFY(fs.opened.count(dir.path("runs/X.MDX.sort")));
        QVERIFY(!std::filesystem::exists(dir.path("runs/X.MDX.sort")));
        QVERIFY(readBytes(dir.path("runs/X.MDX")) == readBytes(dir.path("one/X.MDX")));

        // The records by their own values: key, then record number; a unique tag keeps the first.
        struct Row {
            std::string text;
            double number;
            std::uint32_t recno;
        };
        std::vector<Row> rows;
        table->setOrder("");
        for (table->first(); !table->eof(); table->next())
            rows.push_back({table->text(field), table->floating(table->fieldIndex(field)), table->recno()});
        const bool numeric = field == "YEARPUB";
        auto keyLess = [&](const Row& a, const Row& b) {
            const bool less = numeric ? a.number < b.number : a.text < b.text;
            const bool greater = numeric ? a.number > b.number : a.text > b.text;
            return descending ? greater : less;
        };
        std::stable_sort(rows.begin(), rows.end(), keyLess);
        std::vector<std::uint32_t> expected;
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (!unique || i == 0 || keyLess(rows[i - 1], rows[i]))
                expected.push_back(rows[i].recno);
        std::vector<std::uint32_t> inTag;
        table->setOrder("K");
        for (table->first(); !table->eof(); table->next())
            inTag.push_back(table->recno());
        QCOMPARE(inTag, expected);
    }

    void failedSpillReachesTheCaller_data()
    {
        QTest::addColumn<int>("writes"); // bytes the spill file takes before its writes fail; -1 all
        QTest::addColumn<int>("reads");  // reads of it that succeed; -1 all
        QTest::newRow("first run written") << 0 << -1;
        QTest::newRow("a later run written") << 100000 << -1;
        QTest::newRow("a run read again during the merge") << -1 << 8;
    }

    // Runs are written, and merged, on other threads: a failure of the spill
    // file must reach the caller as it would from this thread, without the
    // threads waiting on each other for ever, and the spill file must go.
    void failedSpillReachesTheCaller()
    {
        QFETCH(int, writes);
        QFETCH(int, reads);
        TempDir dir;
        const std::string path = dir.path("X.DBF");
        fillTable(path, 10000);
        MdxFile::setSortRunBytes(64 << 10); // 7 runs of about 1400 entries, each read back in 3 pieces
        FailingSpill fs;
        {
            auto table = Table::open(path, Access::Exclusive, fs);
            fs.writesLeft = writes;
            fs.readsLeft = reads;
            QVERIFY_THROWS_EXCEPTION(IoError, table->addTag("K", "TITLE"));
            QCOMPARE(fs.failed, 1);
        }
        QVERIFY(!std::filesystem::exists(dir.path("X.MDX.sort")));
        auto table = Table::open(path, Access::Exclusive);
        QVERIFY(!table->hasTag("K"));
        table->addTag("K", "TITLE");
        QCOMPARE(table->recordCount(), 10000u);
    }

    // A tag of two values: nearly every separator has the edited entry's key.
    // Finding the entry must not read the last leaf under each separator a
    // halving search tries (about 20 reads a post here). Each post starts
    // cold: the record and the header twice, the tag's header and root, and
    // per change of key an interior node and a few leaves.
    void postUnderTwoValueTagReadsFewPages()
    {
        TempDir dir;
        const std::string path = dir.path("X.DBF");
        fillTable(path, 20000);
        Table::open(path, Access::Exclusive)->addTag("OUT", "LEFT(AUTHOR,3)"); // 3 levels
        std::size_t most = 0;
        for (std::uint32_t recno = 7001; recno <= 13001; recno += 500) {
            CountingFileSystem fs;
            auto table = Table::open(path, Access::Shared, fs);
            QVERIFY(table->gotoBookmark(recno));
            const std::string flipped = table->text("AUTHOR") == "Yes" ? "No" : "Yes";
            fs.reads = 0;
            table->edit();
            table->setText("AUTHOR", flipped);
            table->post();
            most = std::max(most, fs.reads);
        }
        QVERIFY2(most <= 15, std::to_string(most).c_str());
        auto table = Table::open(path, Access::Shared);
        table->setOrder("OUT");
        std::uint32_t visible = 0;
        for (table->first(); !table->eof(); table->next())
            ++visible;
        QCOMPARE(visible, 20000u);
    }

    // A walk in a shared open checks for other writers once per window of
    // records read, and still sees a change made beyond that window.
    void sharedWalkLocksOncePerWindow()
    {
        TempDir dir;
        const std::string path = dir.path("X.DBF");
        fillTable(path, 3000); // 91-byte records: 720 to a window
        CountingFileSystem fs;
        auto walker = Table::open(path, Access::Shared, fs);
        auto writer = Table::open(path, Access::Shared);
        fs.locks = 0;
        std::uint32_t seen = 0;
        for (walker->first(); !walker->eof(); walker->next()) {
            ++seen;
            if (walker->recno() == 100) {
                QVERIFY(writer->gotoBookmark(2900));
                writer->edit();
                writer->setText("TITLE", "changed");
                writer->post();
            }
            if (walker->recno() == 2900)
                QCOMPARE(walker->text("TITLE"), std::string("changed"));
        }
        QCOMPARE(seen, 3000u);
        QVERIFY2(fs.locks <= 10, std::to_string(fs.locks).c_str());
    }

    // The blocks of a deleted tag wait on the free list; taking two of them
    // must not read all of them first.
    void reuseOfFreedBlocksReadsOnlyThose()
    {
        TempDir dir;
        const std::string path = dir.path("X.DBF");
        fillTable(path, 5000);
        {
            auto table = Table::open(path, Access::Exclusive);
            table->addTag("OUT", "LEFT(AUTHOR,3)");
            table->addTag("BIG", "TITLE"); // about 190 blocks
            table->deleteTag("BIG");
        }
        CountingFileSystem fs;
        auto table = Table::open(path, Access::Exclusive, fs);
        fs.indexReads = 0;
        table->addTag("FEW", "YEARPUB", "YEARPUB = 5"); // a header and one leaf
        QVERIFY2(fs.indexReads <= 10, std::to_string(fs.indexReads).c_str());
        table->setOrder("FEW");
        QCOMPARE(walk(*table).size(), std::size_t(51)); // i * 37 % 97 == 45
    }

    // A free list damaged into a loop is found when it comes round, and
    // what is left of it is dropped: no block is handed out twice.
    void loopingFreeListIsDroppedWhenItComesRound()
    {
        TempDir dir;
        const std::string path = dir.path("X.DBF");
        fillTable(path, 3000);
        {
            auto table = Table::open(path, Access::Exclusive);
            table->addTag("OUT", "LEFT(AUTHOR,3)");
            table->addTag("BIG", "TITLE");
            table->deleteTag("BIG");
        }
        std::string index = readBytes(dir.path("X.MDX"));
        auto word = [&](std::size_t at) {
            return std::uint32_t(std::uint8_t(index[at])) | std::uint32_t(std::uint8_t(index[at + 1])) << 8 |
                   std::uint32_t(std::uint8_t(index[at + 2])) << 16 |
                   std::uint32_t(std::uint8_t(index[at + 3])) << 24;
        };
        const std::uint32_t head = word(36);
        const std::uint32_t second = word(std::size_t(head) * 512 + 4);
        QVERIFY(head != 0 && second != 0 && word(40) > 10);
        index.replace(std::size_t(second) * 512 + 4, 4,
                      index.substr(36, 4)); // the second links back to the head
        std::ofstream(dir.path("X.MDX"), std::ios::binary | std::ios::trunc) << index;

        auto table = Table::open(path, Access::Exclusive);
        table->addTag("AGAIN", "TITLE"); // needs more blocks than the loop holds
        for (const char* tag : {"OUT", "AGAIN"}) {
            table->setOrder(tag);
            QCOMPARE(walk(*table).size(), std::size_t(3000));
        }
        table->setOrder("AGAIN");
        const std::vector<std::string> titles = walk(*table);
        QVERIFY(std::is_sorted(titles.begin(), titles.end()));
    }
};

REGISTER_TEST(ScaleTest)
#include "tst_scale.moc"
