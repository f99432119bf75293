#include "TPrintRange.h"

#include "platform/Dialogs.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

TPrintRange::TPrintRange(platform::Dialogs& dialogs, int pageCount, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_pageCount(pageCount)
{
    setObjectName(QStringLiteral("TPrintRange"));
    setWindowTitle(QStringLiteral("Page Printing"));
    setModal(true);
    const int digits = int(QString::number(std::max(pageCount, 1)).size());
    StartPage = new QLineEdit(QStringLiteral("1"), this);
    StartPage->setObjectName(QStringLiteral("StartPage"));
    EndPage = new QLineEdit(QString::number(pageCount), this);
    EndPage->setObjectName(QStringLiteral("EndPage"));
    for (QLineEdit* edit : {StartPage, EndPage}) {
        edit->setMaxLength(std::max(3, digits));
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QString(std::max(3, digits) + 2, u'0')));
    }
    PrintButton = new QPushButton(QStringLiteral("&Print"), this);
    PrintButton->setObjectName(QStringLiteral("PrintButton"));
    PrintButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Starting Page"), StartPage);
    form->addRow(QStringLiteral("&Ending Page"), EndPage);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(PrintButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    connect(PrintButton, &QPushButton::clicked, this, &TPrintRange::PrintButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TPrintRange::PrintButtonClick()
{
    bool ok = false;
    const int start = StartPage->text().trimmed().toInt(&ok);
    if (!ok || start <= 0 || start > m_pageCount) {
        m_dialogs.message(QStringLiteral("Error"),
                          QStringLiteral("Invalid Starting Page specified. Please correct."),
                          platform::Button::Ok, platform::Button::Ok, platform::Icon::Warning);
        StartPage->setFocus();
        return;
    }
    const int end = EndPage->text().trimmed().toInt(&ok);
    if (!ok || end < start || end > m_pageCount) {
        m_dialogs.message(QStringLiteral("Error"),
                          QStringLiteral("Invalid Ending Page specified.  Please correct."),
                          platform::Button::Ok, platform::Button::Ok, platform::Icon::Warning);
        EndPage->setFocus();
        return;
    }
    m_start = start;
    m_end = end;
    m_confirmed = true;
    accept();
}
