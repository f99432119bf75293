// shelvano_viewer_bench [--records N] [--dir DIR]
//
// Applies the viewer options to a grid over a generated book table, as the main window
// does after the viewer configuration closes: every run changes the shown fields, so the
// grid's columns are rebuilt, and ends with the grid painted. One line per figure with
// its target. Runs offscreen.
#include "BenchSupport.h"
#include "edit/ViewerOptions.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>
#include <QTableView>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

using bench::Clock;
using bench::millisecondsText;
using bench::secondsSince;

const char* const kProgram = "shelvano_viewer_bench";
constexpr int kRuns = 21;
constexpr double kApplyTarget = 10e-3; // seconds
constexpr double kGrowthTargetMb = 1;  // the grid's memory must not grow with its rows

// The two configurations a run switches between: all fields in table order, and a
// narrower grid in another order with other titles, fonts, lines and editing.
std::vector<settings::Settings> configurations()
{
    settings::Settings wide;
    settings::Settings narrow = wide;
    for (int field = 0; field < db::kBookFieldCount; ++field) {
        settings::FieldSettings& f = narrow.fields[std::size_t(field)];
        f.display = field % 3 != 2;
        f.order = db::kBookFieldCount - field;
        f.width = 8 + field % 20;
        f.title = QStringLiteral("Column %1").arg(field + 1);
    }
    narrow.rowLines = narrow.rowIndicator = false;
    narrow.fieldEditing = true;
    narrow.gridTitleAlignment = 3;
    narrow.gridFont.size = 12;
    return {wide, narrow};
}

double residentMegabytes(const char* field)
{
    const std::optional<double> megabytes = bench::statusMegabytes(field);
    bench::check(megabytes.has_value(), "/proc/self/status gives the process's resident sizes");
    return *megabytes;
}

void run(const bench::Options& options)
{
    const bench::WorkDirectory directory(options.directory, kProgram);
    const std::filesystem::path path = directory.path() / "VIEWER.DBF";
    const Clock::time_point made = Clock::now();
    bench::writeBooks(path, options.records);
    std::printf("# %u books written in %.2f s\n", options.records, secondsSince(made));
    bench::printLine(bench::loadAverageLine());
    // Making the books is no part of the figure.
    const bool split = bench::resetPeakResident();

    db::BookTable table;
    table.adopt(dbase::Table::open(path.string()));
    db::ShortDateText dates;
    db::BookGridModel model(table, dates, [](const QString& message) {
        std::fprintf(stderr, "grid error: %s\n", qPrintable(message));
    });
    QTableView grid;
    grid.setModel(&model);
    grid.resize(1000, 700);
    grid.show();
    QApplication::processEvents();
    table.gotoRow(table.rowCount() / 2);
    grid.setCurrentIndex(model.index(table.rowCount() / 2, 0));

    const std::vector<settings::Settings> configs = configurations();
    std::vector<settings::SharedFonts> fonts;
    for (const settings::Settings& config : configs)
        fonts.push_back(settings::makeSharedFonts(config));
    std::vector<double> painted;
    std::vector<double> applied;
    std::vector<double> processor;
    double residentBefore = 0;
    for (int run = -1; run < kRuns; ++run) { // run -1 warms the caches up
        const std::size_t which = std::size_t(run + 1) % configs.size();
        const Clock::time_point start = Clock::now();
        const double cpuStart = bench::cpuSecondsNow();
        edit::applyViewerOptions(grid, model, configs[which], fonts[which], false);
        const double apply = secondsSince(start);
        // What the event loop does next in the program: deferred layout, timers, the paint.
        QApplication::processEvents();
        grid.viewport()->repaint();
        if (run >= 0) {
            applied.push_back(apply);
            painted.push_back(secondsSince(start));
            processor.push_back(bench::cpuSecondsNow() - cpuStart);
        } else {
            residentBefore = residentMegabytes("VmRSS:");
        }
    }
    const double growth = residentMegabytes("VmRSS:") - residentBefore;
    const std::string n = std::to_string(options.records);
    const double median = bench::median(painted);
    bench::printFigure("apply_viewer_options_" + n,
                       "median " + millisecondsText(median) + ", worst " +
                           millisecondsText(bench::worst(painted)) + " (painted; options alone " +
                           millisecondsText(bench::median(applied)) + "; cpu " +
                           millisecondsText(bench::median(processor)) + ")",
                       millisecondsText(kApplyTarget), median > kApplyTarget);
    bench::printFigure("apply_viewer_options_memory_" + n,
                       "growth over " + std::to_string(kRuns) + " runs " + bench::fixed(growth, 1) +
                           " MB; peak " + bench::fixed(residentMegabytes("VmHWM:"), 1) + " MB" +
                           (split ? "" : " (with the making of the books)"),
                       bench::fixed(kGrowthTargetMb, 0) + " MB growth", growth > kGrowthTargetMb);
}

} // namespace

int main(int argc, char** argv)
{
    const bench::Options options = bench::parseOptions(argc, argv, {kProgram, 100'000, 100, {}});
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    return bench::runReportingErrors(kProgram, [&] { run(options); });
}
