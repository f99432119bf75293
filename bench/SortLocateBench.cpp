// shelvano_sortlocate_bench [--records N] [--dir DIR]
//
// A new sort order and locate on a generated book table: the change of order
// (in-use test, tag rebuilt, table opened again), locate next walking the whole
// table, and locate next through the index. One line per figure with its
// target; each is measured five times on a warm page cache and the median shown.
#include "BookGenerator.h"

#include "db/BookDatabase.h"
#include "db/BookSchema.h"
#include "db/BookTable.h"
#include "db/FieldText.h"
#include "dbase/Table.h"
#include "edit/Locator.h"
#include "platform/ScriptedDialogs.h"
#include "search/SortOrderChange.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 5;
constexpr int kAuthorField = 1;

void check(bool condition, const char* what)
{
    if (!condition)
        throw std::runtime_error(std::string("Benchmark check failed: ") + what);
}

// Median seconds of kRuns runs of `work` after one run that warms the cache; `prepare` runs untimed before
// each.
double median(const std::function<void()>& prepare, const std::function<void()>& work)
{
    prepare();
    work();
    std::vector<double> seconds;
    for (int run = 0; run < kRuns; ++run) {
        prepare();
        const Clock::time_point start = Clock::now();
        work();
        seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    return seconds[seconds.size() / 2];
}

void report(const std::string& name, double seconds, double target, bool milliseconds)
{
    const double scale = milliseconds ? 1000.0 : 1.0;
    const char* unit = milliseconds ? "ms" : "s";
    std::printf("%-44s %9.3f %-2s (target %g %s) %s\n", name.c_str(), seconds * scale, unit, target * scale,
                unit, seconds <= target ? "ok" : "OVER");
}

void writeBooks(const std::string& path, std::uint32_t records)
{
    const bench::BookGenerator generator;
    dbase::Table::create(path, db::bookFieldSpecs());
    auto table = dbase::Table::open(path, dbase::Access::Exclusive);
    std::vector<bench::BookRecord> batch;
    table->beginBatch();
    for (std::uint32_t first = 0; first < records; first += 1024) {
        batch.resize(std::min<std::uint32_t>(1024, records - first));
        generator.generate(first, batch);
        for (const bench::BookRecord& book : batch) {
            table->append();
            for (int field = 0; field < db::kBookFieldCount; ++field)
                table->setText(field, book[static_cast<std::size_t>(field)]);
            table->post();
        }
    }
    table->endBatch();
    table->addTag(db::kOrderTag, "Upper(Left(Author,80))");
}

void run(const std::string& directory, std::uint32_t records)
{
    const std::string path = directory + "/BOOKS.DBF";
    writeBooks(path, records);

    platform::ScriptedDialogs dialogs;
    db::BookTable books;
    db::BookDatabase database(books, dialogs, {});
    auto shared = dbase::Table::open(path, dbase::Access::Shared);
    shared->setOrder(db::kOrderTag);
    books.adopt(std::move(shared));

    std::array<int, 4> levels{2, 0, 0, 0};
    search::SortOrderChange change(books, levels, dialogs,
                                   {[&](const QString& file) { return database.DBaseInUse(file); }, {}, {}});
    const std::array<int, 4> fourLevels{5, 2, 12, 7}; // category, author, purchase date, cost
    const std::array<int, 4> byAuthor{2, 0, 0, 0};
    const std::string n = std::to_string(records);

    double seconds = median(
        [&] { check(change.apply(byAuthor) == search::SortOrderChange::Outcome::Applied, "author order"); },
        [&] { check(change.apply(fourLevels) == search::SortOrderChange::Outcome::Applied, "four levels"); });
    report("new_sort_order_4_levels_" + n, seconds, 0.6, false);
    check(change.apply(byAuthor) == search::SortOrderChange::Outcome::Applied, "author order");

    db::ShortDateText dates;
    edit::Locator locator(books, dates);
    const edit::LocateQuery nowhere{"TITLE", QStringLiteral("no such title"), edit::MatchType::Anywhere,
                                    false};
    seconds = median([&] { books.gotoRow(0); },
                     [&] { check(!locator.find(nowhere, edit::Locator::From::Next), "nothing found"); });
    report("locate_next_whole_table_" + n, seconds, 0.3, false);

    // The last author in the order, from the first row on: the scan reads every row, the index goes there.
    QString lastAuthor;
    books.readRows(books.rowCount() - 1, 1, [&](int, const dbase::Table& table) {
        lastAuthor = QString::fromStdString(table.text(kAuthorField));
    });
    const edit::LocateQuery last{"AUTHOR", lastAuthor, edit::MatchType::Exact, false};
    seconds = median([&] { books.gotoRow(0); },
                     [&] { check(locator.find(last, edit::Locator::From::Next), "last author found"); });
    check(locator.usedIndexSeek(), "the index served");
    report("locate_next_last_author_index_seek_" + n, seconds, 0.005, true);
    locator.setIndexSeek(false);
    seconds = median([&] { books.gotoRow(0); },
                     [&] { check(locator.find(last, edit::Locator::From::Next), "last author found"); });
    report("locate_next_last_author_scan_" + n, seconds, 0.3, false);
    check(dialogs.transcript().empty(), "no message");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::uint32_t records = 100'000;
    std::string directory;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--records") == 0)
            records = static_cast<std::uint32_t>(std::strtoul(argv[i + 1], nullptr, 10));
        else if (std::strcmp(argv[i], "--dir") == 0)
            directory = argv[i + 1];
    }
    QTemporaryDir temporary;
    if (directory.empty())
        directory = temporary.path().toStdString();
    try {
        run(directory, records);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
