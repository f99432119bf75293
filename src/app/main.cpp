#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/TMain.h"
#include "edit/TMyEdit.h"
#include "platform/AppPaths.h"
#include "platform/QtDialogs.h"
#include "platform/Screen.h"
#include "reports/TMyReport.h"
#include "search/TMySearch.h"

#include <QFile>
#include <QStyle>
#include <QStyleFactory>
#include <QTableView>
#include <QTimer>

#include <cstdio>
#include <exception>
#include <memory>

namespace {

const QString kAppTitle = QStringLiteral("Shelvano Books 95");

// Saves the shown main window to `file` once it has painted, then ends the program.
void saveScreenshotAndQuit(QWidget* window, const QString& file)
{
    QTimer::singleShot(200, window, [window, file] {
        bool saved = window->grab().save(file);
        QApplication::exit(saved ? 0 : 1);
    });
}

// Ends the program once the viewer grid has painted its rows, for the start-up benchmark.
class FirstPaintWatch : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            QTimer::singleShot(0, [] {
                std::fputs("painted\n", stdout);
                std::fflush(stdout);
                QApplication::exit(0);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_seen = false;
};

} // namespace

int main(int argc, char** argv)
{
    Application app(argc, argv);
    QApplication::setApplicationName(kAppTitle);
    QApplication::setApplicationDisplayName(QString());
    // The colour schemes assume a light Windows look, whatever the desktop theme.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(QApplication::style()->standardPalette());

    CommandLine options = parseCommandLine(QApplication::arguments());
    platform::QtDialogs dialogs;
    platform::PrimaryScreen screen;

    platform::AppPaths paths;
    try {
        paths = platform::resolveAppPaths(options.paths);
        platform::ensureDirectory(paths.dataDir);
    } catch (const std::exception& error) {
        dialogs.message(QStringLiteral("Error"), QString::fromUtf8(error.what()), platform::Button::Ok,
                        platform::Button::Ok, platform::Icon::Error);
        return 1;
    }

    // The four windows that live for the whole run, in this order.
    TMain main(dialogs, screen, paths, options.browse);
    TMyEdit edit(TMyEdit::Services{
                     .dialogs = dialogs,
                     .table = main.bookTable(),
                     .settings = main.settings(),
                     .dates = main.dateFormat(),
                     .numbers = main.numberText(),
                     .pickLists = main.pickLists(),
                     .fonts = main.fonts(),
                     .screen = screen,
                     .scaleFactor = [&main] { return main.scaleFactor(); },
                     .editMode = [&main] { return main.editMode(); },
                     .setEditMode = [&main](int mode) { main.setEditMode(mode); },
                     .browse = main.browseMode(),
                     .showHelp = [&main](const QString& keyword) { main.showHelp(keyword); },
                     .displayCount = [&main] { main.DisplayCount(); },
                 },
                 &main);
    TMyReport report(&main);
    TMySearch search(search::SearchServices{
                         .dialogs = dialogs,
                         .table = main.bookTable(),
                         .settings = main.settings(),
                         .dates = main.dateFormat(),
                         .fonts = main.fonts(),
                         .screen = screen,
                         .scaleFactor = [&main] { return main.scaleFactor(); },
                         .pickList = [&main](int list) { return main.pickLists().entries(list); },
                         .searchOn = [&main] { return main.searchOn(); },
                         .enableEndSearch = [&main] { main.EnableEndSearch(); },
                         .endSearch = [&main] { main.DoEndSearch(); },
                         .showHelp = [&main](const QString& keyword) { main.showHelp(keyword); },
                     },
                     &main);
    main.setWindows(&edit, &report, &search);

    try {
        if (!main.startUp())
            return main.exitCode();
    } catch (...) {
        showUncaughtError(dialogs, std::current_exception());
        return 1;
    }
    app.setErrorDialogs(&dialogs);
    main.show();
    FirstPaintWatch firstPaint;
    if (options.exitAfterFirstPaint)
        main.findChild<QTableView*>(QStringLiteral("ViewerGrid"))
            ->viewport()
            ->installEventFilter(&firstPaint);
    if (!options.screenshot.isEmpty())
        saveScreenshotAndQuit(&main, options.screenshot);
    const int code = QApplication::exec();
    app.setErrorDialogs(nullptr);
    return code;
}
