// shelvano_maintenance_bench [--records N] [--dir DIR]
//
// The maintenance commands on a generated book table in its default sort
// order, each as the main window runs it, reopen and row map included: pack
// with a tenth of the books deleted, rebuild indexes, Update Database, backup
// of the table to a local directory (the flushes to the device timed apart),
// restore with its "NewIndex" build, and the conversion of a 2.X book file of
// as many books, check pass included. The page cache is warm: every file has
// just been written or read.
#include "BenchSupport.h"

#include "db/Backup.h"
#include "db/BookDatabase.h"
#include "db/BookTable.h"
#include "db/LegacyConversion.h"
#include "db/Maintenance.h"
#include "platform/ScriptedDialogs.h"

#include <QCoreApplication>
#include <QFile>
#include <ctime>

namespace {

using bench::Clock;

const char* const kProgram = "shelvano_maintenance_bench";
constexpr int kRuns = 3;

// The real file system, with the time spent flushing files and directories to the device added up.
class TimedSyncs final : public dbase::FileSystem {
public:
    double seconds = 0;

    std::unique_ptr<dbase::File> open(const std::string& path, dbase::OpenMode mode) override
    {
        return std::make_unique<TimedFile>(*this, real().open(path, mode));
    }
    bool exists(const std::string& path) override { return real().exists(path); }
    void rename(const std::string& from, const std::string& to) override { real().rename(from, to); }
    void remove(const std::string& path) override { real().remove(path); }
    void syncDirectory(const std::string& directory) override
    {
        const Clock::time_point start = Clock::now();
        real().syncDirectory(directory);
        seconds += bench::secondsSince(start);
    }

private:
    static dbase::FileSystem& real() { return dbase::defaultFileSystem(); }

    class TimedFile final : public dbase::ForwardingFile {
    public:
        TimedFile(TimedSyncs& owner, std::unique_ptr<dbase::File> inner)
            : ForwardingFile(std::move(inner)), m_owner(owner)
        {
        }
        void sync() override
        {
            const Clock::time_point start = Clock::now();
            inner().sync();
            m_owner.seconds += bench::secondsSince(start);
        }

    private:
        TimedSyncs& m_owner;
    };
};

// Marks every tenth visible book deleted, as users do between packs.
void deleteTenth(const std::string& path)
{
    auto table = dbase::Table::open(path, dbase::Access::Exclusive);
    const std::vector<std::uint32_t> records = table->visibleRecords();
    for (std::size_t i = 0; i < records.size(); i += 10) {
        table->gotoBookmark(records[i]);
        table->deleteRecord();
    }
}

// A 2.X book file of the generator's books: 26 fields, PAGES as text with a thousands comma.
void writeOldBooks(const std::string& path, std::uint32_t records)
{
    using K = dbase::FieldSpec::Kind;
    const auto& book = db::bookFields();
    std::vector<dbase::FieldSpec> fields{{"BOOKNO", K::Character, 6}};
    const char* names[] = {"TITLE",      "AUTHOR",    "YEARPUB",   "PUBLISHER",  "CATEGORY",
                           "WHEREPURCH", "COST",      "VALUE",     "DESCRIPTIO", "ISBN",
                           "RATING",     "PURCHDATE", "BOOKTYPE",  "CATALOGNUM", "SUB1",
                           "SUB2",       "CHECKOUT",  "CHECKDATE", "CHECKPERSO", "VOLUME",
                           "ISSUE",      "EDITION",   "KEYWORDS",  "PAGES",      "LOCATION"};
    std::vector<int> from; // book field of each old field after the first
    for (const char* name : names) {
        const std::string wanted = std::string(name) == "CHECKPERSO" ? "CHECKNAME" : name;
        const int index = db::bookFieldIndex(wanted);
        const db::BookField& f = book[static_cast<std::size_t>(index)];
        fields.push_back({name, wanted == "PAGES" ? K::Character : f.kind, wanted == "PAGES" ? 10 : f.width});
        from.push_back(index);
    }
    dbase::Table::create(path, fields);
    auto table = dbase::Table::open(path, dbase::Access::Exclusive);
    const bench::BookGenerator generator;
    bench::BookRecord record;
    table->beginBatch();
    for (std::uint32_t n = 0; n < records; ++n) {
        generator.generate(n, record);
        table->append();
        table->setText(0, std::to_string(n + 1));
        for (std::size_t i = 0; i < from.size(); ++i) {
            std::string value = record[static_cast<std::size_t>(from[i])];
            if (std::string(names[i]) == "PAGES" && value.size() > 3)
                value.insert(value.size() - 3, ",");
            table->setText(static_cast<int>(i) + 1, value);
        }
        table->post();
    }
    table->endBatch();
}

// Processor time of this process: on a machine shared with other work it says what
// the wall-clock time would be without the wait for a processor.
double processorSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Wall-clock and processor seconds of one run.
struct Timing {
    Clock::time_point wall = Clock::now();
    double processor = processorSeconds();
    std::pair<double, double> elapsed() const
    {
        return {bench::secondsSince(wall), processorSeconds() - processor};
    }
};

void figure(const std::string& name, const std::vector<std::pair<double, double>>& runs, double target)
{
    std::vector<double> wall, processor;
    for (const auto& [w, p] : runs) {
        wall.push_back(w);
        processor.push_back(p);
    }
    const double worst = bench::worst(wall);
    bench::printFigure(name,
                       "median " + bench::secondsText(bench::median(wall)) + ", worst " +
                           bench::secondsText(worst) + ", cpu " +
                           bench::secondsText(bench::median(processor)),
                       bench::shortest(target) + " s", worst > target);
}

void run(const bench::Options& options)
{
    const bench::WorkDirectory directory(options.directory, kProgram);
    const std::filesystem::path data = directory.path() / "data";
    const std::filesystem::path media = directory.path() / "media";
    std::filesystem::create_directories(data);
    std::filesystem::create_directories(media);
    const std::string books = (data / "BOOKS.DBF").string();
    bench::printLine(bench::loadAverageLine());
    bench::writeBooks(books, options.records)->addTag(db::kOrderTag, bench::kAuthorOrderExpression);

    db::BookTable table;
    platform::ScriptedDialogs dialogs;
    db::DatabaseHooks hooks;
    hooks.sortString = [] { return QString::fromLatin1(bench::kAuthorOrderExpression); };
    db::BookDatabase database(table, dialogs, hooks);
    database.OpenSaveFile(QString::fromStdString(books));
    const std::string count = std::to_string(options.records);

    db::Maintenance::Hooks maintenanceHooks;
    maintenanceHooks.sortString = hooks.sortString;
    db::Maintenance maintenance(table, dialogs, maintenanceHooks);
    std::vector<std::pair<double, double>> pack, rebuild, update;
    for (int run = 0; run < kRuns; ++run) {
        table.close();
        deleteTenth(books);
        table.reopen();
        dialogs.expectQuestion("Continue?", platform::Button::Yes);
        Timing timing;
        bench::check(maintenance.MenuPackClick(), "the pack ran");
        pack.push_back(timing.elapsed());
        dialogs.expectQuestion("Continue?", platform::Button::Yes);
        timing = Timing();
        bench::check(maintenance.MenuRebuildClick(), "the rebuild ran");
        rebuild.push_back(timing.elapsed());
        timing = Timing();
        maintenance.MenuUpdateDatabaseClick();
        update.push_back(timing.elapsed());
    }
    figure("pack, 10 % deleted, reopen and row map", pack, 1.8);
    figure("rebuild indexes, reopen and row map", rebuild, 0.6);
    figure("update database", update, 0.2);

    TimedSyncs timed;
    db::Backup backup(database, table, dialogs, QString::fromStdString(data.string()), {}, timed);
    std::vector<std::pair<double, double>> copy, restore;
    std::vector<double> syncs;
    for (int run = 0; run < kRuns; ++run) {
        timed.seconds = 0;
        Timing timing;
        bench::check(backup.backUpDatabase(QString::fromStdString(media.string())), "the backup ran");
        const auto [wall, processor] = timing.elapsed();
        copy.push_back({wall - timed.seconds, processor});
        syncs.push_back(timed.seconds);
        dialogs.expectOpenFile(QString::fromStdString((media / "BOOKS.DBF").string()));
        timing = Timing();
        bench::check(backup.restoreDatabase({}), "the restore ran");
        restore.push_back(timing.elapsed());
    }
    const auto size = std::filesystem::file_size(books);
    figure("backup of " + bench::fixed(double(size) / 1e6, 0) + " MB, without the flushes", copy, 0.5);
    bench::printLine(bench::padded("backup: flushes to the device", 42) + "median " +
                     bench::secondsText(bench::median(syncs)) + " (device-bound; no target)");
    figure("restore, NewIndex, reopen and row map", restore, 2.0);

    // The conversion appends to an empty current database.
    const std::string master = (data / "MASTER.DBF").string();
    dbase::Table::create(master, db::bookFieldSpecs());
    dbase::Table::open(master, dbase::Access::Exclusive)
        ->addTag(db::kOrderTag, bench::kAuthorOrderExpression);
    database.OpenSaveFile(QString::fromStdString(master));
    writeOldBooks((data / "B2LOG.DBF").string(), options.records);
    db::LegacyConversion conversion(table, dialogs);
    dialogs.expectQuestion("(2.X)", platform::Button::Yes);
    const Timing timing;
    const std::uint32_t added = conversion.CheckForConversion(QString::fromStdString(data.string()), false);
    figure("2.X conversion of " + count + " books, check pass", {timing.elapsed()}, 3.0);
    bench::check(added == options.records, "every old book was converted");
    if (const auto peak = bench::peakResidentMegabytes())
        bench::printLine(bench::padded("peak resident size of the whole run", 42) + bench::fixed(*peak, 0) +
                         " MB");
    for (const auto& message : dialogs.transcript())
        if (message.caption == "Error")
            throw std::runtime_error(message.text.toStdString());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const bench::Options options = bench::parseOptions(argc, argv, {kProgram, 100'000, 1, {}});
    return bench::runReportingErrors(kProgram, [&] { run(options); });
}
