#include "app/Application.h"
#include "app/Cli.h"
#include "app/CommandLine.h"
#include "app/ProgramWindows.h"
#include "platform/AppPaths.h"
#include "platform/QtDialogs.h"
#include "platform/Screen.h"

#include <QFile>
#include <QIcon>
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
    if (isCommandLineCommand(argc, argv))
        return runCommandLine(argc, argv);
    // Printing the usage needs no display.
    for (int i = 1; i < argc; ++i)
        if (qstrcmp(argv[i], "--help") == 0 || qstrcmp(argv[i], "-h") == 0 || qstrcmp(argv[i], "-?") == 0)
            qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    QApplication::setApplicationName(kAppTitle);
    QApplication::setApplicationDisplayName(QString());
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/shelvano.png")));
    // Lets the desktop match our windows to the installed launcher and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.shelvano.Books"));
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

    ProgramWindows windows(dialogs, screen, paths, options.browse);
    TMain& main = windows.main;

    try {
        if (!main.startUp())
            return main.exitCode();
    } catch (...) {
        showUncaughtError(dialogs, std::current_exception());
        return 1;
    }
    app.setErrorDialogs(&dialogs);
    // The tip of the day is for a person starting the program, not for a timed start or a picture.
    if (!options.exitAfterFirstPaint && options.screenshot.isEmpty())
        main.showTipAfterFirstShow();
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
