#include "BookFixture.h"
#include "ProgramFixture.h"
#include "TempDir.h"
#include "TestRegistry.h"
#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/MainLayout.h"
#include "app/RecentList.h"
#include "app/TMain.h"
#include "dbase/DatabaseError.h"
#include "edit/TMyEditBox.h"
#include "platform/ProfileFile.h"
#include "platform/Screen.h"
#include "platform/ScriptedDialogs.h"
#include "reports/ReportFile.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <numeric>

namespace {

using platform::Button;
using Command = TMain::Command;
const QString kNotBook = "This DBase file was not created with Shelvano Books 95.";

// A main window over its own data and settings directories, answering through scripted dialogs.
struct Program : ProgramDirs {
    std::unique_ptr<TMain> main;

    QString path(const char* name) const { return QString::fromStdString(data.path(name)); }
    bool start(bool browse = false)
    {
        main = std::make_unique<TMain>(dialogs, screen, platform::AppPaths{data.dir(), config.dir(), {}},
                                       browse);
        return main->startUp();
    }
    // Starts and shows the main window, as the program does.
    void show(bool browse = false)
    {
        QVERIFY(start(browse));
        main->show();
        QVERIFY(QTest::qWaitForWindowExposed(main.get()));
    }
    QStringList captions(const QString& caption) const
    {
        QStringList texts;
        for (const auto& message : dialogs.transcript())
            if (message.caption == caption)
                texts << message.text;
        return texts;
    }
    template <class T> T* child(const char* name) const { return main->findChild<T*>(name); }
    QString count() const { return child<QLabel>("CountLabel")->text(); }
    QRect client(const char* name) const { return child<QWidget>(name)->geometry(); }
    QSize clientSize() const { return child<QWidget>("Client")->size(); }
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    // An older report file converted at an earlier start but left in place (it
    // could not be deleted) is remembered in the settings and not converted again.
    void oldReportFileConvertedOnce()
    {
        Program p;
        QByteArray old(19'831, '\0');
        old[0] = 4;
        old.replace(1, 4, "Mine");
        QFile file(p.path("BOOK.URP"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(old) == old.size());
        file.close();
        const dbase::FileStamp stamp =
            dbase::defaultFileSystem().open(p.data.path("BOOK.URP"), dbase::OpenMode::ReadOnly)->stamp();
        const QString remembered = QString("%1 %2").arg(stamp.size).arg(stamp.mtimeNs);
        p.setSetting("Reports", "Converted BOOK.URP", remembered);
        QVERIFY(p.start());
        QCOMPARE(reports::ReportFile(p.data.path("SHVBOOK.URP")).list().size(), 8u);
        QVERIFY(QFile::exists(p.path("BOOK.URP")));
        QVERIFY(p.main->close());
        QCOMPARE(p.setting("Reports", "Converted BOOK.URP"), remembered);
    }

    // No settings file: MASTER.DBF is made, the defaults hold, and closing writes them.
    void startsWithoutSettings()
    {
        Program p;
        p.show();
        QVERIFY(QFile::exists(p.path("MASTER.DBF")));
        QCOMPARE(p.main->windowTitle(), "Shelvano Books 95 (MASTER)");
        QCOMPARE(p.count(), "0");
        QCOMPARE(p.main->settings().buttonBar, 1);
        QVERIFY(p.child<QWidget>("SpeedPanel")->isVisible());
        QVERIFY(!p.child<QWidget>("AddButton")->isVisible());
        QVERIFY(!p.child<QLabel>("SearchOnLabel")->isVisible());
        QVERIFY(!p.main->action(Command::EndSearch)->isEnabled());
        QVERIFY(!p.child<QAction>("MenuExitSep")->isVisible());
        QCOMPARE(p.main->scaleFactor(), 1.0);
        QVERIFY(p.child<QAction>("Menu640")->isChecked());
        QVERIFY(p.main->close());
        QCOMPARE(p.setting("Misc", "Last Database"), p.path("MASTER.DBF"));
        QCOMPARE(p.setting("Misc", "Button Bar"), "1");
        QCOMPARE(p.dialogs.problems(), QStringList());
    }

    // An invalid last database: its message, the start-up message, then the open dialog until a
    // book database is chosen; a cancelled dialog offers to quit.
    void invalidLastDatabase_data()
    {
        QTest::addColumn<bool>("quit");
        QTest::newRow("cancel, stay, choose") << false;
        QTest::newRow("cancel, quit") << true;
    }
    void invalidLastDatabase()
    {
        QFETCH(bool, quit);
        Program p;
        dbase::Table::create(p.data.path("OTHER.DBF"), {{"NAME", dbase::FieldSpec::Kind::Character, 10}});
        makeBooks(p.data.path("BOOKS.DBF"), {"x", "y"});
        p.setSetting("Misc", "Last Database", p.path("OTHER.DBF"));
        p.dialogs.expectOpenFile("");
        p.dialogs.expectQuestion("Do you want to quit", quit ? Button::Yes : Button::No);
        if (!quit)
            p.dialogs.expectOpenFile(p.path("BOOKS.DBF"));
        QCOMPARE(p.start(), !quit);
        QCOMPARE(p.main->exitCode(), 0);
        QCOMPARE(p.dialogs.problems(), QStringList());
        // The refusal comes again after the cancelled dialog, before the dialog reopens.
        QCOMPARE(p.captions("Error").size(), quit ? 2 : 3);
        QVERIFY(p.captions("Error")[0].startsWith(kNotBook));
        QVERIFY(p.captions("Error")[1].startsWith("The last database used as recorded in the INI file"));
        if (!quit) {
            QVERIFY(p.captions("Error")[2].startsWith(kNotBook));
            QCOMPARE(p.main->database().currentPath(), p.path("BOOKS.DBF"));
            QCOMPARE(p.main->bookTable().rowCount(), 2);
        }
    }

    // The default database cannot be made (the data directory is a file): why, and a non-zero exit.
    void cannotCreateDefaultDatabase()
    {
        Program p;
        QFile blocker(p.path("plain-file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        p.main = std::make_unique<TMain>(
            p.dialogs, p.screen, platform::AppPaths{p.data.path("plain-file"), p.config.dir(), {}}, false);
        QVERIFY(!p.main->startUp());
        QCOMPARE(p.main->exitCode(), 1);
        QCOMPARE(p.captions("Error").size(), 1);
        QVERIFY(p.captions("Error")[0].contains("could not be created"));
    }

    // Opening B while A is current puts A first and takes B out; the same database again goes first.
    void recentList()
    {
        Program p;
        makeBooks(p.data.path("A.DBF"), {"a"});
        makeBooks(p.data.path("B.DBF"), {"b", "bb"});
        p.setSetting("Misc", "Last Database", p.path("A.DBF"));
        p.setSetting("Misc", "Last File 1", p.path("B.DBF"));
        p.setSetting("Misc", "Last File 2", p.path("C.DBF"));
        p.show();
        p.dialogs.expectOpenFile(p.path("B.DBF"));
        p.main->action(Command::Open)->trigger();
        QCOMPARE(p.count(), "2");
        RecentFiles expected{p.path("A.DBF"), p.path("C.DBF"), "", "", ""};
        QCOMPARE(p.main->settings().lastFiles, expected);
        QAction* first = p.child<QAction>("MenuLastFile1");
        QCOMPARE(first->text(), "&1   " + p.path("A.DBF"));
        QVERIFY(first->isVisible() && p.child<QAction>("MenuLastFile2")->isVisible());
        QVERIFY(!p.child<QAction>("MenuLastFile3")->isVisible());

        first->trigger(); // back to A from the menu
        QCOMPARE(p.count(), "1");
        QCOMPARE(p.main->settings().lastFiles[0], p.path("B.DBF"));
        QCOMPARE(p.main->settings().lastFiles[1], p.path("C.DBF"));

        // A new database becomes current and A goes to the top.
        p.dialogs.expectSaveFile(p.path("NEW.DBF"));
        p.main->action(Command::New)->trigger();
        QCOMPARE(p.main->windowTitle(), "Shelvano Books 95 (NEW)");
        QCOMPARE(p.count(), "0");
        QCOMPARE(p.main->settings().lastFiles[0], p.path("A.DBF"));
        QCOMPARE(p.main->settings().lastFiles[1], p.path("B.DBF"));
        QCOMPARE(p.main->settings().lastDatabase, p.path("NEW.DBF"));
        p.child<QAction>("MenuLastFile1")->trigger();

        // A recent entry whose file is gone: the engine's message, A stays current.
        p.main->settings().lastFiles[1] = p.path("C.DBF");
        p.dialogs.setThrowOnUnexpected(false);
        QVERIFY_THROWS_EXCEPTION(dbase::DatabaseError, p.main->DoRecentFile(1));
        QCOMPARE(p.main->database().currentPath(), p.path("A.DBF"));
        QVERIFY(p.main->bookTable().isOpen());
    }

    // A damaged database chosen from the menu leaves the current one open and unchanged.
    void damagedDatabaseKeepsCurrent()
    {
        Program p;
        makeBooks(p.data.path("A.DBF"), {"a", "b", "c"});
        makeBooks(p.data.path("BAD.DBF"), {"x"});
        patchFile(p.data.path("BAD.DBF"), 8,
                  QByteArray("\xff\xff\x00\x00", 4)); // header length past the file
        p.setSetting("Misc", "Last Database", p.path("A.DBF"));
        p.show();
        p.dialogs.expectOpenFile(p.path("BAD.DBF"));
        try {
            p.main->action(Command::Open)->trigger();
        } catch (const dbase::DatabaseError&) {
            // The application's error display shows it in the program.
        }
        QCOMPARE(p.main->database().currentPath(), p.path("A.DBF"));
        QCOMPARE(p.main->windowTitle(), "Shelvano Books 95 (A)");
        QVERIFY(p.main->bookTable().isOpen());
        QCOMPARE(p.count(), "3");
        QCOMPARE(p.main->settings().lastFiles[0], QString());
    }

    // Browse mode disables what changes data, whatever access mode comes later.
    void browseMode()
    {
        Program p;
        p.setSetting("Grid Options", "Field Editing", "Yes");
        p.show(true);
        for (Command c : {Command::Add, Command::Copy, Command::Delete, Command::BackUp, Command::Restore,
                          Command::Viewer, Command::Import, Command::SearchReplace})
            QVERIFY(!p.main->action(c)->isEnabled());
        QVERIFY(p.child<QMenu>("MenuMaintain")->isEnabled() == false);
        p.main->DoAccessMode(2);
        QVERIFY(p.child<QPushButton>("AddButton")->isVisible());
        QVERIFY(!p.child<QPushButton>("DeleteButton")->isEnabled());
        QVERIFY(p.child<QPushButton>("ButtonExit")->isEnabled());
        auto* navigator = p.child<BookNavigator>("MyNavigator");
        QVERIFY(navigator->isButtonVisible(BookNavigator::Next));
        QVERIFY(!navigator->isButtonVisible(BookNavigator::Insert));
        QVERIFY(!p.main->settings().fieldEditing);
        // Written mid-run (as a new sort order does), the file still keeps the user's choice.
        QVERIFY(p.main->writeSettings());
        QCOMPARE(p.setting("Grid Options", "Field Editing"), "Yes");
        QVERIFY(p.main->close());
        QCOMPARE(p.setting("Grid Options", "Field Editing"), "Yes");
    }

    void browseArgument_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("browse");
        QTest::newRow("none") << QStringList{"shelvano"} << false;
        QTest::newRow("lower case") << QStringList{"shelvano", "/browse"} << true;
        QTest::newRow("after our options")
            << QStringList{"shelvano", "--data-dir", "/tmp", "/Browse", "x"} << true;
        QTest::newRow("second argument") << QStringList{"shelvano", "x", "/BROWSE"} << false;
        QTest::newRow("long option") << QStringList{"shelvano", "--browse"} << true;
    }
    void browseArgument()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, browse);
        QCOMPARE(parseCommandLine(arguments).browse, browse);
    }

    // The access-mode table, and what a resize re-applies.
    void accessModeLayout_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QRect>("navigator"); // left -1: client width - 207
        QTest::addColumn<int>("gridTop");
        QTest::addColumn<int>("countTop");
        QTest::newRow("speed buttons") << 1 << QRect(424, 3, 241, 25) << 70 << 38;
        QTest::newRow("lettered buttons") << 2 << QRect(400, 47, 221, 25) << 122 << 90;
        QTest::newRow("none") << 3 << QRect(-1, 8, 201, 25) << 40 << 8;
    }
    void accessModeLayout()
    {
        QFETCH(int, mode);
        QFETCH(QRect, navigator);
        QFETCH(int, gridTop);
        QFETCH(int, countTop);
        Program p;
        p.show();
        p.main->action(Command::Exit); // the menu exists before any mode is chosen
        p.child<QAction>(mode == 1   ? "MenuSpeedButtons"
                         : mode == 2 ? "MenuLetteredButtons"
                                     : "MenuNoButtons")
            ->trigger();
        for (QSize size : {QSize(900, 700), QSize(700, 500)}) {
            p.main->resize(size);
            QCoreApplication::processEvents();
            const QSize client = p.clientSize();
            QRect expected = navigator;
            if (expected.left() < 0)
                expected.moveLeft(client.width() - 207);
            QCOMPARE(p.client("MyNavigator"), expected);
            QCOMPARE(p.client("ViewerGrid"),
                     QRect(7, gridTop, client.width() - 14, client.height() - gridTop - 7));
            QCOMPARE(p.client("ViewerBevel").width(), client.width() - 6);
            QCOMPARE(p.client("CountLabel").top(), countTop);
            const QRect title = p.client("ViewerLabel");
            QVERIFY(qAbs(title.center().x() - client.width() / 2) <= 1);
        }
        QCOMPARE(p.child<QWidget>("AddButton")->isVisible(), mode == 2);
        QCOMPARE(p.child<QWidget>("NavigatorLabel")->isVisible(), mode == 2);
        QCOMPARE(p.child<QWidget>("SpeedPanel")->isVisible(), mode == 1);
        QCOMPARE(p.child<QAction>("MenuLetteredButtons")->isChecked(), mode == 2);
        // Nothing overlaps: the grid lies below the buttons and the navigator inside the client.
        QVERIFY(p.client("MyNavigator").right() < p.clientSize().width());
        QVERIFY(mainlayout::forMode(4, QSize(700, 500)) == std::nullopt);
    }

    // A stored mode outside 1-3 lays nothing out of its own: the window starts in mode 1's
    // layout, resizes with it, and the setting goes back as it was read.
    void unknownAccessMode()
    {
        Program p;
        p.setSetting("Misc", "Button Bar", "9");
        p.show();
        QVERIFY(p.child<QWidget>("SpeedPanel")->isVisible());
        for (const char* item : {"MenuSpeedButtons", "MenuLetteredButtons", "MenuNoButtons"})
            QVERIFY2(!p.child<QAction>(item)->isChecked(),
                     item); // the layout is mode 1's, the setting is not
        QCOMPARE(p.client("MyNavigator"), QRect(424, 3, 241, 25));
        p.main->resize(900, 700);
        QCoreApplication::processEvents();
        QCOMPARE(p.client("ViewerGrid").height(), p.clientSize().height() - 77);
        QVERIFY(p.main->close());
        QCOMPARE(p.setting("Misc", "Button Bar"), "9");
    }

    // Each exclusive choice of the Options menu is one group of radio items, one of them ticked.
    void exclusiveChoicesAreRadioGroups_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("ticked");
        QTest::addColumn<QString>("choose");
        QStringList dates;
        for (int i = 1; i <= 12; ++i)
            dates << QString("MenuDate%1").arg(i);
        QTest::newRow("access mode") << "AccessGroup"
                                     << QStringList{"MenuSpeedButtons", "MenuLetteredButtons",
                                                    "MenuNoButtons"}
                                     << "MenuSpeedButtons"
                                     << "MenuNoButtons";
        QTest::newRow("screen size") << "ScreenSizeGroup"
                                     << QStringList{"Menu640", "Menu800", "Menu1024", "Menu1280"} << "Menu640"
                                     << "Menu1024";
        QTest::newRow("currency") << "CurrencyGroup" << QStringList{"MenuCurrency1", "MenuCurrency2"}
                                  << "MenuCurrency1"
                                  << "MenuCurrency2";
        QTest::newRow("numbers") << "NumericGroup" << QStringList{"MenuNumeric1", "MenuNumeric2"}
                                 << "MenuNumeric1"
                                 << "MenuNumeric2";
        QTest::newRow("date format") << "DateFormatGroup" << dates << "MenuDate1"
                                     << "MenuDate10";
    }

    void exclusiveChoicesAreRadioGroups()
    {
        QFETCH(QString, group);
        QFETCH(QStringList, items);
        QFETCH(QString, ticked);
        QFETCH(QString, choose);
        Program p;
        p.show();
        auto* choices = p.main->findChild<QActionGroup*>(group);
        QVERIFY(choices);
        QCOMPARE(choices->exclusionPolicy(), QActionGroup::ExclusionPolicy::Exclusive);
        QStringList names;
        for (QAction* item : choices->actions())
            names << item->objectName();
        QCOMPARE(names, items);
        QCOMPARE(choices->checkedAction()->objectName(), ticked);
        p.main->findChild<QAction*>(choose)->trigger();
        QCOMPARE(choices->checkedAction()->objectName(), choose);
        QCOMPARE(std::count_if(
                     items.begin(), items.end(),
                     [&](const QString& name) { return p.main->findChild<QAction*>(name)->isChecked(); }),
                 1);
        QVERIFY(!p.child<QAction>("MenuLeadingZeros")->actionGroup()); // a switch of its own
    }

    // Screen-size commands: refused on a small screen; a value the screen cannot show is kept.
    void screenSizeCommands()
    {
        Program p;
        p.screen.setSize(QSize(800, 600));
        p.setSetting("Misc", "Window Size", "1024");
        p.show();
        QCOMPARE(p.main->scaleFactor(), 1.0);
        QVERIFY(p.child<QAction>("Menu640")->isChecked());
        p.child<QAction>("Menu1024")->trigger(); // already the setting: nothing happens
        QVERIFY(p.dialogs.transcript().empty());
        p.child<QAction>("Menu1280")->trigger();
        QCOMPARE(p.captions("Error"),
                 QStringList{"Your current screen resolution does not support 1280 x 1024 pixels."});
        p.child<QAction>("Menu800")->trigger();
        QCOMPARE(p.main->scaleFactor(), 1.25);
        QVERIFY(p.child<QAction>("Menu800")->isChecked() && !p.child<QAction>("Menu640")->isChecked());
    }

    // Every menu shortcut wins over the keys a focused line edit would take for itself.
    void shortcutsWinOverLineEdits()
    {
        Program p;
        makeBooks(p.data.path("A.DBF"), {"a", "b"});
        p.setSetting("Misc", "Last Database", p.path("A.DBF"));
        p.show();
        auto* edit = new QLineEdit(p.child<QWidget>("Client"));
        edit->setGeometry(0, 0, 50, 20);
        edit->show();
        QApplication::setActiveWindow(p.main.get());
        edit->setFocus();
        QVERIFY(QTest::qWaitForWindowActive(p.main.get()));
        // Keys a line edit claims for itself on Linux: delete line, backspace, cut.
        edit->setText("some text");
        p.dialogs.expectPrinterSetup(false);
        QTest::keyClick(edit, Qt::Key_U, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_H, Qt::ControlModifier);
        QVERIFY(p.main->helpWindow() != nullptr);
        p.dialogs.expectQuestion("Delete this record?", Button::No);
        QTest::keyClick(edit, Qt::Key_D, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_F2, Qt::ControlModifier); // lettered buttons
        QCOMPARE(p.main->settings().buttonBar, 2);
        QCOMPARE(edit->text(), "some text");
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier); // Exit, not Cut
        QVERIFY(!p.main->isVisible());
        QCOMPARE(edit->text(), "some text");
        QCOMPARE(p.dialogs.problems(), QStringList());
        QCOMPARE(p.count(), "2");
        QCOMPARE(p.dialogs.beepCount(), 1);
    }

    void deleteAsksFirst()
    {
        Program p;
        makeBooks(p.data.path("A.DBF"), {"a", "b", "c"});
        p.setSetting("Misc", "Last Database", p.path("A.DBF"));
        p.show();
        auto* navigator = p.child<BookNavigator>("MyNavigator");
        navigator->button(BookNavigator::Next)->click();
        QCOMPARE(p.main->bookTable().currentRow(), 1);
        QCOMPARE(p.child<QTableView>("ViewerGrid")->currentIndex().row(), 1);
        p.dialogs.expectQuestion("Delete this record?", Button::No);
        p.main->action(Command::Delete)->trigger();
        QCOMPARE(p.count(), "3");
        p.dialogs.expectQuestion("Delete this record?", Button::Yes);
        p.child<QPushButton>("DeleteButton")->click();
        QCOMPARE(p.count(), "2");
        QCOMPARE(p.dialogs.transcript().back().defaultButton, Button::No);
        // Choosing a row in the grid makes its record current.
        QTableView* grid = p.child<QTableView>("ViewerGrid");
        grid->setCurrentIndex(grid->model()->index(0, 0));
        QCOMPARE(p.main->bookTable().currentRow(), 0);
        QVERIFY(!navigator->button(BookNavigator::Prior)->isEnabled());
        QVERIFY(navigator->button(BookNavigator::Last)->isEnabled());
    }

    // The navigator's Insert opens the edit window; it never leaves a blank record behind for
    // the next move to save.
    void navigatorInsertAddsNoBlankBook()
    {
        Program p;
        makeBooks(p.data.path("A.DBF"), {"a", "b"});
        p.setSetting("Misc", "Last Database", p.path("A.DBF"));
        p.show();
        auto* navigator = p.child<BookNavigator>("MyNavigator");
        navigator->button(BookNavigator::Insert)->click();
        QCOMPARE(p.main->editMode(), edit::EditMode::Add);
        navigator->button(BookNavigator::Next)->click();
        p.child<QTableView>("ViewerGrid")
            ->setCurrentIndex(p.child<QTableView>("ViewerGrid")->model()->index(0, 0));
        QCOMPARE(p.count(), "2");
        QCOMPARE(dbase::Table::open(p.data.path("A.DBF"))->recordCount(), 2u);
    }

    // A cell being edited in the grid is written before a command runs.
    void commandsWriteTheCellBeingEdited()
    {
        Program p;
        makeBooks(p.data.path("A.DBF"), {"a", "b"});
        p.setSetting("Misc", "Last Database", p.path("A.DBF"));
        p.setSetting("Grid Options", "Field Editing", "Yes");
        p.show();
        QTableView* grid = p.child<QTableView>("ViewerGrid");
        const QModelIndex title = grid->model()->index(1, 0);
        grid->setCurrentIndex(title);
        grid->edit(title);
        auto* editor = qobject_cast<QLineEdit*>(grid->indexWidget(title));
        QVERIFY(editor);
        editor->setText("changed");
        p.main->runCommand([] {});
        QVERIFY(!grid->indexWidget(title));
        QCOMPARE(grid->model()->index(1, 0).data().toString(), "changed");
        QCOMPARE(p.main->bookTable().currentRow(), 1);
        QCOMPARE(grid->currentIndex().row(), 1);
    }

    // The nine List Maintenance items open the maintenance window of their list.
    void listMaintenanceItems()
    {
        Program p;
        p.show();
        QAction* item = p.child<QAction>("MenuMaintainCategory");
        QVERIFY(item && item->isEnabled());
        QString caption;
        QTimer::singleShot(0, [&caption] {
            if (QWidget* window = QApplication::activeModalWidget()) {
                caption = window->windowTitle();
                window->close();
            }
        });
        item->trigger();
        QVERIFY(caption.contains("Category"));
    }

    // OK writes the list that was edited, and only when it changed; Cancel writes nothing; the
    // files of the other lists are never created.
    void listMaintenanceWritesOnOkOnly_data()
    {
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("added");
        QTest::addColumn<bool>("written");
        QTest::newRow("ok") << true << "Poetry" << true;
        QTest::newRow("ok, nothing changed") << true << "" << false;
        QTest::newRow("cancel") << false << "Poetry" << false;
    }

    void listMaintenanceWritesOnOkOnly()
    {
        QFETCH(bool, ok);
        QFETCH(QString, added);
        QFETCH(bool, written);
        Program p;
        p.show();
        QTimer::singleShot(0, [&] {
            auto* window = qobject_cast<TMyEditBox*>(QApplication::activeModalWidget());
            QVERIFY(window);
            window->findChild<QLineEdit*>("AddInfo")->setText(added);
            window->AddButtonClick();
            ok ? window->OkButtonClick() : window->CancelButtonClick();
        });
        p.child<QAction>("MenuMaintainCategory")->trigger();
        QCOMPARE(p.dialogs.problems(), QStringList());
        QCOMPARE(QFile::exists(p.path("CATEGORY.LST")), written);
        QStringList files = QDir(QString::fromStdString(p.data.dir())).entryList({"*.LST"}, QDir::Files);
        QCOMPARE(files, written ? QStringList{"CATEGORY.LST"} : QStringList());
        QCOMPARE(p.main->pickLists().entries(4), ok && written ? QStringList{added} : QStringList());
    }

    // The books of the database fill a list through the maintenance window.
    void listFilledFromBooks()
    {
        Program p;
        makeBooks(p.data.path("A.DBF"), {"x", "y", "z", "w"});
        p.setSetting("Misc", "Last Database", p.path("A.DBF"));
        p.show();
        QTimer::singleShot(0, [&] {
            auto* window = qobject_cast<TMyEditBox*>(QApplication::activeModalWidget());
            QVERIFY(window);
            window->FillButtonClick();
            window->OkButtonClick();
        });
        p.child<QAction>("MenuMaintainAuthor")->trigger();
        QCOMPARE(p.main->pickLists().entries(1), (QStringList{"A0", "A1", "A2"}));
        QCOMPARE(p.captions("Fill from Books"),
                 QStringList{"3 values from the books were added at the end of the list."});
        QVERIFY(QFile::exists(p.path("AUTHOR.LST")));
    }

    // An empty catalogue shows how to begin in the grid; the first book takes the hint away.
    void emptyCatalogueHint_data()
    {
        QTest::addColumn<bool>("browse");
        QTest::addColumn<QString>("hint");
        QTest::newRow("editing") << false
                                 << "No books yet: choose Add (Ctrl+A) to type in your first book, or Import "
                                    "(Ctrl+M) to bring books in from a file.";
        QTest::newRow("browse mode") << true << "This catalogue has no books yet.";
    }

    void emptyCatalogueHint()
    {
        QFETCH(bool, browse);
        QFETCH(QString, hint);
        Program p;
        p.show(browse);
        auto* label = p.child<QLabel>("EmptyHint");
        QVERIFY(label && label->isVisible());
        QCOMPARE(label->text(), hint);
        QVERIFY(p.child<QTableView>("ViewerGrid")->viewport()->rect().contains(label->geometry()));
        db::BookTable& books = p.main->bookTable();
        books.append();
        books.table().setText(0, "First");
        books.post();
        QVERIFY(!label->isVisible());
        books.deleteCurrent();
        QVERIFY(label->isVisible());
        // A catalogue with books never shows it.
        Program q;
        makeBooks(q.data.path("A.DBF"), {"x"});
        q.setSetting("Misc", "Last Database", q.path("A.DBF"));
        q.show(browse);
        QVERIFY(!q.child<QLabel>("EmptyHint")->isVisible());
    }

    // Settings changed in the window survive a restart, geometry kept on the screen.
    void settingsSurviveRestart()
    {
        Program p;
        p.setSetting("Unknown Section", "Kept", "yes");
        p.show();
        p.main->DoAccessMode(3);
        p.main->move(40, 30);
        p.main->resize(700, 520);
        p.main->DoDateFormat(6);
        QVERIFY(p.main->close());
        QCOMPARE(p.setting("Unknown Section", "Kept"), "yes");
        p.show();
        QCOMPARE(p.main->settings().buttonBar, 3);
        QCOMPARE(p.main->size(), QSize(700, 520));
        QCOMPARE(p.main->dateFormat().number(), 6);
        QVERIFY(p.child<QAction>("MenuDate6")->isChecked());
    }

    // Field positions that clash or lie out of range are made whole at start: every field one
    // position 1-36, so no field can vanish from the viewer.
    void fieldPositionsMadeWhole()
    {
        Program p;
        p.setSetting("Field Order", "Title", "2");
        p.setSetting("Field Order", "Author", "2");
        p.setSetting("Field Order", "YearPub", "99");
        p.show();
        std::vector<int> positions;
        for (const auto& field : p.main->settings().fields)
            positions.push_back(field.order);
        std::sort(positions.begin(), positions.end());
        std::vector<int> whole(36);
        std::iota(whole.begin(), whole.end(), 1);
        QCOMPARE(positions, whole);
        QCOMPARE(p.main->settings().fields[0].order, 2); // the first to claim a position keeps it
        QCOMPARE(p.child<QTableView>("ViewerGrid")->model()->columnCount(), 36);
    }

    // An unwritable settings file gives a message, never a crash.
    void unwritableSettings()
    {
        Program p;
        p.show();
        std::filesystem::create_directory(p.settingsFile()); // a directory where the file belongs
        QVERIFY(p.main->close());
        QCOMPARE(p.captions("Error").size(), 1);
        QVERIFY(p.captions("Error")[0].startsWith("Your settings could not be saved."));
    }

    // Ending a search drops the filter and brings every record back.
    void endSearch()
    {
        Program p;
        makeBooks(p.data.path("A.DBF"), {"a", "b", "c", "d"});
        p.setSetting("Misc", "Last Database", p.path("A.DBF"));
        p.show();
        p.main->bookTable().setFilter([](const dbase::RecordView& record) { return record.text(0) < "c"; });
        p.main->EnableEndSearch();
        p.main->DisplayCount();
        QCOMPARE(p.count(), "2");
        QVERIFY(p.child<QLabel>("SearchOnLabel")->isVisible());
        QVERIFY(p.child<QPushButton>("EndSearchButton")->isEnabled());
        QTest::keyClick(p.child<QTableView>("ViewerGrid"), Qt::Key_I, Qt::ControlModifier);
        QCOMPARE(p.count(), "4");
        QVERIFY(!p.main->searchOn());
        QVERIFY(!p.child<QLabel>("SearchOnLabel")->isVisible());
        QVERIFY(!p.main->action(Command::EndSearch)->isEnabled());
    }

    // A command that fails after closing the book table leaves it open again; the error goes on.
    void failedCommandReopensTable()
    {
        Program p;
        p.show();
        QVERIFY_THROWS_EXCEPTION(dbase::DatabaseError, p.main->runCommand([&] {
            p.main->bookTable().close();
            throw dbase::DatabaseError("The disk is full.");
        }));
        QVERIFY(p.main->bookTable().isOpen());
        showUncaughtError(p.dialogs, std::make_exception_ptr(dbase::DatabaseError("The disk is full.")));
        QCOMPARE(p.captions("Error"), QStringList{"The disk is full."});
    }
};

// The pure rules beside the window.
class MainRulesTest : public QObject {
    Q_OBJECT

private slots:
    void recentPush_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("previous");
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("empty") << QStringList{"", "", "", "", ""} << "A"
                               << "B" << QStringList{"A", "", "", "", ""};
        QTest::newRow("opened leaves the list") << QStringList{"B", "C", "D", "E", "F"} << "A"
                                                << "D" << QStringList{"A", "B", "C", "E", "F"};
        QTest::newRow("full list drops the last") << QStringList{"B", "C", "D", "E", "F"} << "A"
                                                  << "G" << QStringList{"A", "B", "C", "D", "E"};
        QTest::newRow("same again") << QStringList{"B", "", "", "", ""} << "A"
                                    << "A" << QStringList{"A", "B", "", "", ""};
    }
    void recentPush()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, previous);
        QFETCH(QString, opened);
        QFETCH(QStringList, after);
        RecentFiles files;
        std::copy(before.begin(), before.end(), files.begin());
        pushRecent(files, previous, opened);
        QCOMPARE(QStringList(files.begin(), files.end()), after);
    }
};

REGISTER_TEST(MainWindowTest)
REGISTER_TEST(MainRulesTest)

#include "tst_main.moc"
