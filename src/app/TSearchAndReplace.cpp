#include "TSearchAndReplace.h"

#include "db/BookSchema.h"
#include "dbase/DatabaseError.h"
#include "edit/DateMask.h"
#include "settings/WindowLook.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace {

// Room for a number as the user types it: sign, digits and point.
constexpr int kNumberLength = 9;
const char* const kCounterCaptions[3] = {"Processed", "Found", "Changed"};

template <class Widget> Widget* named(Widget* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// A box for one kind of value: a date box, a number box or a text box of `width` characters.
void shapeBox(QLineEdit* box, dbase::FieldSpec::Kind kind, int width, const settings::DateFormat& dates)
{
    using Kind = dbase::FieldSpec::Kind;
    box->clear();
    if (kind == Kind::Date) {
        edit::setUpDateBox(box, dates.pattern(), dates.separator());
        return;
    }
    const QValidator* old = box->validator();
    box->setValidator(kind == Kind::Character
                          ? nullptr
                          : new QRegularExpressionValidator(
                                QRegularExpression(QStringLiteral("[-+]?[0-9]*\\.?[0-9]*")), box));
    if (old && old->parent() == box)
        delete old;
    box->setPlaceholderText(QString());
    box->setMaxLength(kind == Kind::Character ? width : kNumberLength);
}

} // namespace

TSearchAndReplace::TSearchAndReplace(SearchReplaceServices services, QWidget* parent)
    : QDialog(parent), m_services(std::move(services))
{
    setObjectName(QStringLiteral("TSearchAndReplace"));
    setWindowTitle(QStringLiteral("Search and Replace"));
    setModal(true);

    db::BookReplace::Hooks hooks = m_services.hooks;
    hooks.showCounts = [this](const db::BookReplace::Counts& counts) { showCounts(counts); };
    if (!hooks.fieldTitle)
        hooks.fieldTitle = [this](int field) { return m_services.settings.fields[std::size_t(field)].title; };
    m_replace = std::make_unique<db::BookReplace>(
        m_services.table, m_services.dialogs, m_services.dates, std::move(hooks),
        m_services.fs ? *m_services.fs : dbase::defaultFileSystem());

    FieldBox = named(new QComboBox(this), "FieldBox");
    FieldBox->setMaxVisibleItems(15);
    FieldBox->setMinimumContentsLength(20); // the longest field title
    FieldBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    FieldBox->setPlaceholderText(QStringLiteral("(choose a field)"));
    for (const settings::FieldSettings& field : m_services.settings.fields)
        FieldBox->addItem(field.title);
    FieldBox->setCurrentIndex(-1);
    SearchText = named(new QLineEdit(this), "SearchText");
    ReplaceText = named(new QLineEdit(this), "ReplaceText");
    ConfirmBox = named(new QCheckBox(QStringLiteral("Confirm &Before Replacing"), this), "ConfirmBox");

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(8);
    grid->setColumnStretch(1, 1);
    const std::pair<const char*, QWidget*> rows[] = {
        {"&Field", FieldBox}, {"&Text To Search For", SearchText}, {"&Replacement Text", ReplaceText}};
    for (int row = 0; row < 3; ++row) {
        auto* label = new QLabel(QLatin1String(rows[row].first), this);
        label->setBuddy(rows[row].second);
        m_titles.push_back(label);
        grid->addWidget(label, row, 0);
        grid->addWidget(rows[row].second, row, 1);
    }
    grid->addWidget(ConfirmBox, 3, 1);

    auto* scope = m_scope = named(new QGroupBox(QStringLiteral("Replace In"), this), "ScopePanel");
    EntireDatabase = named(new QRadioButton(QStringLiteral("&Entire Database"), scope), "EntireDatabase");
    SearchOnly = named(new QRadioButton(QStringLiteral("Current Search &Only"), scope), "SearchOnly");
    auto* scopeLayout = new QHBoxLayout(scope);
    scopeLayout->addWidget(EntireDatabase);
    scopeLayout->addWidget(SearchOnly);
    scopeLayout->addStretch();
    m_titles.push_back(scope);

    auto* counters = new QGridLayout;
    counters->setHorizontalSpacing(24);
    for (int i = 0; i < 3; ++i) {
        auto* caption = new QLabel(QLatin1String(kCounterCaptions[i]), this);
        caption->setAlignment(Qt::AlignCenter);
        m_titles.push_back(caption);
        auto* counter = new QLabel(QStringLiteral("0"), this);
        counter->setObjectName(QStringLiteral("%1Count").arg(QLatin1String(kCounterCaptions[i])));
        counter->setAlignment(Qt::AlignCenter);
        counter->setMinimumWidth(counter->fontMetrics().horizontalAdvance(QStringLiteral("000,000,000")));
        counters->addWidget(caption, 0, i);
        counters->addWidget(counter, 1, i);
        m_counters[std::size_t(i)] = counter;
    }

    StartButton = named(new QPushButton(QStringLiteral("&Start Search"), this), "StartButton");
    StartButton->setDefault(true);
    CancelButton = named(new QPushButton(QStringLiteral("&Cancel"), this), "CancelButton");
    HelpButton = named(new QPushButton(QStringLiteral("&Help"), this), "HelpButton");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(StartButton);
    buttons->addWidget(CancelButton);
    buttons->addWidget(HelpButton);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 12);
    layout->addLayout(grid);
    layout->addWidget(scope);
    layout->addSpacing(6);
    layout->addLayout(counters);
    layout->addSpacing(10);
    layout->addLayout(buttons);
    QWidget* previous = FieldBox; // the order of the form, whatever the order of creation
    for (QWidget* next : std::initializer_list<QWidget*>{SearchText, ReplaceText, ConfirmBox, EntireDatabase,
                                                         SearchOnly, StartButton, CancelButton, HelpButton}) {
        setTabOrder(previous, next);
        previous = next;
    }

    connect(FieldBox, &QComboBox::currentIndexChanged, this, &TSearchAndReplace::FieldBoxChange);
    connect(StartButton, &QPushButton::clicked, this, &TSearchAndReplace::StartButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TSearchAndReplace::CancelButtonClick);
    connect(HelpButton, &QPushButton::clicked, this, &TSearchAndReplace::HelpButtonClick);
}

TSearchAndReplace::~TSearchAndReplace() = default;

void TSearchAndReplace::showEvent(QShowEvent* event)
{
    FormShow();
    QDialog::showEvent(event);
}

void TSearchAndReplace::FormShow()
{
    settings::fitWindow(this, m_services.fonts, m_services.scale, m_services.screen);
    const bool searchOn = m_services.hooks.searchOn && m_services.hooks.searchOn();
    EntireDatabase->setChecked(true);
    settings::applyColorScheme(this, m_services.settings.scheme(settings::WindowGroup::Configure),
                               {.majorTitles = m_titles,
                                .edits = {SearchText, ReplaceText},
                                .combos = {FieldBox},
                                .radios = {EntireDatabase, SearchOnly},
                                .checks = {ConfirmBox}});
    // With no search on there is nothing to choose: the panel as a whole is disabled.
    m_scope->setEnabled(searchOn);
    FieldBox->setFocus();
}

void TSearchAndReplace::FieldBoxChange(int index)
{
    if (index < 0 || index >= db::kBookFieldCount)
        return;
    const db::BookField& field = db::bookFields()[std::size_t(index)];
    shapeBox(SearchText, field.kind, field.width, m_services.dates);
    shapeBox(ReplaceText, field.kind, field.width, m_services.dates);
}

void TSearchAndReplace::StartButtonClick()
{
    if (m_running)
        return;
    const db::BookReplace::Request request{FieldBox->currentIndex(), SearchText->text(), ReplaceText->text(),
                                           ConfirmBox->isChecked(),
                                           m_scope->isEnabled() && SearchOnly->isChecked()};
    db::BookReplace::Outcome outcome = db::BookReplace::Outcome::Failed;
    setRunning(true);
    try {
        outcome = m_replace->run(request);
    } catch (const dbase::DatabaseError& error) {
        setRunning(false);
        m_services.dialogs.message(QStringLiteral("Error"), QString::fromUtf8(error.what()),
                                   platform::Button::Ok, platform::Button::Ok, platform::Icon::Error);
        return;
    }
    setRunning(false);
    switch (outcome) {
    case db::BookReplace::Outcome::Refused: {
        const auto control = m_replace->lastRefusal()->control;
        QWidget* focus = control == db::BookReplace::Control::Field    ? static_cast<QWidget*>(FieldBox)
                         : control == db::BookReplace::Control::Search ? SearchText
                                                                       : ReplaceText;
        focus->setFocus();
        break;
    }
    case db::BookReplace::Outcome::Finished:
        accept();
        break;
    default: // the counters stay, for the user to read how far it went
        break;
    }
}

void TSearchAndReplace::CancelButtonClick()
{
    reject();
}

void TSearchAndReplace::HelpButtonClick()
{
    if (m_services.showHelp)
        m_services.showHelp(QStringLiteral("Search and Replace"));
}

void TSearchAndReplace::reject()
{
    if (!m_running)
        QDialog::reject();
}

void TSearchAndReplace::setRunning(bool on)
{
    m_running = on;
    for (QWidget* control : std::initializer_list<QWidget*>{FieldBox, SearchText, ReplaceText, ConfirmBox,
                                                            StartButton, CancelButton, HelpButton})
        control->setEnabled(!on);
    m_scope->setEnabled(!on && m_services.hooks.searchOn && m_services.hooks.searchOn());
}

// The counters repaint while the run goes on; the user's input waits for a question or the end.
void TSearchAndReplace::showCounts(const db::BookReplace::Counts& counts)
{
    const std::uint64_t values[3] = {counts.processed, counts.found, counts.changed};
    for (std::size_t i = 0; i < 3; ++i)
        m_counters[i]->setText(db::BookReplace::countText(values[i]));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
