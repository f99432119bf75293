#include "TSearchOptions.h"

#include "search/SearchTemplates.h"
#include "settings/Fonts.h"
#include "settings/Scaling.h"
#include "settings/WindowLook.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

TSearchOptions::TSearchOptions(const settings::SharedFonts& fonts, double scale, QSize screen,
                               QWidget* parent)
    : QDialog(parent), m_fonts(fonts), m_scale(scale), m_screen(screen)
{
    setObjectName(QStringLiteral("TSearchOptions"));
    setWindowTitle(QStringLiteral("Search Options"));
    setModal(true);

    FieldNameLabel = new QLabel(this);
    FieldNameLabel->setObjectName(QStringLiteral("FieldNameLabel"));
    FieldNameLabel->setAlignment(Qt::AlignCenter);
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    OkButton = new QPushButton(QStringLiteral("&Ok"), this);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    OkButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FieldNameLabel);
    layout->addWidget(ListBox1, 1);
    layout->addLayout(buttons);
    resize(260, 240);

    connect(OkButton, &QPushButton::clicked, this, &TSearchOptions::OkButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TSearchOptions::CancelButtonClick);
}

void TSearchOptions::setRow(int row, const QString& fieldTitle)
{
    m_row = row;
    FieldNameLabel->setText(fieldTitle);
}

void TSearchOptions::showOperators(int option)
{
    m_operators = true;
    ListBox1->clear();
    ListBox1->addItems(search::operatorNames());
    if (option >= 1 && option <= ListBox1->count())
        ListBox1->setCurrentRow(option - 1);
}

void TSearchOptions::showValues(const QStringList& values)
{
    m_operators = false;
    ListBox1->clear();
    ListBox1->addItems(values);
    ListBox1->setCurrentRow(-1);
}

void TSearchOptions::showEvent(QShowEvent* event)
{
    FormShow();
    QDialog::showEvent(event);
}

void TSearchOptions::FormShow()
{
    const int margin = int(std::lround(9 * m_scale));
    layout()->setContentsMargins(margin, margin, margin, margin);
    settings::fitWindow(this, m_fonts, m_scale, m_screen, false);
}

void TSearchOptions::OkButtonClick()
{
    m_option.reset();
    m_value.reset();
    const QList<QListWidgetItem*> selected = ListBox1->selectedItems();
    if (!selected.isEmpty()) {
        if (m_operators)
            m_option = ListBox1->row(selected.first()) + 1;
        else
            m_value = selected.first()->text();
    }
    accept();
}

void TSearchOptions::CancelButtonClick()
{
    reject();
}
