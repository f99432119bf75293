#pragma once

#include "db/Backup.h"
#include "platform/Volumes.h"
#include "settings/Fonts.h"
#include "settings/Settings.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QSize>
#include <functional>
#include <vector>

class QComboBox;
class QFileSystemModel;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTreeView;

// What the backup and restore windows are given. The references must outlive the window.
struct BackupWindowServices {
    db::Backup& backup;
    const settings::Settings& settings; // the configuration windows' colours
    const settings::SharedFonts& fonts;
    double scale = 1.0;
    QSize screen;
    // Where the last backup went, or went from; the home directory when none yet.
    QString lastDirectory;
    std::function<void(const QString& directory)> rememberDirectory;
    std::function<void(const QString& keyword)> showHelp;
    // The mounted volumes; the system's when empty (tests and screenshots supply their own).
    std::function<std::vector<platform::Volume>()> volumes;
};

// The backup window: what to back up (the database, the lists or the report
// definitions) and where to — a volume and a directory on it. The window stays
// open after a run; its Cancel button then reads Close. Created for each use
// and shown modally.
class TMyBackup : public QDialog {
    Q_OBJECT

public:
    explicit TMyBackup(BackupWindowServices services, QWidget* parent = nullptr);
    ~TMyBackup() override;

    void StartButtonClick();
    void CancelButtonClick();
    void HelpButtonClick();
    void DriveBoxChange(int index);

    // The directory the tree shows as chosen; setDirectory() chooses one (and its volume).
    QString directory() const;
    void setDirectory(const QString& directory);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void SetColors();
    void showProgress(std::uint64_t copied, std::uint64_t total);

    BackupWindowServices m_services;
    std::vector<platform::Volume> m_volumes;
    QElapsedTimer m_sinceRepaint;

    QGroupBox* m_what = nullptr;
    QGroupBox* m_where = nullptr;
    QRadioButton* BackDBF = nullptr;
    QRadioButton* BackLST = nullptr;
    QRadioButton* BackURP = nullptr;
    QComboBox* DriveBox = nullptr;
    QTreeView* DirBox = nullptr;
    QFileSystemModel* m_model = nullptr;
    QLabel* m_path = nullptr;
    QLabel* m_progress = nullptr;
    QPushButton* StartButton = nullptr;
    QPushButton* CancelButton = nullptr;
    QPushButton* HelpButton = nullptr;
};
