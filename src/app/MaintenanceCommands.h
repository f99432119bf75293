#pragma once

#include "db/BookDatabase.h"
#include "db/BookTable.h"
#include "db/CommandGuard.h"
#include "settings/Fonts.h"
#include "settings/Settings.h"

#include <QSize>
#include <QString>
#include <filesystem>
#include <functional>

class QWidget;

// What the main window hands to its maintenance, backup and restore commands.
// The references must outlive the commands object.
struct MaintenanceServices {
    db::BookTable& table;
    db::BookDatabase& database;
    platform::Dialogs& dialogs;
    const settings::Settings& settings;
    const settings::SharedFonts& fonts;
    double scale = 1.0;
    QSize screen;
    QString dataDir;
    std::filesystem::path settingsFile; // keeps the last backup directory
    QWidget* parent = nullptr;          // of the backup and restore windows
    std::function<QString()> sortString;
    std::function<void()> applyViewerOptions;
    std::function<void()> displayCount;
    std::function<void()> savePickLists;
    std::function<void()> reloadPickLists;
    std::function<void(const QString& keyword)> showHelp;
};

// The main window's Pack Database, Rebuild Indexes, Update Database, Back Up
// Data and Restore Data commands, and the start-up offer to convert the book
// files of earlier versions. Made for each use from the window's present state.
class MaintenanceCommands {
public:
    explicit MaintenanceCommands(MaintenanceServices services);

    void DoPack();
    void DoRebuild();
    void DoUpdate();
    void DoBackup();
    void DoRestore();
    // Lists the safety copies under `folder` and restores the one chosen through
    // the restore of a backed-up database; `keepCurrent` runs first, so the
    // database as it is now is kept too.
    void DoRestoreSafetyCopy(const QString& folder, const std::function<void()>& keepCurrent);
    // Nothing is offered in browse mode.
    void CheckForConversion(bool browse);

    // The last directory a backup went to, kept in the settings file under
    // "Backup"/"Last Directory": the home directory before the first backup or
    // when that directory is gone. Writing it keeps every other key of the file.
    static QString lastBackupDirectory(const std::filesystem::path& settingsFile);
    static void rememberBackupDirectory(const std::filesystem::path& settingsFile, const QString& directory);

private:
    db::CommandHooks commandHooks();
    void rememberDirectory(const QString& directory);

    MaintenanceServices m_services;
};
