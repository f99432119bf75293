#pragma once

#include "ExchangeServices.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTableWidget;

// The export window: which book fields go out and in which order, the whole
// database or the running search, delimited text or a dBase table. Each grid
// row keeps its field's index, so the order survives any titles.
class TMyExport : public QDialog {
    Q_OBJECT

public:
    explicit TMyExport(exchange::ExchangeServices& services, QWidget* parent = nullptr);

    // The field indexes of the grid rows, top to bottom, and their flags.
    std::vector<int> rowFields() const;
    bool exported(int row) const;

    void FormShow();
    void FormClose();
    void ExportGridDblClick(int row, int column);
    void UpButtonClick();
    void DownButtonClick();
    void DefaultsButtonClick();
    void AsciiFileClick();
    void DBaseFileClick();
    void FirstRowClick();
    void StartExportButtonClick();
    void ExitButtonClick();
    void HelpButtonClick();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void fillGrid(const std::vector<int>& fields);
    void moveRow(int from, int to);
    void UpdateConfigs();
    std::vector<int> CalcIndexOrder();
    void DoAscii(const std::vector<int>& fields);
    void DoDBase(const std::vector<int>& fields);
    bool refusedTarget(const QString& path);
    void runExport(const std::vector<int>& fields, const QString& path, bool dbase);
    void error(const QString& text);
    QLabel* title(const QString& text); // a caption in the minor title colour

    exchange::ExchangeServices& m_services;
    QTableWidget* m_grid = nullptr;
    QPushButton* m_upButton = nullptr;
    QPushButton* m_downButton = nullptr;
    QPushButton* m_defaultsButton = nullptr;
    QPushButton* m_startExportButton = nullptr;
    QPushButton* m_exitButton = nullptr;
    QPushButton* m_helpButton = nullptr;
    QCheckBox* m_firstRow = nullptr;
    QCheckBox* m_windows1252 = nullptr;
    QRadioButton* m_exportEntire = nullptr;
    QRadioButton* m_exportSearch = nullptr;
    QRadioButton* m_asciiFile = nullptr;
    QRadioButton* m_dbaseFile = nullptr;
    QProgressBar* m_gauge = nullptr;
    QLabel* m_notes = nullptr;
    std::vector<QWidget*> m_titles;
};
