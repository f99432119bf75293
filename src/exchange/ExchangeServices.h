#pragma once

#include "db/BookTable.h"
#include "dbase/FileSystem.h"
#include "platform/Dialogs.h"
#include "settings/DateFormat.h"
#include "settings/Settings.h"

#include <QSize>
#include <QStringList>
#include <functional>

namespace exchange {

// What the import and export windows take from the main window. Every
// reference must outlive the windows.
struct ExchangeServices {
    settings::Settings& settings;
    platform::Dialogs& dialogs;
    db::BookTable& books;
    const settings::DateFormat& dates;
    double scale = 1.0;
    QSize screen{1280, 1024};
    // The files no import may read and no export may write over: the current
    // database and its index, the settings file, the pick lists, the report definitions.
    std::function<QStringList()> ownedFiles = {};
    std::function<bool()> searchOn = {};
    std::function<void(const QString& keyword)> help = {};
    int currentYear = 0;             // 0: the clock's
    dbase::FileSystem* fs = nullptr; // nullptr: the real one
};

// A field's label in an export header: its title while the viewer shows it,
// else its field name as stored ("DESCRIPTIO").
QString exportLabel(const settings::Settings& settings, int field);

// A field's name in the import and export grids: its title.
QString fieldTitle(const settings::Settings& settings, int field);

} // namespace exchange
