#include "MaintenanceCommands.h"

#include "app/TMyBackup.h"
#include "app/TMyRestore.h"
#include "db/Backup.h"
#include "db/LegacyConversion.h"
#include "db/Maintenance.h"
#include "platform/ProfileFile.h"

#include <QApplication>
#include <QDir>

MaintenanceCommands::MaintenanceCommands(MaintenanceServices services) : m_services(std::move(services)) {}

db::CommandHooks MaintenanceCommands::commandHooks()
{
    db::CommandHooks hooks;
    hooks.applyViewerOptions = m_services.applyViewerOptions;
    hooks.displayCount = m_services.displayCount;
    hooks.setBusy = [](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
    platform::Dialogs& dialogs = m_services.dialogs;
    hooks.reportError = [&dialogs](const QString& text) {
        dialogs.message(QStringLiteral("Error"), text, platform::Button::Ok, platform::Button::Ok,
                        platform::Icon::Error);
    };
    return hooks;
}

void MaintenanceCommands::DoPack()
{
    db::Maintenance(m_services.table, m_services.dialogs, {commandHooks(), m_services.sortString, {}})
        .MenuPackClick();
}

void MaintenanceCommands::DoRebuild()
{
    db::Maintenance(m_services.table, m_services.dialogs, {commandHooks(), m_services.sortString, {}})
        .MenuRebuildClick();
}

void MaintenanceCommands::DoUpdate()
{
    db::Maintenance(m_services.table, m_services.dialogs, {commandHooks(), m_services.sortString, {}})
        .MenuUpdateDatabaseClick();
}

void MaintenanceCommands::DoBackup()
{
    db::Backup::Hooks hooks;
    hooks.command = commandHooks();
    hooks.savePickLists = m_services.savePickLists;
    db::Backup backup(m_services.database, m_services.table, m_services.dialogs, m_services.dataDir, hooks);
    TMyBackup window({backup,
                      m_services.settings,
                      m_services.fonts,
                      m_services.scale,
                      m_services.screen,
                      lastBackupDirectory(m_services.settingsFile),
                      [this](const QString& directory) { rememberDirectory(directory); },
                      m_services.showHelp,
                      {}},
                     m_services.parent);
    window.exec();
}

void MaintenanceCommands::DoRestore()
{
    db::Backup::Hooks hooks;
    hooks.command = commandHooks();
    hooks.reloadPickLists = m_services.reloadPickLists;
    db::Backup backup(m_services.database, m_services.table, m_services.dialogs, m_services.dataDir, hooks);
    TMyRestore window({backup,
                       m_services.settings,
                       m_services.fonts,
                       m_services.scale,
                       m_services.screen,
                       lastBackupDirectory(m_services.settingsFile),
                       {},
                       m_services.showHelp,
                       {}},
                      m_services.parent);
    window.exec();
    if (m_services.displayCount)
        m_services.displayCount();
}

void MaintenanceCommands::CheckForConversion(bool browse)
{
    db::LegacyConversion conversion(m_services.table, m_services.dialogs);
    if (conversion.CheckForConversion(m_services.dataDir, browse) > 0 && m_services.displayCount)
        m_services.displayCount();
}

namespace {
const QString kBackupSection = QStringLiteral("Backup");
const QString kLastDirectoryKey = QStringLiteral("Last Directory");
} // namespace

// Never the data directory, from which a restore is refused anyway.
QString MaintenanceCommands::lastBackupDirectory(const std::filesystem::path& settingsFile)
{
    try {
        const platform::ProfileFile profile = platform::ProfileFile::load(settingsFile);
        const QString directory = profile.value(kBackupSection, kLastDirectoryKey, QString());
        if (!directory.isEmpty() && QDir(directory).exists())
            return directory;
    } catch (const platform::ProfileError&) {
        // An unreadable settings file is reported where the settings are read; home will do here.
    }
    return QDir::homePath();
}

void MaintenanceCommands::rememberBackupDirectory(const std::filesystem::path& settingsFile,
                                                  const QString& directory)
{
    platform::ProfileFile profile = platform::ProfileFile::load(settingsFile);
    profile.setValue(kBackupSection, kLastDirectoryKey, directory);
    profile.save(settingsFile);
}

void MaintenanceCommands::rememberDirectory(const QString& directory)
{
    try {
        rememberBackupDirectory(m_services.settingsFile, directory);
    } catch (const platform::ProfileError& error) {
        m_services.dialogs.message(QStringLiteral("Warning"),
                                   QStringLiteral("The backup directory could not be remembered.  ") +
                                       QString::fromUtf8(error.what()),
                                   platform::Button::Ok, platform::Button::Ok, platform::Icon::Warning);
    }
}
