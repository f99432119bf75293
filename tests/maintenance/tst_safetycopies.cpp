// Safety copies taken at close: only after a change, the newest five kept, never a half copy.
#include "MaintenanceFixture.h"
#include "TestRegistry.h"

#include "app/TMain.h"
#include "app/TSafetyCopies.h"
#include "db/SafetyCopies.h"
#include "platform/Screen.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

QString q(const std::string& path)
{
    return QString::fromStdString(path);
}

// Changes the file as an edit would: its bytes and its time of change.
void touch(const std::string& path, int step)
{
    QFile file(q(path));
    QVERIFY(file.open(QIODevice::Append));
    file.write(QByteArray(step, 'x'));
    file.close();
    QVERIFY(file.open(QIODevice::ReadWrite));
    file.setFileTime(QDateTime::currentDateTime().addSecs(step), QFileDevice::FileModificationTime);
}

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class TestSafetyCopies : public QObject {
    Q_OBJECT

    TempDir data, state;

    std::string makeDatabase(const char* name)
    {
        std::string path = data.path(name);
        dbase::Table::create(path, oldBookFields(false));
        addRecord(path, {{"TITLE", "Emma"}});
        addRecord(path, {{"TITLE", "Kim"}});
        QFile list(q(data.path("PUBLISH.LST")));
        if (list.open(QIODevice::WriteOnly))
            list.write("Penguin\r\n");
        return path;
    }

private slots:
    void copiesOnlyAfterAChange()
    {
        std::string table = makeDatabase("FIRST.DBF");
        db::SafetyCopies copies(q(state.path("safety")));
        const QStringList lists{QStringLiteral("PUBLISH.LST"), QStringLiteral("MISSING.LST")};
        QVERIFY(copies.keep(q(table), q(data.dir()), lists));
        QVERIFY(!copies.keep(q(table), q(data.dir()), lists));

        touch(data.path("PUBLISH.LST"), 2); // a changed list is a change too
        QVERIFY(copies.keep(q(table), q(data.dir()), lists));

        std::vector<db::SafetyCopy> kept = copies.list();
        QCOMPARE(kept.size(), std::size_t(2));
        QVERIFY(kept[0].made >= kept[1].made);
        QCOMPARE(kept[0].records, 2u);
        QCOMPARE(kept[0].source, QFileInfo(q(table)).absoluteFilePath());
        QVERIFY(QFile::exists(kept[0].directory + QStringLiteral("/PUBLISH.LST")));
        QCOMPARE(columnOf(kept[0].table.toStdString(), "TITLE"), (QStringList{"Emma", "Kim"}));
    }

    void keepsTheNewestFive()
    {
        std::string table = makeDatabase("ROTATE.DBF");
        db::SafetyCopies copies(q(state.path("rotate")));
        for (int i = 1; i <= 7; ++i) {
            touch(table, i);
            QVERIFY(copies.keep(q(table), q(data.dir()), {}));
        }
        std::vector<db::SafetyCopy> kept = copies.list();
        QCOMPARE(kept.size(), std::size_t(db::SafetyCopies::kKept));
        // The newest copy holds the table as it is now.
        QCOMPARE(QFileInfo(kept[0].table).size(), QFileInfo(q(table)).size());
        QCOMPARE(entriesOf(copies.folderFor(q(table))).size(), qsizetype(db::SafetyCopies::kKept));
    }

    void fullDiskLeavesTheKeptCopiesAlone()
    {
        std::string table = makeDatabase("FULL.DBF");
        FillingFileSystem disk;
        disk.room = 1 << 30;
        db::SafetyCopies copies(q(state.path("full")), disk);
        QVERIFY(copies.keep(q(table), q(data.dir()), {}));
        const std::vector<db::SafetyCopy> before = copies.list();

        touch(table, 3);
        disk.room = 100; // the table no longer fits
        QVERIFY_THROWS_EXCEPTION(dbase::DatabaseError, copies.keep(q(table), q(data.dir()), {}));
        const std::vector<db::SafetyCopy> after = copies.list();
        QCOMPARE(after.size(), std::size_t(1));
        QCOMPARE(after[0].directory, before[0].directory);
        QCOMPARE(entriesOf(copies.folderFor(q(table))).size(), qsizetype(1)); // no half copy left

        disk.room = 1 << 30; // room again: the change is copied at the next close
        QVERIFY(copies.keep(q(table), q(data.dir()), {}));
        QCOMPARE(copies.list().size(), std::size_t(2));
    }

    void databasesOfOneNameKeepApart()
    {
        TempDir other;
        std::string first = makeDatabase("SAME.DBF");
        std::string second = other.path("SAME.DBF");
        QVERIFY(QFile::copy(q(first), q(second)));
        db::SafetyCopies copies(q(state.path("apart")));
        QVERIFY(copies.keep(q(first), q(data.dir()), {}));
        QVERIFY(copies.keep(q(second), q(other.dir()), {}));
        QVERIFY(copies.folderFor(q(first)) != copies.folderFor(q(second)));
        QCOMPARE(copies.list().size(), std::size_t(2));
    }

    // Closing the window keeps a copy; the File menu's restore brings those books
    // back and first keeps the database as it is now.
    void closeKeepsACopyThatTheMenuRestores()
    {
        TempDir books, config, home;
        const std::string master = books.path("MASTER.DBF");
        makeBooks(master, {"a", "b", "c"});
        platform::ScriptedDialogs dialogs;
        platform::FixedScreen screen{QSize(1280, 1024)};
        const platform::AppPaths paths{books.dir(), config.dir(), home.dir()};
        auto main = std::make_unique<TMain>(dialogs, screen, paths, false);
        QVERIFY(main->startUp());
        main->show();
        main->close();
        main.reset();
        db::SafetyCopies copies(q(home.path("safety")));
        QCOMPARE(copies.list().size(), std::size_t(1));
        QCOMPARE(copies.list()[0].records, 3u);

        addRecord(master, {{"TITLE", "d"}});
        main = std::make_unique<TMain>(dialogs, screen, paths, false);
        QVERIFY(main->startUp());
        QCOMPARE(main->bookTable().rowCount(), 4);
        dialogs.expectQuestion("Restore the copy of MASTER.DBF", platform::Button::Yes);
        QTimer::singleShot(0, [] {
            auto* window = qobject_cast<TSafetyCopies*>(QApplication::activeModalWidget());
            QVERIFY(window);
            QCOMPARE(window->list()->topLevelItemCount(), 1);
            window->RestoreButtonClick();
        });
        main->DoRestoreSafetyCopy();
        QCOMPARE(main->bookTable().rowCount(), 3);
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
        // The four-book database was kept before it was replaced.
        const std::vector<db::SafetyCopy> kept = copies.list();
        QCOMPARE(kept.size(), std::size_t(2));
        QCOMPARE(kept[0].records, 4u);
    }
};

REGISTER_TEST(TestSafetyCopies)
#include "tst_safetycopies.moc"
