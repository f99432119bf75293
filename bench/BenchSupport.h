#pragma once

// What the benchmark programs share: their command line, their work directory,
// the generated book table, the statistics of repeated runs and the layout of
// their lines.

#include "BookGenerator.h"
#include "dbase/Table.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor seconds this process has used: on a machine shared with other work, the
// difference over a run is what the wall-clock time would be without the wait for a processor.
inline double cpuSecondsNow()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The same for the calling thread alone: work done in one thread, such as painting.
inline double threadCpuSecondsNow()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// ------------------------------------------------------------------ command line

// What a program takes besides --records N and --dir DIR.
struct CommandLine {
    std::string program;             // the name in messages
    std::uint32_t records = 100'000; // when --records is not given
    std::uint32_t minimumRecords = 1;
    std::vector<std::pair<std::string, std::string>>
        extras; // further options with a value: {"--program", "PATH"}
};

struct Options {
    std::uint32_t records = 0;
    bool recordsGiven = false;
    std::string directory;                     // empty: a fresh temporary one
    std::map<std::string, std::string> extras; // the extra options given, by name
};

[[noreturn]] inline void usage(const CommandLine& line, const std::string& problem)
{
    std::string synopsis = line.program + " [--records N] [--dir DIR]";
    for (const auto& [name, value] : line.extras)
        synopsis += " [" + name + " " + value + "]";
    std::fprintf(stderr, "%s: %s\nusage: %s\n", line.program.c_str(), problem.c_str(), synopsis.c_str());
    std::exit(2);
}

// Every option takes a value; a problem ends the program through usage(), with status 2.
inline Options parseOptions(int argc, char** argv, const CommandLine& line)
{
    const auto isExtra = [&](const std::string& arg) {
        return std::any_of(line.extras.begin(), line.extras.end(),
                           [&](const auto& extra) { return extra.first == arg; });
    };
    Options options;
    options.records = line.records;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg != "--records" && arg != "--dir" && !isExtra(arg))
            usage(line, "unknown argument \"" + arg + "\"");
        if (i + 1 >= argc)
            usage(line, arg + " needs a value");
        const std::string value = argv[++i];
        if (arg == "--records") {
            auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), options.records);
            if (ec != std::errc() || end != value.data() + value.size() ||
                options.records < line.minimumRecords)
                usage(line, "--records takes a whole number of at least " +
                                std::to_string(line.minimumRecords) + ", not \"" + value + "\"");
            options.recordsGiven = true;
        } else if (arg == "--dir") {
            options.directory = value;
        } else {
            options.extras[arg] = value;
        }
    }
    return options;
}

// Runs a program's work and gives its exit status: 0, or 1 after printing
// "program: reason" for an exception that escapes.
inline int runReportingErrors(const std::string& program, const std::function<void()>& work)
{
    try {
        work();
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), error.what());
        return 1;
    }
}

inline void check(bool condition, const char* what)
{
    if (!condition)
        throw std::runtime_error(std::string("Benchmark check failed: ") + what);
}

// ------------------------------------------------------------------ files

// The directory a program writes its files in: the one given, made when missing,
// or a fresh one under /tmp named after the program and removed with this object.
// Throws std::runtime_error or std::filesystem::filesystem_error when it cannot be made.
class WorkDirectory {
public:
    WorkDirectory(const std::string& given, const std::string& program)
        : m_path(given), m_program(program), m_temporary(given.empty())
    {
        if (!m_temporary) {
            std::filesystem::create_directories(m_path);
            return;
        }
        std::string prefix = program;
        std::replace(prefix.begin(), prefix.end(), '_', '-');
        std::string pattern = "/tmp/" + prefix + "-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error(std::string("cannot create a directory under /tmp: ") +
                                     std::strerror(errno));
        m_path = pattern;
    }
    // A directory that cannot be removed is only reported: the figures are already out.
    ~WorkDirectory()
    {
        if (!m_temporary)
            return;
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
        if (error)
            std::fprintf(stderr, "%s: cannot remove %s: %s\n", m_program.c_str(), m_path.c_str(),
                         error.message().c_str());
    }
    WorkDirectory(const WorkDirectory&) = delete;
    WorkDirectory& operator=(const WorkDirectory&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
    std::string m_program;
    bool m_temporary;
};

// Writes `records` books of `generator` into a new table at `path`, replacing a
// table and index an earlier run left there. Gives the table still open
// exclusively, for a tag; it closes when the result is dropped.
inline std::unique_ptr<dbase::Table> writeBooks(const std::filesystem::path& path, std::uint32_t records,
                                                const BookGenerator& generator = BookGenerator())
{
    constexpr std::uint32_t kBatch = 1024;
    std::filesystem::path index = path;
    std::filesystem::remove(index.replace_extension(".MDX"));
    dbase::Table::create(path.string(), db::bookFieldSpecs());
    auto table = dbase::Table::open(path.string(), dbase::Access::Exclusive);
    std::vector<BookRecord> batch;
    table->beginBatch();
    for (std::uint32_t first = 0; first < records; first += kBatch) {
        batch.resize(std::min(kBatch, records - first));
        generator.generate(first, batch);
        for (const BookRecord& book : batch) {
            table->append();
            for (int field = 0; field < db::kBookFieldCount; ++field)
                table->setText(field, book[static_cast<std::size_t>(field)]);
            table->post();
        }
    }
    table->endBatch();
    return table;
}

// The order the main window makes for its default sort, by author.
inline constexpr const char* kAuthorOrderExpression = "Upper(Left(Author,80))";

// ------------------------------------------------------------------ statistics

// Of the seconds of repeated runs; 0 when there are none.
inline double median(std::vector<double> seconds)
{
    if (seconds.empty())
        return 0;
    std::sort(seconds.begin(), seconds.end());
    const std::size_t n = seconds.size();
    return n % 2 ? seconds[n / 2] : (seconds[n / 2 - 1] + seconds[n / 2]) / 2;
}

// Nearest rank; `fraction` in (0, 1].
inline double percentile(std::vector<double> seconds, double fraction)
{
    if (seconds.empty())
        return 0;
    std::sort(seconds.begin(), seconds.end());
    const auto rank = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(seconds.size())));
    return seconds[std::clamp<std::size_t>(rank, 1, seconds.size()) - 1];
}

inline double worst(const std::vector<double>& seconds)
{
    return seconds.empty() ? 0 : *std::max_element(seconds.begin(), seconds.end());
}

inline double best(const std::vector<double>& seconds)
{
    return seconds.empty() ? 0 : *std::min_element(seconds.begin(), seconds.end());
}

// ------------------------------------------------------------------ memory

// A size line of /proc/PID/status ("VmHWM:", "VmRSS:") in megabytes; nothing when the
// file or the line is missing, as when the process has ended.
inline std::optional<double> statusMegabytes(const char* field, const std::string& process = "self")
{
    std::FILE* f = std::fopen(("/proc/" + process + "/status").c_str(), "r");
    if (!f)
        return std::nullopt;
    char line[256];
    const std::size_t length = std::strlen(field);
    std::optional<double> megabytes;
    while (!megabytes && std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, field, length) != 0)
            continue;
        const char* p = line + length;
        while (*p == ' ' || *p == '\t')
            ++p;
        std::uint64_t kb = 0;
        if (std::from_chars(p, line + std::strlen(line), kb).ec == std::errc())
            megabytes = static_cast<double>(kb) / 1024;
    }
    std::fclose(f);
    return megabytes;
}

// The peak resident size of this process in megabytes (VmHWM); nothing when /proc does not tell.
inline std::optional<double> peakResidentMegabytes()
{
    return statusMegabytes("VmHWM:");
}

// Starts the peak over from the present size; false when the kernel does not allow it.
inline bool resetPeakResident()
{
    std::FILE* f = std::fopen("/proc/self/clear_refs", "w");
    if (!f)
        return false;
    const bool written = std::fputs("5", f) >= 0;
    return std::fclose(f) == 0 && written;
}

// ------------------------------------------------------------------ lines

inline std::string fixed(double value, int decimals)
{
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return ec == std::errc() ? std::string(buffer, end) : std::string("?");
}

// The shortest text that reads back as `value`: targets print as "1.5 s", not "1.500 s".
inline std::string shortest(double value)
{
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string("?");
}

inline std::string secondsText(double seconds)
{
    return fixed(seconds, 3) + " s";
}

inline std::string millisecondsText(double seconds)
{
    return fixed(seconds * 1000, 2) + " ms";
}

// A column `width` wide; a longer text still keeps one space from the next column.
inline std::string padded(std::string text, std::size_t width)
{
    text.append(text.size() < width ? width - text.size() : 1, ' ');
    return text;
}

// Flushed at once, so a long run shows its figures as they come.
inline void printLine(const std::string& line)
{
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// name, figures, target, verdict: the layout of every program's figure lines.
inline void printFigure(const std::string& name, const std::string& figures, const std::string& target,
                        bool over)
{
    printLine(padded(name, 42) + padded(figures, 60) + "(target <= " + target + ")   " +
              (over ? "OVER" : "ok"));
}

// The first three fields of /proc/loadavg: other work on the machine skews every figure.
inline std::string loadAverageLine()
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
    return "# load average " + text.substr(0, end) + " on " +
           std::to_string(std::thread::hardware_concurrency()) + " cores at the start";
}

} // namespace bench
