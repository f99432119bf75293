// shelvano_viewer_bench [--records N] [--dir DIR]
//
// Applies the viewer options to a grid over a generated book table, as the main window
// does after the viewer configuration closes: every run changes the shown fields, so the
// grid's columns are rebuilt, and ends with the grid painted. One line per figure with
// its target. Runs offscreen.
#include "BookGenerator.h"
#include "edit/ViewerOptions.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>
#include <QTableView>

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRuns = 21;
constexpr double kApplyTarget = 50e-3; // seconds
constexpr std::uint32_t kBatch = 1000;

struct Options {
    std::uint32_t records = 100'000;
    std::string directory; // empty: a fresh temporary one
};

[[noreturn]] void usage(const std::string& problem)
{
    std::fprintf(stderr,
                 "shelvano_viewer_bench: %s\nusage: shelvano_viewer_bench [--records N] [--dir DIR]\n",
                 problem.c_str());
    std::exit(2);
}

Options parseOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg != "--records" && arg != "--dir") || i + 1 >= argc)
            usage("unknown argument or missing value: \"" + arg + "\"");
        const std::string value = argv[++i];
        if (arg == "--dir") {
            options.directory = value;
            continue;
        }
        auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), options.records);
        if (ec != std::errc() || end != value.data() + value.size() || options.records < 100)
            usage("--records takes a whole number of at least 100, not \"" + value + "\"");
    }
    return options;
}

void writeBooks(const std::string& path, std::uint32_t records)
{
    dbase::Table::create(path, db::bookFieldSpecs());
    auto table = dbase::Table::open(path, dbase::Access::Exclusive);
    const bench::BookGenerator generator;
    std::vector<bench::BookRecord> batch;
    table->beginBatch();
    for (std::uint32_t first = 0; first < records; first += kBatch) {
        batch.resize(std::min(kBatch, records - first));
        generator.generate(first, batch);
        for (const bench::BookRecord& book : batch) {
            table->append();
            for (int field = 0; field < db::kBookFieldCount; ++field)
                table->setText(field, book[std::size_t(field)]);
            table->post();
        }
    }
    table->endBatch();
}

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string milliseconds(double seconds)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2f ms", seconds * 1000);
    return buffer;
}

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

} // namespace

int main(int argc, char** argv)
{
    const Options options = parseOptions(argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    const fs::path directory =
        options.directory.empty()
            ? fs::temp_directory_path() / ("shelvano_viewer_bench_" + std::to_string(::getpid()))
            : fs::path(options.directory);
    fs::create_directories(directory);
    const std::string path = (directory / "VIEWER.DBF").string();
    const Clock::time_point made = Clock::now();
    writeBooks(path, options.records);
    std::printf("# %u books written in %.2f s\n", options.records, secondsSince(made));

    db::BookTable table;
    table.adopt(dbase::Table::open(path));
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
    for (int run = -1; run < kRuns; ++run) { // run -1 warms the caches up
        const std::size_t which = std::size_t(run + 1) % configs.size();
        const Clock::time_point start = Clock::now();
        edit::applyViewerOptions(grid, model, configs[which], fonts[which], false);
        const double apply = secondsSince(start);
        grid.viewport()->repaint();
        if (run >= 0) {
            applied.push_back(apply);
            painted.push_back(secondsSince(start));
        }
    }
    std::sort(painted.begin(), painted.end());
    std::sort(applied.begin(), applied.end());
    const double median = painted[painted.size() / 2];
    const std::string name = "apply_viewer_options_" + std::to_string(options.records);
    std::printf("%-42s%-56s (target <= %s)   %s\n", name.c_str(),
                ("median " + milliseconds(median) + ", worst " + milliseconds(painted.back()) +
                 " (painted; options alone " + milliseconds(applied[applied.size() / 2]) + ")")
                    .c_str(),
                milliseconds(kApplyTarget).c_str(), median > kApplyTarget ? "OVER" : "ok");
    if (options.directory.empty())
        fs::remove_all(directory);
    return 0;
}
