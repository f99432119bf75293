#include "reports/design/TReportPart.h"

#include "platform/Dialogs.h"
#include "reports/definition/ReportFields.h"
#include "reports/design/DesignRules.h"
#include "reports/design/LineNormaliser.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QVBoxLayout>

using namespace reports;
using platform::Button;

TReportPart::TReportPart(ReportServices& services, ReportLine& line, bool totals, int lineNumber, int item,
                         int width, const QStringList& titles, QWidget* parent)
    : QDialog(parent), m_services(services), m_target(line), m_line(line),
      m_look(designLook(services.settings)), m_totals(totals), m_lineNumber(lineNumber), m_item(item - 1),
      m_width(width)
{
    setObjectName(QStringLiteral("TReportPart"));
    setWindowTitle(QStringLiteral("Select Report Part"));
    setModal(true);
    const auto radio = [this](QRadioButton*& member, const char* name, const QString& caption) {
        member = new QRadioButton(caption, this);
        member->setObjectName(QString::fromLatin1(name));
        connect(member, &QRadioButton::clicked, this, &TReportPart::RadioClick);
    };
    radio(RadioFiller, "RadioFiller", QStringLiteral("F&iller (empty space)"));
    radio(RadioLabel, "RadioLabel", QStringLiteral("&Label (constant value)"));
    radio(RadioField, "RadioField", QStringLiteral("&Field (database value)"));
    FieldList = new QListWidget(this);
    FieldList->setObjectName(QStringLiteral("FieldList"));
    if (totals)
        for (int n = 1; n <= kTotalCount; ++n)
            FieldList->addItem(QString::fromLatin1(totalName(n).data(), qsizetype(totalName(n).size())));
    else
        for (int n = 1; n <= kFieldCount; ++n)
            FieldList->addItem(n <= titles.size() ? titles[n - 1]
                                                  : QString::fromLatin1(fieldName(n).data(),
                                                                        qsizetype(fieldName(n).size())));
    FieldWidth = new QLineEdit(this);
    FieldWidth->setObjectName(QStringLiteral("FieldWidth"));
    FieldWidth->setMaxLength(3);
    FieldWidth->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12);
    LabelName = new QLineEdit(this);
    LabelName->setObjectName(QStringLiteral("LabelName"));
    LabelName->setMaxLength(40);
    SelPartLabel = new QLabel(this);
    SelPartLabel->setObjectName(QStringLiteral("SelPartLabel"));
    OkButton = new QPushButton(QStringLiteral("&Ok"), this);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    OkButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));

    auto* selected = new QGroupBox(QStringLiteral("Selected Part"), this);
    (new QVBoxLayout(selected))->addWidget(SelPartLabel);
    auto* kind = new QGroupBox(QStringLiteral("Part Type"), this);
    auto* kindLayout = new QVBoxLayout(kind);
    for (QRadioButton* r : {RadioFiller, RadioLabel, RadioField})
        kindLayout->addWidget(r);
    const auto buddy = [this](const QString& caption, QWidget* control) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(control);
        return label;
    };
    auto* left = new QVBoxLayout;
    left->addWidget(selected);
    left->addWidget(kind);
    left->addWidget(buddy(QStringLiteral("&Width"), FieldWidth));
    left->addWidget(FieldWidth);
    left->addWidget(buddy(QStringLiteral("Label &Name"), LabelName));
    left->addWidget(LabelName);
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(buddy(QStringLiteral("Fi&elds"), FieldList));
    right->addWidget(FieldList, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);
    auto* grid = new QGridLayout(this);
    grid->addLayout(left, 0, 0);
    grid->addLayout(right, 0, 1);
    grid->addLayout(buttons, 1, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    resize(460, 360);
    connect(OkButton, &QPushButton::clicked, this, &TReportPart::OkButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TReportPart::CancelButtonClick);
    connect(FieldList, &QListWidget::itemDoubleClicked, this, &TReportPart::OkButtonClick);
    connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, this, [this] {
        if (m_services.showHelp)
            m_services.showHelp(QStringLiteral("Select Report Part"));
    });
    FormShow();
}

void TReportPart::showEvent(QShowEvent* event)
{
    if (!m_shown) {
        m_shown = true;
        applyLook(this, m_look);
    }
    QDialog::showEvent(event);
}

void TReportPart::FormShow()
{
    const ReportItem& item = m_line[std::size_t(m_item)];
    SelPartLabel->setText(m_totals ? QStringLiteral("Totals Line, Item %1").arg(m_item + 1)
                                   : QStringLiteral("Line %1, Item %2").arg(m_lineNumber).arg(m_item + 1));
    LabelName->clear();
    FieldList->setCurrentRow(-1);
    FieldList->clearSelection();
    switch (item.kind()) {
    case ReportItem::Kind::Label:
        RadioLabel->setChecked(true);
        LabelName->setText(QString::fromStdString(item.label));
        break;
    case ReportItem::Kind::Filler:
        RadioFiller->setChecked(true);
        break;
    case ReportItem::Kind::Field: {
        RadioField->setChecked(true);
        // By the stored name in the fixed table: the titles shown are the user's and may be renamed.
        const int number = m_totals ? totalNumber(item.name) : fieldNumber(item.name);
        if (number > 0)
            FieldList->setCurrentRow(number - 1);
        break;
    }
    }
    FieldWidth->setText(QString::number(item.width));
    RadioClick();
}

void TReportPart::RadioClick()
{
    LabelName->setEnabled(RadioLabel->isChecked());
    FieldList->setEnabled(RadioField->isChecked());
}

void TReportPart::refuse(QWidget* control, const QString& text, platform::Icon icon)
{
    m_services.dialogs.beep();
    m_services.dialogs.message(QStringLiteral("Error"), text, Button::Ok, Button::Ok, icon);
    control->setFocus();
}

void TReportPart::OkButtonClick()
{
    // Every check comes first, so a refusal leaves the line as it was.
    const std::optional<int> width = readWholeNumber(FieldWidth->text().toStdString());
    if (!width || *width < 0) {
        refuse(FieldWidth, QStringLiteral("Invalid width entered.  Please correct."),
               platform::Icon::Warning);
        return;
    }
    const int row =
        FieldList->currentItem() && FieldList->currentItem()->isSelected() ? FieldList->currentRow() : -1;
    if (RadioField->isChecked() && row < 0) {
        refuse(FieldList, QStringLiteral("No field has been selected.  Please choose one from the list."),
               platform::Icon::Warning);
        return;
    }
    const QString label = LabelName->text().trimmed().left(40);
    if (RadioLabel->isChecked())
        if (const std::optional<std::string> bad = unholdableCharacter(label.toStdString())) {
            refuse(
                LabelName,
                QStringLiteral("The Label Name has the character \"%1\", which the report file cannot hold.  "
                               "Please correct.")
                    .arg(QString::fromStdString(*bad)),
                platform::Icon::Warning);
            return;
        }

    ReportItem& item = m_line[std::size_t(m_item)];
    item.width = *width;
    normaliseLine(m_line, m_width, LineTail::Cleared);
    item.label.clear();
    item.number = 0;
    if (RadioFiller->isChecked()) {
        item.name = kFiller;
    } else if (RadioLabel->isChecked()) {
        item.name = kLabel;
        item.label = label.toStdString();
    } else {
        item.number = row + 1;
        item.name = std::string(m_totals ? totalName(row + 1) : fieldName(row + 1));
    }
    m_target = m_line;
    accept();
}

void TReportPart::CancelButtonClick()
{
    reject();
}
