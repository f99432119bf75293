// shelvano_bench [--records N] [--dir DIR] [--only append|build]
//
// Measures the book table on our dBase engine and the same work on SQLite,
// printing one line per figure with the target for ours. Each figure is
// measured twice and the second (warm page cache) is shown.
#include "BenchSupport.h"
#include "EngineBench.h"
#include "SqliteBench.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using bench::Contender;
using bench::fixed;
using bench::Measurement;
using bench::padded;
using bench::printLine;

const char* const kProgram = "shelvano_bench";

enum class Unit { Seconds, Milliseconds };

struct Figure {
    const char* prefix; // the line's name is prefix + record count + suffix
    const char* suffix;
    Measurement (Contender::*run)();
    double target;        // seconds, for our engine, at 100,000 records and fewer
    double targetMillion; // the same at 1,000,000 records and more
    Unit unit = Unit::Seconds;
    bool showMatched = false;
    const char* sqliteNote = "";
};

// Targets at a million records where one was set for that size, else ten times
// the one for 100,000.
const Figure kFigures[] = {
    {"append_", "_with_tag", &Contender::append, 1.5, 8},
    {"build_tag_", "", &Contender::buildTag, 0.4, 4},
    {"open_count_", "", &Contender::openCount, 0.1, 1},
    {"first_40_in_tag_order_", "", &Contender::firstRows, 0.005, 0.005, Unit::Milliseconds},
    {"filter_walk_River_", "", &Contender::filteredWalk, 0.3, 3, Unit::Seconds, true},
    {"post_under_checkout_tag_", "_per_post", &Contender::postEdits, 0.005, 0.00005, Unit::Milliseconds},
    {"pack_", "_10pct_deleted", &Contender::pack, 1.5, 15, Unit::Seconds, false, " (VACUUM)"},
};
constexpr int kFigureCount = static_cast<int>(std::size(kFigures));
constexpr double kMemoryTargetMb = 64;
constexpr double kWalkTargetTimesCat = 3;
constexpr double kPostReadsTarget = 10;
constexpr double kOpenRebuiltTarget = 1.0; // seconds, set for a million records
constexpr std::uint32_t kMillion = 1'000'000;

std::string timeText(double seconds, Unit unit)
{
    return unit == Unit::Milliseconds ? bench::millisecondsText(seconds) : bench::secondsText(seconds);
}

// Peak resident memory of one stretch of the run. The kernel's high-water mark
// can be reset (clear_refs 5), so each figure is measured apart; when it
// cannot, every figure reports the peak of the whole process so far.
class PeakMemory {
public:
    void restart() { m_split = bench::resetPeakResident(); }
    // Megabytes since the last restart().
    double megabytes() const { return bench::peakResidentMegabytes().value_or(processMegabytes()); }
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

struct Result {
    Measurement measurement;
    double peakMb = 0;
};

// Each figure twice, the second (warm page cache) kept with its own peak memory.
template <class Bench> Result measure(Bench& bench, Measurement (Bench::*run)(), PeakMemory& peak)
{
    (bench.*run)();
    peak.restart();
    Result result;
    result.measurement = (bench.*run)();
    result.peakMb = peak.megabytes();
    return result;
}

std::string memoryText(double megabytes)
{
    return ", " + fixed(megabytes, 1) + " MB";
}

std::string figureLine(const Figure& figure, std::uint32_t records, const Result& ours, const Result& sqlite)
{
    std::string line = padded(figure.prefix + std::to_string(records) + figure.suffix, 42);
    std::string oursText =
        "ours " + timeText(ours.measurement.seconds, figure.unit) + memoryText(ours.peakMb);
    std::string sqliteText = "sqlite " + timeText(sqlite.measurement.seconds, figure.unit) +
                             memoryText(sqlite.peakMb) + figure.sqliteNote;
    if (figure.showMatched) {
        oursText += " (" + std::to_string(ours.measurement.matched) + " matched)";
        sqliteText += " (" + std::to_string(sqlite.measurement.matched) + " matched)";
    }
    line += padded(oursText, 40) + padded(sqliteText, 46);
    const double seconds = records >= kMillion ? figure.targetMillion : figure.target;
    const double target = figure.unit == Unit::Milliseconds ? seconds * 1000 : seconds;
    line += "(target <= " + bench::shortest(target) + (figure.unit == Unit::Milliseconds ? " ms)" : " s)");
    if (ours.measurement.seconds > seconds)
        line += "   OVER TARGET";
    return line;
}

std::string targetLine(const std::string& name, const std::string& ours, const std::string& sqlite,
                       const std::string& target, bool over)
{
    return padded(name, 42) + padded(ours, 40) + padded(sqlite, 46) + "(target " + target + ")" +
           (over ? "   OVER TARGET" : "");
}

void run(const std::vector<std::uint32_t>& sizes, const std::string& directory)
{
    printLine("# work directory " + directory + "; each figure measured twice, the second shown");
    printLine(bench::loadAverageLine());
    printLine("# " + bench::SqliteBench::settings());
    printLine("# MB: peak resident memory of the whole process during that figure");
    const bench::BookGenerator generator;
    PeakMemory peak;
    for (std::uint32_t records : sizes) {
        bench::EngineBench ours(directory, records, generator);
        bench::SqliteBench sqlite(directory, records, generator);
        std::vector<Result> oursResults, sqliteResults;
        Result walk, cat, rebuilt;
        for (const Figure& figure : kFigures) {
            if (figure.run == &Contender::pack) { // before the pack takes records away
                walk = measure(ours, &bench::EngineBench::sharedWalk, peak);
                cat = measure(ours, &bench::EngineBench::readWholeFile, peak);
                rebuilt = measure(ours, &bench::EngineBench::openWithTagRebuilt, peak);
            }
            oursResults.push_back(measure<Contender>(ours, figure.run, peak));
        }
        const double readsPerPost = ours.readsPerPost();
        for (const Figure& figure : kFigures)
            sqliteResults.push_back(measure<Contender>(sqlite, figure.run, peak));
        const Result scan = measure(sqlite, &bench::SqliteBench::scan, peak);
        for (int i = 0; i < kFigureCount; ++i)
            printLine(figureLine(kFigures[i], records, oursResults[i], sqliteResults[i]));

        const std::string size = std::to_string(records);
        const Result& build = oursResults[1];
        printLine(targetLine("build_tag_" + size + "_peak_memory", "ours " + fixed(build.peakMb, 1) + " MB",
                             "sqlite " + fixed(sqliteResults[1].peakMb, 1) + " MB (CREATE INDEX)",
                             "<= " + fixed(kMemoryTargetMb, 0) + " MB", build.peakMb > kMemoryTargetMb));
        printLine(targetLine("post_under_checkout_tag_" + size + "_reads",
                             "ours " + fixed(readsPerPost, 1) + " reads from the files per post", "",
                             "<= " + fixed(kPostReadsTarget, 0), readsPerPost > kPostReadsTarget));
        const double times = walk.measurement.seconds / std::max(cat.measurement.seconds, 1e-9);
        printLine(targetLine(
            "shared_walk_" + size,
            "ours " + bench::secondsText(walk.measurement.seconds) + memoryText(walk.peakMb) + " (" +
                fixed(times, 1) + "x cat)",
            "sqlite " + bench::secondsText(scan.measurement.seconds) + memoryText(scan.peakMb) + " (scan)",
            "<= " + fixed(kWalkTargetTimesCat, 0) + "x cat, " + bench::secondsText(cat.measurement.seconds),
            times > kWalkTargetTimesCat));
        bench::check(walk.measurement.matched == records, "the walk saw every record");
        const double rebuiltTarget = kOpenRebuiltTarget;
        printLine(targetLine(
            "open_with_tag_rebuilt_" + size,
            "ours " + bench::secondsText(rebuilt.measurement.seconds) + memoryText(rebuilt.peakMb),
            "sqlite " + bench::secondsText(sqliteResults[1].measurement.seconds) +
                memoryText(sqliteResults[1].peakMb) + " (CREATE INDEX)",
            "<= " + bench::secondsText(rebuiltTarget), rebuilt.measurement.seconds > rebuiltTarget));
    }
    if (!peak.split())
        printLine("# the kernel did not let the peak be reset: each MB is the process's peak so far");
}

// The append figure alone, measured once, with its processor time: for
// profiling the one path without waiting for every other figure.
void runAppendOnly(const std::vector<std::uint32_t>& sizes, const std::string& directory)
{
    printLine("# work directory " + directory + "; append alone, measured once");
    printLine(bench::loadAverageLine());
    const bench::BookGenerator generator;
    PeakMemory peak;
    for (std::uint32_t records : sizes) {
        bench::EngineBench ours(directory, records, generator);
        peak.restart();
        const Measurement append = ours.append();
        const double target = records >= kMillion ? kFigures[0].targetMillion : kFigures[0].target;
        printLine(padded("append_" + std::to_string(records) + "_with_tag", 42) + "ours " +
                  bench::secondsText(append.seconds) + " (processor " +
                  bench::secondsText(ours.appendCpuSeconds()) + ")" + memoryText(peak.megabytes()) +
                  "   (target <= " + bench::shortest(target) + " s)" +
                  (append.seconds > target ? "   OVER TARGET" : ""));
    }
}

// The tag's build and the open that rebuilds it, after the append that makes
// the table, each measured twice (the second shown) with its processor time.
void runBuildOnly(const std::vector<std::uint32_t>& sizes, const std::string& directory)
{
    printLine("# work directory " + directory + "; the tag's build and the open rebuilding it alone");
    printLine(bench::loadAverageLine());
    const bench::BookGenerator generator;
    PeakMemory peak;
    for (std::uint32_t records : sizes) {
        bench::EngineBench ours(directory, records, generator);
        ours.append();
        auto show = [&](const std::string& name, Measurement (bench::EngineBench::*run)(), double target) {
            const Result result = measure(ours, run, peak);
            printLine(padded(name + std::to_string(records), 42) + "ours " +
                      bench::secondsText(result.measurement.seconds) + " (processor " +
                      bench::secondsText(ours.buildCpuSeconds()) + ", calling thread " +
                      bench::secondsText(ours.buildThreadCpuSeconds()) + ")" + memoryText(result.peakMb) +
                      "   (target <= " + bench::shortest(target) + " s)" +
                      (result.measurement.seconds > target ? "   OVER TARGET" : ""));
        };
        show("build_tag_", &bench::EngineBench::buildTag,
             records >= kMillion ? kFigures[1].targetMillion : kFigures[1].target);
        show("open_with_tag_rebuilt_", &bench::EngineBench::openWithTagRebuilt, kOpenRebuiltTarget);
    }
}

} // namespace

int main(int argc, char** argv)
{
    const bench::Options options =
        bench::parseOptions(argc, argv, {kProgram, 100'000, 1, {{"--only", "append|build"}}});
    const auto only = options.extras.find("--only");
    if (only != options.extras.end() && only->second != "append" && only->second != "build") {
        std::fprintf(stderr, "%s: --only takes \"append\" or \"build\", not \"%s\"\n", kProgram,
                     only->second.c_str());
        return 2;
    }
    const std::vector<std::uint32_t> sizes = options.recordsGiven
                                                 ? std::vector<std::uint32_t>{options.records}
                                                 : std::vector<std::uint32_t>{100'000, 1'000'000};
    return bench::runReportingErrors(kProgram, [&] {
        const bench::WorkDirectory directory(options.directory, kProgram);
        if (only != options.extras.end() && only->second == "build")
            runBuildOnly(sizes, directory.path().string());
        else if (only != options.extras.end())
            runAppendOnly(sizes, directory.path().string());
        else
            run(sizes, directory.path().string());
    });
}
