// shelvano_search_bench [--records N] [--dir DIR]
//
// Applies a search to a generated book table in its default sort order, as
// the search window's OK does: the record filter installed, the row map walked
// again, the first match made current and the count read. Three criteria over
// two levels: a title containing RIVER published after 1990, or keywords with
// WAR or REVOLUTION. The page cache is warm: the search is applied once before
// it is timed.
#include "BookGenerator.h"

#include "db/BookTable.h"
#include "search/SearchFilter.h"
#include "search/SearchQuery.h"
#include "settings/DateFormat.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRuns = 7;
constexpr double kTarget = 0.3; // seconds

struct Options {
    std::uint32_t records = 100'000;
    fs::path directory; // empty: a fresh temporary one
};

Options parse(int argc, char** argv)
{
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--records") == 0)
            options.records = static_cast<std::uint32_t>(std::stoul(argv[i + 1]));
        else if (std::strcmp(argv[i], "--dir") == 0)
            options.directory = argv[i + 1];
        else
            throw std::runtime_error(std::string("unknown option ") + argv[i]);
    }
    return options;
}

// The books and the sort order a new database starts with (by author).
void writeBooks(const fs::path& path, std::uint32_t records)
{
    constexpr std::uint32_t kBatch = 1024;
    fs::path index = path;
    fs::remove(index.replace_extension(".MDX"));
    dbase::Table::create(path.string(), db::bookFieldSpecs());
    auto table = dbase::Table::open(path.string(), dbase::Access::Exclusive);
    const bench::BookGenerator generator;
    std::vector<bench::BookRecord> batch;
    table->beginBatch();
    for (std::uint32_t first = 0; first < records; first += kBatch) {
        batch.resize(std::min(kBatch, records - first));
        generator.generate(first, batch);
        for (const bench::BookRecord& book : batch) {
            table->append();
            for (int field = 0; field < db::kBookFieldCount; ++field)
                table->setText(field, book[static_cast<std::size_t>(field)]);
            table->post();
        }
    }
    table->endBatch();
    table->addTag("NewIndex", "Upper(Left(Author,80))");
}

std::shared_ptr<const search::SearchQuery> benchQuery()
{
    settings::DateFormat dates;
    dates.apply(1, false);
    search::RowOptions options;
    options.fill(search::OptionEqual);
    options[2] = search::OptionGreater;
    search::SearchQuery query;
    std::array<QString, search::kSearchRows> cells;
    cells[0] = QStringLiteral("river");
    cells[2] = QStringLiteral("> 1990");
    if (query.saveLevel(cells, options, dates).outcome != search::SearchQuery::SaveResult::Outcome::Saved)
        throw std::logic_error("the first level was refused");
    query.nextLevel();
    cells = {};
    cells[search::kKeywordsRow - 1] = QStringLiteral("war revolution");
    if (query.saveLevel(cells, options, dates).outcome != search::SearchQuery::SaveResult::Outcome::Saved)
        throw std::logic_error("the second level was refused");
    return std::make_shared<const search::SearchQuery>(query);
}

void run(const Options& options)
{
    fs::path directory = options.directory;
    if (directory.empty())
        directory = fs::temp_directory_path() / ("shelvano-search-bench-" + std::to_string(::getpid()));
    fs::create_directories(directory);
    const fs::path books = directory / "BOOKS.DBF";
    writeBooks(books, options.records);

    db::BookTable table;
    auto opened = dbase::Table::open(books.string(), dbase::Access::Shared);
    opened->setOrder("NewIndex");
    table.adopt(std::move(opened));
    const auto query = benchQuery();

    std::vector<double> seconds;
    int matches = 0;
    for (int run = 0; run <= kRuns; ++run) {
        table.setFilter({});
        const auto start = Clock::now();
        search::applyRecordFilter(table, search::makeRecordFilter(query, [] { return true; }));
        matches = table.rowCount();
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        if (run > 0) // the first run warms the cache
            seconds.push_back(elapsed);
    }
    std::sort(seconds.begin(), seconds.end());
    const double median = seconds[seconds.size() / 2];
    std::printf("search apply, 3 criteria over 2 levels, %u books: median %.3f s, worst %.3f s "
                "(target <= %.1f s) %s; %d matches\n",
                options.records, median, seconds.back(), kTarget, seconds.back() <= kTarget ? "ok" : "MISSED",
                matches);
    if (options.directory.empty())
        fs::remove_all(directory);
}

} // namespace

int main(int argc, char** argv)
{
    try {
        run(parse(argc, argv));
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "shelvano_search_bench: %s\n", error.what());
        return 1;
    }
}
