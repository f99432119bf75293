// The main window's safety copies: one kept at close after a change, and the
// File menu's way back to them.
#include "app/MaintenanceCommands.h"
#include "app/TMain.h"
#include "db/Backup.h"
#include "db/SafetyCopies.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>

using platform::Button;
using platform::Icon;

QString TMain::safetyCopyFolder() const
{
    if (m_paths.stateDir.empty())
        return {};
    return QFile::decodeName((m_paths.stateDir / "safety").string().c_str());
}

void TMain::addSafetyCopyItems(QMenu* file)
{
    QAction* before = action(Command::Print);
    QAction* restore = new QAction(QStringLiteral("Restore Safet&y Copy\u2026"), this);
    restore->setObjectName(QStringLiteral("MenuRestoreSafety"));
    QAction* keep = new QAction(QStringLiteral("&Keep Safety Copies"), this);
    keep->setObjectName(QStringLiteral("MenuKeepSafety"));
    keep->setCheckable(true);
    file->insertAction(before, restore);
    file->insertAction(before, keep);
    connect(restore, &QAction::triggered, this, [this] { runCommand([this] { DoRestoreSafetyCopy(); }); });
    connect(keep, &QAction::triggered, this, [this](bool on) { m_settings.safetyCopies = on; });
    // The settings are read after the menus are made, and browse mode restores nothing.
    connect(file, &QMenu::aboutToShow, this, [this, restore, keep] {
        keep->setChecked(m_settings.safetyCopies);
        keep->setEnabled(!safetyCopyFolder().isEmpty());
        restore->setEnabled(!m_browse && !safetyCopyFolder().isEmpty());
    });
}

void TMain::keepSafetyCopy()
{
    const QString folder = safetyCopyFolder();
    if (!m_settings.safetyCopies || folder.isEmpty() || !m_table.isOpen())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        db::SafetyCopies(folder).keep(QFile::decodeName(m_table.path().c_str()),
                                      QFile::decodeName(m_paths.dataDir.string().c_str()),
                                      db::listFileNames());
        QApplication::restoreOverrideCursor();
    } catch (const std::exception& error) {
        QApplication::restoreOverrideCursor();
        m_dialogs.message(QStringLiteral("Warning"),
                          QStringLiteral("The safety copy of the database could not be made.  ") +
                              QString::fromUtf8(error.what()) +
                              QStringLiteral("  The copies kept before are unchanged."),
                          Button::Ok, Button::Ok, Icon::Warning);
    }
}

void TMain::DoRestoreSafetyCopy()
{
    const QString folder = safetyCopyFolder();
    if (folder.isEmpty() || m_browse)
        return;
    maintenanceCommands().DoRestoreSafetyCopy(folder, [this] { keepSafetyCopy(); });
}
