// shelvano_sortlocate_bench [--records N] [--dir DIR]
//
// A new sort order and locate on a generated book table: the change of order
// (in-use test, tag rebuilt, table opened again), locate next walking the whole
// table, and locate next through the index. One line per figure with its
// target; each is measured five times on a warm page cache and the median shown.
#include "BenchSupport.h"

#include "db/BookDatabase.h"
#include "db/BookSchema.h"
#include "db/BookTable.h"
#include "db/FieldText.h"
#include "db/Locator.h"
#include "dbase/Table.h"
#include "platform/ScriptedDialogs.h"
#include "search/SortOrderChange.h"

#include <QCoreApplication>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

using bench::check;
using bench::Clock;

const char* const kProgram = "shelvano_sortlocate_bench";
constexpr int kRuns = 5;
constexpr int kAuthorField = 1;

// Median seconds of kRuns runs of `work` after one run that warms the cache; `prepare` runs untimed before
// each.
double timeMedian(const std::function<void()>& prepare, const std::function<void()>& work)
{
    prepare();
    work();
    std::vector<double> seconds;
    for (int run = 0; run < kRuns; ++run) {
        prepare();
        const Clock::time_point start = Clock::now();
        work();
        seconds.push_back(bench::secondsSince(start));
    }
    return bench::median(seconds);
}

void report(const std::string& name, double seconds, double target, bool milliseconds)
{
    const double scale = milliseconds ? 1000.0 : 1.0;
    const std::string unit = milliseconds ? " ms" : " s";
    bench::printFigure(name, "median " + bench::fixed(seconds * scale, 3) + unit,
                       bench::shortest(target * scale) + unit, seconds > target);
}

void run(const std::filesystem::path& directory, std::uint32_t records)
{
    const std::filesystem::path path = directory / "BOOKS.DBF";
    bench::writeBooks(path, records)->addTag(db::kOrderTag, bench::kAuthorOrderExpression);

    platform::ScriptedDialogs dialogs;
    db::BookTable books;
    db::BookDatabase database(books, dialogs, {});
    auto shared = dbase::Table::open(path.string(), dbase::Access::Shared);
    shared->setOrder(db::kOrderTag);
    books.adopt(std::move(shared));

    std::array<int, 4> levels{2, 0, 0, 0};
    search::SortOrderChange change(books, levels, dialogs,
                                   {[&](const QString& file) { return database.DBaseInUse(file); }, {}, {}});
    const std::array<int, 4> fourLevels{5, 2, 12, 7}; // category, author, purchase date, cost
    const std::array<int, 4> byAuthor{2, 0, 0, 0};
    const std::string n = std::to_string(records);

    double seconds = timeMedian(
        [&] { check(change.apply(byAuthor) == search::SortOrderChange::Outcome::Applied, "author order"); },
        [&] { check(change.apply(fourLevels) == search::SortOrderChange::Outcome::Applied, "four levels"); });
    report("new_sort_order_4_levels_" + n, seconds, 0.6, false);
    check(change.apply(byAuthor) == search::SortOrderChange::Outcome::Applied, "author order");

    db::ShortDateText dates;
    db::Locator locator(books, dates);
    const db::LocateQuery nowhere{"TITLE", QStringLiteral("no such title"), db::MatchType::Anywhere, false};
    seconds = timeMedian([&] { books.gotoRow(0); },
                         [&] { check(!locator.find(nowhere, db::Locator::From::Next), "nothing found"); });
    report("locate_next_whole_table_" + n, seconds, 0.3, false);

    // The last author in the order, from the first row on: the scan reads every row, the index goes there.
    QString lastAuthor;
    books.readRows(books.rowCount() - 1, 1, [&](int, const dbase::Table& table) {
        lastAuthor = QString::fromStdString(table.text(kAuthorField));
    });
    const db::LocateQuery last{"AUTHOR", lastAuthor, db::MatchType::Exact, false};
    seconds = timeMedian([&] { books.gotoRow(0); },
                         [&] { check(locator.find(last, db::Locator::From::Next), "last author found"); });
    check(locator.usedIndexSeek(), "the index served");
    report("locate_next_last_author_index_seek_" + n, seconds, 0.005, true);
    locator.setIndexSeek(false);
    seconds = timeMedian([&] { books.gotoRow(0); },
                         [&] { check(locator.find(last, db::Locator::From::Next), "last author found"); });
    report("locate_next_last_author_scan_" + n, seconds, 0.3, false);
    check(dialogs.transcript().empty(), "no message");
}

} // namespace

int main(int argc, char** argv)
{
    const bench::Options options = bench::parseOptions(argc, argv, {kProgram, 100'000, 1, {}});
    QCoreApplication app(argc, argv);
    return bench::runReportingErrors(kProgram, [&] {
        const bench::WorkDirectory directory(options.directory, kProgram);
        run(directory.path(), options.records);
    });
}
