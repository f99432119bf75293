#pragma once

#include "ExchangeServices.h"

#include <QDialog>

class QPushButton;
class QRadioButton;

// The first import window: the kind of file (delimited text or dBase) and
// the file itself. A file that reads opens the import window on it.
class TImportFormat : public QDialog {
    Q_OBJECT

public:
    explicit TImportFormat(exchange::ExchangeServices& services, QWidget* parent = nullptr);

    // Records imported by the last import window, -1 when none ran.
    long long imported() const { return m_imported; }

    void FormShow();
    void FormClose();
    void FileButtonClick();
    void DoAscii();
    void DoDBF();
    void CancelButtonClick();

    // Creates the import window for tests and the screenshot tool: shown modally unless replaced.
    std::function<void(QDialog& window)> showModal = [](QDialog& window) { window.exec(); };

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    bool refusedSource(const QString& path);
    void error(const QString& text);
    void closeAfter();

    exchange::ExchangeServices& m_services;
    long long m_imported = -1;
    QRadioButton* m_asciiDelimited = nullptr;
    QRadioButton* m_dbfFormat = nullptr;
    QPushButton* m_fileButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
};
