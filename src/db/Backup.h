#pragma once

#include "db/BookDatabase.h"
#include "db/BookTable.h"
#include "db/CommandGuard.h"
#include "platform/Dialogs.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace db {

// The nine pick-list files in the order they are backed up and restored.
const QStringList& listFileNames();
inline constexpr const char* kReportFileName = "SHVBOOK.URP";
inline constexpr std::uint64_t kReportRecordSize = 20622;

// Backup and restore of the user's files: the current database's table, the
// nine pick lists and the report definitions file.
//
// Every copy goes to a temporary file beside its target and is renamed over it
// once it is complete and on the device, so a failed or cancelled run leaves
// the previous backup, or the current database, as it was. A target that is its
// own source, however spelled, is refused. The table's backup copy has its
// production-index flag cleared (the index is not backed up); a restore reads
// the backup read-only, never writing to its medium, and builds the order tag afresh.
class Backup {
public:
    struct Hooks {
        CommandHooks command;
        std::function<void()> savePickLists;   // before the lists are backed up
        std::function<void()> reloadPickLists; // after a list restore, also one that stopped half-way
        std::function<void()> reloadReports;   // after the report file was restored
        // Free bytes for a user on the file system of a directory; std::filesystem's when empty.
        std::function<std::uint64_t(const std::string& directory)> availableSpace;
        // Bytes copied of the file's size; may throw to cancel.
        std::function<void(std::uint64_t copied, std::uint64_t total)> progress;
    };

    // `dataDir` holds the lists and the report file and receives restored
    // databases. The references must outlive the object.
    Backup(BookDatabase& database, BookTable& table, platform::Dialogs& dialogs, QString dataDir, Hooks hooks,
           dbase::FileSystem& fs = dbase::defaultFileSystem());

    // Replaces the progress hook: a window sets it to show the bytes copied.
    void setProgress(std::function<void(std::uint64_t copied, std::uint64_t total)> progress)
    {
        m_hooks.progress = std::move(progress);
    }

    // Each answers whether the run completed; every failure is shown.
    bool backUpDatabase(const QString& directory);
    bool backUpLists(const QString& directory);
    bool backUpReports(const QString& directory);
    // The restores ask for their source with the open dialog, starting in `startDirectory`.
    bool restoreDatabase(const QString& startDirectory);
    bool restoreLists(const QString& startDirectory);
    bool restoreReports(const QString& startDirectory);

private:
    bool restoreDatabaseFrom(const QString& source);
    bool recognised(const std::string& source);
    bool roomFor(const std::string& source, const std::string& directory);
    std::optional<QString> copy(const std::string& source, const std::string& target, bool clearIndexFlag,
                                const QString& failure);
    std::string targetIn(const QString& directory, const QString& name) const;
    void message(const QString& caption, const QString& text, platform::Icon icon);

    BookDatabase& m_database;
    BookTable& m_table;
    platform::Dialogs& m_dialogs;
    QString m_dataDir;
    Hooks m_hooks;
    dbase::FileSystem& m_fs;
};

} // namespace db
