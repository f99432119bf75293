#pragma once

#include "BookGenerator.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class QTableView;
class TMain;

namespace platform {
class FixedScreen;
class ScriptedDialogs;
} // namespace platform

namespace bench {

// Seconds of repeated runs of one measurement.
class Samples {
public:
    void add(double seconds) { m_seconds.push_back(seconds); }
    std::size_t size() const { return m_seconds.size(); }
    double median() const;
    double percentile(double fraction) const; // nearest rank; fraction in (0, 1]
    double worst() const;
    double best() const;

private:
    std::vector<double> m_seconds;
};

// The databases and settings of the main-window figures, under one directory:
// data/MASTER.DBF with the viewer's order tag already made, config/SHVBOOK.INI
// pointing at it, and two copies of another book database whose index lacks
// that tag. A copy's pristine index is kept aside so each switch to it builds
// the tag again.
struct ShellFiles {
    std::filesystem::path dataDir;
    std::filesystem::path configDir;
    std::filesystem::path master;
    std::filesystem::path masterIndex;
    std::array<std::filesystem::path, 2> others;
    std::array<std::filesystem::path, 2> otherIndexes;
    std::array<std::filesystem::path, 2> pristineIndexes;
};

// The viewer's order tag as the program makes it under the default sort order.
inline constexpr const char* kViewerTagExpression = "Upper(Left(Author,80))";

// Writes the files of `records` books each; `master` and `other` make the books
// of the two databases. Takes a few seconds for 100,000 books.
ShellFiles makeShellFiles(const std::filesystem::path& directory, std::uint32_t records,
                          const BookGenerator& master, const BookGenerator& other);

// Puts the pristine index back under other database `which`, which must not be open.
void restoreOtherIndex(const ShellFiles& files, int which);

struct ProgramStarts {
    Samples seconds;          // spawn to the "painted" line
    double peakMegabytes = 0; // largest peak resident size of a measured run
};

// Starts `program` on `files` with --exit-after-first-paint on the offscreen
// platform, once to warm up and then `runs` times. Throws std::runtime_error
// when a start fails, takes over 30 s, or rebuilds the master's order tag.
// The program's standard error goes to `errorLog`.
ProgramStarts timeProgramStarts(const std::string& program, const ShellFiles& files, int runs,
                                const std::filesystem::path& errorLog);

// The main window in this process on `files`, with scripted dialogs on a
// 1280 x 1024 screen. Needs a QApplication; any dialog or message the window
// raises is an error, as it would spoil the timing.
class MainWindowBench {
public:
    explicit MainWindowBench(const ShellFiles& files);
    ~MainWindowBench();

    struct StartTimes {
        double paint = 0;    // the window made and started to its grid's first paint
        double wholeMap = 0; // the same to the row map holding every book
    };
    // Starts the window on the master database, shows it and waits for the grid to paint,
    // then for the row map to be complete.
    StartTimes start();
    int rowCount() const;

    struct Screenfuls {
        Samples jumps;    // scroll bar moved to the painted viewport, rows read from the table
        Samples repaints; // the same screenful painted again from the model's cache
        Samples jumpsCpu; // processor time of this thread for each jump
        Samples repaintsCpu;
    };
    // Jumps the grid to random rows: `warmUp` positions untimed, then `positions` timed.
    Screenfuls screenfuls(int warmUp, int positions);

    struct Posts {
        Samples seconds;
        int rows = 0; // rows of the filtered map
    };
    // Filters the table down to 40% of the books, then times one warm-up and
    // `posts` changes of one field each: row made current, edit, change, post, count.
    Posts postsUnderFilter(int posts);

    struct Opens {
        Samples total;   // switch plus painted grid
        Samples opening; // the switch alone
    };
    // Switches to the other databases in turn, each with its tag missing: one warm-up, then `runs`.
    Opens openOthers(int runs);

private:
    void waitForGridPaint(int paintsBefore);
    void checkNoDialogs(const char* during) const;

    class PaintCounter;

    const ShellFiles& m_files;
    std::unique_ptr<platform::ScriptedDialogs> m_dialogs;
    std::unique_ptr<platform::FixedScreen> m_screen;
    std::unique_ptr<TMain> m_main;
    QTableView* m_grid = nullptr;
    std::unique_ptr<PaintCounter> m_paints;
    int m_otherOpen = -1; // which other database is open; -1 the master
};

} // namespace bench
