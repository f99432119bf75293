// shelvano_shell_bench [--records N] [--dir DIR] [--program PATH]
//
// Measures the main window on generated book databases: the program's start to
// its first painted grid, a switch to another database, a screenful at any
// position, a post under a filter, and peak memory. One line per figure with
// its target. The page cache is warm: every figure is run once before it is timed.
#include "BookGenerator.h"
#include "ShellBench.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;
using bench::Samples;

constexpr int kRuns = 5;
constexpr int kScreenfuls = 20;
constexpr int kPosts = 20;
constexpr double kStartTarget = 0.5;      // seconds
constexpr double kOpenTarget = 1.0;       // seconds
constexpr double kScreenfulTarget = 5e-3; // seconds
constexpr double kPostTarget = 20e-3;     // seconds
constexpr double kMemoryTargetMb = 150;
constexpr std::uint64_t kOtherSeed = 0x0DDB'A115'EED0'0002ULL;

struct Options {
    std::uint32_t records = 100'000;
    std::string directory; // empty: a fresh temporary one
    std::string program;   // empty: the shelvano next to this executable
};

std::string fixed(double value, int decimals)
{
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return ec == std::errc() ? std::string(buffer, end) : std::string("?");
}

std::string seconds(double value)
{
    return fixed(value, 3) + " s";
}

std::string milliseconds(double value)
{
    return fixed(value * 1000, 2) + " ms";
}

std::string padded(std::string text, std::size_t width)
{
    if (text.size() < width)
        text.append(width - text.size(), ' ');
    return text;
}

void printLine(const std::string& line)
{
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// name, our figure, target, verdict: the layout of shelvano_bench's lines.
void printFigure(const std::string& name, const std::string& ours, const std::string& target, bool over)
{
    printLine(padded(name, 42) + padded(ours, 60) + "(target <= " + target + ")   " + (over ? "OVER" : "ok"));
}

[[noreturn]] void usage(const char* problem)
{
    std::fprintf(stderr,
                 "shelvano_shell_bench: %s\n"
                 "usage: shelvano_shell_bench [--records N] [--dir DIR] [--program PATH]\n",
                 problem);
    std::exit(2);
}

Options parseOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg != "--records" && arg != "--dir" && arg != "--program")
            usage(("unknown argument \"" + arg + "\"").c_str());
        if (i + 1 >= argc)
            usage((arg + " needs a value").c_str());
        const std::string value = argv[++i];
        if (arg == "--records") {
            std::uint32_t n = 0;
            auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
            // The figures need a grid that scrolls and a filter that leaves rows.
            if (ec != std::errc() || end != value.data() + value.size() || n < 1000)
                usage(("--records takes a whole number of at least 1000, not \"" + value + "\"").c_str());
            options.records = n;
        } else if (arg == "--dir") {
            options.directory = value;
        } else {
            options.program = value;
        }
    }
    return options;
}

std::string defaultProgram()
{
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error)
        return "shelvano";
    return (self.parent_path() / "shelvano").string();
}

std::string loadAverage()
{
    std::string text;
    if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
        char line[128] = {};
        if (std::fgets(line, sizeof line, f))
            text = line;
        std::fclose(f);
    }
    std::size_t end = 0;
    for (int field = 0; field < 3 && end != std::string::npos; ++field)
        end = text.find(' ', end ? end + 1 : 0);
    return text.substr(0, end);
}

// The peak resident size of this process in megabytes (VmHWM).
double peakResidentMegabytes()
{
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (!f)
        throw std::runtime_error(std::string("cannot read /proc/self/status: ") + std::strerror(errno));
    char line[256];
    double megabytes = -1;
    while (megabytes < 0 && std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, "VmHWM:", 6) != 0)
            continue;
        const char* p = line + 6;
        while (*p == ' ' || *p == '\t')
            ++p;
        std::uint64_t kb = 0;
        if (std::from_chars(p, line + std::strlen(line), kb).ec == std::errc())
            megabytes = static_cast<double>(kb) / 1024;
    }
    std::fclose(f);
    if (megabytes < 0)
        throw std::runtime_error("/proc/self/status has no VmHWM line");
    return megabytes;
}

// Starts the peak over from the present size; false when the kernel does not allow it.
bool resetPeakResident()
{
    std::FILE* f = std::fopen("/proc/self/clear_refs", "w");
    if (!f)
        return false;
    const bool written = std::fputs("5", f) >= 0;
    return std::fclose(f) == 0 && written;
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
                "median " + seconds(s.median()) + " (min " + seconds(s.best()) + ", max " +
                    seconds(s.worst()) + ")",
                "0.5 s, median of " + std::to_string(s.size()), s.median() > kStartTarget);
}

void printOpens(const std::string& n, const bench::MainWindowBench::Opens& opens)
{
    const Samples& s = opens.total;
    printFigure("open_other_database_" + n,
                "median " + seconds(s.median()) + " (min " + seconds(s.best()) + ", max " +
                    seconds(s.worst()) + ")",
                "1 s, median of " + std::to_string(s.size()), s.median() > kOpenTarget);
    printLine("#   of which the switch itself (tag build, walk, reset) " + seconds(opens.opening.median()) +
              ", the grid's paint " + seconds(s.median() - opens.opening.median()) + " (medians)");
}

void printScreenfuls(const std::string& n, const bench::MainWindowBench::Screenfuls& screenfuls)
{
    const Samples& s = screenfuls.jumps;
    printFigure("screenful_at_any_position_" + n,
                "worst " + milliseconds(s.worst()) + ", p95 " + milliseconds(s.percentile(0.95)) +
                    ", median " + milliseconds(s.median()),
                "5 ms, worst of " + std::to_string(s.size()), s.worst() > kScreenfulTarget);
    printLine("#   the same screenful painted again from the model's cache: median " +
              milliseconds(screenfuls.repaints.median()) + ", worst " +
              milliseconds(screenfuls.repaints.worst()));
}

void printPosts(const bench::MainWindowBench::Posts& posts)
{
    const Samples& s = posts.seconds;
    printFigure("post_and_count_" + std::to_string(posts.rows) + "_rows",
                "median " + milliseconds(s.median()) + ", worst " + milliseconds(s.worst()),
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

void run(const Options& options, const fs::path& directory, char* argv0)
{
    const std::string n = std::to_string(options.records);
    printLine("# work directory " + directory.string() + "; program " + options.program);
    printLine("# load average " + loadAverage() + " on " +
              std::to_string(std::thread::hardware_concurrency()) + " cores at the start");

    const auto made = std::chrono::steady_clock::now();
    const bench::ShellFiles files = bench::makeShellFiles(directory, options.records, bench::BookGenerator(),
                                                          bench::BookGenerator(kOtherSeed));
    printLine("# made three databases of " + n + " books in " +
              seconds(std::chrono::duration<double>(std::chrono::steady_clock::now() - made).count()) +
              "; main window 1024 x 768");

    Memory memory;
    const bench::ProgramStarts starts =
        bench::timeProgramStarts(options.program, files, kRuns, directory / "program-stderr.log");
    memory.programMb = starts.peakMegabytes;
    printStart(n, starts);

    memory.split = resetPeakResident();
    int qtArgc = 1;
    char* qtArgv[] = {argv0, nullptr};
    QApplication app(qtArgc, qtArgv);
    // As the program itself draws.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(QApplication::style()->standardPalette());

    bench::MainWindowBench window(files);
    window.start();
    memory.firstPaintMb = peakResidentMegabytes();
    checkRows(window, options.records, "after start-up");
    printOpens(n, window.openOthers(kRuns));
    checkRows(window, options.records, "after the switch");
    printScreenfuls(n, window.screenfuls(kScreenfuls, kScreenfuls));
    printPosts(window.postsUnderFilter(kPosts));
    memory.inProcessMb = peakResidentMegabytes();
    printMemory(n, memory);
}

} // namespace

int main(int argc, char** argv)
{
    Options options = parseOptions(argc, argv);
    if (options.program.empty())
        options.program = defaultProgram();
    qputenv("QT_QPA_PLATFORM", "offscreen");

    std::string directory = options.directory;
    const bool temporary = directory.empty();
    if (temporary) {
        char pattern[] = "/tmp/shelvano-shell-bench-XXXXXX";
        if (!::mkdtemp(pattern)) {
            std::fprintf(stderr, "shelvano_shell_bench: cannot create a directory under /tmp: %s\n",
                         std::strerror(errno));
            return 1;
        }
        directory = pattern;
    } else {
        fs::create_directories(directory);
    }
    int status = 0;
    try {
        run(options, fs::absolute(directory), argv[0]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "shelvano_shell_bench: %s\n", e.what());
        status = 1;
    }
    if (temporary)
        fs::remove_all(directory);
    return status;
}
