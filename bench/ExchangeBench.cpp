// shelvano_exchange_bench [--records N] [--dir DIR]
//
// Import and export on a generated book table in its default sort order
// ("NewIndex" by author), warm cache:
// - export of every book to delimited text and to a dBase table, in tag order;
// - export of a search that keeps about 10 % of the books;
// - delimited import of that text into a new book table with "NewIndex"
//   maintained: encoding decision, the check pass, the writes in one batch and
//   one row-map rebuild; with the growth of the peak resident size;
// - dBase import of the exported table, the same way;
// - SQLite's .import of the same text file into a new database, for comparison.
#include "BenchSupport.h"

#include "db/BookDatabase.h"
#include "db/BookExport.h"
#include "db/BookImport.h"
#include "db/BookTable.h"
#include "exchange/DelimitedImportSource.h"
#include "exchange/ExportDates.h"
#include "exchange/ImportFieldMap.h"
#include "exchange/Importer.h"
#include "platform/ScriptedDialogs.h"
#include "settings/DateFormat.h"

#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace {

using bench::Clock;

const char* const kProgram = "shelvano_exchange_bench";
constexpr int kRuns = 3;

std::unique_ptr<db::BookTable> openInOrder(const std::filesystem::path& path)
{
    auto table = dbase::Table::open(path.string(), dbase::Access::Shared);
    table->setOrder(db::kOrderTag);
    auto books = std::make_unique<db::BookTable>();
    books->adopt(std::move(table));
    return books;
}

// A new, empty book database with the sort tag, as a fresh database starts.
void makeEmptyBooks(const std::filesystem::path& path)
{
    bench::writeBooks(path, 0)->addTag(db::kOrderTag, bench::kAuthorOrderExpression);
}

// Seconds of processor time this process used so far, user and system: on a
// machine shared with other work it tells what the wall clock cannot.
double processorSeconds()
{
    double seconds = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) { // children: the sqlite3 runs
        rusage usage{};
        getrusage(who, &usage);
        seconds += double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return seconds;
}

struct Runs {
    std::vector<double> wall;
    std::vector<double> processor;
};

template <class Work> Runs timed(int runs, Work work)
{
    Runs result;
    for (int run = 0; run <= runs; ++run) {
        const double used = processorSeconds();
        const Clock::time_point start = Clock::now();
        work(run);
        if (run > 0) { // the first run warms the cache
            result.wall.push_back(bench::secondsSince(start));
            result.processor.push_back(processorSeconds() - used);
        }
    }
    return result;
}

void figure(const std::string& name, const Runs& runs, double target, const std::string& more = {})
{
    const double worst = bench::worst(runs.wall);
    bench::printFigure(name,
                       "median " + bench::secondsText(bench::median(runs.wall)) + ", worst " +
                           bench::secondsText(worst) + ", cpu " +
                           bench::secondsText(bench::median(runs.processor)) + more,
                       bench::shortest(target) + " s", worst > target);
}

void run(const bench::Options& options)
{
    const bench::WorkDirectory directory(options.directory, kProgram);
    const std::filesystem::path books = directory.path() / "BOOKS.DBF";
    const std::filesystem::path text = directory.path() / "EXPORT.TXT";
    const std::filesystem::path dbf = directory.path() / "EXPORT.DBF";
    bench::writeBooks(books, options.records)->addTag(db::kOrderTag, bench::kAuthorOrderExpression);
    bench::printLine(bench::loadAverageLine());

    settings::DateFormat dates;
    dates.apply(1, false);
    const exchange::ExportDates exportDates(dates.pattern(), dates);
    db::ExportOptions all;
    QStringList names;
    for (int f = 0; f < db::kBookFieldCount; ++f) {
        all.fields.push_back(f);
        all.labels.push_back(QString::fromLatin1(db::bookFields()[std::size_t(f)].name.data()));
        names << all.labels.back();
    }
    const std::string records = std::to_string(options.records);

    {
        auto source = openInOrder(books);
        const Runs toText = timed(kRuns, [&](int) {
            db::exportBooks(*source, false, db::ExportKind::Text, all, exportDates, text.string());
        });
        figure("export " + records + " to text, tag order", toText, 1.5,
               ", " + bench::fixed(double(std::filesystem::file_size(text)) / 1e6, 1) + " MB");
        figure("export " + records + " to dBase, tag order",
               timed(kRuns,
                     [&](int) {
                         db::exportBooks(*source, false, db::ExportKind::Dbase, all, exportDates,
                                         dbf.string());
                     }),
               2.5);
        // About one book in ten: the published years ending in 3.
        source->setFilter([](const dbase::RecordView& r) { return r.text(2).ends_with('3'); });
        const int rows = source->rowCount();
        const std::filesystem::path part = directory.path() / "SEARCH.TXT";
        figure("export a search of " + std::to_string(rows) + " to text",
               timed(kRuns,
                     [&](int) {
                         db::exportBooks(*source, true, db::ExportKind::Text, all, exportDates,
                                         part.string());
                     }),
               0.3);
    }

    platform::ScriptedDialogs dialogs;
    const db::ImportMap identity = exchange::ImportFieldMap(names).map();
    std::optional<double> grown;
    const Runs textImport = timed(kRuns, [&](int run) {
        const std::filesystem::path target = directory.path() / ("TEXTIN" + std::to_string(run) + ".DBF");
        makeEmptyBooks(target);
        auto into = openInOrder(target);
        const bool measured = run == kRuns && bench::resetPeakResident();
        const std::optional<double> before = bench::peakResidentMegabytes();
        exchange::FileByteSource bytes(text.string());
        exchange::DelimitedImportSource source(bytes, db::kBookFieldCount, true);
        exchange::Importer importer({*into, dialogs, dates, dates.separator(), 2026}, names, "line");
        bench::check(importer.run(source, identity) == options.records, "every text record imported");
        bench::check(into->rowCount() == int(options.records), "the row map holds every record");
        const std::optional<double> after = bench::peakResidentMegabytes();
        if (measured && before && after)
            grown = *after - *before;
    });
    figure("import " + records + " from text, NewIndex kept", textImport, 3.0,
           grown ? ", peak RSS +" + bench::fixed(*grown, 1) + " MB (target +50)" : std::string());

    figure("import " + records + " from dBase, NewIndex kept",
           timed(kRuns,
                 [&](int run) {
                     const std::filesystem::path target =
                         directory.path() / ("DBFIN" + std::to_string(run) + ".DBF");
                     makeEmptyBooks(target);
                     auto into = openInOrder(target);
                     db::DbfImportSource source(dbf.string());
                     exchange::Importer importer({*into, dialogs, dates, dates.separator(), 2026}, names,
                                                 "record");
                     bench::check(importer.run(source, identity) == options.records,
                                  "every dBase record imported");
                 }),
           3.0);

    const Runs sqlite = timed(kRuns, [&](int run) {
        const std::filesystem::path target = directory.path() / ("sqlite" + std::to_string(run) + ".db");
        const std::string command = "sqlite3 '" + target.string() + "' -cmd '.mode csv' '.import " +
                                    text.string() + " books' > /dev/null 2>&1";
        bench::check(std::system(command.c_str()) == 0, "sqlite3 .import ran");
    });
    bench::printLine(bench::padded("sqlite3 .import of the same text", 42) + "median " +
                     bench::secondsText(bench::median(sqlite.wall)) + ", worst " +
                     bench::secondsText(bench::worst(sqlite.wall)) + ", cpu " +
                     bench::secondsText(bench::median(sqlite.processor)) +
                     " (for comparison; no index, no checks)");
}

} // namespace

int main(int argc, char** argv)
{
    const bench::Options options = bench::parseOptions(argc, argv, {kProgram, 100'000, 1, {}});
    return bench::runReportingErrors(kProgram, [&] { run(options); });
}
