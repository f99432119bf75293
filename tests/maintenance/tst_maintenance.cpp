#include "FaultyFileSystem.h"
#include "MaintenanceFixture.h"
#include "TestRegistry.h"
#include "db/Maintenance.h"

#include <QProcess>
#include <QTest>

using platform::Button;

namespace {

// A book database of four books in title order, the second one deleted, shown by a book table.
struct Books {
    TempDir dir;
    std::string path = dir.path("BOOKS.DBF");
    db::BookTable table;
    platform::ScriptedDialogs dialogs;
    QStringList events;
    std::uint64_t space = UINT64_MAX;

    Books()
    {
        makeBooks(path, {"d", "b", "c", "a"});
        addTag(path, "NewIndex", "TITLE");
        {
            auto t = dbase::Table::open(path);
            t->gotoBookmark(2);
            t->deleteRecord();
        }
        table.adopt(dbase::Table::open(path));
        table.setOrder("NewIndex");
    }
    db::Maintenance maintenance(dbase::FileSystem& fs = dbase::defaultFileSystem())
    {
        db::Maintenance::Hooks hooks;
        hooks.command.applyViewerOptions = [this] { events << "viewer"; };
        hooks.command.displayCount = [this] { events << "count"; };
        hooks.command.setBusy = [this](bool on) { events << (on ? "busy" : "idle"); };
        hooks.command.reportError = [this](const QString& text) { events << text; };
        hooks.sortString = [] { return QStringLiteral("TITLE"); };
        hooks.availableSpace = [this](const std::string&) { return space; };
        return db::Maintenance(table, dialogs, hooks, fs);
    }
    QStringList titles()
    {
        QStringList seen;
        table.readRows(0, table.rowCount(), [&](int, const dbase::Table& t) { seen << t.text(0).c_str(); });
        return seen;
    }
    std::uint32_t physical() { return dbase::Table::open(path)->physicalCount(); }
};

const QString kPackInUse =
    "Unable to pack table.  Packing requires exclusive use of the DBase File.  Make "
    "sure that the DBase File is not in use by another program  or that no other users "
    "are running the software or that no other copies of the software are in use.";
const QString kRebuildInUse =
    "Unable to reindex table.  Reindexing requires exclusive use of the DBase File.  "
    "Make sure that the DBase File is not in use by another program  or that no other "
    "users are running the software or that no other copies of the software are in "
    "use.";

} // namespace

class TestMaintenance : public QObject {
    Q_OBJECT

private slots:
    // Whatever way a command leaves, the table is shared again with the viewer options and the hourglass
    // gone.
    void guardRestoresOnEveryExit_data()
    {
        QTest::addColumn<bool>("throws");
        QTest::newRow("return") << false;
        QTest::newRow("exception") << true;
    }
    void guardRestoresOnEveryExit()
    {
        QFETCH(bool, throws);
        Books books;
        books.table.setFilter([](const dbase::RecordView& r) { return r.text(0) != "c"; });
        books.table.gotoRow(1);
        db::CommandHooks hooks;
        hooks.applyViewerOptions = [&] { books.events << "viewer"; };
        hooks.displayCount = [&] { books.events << "count"; };
        hooks.setBusy = [&](bool on) { books.events << (on ? "busy" : "idle"); };
        try {
            db::CommandGuard guard(books.table, hooks);
            guard.closeTable();
            guard.busy();
            QVERIFY(!books.table.isOpen());
            if (throws)
                throw dbase::DatabaseError("half-way");
        } catch (const dbase::DatabaseError&) {
        }
        QCOMPARE(books.events, QStringList({"busy", "viewer", "count", "idle"}));
        QCOMPARE(books.titles(), QStringList({"a", "d"}));
        QCOMPARE(books.table.currentRow(), 1);
        QCOMPARE(books.table.table().order(), "NEWINDEX");
    }

    void packRemovesDeleted()
    {
        Books books;
        books.dialogs.expectQuestion("until packing occurs", Button::Yes);
        QVERIFY(books.maintenance().MenuPackClick());
        QCOMPARE(books.physical(), 3u);
        QCOMPARE(books.titles(), QStringList({"a", "c", "d"}));
        QCOMPARE(books.table.currentRow(), 0);
        QCOMPARE(books.table.table().access(), dbase::Access::Shared);
        QCOMPARE(books.events, QStringList({"busy", "viewer", "count", "idle"}));
    }

    // Another program holding the table: the message, the table shared and unchanged.
    void refusedWhileHeld_data()
    {
        QTest::addColumn<bool>("pack");
        QTest::addColumn<QString>("how");
        QTest::newRow("pack, held shared") << true << "shared";
        QTest::newRow("pack, held read-only") << true << "readonly";
        QTest::newRow("rebuild, held shared") << false << "shared";
    }
    void refusedWhileHeld()
    {
        QFETCH(bool, pack);
        QFETCH(QString, how);
        Books books;
        HeldTable held(books.path, how.toLatin1().constData());
        books.dialogs.expectQuestion("Continue?", Button::Yes);
        db::Maintenance maintenance = books.maintenance();
        QVERIFY(!(pack ? maintenance.MenuPackClick() : maintenance.MenuRebuildClick()));
        QCOMPARE(messagesOf(books.dialogs, "Error"), QStringList(pack ? kPackInUse : kRebuildInUse));
        QCOMPARE(books.table.table().access(), dbase::Access::Shared);
        QCOMPARE(books.physical(), 4u);
        QCOMPARE(books.titles(), QStringList({"a", "c", "d"}));
    }

    // Failures after the exclusive open: the table is open shared again, unchanged, and the user told.
    void packFailureReopens_data()
    {
        QTest::addColumn<qint64>("budget");
        QTest::addColumn<quint64>("space");
        QTest::newRow("no room for the copy") << qint64(-1) << quint64(100);
        QTest::newRow("disk full half-way") << qint64(300) << quint64(UINT64_MAX);
    }
    void packFailureReopens()
    {
        QFETCH(qint64, budget);
        QFETCH(quint64, space);
        Books books;
        books.space = space;
        FaultyFileSystem fs;
        fs.budget = budget;
        books.dialogs.expectQuestion("until packing occurs", Button::Yes);
        QVERIFY(!books.maintenance(fs).MenuPackClick());
        QCOMPARE(messagesOf(books.dialogs, "Error").size(), 1);
        QVERIFY(books.table.isOpen());
        QCOMPARE(books.physical(), 4u);
        QCOMPARE(books.titles(), QStringList({"a", "c", "d"}));
        QVERIFY(books.events.contains("viewer"));
    }

    // A medium that refuses writes is not another program's hold: the system's reason is shown.
    void readOnlyMediumIsNamed()
    {
        struct ReadOnly : FaultyFileSystem {
            std::unique_ptr<dbase::File> open(const std::string& path, dbase::OpenMode mode) override
            {
                if (mode != dbase::OpenMode::ReadOnly)
                    throw dbase::IoError(path, "open", EROFS);
                return FaultyFileSystem::open(path, mode);
            }
        } fs;
        Books books;
        books.dialogs.expectQuestion("index files to become corrupted", Button::Yes);
        QVERIFY(!books.maintenance(fs).MenuRebuildClick());
        const QStringList errors = messagesOf(books.dialogs, "Error");
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].startsWith("Unable to reindex table.  ") && errors[0].contains(strerror(EROFS)),
                 qPrintable(errors[0]));
        QVERIFY(books.table.isOpen());
    }

    void answeringNoChangesNothing()
    {
        Books books;
        books.dialogs.expectQuestion("index files to become corrupted", Button::No);
        QVERIFY(!books.maintenance().MenuRebuildClick());
        QVERIFY(books.events.isEmpty());
        QVERIFY(books.table.isOpen());
    }

    // Rebuild is needed exactly when the index cannot be read: it makes the order tag anew and says so.
    void rebuildMendsDamagedIndex()
    {
        Books books;
        books.table.close();
        patchFile(books.dir.path("BOOKS.MDX"), 0, QByteArray(600, '\x7f'));
        books.dialogs.expectQuestion("index files to become corrupted", Button::Yes);
        QVERIFY(books.maintenance().MenuRebuildClick());
        QCOMPARE(messagesOf(books.dialogs, "Notice").size(), 1);
        QVERIFY(messagesOf(books.dialogs, "Notice")[0].contains("made anew"));
        auto table = dbase::Table::open(books.path);
        QVERIFY(table->hasTag("NewIndex"));
        QCOMPARE(books.titles(), QStringList({"a", "c", "d"}));
    }

    // What the rebuild cannot mend (a value no program can read) is named afterwards; a sound table
    // gets no message beyond the rebuild's own.
    void rebuildSaysWhatIsStillWrong_data()
    {
        QTest::addColumn<QByteArray>("yearOfFirst");
        QTest::addColumn<QString>("warning");
        QTest::newRow("sound") << QByteArray() << "";
        QTest::newRow("unreadable number")
            << QByteArray("19x9") << "Record 1, field YEARPUB: \"19x9\" is not a number";
    }
    void rebuildSaysWhatIsStillWrong()
    {
        QFETCH(QByteArray, yearOfFirst);
        QFETCH(QString, warning);
        Books books;
        if (!yearOfFirst.isEmpty()) {
            books.table.close();
            QFile file(QString::fromStdString(books.path));
            QVERIFY(file.open(QIODevice::ReadWrite));
            const QByteArray header = file.read(32 * 40);
            const int headerLength = quint8(header[8]) | quint8(header[9]) << 8;
            int offset = 1, d = 32; // past the deletion flag and the file header
            for (; QByteArray(header.constData() + d) != "YEARPUB"; d += 32)
                offset += quint8(header[d + 16]);
            file.seek(headerLength + offset);
            file.write(yearOfFirst.leftJustified(quint8(header[d + 16]), ' '));
            file.close();
            books.table.adopt(dbase::Table::open(books.path));
        }
        books.dialogs.expectQuestion("index files to become corrupted", Button::Yes);
        QVERIFY(books.maintenance().MenuRebuildClick());
        const QStringList shown = messagesOf(books.dialogs, "Warning");
        QCOMPARE(shown.size(), warning.isEmpty() ? 0 : 1);
        if (!warning.isEmpty())
            QVERIFY2(shown[0].contains(warning) && shown[0].contains("still finds"), qPrintable(shown[0]));
    }

    // The count is refreshed whether or not a search is on, and shows another program's books.
    void updateSeesOtherPrograms_data()
    {
        QTest::addColumn<bool>("searchOn");
        QTest::newRow("no search") << false;
        QTest::newRow("search on") << true;
    }
    void updateSeesOtherPrograms()
    {
        QFETCH(bool, searchOn);
        Books books;
        auto notC = [](const dbase::RecordView& r) { return r.text(0) != "c"; };
        if (searchOn)
            books.table.setFilter(notC);
        const int before = books.table.rowCount();
        QProcess writer;
        writer.start(SHELVANO_HELPER, {"writer", QString::fromStdString(books.path), "6", "7"});
        QVERIFY(writer.waitForFinished(20000));
        QCOMPARE(writer.exitCode(), 0);
        auto fresh = dbase::Table::open(books.path);
        if (searchOn)
            fresh->setFilter(notC);
        const int now = static_cast<int>(fresh->recordCount());
        QVERIFY(now != before);

        books.maintenance().MenuUpdateDatabaseClick();
        QCOMPARE(books.table.rowCount(), now);
        QCOMPARE(books.table.hasFilter(), searchOn);
        QCOMPARE(books.events, QStringList({"viewer", "count"}));
    }
};

REGISTER_TEST(TestMaintenance)
#include "tst_maintenance.moc"
