// shelvano_bench [--records N] [--dir DIR]
//
// Measures the book table on our dBase engine and the same work on SQLite,
// printing one line per figure with the target for ours. Each figure is
// measured twice and the second (warm page cache) is shown.
#include "BookGenerator.h"
#include "EngineBench.h"
#include "SqliteBench.h"

#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using bench::Contender;
using bench::Measurement;

enum class Unit { Seconds, Milliseconds };

struct Figure {
    const char* prefix; // the line's name is prefix + record count + suffix
    const char* suffix;
    Measurement (Contender::*run)();
    double target; // seconds, for our engine
    Unit unit = Unit::Seconds;
    bool showMatched = false;
    const char* sqliteNote = "";
};

const Figure kFigures[] = {
    {"append_", "_with_tag", &Contender::append, 1.5},
    {"build_tag_", "", &Contender::buildTag, 0.4},
    {"open_count_", "", &Contender::openCount, 0.1},
    {"first_40_in_tag_order_", "", &Contender::firstRows, 0.005, Unit::Milliseconds},
    {"filter_walk_River_", "", &Contender::filteredWalk, 0.3, Unit::Seconds, true},
    {"post_under_checkout_tag_", "_per_post", &Contender::postEdits, 0.005, Unit::Milliseconds},
    {"pack_", "_10pct_deleted", &Contender::pack, 1.5, Unit::Seconds, false, " (VACUUM)"},
};
constexpr int kFigureCount = static_cast<int>(std::size(kFigures));
constexpr double kMemoryTargetMb = 64;

struct Options {
    std::vector<std::uint32_t> sizes{10'000, 100'000};
    std::string directory; // empty: a fresh temporary one
};

std::string fixed(double value, int decimals)
{
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return ec == std::errc() ? std::string(buffer, end) : std::string("?");
}

// Shortest text that reads back as `value`: targets print as "1.5 s", not "1.500 s".
std::string shortest(double value)
{
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string("?");
}

std::string number(std::uint64_t value)
{
    char buffer[24];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

std::string padded(std::string text, std::size_t width)
{
    if (text.size() < width)
        text.append(width - text.size(), ' ');
    return text;
}

std::string timeText(double seconds, Unit unit)
{
    return unit == Unit::Milliseconds ? fixed(seconds * 1000, 2) + " ms" : fixed(seconds, 3) + " s";
}

void printLine(const std::string& line)
{
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

[[noreturn]] void usage(const char* problem)
{
    std::fprintf(stderr, "shelvano_bench: %s\nusage: shelvano_bench [--records N] [--dir DIR]\n", problem);
    std::exit(2);
}

Options parseOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--records" || arg == "--dir") && i + 1 >= argc)
            usage((arg + " needs a value").c_str());
        if (arg == "--records") {
            const std::string text = argv[++i];
            std::uint32_t n = 0;
            auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
            if (ec != std::errc() || end != text.data() + text.size() || n == 0)
                usage(("--records takes a positive whole number, not \"" + text + "\"").c_str());
            options.sizes = {n};
        } else if (arg == "--dir") {
            options.directory = argv[++i];
        } else {
            usage(("unknown argument \"" + arg + "\"").c_str());
        }
    }
    return options;
}

// Peak resident memory of one stretch of the run. The kernel's high-water mark
// can be reset (clear_refs 5), so the engine and SQLite are measured apart; when
// it cannot, every stretch reports the peak of the whole process so far.
class PeakMemory {
public:
    void restart()
    {
        if (std::FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
            m_split = std::fputs("5", f) >= 0;
            m_split = std::fclose(f) == 0 && m_split;
        }
    }
    // Megabytes since the last restart().
    double megabytes() const
    {
        if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
            char line[256];
            std::optional<double> kb;
            while (!kb && std::fgets(line, sizeof line, f)) {
                if (std::strncmp(line, "VmHWM:", 6) != 0)
                    continue;
                const char* p = line + 6;
                while (*p == ' ' || *p == '\t')
                    ++p;
                std::uint64_t value = 0;
                if (std::from_chars(p, line + std::strlen(line), value).ec == std::errc())
                    kb = static_cast<double>(value);
            }
            std::fclose(f);
            if (kb)
                return *kb / 1024;
        }
        return processMegabytes();
    }
    bool split() const { return m_split; }
    static double processMegabytes()
    {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return static_cast<double>(usage.ru_maxrss) / 1024; // Linux counts in KiB
    }

private:
    bool m_split = false;
};

std::vector<Measurement> runAll(Contender& contender)
{
    std::vector<Measurement> results;
    for (const Figure& figure : kFigures) {
        (contender.*figure.run)(); // cold: fills the page cache
        results.push_back((contender.*figure.run)());
    }
    return results;
}

std::string figureLine(const Figure& figure, std::uint32_t records, const Measurement& ours,
                       const Measurement& sqlite)
{
    std::string line = padded(figure.prefix + number(records) + figure.suffix, 42);
    std::string oursText = "ours " + timeText(ours.seconds, figure.unit);
    std::string sqliteText = "sqlite " + timeText(sqlite.seconds, figure.unit) + figure.sqliteNote;
    if (figure.showMatched) {
        oursText += " (" + number(ours.matched) + " matched)";
        sqliteText += " (" + number(sqlite.matched) + " matched)";
    }
    line += padded(oursText, 30) + padded(sqliteText, 36);
    const double target = figure.unit == Unit::Milliseconds ? figure.target * 1000 : figure.target;
    line += "(target <= " + shortest(target) + (figure.unit == Unit::Milliseconds ? " ms)" : " s)");
    if (ours.seconds > figure.target)
        line += "   OVER TARGET";
    return line;
}

std::string memoryLine(double oursMb, double sqliteMb, bool split)
{
    const double process = std::max({oursMb, sqliteMb, PeakMemory::processMegabytes()});
    std::string line = padded("peak_rss", 42);
    if (split) {
        line += padded("ours " + fixed(oursMb, 1) + " MB", 30);
        line += padded("sqlite " + fixed(sqliteMb, 1) + " MB", 36);
    }
    line += "process " + fixed(process, 1) + " MB (target <= " + fixed(kMemoryTargetMb, 0) +
            " MB; includes SQLite's cache_size=-8000, about 8 MB)";
    if (process > kMemoryTargetMb)
        line += "   OVER TARGET";
    return line;
}

// The first three fields of /proc/loadavg: other work on the machine skews every figure.
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

void run(const Options& options, const std::string& directory)
{
    printLine("# work directory " + directory + "; each figure measured twice, the second shown");
    printLine("# load average " + loadAverage() + " on " + number(std::thread::hardware_concurrency()) +
              " cores at the start");
    printLine("# " + bench::SqliteBench::settings());
    const bench::BookGenerator generator;
    PeakMemory peak;
    double oursMb = 0, sqliteMb = 0;
    for (std::uint32_t records : options.sizes) {
        bench::EngineBench ours(directory, records, generator);
        bench::SqliteBench sqlite(directory, records, generator);
        peak.restart();
        const std::vector<Measurement> oursResults = runAll(ours);
        oursMb = std::max(oursMb, peak.megabytes());
        peak.restart();
        const std::vector<Measurement> sqliteResults = runAll(sqlite);
        sqliteMb = std::max(sqliteMb, peak.megabytes());
        for (int i = 0; i < kFigureCount; ++i)
            printLine(figureLine(kFigures[i], records, oursResults[i], sqliteResults[i]));
    }
    printLine(memoryLine(oursMb, sqliteMb, peak.split()));
}

} // namespace

int main(int argc, char** argv)
{
    const Options options = parseOptions(argc, argv);
    std::string directory = options.directory;
    const bool temporary = directory.empty();
    if (temporary) {
        char pattern[] = "/tmp/shelvano-bench-XXXXXX";
        if (!::mkdtemp(pattern)) {
            std::fprintf(stderr, "shelvano_bench: cannot create a directory under /tmp: %s\n",
                         std::strerror(errno));
            return 1;
        }
        directory = pattern;
    } else {
        std::filesystem::create_directories(directory);
    }
    int status = 0;
    try {
        run(options, directory);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "shelvano_bench: %s\n", e.what());
        status = 1;
    }
    if (temporary)
        std::filesystem::remove_all(directory);
    return status;
}
