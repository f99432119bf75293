// shelvano_search_bench [--records N] [--dir DIR]
//
// Applies a search to a generated book table in its default sort order, as
// the search window's OK does: the record filter installed, the row map walked
// again, the first match made current and the count read. Three criteria over
// two levels: a title containing RIVER published after 1990, or keywords with
// WAR or REVOLUTION. The page cache is warm: the search is applied once before
// it is timed.
#include "BenchSupport.h"

#include "db/BookDatabase.h"
#include "db/BookTable.h"
#include "search/SearchFilter.h"
#include "search/SearchQuery.h"
#include "settings/DateFormat.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

using bench::Clock;

const char* const kProgram = "shelvano_search_bench";
constexpr int kRuns = 7;
constexpr double kTarget = 0.3; // seconds

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

void run(const bench::Options& options)
{
    const bench::WorkDirectory directory(options.directory, kProgram);
    const std::filesystem::path books = directory.path() / "BOOKS.DBF";
    // The sort order a new database starts with.
    bench::writeBooks(books, options.records)->addTag(db::kOrderTag, bench::kAuthorOrderExpression);

    db::BookTable table;
    auto opened = dbase::Table::open(books.string(), dbase::Access::Shared);
    opened->setOrder(db::kOrderTag);
    table.adopt(std::move(opened));
    const auto query = benchQuery();

    std::vector<double> seconds;
    int matches = 0;
    for (int run = 0; run <= kRuns; ++run) {
        table.setFilter({});
        const Clock::time_point start = Clock::now();
        search::applyRecordFilter(table, search::makeRecordFilter(query, [] { return true; }));
        matches = table.rowCount();
        const double elapsed = bench::secondsSince(start);
        if (run > 0) // the first run warms the cache
            seconds.push_back(elapsed);
    }
    const double worst = bench::worst(seconds);
    std::printf("search apply, 3 criteria over 2 levels, %u books: median %.3f s, worst %.3f s "
                "(target <= %.1f s) %s; %d matches\n",
                options.records, bench::median(seconds), worst, kTarget, worst <= kTarget ? "ok" : "MISSED",
                matches);
}

} // namespace

int main(int argc, char** argv)
{
    const bench::Options options = bench::parseOptions(argc, argv, {kProgram, 100'000, 1, {}});
    return bench::runReportingErrors(kProgram, [&] { run(options); });
}
