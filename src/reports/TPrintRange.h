#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace platform {
class Dialogs;
}

// The print range dialog ("Page Printing"): a first and last page of a report
// of pageCount pages. The boxes take page numbers of any length.
class TPrintRange : public QDialog {
    Q_OBJECT

public:
    TPrintRange(platform::Dialogs& dialogs, int pageCount, QWidget* parent = nullptr);

    bool Confirmed() const { return m_confirmed; }
    int StartValue() const { return m_start; }
    int EndValue() const { return m_end; }

    QLineEdit* StartPage = nullptr;
    QLineEdit* EndPage = nullptr;
    QPushButton* PrintButton = nullptr;
    QPushButton* CancelButton = nullptr;

    void PrintButtonClick();

private:
    platform::Dialogs& m_dialogs;
    int m_pageCount;
    bool m_confirmed = false;
    int m_start = 0;
    int m_end = 0;
};
