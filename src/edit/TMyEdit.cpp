#include "TMyEdit.h"

#include "db/BookTable.h"
#include "dbase/DatabaseError.h"
#include "edit/DateMask.h"
#include "edit/PickLists.h"
#include "edit/TMyEditDesign.h"
#include "edit/TypingLimit.h"
#include "platform/Dialogs.h"
#include "platform/MenuShortcuts.h"
#include "platform/Screen.h"
#include "settings/DateFormat.h"
#include "settings/Fonts.h"
#include "settings/NumberText.h"
#include "settings/Scaling.h"
#include "settings/Settings.h"
#include "settings/WindowLook.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

using namespace edit::design;
namespace F = db::fields; // in member functions, where the boxes' own names hide the field names
using db::fields::kMoney;
using platform::Button;

constexpr QSize kDesignSize{632, 440}; // the client area of 632 x 418 and the menu bar
const QString kInputWindow = QStringLiteral("Input Window");

QString latin(const char* text)
{
    return QString::fromLatin1(text);
}

QString defaultTitle(int field)
{
    const std::string_view title = db::bookFields().at(std::size_t(field)).title;
    return QString::fromUtf8(title.data(), qsizetype(title.size()));
}

} // namespace

TMyEdit::TMyEdit(const Services& services, QWidget* parent)
    : QDialog(parent), m_services(services), m_record(services.dates, services.numbers)
{
    setObjectName(QStringLiteral("TMyEdit"));
    setWindowTitle(QStringLiteral("Edit"));
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFont(settings::fontFromWindowsHeight(QStringLiteral("Arial"), 17));

    createBoxes();
    createPages();
    createButtons();
    createMenu();
    applyBrowseMode();
    applyDateFormat();
    resize(kDesignSize);

    // The window sees every key first, and every box's leaving.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
    // Menu shortcuts must win over the keys a focused line edit would take.
    new platform::MenuShortcuts(this);
}

TMyEdit::~TMyEdit() = default;

// ------------------------------------------------------------------ building

void TMyEdit::createBoxes()
{
    for (const BoxDesign& design : kBoxes) {
        QWidget* box = nullptr;
        const int length = db::inputLength(design.field);
        switch (design.kind) {
        case Kind::Edit:
        case Kind::Money:
        case Kind::Date: {
            auto* line = new QLineEdit(this);
            if (design.kind != Kind::Date) // the date boxes take the date format's rules when shown
                edit::limitTyping(line, length);
            box = line;
            break;
        }
        case Kind::Combo: {
            auto* combo = new QComboBox(this);
            edit::setUpPickCombo(combo, length);
            edit::loadPickCombo(combo, m_services.pickLists.entries(db::pickListOf(design.field)));
            box = combo;
            break;
        }
        case Kind::Check:
            box = new QCheckBox(defaultTitle(design.field), this);
            break;
        }
        box->setObjectName(latin(design.name));
        m_boxes[std::size_t(design.field)] = box;
        m_pages[std::size_t(design.field)] = design.page;
        // Short boxes take the width their font gives them, less when the page is narrower than
        // that at the window's fixed size; long ones take what the page offers.
        const bool stretches = design.kind == Kind::Combo || length > 20;
        box->setSizePolicy(stretches ? QSizePolicy::Expanding : QSizePolicy::Preferred, QSizePolicy::Fixed);
        if (design.labelName) {
            auto* label = new QLabel(defaultTitle(design.field), this);
            label->setObjectName(latin(design.labelName));
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_labels[std::size_t(design.field)] = label;
        }
    }
    auto line = [this](int field) { return static_cast<QLineEdit*>(box(field)); };
    auto combo = [this](int field) { return static_cast<QComboBox*>(box(field)); };
    Title = line(F::Title);
    Author = combo(F::Author);
    Publisher = combo(F::Publisher);
    Editor = line(F::Editor);
    BookType = combo(F::BookType);
    Volume = line(F::Volume);
    Issue = line(F::Issue);
    YearPub = line(F::YearPub);
    Edition = line(F::Edition);
    Pages = line(F::Pages);
    PurchDate = line(F::PurchDate);
    WherePurch = combo(F::WherePurch);
    Catalog = line(F::CatalogNum);
    SubCat1 = line(F::Sub1);
    SubCat2 = line(F::Sub2);
    Dewey = line(F::Dewey);
    ISBN = line(F::Isbn);
    Category = combo(F::Category);
    KeyWords = line(F::KeyWords);
    PersRating = combo(F::Rating);
    Location = combo(F::Location);
    Cost = line(F::Cost);
    Value = line(F::Value);
    LowMarket = line(F::LowMarket);
    HighMarket = line(F::HighMarket);
    CheckOut = static_cast<QCheckBox*>(box(F::CheckOut));
    CheckDate = line(F::CheckDate);
    CheckName = combo(F::CheckName);
    Condition = combo(F::Condition);
    Description = line(F::Description);
    for (int i = 0; i < 6; ++i)
        UserDef[std::size_t(i)] = line(F::UserDef1 + i);

    BlankPurchDate = new QPushButton(QStringLiteral("Blan&k"), this);
    BlankPurchDate->setObjectName(QStringLiteral("BlankPurchDate"));
    BlankCheckOut = new QPushButton(QStringLiteral("Blan&k Date"), this);
    BlankCheckOut->setObjectName(QStringLiteral("BlankCheckOut"));
    setTabOrder(PurchDate, BlankPurchDate); // Tab reaches each Blank button after its date box
    setTabOrder(CheckDate, BlankCheckOut);

    connect(CheckOut, &QCheckBox::clicked, this, &TMyEdit::CheckOutClick);
    connect(BlankPurchDate, &QPushButton::clicked, this, &TMyEdit::BlankPurchDateClick);
    connect(BlankCheckOut, &QPushButton::clicked, this, &TMyEdit::BlankCheckOutClick);
    connect(&m_services.pickLists, &edit::PickLists::changed, this,
            [this](int list) { edit::loadPickCombo(pickCombo(list), m_services.pickLists.entries(list)); });
}

void TMyEdit::createPages()
{
    Notebook = new QTabWidget(this);
    Notebook->setObjectName(QStringLiteral("Notebook"));
    Notebook->tabBar()->setFont(settings::fontFromWindowsHeight(QStringLiteral("MS Sans Serif"), 13));
    std::array<QGridLayout*, kPageCount> grids{};
    for (int page = 0; page < kPageCount; ++page) {
        auto* widget = new QWidget;
        grids[std::size_t(page)] = new QGridLayout(widget);
        grids[std::size_t(page)]->setColumnStretch(1, 1);
        Notebook->addTab(widget, latin(kTabCaptions[page]));
    }
    grids[0]->setColumnStretch(3, 1);

    for (const BoxDesign& design : kBoxes) {
        QGridLayout* grid = grids[std::size_t(design.page)];
        const int column = design.column * 2;
        QWidget* widget = box(design.field);
        if (QLabel* caption = label(design.field))
            grid->addWidget(caption, design.row, column);
        const int span = design.wide && design.page == 0 ? 3 : 1;
        // The date boxes carry their Blank button beside them.
        QPushButton* blank = design.field == F::PurchDate   ? BlankPurchDate
                             : design.field == F::CheckDate ? BlankCheckOut
                                                            : nullptr;
        if (blank) {
            auto* row = new QHBoxLayout;
            row->addWidget(widget);
            row->addWidget(blank);
            row->addStretch(1);
            grid->addLayout(row, design.row, column + 1, 1, span);
            continue;
        }
        // Boxes of a fixed width keep to the left of their cell; the others fill it.
        const bool fills = widget->sizePolicy().horizontalPolicy() == QSizePolicy::Expanding;
        grid->addWidget(widget, design.row, column + 1, 1, span,
                        fills ? Qt::Alignment() : Qt::AlignLeft | Qt::AlignVCenter);
    }

    for (int page = 0; page < kPageCount; ++page) {
        QGridLayout* grid = grids[std::size_t(page)];
        const int rows = grid->rowCount();
        grid->setRowStretch(rows, 1);
        if (!kFootNames[page])
            continue;
        auto* foot = new QLabel(this);
        foot->setObjectName(latin(kFootNames[page]));
        foot->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        foot->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed); // a long title must not widen the page
        grid->addWidget(foot, rows + 1, 0, 1, grid->columnCount());
        FootCaptions[std::size_t(page - 1)] = foot;
    }
}

void TMyEdit::createButtons()
{
    auto button = [this](const char* name, const QString& text) {
        auto* made = new QPushButton(text, this);
        made->setObjectName(latin(name));
        made->setAutoDefault(false); // Enter is the window's own key; it never presses a button
        return made;
    };
    UpdateExitButton = button("UpdateExitButton", QStringLiteral("&Update && Exit"));
    UpdateButton = button("UpdateButton", QStringLiteral("Up&date"));
    ClearButton = button("ClearButton", QStringLiteral("C&lear"));
    CancelButton = button("CancelButton", QStringLiteral("E&xit"));
    PrevButton = button("PrevButton", QStringLiteral("&Previous"));
    NextButton = button("NextButton", QStringLiteral("&Next"));
    BlankPurchDate->setAutoDefault(false);
    BlankCheckOut->setAutoDefault(false);

    auto* bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("Bevel"));
    bevel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    auto* moves = new QHBoxLayout(bevel);
    moves->setContentsMargins(4, 4, 4, 4);
    moves->addWidget(PrevButton);
    moves->addWidget(NextButton);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* each : {UpdateExitButton, UpdateButton, ClearButton, CancelButton})
        buttons->addWidget(each);
    buttons->addStretch(1);
    buttons->addWidget(bevel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Notebook, 1);
    layout->addLayout(buttons);

    connect(UpdateExitButton, &QPushButton::clicked, this, &TMyEdit::UpdateExitButtonClick);
    connect(UpdateButton, &QPushButton::clicked, this, &TMyEdit::UpdateButtonClick);
    connect(ClearButton, &QPushButton::clicked, this, &TMyEdit::ClearButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TMyEdit::CancelButtonClick);
    connect(PrevButton, &QPushButton::clicked, this, &TMyEdit::PrevButtonClick);
    connect(NextButton, &QPushButton::clicked, this, &TMyEdit::NextButtonClick);
}

void TMyEdit::createMenu()
{
    auto* bar = new QMenuBar(this);
    bar->setObjectName(QStringLiteral("MainMenu"));
    auto item = [this](const char* name, const QString& text, const char* shortcut,
                       void (TMyEdit::*handler)()) {
        auto* action = new QAction(text, this);
        action->setObjectName(latin(name));
        if (shortcut)
            action->setShortcut(QKeySequence(latin(shortcut)));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("MenuFile"));
    MenuNew = item("MenuNew", QStringLiteral("N&ew Record"), "Ctrl+E", &TMyEdit::MenuNewClick);
    MenuCopyRecord =
        item("MenuCopyRecord", QStringLiteral("Cop&y Record"), "Ctrl+Y", &TMyEdit::MenuCopyRecordClick);
    MenuClear = item("MenuClear", QStringLiteral("&Clear Record"), "Ctrl+L", &TMyEdit::ClearButtonClick);
    MenuUpdate = item("MenuUpdate", QStringLiteral("Up&date Record"), "Ctrl+R", &TMyEdit::UpdateButtonClick);
    MenuUpdateExit =
        item("MenuUpdateExit", QStringLiteral("&Update && Exit"), "Ctrl+U", &TMyEdit::UpdateExitButtonClick);
    MenuPrevious =
        item("MenuPrevious", QStringLiteral("&Previous Record"), "Ctrl+P", &TMyEdit::PrevButtonClick);
    MenuNext = item("MenuNext", QStringLiteral("&Next Record"), "Ctrl+N", &TMyEdit::NextButtonClick);
    MenuExit = item("MenuExit", QStringLiteral("E&xit"), nullptr, &TMyEdit::CancelButtonClick);
    file->addActions({MenuNew, MenuCopyRecord, MenuClear, MenuUpdate, MenuUpdateExit});
    file->addSeparator();
    file->addActions({MenuPrevious, MenuNext});
    file->addSeparator();
    file->addAction(MenuExit);

    QMenu* editing = bar->addMenu(QStringLiteral("&Edit"));
    editing->setObjectName(QStringLiteral("MenuEdit"));
    MenuCut = item("MenuCut", QStringLiteral("Cu&t"), "Ctrl+X", &TMyEdit::MenuCutClick);
    MenuCopy = item("MenuCopy", QStringLiteral("&Copy"), "Ctrl+C", &TMyEdit::MenuCopyClick);
    MenuPaste = item("MenuPaste", QStringLiteral("&Paste"), "Ctrl+V", &TMyEdit::MenuPasteClick);
    MenuDelete = item("MenuDelete", QStringLiteral("&Delete"), "Ctrl+D", &TMyEdit::MenuDeleteClick);
    editing->addActions({MenuCut, MenuCopy, MenuPaste, MenuDelete});

    MenuHelp = item("MenuHelp", QStringLiteral("&Help"), "Ctrl+H", &TMyEdit::MenuHelpClick);
    bar->addAction(MenuHelp);
    layout()->setMenuBar(bar);
}

void TMyEdit::applyBrowseMode()
{
    if (!m_services.browse)
        return;
    for (QAction* action :
         {MenuNew, MenuClear, MenuUpdate, MenuUpdateExit, MenuCut, MenuCopy, MenuPaste, MenuDelete})
        action->setEnabled(false);
    for (QPushButton* button : {UpdateExitButton, UpdateButton, ClearButton})
        button->setEnabled(false);
}

// ------------------------------------------------------------------ showing

void TMyEdit::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void TMyEdit::FormShow()
{
    // The titles go in before the window is scaled, so that its layout has room for them.
    for (const BoxDesign& design : kBoxes)
        if (QLabel* caption = label(design.field))
            caption->setText(fieldTitle(design.field));
    CheckOut->setText(fieldTitle(F::CheckOut).replace(QLatin1Char('&'), QStringLiteral("&&")));
    // The window keeps its design size, scaled: the user cannot resize it, and a layout
    // wider than the design cannot push it past the edge of the screen.
    const double factor = m_services.scaleFactor ? m_services.scaleFactor() : 1.0;
    const int percent = settings::scalePercent(factor);
    setFixedSize(kDesignSize * percent / 100);
    settings::fitWindow(this, m_services.fonts, factor, m_services.screen.size(), true);
    // The style's padding does not grow with the font: without more room, a scaled
    // caption would touch the edges of its button.
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setMinimumWidth(0);
        const int room = QFontMetrics(button->font()).height() * (percent - 100) / 100;
        button->setMinimumWidth(button->sizeHint().width() + room);
    }
    Notebook->setCurrentIndex(0);
    applyColors();
    applyDateFormat();
    refreshTitleEcho();
    const edit::EditMode mode = editMode();
    if (mode == edit::EditMode::Change || mode == edit::EditMode::Copy)
        LoadRecord();
    else
        ClearWindow();
    TakeSnapshot();
    Title->setFocus();
}

void TMyEdit::applyColors()
{
    settings::SchemedControls controls;
    for (int page = 0; page < Notebook->count(); ++page)
        controls.pages.push_back(Notebook->widget(page));
    for (const BoxDesign& design : kBoxes) {
        if (QLabel* caption = label(design.field))
            controls.minorTitles.push_back(caption);
        QWidget* widget = box(design.field);
        switch (design.kind) {
        case Kind::Combo:
            controls.combos.push_back(widget);
            break;
        case Kind::Check:
            controls.checks.push_back(widget);
            break;
        default:
            controls.edits.push_back(widget);
            break;
        }
    }
    settings::applyColorScheme(this, m_services.settings.scheme(settings::WindowGroup::Edit), controls);
}

// A new date format brings a new separator or order: the boxes keep what they hold.
void TMyEdit::applyDateFormat()
{
    const QString& pattern = m_services.dates.pattern();
    const QChar separator = m_services.dates.separator();
    if (pattern == m_datePattern && separator == m_dateSeparator)
        return;
    for (QLineEdit* date : {PurchDate, CheckDate}) {
        edit::setUpDateBox(date, pattern, separator);
        date->setText(edit::changeDateSeparator(date->text(), m_dateSeparator, separator));
    }
    m_savedCheckDate = edit::changeDateSeparator(m_savedCheckDate, m_dateSeparator, separator);
    m_datePattern = pattern;
    m_dateSeparator = separator;
}

// ------------------------------------------------------------------ values

edit::EditValues TMyEdit::values() const
{
    edit::EditValues values;
    for (const BoxDesign& design : kBoxes) {
        QWidget* widget = box(design.field);
        switch (design.kind) {
        case Kind::Combo:
            values.texts[design.field] = static_cast<QComboBox*>(widget)->currentText();
            break;
        case Kind::Check:
            values.checkedOut = static_cast<QCheckBox*>(widget)->isChecked();
            break;
        default:
            values.texts[design.field] = static_cast<QLineEdit*>(widget)->text();
            break;
        }
    }
    return values;
}

void TMyEdit::setValues(const edit::EditValues& values)
{
    for (const BoxDesign& design : kBoxes) {
        QWidget* widget = box(design.field);
        switch (design.kind) {
        case Kind::Combo:
            static_cast<QComboBox*>(widget)->setEditText(values.texts[design.field]);
            break;
        case Kind::Check: {
            // Showing a record's state is not the user's toggle: the pair stays as loaded.
            const QSignalBlocker quiet(widget);
            static_cast<QCheckBox*>(widget)->setChecked(values.checkedOut);
            break;
        }
        default:
            static_cast<QLineEdit*>(widget)->setText(values.texts[design.field]);
            break;
        }
    }
}

void TMyEdit::LoadRecord()
{
    setValues(m_record.load(m_services.table));
    m_savedCheckDate = CheckDate->text();
    m_savedCheckName = CheckName->currentText();
    refreshTitleEcho();
    showStartOfBoxes();
}

// A text longer than its box shows its start, where it is read from.
void TMyEdit::showStartOfBoxes()
{
    for (QLineEdit* line : findChildren<QLineEdit*>())
        line->setCursorPosition(0);
}

void TMyEdit::setVisible(bool visible)
{
    QDialog::setVisible(visible);
    // Showing a dialog selects the whole text of its focused box, which scrolls a long text to its end.
    if (visible)
        showStartOfBoxes();
}

void TMyEdit::ClearWindow()
{
    edit::EditValues values = edit::EditRecord::cleared();
    values.checkedOut = CheckOut->isChecked(); // cleared below, as the user would
    setValues(values);
    m_record.forgetLoadedDates();
    if (CheckOut->isChecked()) {
        CheckOut->setChecked(false);
        CheckOutClick();
    }
}

void TMyEdit::TakeSnapshot()
{
    m_record.takeSnapshot(values());
    setWindowTitle(QStringLiteral("Edit"));
}

bool TMyEdit::DataChanged() const
{
    return m_record.changed(values());
}

void TMyEdit::refreshTitleEcho()
{
    const QString echo = fieldTitle(F::Title) + QStringLiteral(": ") + Title->text();
    for (QLabel* foot : FootCaptions)
        foot->setText(echo);
}

// ------------------------------------------------------------------ commands

bool TMyEdit::Update()
{
    if (m_services.browse)
        return false;
    const edit::EditValues now = values();
    try {
        db::BookTable& books = m_services.table;
        if (std::optional<edit::Refusal> refusal =
                m_record.check(now, books, [this](int field) { return titleInMessages(field); })) {
            error(refusal->message);
            showBox(refusal->field);
            return false;
        }
        for (int list = 1; list <= edit::kPickListCount; ++list)
            m_services.pickLists.add(list, pickCombo(list)->currentText());
        edit::EditMode mode = editMode();
        std::optional<QString> refused;
        try {
            refused = m_record.write(books, now, mode);
        } catch (...) {
            setEditMode(mode); // Change when the record was written before the failure
            throw;
        }
        setEditMode(mode);
        if (refused) {
            error(*refused);
            return false;
        }
    } catch (const dbase::DatabaseError& failure) {
        error(QString::fromUtf8(failure.what()));
        return false;
    }
    if (m_services.displayCount)
        m_services.displayCount();
    return true;
}

void TMyEdit::UpdateButtonClick()
{
    if (!Update())
        return;
    if (m_record.returnToRecord(m_services.table)) {
        TakeSnapshot();
        return;
    }
    showBookAfterLeaving();
}

// The book just saved no longer matches the search and has left the list, and the table
// has moved on. The window follows, so that the next Update writes to the book it shows:
// the book now current, or a new book when the search finds none any more.
void TMyEdit::showBookAfterLeaving()
{
    const bool another = m_services.table.currentRow() >= 0;
    if (another) {
        LoadRecord();
    } else {
        ClearWindow();
        setEditMode(edit::EditMode::Add);
    }
    TakeSnapshot();
    if (!another)
        setWindowTitle(QStringLiteral("Edit (New Record)"));
    m_services.dialogs.message(
        QStringLiteral("Notice"),
        another ? QStringLiteral("The book was saved.  It no longer matches the search, so it has left the "
                                 "list; the window now shows the next book found.")
                : QStringLiteral("The book was saved.  It no longer matches the search, so it has left the "
                                 "list; no book found by the search is left, so the window is ready for a "
                                 "new book."),
        Button::Ok, Button::Ok, platform::Icon::Information);
}

void TMyEdit::UpdateExitButtonClick()
{
    if (Update())
        done(QDialog::Accepted);
}

void TMyEdit::ClearButtonClick()
{
    ClearWindow();
    focusTitle();
}

// After the window starts another book, typing goes to its first box, not to the button pressed.
void TMyEdit::focusTitle()
{
    Notebook->setCurrentIndex(0);
    Title->setFocus(Qt::OtherFocusReason);
}

void TMyEdit::CancelButtonClick()
{
    if (!m_services.browse && DataChanged() &&
        ask(QStringLiteral("Data has changed.  Do you want to exit without updating?"), false) != Button::Yes)
        return;
    done(QDialog::Rejected);
}

void TMyEdit::reject()
{
    CancelButtonClick();
}

void TMyEdit::done(int result)
{
    try {
        m_services.pickLists.saveAll();
    } catch (const edit::PickListError& failure) {
        error(QString::fromUtf8(failure.what()));
    }
    QDialog::done(result);
}

void TMyEdit::PrevButtonClick()
{
    move(-1);
}

void TMyEdit::NextButtonClick()
{
    move(1);
}

void TMyEdit::move(int step)
{
    if (!m_services.browse) {
        const QString where = step < 0 ? QStringLiteral("previous") : QStringLiteral("next");
        const edit::EditMode mode = editMode();
        QString question;
        if (mode == edit::EditMode::Add || mode == edit::EditMode::Copy)
            question = QStringLiteral("This record has not been updated yet.  Update this record before "
                                      "moving to the %1 record?");
        else if (mode == edit::EditMode::Change && DataChanged())
            question =
                QStringLiteral("Data has changed.  Update this record before moving to the %1 record?");
        if (!question.isEmpty()) {
            const Button answer = ask(question.arg(where), true);
            if (answer == Button::Cancel || (answer == Button::Yes && !Update()))
                return;
            // A book saved out of the search has left the list, and the book after it is current already.
            if (answer == Button::Yes && step > 0 && !m_record.returnToRecord(m_services.table))
                step = 0;
        }
    }
    db::BookTable& books = m_services.table;
    if (books.isOpen() && books.rowCount() > 0) {
        const int row = books.currentRow();
        // At either end the table stays where it is.
        books.gotoRow(row < 0 ? 0 : std::clamp(row + step, 0, books.rowCount() - 1));
    }
    LoadRecord();
    TakeSnapshot();
    setEditMode(edit::EditMode::Change);
}

void TMyEdit::MenuNewClick()
{
    if (DataChanged()) {
        const Button answer =
            ask(QStringLiteral("Data has changed.  Update this record before creating new one?"), true);
        if (answer == Button::Cancel || (answer == Button::Yes && !Update()))
            return;
    }
    ClearWindow();
    setEditMode(edit::EditMode::Add);
    TakeSnapshot();
    setWindowTitle(QStringLiteral("Edit (New Record)"));
    focusTitle();
}

void TMyEdit::MenuCopyRecordClick()
{
    // In browse mode nothing can be saved, so there is nothing to ask.
    if (!m_services.browse && DataChanged()) {
        const Button answer =
            ask(QStringLiteral(
                    "Data has changed.  Update this record before creating new one with the current data?"),
                true);
        if (answer == Button::Cancel || (answer == Button::Yes && !Update()))
            return;
    }
    setEditMode(edit::EditMode::Add);
    TakeSnapshot();
    setWindowTitle(QStringLiteral("Edit (New Copied Record)"));
    focusTitle();
}

void TMyEdit::CheckOutClick()
{
    if (CheckOut->isChecked()) {
        CheckDate->setText(m_savedCheckDate);
        CheckName->setEditText(m_savedCheckName);
        return;
    }
    // Kept whole: a pair loaded longer than the boxes' limits comes back as it was.
    m_savedCheckDate = CheckDate->text();
    m_savedCheckName = CheckName->currentText();
    CheckDate->clear();
    CheckName->setEditText(QString());
}

void TMyEdit::BlankPurchDateClick()
{
    PurchDate->clear();
}

void TMyEdit::BlankCheckOutClick()
{
    CheckDate->clear();
}

void TMyEdit::MenuHelpClick()
{
    if (m_services.showHelp)
        m_services.showHelp(kInputWindow);
}

// ------------------------------------------------------------------ clipboard

// The line edit the clipboard commands act on: a plain edit box's or a combo box's; never a date box's.
QLineEdit* TMyEdit::clipboardTarget() const
{
    QWidget* focus = focusWidget();
    if (auto* combo = qobject_cast<QComboBox*>(focus))
        return combo->lineEdit();
    auto* line = qobject_cast<QLineEdit*>(focus);
    if (!line || line == PurchDate || line == CheckDate)
        return nullptr;
    return line;
}

void TMyEdit::MenuCutClick()
{
    if (QLineEdit* line = clipboardTarget())
        line->cut();
}

void TMyEdit::MenuCopyClick()
{
    if (QLineEdit* line = clipboardTarget())
        line->copy();
}

void TMyEdit::MenuPasteClick()
{
    if (QLineEdit* line = clipboardTarget())
        line->paste();
}

void TMyEdit::MenuDeleteClick()
{
    QLineEdit* line = clipboardTarget();
    if (line && line->hasSelectedText())
        line->del();
}

// ------------------------------------------------------------------ keys and focus

bool TMyEdit::eventFilter(QObject* watched, QEvent* event)
{
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget)
        return QDialog::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // Drop-down lists and completions are windows of their own and keep their Enter.
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && widget->window() == this) {
            moveAlongChain(widget);
            return true;
        }
    } else if (event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        // Another window taking the focus (a message, a drop-down) is not leaving the box.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            for (int field : kMoney)
                if (widget == box(field))
                    leaveMoneyBox(static_cast<QLineEdit*>(widget));
            for (int field : kEchoBoxes)
                if (widget == box(field))
                    refreshTitleEcho();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TMyEdit::moveAlongChain(QWidget* from)
{
    for (QWidget* widget = from; widget && widget != this; widget = widget->parentWidget()) {
        const auto at = std::find_if(std::begin(kBoxes), std::end(kBoxes),
                                     [&](const BoxDesign& design) { return box(design.field) == widget; });
        if (at == std::end(kBoxes))
            continue;
        const BoxDesign& next = at + 1 == std::end(kBoxes) ? kBoxes[0] : *(at + 1);
        Notebook->setCurrentIndex(next.page);
        box(next.field)->setFocus(Qt::TabFocusReason);
        return;
    }
}

// The money text of the number typed; text that is not money stays as typed for Update to report.
void TMyEdit::leaveMoneyBox(QLineEdit* box)
{
    if (box->text().trimmed().isEmpty())
        return;
    if (std::optional<double> value = m_services.numbers.readMoney(box->text()))
        box->setText(m_record.moneyText(*value));
}

void TMyEdit::showBox(int field)
{
    Notebook->setCurrentIndex(m_pages[std::size_t(field)]);
    box(field)->setFocus();
}

// ------------------------------------------------------------------ helpers

QComboBox* TMyEdit::pickCombo(int list) const
{
    return static_cast<QComboBox*>(box(db::pickListField(list)));
}

Button TMyEdit::ask(const QString& question, bool withCancel)
{
    // Every question here could lose what the user typed.
    m_services.dialogs.beep();
    const platform::Buttons buttons =
        withCancel ? Button::Yes | Button::No | Button::Cancel : Button::Yes | Button::No;
    return m_services.dialogs.message(QStringLiteral("Warning"), question, buttons, Button::No,
                                      platform::Icon::Warning);
}

void TMyEdit::error(const QString& text)
{
    m_services.dialogs.message(QStringLiteral("Error"), text, Button::Ok, Button::Ok, platform::Icon::Error);
}

edit::EditMode TMyEdit::editMode() const
{
    return m_services.editMode();
}

void TMyEdit::setEditMode(edit::EditMode mode)
{
    m_services.setEditMode(mode);
}

QString TMyEdit::fieldTitle(int field) const
{
    return m_services.settings.fields.at(std::size_t(field)).title;
}

// A message must name the box even when the user has left its title empty.
QString TMyEdit::titleInMessages(int field) const
{
    const QString title = fieldTitle(field);
    return title.isEmpty() ? defaultTitle(field) : title;
}
