// What a table looks like after a crash, a full disk or a header that lies,
// seen through every kind of open the program uses.
#include "FaultyFileSystem.h"
#include "TableFixture.h"
#include "TempDir.h"
#include "TestRegistry.h"

#include "dbase/DatabaseError.h"
#include "dbase/DbfHeader.h"
#include "dbase/MdxFile.h"

#include <QFile>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>

using namespace dbase;

namespace {

std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Overwrites bytes in place, as another program writing into the open file would.
void patch(const std::string& path, std::uint64_t offset, const std::string& bytes)
{
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(static_cast<std::streamoff>(offset));
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool exists(const std::string& path)
{
    return QFile::exists(QString::fromStdString(path));
}

constexpr int kHeader = 225; // 32 + 6 descriptors + terminator
constexpr int kRecord = 91;

std::vector<std::string> titles(int n, const std::string& stem = "book")
{
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i)
        out.push_back(stem + " " + std::to_string((i * 7919) % 1009));
    return out;
}

// The books in a new table, with its two tags unless `indexed` is false.
void makeSample(const std::string& path, const std::vector<std::string>& books, bool indexed = true)
{
    Table::create(path, sampleFields());
    auto table = Table::open(path, Access::Exclusive);
    appendBooks(*table, books);
    if (!indexed)
        return;
    table->addTag("T", "UPPER(TITLE)");
    table->addTag("Y", "YEARPUB", {}, true);
}

std::vector<std::string> sorted(std::vector<std::string> v)
{
    std::sort(v.begin(), v.end(), [](const std::string& a, const std::string& b) {
        return QString::fromStdString(a).toUpper() < QString::fromStdString(b).toUpper();
    });
    return v;
}

// A record of the sample table as appendBooks writes it.
std::string recordBytes(const std::string& title)
{
    std::string rec(kRecord, ' ');
    rec.replace(1, title.size(), title);
    return rec;
}

// A disk of limited room holding one directory's files: a write that would
// grow them past it stores what fits and fails with ENOSPC; overwriting bytes
// that exist needs no room, as on a real disk.
class SmallDisk : public FileSystem {
public:
    SmallDisk(std::string dir, std::uint64_t room) : m_dir(std::move(dir)), m_capacity(used() + room) {}

    std::uint64_t used() const
    {
        std::uint64_t total = 0;
        for (const auto& entry : std::filesystem::directory_iterator(m_dir))
            if (entry.is_regular_file())
                total += entry.file_size();
        return total;
    }

    std::unique_ptr<File> open(const std::string& path, OpenMode mode) override
    {
        return std::make_unique<DiskFile>(*this, defaultFileSystem().open(path, mode));
    }
    bool exists(const std::string& path) override { return defaultFileSystem().exists(path); }
    void rename(const std::string& from, const std::string& to) override
    {
        defaultFileSystem().rename(from, to);
    }
    void remove(const std::string& path) override { defaultFileSystem().remove(path); }
    void syncDirectory(const std::string& d) override { defaultFileSystem().syncDirectory(d); }

private:
    class DiskFile : public File {
    public:
        DiskFile(SmallDisk& disk, std::unique_ptr<File> inner)
            : File(inner->path()), m_disk(disk), m_inner(std::move(inner))
        {
        }
        std::size_t readAt(std::uint64_t o, void* b, std::size_t n) override
        {
            return m_inner->readAt(o, b, n);
        }
        void writeAt(std::uint64_t o, const void* b, std::size_t n) override
        {
            std::uint64_t size = m_inner->size();
            std::uint64_t used = m_disk.used();
            std::uint64_t room = m_disk.m_capacity > used ? m_disk.m_capacity - used : 0;
            std::uint64_t fits = size + room > o ? size + room - o : 0;
            std::size_t allowed = static_cast<std::size_t>(std::min<std::uint64_t>(n, fits));
            if (allowed > 0)
                m_inner->writeAt(o, b, allowed);
            if (allowed < n)
                throw IoError(path(), "write", ENOSPC);
        }
        std::uint64_t size() override { return m_inner->size(); }
        void truncate(std::uint64_t s) override { m_inner->truncate(s); }
        void sync() override { m_inner->sync(); }
        FileStamp stamp() override { return m_inner->stamp(); }
        bool tryLock(std::uint64_t s, std::uint64_t l, LockKind k) override
        {
            return m_inner->tryLock(s, l, k);
        }
        void lock(std::uint64_t s, std::uint64_t l, LockKind k) override { m_inner->lock(s, l, k); }
        void unlock(std::uint64_t s, std::uint64_t l) override { m_inner->unlock(s, l); }

    private:
        SmallDisk& m_disk;
        std::unique_ptr<File> m_inner;
    };

    std::string m_dir;
    std::uint64_t m_capacity;
};

// A disk mounted read-only (EROFS) or files we may only read (EACCES).
class ReadOnlyMedia : public FileSystem {
public:
    explicit ReadOnlyMedia(int error) : m_error(error) {}
    std::unique_ptr<File> open(const std::string& path, OpenMode mode) override
    {
        if (mode != OpenMode::ReadOnly)
            throw IoError(path, "open", m_error);
        return defaultFileSystem().open(path, mode);
    }
    bool exists(const std::string& path) override { return defaultFileSystem().exists(path); }
    void rename(const std::string&, const std::string& to) override { throw IoError(to, "replace", m_error); }
    void remove(const std::string& path) override { throw IoError(path, "delete", m_error); }
    void syncDirectory(const std::string&) override {}

private:
    int m_error;
};

bool containsText(const std::vector<std::string>& lines, const char* text)
{
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

std::uint32_t countOnDisk(const std::string& path)
{
    std::string bytes = readBytes(path);
    return static_cast<unsigned char>(bytes[4]) | static_cast<unsigned char>(bytes[5]) << 8 |
           static_cast<unsigned char>(bytes[6]) << 16 |
           std::uint32_t(static_cast<unsigned char>(bytes[7])) << 24;
}

} // namespace

class RecoveryTest : public QObject {
    Q_OBJECT

private slots:
    void lyingHeaderLeavesTheFileUntouched_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("offset2");
        QTest::addColumn<QByteArray>("bytes2");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<QString>("message");
        QTest::newRow("header length far past the descriptors")
            << 8 << QByteArray("\xe8\xfd", 2) << -1 << QByteArray() << false
            << "does not match the field descriptors";
        // The record length and TITLE's width, both 10 more.
        QTest::newRow("a field and the record length 10 wider")
            << 10 << QByteArray("\x65\x00", 2) << 48 << QByteArray("\x28", 1) << true << "header promises";
        QTest::newRow("count far past the data")
            << 4 << QByteArray("\xff\xff\xff\x7f", 4) << -1 << QByteArray() << true << "header promises";
    }

    void lyingHeaderLeavesTheFileUntouched()
    {
        QFETCH(int, offset);
        QFETCH(QByteArray, bytes);
        QFETCH(int, offset2);
        QFETCH(QByteArray, bytes2);
        QFETCH(bool, readable);
        QFETCH(QString, message);
        TempDir dir;
        const std::string path = dir.path("D.DBF");
        makeSample(path, titles(800)); // larger than 65000 bytes
        patch(path, offset, bytes.toStdString());
        if (offset2 >= 0)
            patch(path, offset2, bytes2.toStdString());
        const std::string before = readBytes(path), indexBefore = readBytes(dir.path("D.MDX"));

        auto refused = [&](const DatabaseError& e) {
            return QString(e.what()).contains(message) && QString(e.what()).contains("D.DBF");
        };
        for (Access access : {Access::Shared, Access::ReadOnly}) {
            try {
                auto table = Table::openIgnoringIndex(path, access);
                QVERIFY(readable);
                walk(*table);
                if (access == Access::ReadOnly) {
                    QVERIFY(table->physicalCount() <= 800);
                    continue;
                }
                QVERIFY(containsText(table->warnings(), "header promises"));
                table->first();
                try {
                    table->edit();
                    table->setText(0, "overwritten");
                    table->post();
                    QFAIL("a record was written into a table whose header lies");
                } catch (const DatabaseError& e) {
                    QVERIFY2(refused(e), e.what());
                }
                table->cancel();
                QVERIFY_THROWS_EXCEPTION(DatabaseError, table->append());
            } catch (const DatabaseError& e) {
                QVERIFY2(!readable && refused(e), e.what());
            }
        }
        try {
            Table::openIgnoringIndex(path, Access::Exclusive);
            QFAIL("an exclusive open accepted a header that lies");
        } catch (const DatabaseError& e) {
            QVERIFY2(refused(e), e.what());
        }
        QVERIFY(readBytes(path) == before);
        QVERIFY(readBytes(dir.path("D.MDX")) == indexBefore);
    }

    void paddingOfRealHeadersIsAccepted_data()
    {
        QTest::addColumn<int>("padding");
        QTest::newRow("a stray byte after the terminator") << 1;
        QTest::newRow("a 263-byte backlink") << 263;
    }

    void paddingOfRealHeadersIsAccepted()
    {
        QFETCH(int, padding);
        TempDir dir;
        const std::string path = dir.path("P.DBF");
        makeSample(path, {"one", "two"}, false);
        std::string file = readBytes(path);
        file.insert(kHeader, std::string(padding, '\0'));
        file[8] = static_cast<char>((kHeader + padding) & 0xff);
        file[9] = static_cast<char>((kHeader + padding) >> 8);
        writeBytes(path, file);
        auto table = Table::open(path);
        QCOMPARE(walk(*table), (std::vector<std::string>{"one", "two"}));
        appendBooks(*table, {"three"});
        table.reset();
        QCOMPARE(walk(*Table::open(path, Access::ReadOnly)),
                 (std::vector<std::string>{"one", "two", "three"}));
    }

    void tornLastRecordIsTheOnlyThingCut()
    {
        TempDir dir;
        const std::string path = dir.path("C.DBF");
        makeSample(path, {"a", "b"});
        std::string file = readBytes(path);
        file.pop_back();
        file += recordBytes("c") + recordBytes("d").substr(0, 40);
        writeBytes(path, file);
        auto table = Table::openIgnoringIndex(path, Access::Shared);
        QCOMPARE(walk(*table), (std::vector<std::string>{"a", "b", "c"}));
        QVERIFY(containsText(table->warnings(), "40 of 91 bytes"));
        QCOMPARE(readBytes(path).size(), std::size_t(kHeader + 3 * kRecord + 1));
    }

    // Records a dead writer left past the count, or a pack that died after
    // its rename, with the index not matching the records.
    void interruptedChangeNeverUsesTheIndex_data()
    {
        QTest::addColumn<QString>("crash");
        QTest::addColumn<bool>("alone");
        for (const char* crash : {"batch", "single post", "pack"}) {
            QTest::addRow("%s killed, table not held by others", crash) << QString(crash) << true;
            QTest::addRow("%s killed, table held by a reader", crash) << QString(crash) << false;
        }
    }

    void interruptedChangeNeverUsesTheIndex()
    {
        QFETCH(QString, crash);
        QFETCH(bool, alone);
        TempDir dir;
        const std::string path = dir.path("I.DBF");
        std::vector<std::string> books = titles(30);
        makeSample(path, books);
        if (crash == "pack") {
            std::string oldIndex = readBytes(dir.path("I.MDX"));
            {
                auto table = Table::open(path, Access::Exclusive);
                for (int i = 0; i < 10; ++i)
                    table->deleteRecord();
                table->pack();
            }
            books.erase(books.begin(), books.begin() + 10);
            writeBytes(dir.path("I.MDX"), oldIndex);
            patch(path, 14, "\x01");
        } else {
            std::string file = readBytes(path);
            file.pop_back();
            int extra = crash == "batch" ? 3 : 1;
            for (int i = 0; i < extra; ++i) {
                books.push_back("late " + std::to_string(i));
                file += recordBytes(books.back());
            }
            if (crash == "single post")
                file += recordBytes("torn").substr(0, 50);
            file[14] = 1;
            writeBytes(path, file);
        }

        std::unique_ptr<Table> reader;
        if (!alone) {
            reader = Table::openIgnoringIndex(path, Access::ReadOnly);
            QVERIFY(!reader->indexError().empty());
            QCOMPARE(walk(*reader), books);
            QVERIFY_THROWS_EXCEPTION(DatabaseError, Table::open(path));
        }
        auto table = Table::openIgnoringIndex(path, Access::Shared);
        QCOMPARE(walk(*table), books);
        if (alone) {
            // Nobody else has it: repaired at once.
            QVERIFY2(table->indexError().empty(), table->indexError().c_str());
            table->setOrder("T");
            QCOMPARE(walk(*table), sorted(books));
            QCOMPARE(int(readBytes(path)[14]), 0);
            return;
        }
        QVERIFY(!table->indexError().empty());
        QCOMPARE(table->order(), std::string());
        QVERIFY(table->tags().empty() && !table->hasTag("T"));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, table->setOrder("T"));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, table->seek("B"));
        table->first();
        QVERIFY_THROWS_EXCEPTION(DatabaseError, table->edit());
        QVERIFY_THROWS_EXCEPTION(DatabaseError, table->append());
        QCOMPARE(walk(*reader), books);
        QCOMPARE(reader->physicalCount(), table->physicalCount());
        reader.reset();
        table.reset();
        auto repaired = Table::open(path);
        repaired->setOrder("T");
        QCOMPARE(walk(*repaired), sorted(books));
    }

    void openTableStopsTrustingTheIndexWhenAWriterDies()
    {
        TempDir dir;
        const std::string path = dir.path("O.DBF");
        makeSample(path, {"b", "a"});
        auto table = Table::open(path);
        table->setOrder("T");
        QCOMPARE(walk(*table), (std::vector<std::string>{"a", "b"}));
        // Another program appends a record and dies before the count and the index.
        patch(path, kHeader + 2 * kRecord, recordBytes("c") + "\x1a");
        patch(path, 14, "\x01");
        table->refresh();
        QVERIFY(!table->indexError().empty());
        QCOMPARE(table->order(), std::string());
        QCOMPARE(walk(*table), (std::vector<std::string>{"b", "a", "c"}));
    }

    void diskFullInABatchKeepsWhatSucceeded_data()
    {
        QTest::addColumn<bool>("indexed");
        QTest::newRow("indexed table") << true;
        QTest::newRow("table without index") << false;
    }

    void diskFullInABatchKeepsWhatSucceeded()
    {
        QFETCH(bool, indexed);
        TempDir dir;
        const std::string path = dir.path("B.DBF");
        makeSample(path, titles(20), indexed);
        SmallDisk disk(dir.dir(), 8000);
        std::vector<std::string> posted = titles(20);
        {
            auto table = Table::open(path, Access::Shared, disk);
            table->beginBatch();
            try {
                for (const std::string& title : titles(500, "more")) {
                    appendBooks(*table, {title});
                    posted.push_back(title);
                }
                QFAIL("the disk never filled");
            } catch (const IoError& e) {
                QCOMPARE(e.errorNumber(), ENOSPC);
                table->cancel();
            }
            QVERIFY(posted.size() > 30);
            try {
                table->endBatch();
                QFAIL("the batch ended as if every post had been written");
            } catch (const IoError& e) {
                QCOMPARE(e.errorNumber(), ENOSPC);
            }
        }
        QCOMPARE(countOnDisk(path), std::uint32_t(posted.size()));
        QCOMPARE(readBytes(path).size(), kHeader + posted.size() * kRecord + 1);
        auto reader = Table::openIgnoringIndex(path, Access::ReadOnly);
        QCOMPARE(walk(*reader), posted);
        if (indexed && reader->indexError().empty()) {
            reader->setOrder("T");
            QCOMPARE(walk(*reader), sorted(posted));
        }
    }

    void failedAppendLeavesNoPartialRecord_data() { diskFullInABatchKeepsWhatSucceeded_data(); }

    void failedAppendLeavesNoPartialRecord()
    {
        QFETCH(bool, indexed);
        TempDir dir;
        const std::string path = dir.path("A.DBF");
        makeSample(path, titles(5), indexed);
        SmallDisk disk(dir.dir(), 3000);
        auto table = Table::open(path, Access::Shared, disk);
        try {
            appendBooks(*table, titles(500, "more"));
            QFAIL("the disk never filled");
        } catch (const IoError& e) {
            QCOMPARE(e.errorNumber(), ENOSPC);
        }
        // Seen before this open closes: no part of a record after the last one.
        std::string bytes = readBytes(path);
        std::uint32_t count = countOnDisk(path);
        QCOMPARE(bytes.size(), kHeader + std::size_t(count) * kRecord + 1);
        QCOMPARE(static_cast<unsigned char>(bytes.back()), 0x1Au);
        QCOMPARE(table->physicalCount(), count);
        auto reader = Table::openIgnoringIndex(path, Access::ReadOnly);
        QCOMPARE(reader->physicalCount(), count);
        QVERIFY(reader->warnings().empty());
    }

    void failedPackOrRebuildLeavesNoTemporaryFile_data()
    {
        QTest::addColumn<QString>("work");
        QTest::newRow("pack") << "pack";
        QTest::newRow("index rebuild") << "rebuild";
    }

    void failedPackOrRebuildLeavesNoTemporaryFile()
    {
        QFETCH(QString, work);
        TempDir dir;
        const std::string path = dir.path("X.DBF");
        makeSample(path, titles(1500));
        {
            auto table = Table::open(path, Access::Exclusive);
            for (int i = 0; i < 100; ++i)
                table->deleteRecord();
        }
        const std::string original = readBytes(path), index = readBytes(dir.path("X.MDX"));
        int failures = 0;
        MdxFile::setSortRunBytes(4096); // the tags' sorts spill too
        for (std::int64_t budget : {0, 1, 2000, 40000, 100000, 130000, 150000, 170000, 200000, 300000}) {
            writeBytes(path, original);
            writeBytes(dir.path("X.MDX"), index);
            FaultyFileSystem fs;
            try {
                auto table = Table::open(path, Access::Exclusive, fs);
                fs.budget = budget;
                if (work == "pack")
                    table->pack();
                else
                    table->regenerateIndexes();
            } catch (const IoError&) {
                ++failures;
            }
            QVERIFY2(!exists(path + ".pack"), std::to_string(budget).c_str());
            QVERIFY2(!exists(dir.path("X.MDX.rebuild")), std::to_string(budget).c_str());
            QVERIFY2(!exists(dir.path("X.MDX.sort")), std::to_string(budget).c_str());
            auto table = Table::open(path, Access::Exclusive);
            QCOMPARE(table->recordCount(), 1400u);
        }
        MdxFile::setSortRunBytes(0);
        QVERIFY(failures >= 4);
    }

    void staleTemporariesGoOnTheNextExclusiveOpen()
    {
        TempDir dir;
        const std::string path = dir.path("S.DBF");
        makeSample(path, titles(50));
        patch(path, 14, "\x01"); // the index must be rebuilt, which needs room
        writeBytes(path + ".pack", std::string(200000, 'x'));
        writeBytes(dir.path("S.MDX.rebuild"), std::string(200000, 'y'));
        writeBytes(dir.path("S.MDX.sort"), std::string(200000, 'z'));
        SmallDisk full(dir.dir(), 0);
        auto table = Table::open(path, Access::Exclusive, full);
        QVERIFY(!exists(path + ".pack"));
        QVERIFY(!exists(dir.path("S.MDX.rebuild")));
        QVERIFY(!exists(dir.path("S.MDX.sort")));
        table->setOrder("T");
        QCOMPARE(walk(*table), sorted(titles(50)));
    }

    void foreignHeaderBytes_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("byte 14 not the incomplete mark") << 14 << QByteArray("\x20");
        QTest::newRow("byte 15 not the encryption mark") << 15 << QByteArray("\x41");
        QTest::newRow("no end mark") << -1 << QByteArray();
    }

    void foreignHeaderBytes()
    {
        QFETCH(int, offset);
        QFETCH(QByteArray, bytes);
        TempDir dir;
        const std::string path = dir.path("F.DBF");
        makeSample(path, {"b", "c", "a"});
        std::string file = readBytes(path);
        if (offset < 0)
            file.pop_back();
        else
            file.replace(offset, bytes.size(), bytes.toStdString());
        writeBytes(path, file);
        const std::string index = readBytes(dir.path("F.MDX"));
        {
            auto table = Table::open(path);
            QVERIFY(table->warnings().empty());
            table->setOrder("T");
            QCOMPARE(walk(*table), (std::vector<std::string>{"a", "b", "c"}));
            QVERIFY(table->seek("C"));
        }
        // Opening and reading changed nothing.
        QVERIFY(readBytes(path) == file);
        QVERIFY(readBytes(dir.path("F.MDX")) == index);
        appendBooks(*Table::open(path), {"d"});
        std::string after = readBytes(path);
        QCOMPARE(after.size(), std::size_t(kHeader + 4 * kRecord + 1));
        QCOMPARE(static_cast<unsigned char>(after.back()), 0x1Au);
        QCOMPARE(int(after[14]), 0);
    }

    void encryptedTableIsRefused()
    {
        TempDir dir;
        makeSample(dir.path("E.DBF"), {"a"});
        patch(dir.path("E.DBF"), 15, "\x01");
        try {
            Table::open(dir.path("E.DBF"), Access::ReadOnly);
            QFAIL("an encrypted table opened");
        } catch (const DatabaseError& e) {
            QVERIFY2(QString(e.what()).contains("encrypted"), e.what());
        }
    }

    void warningsTheProgramCanShow_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("warning");
        QTest::newRow("unknown deletion mark") << "flag"
                                               << "unknown deletion mark";
        QTest::newRow("memo file missing") << "memo"
                                           << "is missing";
        QTest::newRow("read-only file system") << "erofs"
                                               << "open read-only";
        QTest::newRow("file we may not write") << "eacces"
                                               << "open read-only";
    }

    void warningsTheProgramCanShow()
    {
        QFETCH(QString, situation);
        QFETCH(QString, warning);
        TempDir dir;
        const std::string path = dir.path("W.DBF");
        makeSample(path, {"a", "b", "c"}, false);
        std::unique_ptr<FileSystem> media;
        if (situation == "flag") {
            patch(path, kHeader + kRecord, "X");
        } else if (situation == "memo") {
            // A dBase IV table with a memo field and no .DBT beside it.
            std::vector<Field> fields{{"TITLE", FieldType::Character, 10, 0, 1},
                                      {"NOTES", FieldType::Memo, 10, 0, 11}};
            std::string bytes = DbfHeader::build(fields, dbf::kWindows1252Driver, 0x8B);
            bytes[4] = 1;
            bytes += " " + std::string("a").append(9, ' ') + std::string(9, ' ') + "1" + "\x1a";
            writeBytes(path, bytes);
        } else {
            media = std::make_unique<ReadOnlyMedia>(situation == "erofs" ? EROFS : EACCES);
        }
        FileSystem& fs = media ? *media : defaultFileSystem();
        auto table = Table::open(path, Access::Shared, fs);
        QCOMPARE(walk(*table).size(), situation == "memo" ? 1u : 3u);
        QCOMPARE(table->warnings().size(), std::size_t(1));
        QVERIFY2(containsText(table->warnings(), warning.toUtf8().constData()), table->warnings()[0].c_str());
        QVERIFY2(containsText(table->warnings(), "W.DBF"), table->warnings()[0].c_str());
        if (media) {
            QCOMPARE(table->access(), Access::ReadOnly);
            QVERIFY_THROWS_EXCEPTION(DatabaseError, table->edit());
            QVERIFY_THROWS_EXCEPTION(DatabaseError, Table::open(path, Access::Exclusive, fs));
        }
    }
};

REGISTER_TEST(RecoveryTest)
#include "tst_recovery.moc"
