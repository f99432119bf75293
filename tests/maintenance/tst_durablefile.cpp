#include "FaultyFileSystem.h"
#include "MaintenanceFixture.h"
#include "TempDir.h"
#include "TestRegistry.h"
#include "db/DurableFile.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <filesystem>

namespace {

QByteArray readAll(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeAll(const std::string& path, const QByteArray& bytes)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", path.c_str());
}

QByteArray pattern(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 7 % 251);
    return bytes;
}

} // namespace

class TestDurableFile : public QObject {
    Q_OBJECT

private slots:
    // Every other spelling of the source is refused, and the source keeps its bytes.
    void sameFileRefused_data()
    {
        QTest::addColumn<QString>("spelling");
        QTest::newRow("exact") << "src/BOOKS.DBF";
        QTest::newRow("dot-dot") << "src/../src/BOOKS.DBF";
        QTest::newRow("dot") << "src/./BOOKS.DBF";
        QTest::newRow("file link") << "link.DBF";
        QTest::newRow("directory link") << "dirlink/BOOKS.DBF";
    }
    void sameFileRefused()
    {
        QFETCH(QString, spelling);
        TempDir dir;
        QDir(QString::fromStdString(dir.dir())).mkdir("src");
        const std::string source = dir.path("src/BOOKS.DBF");
        writeAll(source, pattern(5000));
        std::filesystem::create_symlink(source, dir.path("link.DBF"));
        std::filesystem::create_directory_symlink(dir.path("src"), dir.path("dirlink"));

        QVERIFY_THROWS_EXCEPTION(db::SameFileError,
                                 db::copyFile(source, dir.dir() + "/" + spelling.toStdString()));
        QCOMPARE(readAll(source), pattern(5000));
        QVERIFY(!std::filesystem::exists(dir.path("src/BOOKS.DBF.tmp")));
    }

    // On a case-sensitive file system another letter case is another file, and is copied to.
    void otherCaseIsAnotherFile()
    {
        TempDir dir;
        writeAll(dir.path("BOOKS.DBF"), pattern(300));
        QCOMPARE(db::copyFile(dir.path("BOOKS.DBF"), dir.path("books.dbf")), 300u);
        QCOMPARE(readAll(dir.path("books.dbf")), pattern(300));
    }

    // Sizes around the block size, with a patched byte: the copy is the source but for that byte.
    void copiesWholeFile_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("empty") << 0;
        QTest::newRow("one byte") << 1;
        QTest::newRow("one block") << (1 << 20);
        QTest::newRow("block and one") << (1 << 20) + 1;
        QTest::newRow("three blocks less one") << 3 * (1 << 20) - 1;
    }
    void copiesWholeFile()
    {
        QFETCH(int, size);
        TempDir dir;
        writeAll(dir.path("a"), pattern(size));
        writeAll(dir.path("b"), "an older and much longer backup than the source, to be replaced whole");
        db::CopyOptions options;
        options.patches = {{0, 'X'}, {std::uint64_t(1) << 20, 'Y'}};
        QCOMPARE(db::copyFile(dir.path("a"), dir.path("b"), options), std::uint64_t(size));

        QByteArray expected = pattern(size);
        if (size > 0)
            expected[0] = 'X';
        if (size > (1 << 20))
            expected[1 << 20] = 'Y';
        QCOMPARE(readAll(dir.path("b")), expected);
        QCOMPARE(readAll(dir.path("a")), pattern(size));
        QVERIFY(!std::filesystem::exists(dir.path("b.tmp")));
    }

    // A failure anywhere leaves the old target whole and no temporary file behind.
    void failureKeepsOldTarget_data()
    {
        QTest::addColumn<int>("budget");
        QTest::addColumn<int>("error");
        QTest::newRow("disk full at once") << 0 << ENOSPC;
        QTest::newRow("disk full half-way") << (1 << 20) + 5 << ENOSPC;
        QTest::newRow("quota at the rename") << 2 * (1 << 20) << EDQUOT;
        QTest::newRow("I/O error") << 100 << EIO;
    }
    void failureKeepsOldTarget()
    {
        QFETCH(int, budget);
        QFETCH(int, error);
        TempDir dir;
        writeAll(dir.path("a"), pattern(2 << 20));
        writeAll(dir.path("b"), "previous backup");
        FaultyFileSystem fs;
        fs.budget = budget;
        fs.errorNumber = error;
        try {
            db::copyFile(dir.path("a"), dir.path("b"), {}, fs);
            QFAIL("the copy did not fail");
        } catch (const dbase::IoError& failure) {
            QCOMPARE(failure.errorNumber(), error);
        }
        QCOMPARE(readAll(dir.path("b")), QByteArray("previous backup"));
        QVERIFY(!std::filesystem::exists(dir.path("b.tmp")));
    }

    // Written but not on the device: a flush that fails is a failed copy, the old target kept.
    void failedFlushKeepsOldTarget()
    {
        TempDir dir;
        writeAll(dir.path("a"), pattern(5000));
        writeAll(dir.path("b"), "previous backup");
        FillingFileSystem fs;
        fs.room = 1 << 30;
        fs.failFlush = true;
        QVERIFY_THROWS_EXCEPTION(dbase::IoError, db::copyFile(dir.path("a"), dir.path("b"), {}, fs));
        QCOMPARE(readAll(dir.path("b")), QByteArray("previous backup"));
        QVERIFY(!std::filesystem::exists(dir.path("b.tmp")));
    }

    // A source that shrinks under the copy gives a short copy, which is no copy.
    void sourceChangingUnderTheCopyFails()
    {
        TempDir dir;
        writeAll(dir.path("a"), pattern(3 << 20));
        writeAll(dir.path("b"), "previous backup");
        db::CopyOptions options;
        options.progress = [&](std::uint64_t, std::uint64_t) {
            std::filesystem::resize_file(dir.path("a"), 10);
        };
        QVERIFY_THROWS_EXCEPTION(dbase::DatabaseError, db::copyFile(dir.path("a"), dir.path("b"), options));
        QCOMPARE(readAll(dir.path("b")), QByteArray("previous backup"));
        QVERIFY(!std::filesystem::exists(dir.path("b.tmp")));
    }

    // A cancel from the progress report is a failure like any other.
    void cancelKeepsOldTarget()
    {
        TempDir dir;
        writeAll(dir.path("a"), pattern(2 << 20));
        db::CopyOptions options;
        options.progress = [](std::uint64_t, std::uint64_t) { throw std::runtime_error("cancelled"); };
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, db::copyFile(dir.path("a"), dir.path("b"), options));
        QVERIFY(!std::filesystem::exists(dir.path("b")));
        QVERIFY(!std::filesystem::exists(dir.path("b.tmp")));
    }

    // A link as the target: the file it points to gets the new bytes, and the link stays a link.
    void linkTargetReplacesLinkedFile()
    {
        TempDir dir;
        writeAll(dir.path("a"), "new");
        writeAll(dir.path("old"), "old");
        std::filesystem::create_symlink(dir.path("old"), dir.path("b"));
        db::copyFile(dir.path("a"), dir.path("b"));
        QVERIFY(std::filesystem::is_symlink(dir.path("b")));
        QCOMPARE(readAll(dir.path("old")), QByteArray("new"));
    }
};

REGISTER_TEST(TestDurableFile)
#include "tst_durablefile.moc"
