#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <string>

class QPrinter;

namespace db {
class BookTable;
class DateText;
} // namespace db
namespace platform {
class Dialogs;
}
namespace settings {
class NumberText;
struct Settings;
} // namespace settings

namespace reports {

struct ReportDefinition;

// What the report windows take from the main window. The references must
// outlive the windows.
struct ReportServices {
    platform::Dialogs& dialogs;
    db::BookTable& table;
    settings::Settings& settings; // "Last Report" and the preview window's place
    const settings::NumberText& numbers;
    const db::DateText& dates;
    QPrinter& printer;         // the one printer setup chooses, shared with the main window
    ReportDefinition& current; // the one current definition every report window edits
    std::string reportFile;    // SHVBOOK.URP
    std::function<bool()> searchOn;
    // Report field numbers (1..36, 0 for none) of the four sort levels, and their titles.
    std::function<std::array<int, 4>()> sortFields;
    std::function<QStringList()> fieldTitles; // the user's titles of the 36 fields, in schema order
    std::function<void(const QString& keyword)> showHelp;
    // Files a text report must never overwrite: the database, its index, the settings, the lists.
    std::function<QStringList()> programFiles;
};

} // namespace reports
