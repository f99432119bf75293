#include "TMyLocateDlg.h"

#include "platform/Dialogs.h"
#include "settings/WindowLook.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

template <class Widget> Widget* named(Widget* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QGroupBox* groupOf(const QString& title, const char* name, QWidget* parent)
{
    auto* group = named(new QGroupBox(title, parent), name);
    new QVBoxLayout(group);
    return group;
}

} // namespace

TMyLocateDlg::TMyLocateDlg(platform::Dialogs& dialogs, QWidget* parent) : QDialog(parent), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("TMyLocateDlg"));
    setModal(true);
    createControls();
    resize(261, 293);
}

void TMyLocateDlg::createControls()
{
    GroupBox3 = groupOf(QStringLiteral("&Field To Search On"), "GroupBox3", this);
    FieldNameComboBox = named(new QComboBox(GroupBox3), "FieldNameComboBox");
    FieldNameComboBox->setToolTip(QStringLiteral("Select the field to search on"));
    FieldNameComboBox->setMaxVisibleItems(12);
    FieldNameComboBox->installEventFilter(this);
    GroupBox3->layout()->addWidget(FieldNameComboBox);

    GroupBox1 = groupOf(QStringLiteral("Search &Value"), "GroupBox1", this);
    SearchValue = named(new QLineEdit(GroupBox1), "SearchValue");
    SearchValue->setToolTip(QStringLiteral("Enter field's search value"));
    SearchValue->setMaxLength(255);
    GroupBox1->layout()->addWidget(SearchValue);

    GroupBox2 = groupOf(QStringLiteral("&Search Type"), "GroupBox2", this);
    CaseSensitiveCheckBox =
        named(new QCheckBox(QStringLiteral("&Case-sensitive"), GroupBox2), "CaseSensitiveCheckBox");
    ExactMatchBtn = named(new QRadioButton(QStringLiteral("&Exact Match"), GroupBox2), "ExactMatchBtn");
    PartialMatchStartBtn = named(new QRadioButton(QStringLiteral("&Partial Match at Beginning"), GroupBox2),
                                 "PartialMatchStartBtn");
    PartialMatchAnyBtn =
        named(new QRadioButton(QStringLiteral("Partial Match &Anywhere"), GroupBox2), "PartialMatchAnyBtn");
    for (QWidget* choice :
         {static_cast<QWidget*>(CaseSensitiveCheckBox), static_cast<QWidget*>(ExactMatchBtn),
          static_cast<QWidget*>(PartialMatchStartBtn), static_cast<QWidget*>(PartialMatchAnyBtn)})
        GroupBox2->layout()->addWidget(choice);
    PartialMatchStartBtn->setChecked(true);

    FirstButton = named(new QPushButton(QStringLiteral("Fi&rst"), this), "FirstButton");
    FirstButton->setToolTip(QStringLiteral("Find first match"));
    NextButton = named(new QPushButton(QStringLiteral("&Next"), this), "NextButton");
    NextButton->setToolTip(QStringLiteral("Find next match from current record"));
    BitBtn1 = named(
        new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Cancel"), this),
        "BitBtn1");
    connect(FirstButton, &QPushButton::clicked, this, &TMyLocateDlg::FirstButtonClick);
    connect(NextButton, &QPushButton::clicked, this, &TMyLocateDlg::NextButtonClick);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
    connect(FieldNameComboBox, &QComboBox::currentIndexChanged, this, &TMyLocateDlg::FieldNameComboBoxChange);
    // A choice made in the open list, even of the same field, goes on to the value.
    connect(FieldNameComboBox, &QComboBox::activated, SearchValue, [this] { SearchValue->setFocus(); });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(FirstButton);
    buttons->addWidget(NextButton);
    buttons->addWidget(BitBtn1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 10);
    layout->addWidget(GroupBox3);
    layout->addWidget(GroupBox1);
    layout->addWidget(GroupBox2);
    layout->addStretch();
    layout->addLayout(buttons);
    restoreDefaultButton();
}

void TMyLocateDlg::setFields(const std::vector<FieldLabel>& fields)
{
    m_fields = fields;
    QSignalBlocker quiet(FieldNameComboBox);
    FieldNameComboBox->clear();
    for (const FieldLabel& field : fields)
        FieldNameComboBox->addItem(field.first);
}

void TMyLocateDlg::setQuery(const db::LocateQuery& query)
{
    QSignalBlocker quiet(FieldNameComboBox);
    SearchValue->clear();
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        if (QString::fromStdString(m_fields[i].second)
                .compare(QString::fromStdString(query.field), Qt::CaseInsensitive) == 0) {
            FieldNameComboBox->setCurrentIndex(static_cast<int>(i));
            SearchValue->setText(query.value);
            break;
        }
    }
    CaseSensitiveCheckBox->setChecked(query.caseSensitive);
    ExactMatchBtn->setChecked(query.match == db::MatchType::Exact);
    PartialMatchStartBtn->setChecked(query.match == db::MatchType::Beginning);
    PartialMatchAnyBtn->setChecked(query.match == db::MatchType::Anywhere);
}

db::LocateQuery TMyLocateDlg::query() const
{
    db::LocateQuery query;
    const QString label = FieldNameComboBox->currentText();
    for (const FieldLabel& field : m_fields)
        if (field.first == label)
            query.field = field.second;
    query.value = SearchValue->text();
    query.match = ExactMatchBtn->isChecked()        ? db::MatchType::Exact
                  : PartialMatchAnyBtn->isChecked() ? db::MatchType::Anywhere
                                                    : db::MatchType::Beginning;
    query.caseSensitive = CaseSensitiveCheckBox->isChecked();
    return query;
}

void TMyLocateDlg::setNextDefault(bool next)
{
    m_nextDefault = next;
    restoreDefaultButton();
}

void TMyLocateDlg::setLook(const settings::SharedFonts& fonts, const settings::ColorScheme& colors,
                           double scale, QSize screen)
{
    m_fonts = fonts;
    m_colors = colors;
    m_scale = scale;
    m_screen = screen;
    m_hasLook = true;
}

// ---------------------------------------------------------------- handlers

void TMyLocateDlg::FirstButtonClick()
{
    runSearch(db::Locator::From::First, QStringLiteral("No matches found"));
}

void TMyLocateDlg::NextButtonClick()
{
    runSearch(db::Locator::From::Next, QStringLiteral("No more matches found"));
}

void TMyLocateDlg::FieldNameComboBoxChange()
{
    SearchValue->clear();
    if (!FieldNameComboBox->view()->isVisible())
        SearchValue->setFocus();
}

void TMyLocateDlg::runSearch(db::Locator::From from, const QString& notFound)
{
    if (m_search && m_search(query(), from)) {
        accept();
        return;
    }
    m_dialogs.message(QStringLiteral("Notice"), notFound, platform::Button::Ok, platform::Button::Ok,
                      platform::Icon::Information);
}

// Enter in the field list must not start a search: no button is the default while it has the focus.
bool TMyLocateDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FieldNameComboBox) {
        if (event->type() == QEvent::FocusIn) {
            FirstButton->setDefault(false);
            NextButton->setDefault(false);
        } else if (event->type() == QEvent::FocusOut &&
                   static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
            restoreDefaultButton();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TMyLocateDlg::restoreDefaultButton()
{
    (m_nextDefault ? NextButton : FirstButton)->setDefault(true);
    (m_nextDefault ? FirstButton : NextButton)->setDefault(false);
}

void TMyLocateDlg::showEvent(QShowEvent* event)
{
    if (m_hasLook) {
        settings::fitWindow(this, m_fonts, m_scale, m_screen);
        setFixedSize(size());
        SetColors();
    }
    QDialog::showEvent(event);
    SearchValue->setFocus();
}

void TMyLocateDlg::SetColors()
{
    settings::applyColorScheme(this, m_colors,
                               {.minorTitles = {GroupBox1, GroupBox2, GroupBox3},
                                .edits = {SearchValue},
                                .combos = {FieldNameComboBox},
                                .radios = {ExactMatchBtn, PartialMatchStartBtn, PartialMatchAnyBtn},
                                .checks = {CaseSensitiveCheckBox}});
}
