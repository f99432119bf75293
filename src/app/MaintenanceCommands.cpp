#include "MaintenanceCommands.h"

#include "app/TMyBackup.h"
#include "app/TMyRestore.h"
#include "app/TSafetyCopies.h"
#include "db/Backup.h"
#include "db/LegacyConversion.h"
#include "db/Maintenance.h"
#include "platform/ProfileFile.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

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

namespace {

// Answers the restore's question for a file with the safety copy's file and
// passes every other question to the real dialogs.
class PresetFileDialogs : public platform::Dialogs {
public:
    PresetFileDialogs(platform::Dialogs& real, QString file) : m_real(real), m_file(std::move(file)) {}

    platform::Button message(const QString& caption, const QString& text, platform::Buttons buttons,
                             platform::Button defaultButton, platform::Icon icon) override
    {
        return m_real.message(caption, text, buttons, defaultButton, icon);
    }
    void beep() override { m_real.beep(); }
    QString openFile(const platform::FileDialogOptions&) override { return m_file; }
    QString saveFile(const platform::FileDialogOptions& options) override { return m_real.saveFile(options); }
    QString chooseDirectory(const QString& title, const QString& start) override
    {
        return m_real.chooseDirectory(title, start);
    }
    std::optional<QFont> chooseFont(const QFont& initial) override { return m_real.chooseFont(initial); }
    std::optional<platform::FontChoice> chooseFontWithColor(const QFont& initial,
                                                            const QColor& color) override
    {
        return m_real.chooseFontWithColor(initial, color);
    }
    std::optional<QColor> chooseColor(const QColor& initial) override { return m_real.chooseColor(initial); }
    bool printerSetup(QPrinter& printer) override { return m_real.printerSetup(printer); }

private:
    platform::Dialogs& m_real;
    QString m_file;
};

} // namespace

void MaintenanceCommands::DoRestoreSafetyCopy(const QString& folder, const std::function<void()>& keepCurrent)
{
    db::SafetyCopies copies(folder);
    auto restore = [this, &keepCurrent](const db::SafetyCopy& copy, bool withLists) {
        const QString question =
            QStringLiteral(
                "Restore the copy of %1 taken %2?  The database as it is now is kept as a safety copy "
                "first.")
                .arg(QFileInfo(copy.source).fileName(),
                     copy.made.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        if (m_services.dialogs.message(QStringLiteral("Restore Safety Copy"), question,
                                       platform::Button::Yes | platform::Button::No, platform::Button::No,
                                       platform::Icon::Question) != platform::Button::Yes)
            return false;
        if (keepCurrent)
            keepCurrent();
        PresetFileDialogs preset(m_services.dialogs, copy.table);
        db::Backup::Hooks hooks;
        hooks.command = commandHooks();
        hooks.reloadPickLists = m_services.reloadPickLists;
        db::Backup backup(m_services.database, m_services.table, preset, m_services.dataDir, hooks);
        const bool restored = backup.restoreDatabase(copy.directory);
        if (restored && withLists)
            backup.restoreLists(copy.directory);
        if (m_services.displayCount)
            m_services.displayCount();
        return restored;
    };
    TSafetyCopies window(copies.list(), restore, m_services.showHelp, m_services.parent);
    window.exec();
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
