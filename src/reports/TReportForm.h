#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;

namespace reportengine {
class TBaseReport;
}

// The report status window: shows the engine's status text while a report
// runs, with a Cancel button, and "Report Completed!" or "Report Canceled!"
// afterwards. The run starts once, just after the window is first shown, not
// again when the window is activated anew (after another window or a message).
class TReportForm : public QDialog {
    Q_OBJECT

public:
    // `engine` must outlive the window; its events are already bound.
    explicit TReportForm(reportengine::TBaseReport& engine, QWidget* parent = nullptr);

    bool WasAborted() const { return m_aborted; }
    bool Started() const { return m_started; }
    // A failure that ended the run: the message for the user, empty when none.
    const QString& Failure() const { return m_failure; }

    QLabel* Label1 = nullptr;
    QPushButton* BitBtn1 = nullptr;

    void BitBtn1Click();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void run();

    reportengine::TBaseReport& m_engine;
    bool m_started = false;
    bool m_running = false;
    bool m_finished = false;
    bool m_aborted = false;
    QString m_failure;
};
