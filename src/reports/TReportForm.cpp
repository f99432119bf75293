#include "TReportForm.h"

#include "dbase/DatabaseError.h"
#include "reportengine/TBaseReport.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

TReportForm::TReportForm(reportengine::TBaseReport& engine, QWidget* parent)
    : QDialog(parent), m_engine(engine)
{
    setObjectName(QStringLiteral("TReportForm"));
    setWindowTitle(QStringLiteral("Report Status Screen"));
    setModal(true);
    Label1 = new QLabel(QStringLiteral("Printing Status"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setTextFormat(Qt::PlainText);
    Label1->setMinimumWidth(260);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    BitBtn1 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1, 1);
    layout->addWidget(BitBtn1, 0, Qt::AlignHCenter);
    connect(BitBtn1, &QPushButton::clicked, this, &TReportForm::BitBtn1Click);
    m_engine.SetStatusLabel(Label1);
}

void TReportForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_started) {
        m_started = true;
        QTimer::singleShot(0, this, &TReportForm::run);
    }
}

void TReportForm::run()
{
    if (m_aborted)
        return; // closed before the run began
    m_running = true;
    try {
        m_engine.Run();
    } catch (const std::exception& e) {
        m_failure = QString::fromUtf8(e.what());
    }
    m_running = false;
    m_finished = true;
    m_aborted = m_engine.WasAborted() || !m_failure.isEmpty();
    BitBtn1->setText(QStringLiteral("OK"));
    m_engine.SetStatusFormat(m_aborted ? QStringLiteral("\rReport Canceled!")
                                       : QStringLiteral("\rReport Completed!"));
    m_engine.UpdateStatus();
}

void TReportForm::BitBtn1Click()
{
    if (m_running)
        m_engine.AbortReport();
    else
        accept();
}

// Closing the window while the report runs cancels it first; the window closes when the run has ended.
void TReportForm::closeEvent(QCloseEvent* event)
{
    if (m_running) {
        m_engine.AbortReport();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TReportForm::reject()
{
    if (m_running) {
        m_engine.AbortReport();
        return;
    }
    // Closed before the run began (Escape at once): nothing was made, so nothing may be kept.
    if (!m_finished)
        m_aborted = true;
    QDialog::reject();
}
