#include "Backup.h"

#include "db/BookSchema.h"
#include "db/DurableFile.h"
#include "dbase/DatabaseError.h"

#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <optional>

namespace db {
namespace {

using platform::Button;
using platform::Icon;

const QString kAppTitle = QStringLiteral("Shelvano Books 95");
const QString kIdentical = QStringLiteral(
    "Destination File and Source File are identical.  You cannot copy a file  over top of itself.  Please "
    "choose a different directory to backup to.");
const QString kBackupInUse = QStringLiteral(
    "Backing up the database requires exclusive use of the DBase File.  Make sure that the DBase File is not "
    "in use by another program  or that no other users are running the software or that no other copies of "
    "the software are in use.");
const QString kBackupRoom = QStringLiteral(
    "There is not enough room on the destination drive to perform a backup.  If you are already using blank "
    "empty media, then you will need to use the ASCII Delimited Import/Export functions for backup and "
    "restore purposes.");
const QString kReportRoom = QStringLiteral(
    "There is not enough room on the destination drive to backup this file.  You will need to free up space "
    "on the destination drive or use an alternative method to backup the \"SHVBOOK.URP\" file.");
const QString kBackupFailed = QStringLiteral("An error occurred during backup.  Backup not completed.");
const QString kBackupDone = QStringLiteral("Backup completed successfully.");
const QString kRestoreInUse = QStringLiteral(
    "Unable to restore the database.  Make sure the database is not in use by any other users or by another "
    "copy of the software.");
const QString kRestoreRoom = QStringLiteral(
    "There is not enough room on the destination drive to perform a restore.  You will need to free up hard "
    "drive space before completing the restore.");
const QString kRestoreFailed = QStringLiteral("An error occurred during restore.  Restore not completed.");
const QString kRestoreDone = QStringLiteral("Restore completed successfully.");
const QString kNotBookDatabase = QStringLiteral(
    "This DBase file was not created with Shelvano Books 95.  It cannot be opened.  You may, however, "
    "import data from this file using the import function.");

std::string native(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString fromNative(const std::string& path)
{
    return QFile::decodeName(path.c_str());
}

std::uint64_t sizeOf(const std::string& path)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

// Runs `work` when it goes out of scope, however that happens.
template <class Work> struct AtExit {
    Work work;
    ~AtExit() { work(); }
};
template <class Work> AtExit(Work) -> AtExit<Work>;

} // namespace

const QStringList& listFileNames()
{
    static const QStringList names{"AUTHOR.LST",   "LOCATION.LST", "BOUGHT.LST",
                                   "CATEGORY.LST", "PUBLISH.LST",  "RATING.LST",
                                   "BOOKTYPE.LST", "CHECKOUT.LST", "CONDITION.LST"};
    return names;
}

Backup::Backup(BookDatabase& database, BookTable& table, platform::Dialogs& dialogs, QString dataDir,
               Hooks hooks, dbase::FileSystem& fs)
    : m_database(database), m_table(table), m_dialogs(dialogs), m_dataDir(std::move(dataDir)),
      m_hooks(std::move(hooks)), m_fs(fs)
{
}

// ---------------------------------------------------------------- backup

bool Backup::backUpDatabase(const QString& directory)
{
    const QString current = QFileInfo(m_database.currentPath()).absoluteFilePath();
    const std::string source = native(current);
    // The file's own name: BOOKS.OLD.DBF must not become the backup of BOOKS.DBF.
    const std::string target = targetIn(directory, QFileInfo(current).fileName());
    if (sameFile(source, target)) {
        message(QStringLiteral("Error"), kIdentical, Icon::Error);
        return false;
    }
    {
        CommandGuard guard(m_table, m_hooks.command);
        if (m_table.isOpen() && sameFile(source, m_table.path()))
            guard.closeTable();
        std::unique_ptr<dbase::Table> hold;
        try {
            // Held through the copy, so that no other program writes into it half-way.
            hold = CommandGuard::openExclusive(source, false, m_fs);
        } catch (const dbase::DatabaseError&) {
            guard.restore();
            message(QStringLiteral("Error"), kBackupInUse, Icon::Error);
            return false;
        }
        if (!roomFor(source, native(directory))) {
            hold.reset();
            guard.restore();
            message(QStringLiteral("Error"), kBackupRoom, Icon::Error);
            return false;
        }
        guard.busy();
        // The index is not backed up: other dBase programs must not look for one beside the copy.
        if (std::optional<QString> failure = copy(source, target, true, kBackupFailed)) {
            hold.reset();
            guard.restore();
            message(QStringLiteral("Error"), *failure, Icon::Error);
            return false;
        }
    }
    message(QStringLiteral("Notice"), kBackupDone, Icon::Information);
    return true;
}

bool Backup::backUpLists(const QString& directory)
{
    if (m_hooks.savePickLists)
        m_hooks.savePickLists();
    {
        CommandGuard guard(m_table, m_hooks.command);
        guard.busy();
        for (const QString& name : listFileNames()) {
            const std::string source = dbase::findFileIgnoringCase(native(m_dataDir), native(name));
            if (source.empty())
                continue;
            if (std::optional<QString> failure =
                    copy(source, targetIn(directory, name), false, kBackupFailed)) {
                guard.restore();
                message(QStringLiteral("Error"), *failure, Icon::Error);
                return false;
            }
        }
    }
    message(QStringLiteral("Notice"), kBackupDone, Icon::Information);
    return true;
}

bool Backup::backUpReports(const QString& directory)
{
    const std::string source = dbase::findFileIgnoringCase(native(m_dataDir), kReportFileName);
    if (source.empty()) {
        message(QStringLiteral("Error"),
                QStringLiteral("There is no Report Definitions file \"%1\" to back up in %2.")
                    .arg(kReportFileName, m_dataDir),
                Icon::Error);
        return false;
    }
    const std::string target = targetIn(directory, kReportFileName);
    if (sameFile(source, target)) {
        message(QStringLiteral("Error"), kIdentical, Icon::Error);
        return false;
    }
    if (!roomFor(source, native(directory))) {
        message(QStringLiteral("Error"), kReportRoom, Icon::Error);
        return false;
    }
    {
        CommandGuard guard(m_table, m_hooks.command);
        guard.busy();
        if (std::optional<QString> failure = copy(source, target, false, kBackupFailed)) {
            guard.restore();
            message(QStringLiteral("Error"), *failure, Icon::Error);
            return false;
        }
    }
    message(QStringLiteral("Notice"), kBackupDone, Icon::Information);
    return true;
}

// ---------------------------------------------------------------- restore

bool Backup::restoreDatabase(const QString& startDirectory)
{
    platform::FileDialogOptions options;
    options.title = QStringLiteral("Restore DBF File");
    options.filters = {QStringLiteral("DBase Files (*.DBF *.dbf)")};
    options.defaultSuffix = QStringLiteral("DBF");
    options.startDirectory = startDirectory;
    options.mustExist = true;
    const QString chosen = m_dialogs.openFile(options);
    return !chosen.isEmpty() && restoreDatabaseFrom(chosen);
}

bool Backup::restoreDatabaseFrom(const QString& chosen)
{
    const std::string source = native(QFileInfo(chosen).absoluteFilePath());
    // An existing database of that name is replaced, whatever its letter case; a new one is upper case.
    const QString name = QFileInfo(chosen).fileName();
    std::string target = dbase::findFileIgnoringCase(native(m_dataDir), native(name));
    if (target.empty())
        target = native(m_dataDir + QLatin1Char('/') + name.toUpper());
    if (fromNative(target).size() > kMaxDatabasePathLength) {
        message(QStringLiteral("Error"),
                QStringLiteral("The path of the restored database would have %1 characters; at most %2 are "
                               "allowed.  Please choose a shorter data directory or file name.")
                    .arg(fromNative(target).size())
                    .arg(kMaxDatabasePathLength),
                Icon::Error);
        return false;
    }
    if (sameFile(source, target)) {
        message(QStringLiteral("Error"), kIdentical, Icon::Error);
        return false;
    }
    if (!recognised(source))
        return false;
    {
        CommandGuard guard(m_table, m_hooks.command);
        std::unique_ptr<dbase::Table> hold;
        if (m_fs.exists(target)) {
            if (m_table.isOpen() && sameFile(target, m_table.path()))
                guard.closeTable();
            try {
                // Nobody may read the file while it is replaced; held until the new one is in place.
                hold = CommandGuard::openExclusive(target, false, m_fs);
            } catch (const dbase::DatabaseError& error) {
                guard.restore();
                message(kAppTitle, kRestoreInUse + QStringLiteral("  ") + QString::fromUtf8(error.what()),
                        Icon::None);
                return false;
            }
        }
        if (!roomFor(source, native(m_dataDir))) {
            hold.reset();
            guard.restore();
            message(QStringLiteral("Error"), kRestoreRoom, Icon::Error);
            return false;
        }
        guard.busy();
        if (std::optional<QString> failure = copy(source, target, true, kRestoreFailed)) {
            hold.reset();
            guard.restore();
            message(QStringLiteral("Error"), *failure, Icon::Error);
            return false;
        }
        // An index, or a batch's note of where it began, beside the new file belongs to the file it replaced.
        const std::string index = native(indexPathOf(fromNative(target)));
        try {
            for (const std::string& stale : {index, target + ".batch"})
                if (m_fs.exists(stale))
                    removeFile(stale, m_fs);
        } catch (const dbase::DatabaseError& error) {
            hold.reset();
            guard.restore();
            message(QStringLiteral("Error"),
                    kRestoreFailed + QStringLiteral("  The old index could not be deleted: ") +
                        QString::fromUtf8(error.what()),
                    Icon::Error);
            return false;
        }
        hold.reset();
        // Checked and opened before the current database is given up; builds "NewIndex" afresh.
        m_database.OpenSaveFile(fromNative(target));
        if (!sameFile(target, m_database.currentPath().toStdString()))
            return false;
    }
    message(QStringLiteral("Notice"), kRestoreDone, Icon::Information);
    return true;
}

bool Backup::restoreLists(const QString& startDirectory)
{
    platform::FileDialogOptions options;
    options.title = QStringLiteral("Restore LST Files");
    options.filters = {QStringLiteral("List Files (*.LST *.lst)")};
    options.defaultSuffix = QStringLiteral("LST");
    options.startDirectory = startDirectory;
    options.mustExist = true;
    const QString chosen = m_dialogs.openFile(options);
    if (chosen.isEmpty())
        return false;
    const std::string sourceDir = native(QFileInfo(chosen).absolutePath());
    // The edit window's lists in memory would otherwise be written over the restored files.
    AtExit reload{[this] {
        if (m_hooks.reloadPickLists)
            m_hooks.reloadPickLists();
    }};
    bool missing = false;
    {
        CommandGuard guard(m_table, m_hooks.command);
        guard.busy();
        for (const QString& name : listFileNames()) {
            const std::string source = dbase::findFileIgnoringCase(sourceDir, native(name));
            if (source.empty()) {
                missing = true;
                message(
                    QStringLiteral("Warning"),
                    QStringLiteral("The following file \"%1\" could not be located on the specified source "
                                   "drive.")
                        .arg(name),
                    Icon::Warning);
                continue;
            }
            if (std::optional<QString> failure =
                    copy(source, targetIn(m_dataDir, name), false, kRestoreFailed)) {
                guard.restore();
                message(QStringLiteral("Error"), *failure, Icon::Error);
                return false;
            }
        }
    }
    message(QStringLiteral("Notice"),
            missing ? QStringLiteral("One or more files were not restored.  Restore may not have completed "
                                     "successfully.")
                    : QStringLiteral("ALL proper LST files restored successfully."),
            Icon::Information);
    return true;
}

bool Backup::restoreReports(const QString& startDirectory)
{
    platform::FileDialogOptions options;
    options.title = QStringLiteral("Restore URP File");
    options.filters = {QStringLiteral("Reports Files (*.URP *.urp)")};
    options.defaultSuffix = QStringLiteral("URP");
    options.startDirectory = startDirectory;
    options.fileName = QString::fromLatin1(kReportFileName);
    options.mustExist = true;
    const QString chosen = m_dialogs.openFile(options);
    if (chosen.isEmpty())
        return false;
    // Whatever file was chosen, the report file of its directory is restored.
    const std::string source =
        dbase::findFileIgnoringCase(native(QFileInfo(chosen).absolutePath()), kReportFileName);
    if (source.empty()) {
        message(
            QStringLiteral("Error"),
            QStringLiteral("The Report Definitions file \"%1\" could not be  located on the specified source "
                           "drive.")
                .arg(kReportFileName),
            Icon::Error);
        return false;
    }
    const std::uint64_t size = sizeOf(source);
    if (size % kReportRecordSize != 0) {
        message(
            QStringLiteral("Error"),
            QStringLiteral("The file \"%1\" is not a Report Definitions file: its size, %2 bytes, is not a "
                           "multiple of %3 bytes.  Nothing was restored.")
                .arg(fromNative(source))
                .arg(size)
                .arg(kReportRecordSize),
            Icon::Error);
        return false;
    }
    const std::string target = targetIn(m_dataDir, kReportFileName);
    if (sameFile(source, target)) {
        message(QStringLiteral("Error"), kIdentical, Icon::Error);
        return false;
    }
    if (!roomFor(source, native(m_dataDir))) {
        message(QStringLiteral("Error"), kRestoreRoom, Icon::Error);
        return false;
    }
    {
        CommandGuard guard(m_table, m_hooks.command);
        guard.busy();
        if (std::optional<QString> failure = copy(source, target, false, kRestoreFailed)) {
            guard.restore();
            message(QStringLiteral("Error"), *failure, Icon::Error);
            return false;
        }
    }
    if (m_hooks.reloadReports)
        m_hooks.reloadReports();
    message(QStringLiteral("Notice"), kRestoreDone, Icon::Information);
    return true;
}

// ---------------------------------------------------------------- shared steps

// A book database by its fields, read through a read-only open that ignores a
// missing index: a backup is never written to, and its medium may be read-only.
bool Backup::recognised(const std::string& source)
{
    try {
        auto table = dbase::Table::openIgnoringIndex(source, dbase::Access::ReadOnly, m_fs);
        if (hasBookFields(table->fields()))
            return true;
        message(QStringLiteral("Error"), kNotBookDatabase, Icon::Error);
    } catch (const dbase::DatabaseError& error) {
        message(QStringLiteral("Error"), QString::fromUtf8(error.what()), Icon::Error);
    }
    return false;
}

// The copy goes to a temporary file before it replaces the target: it needs room for all of itself.
bool Backup::roomFor(const std::string& source, const std::string& directory)
{
    std::uint64_t free = 0;
    try {
        free = m_hooks.availableSpace ? m_hooks.availableSpace(directory) : availableSpace(directory);
    } catch (const dbase::DatabaseError&) {
        return true; // a file system that will not say: the copy itself finds out
    }
    return free >= sizeOf(source);
}

// Copies; answers what to tell the user when that failed.
std::optional<QString> Backup::copy(const std::string& source, const std::string& target, bool clearIndexFlag,
                                    const QString& failure)
{
    CopyOptions options;
    if (clearIndexFlag)
        options.patches = {{28, '\0'}};
    options.progress = m_hooks.progress;
    try {
        copyFile(source, target, options, m_fs);
        return std::nullopt;
    } catch (const SameFileError&) {
        return kIdentical;
    } catch (const std::exception& error) {
        return failure + QStringLiteral("  ") + QString::fromUtf8(error.what());
    }
}

std::string Backup::targetIn(const QString& directory, const QString& name) const
{
    const std::string found = dbase::findFileIgnoringCase(native(directory), native(name));
    return found.empty() ? native(directory + QLatin1Char('/') + name) : found;
}

void Backup::message(const QString& caption, const QString& text, Icon icon)
{
    m_dialogs.message(caption, text, Button::Ok, Button::Ok, icon);
}

} // namespace db
