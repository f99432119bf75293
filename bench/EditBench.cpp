// shelvano_edit_bench [--records N] [--dir DIR]
//
// The record edit window's Update on a generated book table ordered by the sort tag:
// every run changes the author of one book, so its key moves across the tag, and times
// the Update button from the checks to the posted record and its new row. Also times
// Update of a new book. One line per figure with its target. Runs offscreen.
#include "BookGenerator.h"

#include "db/BookDatabase.h"
#include "db/BookTable.h"
#include "edit/PickLists.h"
#include "edit/TMyEdit.h"
#include "platform/Screen.h"
#include "platform/ScriptedDialogs.h"
#include "settings/DateFormat.h"
#include "settings/Fonts.h"
#include "settings/NumberText.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QStyle>
#include <QStyleFactory>

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRuns = 21;
constexpr double kUpdateTarget = 50e-3; // seconds
constexpr std::uint32_t kBatch = 1000;

struct Options {
    std::uint32_t records = 100'000;
    std::string directory; // empty: a fresh temporary one
};

[[noreturn]] void usage(const std::string& problem)
{
    std::fprintf(stderr, "shelvano_edit_bench: %s\nusage: shelvano_edit_bench [--records N] [--dir DIR]\n",
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
    // The main window's order for the default sort by author.
    table->addTag(db::kOrderTag, "Upper(Left(Author,80))");
}

void check(bool condition, const char* what)
{
    if (!condition)
        throw std::runtime_error(std::string("Benchmark check failed: ") + what);
}

// Median and worst seconds of kRuns runs of `work` after one that warms the caches; `prepare` runs untimed.
std::pair<double, double> measure(const std::function<void(int)>& prepare, const std::function<void()>& work)
{
    std::vector<double> seconds;
    for (int run = -1; run < kRuns; ++run) {
        prepare(run);
        const Clock::time_point start = Clock::now();
        work();
        if (run >= 0)
            seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    return {seconds[seconds.size() / 2], seconds.back()};
}

void report(const std::string& name, std::pair<double, double> seconds)
{
    std::printf("%-36s median %7.2f ms, worst %7.2f ms   (target <= %.0f ms)   %s\n", name.c_str(),
                seconds.first * 1000, seconds.second * 1000, kUpdateTarget * 1000,
                seconds.first > kUpdateTarget ? "OVER" : "ok");
}

void run(const std::string& path, std::uint32_t records)
{
    platform::ScriptedDialogs dialogs;
    db::BookTable books;
    auto shared = dbase::Table::open(path, dbase::Access::Shared);
    shared->setOrder(db::kOrderTag);
    books.adopt(std::move(shared));

    settings::Settings settings;
    settings::DateFormat dates;
    dates.apply(1, false);
    settings::NumberText numbers;
    edit::PickLists lists(fs::path(path).parent_path());
    const settings::SharedFonts fonts = settings::makeSharedFonts(settings);
    platform::FixedScreen screen({1024, 768});
    int mode = 2;
    TMyEdit window({dialogs,
                    books,
                    settings,
                    dates,
                    numbers,
                    lists,
                    fonts,
                    screen,
                    [] { return 1.0; },
                    [&] { return mode; },
                    [&](int m) { mode = m; },
                    false,
                    {},
                    {}});

    books.gotoRow(books.rowCount() / 2);
    window.show();
    QApplication::processEvents();
    const std::string n = std::to_string(records);

    // The author swings between both ends of the order, so the key moves across the whole tag.
    const auto changeBook = [&](int run) {
        window.Author->setEditText(run % 2 == 0 ? QStringLiteral("Aalto, Anna")
                                                : QStringLiteral("Zweig, Zora"));
        window.Title->setText(QStringLiteral("Revised edition %1").arg(run));
        window.Cost->setText(QStringLiteral("1,234.50"));
    };
    const auto update = [&] { window.UpdateButtonClick(); };
    report("update_one_book_" + n, measure(changeBook, update));
    check(dialogs.transcript().empty() && mode == 2, "the updates went through");
    check(books.table().recordCount() == records, "no book added by an update");
    check(books.currentRow() < int(records / 10), "the book moved to its new place in the order");

    const auto newBook = [&](int run) {
        window.MenuNewClick();
        changeBook(run);
    };
    report("update_new_book_" + n, measure(newBook, update));
    check(dialogs.transcript().empty(), "the new books went in");
    check(books.rowCount() == int(records) + kRuns + 1, "every new book has its row");
    window.hide();
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
            ? fs::temp_directory_path() / ("shelvano_edit_bench_" + std::to_string(::getpid()))
            : fs::path(options.directory);
    fs::create_directories(directory);
    const std::string path = (directory / "EDIT.DBF").string();
    int code = 0;
    try {
        const Clock::time_point made = Clock::now();
        writeBooks(path, options.records);
        std::printf("# %u books written and indexed in %.2f s\n", options.records,
                    std::chrono::duration<double>(Clock::now() - made).count());
        run(path, options.records);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "shelvano_edit_bench: %s\n", error.what());
        code = 1;
    }
    if (options.directory.empty())
        fs::remove_all(directory);
    return code;
}
