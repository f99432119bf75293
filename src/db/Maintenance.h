#pragma once

#include "db/BookTable.h"
#include "db/CommandGuard.h"
#include "platform/Dialogs.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <string>

namespace db {

// The three commands that keep the current database healthy: Pack removes the
// records marked deleted for good, Rebuild Indexes writes the index file afresh,
// Update Database reads the table again to see other programs' changes.
//
// Pack and Rebuild need the file to themselves. The test is the exclusive open
// itself, held for the whole work; it sees only programs that use the dBase lock
// regions. Whatever happens after the table is closed, it is opened shared again
// with the viewer options before the command ends.
class Maintenance {
public:
    struct Hooks {
        CommandHooks command;
        std::function<QString()> sortString; // the current sort string; empty: physical order
        // Free bytes for a user on the file system of a directory; std::filesystem's when empty.
        std::function<std::uint64_t(const std::string& directory)> availableSpace;
    };

    // The references must outlive the object.
    Maintenance(BookTable& table, platform::Dialogs& dialogs, Hooks hooks,
                dbase::FileSystem& fs = dbase::defaultFileSystem());

    // Each answers whether the work was done.
    bool MenuPackClick();
    bool MenuRebuildClick();
    void MenuUpdateDatabaseClick();

private:
    enum class Work { Pack, Rebuild };
    bool run(Work work);
    bool roomToPack(const std::string& path);
    QString rebuild(dbase::Table& table, bool packed);
    void showError(const QString& text);
    QString remainingFaults(const std::string& path);

    BookTable& m_table;
    platform::Dialogs& m_dialogs;
    Hooks m_hooks;
    dbase::FileSystem& m_fs;
};

} // namespace db
