#include "MaintenanceFixture.h"
#include "TestRegistry.h"
#include "app/TMain.h"
#include "platform/Screen.h"

#include <QAction>
#include <QLabel>
#include <QTest>

using platform::Button;
using Command = TMain::Command;

namespace {

// The main window over its own data directory holding MASTER.DBF with three books, one deleted.
struct Program {
    TempDir data, config;
    platform::ScriptedDialogs dialogs;
    platform::FixedScreen screen{QSize(1280, 1024)};
    std::unique_ptr<TMain> main;

    Program()
    {
        makeBooks(data.path("MASTER.DBF"), {"a", "b", "c"});
        auto table = dbase::Table::open(data.path("MASTER.DBF"), dbase::Access::Exclusive);
        table->gotoBookmark(2);
        table->deleteRecord();
    }
    bool start(bool browse = false)
    {
        main = std::make_unique<TMain>(dialogs, screen, platform::AppPaths{data.dir(), config.dir(), {}},
                                       browse);
        return main->startUp();
    }
    QString count() const { return main->findChild<QLabel*>("CountLabel")->text(); }
};

} // namespace

class TestMainWiring : public QObject {
    Q_OBJECT

private slots:
    // The start offers an old file's books, except in browse mode.
    void conversionOfferedAtStart_data()
    {
        QTest::addColumn<bool>("browse");
        QTest::newRow("normal") << false;
        QTest::newRow("browse mode") << true;
    }
    void conversionOfferedAtStart()
    {
        QFETCH(bool, browse);
        Program p;
        const std::string old = p.data.path("b2log.dbf");
        dbase::Table::create(old, oldBookFields(false));
        addRecord(old, {{"TITLE", "old"}});
        if (!browse)
            p.dialogs.expectQuestion("(2.X) has been detected", Button::Yes);
        QVERIFY(p.start(browse));
        QCOMPARE(p.main->bookTable().rowCount(), browse ? 2 : 3);
        QCOMPARE(std::filesystem::exists(old), browse);
        QVERIFY(p.dialogs.problems().isEmpty());
    }

    // Pack makes deletions permanent: not in browse mode. The other commands are there in both.
    void commandsEnabled_data()
    {
        QTest::addColumn<bool>("browse");
        QTest::newRow("normal") << false;
        QTest::newRow("browse mode") << true;
    }
    void commandsEnabled()
    {
        QFETCH(bool, browse);
        Program p;
        QVERIFY(p.start(browse));
        QCOMPARE(p.main->action(Command::Pack)->isEnabled(), !browse);
        QCOMPARE(p.main->action(Command::BackUp)->isEnabled(), !browse);
        QCOMPARE(p.main->action(Command::Restore)->isEnabled(), !browse);
        QVERIFY(p.main->action(Command::RebuildIndexes)->isEnabled());
        QVERIFY(p.main->action(Command::Update)->isEnabled());
        // Reports change no book, so browse mode has them too.
        QVERIFY(p.main->action(Command::Reports)->isEnabled());
        QVERIFY(p.main->action(Command::Print)->isEnabled());
    }

    // The menu items run the commands: pack asks, packs and shows the table again.
    void packFromTheMenu()
    {
        Program p;
        QVERIFY(p.start());
        p.dialogs.expectQuestion("until packing occurs", Button::Yes);
        p.main->action(Command::Pack)->trigger();
        QCOMPARE(dbase::Table::open(p.data.path("MASTER.DBF"))->physicalCount(), 2u);
        QVERIFY(p.main->bookTable().isOpen());
        QCOMPARE(p.count(), "2");
        QVERIFY(p.dialogs.problems().isEmpty());
    }

    void updateFromTheMenuCounts()
    {
        Program p;
        QVERIFY(p.start());
        {
            auto other = dbase::Table::open(p.data.path("MASTER.DBF")); // as another user would
            other->append();
            other->setText(0, "d");
            other->post();
        }
        p.main->action(Command::Update)->trigger();
        QCOMPARE(p.count(), "3");
    }
};

REGISTER_TEST(TestMainWiring)
#include "tst_mainwiring.moc"
