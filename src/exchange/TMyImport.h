#pragma once

#include "ExchangeServices.h"
#include "ImportFieldMap.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;

// The import window: the 36 book fields beside the import fields, which the
// user lines up with Up and Down and switches on and off in the USE column;
// Start Import reads the file into the book table.
class TMyImport : public QDialog {
    Q_OBJECT

public:
    enum Kind { Delimited = 1, Dbase = 2 };

    // `path` is the file to import, whose fields are `names` in file order.
    TMyImport(exchange::ExchangeServices& services, Kind kind, const QString& path, const QStringList& names,
              QWidget* parent = nullptr);

    const exchange::ImportFieldMap& fieldMap() const { return m_map; }
    long long imported() const { return m_imported; } // -1 until an import ran

    void FormShow();
    void UpButtonClick();
    void DownButtonClick();
    void ImportGridDblClick(int row, int column);
    void SkipFirstClick();
    void StartButtonClick();
    void ExitButtonClick();
    void HelpButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fillGrid();
    void moveRow(int from, int to);
    void showCount(long long count);
    QLabel* title(const QString& text); // a caption in the minor title colour

    exchange::ExchangeServices& m_services;
    Kind m_kind;
    QString m_path;
    QStringList m_names;
    exchange::ImportFieldMap m_map;
    long long m_imported = -1;

    QTableWidget* m_grid = nullptr;
    QPushButton* m_upButton = nullptr;
    QPushButton* m_downButton = nullptr;
    QCheckBox* m_skipFirst = nullptr;
    QPushButton* m_startButton = nullptr;
    QPushButton* m_exitButton = nullptr;
    QPushButton* m_helpButton = nullptr;
    QLabel* m_count = nullptr;
    std::vector<QWidget*> m_titles;
};
