#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace db {
class BookTable;
}
namespace platform {
class Dialogs;
class Screen;
} // namespace platform
namespace settings {
class DateFormat;
struct Settings;
struct SharedFonts;
} // namespace settings

namespace search {

// What the search window takes from the main window. The references must
// outlive the window; none of them is used before the window is first shown,
// so it can be made before a database is open.
struct SearchServices {
    platform::Dialogs& dialogs;
    db::BookTable& table;
    const settings::Settings& settings; // field titles, search window colours
    const settings::DateFormat& dates;
    const settings::SharedFonts& fonts;
    const platform::Screen& screen;
    std::function<double()> scaleFactor;
    // The entries of pick list `list` (1-9) as the record edit window holds them.
    std::function<QStringList(int list)> pickList;
    // The main window's search-on flag, and its operations on it.
    std::function<bool()> searchOn;
    std::function<void()> enableEndSearch; // EnableEndSearch
    std::function<void()> endSearch;       // DoEndSearch: flag off, filter dropped, count shown
    std::function<void(const QString& keyword)> showHelp;
};

} // namespace search
