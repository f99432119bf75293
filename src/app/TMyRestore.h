#pragma once

#include "app/TMyBackup.h"

#include <QDialog>
#include <QElapsedTimer>

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

// The restore window: what to restore (a database, the lists or the report
// definitions); Start asks for the file, beginning where the last backup went.
// The window stays open after a run; its Cancel button then reads Close.
// Created for each use and shown modally.
class TMyRestore : public QDialog {
    Q_OBJECT

public:
    explicit TMyRestore(BackupWindowServices services, QWidget* parent = nullptr);
    ~TMyRestore() override;

    void StartButtonClick();
    void CancelButtonClick();
    void HelpButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void SetColors();
    void showProgress(std::uint64_t copied, std::uint64_t total);

    BackupWindowServices m_services;
    QElapsedTimer m_sinceRepaint;

    QGroupBox* m_what = nullptr;
    QRadioButton* RestoreDBF = nullptr;
    QRadioButton* RestoreLST = nullptr;
    QRadioButton* RestoreURP = nullptr;
    QLabel* m_progress = nullptr;
    QPushButton* StartButton = nullptr;
    QPushButton* CancelButton = nullptr;
    QPushButton* HelpButton = nullptr;
};
