// shelvano_help_screenshots OUT_DIR
//
// Takes the pictures of the manual (src/app/help/*.png) on a catalogue of made-up books:
// the windows the manual shows, each grabbed once it has come up, then closed, and the help
// window with a search. Copy the files that look right into src/app/help/.
#include "BookGenerator.h"
#include "app/HelpWindow.h"
#include "app/ProgramWindows.h"
#include "db/BookSchema.h"
#include "dbase/Table.h"
#include "platform/Screen.h"
#include "platform/ScriptedDialogs.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QStyle>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <functional>

namespace {

bool g_ok = true;

void writeBooks(const std::filesystem::path& path, int count)
{
    dbase::Table::create(path.string(), db::bookFieldSpecs());
    auto table = dbase::Table::open(path.string(), dbase::Access::Exclusive);
    const bench::BookGenerator generator;
    bench::BookRecord book;
    for (int i = 0; i < count; ++i) {
        generator.generate(std::uint64_t(i), book);
        table->append();
        for (int field = 0; field < db::kBookFieldCount; ++field)
            table->setText(field, book[std::size_t(field)]);
        table->post();
    }
}

void save(QWidget* window, const QString& file)
{
    QTest::qWait(150);
    const bool saved = window->grab().save(file);
    g_ok &= saved;
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(file));
}

// Runs a main window command by its menu item, as the user would.
void trigger(QWidget* main, const char* item)
{
    if (auto* action = main->findChild<QAction*>(QLatin1String(item)); action && action->isEnabled())
        action->trigger();
    else
        std::printf("no menu item %s\n", item);
}

void click(QWidget* window, const char* button)
{
    if (auto* found = window->findChild<QAbstractButton*>(QLatin1String(button)))
        found->click();
    else
        std::printf("no button %s in %s\n", button, window->metaObject()->className());
}

// Waits for a window of class `className` to come up (a modal window runs its own event
// loop, so the caller opens it after this call), runs `inside` on it, saves it to `file`
// unless that is empty, and closes it. Gives up after ten seconds.
void whenShown(const char* className, const QString& file, std::function<void(QWidget*)> inside = {})
{
    auto* poll = new QTimer;
    poll->setInterval(50);
    auto* deadline = new QElapsedTimer;
    deadline->start();
    QObject::connect(poll, &QTimer::timeout, [=] {
        if (deadline->hasExpired(10000)) {
            std::printf("FAILED: no %s came up\n", className);
            g_ok = false;
            poll->stop();
            poll->deleteLater();
            return;
        }
        QWidget* window = QApplication::activeModalWidget();
        if (window && qEnvironmentVariableIsSet("SHOTS_TRACE"))
            std::printf("waiting for %s, %s is up\n", className, window->metaObject()->className());
        if (!window || qstrcmp(window->metaObject()->className(), className) != 0)
            return;
        poll->stop();
        poll->deleteLater();
        QTest::qWait(200);
        if (inside)
            inside(window);
        if (!file.isEmpty())
            save(window, file);
        if (auto* dialog = qobject_cast<QDialog*>(window))
            dialog->reject();
        else
            window->close();
    });
    poll->start();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(QApplication::style()->standardPalette());
    if (argc != 2) {
        std::fprintf(stderr, "usage: shelvano_help_screenshots OUT_DIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir scratch;
    const std::filesystem::path data = scratch.path().toStdString();
    writeBooks(data / "MASTER.DBF", 120);

    platform::ScriptedDialogs dialogs;
    dialogs.setThrowOnUnexpected(false);
    platform::FixedScreen screen(QSize(1280, 1024));
    ProgramWindows windows(dialogs, screen, platform::AppPaths{data, data / "config", {}}, false);
    TMain& main = windows.main;
    if (!main.startUp())
        return 1;
    main.resize(800, 560);
    main.show();

    whenShown("TMyEditBox", out + "/lists.png", [](QWidget* lists) { click(lists, "FillButton"); });
    trigger(&main, "MenuMaintainAuthor");
    whenShown("TSearchAndReplace", out + "/replace.png");
    trigger(&main, "MenuSearchReplace");
    whenShown("TColorConfig", out + "/colors.png");
    trigger(&main, "MenuColorAll");
    whenShown("TTipOfDay", out + "/tips.png");
    trigger(&main, "MenuTips");

    whenShown("TMyReport", QString(), [&](QWidget* reports) {
        whenShown("TUserReport", out + "/design.png", [&](QWidget* definition) {
            whenShown("TRepLayout", out + "/layout.png");
            click(definition, "SpecifyButton");
        });
        click(reports, "ModifyButton");
        whenShown("TMyPreview", out + "/preview.png", [](QWidget* preview) {
            preview->resize(640, 520);
            QTest::qWait(300);
        });
        // The status window waits for its OK once the report is made.
        whenShown("TReportForm", QString(), [](QWidget* status) {
            QTest::qWait(1500);
            click(status, "BitBtn1");
        });
        click(reports, "ViewButton");
    });
    main.DoReports();

    main.DoHelp();
    HelpWindow* help = main.helpWindow();
    auto* box = help->findChild<QLineEdit*>(QStringLiteral("SearchBox"));
    QTest::keyClicks(box, QStringLiteral("backup"));
    QTest::keyClick(box, Qt::Key_Return);
    save(help, out + "/helpsearch.png");
    // Not for the manual: two pages as the help window shows them, to look at.
    box->clear();
    help->showKeyword(QStringLiteral("Color Configuration"));
    save(help, out + "/check-colors-page.png");
    help->showContents();
    save(help, out + "/check-contents-page.png");
    return g_ok ? 0 : 1;
}
