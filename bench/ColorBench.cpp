// shelvano_color_bench [--records N] [--dir DIR]
//
// Colour schemes and the tip of the day, in the real windows: a scheme applied to the
// record edit window and to the main window, Ok of the colour configuration window for
// all windows up to the main window repainted, and the tip window from its creation to
// its first paint. The main window shows a generated book table. Runs offscreen.
#include "BenchSupport.h"

#include "app/ProgramWindows.h"
#include "app/TColorConfig.h"
#include "app/TTipOfDay.h"
#include "platform/ProfileFile.h"
#include "platform/Screen.h"
#include "platform/ScriptedDialogs.h"
#include "settings/ColorScheme.h"
#include "settings/WindowLook.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using bench::Clock;

const char* const kProgram = "shelvano_color_bench";
constexpr int kRuns = 21;
constexpr int kMidnightBlack = 3;

void report(const std::string& name, const std::vector<double>& seconds, double target)
{
    const double median = bench::median(seconds);
    bench::printFigure(name,
                       "median " + bench::millisecondsText(median) + ", worst " +
                           bench::millisecondsText(bench::worst(seconds)),
                       bench::shortest(target * 1000) + " ms", median > target);
}

// Seconds of kRuns runs of `work` after one that warms the caches; each run is handed its number.
std::vector<double> measure(const std::function<void(int)>& work)
{
    std::vector<double> seconds;
    for (int run = -1; run < kRuns; ++run) {
        const Clock::time_point start = Clock::now();
        work(run);
        if (run >= 0)
            seconds.push_back(bench::secondsSince(start));
    }
    return seconds;
}

// Alternates two schemes, so every run really changes the colours.
settings::ColorScheme schemeFor(int run)
{
    settings::ColorScheme scheme = settings::defaultColorScheme();
    if (run % 2 != 0)
        settings::applyColorSet(scheme, kMidnightBlack);
    return scheme;
}

// The time from Ok of the colour window for all windows to the main window repainted.
// `cpu` gets the processor time of each run: on a loaded machine the wait for a processor
// is in the wall-clock time only.
std::vector<double> okForAllWindows(TMain& main, std::vector<double>& cpu)
{
    std::vector<double> seconds;
    for (int run = -1; run < kRuns; ++run) {
        Clock::time_point start;
        double cpuStart = 0;
        QTimer::singleShot(0, [&] {
            auto* window = qobject_cast<TColorConfig*>(QApplication::activeModalWidget());
            bench::check(window != nullptr, "the colour configuration window is open");
            emit window->ColorSets->activated(run % 2 ? kMidnightBlack : 2);
            start = Clock::now();
            cpuStart = bench::cpuSecondsNow();
            window->Ok->click();
        });
        main.DoColor(6);
        main.repaint();
        if (run >= 0) {
            seconds.push_back(bench::secondsSince(start));
            cpu.push_back(bench::cpuSecondsNow() - cpuStart);
        }
    }
    return seconds;
}

// From the window's creation to its first paint.
class FirstPaint : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* event) override
    {
        painted = painted || event->type() == QEvent::Paint;
        return false;
    }
};

std::vector<double> tipShown(const QSize& screen)
{
    return measure([&](int run) {
        bool showTips = true;
        TTipOfDay window(showTips, run < 0 ? 1 : run % TTipOfDay::kTipCount + 1, 1.0, screen);
        FirstPaint paint;
        window.installEventFilter(&paint);
        window.show();
        while (!paint.painted)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        window.close();
    });
}

void run(const fs::path& data)
{
    platform::ScriptedDialogs dialogs;
    platform::FixedScreen screen({1280, 1024});
    platform::ProfileFile profile;
    profile.setValue("Misc", "Last Database", QString::fromStdString((data / "BOOKS.DBF").string()));
    profile.setValue("Misc", "Show Tips", "No");
    fs::create_directories(data / "config");
    profile.save(data / "config" / "SHVBOOK.INI");
    ProgramWindows windows(dialogs, screen, platform::AppPaths{data, data / "config", {}}, false);
    bench::check(windows.main.startUp(), "the program starts");
    windows.main.show();
    while (!windows.main.windowHandle() || !windows.main.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();

    // The edit window holds the most controls of any window.
    windows.edit.show();
    QCoreApplication::processEvents();
    report("scheme applied to the edit window",
           measure([&](int run) { settings::applyColorScheme(&windows.edit, schemeFor(run)); }), 5e-3);
    windows.edit.hide();
    report("scheme applied to the main window", measure([&](int run) {
               windows.main.settings().scheme(settings::WindowGroup::Main) = schemeFor(run);
               windows.main.SetColors();
           }),
           5e-3);
    std::vector<double> cpu;
    report("Ok for all windows, main window repainted", okForAllWindows(windows.main, cpu), 20e-3);
    report("  the same in processor time", cpu, 20e-3);
    report("tip window shown", tipShown(screen.size()), 50e-3);
}

} // namespace

int main(int argc, char** argv)
{
    const bench::Options options = bench::parseOptions(argc, argv, {kProgram, 100'000, 100, {}});
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(settings::lightPalette());

    return bench::runReportingErrors(kProgram, [&] {
        const bench::WorkDirectory directory(options.directory, kProgram);
        const Clock::time_point made = Clock::now();
        bench::writeBooks(directory.path() / "BOOKS.DBF", options.records);
        std::printf("# %u books written in %.2f s\n", options.records, bench::secondsSince(made));
        std::printf("%s\n", bench::loadAverageLine().c_str());
        run(directory.path());
    });
}
