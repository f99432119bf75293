#pragma once

#include "db/BookTable.h"
#include "db/CommandGuard.h"

#include <QString>
#include <array>
#include <functional>
#include <optional>
#include <string>

namespace platform {
class Dialogs;
}

namespace search {

// What the main window supplies to a change of sort order.
struct SortOrderHooks {
    // Whether another program or user holds the database at `path`; runs while
    // our own book table is closed. Required.
    std::function<bool(const QString& path)> inUse;
    // Writes every setting, the new levels among them. May be empty.
    std::function<void()> writeSettings;
    // Applies the viewer configuration to the grid after the table is opened again. May be empty.
    std::function<void()> applyViewerOptions;
};

// Makes a new sort order current: the book table is closed, the file is taken
// for our exclusive use, its "NewIndex" tag is made afresh from the new levels
// and the table is opened shared again in the new order, its record filter and
// current record kept. With every level none the table shows its physical order
// and the tag stays in the file.
//
// While another program holds the file nothing changes. When the engine fails
// half-way the old levels and the old tag are put back, as far as the file
// allows, and the table is opened again; the user is told in either case.
class SortOrderChange {
public:
    enum class Outcome { Applied, InUse, Failed };

    // `levels` are the main window's four sort levels (field positions 1-36, 0
    // for none); they change only when a new order is applied. All references
    // must outlive the object; `fs` serves the exclusive opens.
    SortOrderChange(db::BookTable& table, std::array<int, 4>& levels, platform::Dialogs& dialogs,
                    SortOrderHooks hooks, dbase::FileSystem& fs = dbase::defaultFileSystem());

    const std::array<int, 4>& levels() const { return m_levels; }

    // Throws DatabaseError when no book table was ever open, and lets through
    // failures to open the table again (the table is then left closed).
    Outcome apply(const std::array<int, 4>& newLevels);

private:
    void makeTag(const std::string& path, const std::string& sort, bool& changedFile);
    QString restoreTag(const std::string& path, const std::optional<dbase::TagInfo>& old);
    void showError(const QString& text);

    db::BookTable& m_table;
    std::array<int, 4>& m_levels;
    platform::Dialogs& m_dialogs;
    SortOrderHooks m_hooks;
    dbase::FileSystem& m_fs;
    std::optional<dbase::TagInfo> m_oldTag;
};

} // namespace search
