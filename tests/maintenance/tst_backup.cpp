#include "FaultyFileSystem.h"
#include "MaintenanceFixture.h"
#include "TestRegistry.h"
#include "db/Backup.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <filesystem>

using platform::Button;

namespace {

const QString kIdentical =
    "Destination File and Source File are identical.  You cannot copy a file  over top "
    "of itself.  Please choose a different directory to backup to.";

db::DatabaseHooks titleOrder()
{
    db::DatabaseHooks hooks;
    hooks.sortString = [] { return QStringLiteral("TITLE"); };
    return hooks;
}

// A data directory whose current database BOOKS.OLD.DBF holds three books in sort order
// by title, and an empty backup directory.
struct Setup {
    TempDir data, media;
    db::BookTable table;
    platform::ScriptedDialogs dialogs;
    db::BookDatabase database{table, dialogs, titleOrder()};
    QStringList events;
    std::uint64_t space = UINT64_MAX;
    std::string books = data.path("BOOKS.OLD.DBF");

    Setup()
    {
        makeBooks(books, {"c", "a", "b"});
        database.OpenSaveFile(QString::fromStdString(books));
    }
    db::Backup backup(dbase::FileSystem& fs = dbase::defaultFileSystem())
    {
        db::Backup::Hooks hooks;
        hooks.command.applyViewerOptions = [this] { events << "viewer"; };
        hooks.command.reportError = [this](const QString& text) { events << text; };
        hooks.reloadPickLists = [this] { events << "lists reloaded"; };
        hooks.reloadReports = [this] { events << "reports reloaded"; };
        hooks.availableSpace = [this](const std::string&) { return space; };
        return db::Backup(database, table, dialogs, QString::fromStdString(data.dir()), hooks, fs);
    }
    QString mediaDir() const { return QString::fromStdString(media.dir()); }
    QStringList titles()
    {
        QStringList seen;
        table.readRows(0, table.rowCount(), [&](int, const dbase::Table& t) { seen << t.text(0).c_str(); });
        return seen;
    }
    QStringList messages(const char* caption) const { return messagesOf(dialogs, caption); }
};

} // namespace

class TestBackup : public QObject {
    Q_OBJECT

private slots:
    // The copy keeps the file's own name, has no index flag, and the table is shared again.
    void backsUpDatabase()
    {
        Setup s;
        QVERIFY(s.backup().backUpDatabase(s.mediaDir()));
        const std::string copy = s.media.path("BOOKS.OLD.DBF");
        QCOMPARE(fileBytes(copy).at(28), '\0');
        QCOMPARE(fileBytes(s.books).at(28), '\1');
        QCOMPARE(fileBytes(copy).mid(32), fileBytes(s.books).mid(32));
        QCOMPARE(dbase::Table::open(copy)->recordCount(), 3u); // opens without an index beside it
        QCOMPARE(s.messages("Notice"), QStringList("Backup completed successfully."));
        QCOMPARE(s.table.table().access(), dbase::Access::Shared);
        QCOMPARE(s.titles(), QStringList({"a", "b", "c"}));
    }

    // The database's own directory, however spelled, is refused before the table is touched.
    void backupOntoItselfRefused_data()
    {
        QTest::addColumn<QString>("spelling");
        QTest::newRow("same directory") << "";
        QTest::newRow("via ..") << "dotdot";
        QTest::newRow("via a link") << "link";
    }
    void backupOntoItselfRefused()
    {
        QFETCH(QString, spelling);
        Setup s;
        const QByteArray before = fileBytes(s.books);
        std::filesystem::create_directory_symlink(s.data.dir(), s.media.path("link"));
        QString directory = QString::fromStdString(s.data.dir());
        if (spelling == "link")
            directory = s.mediaDir() + "/link";
        else if (spelling == "dotdot")
            directory += "/../" + QFileInfo(directory).fileName();
        QVERIFY(!s.backup().backUpDatabase(directory));
        QCOMPARE(s.messages("Error"), QStringList(kIdentical));
        QCOMPARE(fileBytes(s.books), before);
        QVERIFY(s.events.isEmpty());
    }

    // Failures keep the previous backup and leave the database open and shared.
    void backupFailureKeepsPrevious_data()
    {
        QTest::addColumn<qint64>("budget");
        QTest::addColumn<quint64>("space");
        QTest::addColumn<QString>("said");
        QTest::newRow("disk full half-way")
            << qint64(500) << quint64(UINT64_MAX) << "An error occurred during backup";
        QTest::newRow("no room") << qint64(-1) << quint64(10) << "There is not enough room";
    }
    void backupFailureKeepsPrevious()
    {
        QFETCH(qint64, budget);
        QFETCH(quint64, space);
        QFETCH(QString, said);
        Setup s;
        patchFile(s.media.path("BOOKS.OLD.DBF"), 0, "previous backup");
        FaultyFileSystem fs;
        fs.budget = budget;
        s.space = space;
        QVERIFY(!s.backup(fs).backUpDatabase(s.mediaDir()));
        QCOMPARE(s.messages("Error").size(), 1);
        QVERIFY2(s.messages("Error")[0].startsWith(said), qPrintable(s.messages("Error")[0]));
        QCOMPARE(fileBytes(s.media.path("BOOKS.OLD.DBF")), QByteArray("previous backup"));
        QVERIFY(!std::filesystem::exists(s.media.path("BOOKS.OLD.DBF.tmp")));
        QCOMPARE(s.table.table().access(), dbase::Access::Shared);
        QCOMPARE(s.titles(), QStringList({"a", "b", "c"}));
    }

    void backupRefusedWhileHeld()
    {
        Setup s;
        HeldTable held(s.books, "shared");
        QVERIFY(!s.backup().backUpDatabase(s.mediaDir()));
        QCOMPARE(s.messages("Error").size(), 1);
        QVERIFY(s.messages("Error")[0].startsWith("Backing up the database requires exclusive use"));
        QVERIFY(!std::filesystem::exists(s.media.path("BOOKS.OLD.DBF")));
        QVERIFY(s.table.isOpen());
    }

    // Choosing a file of the data directory itself would empty it: refused for every kind.
    void restoreFromDataDirectoryRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("file");
        QTest::newRow("database") << "DBF"
                                  << "BOOKS.OLD.DBF";
        QTest::newRow("lists") << "LST"
                               << "AUTHOR.LST";
        QTest::newRow("report file") << "URP"
                                     << "SHVBOOK.URP";
    }
    void restoreFromDataDirectoryRefused()
    {
        QFETCH(QString, kind);
        QFETCH(QString, file);
        Setup s;
        patchFile(s.data.path("AUTHOR.LST"), 0, "Austen\r\n");
        patchFile(s.data.path("SHVBOOK.URP"), 0, QByteArray(20622, 'r'));
        const QByteArray before = fileBytes(s.data.path(file.toLatin1().constData()));
        s.dialogs.expectOpenFile(QString::fromStdString(s.data.path(file.toLatin1().constData())));
        s.dialogs.setThrowOnUnexpected(false); // the list restore warns of the eight missing lists
        db::Backup backup = s.backup();
        QVERIFY(!(kind == "DBF"   ? backup.restoreDatabase(s.mediaDir())
                  : kind == "LST" ? backup.restoreLists(s.mediaDir())
                                  : backup.restoreReports(s.mediaDir())));
        QVERIFY(s.messages("Error").contains(kIdentical));
        QCOMPARE(fileBytes(s.data.path(file.toLatin1().constData())), before);
        QCOMPARE(s.titles(), QStringList({"a", "b", "c"}));
    }

    // A restored database replaces the file of its name, stale index and all, and becomes current in sort
    // order.
    void restoresDatabase()
    {
        Setup s;
        const std::string backupFile = s.media.path("OTHER.DBF");
        makeBooks(backupFile, {"z", "x", "y"});
        addTag(backupFile, "NewIndex", "AUTHOR"); // sets the index flag of the backup
        const QByteArray backupBytes = fileBytes(backupFile);
        makeBooks(s.data.path("other.dbf"), {"old"});
        addTag(s.data.path("other.dbf"), "STALE", "TITLE");
        s.dialogs.expectOpenFile(QString::fromStdString(backupFile));
        QVERIFY(s.backup().restoreDatabase(s.mediaDir()));
        QCOMPARE(fileBytes(backupFile), backupBytes);
        QCOMPARE(s.database.currentPath(), QString::fromStdString(s.data.path("other.dbf")));
        QCOMPARE(s.titles(), QStringList({"x", "y", "z"}));
        QVERIFY(!s.table.table().hasTag("STALE"));
        QVERIFY(!std::filesystem::exists(s.data.path("OTHER.DBF")));
        QCOMPARE(s.messages("Notice"), QStringList("Restore completed successfully."));
    }

    // A restore over the current database that fails half-way leaves it as it was, and open.
    void restoreFailureKeepsCurrent()
    {
        Setup s;
        const std::string backupFile = s.media.path("BOOKS.OLD.DBF");
        makeBooks(backupFile, {"p", "q", "r", "s", "t"});
        const QByteArray before = fileBytes(s.books);
        FaultyFileSystem fs;
        fs.budget = 600;
        s.dialogs.expectOpenFile(QString::fromStdString(backupFile));
        QVERIFY(!s.backup(fs).restoreDatabase(s.mediaDir()));
        QVERIFY(
            s.messages("Error")[0].startsWith("An error occurred during restore.  Restore not completed."));
        QCOMPARE(fileBytes(s.books), before);
        QCOMPARE(s.titles(), QStringList({"a", "b", "c"}));
        QCOMPARE(s.database.currentPath(), QString::fromStdString(s.books));
    }

    void restoreRefusedWhileTargetHeld()
    {
        Setup s;
        const std::string backupFile = s.media.path("OTHER.DBF");
        makeBooks(backupFile, {"z"});
        makeBooks(s.data.path("OTHER.DBF"), {"old"});
        const QByteArray before = fileBytes(s.data.path("OTHER.DBF"));
        HeldTable held(s.data.path("OTHER.DBF"), "shared");
        s.dialogs.expectOpenFile(QString::fromStdString(backupFile));
        QVERIFY(!s.backup().restoreDatabase(s.mediaDir()));
        QCOMPARE(s.messages("Shelvano Books 95").size(), 1);
        QVERIFY(s.messages("Shelvano Books 95")[0].startsWith("Unable to restore the database."));
        QCOMPARE(fileBytes(s.data.path("OTHER.DBF")), before);
        QCOMPARE(s.titles(), QStringList({"a", "b", "c"}));
    }

    // Lists: each missing one warned of, the rest copied byte for byte, the lists reloaded.
    void restoresSomeLists()
    {
        Setup s;
        patchFile(s.media.path("author.lst"), 0, "Austen\r\n\x93Quoted\x94\r\n");
        patchFile(s.media.path("RATING.LST"), 0, "Good\r\n");
        patchFile(s.data.path("AUTHOR.LST"), 0, "Old author\r\n");
        s.dialogs.expectOpenFile(QString::fromStdString(s.media.path("RATING.LST")));
        QVERIFY(s.backup().restoreLists(s.mediaDir()));
        QCOMPARE(s.messages("Warning").size(), 7);
        QCOMPARE(s.messages("Warning")[0],
                 "The following file \"LOCATION.LST\" could not be located on the specified source drive.");
        QCOMPARE(s.messages("Notice"),
                 QStringList(
                     "One or more files were not restored.  Restore may not have completed successfully."));
        QCOMPARE(fileBytes(s.data.path("AUTHOR.LST")), QByteArray("Austen\r\n\x93Quoted\x94\r\n"));
        QCOMPARE(fileBytes(s.data.path("RATING.LST")), QByteArray("Good\r\n"));
        QVERIFY(s.events.contains("lists reloaded"));
    }

    // A list restore that stops half-way still reloads the lists, so the old ones in memory never overwrite
    // them.
    void failedListRestoreReloads()
    {
        Setup s;
        patchFile(s.media.path("AUTHOR.LST"), 0, "Austen\r\n");
        patchFile(s.data.path("AUTHOR.LST"), 0, "Old author\r\n");
        FaultyFileSystem fs;
        fs.budget = 3;
        s.dialogs.expectOpenFile(QString::fromStdString(s.media.path("AUTHOR.LST")));
        QVERIFY(!s.backup(fs).restoreLists(s.mediaDir()));
        QCOMPARE(s.messages("Error").size(), 1);
        QVERIFY(s.messages("Error")[0].startsWith("An error occurred during restore."));
        QCOMPARE(fileBytes(s.data.path("AUTHOR.LST")), QByteArray("Old author\r\n"));
        QCOMPARE(s.events, QStringList("lists reloaded"));
    }

    // The lists in memory are saved before their files are copied; missing ones are passed over.
    void backsUpLists()
    {
        Setup s;
        patchFile(s.data.path("author.lst"), 0, "Austen\r\n");
        patchFile(s.data.path("CONDITION.LST"), 0, "Fine\r\n");
        QStringList order;
        db::Backup::Hooks hooks;
        hooks.savePickLists = [&] { order << "saved " + QString::number(QDir(s.mediaDir()).count()); };
        db::Backup backup(s.database, s.table, s.dialogs, QString::fromStdString(s.data.dir()), hooks);
        QVERIFY(backup.backUpLists(s.mediaDir()));
        QCOMPARE(order, QStringList("saved 2")); // "." and "..": nothing copied yet
        QCOMPARE(fileBytes(s.media.path("AUTHOR.LST")), QByteArray("Austen\r\n"));
        QCOMPARE(fileBytes(s.media.path("CONDITION.LST")), QByteArray("Fine\r\n"));
        QCOMPARE(s.messages("Notice"), QStringList("Backup completed successfully."));
    }

    // A report file is taken only when its size is whole records.
    void reportFileChecked_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("restored");
        QTest::newRow("two records") << 2 * 20622 << true;
        QTest::newRow("a record and a bit") << 20622 + 10 << false;
    }
    void reportFileChecked()
    {
        QFETCH(int, size);
        QFETCH(bool, restored);
        Setup s;
        patchFile(s.media.path("SHVBOOK.URP"), 0, QByteArray(size, 'n'));
        patchFile(s.data.path("SHVBOOK.URP"), 0, QByteArray(20622, 'o'));
        patchFile(s.media.path("anything.txt"), 0, "x");
        s.dialogs.expectOpenFile(QString::fromStdString(s.media.path("anything.txt")));
        QCOMPARE(s.backup().restoreReports(s.mediaDir()), restored);
        QCOMPARE(fileBytes(s.data.path("SHVBOOK.URP")),
                 QByteArray(restored ? size : 20622, restored ? 'n' : 'o'));
        QCOMPARE(s.events.contains("reports reloaded"), restored);
    }
};

REGISTER_TEST(TestBackup)
#include "tst_backup.moc"
