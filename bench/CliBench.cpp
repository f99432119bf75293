// shelvano_cli_bench [--records N] [--dir DIR] [--program PATH]
//
// The command line on a generated book table ("NewIndex" by author), warm cache:
// - the integrity check of the table and its tag, key by key;
// - `shelvano import` of every book from delimited text into a new database, the
//   whole process from start to exit, beside the window's import of the same
//   text in-process (the figure the command line is held to, plus its start-up).
#include "BenchSupport.h"

#include "db/BookDatabase.h"
#include "db/BookExport.h"
#include "db/BookTable.h"
#include "dbase/Integrity.h"
#include "exchange/DelimitedImportSource.h"
#include "exchange/ExportDates.h"
#include "exchange/ImportFieldMap.h"
#include "exchange/Importer.h"
#include "platform/ScriptedDialogs.h"
#include "settings/DateFormat.h"

#include <QStringList>
#include <cstdlib>

namespace {

const char* const kProgram = "shelvano_cli_bench";
constexpr int kRuns = 3;

// Wall-clock seconds of `runs` runs after one that warms the cache.
template <class Work> std::vector<double> timed(int runs, Work work)
{
    std::vector<double> seconds;
    for (int run = 0; run <= runs; ++run) {
        const bench::Clock::time_point start = bench::Clock::now();
        work(run);
        if (run > 0)
            seconds.push_back(bench::secondsSince(start));
    }
    return seconds;
}

std::string figures(const std::vector<double>& seconds)
{
    return "median " + bench::secondsText(bench::median(seconds)) + ", worst " +
           bench::secondsText(bench::worst(seconds));
}

void run(const bench::Options& options, const std::string& program)
{
    const bench::WorkDirectory directory(options.directory, kProgram);
    const std::filesystem::path books = directory.path() / "BOOKS.DBF";
    const std::filesystem::path text = directory.path() / "BOOKS.TXT";
    bench::writeBooks(books, options.records)->addTag(db::kOrderTag, bench::kAuthorOrderExpression);
    bench::printLine(bench::loadAverageLine());
    const std::string records = std::to_string(options.records);

    const std::vector<double> check = timed(kRuns, [&](int) {
        const dbase::IntegrityReport report = dbase::checkTable(books.string());
        bench::check(report.clean() && report.tags == 1, "the generated table checks clean with its tag");
    });
    bench::printFigure("check " + records + " books with NewIndex", figures(check), "1 s",
                       bench::worst(check) > 1.0);

    settings::DateFormat dates;
    dates.apply(1, false);
    db::ExportOptions all;
    QStringList names;
    for (int f = 0; f < db::kBookFieldCount; ++f) {
        all.fields.push_back(f);
        all.labels.push_back(QString::fromLatin1(db::bookFields()[std::size_t(f)].name.data()));
        names << all.labels.back();
    }
    {
        auto source = std::make_unique<db::BookTable>();
        source->adopt(dbase::Table::open(books.string(), dbase::Access::Shared));
        db::exportBooks(*source, false, db::ExportKind::Text, all,
                        exchange::ExportDates(dates.pattern(), dates), text.string());
    }

    platform::ScriptedDialogs dialogs;
    const db::ImportMap identity = exchange::ImportFieldMap(names).map();
    const std::vector<double> window = timed(kRuns, [&](int run) {
        const std::filesystem::path target = directory.path() / ("WINDOW" + std::to_string(run) + ".DBF");
        bench::writeBooks(target, 0)->addTag(db::kOrderTag, bench::kAuthorOrderExpression);
        auto table = dbase::Table::open(target.string(), dbase::Access::Shared);
        table->setOrder(db::kOrderTag);
        db::BookTable into;
        into.adopt(std::move(table));
        exchange::FileByteSource bytes(text.string());
        exchange::DelimitedImportSource source(bytes, db::kBookFieldCount, true);
        exchange::Importer importer({into, dialogs, dates, dates.separator(), 2026}, names, "line");
        bench::check(importer.run(source, identity) == options.records, "every record imported in-process");
    });

    // Each run into a data directory of its own: the program makes its MASTER.DBF and tag afresh.
    const std::vector<double> command = timed(kRuns, [&](int run) {
        const std::filesystem::path data = directory.path() / ("cli" + std::to_string(run));
        std::filesystem::create_directories(data / "config");
        const std::string line = "'" + program + "' import '" + text.string() +
                                 "' --skip-first --data-dir '" + data.string() + "' --config-dir '" +
                                 (data / "config").string() + "' > /dev/null 2>&1";
        bench::check(std::system(line.c_str()) == 0, "shelvano import succeeded");
        bench::check(dbase::Table::open((data / "MASTER.DBF").string())->recordCount() == options.records,
                     "every record imported by the command line");
    });
    const double allowed = bench::median(window) + 0.2;
    bench::printLine(bench::padded("import " + records + " from text, window", 42) + figures(window));
    bench::printFigure("import " + records + " from text, command line", figures(command),
                       bench::fixed(allowed, 2) + " s (window + 0.2)", bench::median(command) > allowed);
}

} // namespace

int main(int argc, char** argv)
{
    const bench::Options options =
        bench::parseOptions(argc, argv, {kProgram, 100'000, 1, {{"--program", "PATH"}}});
    const auto given = options.extras.find("--program");
    const std::string program = given != options.extras.end() ? given->second : SHELVANO_PROGRAM;
    return bench::runReportingErrors(kProgram, [&] { run(options, program); });
}
