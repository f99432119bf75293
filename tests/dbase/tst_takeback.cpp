// A batch that fails or is given up takes back every record it appended.
#include "FaultyFileSystem.h"
#include "TableFixture.h"
#include "TempDir.h"
#include "TestRegistry.h"

#include "dbase/DatabaseError.h"

#include <QTest>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>

using namespace dbase;

namespace {

std::vector<std::string> titles(int n, const std::string& stem)
{
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i)
        out.push_back(stem + " " + std::to_string((i * 7919) % 1009));
    return out;
}

std::vector<std::string> upperSorted(std::vector<std::string> v)
{
    std::sort(v.begin(), v.end());
    return v;
}

enum class Failure { DiskFillsWhileAdding, IndexFillsTheDiskAtTheEnd, CallerGivesUp };

// A table of 20 books indexed on its title.
std::vector<std::string> indexedTable(const std::string& path)
{
    const std::vector<std::string> before = titles(20, "BOOK");
    Table::create(path, sampleFields());
    auto table = Table::open(path, Access::Exclusive);
    appendBooks(*table, before);
    table->addTag("T", "TITLE");
    return before;
}

// The real file system, but after `syncsPassing` more syncs the next
// `syncFailures` fail, and the next `headerFailures` writes of a table's header.
struct Failing : ForwardingFileSystem {
    struct FailingFile : ForwardingFile {
        FailingFile(Failing& fs, std::unique_ptr<File> file) : ForwardingFile(std::move(file)), fs(fs) {}
        void sync() override
        {
            if (fs.syncFailures > 0 && fs.syncsPassing-- <= 0 && fs.syncFailures--)
                throw IoError(path(), "sync", EIO);
            inner().sync();
        }
        void writeAt(std::uint64_t at, const void* bytes, std::size_t n) override
        {
            if (at == 0 && n == 32 && fs.headerFailures > 0 && fs.headerFailures--)
                throw IoError(path(), "write", EIO);
            inner().writeAt(at, bytes, n);
        }
        Failing& fs;
    };
    std::unique_ptr<File> open(const std::string& path, OpenMode mode) override
    {
        return std::make_unique<FailingFile>(*this, defaultFileSystem().open(path, mode));
    }
    int syncsPassing = 0, syncFailures = 0, headerFailures = 0;
};

} // namespace

Q_DECLARE_METATYPE(Failure)

class TakeBackTest : public QObject {
    Q_OBJECT

private slots:
    void failedBatchLeavesTheTableAsItWas_data()
    {
        QTest::addColumn<Failure>("failure");
        QTest::addColumn<bool>("indexed");
        QTest::addColumn<int>("adding");
        QTest::addColumn<int>("room");
        QTest::newRow("disk fills while adding") << Failure::DiskFillsWhileAdding << true << 3000 << 60000;
        QTest::newRow("disk fills, no index") << Failure::DiskFillsWhileAdding << false << 3000 << 60000;
        QTest::newRow("index fills the disk at the end")
            << Failure::IndexFillsTheDiskAtTheEnd << true << 400 << 0;
        QTest::newRow("caller gives up") << Failure::CallerGivesUp << true << 300 << -1;
        QTest::newRow("caller gives up, no index") << Failure::CallerGivesUp << false << 300 << -1;
    }

    // The file is cut back to the old count with its end mark, the tags hold
    // the old keys only, and the table takes new records at once.
    void failedBatchLeavesTheTableAsItWas()
    {
        QFETCH(Failure, failure);
        QFETCH(bool, indexed);
        QFETCH(int, adding);
        QFETCH(int, room);
        TempDir dir;
        const std::string path = dir.path("B.DBF");
        const std::vector<std::string> before = titles(20, "BOOK");
        Table::create(path, sampleFields());
        {
            auto table = Table::open(path, Access::Exclusive);
            appendBooks(*table, before);
            if (indexed)
                table->addTag("T", "TITLE");
        }
        const auto bytesBefore = std::filesystem::file_size(path);
        // Room for the records but not for the blocks the index grows by.
        FullDisk disk(room >= 0 ? room : std::int64_t(1) << 40);
        if (failure == Failure::IndexFillsTheDiskAtTheEnd)
            disk.room = adding * 91 + 8; // and the note of where the batch began
        auto table = Table::open(path, Access::Shared, disk);
        auto other = Table::open(path, Access::Shared); // a second user of the table
        if (indexed)
            table->setOrder("T");
        table->beginBatch(BatchFailure::TakeBackAppends);
        try {
            appendBooks(*table, titles(adding, "NEW"));
            if (failure == Failure::CallerGivesUp)
                table->abandonBatch();
            else
                table->endBatch();
            QVERIFY(failure == Failure::CallerGivesUp);
        } catch (const IoError& e) {
            QCOMPARE(e.errorNumber(), ENOSPC);
            QVERIFY(failure != Failure::CallerGivesUp);
            if (table->editing())
                table->cancel();
            if (failure == Failure::DiskFillsWhileAdding)
                QVERIFY_THROWS_EXCEPTION(IoError, table->endBatch());
        }
        QCOMPARE(std::filesystem::file_size(path), bytesBefore);
        QCOMPARE(table->indexError(), std::string());
        QCOMPARE(table->order(), std::string(indexed ? "T" : ""));
        QCOMPARE(walk(*table), indexed ? upperSorted(before) : before);
        QCOMPARE(table->physicalCount(), 20u);
        for (Table* reader : {table.get(), other.get()}) {
            if (indexed)
                reader->setOrder("T");
            QCOMPARE(walk(*reader), indexed ? upperSorted(before) : before);
            QCOMPARE(reader->indexError(), std::string());
        }
        disk.room = std::int64_t(1) << 40;
        appendBooks(*table, {"AFTER"});
        std::vector<std::string> after = before;
        after.push_back("AFTER");
        table.reset();
        other.reset();
        auto exclusive = Table::open(path, Access::Exclusive);
        QVERIFY(exclusive->warnings().empty());
        if (indexed)
            exclusive->setOrder("T");
        QCOMPARE(walk(*exclusive), indexed ? upperSorted(after) : after);
        QCOMPARE(exclusive->physicalCount(), 21u);
    }

    void programStoppingHalfWayLeavesNothing_data()
    {
        QTest::addColumn<bool>("indexed");
        QTest::newRow("indexed") << true;
        QTest::newRow("no index") << false;
    }

    // The files as a killed program leaves them in the middle of the batch: the
    // next open cuts the batch's records off instead of keeping them.
    void programStoppingHalfWayLeavesNothing()
    {
        QFETCH(bool, indexed);
        TempDir dir, copy;
        const std::vector<std::string> before = titles(20, "BOOK");
        Table::create(dir.path("B.DBF"), sampleFields());
        {
            auto table = Table::open(dir.path("B.DBF"), Access::Exclusive);
            appendBooks(*table, before);
            if (indexed)
                table->addTag("T", "TITLE");
        }
        auto table = Table::open(dir.path("B.DBF"));
        table->beginBatch(BatchFailure::TakeBackAppends);
        appendBooks(*table, titles(300, "NEW"));
        for (const auto& entry : std::filesystem::directory_iterator(dir.dir()))
            std::filesystem::copy_file(entry.path(), copy.path(entry.path().filename().string().c_str()));
        table->abandonBatch();
        QVERIFY(!std::filesystem::exists(dir.path("B.DBF.batch")));
        QVERIFY(std::filesystem::exists(copy.path("B.DBF.batch")));

        auto reopened = Table::open(copy.path("B.DBF"));
        QCOMPARE(reopened->warnings().size(), std::size_t(1));
        QVERIFY(reopened->warnings()[0].find("300 records") != std::string::npos);
        QCOMPARE(reopened->indexError(), std::string());
        if (indexed)
            reopened->setOrder("T");
        QCOMPARE(walk(*reopened), indexed ? upperSorted(before) : before);
        QCOMPARE(std::filesystem::file_size(copy.path("B.DBF")),
                 std::filesystem::file_size(dir.path("B.DBF")));
        QVERIFY(!std::filesystem::exists(copy.path("B.DBF.batch")));
    }

    // A key changed in place stays changed when the batch's appends are taken
    // back, and the keys still waiting never reach the index file.
    void takeBackKeepsChangesInPlace()
    {
        TempDir dir;
        const std::string path = dir.path("B.DBF");
        std::vector<std::string> expected = indexedTable(path);
        expected[0] = "CHANGED";
        const auto indexBytes = std::filesystem::file_size(dir.path("B.MDX"));
        auto table = Table::open(path, Access::Exclusive);
        table->setOrder("T");
        table->beginBatch(BatchFailure::TakeBackAppends);
        QVERIFY_THROWS_EXCEPTION(DatabaseError, table->addTag("A", "AUTHOR"));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, table->deleteTag("T"));
        QVERIFY(table->gotoBookmark(1));
        table->edit();
        table->setText("TITLE", "CHANGED");
        table->post();
        appendBooks(*table, titles(300, "NEW"));
        table->abandonBatch();
        QCOMPARE(std::filesystem::file_size(dir.path("B.MDX")), indexBytes);
        QCOMPARE(walk(*table), upperSorted(expected)); // the index as it is on the disk
    }

    // A batch's note left beside a table whose header it matches (a restored
    // backup, a table made anew) would cut a later crashed append's record:
    // create removes it, and so does a writable open that finds no crash.
    void staleBatchNoteGoes()
    {
        TempDir dir;
        const std::string path = dir.path("B.DBF");
        for (const bool create : {true, false}) {
            Table::create(path, sampleFields());
            char header[32];
            std::ifstream(path, std::ios::binary).read(header, sizeof header);
            std::ofstream(path + ".batch", std::ios::binary).write(header + 4, 4).write(header + 16, 4);
            create ? Table::create(path, sampleFields()) : void(Table::open(path));
            QVERIFY2(!std::filesystem::exists(path + ".batch"), create ? "create" : "open");
        }
    }

    void syncFailingAtTheEnd_data()
    {
        QTest::addColumn<int>("syncsPassing");
        QTest::newRow("before the commit") << 0;
        QTest::newRow("after the commit") << 2; // the table's and the index's
    }

    // The records and index of an import are synced before its commit: a sync
    // failing before it takes the batch back, one failing after it is a warning,
    // never a failed import with its books in the table. A refresh on the way
    // keeps the keys waiting to go in: nobody else can change the files.
    void syncFailingAtTheEnd()
    {
        QFETCH(int, syncsPassing);
        TempDir dir;
        const std::string path = dir.path("B.DBF");
        std::vector<std::string> expected = indexedTable(path);
        const std::vector<std::string> added = titles(30, "NEW");
        if (syncsPassing > 0)
            expected.insert(expected.end(), added.begin(), added.end());
        Failing fs;
        auto table = Table::open(path, Access::Shared, fs);
        table->beginBatch(BatchFailure::TakeBackAppends);
        appendBooks(*table, added);
        table->refresh();
        fs.syncsPassing = syncsPassing;
        fs.syncFailures = 1;
        if (syncsPassing > 0)
            table->endBatch();
        else
            QVERIFY_THROWS_EXCEPTION(IoError, table->endBatch());
        QCOMPARE(table->warnings().size(), std::size_t(syncsPassing > 0 ? 1 : 0));
        table.reset();
        auto reopened = Table::open(path, Access::Exclusive);
        reopened->setOrder("T");
        QCOMPARE(walk(*reopened), upperSorted(expected));
        QVERIFY(!std::filesystem::exists(path + ".batch"));
    }

    // A batch begun after the end of another failed to write the header notes
    // the header as the disk has it, so that a crash in it still cuts its records.
    void crashAfterAFailedHeaderWriteCutsTheBatch()
    {
        TempDir dir, copy;
        Table::create(dir.path("B.DBF"), sampleFields());
        Failing fs;
        auto table = Table::open(dir.path("B.DBF"), Access::Exclusive, fs);
        table->beginBatch();
        appendBooks(*table, titles(20, "BOOK"));
        fs.headerFailures = 1;
        QVERIFY_THROWS_EXCEPTION(IoError, table->endBatch());
        table->beginBatch(BatchFailure::TakeBackAppends);
        appendBooks(*table, titles(30, "NEW"));
        for (const auto& entry : std::filesystem::directory_iterator(dir.dir()))
            std::filesystem::copy_file(entry.path(), copy.path(entry.path().filename().string().c_str()));
        QCOMPARE(Table::open(copy.path("B.DBF"))->physicalCount(), 0u);
    }
};

REGISTER_TEST(TakeBackTest)
#include "tst_takeback.moc"
