#include "TMyRestore.h"

#include "CopyProgress.h"

#include "settings/Scaling.h"
#include "settings/WindowLook.h"

#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TMyRestore::TMyRestore(BackupWindowServices services, QWidget* parent)
    : QDialog(parent), m_services(std::move(services))
{
    setObjectName(QStringLiteral("TMyRestore"));
    setWindowTitle(QStringLiteral("Restore"));
    setModal(true);

    m_what = new QGroupBox(QStringLiteral("What To Restore"), this);
    auto radio = [this](const char* name, const char* text) {
        auto* r = new QRadioButton(QString::fromLatin1(text), m_what);
        r->setObjectName(QLatin1String(name));
        return r;
    };
    RestoreDBF = radio("RestoreDBF", "Restore a Database File (*.DBF)");
    RestoreLST = radio("RestoreLST", "Restore List Files (*.LST)");
    RestoreURP = radio("RestoreURP", "Restore Report Definitions (*.URP)");
    auto* what = new QVBoxLayout(m_what);
    what->addWidget(RestoreDBF);
    what->addWidget(RestoreLST);
    what->addWidget(RestoreURP);

    auto button = [this](const char* name, const char* text) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    StartButton = button("StartButton", "&Start Restore");
    StartButton->setDefault(true);
    CancelButton = button("CancelButton", "&Cancel");
    HelpButton = button("HelpButton", "&Help");
    m_progress = new QLabel(this);
    m_progress->setObjectName(QStringLiteral("ProgressLabel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(StartButton);
    buttons->addWidget(CancelButton);
    buttons->addWidget(HelpButton);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 12);
    layout->addWidget(m_what);
    layout->addWidget(m_progress);
    layout->addLayout(buttons);

    connect(StartButton, &QPushButton::clicked, this, &TMyRestore::StartButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TMyRestore::CancelButtonClick);
    connect(HelpButton, &QPushButton::clicked, this, &TMyRestore::HelpButtonClick);
    RestoreDBF->setChecked(true);
    m_services.backup.setProgress(
        [this](std::uint64_t copied, std::uint64_t total) { showProgress(copied, total); });
}

TMyRestore::~TMyRestore()
{
    m_services.backup.setProgress({});
}

void TMyRestore::showEvent(QShowEvent* event)
{
    settings::fitWindow(this, m_services.fonts, m_services.scale, m_services.screen);
    RestoreDBF->setChecked(true);
    SetColors();
    QDialog::showEvent(event);
}

void TMyRestore::StartButtonClick()
{
    // Not the data directory: restoring from it is refused anyway.
    const QString start = m_services.lastDirectory.isEmpty() ? QDir::homePath() : m_services.lastDirectory;
    m_sinceRepaint.start();
    db::Backup& backup = m_services.backup;
    const bool done = RestoreDBF->isChecked()   ? backup.restoreDatabase(start)
                      : RestoreLST->isChecked() ? backup.restoreLists(start)
                                                : backup.restoreReports(start);
    m_progress->clear();
    if (!done)
        return;
    CancelButton->setText(QStringLiteral("&Close"));
    CancelButton->setFocus();
}

void TMyRestore::CancelButtonClick()
{
    reject();
}

void TMyRestore::HelpButtonClick()
{
    if (m_services.showHelp)
        m_services.showHelp(QStringLiteral("Backup and Restore"));
}

void TMyRestore::showProgress(std::uint64_t copied, std::uint64_t total)
{
    showCopied(m_progress, m_sinceRepaint, copied, total);
}

void TMyRestore::SetColors()
{
    settings::SchemedControls controls;
    controls.majorTitles = {m_what};
    controls.radios = {RestoreDBF, RestoreLST, RestoreURP};
    settings::applyColorScheme(this, m_services.settings.scheme(settings::WindowGroup::Configure), controls);
}
