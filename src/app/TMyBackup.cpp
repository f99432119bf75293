#include "TMyBackup.h"

#include "CopyProgress.h"

#include "settings/Scaling.h"
#include "settings/WindowLook.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

QPushButton* button(const char* name, const QString& text, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

QRadioButton* radio(const char* name, const QString& text, QWidget* parent)
{
    auto* r = new QRadioButton(text, parent);
    r->setObjectName(QLatin1String(name));
    return r;
}

} // namespace

TMyBackup::TMyBackup(BackupWindowServices services, QWidget* parent)
    : QDialog(parent), m_services(std::move(services))
{
    setObjectName(QStringLiteral("TMyBackup"));
    setWindowTitle(QStringLiteral("Backup"));
    setModal(true);

    m_what = new QGroupBox(QStringLiteral("What To Back Up"), this);
    BackDBF = radio("BackDBF", QStringLiteral("Back Up Current Database (*.DBF)"), m_what);
    BackLST = radio("BackLST", QStringLiteral("Back Up Lists (*.LST)"), m_what);
    BackURP = radio("BackURP", QStringLiteral("Back Up Report Definitions (*.URP)"), m_what);
    auto* what = new QVBoxLayout(m_what);
    what->addWidget(BackDBF);
    what->addWidget(BackLST);
    what->addWidget(BackURP);

    m_where = new QGroupBox(QStringLiteral("Where To Back Up To"), this);
    DriveBox = new QComboBox(m_where);
    DriveBox->setObjectName(QStringLiteral("DriveBox"));
    DriveBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    DriveBox->setMinimumContentsLength(50);
    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_model->setReadOnly(true);
    DirBox = new QTreeView(m_where);
    DirBox->setObjectName(QStringLiteral("DirBox"));
    DirBox->setModel(m_model);
    DirBox->setHeaderHidden(true);
    for (int column = 1; column < m_model->columnCount(); ++column)
        DirBox->hideColumn(column);
    DirBox->setMinimumHeight(180);
    m_path = new QLabel(m_where);
    m_path->setObjectName(QStringLiteral("DirLabel"));
    m_path->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* where = new QVBoxLayout(m_where);
    where->addWidget(DriveBox);
    where->addWidget(DirBox, 1);
    where->addWidget(m_path);

    m_progress = new QLabel(this);
    m_progress->setObjectName(QStringLiteral("ProgressLabel"));
    StartButton = button("StartButton", QStringLiteral("&Start Back Up"), this);
    StartButton->setDefault(true);
    CancelButton = button("CancelButton", QStringLiteral("&Cancel"), this);
    HelpButton = button("HelpButton", QStringLiteral("&Help"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_progress, 1);
    buttons->addWidget(StartButton);
    buttons->addWidget(CancelButton);
    buttons->addWidget(HelpButton);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 12);
    layout->addWidget(m_what);
    layout->addWidget(m_where, 1);
    layout->addLayout(buttons);

    connect(StartButton, &QPushButton::clicked, this, &TMyBackup::StartButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TMyBackup::CancelButtonClick);
    connect(HelpButton, &QPushButton::clicked, this, &TMyBackup::HelpButtonClick);
    connect(DriveBox, &QComboBox::activated, this, &TMyBackup::DriveBoxChange);
    connect(DirBox->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { m_path->setText(QDir::toNativeSeparators(directory())); });
    // The model reads and sorts directories in the background: the chosen one is
    // scrolled to again once its siblings are in place.
    auto showCurrent = [this] {
        if (DirBox->currentIndex().isValid())
            DirBox->scrollTo(DirBox->currentIndex(), QAbstractItemView::PositionAtCenter);
    };
    connect(m_model, &QFileSystemModel::directoryLoaded, this, showCurrent);
    connect(m_model, &QFileSystemModel::layoutChanged, this, showCurrent);

    m_volumes =
        platform::backupVolumes(m_services.volumes ? m_services.volumes() : platform::mountedVolumes());
    for (const platform::Volume& volume : m_volumes)
        DriveBox->addItem(platform::volumeCaption(volume), volume.rootPath);
    BackDBF->setChecked(true);
    setDirectory(m_services.lastDirectory.isEmpty() ? QDir::homePath() : m_services.lastDirectory);
    m_services.backup.setProgress(
        [this](std::uint64_t copied, std::uint64_t total) { showProgress(copied, total); });
}

TMyBackup::~TMyBackup()
{
    m_services.backup.setProgress({});
}

void TMyBackup::showEvent(QShowEvent* event)
{
    settings::fitWindow(this, m_services.fonts, m_services.scale, m_services.screen);
    BackDBF->setChecked(true);
    SetColors();
    QDialog::showEvent(event);
    if (DirBox->currentIndex().isValid())
        DirBox->scrollTo(DirBox->currentIndex(), QAbstractItemView::PositionAtCenter);
}

QString TMyBackup::directory() const
{
    const QModelIndex current = DirBox->currentIndex();
    return current.isValid() ? m_model->filePath(current) : QString();
}

void TMyBackup::setDirectory(const QString& wanted)
{
    QString path = QDir::cleanPath(QDir(wanted).absolutePath());
    while (!QDir(path).exists() && path != QLatin1String("/"))
        path = QDir::cleanPath(path + QStringLiteral("/.."));
    const int volume = platform::volumeOf(m_volumes, path);
    if (volume < 0) {
        // Not on a volume a backup can go to: the first one that can, at its top.
        if (!m_volumes.empty())
            DriveBoxChange(0);
        return;
    }
    DriveBox->setCurrentIndex(volume);
    const QString root = m_volumes[static_cast<std::size_t>(volume)].rootPath;
    m_model->setRootPath(root);
    DirBox->setRootIndex(m_model->index(root));
    const QModelIndex index = m_model->index(path);
    for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent())
        DirBox->expand(parent);
    DirBox->setCurrentIndex(index);
    DirBox->scrollTo(index);
    m_path->setText(QDir::toNativeSeparators(path));
}

void TMyBackup::DriveBoxChange(int index)
{
    if (index < 0 || index >= static_cast<int>(m_volumes.size()))
        return;
    const QString root = m_volumes[static_cast<std::size_t>(index)].rootPath;
    DriveBox->setCurrentIndex(index);
    m_model->setRootPath(root);
    DirBox->setRootIndex(m_model->index(root));
    DirBox->setCurrentIndex(m_model->index(root));
    m_path->setText(QDir::toNativeSeparators(root));
}

void TMyBackup::StartButtonClick()
{
    const QString target = directory();
    if (target.isEmpty())
        return;
    m_sinceRepaint.start();
    db::Backup& backup = m_services.backup;
    const bool done = BackDBF->isChecked()   ? backup.backUpDatabase(target)
                      : BackLST->isChecked() ? backup.backUpLists(target)
                                             : backup.backUpReports(target);
    m_progress->clear();
    if (!done)
        return;
    if (m_services.rememberDirectory)
        m_services.rememberDirectory(target);
    CancelButton->setText(QStringLiteral("&Close"));
    CancelButton->setFocus();
}

void TMyBackup::CancelButtonClick()
{
    reject();
}

void TMyBackup::HelpButtonClick()
{
    if (m_services.showHelp)
        m_services.showHelp(QStringLiteral("Backup and Restore"));
}

void TMyBackup::showProgress(std::uint64_t copied, std::uint64_t total)
{
    showCopied(m_progress, m_sinceRepaint, copied, total);
}

void TMyBackup::SetColors()
{
    settings::SchemedControls controls;
    controls.majorTitles = {m_what, m_where};
    controls.combos = {DriveBox};
    controls.lists = {DirBox};
    controls.radios = {BackDBF, BackLST, BackURP};
    settings::applyColorScheme(this, m_services.settings.scheme(settings::WindowGroup::Configure), controls);
}
