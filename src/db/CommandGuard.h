#pragma once

#include "db/BookTable.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace db {

// What the main window supplies to a command that suspends the book table.
// Every hook may be left empty.
struct CommandHooks {
    std::function<void()> applyViewerOptions; // after the table is opened again
    std::function<void()> displayCount;
    std::function<void(bool busy)> setBusy; // the hourglass: on, then off
    // Told a failure of putting things back, which a destructor cannot throw.
    std::function<void(const QString& text)> reportError;
};

// Puts back, on every way out of a command (return, exception, cancel), what the
// command suspended: the book table closed for an exclusive open is opened shared
// again — with its record filter (the search), its order ("NewIndex") and its
// current record, by BookTable::reopen() — the viewer options are applied again,
// and the hourglass goes. A table another database replaced (a restore) is left
// as it is. `table` must outlive the guard.
class CommandGuard {
public:
    CommandGuard(BookTable& table, CommandHooks hooks);
    ~CommandGuard();
    CommandGuard(const CommandGuard&) = delete;
    CommandGuard& operator=(const CommandGuard&) = delete;

    // Closes the book table for the command; the path closed is answered.
    std::string closeTable();
    // The hourglass until the guard ends.
    void busy();
    // Opens the table again now rather than at the end: a command that has
    // released its exclusive hold and wants the table back before its message.
    // A failure goes to the reportError hook.
    void restore();
    // The same in `order` when one is given (empty: physical order), letting a failure
    // through: the table is then left closed, and the guard does not try again.
    void reopen(const std::optional<std::string>& order);

    // Opens the file at `path` (the one closeTable() closed) for our exclusive use, held
    // until the handle is dropped; the open itself is the test that no other program
    // holds it, and throws DatabaseError when one does. With `readIndex` false the index
    // is neither read nor checked, for work that writes it afresh.
    static std::unique_ptr<dbase::Table> openExclusive(const std::string& path, bool readIndex,
                                                       dbase::FileSystem& fs = dbase::defaultFileSystem());

private:
    void reopenTable(const std::optional<std::string>& order);

    BookTable& m_table;
    CommandHooks m_hooks;
    bool m_closed = false;
    bool m_busy = false;
};

} // namespace db
