#pragma once

#include "reports/ReportGenerator.h"
#include "reports/ReportServices.h"

#include <QDialog>

#include <optional>

class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;

// The report list window ("Reports"): lists the report definitions and runs
// the chosen one to the printer, the preview or a text file, over every book
// or the search's. Created once at start and shown modally.
class TMyReport : public QDialog {
    Q_OBJECT

public:
    explicit TMyReport(QWidget* parent = nullptr);
    // What the window works with; until it is given, the list stays empty and nothing runs.
    // `services` must outlive the window.
    void setServices(reports::ReportServices& services);

    QLabel* SortOrderLabel = nullptr;
    QRadioButton* ExportEntire = nullptr;
    QRadioButton* ExportSearch = nullptr;
    QListWidget* ReportBox = nullptr;
    QPushButton* ModifyButton = nullptr;
    QPushButton* NewButton = nullptr;
    QPushButton* ViewButton = nullptr;
    QPushButton* PrintButton = nullptr;
    QPushButton* FileButton = nullptr;
    QPushButton* HelpButton = nullptr;
    QPushButton* ExitButton = nullptr;

    void LoadReportBox();
    void DoIt(reports::OutputMode mode, const QString& textFile = {});
    void FileButtonClick();
    void NewButtonClick();
    void ModifyButtonClick();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    bool selectedReport();
    std::optional<int> readSelected();
    void design(bool isNew, int index);
    void run(reports::OutputMode mode, const QString& textFile);
    QString refusedTarget(const QString& path) const;
    void error(const QString& text);
    QString choosePdfFile();

    reports::ReportServices* m_services = nullptr;
};
