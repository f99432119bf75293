#include "app/Cli.h"

#include "app/Application.h"
#include "app/ConsoleDialogs.h"
#include "app/TMain.h"
#include "db/Backup.h"
#include "db/BookCursor.h"
#include "db/BookDatabase.h"
#include "db/BookExport.h"
#include "db/BookImport.h"
#include "db/BookSchema.h"
#include "db/DurableFile.h"
#include "dbase/DatabaseError.h"
#include "dbase/Integrity.h"
#include "dbase/Table.h"
#include "exchange/DelimitedImportSource.h"
#include "exchange/ExchangeServices.h"
#include "exchange/ImportFieldMap.h"
#include "exchange/Importer.h"
#include "exchange/SameFile.h"
#include "exchange/TextSource.h"
#include "platform/AppPaths.h"
#include "platform/ProfileFile.h"
#include "platform/Screen.h"
#include "reportengine/ReportStreamIO.h"
#include "reportengine/TPrinterReport.h"
#include "reportengine/TReportFiler.h"
#include "reports/BookReportSource.h"
#include "reports/ReportFile.h"
#include "reports/ReportGenerator.h"
#include "reports/ReportServices.h"
#include "search/SortString.h"
#include "settings/Settings.h"

#include <QAction>
#include <QCommandLineParser>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QPrinter>
#include <QSaveFile>

#include <cstdio>
#include <map>
#include <set>
#include <unistd.h>

namespace {

using platform::Button;

constexpr int kFailed = 1;
constexpr int kUsage = 2;

struct CommandDesign {
    const char* name;
    const char* arguments;
    const char* summary;
    int minArguments;
    int maxArguments;
    std::set<QString> options; // besides --data-dir and --config-dir
};

const std::vector<CommandDesign>& commands()
{
    static const std::vector<CommandDesign> designs = {
        {"import",
         "FILE [--db DB] [--skip-first] [--map auto|N,N,...]",
         "Add the records of a delimited text file or a dBase file to the database.",
         1,
         1,
         {"db", "skip-first", "map"}},
        {"export",
         "FILE [--db DB] [--fields F,F,...] [--format text|dbase] [--encoding utf-8|windows-1252]",
         "Write every book of the database to a delimited text file or a dBase file.",
         1,
         1,
         {"db", "fields", "format", "encoding"}},
        {"report",
         "NAME --pdf FILE | --text FILE [--db DB]",
         "Print a report of the whole database to a PDF file or a text file.",
         1,
         1,
         {"db", "pdf", "text"}},
        {"check",
         "[DB] [--repair]",
         "Check a table and its index; --repair mends what can be mended without losing a record.",
         0,
         1,
         {"repair"}},
        {"pack", "[DB]", "Remove the records marked deleted for good and rebuild the index.", 0, 1, {}},
        {"reindex", "[DB]", "Rebuild the index, then check the table.", 0, 1, {}},
        {"backup",
         "DIR [DB]",
         "Back up the database, the pick lists and the report definitions to DIR.",
         1,
         2,
         {}},
        {"restore",
         "FILE",
         "Restore a backed-up database (.DBF), the pick lists (a .LST) or the reports (.URP).",
         1,
         1,
         {}},
    };
    return designs;
}

const CommandDesign* findCommand(const QString& name)
{
    for (const CommandDesign& design : commands())
        if (name == QLatin1String(design.name))
            return &design;
    return nullptr;
}

void printError(const QString& text)
{
    std::fprintf(stderr, "shelvano: %s\n", text.toUtf8().constData());
}

void printOut(const QString& text)
{
    std::fprintf(stdout, "%s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

bool stderrIsTerminal()
{
    return isatty(fileno(stderr)) != 0;
}

// "\r1,234 records" on a terminal; nothing when the output goes to a file.
std::function<void(long long)> progressLine(const char* what)
{
    if (!stderrIsTerminal())
        return {};
    return [what](long long count) {
        std::fprintf(stderr, "\r%lld %s", count, what);
        std::fflush(stderr);
    };
}

void endProgressLine()
{
    if (stderrIsTerminal())
        std::fprintf(stderr, "\r\033[K");
}

QString absolute(const QString& path)
{
    return QFileInfo(path).absoluteFilePath();
}

std::filesystem::path fsPath(const QString& path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QString fromPath(const std::filesystem::path& path)
{
    return QFile::decodeName(path.string().c_str());
}

// One run of a command: the parsed line, the paths, and the main window's
// objects once the database is open.
class Run {
public:
    Run(const CommandDesign& design, QCommandLineParser& parser) : m_design(design), m_parser(parser) {}

    int execute();

private:
    int importFile();
    int exportFile();
    int report();
    int check();
    int maintain(TMain::Command command);
    int backup();
    int restore();

    // Opens the database in the main window (not shown); false after saying why.
    bool openDatabase(const QString& database);
    // The database the command works on: the argument at `position` (none when
    // negative), else --db, else the default.
    QString databaseFor(int position) const;
    // The database the settings name, else the data directory's default.
    QString defaultDatabase() const;
    settings::Settings storedSettings() const;
    // Makes the book order tag afresh when the engine alone could not; says so in `report`.
    void remakeOrderTag(const std::string& path, dbase::IntegrityReport& report) const;
    // Whether `path` is one of the program's own files (the database's among them), which no
    // command may overwrite or read as input.
    bool isProgramFile(const QString& path, const QString& database) const;
    QString option(const char* name) const { return m_parser.value(QString::fromLatin1(name)); }
    bool isSet(const char* name) const { return m_parser.isSet(QString::fromLatin1(name)); }

    const CommandDesign& m_design;
    QCommandLineParser& m_parser;
    QStringList m_arguments;
    platform::AppPaths m_paths;
    ConsoleDialogs m_dialogs;
    platform::FixedScreen m_screen{QSize(1280, 1024)};
    std::unique_ptr<TMain> m_main;
};

settings::Settings Run::storedSettings() const
{
    settings::Settings stored;
    const std::filesystem::path found = platform::findFileIgnoringCase(m_paths.configDir, "SHVBOOK.INI");
    try {
        if (!found.empty())
            stored.read(platform::ProfileFile::load(found));
    } catch (const platform::ProfileError&) {
        // The window says so at its next start; the command takes the defaults.
    }
    return stored;
}

QString Run::defaultDatabase() const
{
    const settings::Settings stored = storedSettings();
    if (!stored.lastDatabase.isEmpty() && QFileInfo::exists(stored.lastDatabase))
        return stored.lastDatabase;
    return db::defaultDatabasePath(fromPath(m_paths.dataDir));
}

QString Run::databaseFor(int position) const
{
    if (position >= 0 && position < m_arguments.size())
        return absolute(m_arguments[position]);
    if (isSet("db"))
        return absolute(option("db"));
    return defaultDatabase();
}

bool Run::isProgramFile(const QString& path, const QString& database) const
{
    QStringList owned = exchange::programFilesIn(fromPath(m_paths.dataDir));
    owned << fromPath(m_paths.configDir / "SHVBOOK.INI") << database << db::indexPathOf(database);
    // Those not made yet count by name: the program makes them when it starts.
    const QFileInfo info(absolute(path));
    const QString upper = info.fileName().toUpper();
    if (QDir(info.absolutePath()) == QDir(fromPath(m_paths.dataDir)) &&
        (upper == QLatin1String("SHVBOOK.URP") || upper.endsWith(QLatin1String(".LST"))))
        return true;
    const std::string target = QFile::encodeName(absolute(path)).toStdString();
    for (const QString& file : owned)
        if (db::sameFile(target, QFile::encodeName(file).toStdString()))
            return true;
    return false;
}

bool Run::openDatabase(const QString& database)
{
    // The default database is created when missing, as the window's start does; another must exist.
    if (!database.isEmpty() && !QFileInfo::exists(database) && database != defaultDatabase()) {
        printError(QStringLiteral("The database %1 does not exist.").arg(database));
        return false;
    }
    // The start's offer to convert an older version's files is declined; its other
    // questions (quit when no database opens, rebuild a damaged index) are answered Yes.
    m_dialogs.setAnswer(Button::Yes);
    m_dialogs.setDeclined({QStringLiteral("has been detected")});
    m_dialogs.setQuiet(true);
    m_main = std::make_unique<TMain>(m_dialogs, m_screen, m_paths, false);
    if (!database.isEmpty())
        m_main->setStartDatabase(database);
    try {
        if (!m_main->startUp() || !m_main->bookTable().isOpen()) {
            printError(QStringLiteral("The database could not be opened."));
            return false;
        }
    } catch (const std::exception& error) {
        printError(QString::fromUtf8(error.what()));
        return false;
    }
    if (m_dialogs.errorShown())
        return false;
    // The command's own questions were asked for on the command line.
    m_dialogs.setDeclined({});
    m_dialogs.setQuiet(false);
    return true;
}

int Run::execute()
{
    m_arguments = m_parser.positionalArguments();
    m_arguments.removeFirst(); // the command
    try {
        platform::PathOverrides overrides;
        if (isSet("data-dir"))
            overrides.dataDir = fsPath(option("data-dir"));
        if (isSet("config-dir"))
            overrides.configDir = fsPath(option("config-dir"));
        m_paths = platform::resolveAppPaths(overrides);
        m_paths.stateDir.clear(); // a command never closes the window, so it keeps no safety copy
        platform::ensureDirectory(m_paths.dataDir);
    } catch (const std::exception& error) {
        printError(QString::fromUtf8(error.what()));
        return kFailed;
    }
    const QString name = QString::fromLatin1(m_design.name);
    try {
        if (name == QLatin1String("import"))
            return importFile();
        if (name == QLatin1String("export"))
            return exportFile();
        if (name == QLatin1String("report"))
            return report();
        if (name == QLatin1String("check"))
            return check();
        if (name == QLatin1String("pack"))
            return maintain(TMain::Command::Pack);
        if (name == QLatin1String("reindex"))
            return maintain(TMain::Command::RebuildIndexes);
        if (name == QLatin1String("backup"))
            return backup();
        return restore();
    } catch (const std::exception& error) {
        endProgressLine();
        printError(QString::fromUtf8(error.what()));
        return kFailed;
    }
}

int Run::importFile()
{
    const QString file = absolute(m_arguments[0]);
    if (!QFileInfo(file).isFile()) {
        printError(QStringLiteral("The file %1 does not exist.").arg(file));
        return kFailed;
    }
    const QString database = databaseFor(1);
    if (isProgramFile(file, database)) {
        printError(QStringLiteral("%1 is one of the program's own files and cannot be imported.").arg(file));
        return kFailed;
    }
    const bool dbase = QFileInfo(file).suffix().compare(QLatin1String("dbf"), Qt::CaseInsensitive) == 0;
    const std::string path = QFile::encodeName(file).toStdString();
    QStringList names;
    std::unique_ptr<exchange::FileByteSource> bytes;
    std::unique_ptr<db::ImportSource> source;
    if (dbase) {
        auto table = std::make_unique<db::DbfImportSource>(path);
        for (const std::string& field : table->fieldNames())
            names << QString::fromStdString(field);
        source = std::move(table);
    } else {
        exchange::FileByteSource headerBytes(path);
        const exchange::DelimitedHeader header = exchange::readDelimitedHeader(headerBytes);
        if (header.error != exchange::DelimitedReader::FirstLineError::None || header.names.isEmpty()) {
            printError(QStringLiteral("The first line of %1 cannot be read as delimited text.").arg(file));
            return kFailed;
        }
        names = header.names;
        bytes = std::make_unique<exchange::FileByteSource>(path);
        source = std::make_unique<exchange::DelimitedImportSource>(*bytes, static_cast<int>(names.size()),
                                                                   isSet("skip-first"));
    }

    db::ImportMap map = exchange::ImportFieldMap(names).map();
    const QString mapText = option("map");
    if (!mapText.isEmpty() && mapText != QLatin1String("auto")) {
        const QStringList numbers = mapText.split(QLatin1Char(','));
        if (numbers.size() != names.size()) {
            printError(QStringLiteral("--map gives %1 field numbers; the file has %2 fields.")
                           .arg(numbers.size())
                           .arg(names.size()));
            return kUsage;
        }
        for (qsizetype i = 0; i < numbers.size(); ++i) {
            bool ok = false;
            const int field = numbers[i].trimmed().toInt(&ok);
            if (!ok || field < 0 || field > db::kBookFieldCount) {
                printError(QStringLiteral("--map: \"%1\" is not a book field number (1 to %2, 0 to skip).")
                               .arg(numbers[i])
                               .arg(db::kBookFieldCount));
                return kUsage;
            }
            map[std::size_t(i)] = field - 1;
        }
    }

    if (!openDatabase(database))
        return kFailed;
    exchange::Importer importer({m_main->bookTable(), m_dialogs, m_main->dateFormat(),
                                 m_main->dateFormat().separator(), QDate::currentDate().year()},
                                names, dbase ? QStringLiteral("record") : QStringLiteral("line"));
    const long long added = importer.run(*source, map, progressLine("records"));
    endProgressLine();
    if (added < 0 || m_dialogs.errorShown())
        return kFailed;
    printOut(QStringLiteral("%1 records added to %2.").arg(added).arg(m_main->database().currentPath()));
    return 0;
}

int Run::exportFile()
{
    const QString target = absolute(m_arguments[0]);
    const QString database = databaseFor(1);
    if (isProgramFile(target, database)) {
        printError(
            QStringLiteral("%1 is one of the program's own files and cannot be written over.").arg(target));
        return kFailed;
    }
    QString format = option("format");
    if (format.isEmpty())
        format = QFileInfo(target).suffix().compare(QLatin1String("dbf"), Qt::CaseInsensitive) == 0
                     ? QStringLiteral("dbase")
                     : QStringLiteral("text");
    if (format != QLatin1String("text") && format != QLatin1String("dbase")) {
        printError(QStringLiteral("--format is text or dbase, not \"%1\".").arg(format));
        return kUsage;
    }
    db::ExportOptions options;
    const QString encoding = option("encoding");
    if (!encoding.isEmpty() && encoding != QLatin1String("utf-8") &&
        encoding != QLatin1String("windows-1252")) {
        printError(QStringLiteral("--encoding is utf-8 or windows-1252, not \"%1\".").arg(encoding));
        return kUsage;
    }
    if (isSet("fields")) {
        for (const QString& item : option("fields").split(QLatin1Char(','))) {
            bool isNumber = false;
            int field = item.trimmed().toInt(&isNumber) - 1;
            if (!isNumber)
                field = db::bookFieldIndex(item.trimmed().toUpper().toStdString());
            if (field < 0 || field >= db::kBookFieldCount) {
                printError(QStringLiteral("--fields: \"%1\" is not a book field.").arg(item));
                return kUsage;
            }
            options.fields.push_back(field);
        }
    }
    // Nothing is opened, let alone made, before the command line is known to be right.
    if (!openDatabase(database))
        return kFailed;
    const settings::Settings& settings = m_main->settings();
    options.windows1252 =
        encoding.isEmpty() ? settings.exportEncoding == 2 : encoding == QLatin1String("windows-1252");
    if (!isSet("fields")) {
        for (int field = 0; field < db::kBookFieldCount; ++field)
            if (settings.fields[std::size_t(field)].exported)
                options.fields.push_back(field);
    }
    if (format == QLatin1String("text") && settings.exportFirstRow)
        for (int field : options.fields)
            options.labels.push_back(exchange::exportLabel(settings, field));
    const auto progress = progressLine("records");
    db::exportBooks(m_main->bookTable(), false,
                    format == QLatin1String("text") ? db::ExportKind::Text : db::ExportKind::Dbase, options,
                    m_main->dateFormat(), QFile::encodeName(target).toStdString(), dbase::defaultFileSystem(),
                    [&progress](std::size_t written) {
                        if (progress)
                            progress(static_cast<long long>(written));
                    });
    endProgressLine();
    printOut(QStringLiteral("%1 records exported to %2.").arg(m_main->bookTable().rowCount()).arg(target));
    return 0;
}

// Counts what a report writes when only its layout matters.
class DiscardDevice : public QIODevice {
public:
    DiscardDevice() { open(QIODevice::ReadWrite | QIODevice::Unbuffered); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 length) override { return length; }
};

int Run::report()
{
    const bool pdf = isSet("pdf"), text = isSet("text");
    if (pdf == text) {
        printError(QStringLiteral("report needs one of --pdf FILE and --text FILE."));
        return kUsage;
    }
    const QString target = absolute(option(pdf ? "pdf" : "text"));
    const QString database = databaseFor(-1);
    if (isProgramFile(target, database)) {
        printError(
            QStringLiteral("%1 is one of the program's own files and cannot be written over.").arg(target));
        return kFailed;
    }
    const reports::ReportFile file(reports::ensureReportFile(m_paths.dataDir.string()));
    const std::vector<std::string> names = file.list();
    const QString wanted = m_arguments[0].trimmed();
    int index = -1;
    for (std::size_t i = 0; i < names.size() && index < 0; ++i)
        if (QString::fromStdString(names[i]).trimmed().compare(wanted, Qt::CaseInsensitive) == 0)
            index = static_cast<int>(i);
    if (index < 0) {
        QStringList known;
        for (const std::string& name : names)
            known << QString::fromStdString(name).trimmed();
        printError(QStringLiteral("There is no report named \"%1\".  The reports are: %2.")
                       .arg(wanted, known.join(QStringLiteral(", "))));
        return kFailed;
    }
    if (!openDatabase(database))
        return kFailed;
    reports::ReportServices* services = m_main->reportServices();
    if (!services) {
        printError(QStringLiteral("The report definitions could not be read."));
        return kFailed;
    }
    const std::optional<reports::ReportDefinition> definition = file.read(index);
    if (!definition) {
        printError(QStringLiteral("Report format could not be located."));
        return kFailed;
    }

    db::BookCursor cursor(services->table, false);
    reports::BookReportSource source(cursor, services->numbers, services->dates, services->fieldTitles());
    const reports::Grouping grouping = reports::groupingFor(*definition, services->sortFields());
    const reports::OutputMode mode = pdf ? reports::OutputMode::Printer : reports::OutputMode::TextFile;
    QPrinter printer(QPrinter::HighResolution);
    QSaveFile textFile(target);
    DiscardDevice discard;
    std::unique_ptr<reportengine::TBaseReport> engine;
    if (pdf) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(target);
        auto printing = std::make_unique<reportengine::TPrinterReport>(printer);
        printing->showMessage = [](const QString& message) { printError(message); };
        engine = std::move(printing);
    } else {
        auto filer = std::make_unique<reportengine::TReportFiler>(nullptr);
        filer->SetStreamMode(reportengine::smUser);
        filer->SetStream(&discard);
        engine = std::move(filer);
    }
    reports::ReportGenerator generator(*definition, source, mode, grouping, text ? &textFile : nullptr);
    generator.bind(*engine);
    if (const std::optional<QString> refusal = generator.refusal(*engine)) {
        printError(*refusal);
        return kFailed;
    }
    if (text && !textFile.open(QIODevice::WriteOnly)) {
        printError(
            QStringLiteral("The report cannot be written to %1: %2.").arg(target, textFile.errorString()));
        return kFailed;
    }
    engine->Run();
    if (!generator.failure().isEmpty() || engine->WasAborted()) {
        printError(generator.failure().isEmpty() ? QStringLiteral("The report was not completed.")
                                                 : generator.failure());
        return kFailed;
    }
    if (text && !textFile.commit()) {
        printError(
            QStringLiteral("The report could not be written to %1: %2.").arg(target, textFile.errorString()));
        return kFailed;
    }
    printOut(QStringLiteral("%1 written to %2.")
                 .arg(QString::fromStdString(names[std::size_t(index)]).trimmed(), target));
    return 0;
}

int Run::check()
{
    const QString database = databaseFor(0);
    if (!QFileInfo(database).isFile()) {
        printError(QStringLiteral("The database %1 does not exist.").arg(database));
        return kFailed;
    }
    const std::string path = QFile::encodeName(database).toStdString();
    dbase::IntegrityReport report = dbase::checkTable(path);
    if (isSet("repair") && !report.clean()) {
        try {
            report = dbase::repairTable(path);
            remakeOrderTag(path, report);
        } catch (const dbase::DatabaseError& error) {
            // What is wrong is still worth knowing when it cannot be mended here.
            std::fputs(report.text().c_str(), stdout);
            printError(
                QStringLiteral("The table could not be repaired: %1").arg(QString::fromUtf8(error.what())));
            return kFailed;
        }
    }
    std::fputs(report.text().c_str(), stdout);
    return report.clean() ? 0 : kFailed;
}

bool isBookTable(const dbase::Table& table)
{
    const auto& fields = table.fields();
    if (fields.size() != db::bookFields().size())
        return false;
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (fields[i].name != db::bookFields()[i].name)
            return false;
    return true;
}

// Without its index file the engine does not know a table's tags, but a book table's
// only tag is the order tag, made from the sort order as the window makes it.
void Run::remakeOrderTag(const std::string& path, dbase::IntegrityReport& report) const
{
    const bool indexFault =
        std::any_of(report.findings.begin(), report.findings.end(),
                    [](const auto& finding) { return finding.area == dbase::IntegrityFinding::Area::Index; });
    {
        std::unique_ptr<dbase::Table> table = dbase::Table::openIgnoringIndex(path, dbase::Access::Exclusive);
        const std::string sort = BuildSortString(storedSettings().sortOrder).trimmed().toStdString();
        const bool missing = !sort.empty() && !table->hasTag(db::kOrderTag);
        if (!isBookTable(*table) || !(report.index.empty() || indexFault || missing))
            return;
        if (!table->indexError().empty())
            table->regenerateIndexes();
        if (table->hasTag(db::kOrderTag))
            table->deleteTag(db::kOrderTag);
        if (!sort.empty())
            table->addTag(db::kOrderTag, sort);
        report.repairs.push_back(std::string("made the book order tag ") + db::kOrderTag +
                                 " afresh from the sort order of the settings (" +
                                 (sort.empty() ? std::string("none") : sort) + ")");
    }
    std::vector<std::string> repairs = std::move(report.repairs);
    report = dbase::checkTable(path);
    report.repairs = std::move(repairs);
}

int Run::maintain(TMain::Command command)
{
    if (!openDatabase(databaseFor(0)))
        return kFailed;
    m_main->action(command)->trigger();
    if (m_dialogs.errorShown())
        return kFailed;
    // The command has already said what its own check afterwards still finds.
    const dbase::IntegrityReport report =
        dbase::checkTable(QFile::encodeName(m_main->database().currentPath()).toStdString());
    if (!report.clean())
        return kFailed;
    printOut(QStringLiteral("%1: %2 records; the table and its index are sound.")
                 .arg(m_main->database().currentPath())
                 .arg(report.records));
    return 0;
}

int Run::backup()
{
    const QString directory = absolute(m_arguments[0]);
    if (!QFileInfo(directory).isDir()) {
        printError(QStringLiteral("The directory %1 does not exist.").arg(directory));
        return kFailed;
    }
    if (!openDatabase(databaseFor(1)))
        return kFailed;
    db::Backup::Hooks hooks;
    db::Backup backup(m_main->database(), m_main->bookTable(), m_dialogs, fromPath(m_paths.dataDir), hooks);
    // Each part says it succeeded, as the window's three commands must; here the last one says it for all.
    m_dialogs.setQuiet(true);
    const bool started = backup.backUpDatabase(directory) && backup.backUpLists(directory);
    m_dialogs.setQuiet(false);
    const bool done = started && backup.backUpReports(directory) && !m_dialogs.errorShown();
    return done ? 0 : kFailed;
}

int Run::restore()
{
    const QString file = absolute(m_arguments[0]);
    if (!QFileInfo(file).isFile()) {
        printError(QStringLiteral("The file %1 does not exist.").arg(file));
        return kFailed;
    }
    const QString suffix = QFileInfo(file).suffix().toUpper();
    if (suffix != QLatin1String("DBF") && suffix != QLatin1String("LST") && suffix != QLatin1String("URP")) {
        printError(
            QStringLiteral("restore takes a database (.DBF), a list file (.LST) or a report file (.URP)."));
        return kUsage;
    }
    if (!openDatabase({}))
        return kFailed;
    m_dialogs.setFile(file);
    db::Backup::Hooks hooks;
    db::Backup backup(m_main->database(), m_main->bookTable(), m_dialogs, fromPath(m_paths.dataDir), hooks);
    bool done = false;
    if (suffix == QLatin1String("DBF"))
        done = backup.restoreDatabase(QFileInfo(file).absolutePath());
    else if (suffix == QLatin1String("LST"))
        done = backup.restoreLists(QFileInfo(file).absolutePath());
    else
        done = backup.restoreReports(QFileInfo(file).absolutePath());
    return done && !m_dialogs.errorShown() ? 0 : kFailed;
}

QString usageOf(const CommandDesign& design)
{
    return QStringLiteral("shelvano %1 %2").arg(QLatin1String(design.name), QLatin1String(design.arguments));
}

} // namespace

QString commandSummary()
{
    QString text = QStringLiteral("Commands (no window is shown; exit status 0 on success, 1 on failure, "
                                  "2 on bad usage):\n");
    for (const CommandDesign& design : commands())
        text += QStringLiteral("  %1\n      %2\n").arg(usageOf(design), QLatin1String(design.summary));
    text +=
        QStringLiteral("  Every command also takes --data-dir DIR and --config-dir DIR. The database is the "
                       "one the settings name unless another is given.");
    return text;
}

// A first word that is no option (nor the window's /BROWSE) is meant as a command, known or not.
bool isCommandLineCommand(int argc, char** argv)
{
    return argc > 1 && argv[1][0] != '-' && argv[1][0] != '/' && argv[1][0] != '\0';
}

int runCommandLine(int argc, char** argv)
{
    if (!findCommand(QString::fromLocal8Bit(argv[1]))) {
        printError(QStringLiteral("\"%1\" is not a command.  shelvano --help lists the commands.")
                       .arg(QString::fromLocal8Bit(argv[1])));
        return kUsage;
    }
    // The commands show nothing; they need no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's own notes (no runtime directory, a font substituted) are not the command's business.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg || qEnvironmentVariableIsSet("SHELVANO_DEBUG"))
            std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    });
    Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Shelvano Books 95"));
    const CommandDesign& design = *findCommand(QString::fromLocal8Bit(argv[1]));

    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const std::map<QString, QString> valueNames = {
        {"db", "DB"},    {"map", "MAP"},   {"fields", "FIELDS"}, {"format", "FORMAT"}, {"encoding", "ENC"},
        {"pdf", "FILE"}, {"text", "FILE"}, {"data-dir", "DIR"},  {"config-dir", "DIR"}};
    for (const QString& name : QStringList{"db", "skip-first", "map", "fields", "format", "encoding", "pdf",
                                           "text", "repair", "data-dir", "config-dir"}) {
        auto value = valueNames.find(name);
        parser.addOption(value == valueNames.end() ? QCommandLineOption(name)
                                                   : QCommandLineOption(name, QString(), value->second));
    }
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
    if (!parser.parse(QApplication::arguments())) {
        printError(parser.errorText() + QStringLiteral("\nUsage: ") + usageOf(design));
        return kUsage;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        printOut(QStringLiteral("Usage: %1\n%2").arg(usageOf(design), QLatin1String(design.summary)));
        return 0;
    }
    for (const QString& name : parser.optionNames()) {
        const QString longName = name.size() == 1 ? QString() : name;
        if (longName != QLatin1String("data-dir") && longName != QLatin1String("config-dir") &&
            !design.options.count(longName)) {
            printError(QStringLiteral("%1 does not take --%2.\nUsage: %3")
                           .arg(QLatin1String(design.name), name, usageOf(design)));
            return kUsage;
        }
    }
    const qsizetype given = parser.positionalArguments().size() - 1;
    if (given < design.minArguments || given > design.maxArguments) {
        printError(QStringLiteral("Usage: ") + usageOf(design));
        return kUsage;
    }
    Run run(design, parser);
    return run.execute();
}
