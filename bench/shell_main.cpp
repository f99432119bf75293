// shelvano_shell_bench [--records N] [--dir DIR] [--program PATH]
//
// Measures the main window on generated book databases: the program's start to
// its first painted grid, a switch to another database, a screenful at any
// position, a post under a filter, and peak memory. One line per figure with
// its target. The page cache is warm: every figure is run once before it is timed.
#include "BenchSupport.h"
#include "ShellBench.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace {

namespace fs = std::filesystem;
using bench::fixed;
using bench::millisecondsText;
using bench::printFigure;
using bench::printLine;
using bench::Samples;
using bench::secondsText;
using bench::shortest;

const char* const kProgram = "shelvano_shell_bench";
constexpr int kRuns = 5;
constexpr int kScreenfuls = 20;
constexpr int kPosts = 20;
constexpr double kStartTarget = 0.3;      // seconds
constexpr double kOpenTarget = 1.0;       // seconds
constexpr double kScreenfulTarget = 3e-3; // seconds
constexpr double kPostTarget = 20e-3;     // seconds
constexpr double kMemoryTargetMb = 150;
constexpr double kStartMemoryTargetMb = 80;
constexpr std::uint64_t kOtherSeed = 0x0DDB'A115'EED0'0002ULL;

std::string defaultProgram()
{
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error)
        return "shelvano";
    return (self.parent_path() / "shelvano").string();
}

// The peak resident size of this process in megabytes.
double peakMegabytes()
{
    const std::optional<double> megabytes = bench::peakResidentMegabytes();
    if (!megabytes)
        throw std::runtime_error("/proc/self/status gives no peak resident size (VmHWM)");
    return *megabytes;
}

struct Memory {
    double programMb = 0;
    double firstPaintMb = 0;
    double inProcessMb = 0;
    bool split = false; // the in-process peak leaves out the making of the databases
};

void printStart(const std::string& n, const bench::ProgramStarts& starts)
{
    const Samples& s = starts.seconds;
    printFigure("start_to_first_paint_" + n,
                "median " + secondsText(s.median()) + " (min " + secondsText(s.best()) + ", max " +
                    secondsText(s.worst()) + ")",
                shortest(kStartTarget) + " s, median of " + std::to_string(s.size()),
                s.median() > kStartTarget);
    printFigure("start_to_first_paint_memory_" + n, "program peak " + fixed(starts.peakMegabytes, 1) + " MB",
                shortest(kStartMemoryTargetMb) + " MB, largest of " + std::to_string(s.size()),
                starts.peakMegabytes > kStartMemoryTargetMb);
}

void printOpens(const std::string& n, const bench::MainWindowBench::Opens& opens)
{
    const Samples& s = opens.total;
    printFigure("open_other_database_" + n,
                "median " + secondsText(s.median()) + " (min " + secondsText(s.best()) + ", max " +
                    secondsText(s.worst()) + ")",
                "1 s, median of " + std::to_string(s.size()), s.median() > kOpenTarget);
    printLine("#   of which the switch itself (tag build, walk, reset) " +
              secondsText(opens.opening.median()) + ", the grid's paint " +
              secondsText(s.median() - opens.opening.median()) + " (medians)");
}

void printScreenfuls(const std::string& n, const bench::MainWindowBench::Screenfuls& screenfuls)
{
    const Samples& s = screenfuls.jumps;
    printFigure("screenful_at_any_position_" + n,
                "worst " + millisecondsText(s.worst()) + ", p95 " + millisecondsText(s.percentile(0.95)) +
                    ", median " + millisecondsText(s.median()),
                shortest(kScreenfulTarget * 1000) + " ms, worst of " + std::to_string(s.size()),
                s.worst() > kScreenfulTarget);
    printLine("#   processor time of a jump: median " + millisecondsText(screenfuls.jumpsCpu.median()) +
              ", worst " + millisecondsText(screenfuls.jumpsCpu.worst()));
    printLine("#   the same screenful painted again from the model's cache: median " +
              millisecondsText(screenfuls.repaints.median()) + ", worst " +
              millisecondsText(screenfuls.repaints.worst()) + "; processor time median " +
              millisecondsText(screenfuls.repaintsCpu.median()) + ", worst " +
              millisecondsText(screenfuls.repaintsCpu.worst()));
}

void printPosts(const bench::MainWindowBench::Posts& posts)
{
    const Samples& s = posts.seconds;
    printFigure("post_and_count_" + std::to_string(posts.rows) + "_rows",
                "median " + millisecondsText(s.median()) + ", worst " + millisecondsText(s.worst()),
                "20 ms, worst of " + std::to_string(s.size()), s.worst() > kPostTarget);
}

void printMemory(const std::string& n, const Memory& m)
{
    const double peak = std::max({m.programMb, m.firstPaintMb, m.inProcessMb});
    printFigure("peak_memory_" + n,
                "program " + fixed(m.programMb, 1) + " MB; here " + fixed(m.firstPaintMb, 1) +
                    " MB at paint, " + fixed(m.inProcessMb, 1) + " MB at end",
                "150 MB, largest", peak > kMemoryTargetMb);
    if (!m.split)
        printLine("#   the in-process peak includes making the databases: the kernel would not reset it");
}

void checkRows(const bench::MainWindowBench& window, std::uint32_t records, const char* when)
{
    if (window.rowCount() != static_cast<int>(records))
        throw std::runtime_error("the grid shows " + std::to_string(window.rowCount()) + " books " + when +
                                 ", not " + std::to_string(records));
}

void run(std::uint32_t records, const std::string& program, const fs::path& directory, char* argv0)
{
    const std::string n = std::to_string(records);
    printLine("# work directory " + directory.string() + "; program " + program);
    printLine(bench::loadAverageLine());

    const bench::Clock::time_point made = bench::Clock::now();
    const bench::ShellFiles files =
        bench::makeShellFiles(directory, records, bench::BookGenerator(), bench::BookGenerator(kOtherSeed));
    printLine("# made three databases of " + n + " books in " + secondsText(bench::secondsSince(made)) +
              "; main window 1024 x 768");

    Memory memory;
    const bench::ProgramStarts starts =
        bench::timeProgramStarts(program, files, kRuns, directory / "program-stderr.log");
    memory.programMb = starts.peakMegabytes;
    printStart(n, starts);

    memory.split = bench::resetPeakResident();
    int qtArgc = 1;
    char* qtArgv[] = {argv0, nullptr};
    QApplication app(qtArgc, qtArgv);
    // As the program itself draws.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(QApplication::style()->standardPalette());

    bench::MainWindowBench window(files);
    const bench::MainWindowBench::StartTimes started = window.start();
    memory.firstPaintMb = peakMegabytes();
    printLine("# in this process: the grid painted " + secondsText(started.paint) +
              " after the window was made, the whole row map there " + secondsText(started.wholeMap));
    checkRows(window, records, "after start-up");
    printOpens(n, window.openOthers(kRuns));
    checkRows(window, records, "after the switch");
    printScreenfuls(n, window.screenfuls(kScreenfuls, kScreenfuls));
    printPosts(window.postsUnderFilter(kPosts));
    memory.inProcessMb = peakMegabytes();
    printMemory(n, memory);
}

} // namespace

int main(int argc, char** argv)
{
    // The figures need a grid that scrolls and a filter that leaves rows.
    const bench::Options options =
        bench::parseOptions(argc, argv, {kProgram, 100'000, 1000, {{"--program", "PATH"}}});
    const auto given = options.extras.find("--program");
    const std::string program = given != options.extras.end() ? given->second : defaultProgram();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return bench::runReportingErrors(kProgram, [&] {
        const bench::WorkDirectory directory(options.directory, kProgram);
        run(options.records, program, fs::absolute(directory.path()), argv[0]);
    });
}
