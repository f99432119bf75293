#include "BookDatabase.h"

#include "db/BookSchema.h"
#include "dbase/DatabaseError.h"
#include "dbase/Expression.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <filesystem>
#include <utility>

namespace db {
namespace {

using platform::Button;
using platform::Icon;

const QString kAppTitle = QStringLiteral("Shelvano Books 95");
const QString kDatabaseFilter = QStringLiteral("Database Files (*.DBF *.dbf)");
const QString kNotBookDatabase = QStringLiteral(
    "This DBase file was not created with Shelvano Books 95.  It cannot be opened.  You may, however, "
    "import data from this file using the import function.");
const QString kQuitWithoutDatabase = QStringLiteral(
    "No database is open.  Do you want to quit Shelvano Books 95?  Choose No to select a database.");
const QString kInvalidLastDatabase = QStringLiteral(
    "The last database used as recorded in the INI file is not a valid Shelvano Books 95 file.  You will "
    "need to choose a new file.");

std::string native(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString fromNative(const std::string& path)
{
    return QFile::decodeName(path.c_str());
}

QString absolute(const QString& path)
{
    return QFileInfo(path).absoluteFilePath();
}

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool equalIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i]))
            return false;
    return true;
}

bool sameFile(const std::string& a, const std::string& b)
{
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

// Opens `path` for our exclusive use, or answers null when that is refused. A
// file that cannot be opened at all fails again, and is reported, at the shared open.
std::unique_ptr<dbase::Table> tryOpenExclusive(const std::string& path, dbase::FileSystem& fs)
{
    try {
        return dbase::Table::openIgnoringIndex(path, dbase::Access::Exclusive, fs);
    } catch (const dbase::DatabaseError&) {
        return nullptr;
    }
}

} // namespace

DatabaseName splitDatabasePath(const QString& path)
{
    QString full = absolute(path);
    int slash = full.lastIndexOf(QLatin1Char('/'));
    QString name = full.mid(slash + 1);
    return {full.left(slash + 1), name.left(name.indexOf(QLatin1Char('.')))};
}

QString indexPathOf(const QString& path)
{
    QString full = absolute(path);
    int slash = full.lastIndexOf(QLatin1Char('/'));
    QString name = full.mid(slash + 1);
    int dot = name.lastIndexOf(QLatin1Char('.'));
    QString wanted = (dot < 0 ? name : name.left(dot)) + QStringLiteral(".MDX");
    std::string found = dbase::findFileIgnoringCase(native(full.left(std::max(slash, 1))), native(wanted));
    return found.empty() ? full.left(slash + 1) + wanted : QDir::cleanPath(fromNative(found));
}

QString defaultDatabasePath(const QString& dataDir)
{
    std::string found = dbase::findFileIgnoringCase(native(dataDir), "MASTER.DBF");
    return QDir::cleanPath(found.empty() ? dataDir + QStringLiteral("/MASTER.DBF") : fromNative(found));
}

bool hasBookFields(const std::vector<dbase::Field>& fields)
{
    if (fields.size() != bookFields().size())
        return false;
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (!equalIgnoringCase(fields[i].name, bookFields()[i].name))
            return false;
    return true;
}

BookDatabase::BookDatabase(BookTable& table, platform::Dialogs& dialogs, DatabaseHooks hooks,
                           dbase::FileSystem& fs)
    : m_table(table), m_dialogs(dialogs), m_hooks(std::move(hooks)), m_fs(fs)
{
    // The engine drops to physical order by itself when it finds the index stale
    // (another copy of the program stopped half-way through a change); the rows
    // show that order from their next walk on. Told from the event loop: a dialog opened while
    // the views are in the middle of the reset would run events against a half-told change.
    QObject::connect(
        &m_table, &BookTable::resetDone, &m_watch, [this] { tellOfLostIndex(); }, Qt::QueuedConnection);
    // A large table's map is completed on another open, whose walk notices things too.
    QObject::connect(
        &m_table, &BookTable::rowsCompleted, &m_watch, [this] { showWalkWarnings(); }, Qt::QueuedConnection);
}

// Once per table: why the books are in the order they were entered now, and what brings the order back.
void BookDatabase::tellOfLostIndex()
{
    if (m_lostIndexTold || !m_table.isOpen() || m_table.table().indexError().empty())
        return;
    m_lostIndexTold = true;
    showMessage(QStringLiteral("Notice"),
                QStringLiteral("From now on the books of the database %1 are shown in the order they were "
                               "entered, and cannot be changed: %2\n\nTo have the sort order back, close the "
                               "database in every other copy of the program and open it again: a database "
                               "opened by its only user has its index rebuilt.")
                    .arg(splitDatabasePath(fromNative(m_table.table().path())).tableName,
                         QString::fromStdString(m_table.table().indexError())),
                Icon::Warning);
}

// ---------------------------------------------------------------- files

bool BookDatabase::MakeNewDB(const QString& path)
{
    std::string file = native(path);
    if (m_fs.exists(file) && DBaseInUse(path)) {
        showMessage(
            QStringLiteral("Error"),
            QStringLiteral("The table \"") + path +
                QStringLiteral("\" is currently in use by another program.  New table creation will be "
                               "aborted."),
            Icon::Error);
        return false;
    }
    // Our own open would refuse the replacement; the caller makes the new file current.
    bool own = ownTableOn(file);
    if (own)
        m_table.close();
    try {
        dbase::Table::create(file, bookFieldSpecs(), m_fs);
    } catch (const std::exception& error) {
        if (own)
            reopenAfter(error.what());
        throw;
    }
    return m_fs.exists(file);
}

bool BookDatabase::CheckDBaseFormat(const QString& path)
{
    QString full = absolute(path);
    if (!QFileInfo::exists(indexPathOf(full)))
        RemoveMDXByte(path);
    bool recognised =
        hasBookFields(dbase::Table::openIgnoringIndex(native(full), dbase::Access::ReadOnly, m_fs)->fields());
    if (!recognised)
        showMessage(QStringLiteral("Error"), kNotBookDatabase, Icon::Error);
    return recognised;
}

void BookDatabase::RemoveMDXByte(const QString& path)
{
    std::unique_ptr<dbase::File> file;
    try {
        file = m_fs.open(native(path), dbase::OpenMode::ReadWrite);
    } catch (const dbase::IoError&) {
        return; // nothing we may write to; the engine's open will say what is wrong
    }
    const char noIndex = 0;
    file->writeAt(28, &noIndex, 1);
    file->sync();
}

bool BookDatabase::DBaseInUse(const QString& path)
{
    std::string file = native(absolute(path));
    bool own = ownTableOn(file);
    if (own)
        m_table.close();
    bool inUse = !tryOpenExclusive(file, m_fs);
    if (own)
        m_table.reopen();
    return inUse;
}

// ---------------------------------------------------------------- commands

template <class Work> void BookDatabase::thenDisplayCount(Work work)
{
    try {
        work();
    } catch (...) {
        if (m_hooks.displayCount)
            m_hooks.displayCount();
        throw;
    }
    if (m_hooks.displayCount)
        m_hooks.displayCount();
}

// The file dialog both database commands show, starting where the current database lies.
static platform::FileDialogOptions databaseDialog(const QString& title, const QString& currentPath)
{
    platform::FileDialogOptions options;
    options.title = title;
    options.filters = {kDatabaseFilter};
    options.defaultSuffix = QStringLiteral("DBF");
    options.startDirectory = splitDatabasePath(currentPath).directory;
    return options;
}

void BookDatabase::DoNew()
{
    thenDisplayCount([this] {
        platform::FileDialogOptions options =
            databaseDialog(QStringLiteral("New Database File"), m_currentPath);
        options.promptOverwrite = true;
        QString path = m_dialogs.saveFile(options);
        if (path.isEmpty())
            return;
        endSearchIfOn(true);
        if (acceptablePath(path) && MakeNewDB(path))
            makeCurrent(path, TagStep::Rebuild);
    });
}

void BookDatabase::DoOpen()
{
    openFromDialog();
}

bool BookDatabase::openFromDialog()
{
    bool chosen = false;
    thenDisplayCount([&] {
        platform::FileDialogOptions options =
            databaseDialog(QStringLiteral("Open Database File"), m_currentPath);
        options.mustExist = true;
        QString path = m_dialogs.openFile(options);
        chosen = !path.isEmpty();
        if (chosen && acceptablePath(path) && CheckDBaseFormat(path))
            makeCurrent(path, TagStep::Rebuild);
    });
    return chosen;
}

void BookDatabase::OpenSaveFile(const QString& path)
{
    thenDisplayCount([&] {
        if (CheckDBaseFormat(path))
            makeCurrent(path, TagStep::Rebuild);
    });
}

BookDatabase::StartUp BookDatabase::startUp(const QString& lastDatabase, const QString& dataDir)
{
    QString path = lastDatabase;
    if (path.isEmpty() || !m_fs.exists(native(path))) {
        path = defaultDatabasePath(dataDir);
        if (!m_fs.exists(native(path)) && !createDefault(path))
            return StartUp::CannotCreate;
    }
    m_currentPath = path;
    if (recognisedAtStartUp(path)) {
        becomeCurrent(path, prepare(native(absolute(path)), TagStep::KeepWhenFitting));
        return StartUp::Opened;
    }
    showMessage(QStringLiteral("Error"), kInvalidLastDatabase, Icon::Error);
    do {
        // No database is open yet: a file that fails to open is reported and the dialog comes back.
        bool chosen = true;
        try {
            chosen = openFromDialog();
        } catch (const dbase::DatabaseError& error) {
            showMessage(QStringLiteral("Error"), QString::fromStdString(error.what()), Icon::Error);
        }
        // Without a way out the dialog would come back for ever.
        if (!chosen && m_dialogs.message(QStringLiteral("Confirm"), kQuitWithoutDatabase,
                                         Button::Yes | Button::No, Button::No, Icon::Question) == Button::Yes)
            return StartUp::UserQuit;
    } while (!recognisedAtStartUp(m_currentPath));
    return StartUp::Opened;
}

bool BookDatabase::createDefault(const QString& path)
{
    try {
        if (MakeNewDB(path))
            return true;
    } catch (const std::exception& error) {
        showMessage(QStringLiteral("Error"),
                    QStringLiteral("The default database \"%1\" could not be created.  %2")
                        .arg(path, QString::fromStdString(error.what())),
                    Icon::Error);
    }
    return false;
}

bool BookDatabase::recognisedAtStartUp(const QString& path)
{
    try {
        return CheckDBaseFormat(path);
    } catch (const dbase::DatabaseError& error) {
        showMessage(QStringLiteral("Error"), QString::fromStdString(error.what()), Icon::Error);
        return false;
    }
}

bool BookDatabase::acceptablePath(const QString& path)
{
    if (path.right(4).toUpper() != QStringLiteral(".DBF")) {
        showMessage(QStringLiteral("Error"), QStringLiteral("Invalid file type selected."), Icon::Error);
        return false;
    }
    if (path.size() > kMaxDatabasePathLength) {
        showMessage(QStringLiteral("Error"),
                    QStringLiteral("The path of the file has %1 characters; at most %2 are allowed.  Please "
                                   "choose a shorter path.")
                        .arg(path.size())
                        .arg(kMaxDatabasePathLength),
                    Icon::Error);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- switching

void BookDatabase::makeCurrent(const QString& path, TagStep step)
{
    std::string file = native(absolute(path));
    // Opening the current database again: the tag step needs it to ourselves.
    bool same = ownTableOn(file);
    if (same)
        m_table.close();
    std::unique_ptr<dbase::Table> fresh;
    try {
        fresh = prepare(file, step);
    } catch (const std::exception& error) {
        if (same)
            reopenAfter(error.what());
        throw;
    }
    QString previous = m_currentPath;
    becomeCurrent(path, std::move(fresh));
    // Only now: a failed adoption leaves the search, its filter and its label as they were.
    // Adopting the new table has dropped the filter without walking the old one.
    endSearchIfOn(false);
    if (m_hooks.applyViewerConfig)
        m_hooks.applyViewerConfig();
    if (m_hooks.updateRecentList)
        m_hooks.updateRecentList(previous, path);
}

void BookDatabase::becomeCurrent(const QString& path, std::unique_ptr<dbase::Table> table)
{
    const dbase::Table& opened = *table;            // lives on in the book table
    m_lostIndexTold = !opened.indexError().empty(); // the open told why already
    m_table.adopt(std::move(table));
    showWarnings(opened);
    m_currentPath = path;
    m_indexPath = indexPathOf(path);
    if (m_hooks.setCaption)
        m_hooks.setCaption(kAppTitle + QStringLiteral(" (") + splitDatabasePath(path).tableName +
                           QStringLiteral(")"));
}

// Opens `path` shared in the order the sort string asks for, having made its
// "NewIndex" tag afresh when the file could be had exclusively.
std::unique_ptr<dbase::Table> BookDatabase::prepare(const std::string& path, TagStep step)
{
    if (step == TagStep::KeepWhenFitting) {
        auto table = dbase::Table::openIgnoringIndex(path, dbase::Access::Shared, m_fs);
        if (table->indexError().empty() && orderTagFits(*table)) {
            m_repairWarnings.clear();
            applyOrder(*table, false);
            return table;
        }
    }
    bool declinedRebuild = false;
    m_repairWarnings.clear();
    if (auto exclusive = tryOpenExclusive(path, m_fs)) {
        // A repair done by this open (a torn record cut, tags dropped) is known only to it.
        m_repairWarnings = exclusive->warnings();
        declinedRebuild = !setUpIndex(*exclusive);
    }
    auto table = dbase::Table::openIgnoringIndex(path, dbase::Access::Shared, m_fs);
    applyOrder(*table, declinedRebuild);
    return table;
}

// What the engine noticed opening a table and walking it for the grid (a repair, an
// unknown deletion mark, a missing memo file, read-only media) is told in one notice.
void BookDatabase::showWarnings(const dbase::Table& table)
{
    m_warningsShown.clear();
    std::vector<std::string> warnings = std::exchange(m_repairWarnings, {});
    warnings.insert(warnings.end(), table.warnings().begin(), table.warnings().end());
    showNewWarnings(warnings);
}

// What the walk completing the map noticed, and not told yet.
void BookDatabase::showWalkWarnings()
{
    std::vector<std::string> warnings = m_table.takeWalkWarnings();
    if (m_table.isOpen()) // and what a walk of our own noticed meanwhile
        warnings.insert(warnings.end(), m_table.table().warnings().begin(), m_table.table().warnings().end());
    showNewWarnings(warnings);
}

void BookDatabase::showNewWarnings(const std::vector<std::string>& found)
{
    QStringList lines;
    for (const std::string& warning : found) {
        if (std::find(m_warningsShown.begin(), m_warningsShown.end(), warning) != m_warningsShown.end())
            continue;
        m_warningsShown.push_back(warning);
        lines.append(QString::fromStdString(warning));
    }
    if (!lines.isEmpty())
        showMessage(QStringLiteral("Notice"), lines.join(QStringLiteral("\n\n")), Icon::Warning);
}

// Makes the order tag afresh on the exclusively open table, first offering to
// rebuild a damaged index. False when the user declines the rebuild.
bool BookDatabase::setUpIndex(dbase::Table& table)
{
    if (!table.indexError().empty()) {
        QString text =
            QStringLiteral("The index of the database %1 is damaged: %2\n\nRebuild the index now?  "
                           "If you do not, the books are shown in the order they were entered "
                           "and cannot be changed.")
                .arg(splitDatabasePath(fromNative(table.path())).tableName,
                     QString::fromStdString(table.indexError()));
        Button answer = m_dialogs.message(QStringLiteral("Confirm"), text, Button::Yes | Button::No,
                                          Button::Yes, Icon::Question);
        if (answer != Button::Yes)
            return false;
        table.regenerateIndexes();
    }
    std::string sort = sortString().toStdString();
    if (!sort.empty()) // a faulty sort string fails here, before the old tag is gone
        dbase::Expression::compile(sort, table.fields());
    if (table.hasTag(kOrderTag)) // an index without the tag has nothing to delete
        table.deleteTag(kOrderTag);
    if (!sort.empty())
        table.addTag(kOrderTag, sort);
    return true;
}

// Selects the order tag when it serves the sort string; otherwise the table
// stays in physical order and the user is told why, unless already asked.
void BookDatabase::applyOrder(dbase::Table& table, bool declinedRebuild)
{
    if (table.indexError().empty() && orderTagFits(table)) {
        if (!sortString().isEmpty())
            table.setOrder(kOrderTag);
        return;
    }
    if (declinedRebuild)
        return;
    QString name = splitDatabasePath(fromNative(table.path())).tableName;
    // The tag could not be made afresh, but a working one of another expression still sorts
    // the books better than the order they were entered in.
    if (table.indexError().empty() && hasUsableOrderTag(table)) {
        table.setOrder(kOrderTag);
        showMessage(QStringLiteral("Notice"),
                    QStringLiteral("Another program is using the database %1, so its books are shown in "
                                   "the sort order stored with it, which differs from the one you chose.")
                        .arg(name),
                    Icon::Information);
        return;
    }
    QString why =
        table.indexError().empty()
            ? QStringLiteral("Another program is using the database %1, so its sort order cannot be "
                             "set up now.")
                  .arg(name)
            : QStringLiteral("The index of the database %1 is damaged (%2), and it cannot be rebuilt "
                             "while another program is using the database.")
                  .arg(name, QString::fromStdString(table.indexError()));
    showMessage(QStringLiteral("Notice"),
                why + QStringLiteral("  The books are shown in the order they were entered."),
                Icon::Information);
}

bool BookDatabase::hasUsableOrderTag(const dbase::Table& table)
{
    for (const dbase::TagInfo& tag : table.tags())
        if (equalIgnoringCase(tag.name, kOrderTag))
            return tag.usable && tag.forExpression.empty(); // a FOR condition would hide books
    return false;
}

bool BookDatabase::orderTagFits(const dbase::Table& table) const
{
    QString sort = sortString();
    if (sort.isEmpty())
        return true;
    for (const dbase::TagInfo& tag : table.tags())
        if (equalIgnoringCase(tag.name, kOrderTag))
            return tag.usable && tag.forExpression.empty() &&
                   QString::fromStdString(tag.expression).trimmed().compare(sort, Qt::CaseInsensitive) == 0;
    return false;
}

// Opens the current database again after a switch to it failed half-way.
void BookDatabase::reopenAfter(const std::string& failure)
{
    try {
        m_table.reopen();
    } catch (const std::exception& again) {
        throw dbase::DatabaseError(failure + "  The database " + m_table.path() +
                                   " could not be opened again: " + again.what());
    }
}

bool BookDatabase::ownTableOn(const std::string& path) const
{
    return m_table.isOpen() && sameFile(path, m_table.path());
}

void BookDatabase::endSearchIfOn(bool dropFilter)
{
    if (m_hooks.searchOn && m_hooks.searchOn() && m_hooks.endSearch)
        m_hooks.endSearch();
    if (dropFilter && m_table.hasFilter())
        m_table.setFilter({});
}

QString BookDatabase::sortString() const
{
    return m_hooks.sortString ? m_hooks.sortString().trimmed() : QString();
}

void BookDatabase::showMessage(const QString& caption, const QString& text, Icon icon)
{
    m_dialogs.message(caption, text, Button::Ok, Button::Ok, icon);
}

} // namespace db
