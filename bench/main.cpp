// shelvano_bench [--records N] [--dir DIR]
//
// Measures the book table on our dBase engine and the same work on SQLite,
// printing one line per figure with the target for ours. Each figure is
// measured twice and the second (warm page cache) is shown.
#include "BenchSupport.h"
#include "EngineBench.h"
#include "SqliteBench.h"

#include <sys/resource.h>

#include <algorithm>
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

std::string timeText(double seconds, Unit unit)
{
    return unit == Unit::Milliseconds ? bench::millisecondsText(seconds) : bench::secondsText(seconds);
}

// Peak resident memory of one stretch of the run. The kernel's high-water mark
// can be reset (clear_refs 5), so the engine and SQLite are measured apart; when
// it cannot, every stretch reports the peak of the whole process so far.
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
    std::string line = padded(figure.prefix + std::to_string(records) + figure.suffix, 42);
    std::string oursText = "ours " + timeText(ours.seconds, figure.unit);
    std::string sqliteText = "sqlite " + timeText(sqlite.seconds, figure.unit) + figure.sqliteNote;
    if (figure.showMatched) {
        oursText += " (" + std::to_string(ours.matched) + " matched)";
        sqliteText += " (" + std::to_string(sqlite.matched) + " matched)";
    }
    line += padded(oursText, 30) + padded(sqliteText, 36);
    const double target = figure.unit == Unit::Milliseconds ? figure.target * 1000 : figure.target;
    line += "(target <= " + bench::shortest(target) + (figure.unit == Unit::Milliseconds ? " ms)" : " s)");
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

void run(const std::vector<std::uint32_t>& sizes, const std::string& directory)
{
    printLine("# work directory " + directory + "; each figure measured twice, the second shown");
    printLine(bench::loadAverageLine());
    printLine("# " + bench::SqliteBench::settings());
    const bench::BookGenerator generator;
    PeakMemory peak;
    double oursMb = 0, sqliteMb = 0;
    for (std::uint32_t records : sizes) {
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
    const bench::Options options = bench::parseOptions(argc, argv, {kProgram, 100'000, 1, {}});
    const std::vector<std::uint32_t> sizes = options.recordsGiven
                                                 ? std::vector<std::uint32_t>{options.records}
                                                 : std::vector<std::uint32_t>{10'000, 100'000};
    return bench::runReportingErrors(kProgram, [&] {
        const bench::WorkDirectory directory(options.directory, kProgram);
        run(sizes, directory.path().string());
    });
}
