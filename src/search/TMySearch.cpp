#include "TMySearch.h"

#include "search/SearchCriteriaDelegate.h"
#include "search/SearchFilter.h"
#include "search/SearchTemplates.h"
#include "search/TSearchOptions.h"

#include "db/BookTable.h"
#include "platform/Dialogs.h"
#include "platform/Screen.h"
#include "settings/DateFormat.h"
#include "settings/Fonts.h"
#include "settings/Scaling.h"
#include "settings/Settings.h"
#include "settings/WindowLook.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

using search::kSearchRows;

constexpr int kFieldColumn = 0;
constexpr int kOptionColumn = 1;
constexpr int kCriteriaColumn = 2;
// Design sizes at the 640 x 480 screen size, in pixels.
constexpr int kColumnWidths[] = {200, 20, 378};
constexpr int kRowHeight = 24;
constexpr int kMargin = 10;
const QColor kOptionCellColor(128, 128, 128);

const QString kInvalidCriteria = QStringLiteral("Invalid search criteria entered.  Please correct.");
const QString kNoCriteria = QStringLiteral("No search criteria entered.");
const QString kNoMatches = QStringLiteral("No valid matches found.  Search Criteria will be cleared.");

QString tooManyItems()
{
    return QStringLiteral("More than ") + QString::number(search::SearchQuery::kMaxItems) +
           QStringLiteral(" search items have been entered.  ") +
           QStringLiteral("This exceeds the maximum allowable.  Search criteria will be cleared.");
}

int scaled(int design, double scale)
{
    return int(std::lround(design * scale));
}

QPushButton* makeButton(const QString& name, const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false); // Return in a criteria cell must not press a button
    return button;
}

// A cell of the two fixed columns: never current, never edited, drawn as enabled.
QTableWidgetItem* fixedItem(const QString& text, const QBrush& background, const QBrush& foreground)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::NoItemFlags);
    item->setBackground(background);
    item->setForeground(foreground);
    return item;
}

} // namespace

TMySearch::TMySearch(const search::SearchServices& services, QWidget* parent)
    : QDialog(parent), m_services(services)
{
    setObjectName(QStringLiteral("TMySearch"));
    setWindowTitle(QStringLiteral("Search"));
    setModal(true);
    m_options.fill(search::OptionEqual);

    createGrid();
    OkButton = makeButton(QStringLiteral("OkButton"), QStringLiteral("&Ok"), this);
    MoreButton = makeButton(QStringLiteral("MoreButton"), QStringLiteral("&Find More"), this);
    ClearButton = makeButton(QStringLiteral("ClearButton"), QStringLiteral("&Clear Search"), this);
    ExitButton = makeButton(QStringLiteral("ExitButton"), QStringLiteral("E&xit"), this);
    HelpButton = makeButton(QStringLiteral("HelpButton"), QStringLiteral("&Help"), this);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {OkButton, MoreButton, ClearButton, ExitButton, HelpButton})
        buttons->addWidget(button);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(SearchGrid, 1);
    layout->addLayout(buttons);
    resize(640, 440);

    connect(OkButton, &QPushButton::clicked, this, &TMySearch::OkButtonClick);
    connect(MoreButton, &QPushButton::clicked, this, &TMySearch::MoreButtonClick);
    connect(ClearButton, &QPushButton::clicked, this, &TMySearch::ClearButtonClick);
    connect(ExitButton, &QPushButton::clicked, this, &TMySearch::ExitButtonClick);
    connect(HelpButton, &QPushButton::clicked, this, &TMySearch::HelpButtonClick);
}

TMySearch::~TMySearch() = default;

void TMySearch::createGrid()
{
    SearchGrid = new QTableWidget(kSearchRows, 3, this);
    SearchGrid->setObjectName(QStringLiteral("SearchGrid"));
    SearchGrid->verticalHeader()->hide();
    SearchGrid->setHorizontalHeaderLabels({QStringLiteral(" FIELD"), QString(), QString()});
    SearchGrid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    SearchGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    SearchGrid->horizontalHeader()->setStretchLastSection(true);
    SearchGrid->horizontalHeader()->setHighlightSections(false);
    SearchGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    SearchGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    SearchGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    SearchGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    SearchGrid->setEditTriggers(QAbstractItemView::AllEditTriggers);
    SearchGrid->setTabKeyNavigation(true);
    SearchGrid->setWordWrap(false);

    const QBrush fixedBackground = QApplication::palette().button();
    const QBrush fixedText = QApplication::palette().buttonText();
    for (int row = 1; row <= kSearchRows; ++row) {
        SearchGrid->setItem(row - 1, kFieldColumn, fixedItem(QString(), fixedBackground, fixedText));
        const bool options = search::hasOptions(row);
        auto* option = fixedItem(options ? QStringLiteral("...") : QString(),
                                 options ? QBrush(kOptionCellColor) : fixedBackground, fixedText);
        option->setTextAlignment(Qt::AlignCenter);
        SearchGrid->setItem(row - 1, kOptionColumn, option);
        SearchGrid->setItem(row - 1, kCriteriaColumn, new QTableWidgetItem);
    }

    m_delegate = new search::SearchCriteriaDelegate(
        [this](int gridRow) { return m_masks.at(std::size_t(gridRow)); },
        [](int gridRow) { return search::searchField(gridRow + 1).width; }, this);
    SearchGrid->setItemDelegateForColumn(kCriteriaColumn, m_delegate);
    SearchGrid->viewport()->installEventFilter(this);
}

// ------------------------------------------------------------------ showing

void TMySearch::showEvent(QShowEvent* event)
{
    FormShow();
    QDialog::showEvent(event);
}

void TMySearch::FormShow()
{
    const double scale = m_services.scaleFactor ? m_services.scaleFactor() : 1.0;
    closeEditor();
    const int margin = scaled(kMargin, scale);
    layout()->setContentsMargins(margin, margin, margin, margin);
    settings::fitWindow(this, m_services.fonts, scale, m_services.screen.size(), true);
    m_query.clear();
    layOutGrid(scale);
    for (int row = 1; row <= kSearchRows; ++row)
        SearchGrid->item(row - 1, kFieldColumn)
            ->setText(QLatin1Char(' ') + m_services.settings.fields.at(std::size_t(row - 1)).title);
    emptyCriteria();
    rebuildMasks();
    showLevel();
    enableMore();
    applyColors();
    SearchGrid->scrollToTop();
    editRow(1);
}

void TMySearch::layOutGrid(double scale)
{
    for (int column = 0; column < 3; ++column)
        SearchGrid->setColumnWidth(column, scaled(kColumnWidths[column], scale));
    SearchGrid->verticalHeader()->setMinimumSectionSize(1);
    SearchGrid->verticalHeader()->setDefaultSectionSize(scaled(kRowHeight, scale));
    SearchGrid->horizontalHeader()->setFixedHeight(scaled(kRowHeight, scale));
}

void TMySearch::rebuildMasks()
{
    const settings::DateFormat& dates = m_services.dates;
    const bool yearFirst = dates.pattern().startsWith(QLatin1Char('y'));
    for (int row = 1; row <= kSearchRows; ++row)
        m_masks[std::size_t(row - 1)] =
            search::criteriaMask(row, rowOption(row), dates.separator(), yearFirst);
}

void TMySearch::applyColors()
{
    settings::SchemedControls controls;
    controls.lists = {SearchGrid};
    settings::applyColorScheme(this, m_services.settings.scheme(settings::WindowGroup::Search), controls);
}

// ------------------------------------------------------------------ the grid

QString TMySearch::criteria(int row) const
{
    return SearchGrid->item(row - 1, kCriteriaColumn)->text();
}

void TMySearch::setCriteria(int row, const QString& text)
{
    SearchGrid->item(row - 1, kCriteriaColumn)->setText(text); // an open editor shows it too
}

int TMySearch::currentRow() const
{
    return SearchGrid->currentRow() + 1;
}

std::array<QString, kSearchRows> TMySearch::cells() const
{
    std::array<QString, kSearchRows> texts;
    for (int row = 1; row <= kSearchRows; ++row)
        texts[std::size_t(row - 1)] = criteria(row);
    return texts;
}

void TMySearch::emptyCriteria()
{
    for (int row = 1; row <= kSearchRows; ++row)
        setCriteria(row, QString());
}

// "Find More" while a level after this one may still be entered.
void TMySearch::enableMore()
{
    MoreButton->setEnabled(m_query.level() < search::SearchQuery::kMaxLevels);
}

void TMySearch::showLevel()
{
    SearchGrid->horizontalHeaderItem(kCriteriaColumn)
        ->setText(QStringLiteral(" SEARCH CRITERIA    (Level %1)").arg(m_query.level()));
}

// Writes the open editor's text to its cell and closes it, so that it opens
// again with the row's template of the moment.
void TMySearch::closeEditor()
{
    const QModelIndex index = SearchGrid->currentIndex();
    if (QWidget* editor = SearchGrid->indexWidget(index)) {
        m_delegate->setModelData(editor, SearchGrid->model(), index);
        emit m_delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

// Makes row `row`'s criteria cell current, its editor open and the grid focused.
void TMySearch::editRow(int row)
{
    const QModelIndex index = SearchGrid->model()->index(row - 1, kCriteriaColumn);
    SearchGrid->setCurrentIndex(index);
    if (!SearchGrid->indexWidget(index))
        SearchGrid->edit(index);
    SearchGrid->setFocus();
    if (QWidget* editor = SearchGrid->indexWidget(index))
        editor->setFocus();
}

bool TMySearch::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == SearchGrid->viewport() &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease)) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QModelIndex index = SearchGrid->indexAt(mouse->position().toPoint());
        if (event->type() == QEvent::MouseButtonPress) {
            m_pressedRow = index.row();
            m_pressedColumn = index.column();
        } else if (index.isValid() && index.row() == m_pressedRow && index.column() == m_pressedColumn) {
            m_pressedRow = m_pressedColumn = -1;
            SearchGridMouseUp(index.row() + 1, index.column());
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TMySearch::SearchGridMouseUp(int row, int column)
{
    if (column != kOptionColumn || row < 1 || row > kSearchRows || !search::hasOptions(row))
        return;
    const search::SearchField& field = search::searchField(row);
    const double scale = m_services.scaleFactor ? m_services.scaleFactor() : 1.0;
    TSearchOptions options(m_services.fonts, scale, m_services.screen.size(), this);
    options.setRow(row, m_services.settings.fields.at(std::size_t(row - 1)).title);
    if (field.type != search::FieldType::Character)
        options.showOperators(rowOption(row));
    else if (field.pickList == search::kYesNoList)
        options.showValues({QStringLiteral("YES"), QStringLiteral("NO")});
    else
        options.showValues(m_services.pickList ? m_services.pickList(field.pickList) : QStringList());
    if (options.exec() == QDialog::Accepted)
        applySearchOptions(options);
}

void TMySearch::applySearchOptions(const TSearchOptions& options)
{
    const int row = options.row();
    if (row < 1 || row > kSearchRows)
        return;
    closeEditor();
    if (search::searchField(row).type == search::FieldType::Character) {
        if (options.chosenValue())
            setCriteria(row, *options.chosenValue());
    } else if (options.chosenOption()) {
        changeOption(row, *options.chosenOption());
    }
    editRow(row);
}

// A criterion already typed is carried over to the new template.
void TMySearch::changeOption(int row, int option)
{
    const int old = rowOption(row);
    m_options[std::size_t(row - 1)] = option;
    rebuildMasks();
    if (old == option)
        return;
    const bool isDate = search::searchField(row).type == search::FieldType::Date;
    const QString value = search::firstValue(criteria(row), old, isDate);
    setCriteria(
        row, search::SearchCriteriaDelegate::laidOut(search::withOperator(value, option), criteriaMask(row)));
}

// ------------------------------------------------------------------ the query

void TMySearch::error(const QString& text)
{
    m_services.dialogs.message(QStringLiteral("Error"), text, platform::Button::Ok, platform::Button::Ok,
                               platform::Icon::Error);
}

bool TMySearch::SaveFields()
{
    using Outcome = search::SearchQuery::SaveResult::Outcome;
    closeEditor();
    const auto result = m_query.saveLevel(cells(), m_options, m_services.dates);
    switch (result.outcome) {
    case Outcome::Saved:
        return true;
    case Outcome::Invalid:
        error(kInvalidCriteria);
        editRow(result.row);
        return false;
    case Outcome::TooMany:
        error(tooManyItems());
        ClearSearch();
        return false;
    case Outcome::Empty:
        error(kNoCriteria);
        editRow(std::max(1, currentRow()));
        return false;
    }
    return false;
}

bool TMySearch::Doit()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    auto query = std::make_shared<const search::SearchQuery>(m_query);
    m_services.enableEndSearch();
    bool found = false;
    try {
        found =
            search::applyRecordFilter(m_services.table, search::makeRecordFilter(query, m_services.searchOn));
    } catch (...) {
        m_active.reset();
        m_services.endSearch();
        throw;
    }
    if (!found) {
        m_active.reset();
        m_services.endSearch();
        return false;
    }
    m_active = std::move(query);
    return true;
}

void TMySearch::ClearSearch()
{
    closeEditor();
    emptyCriteria();
    m_query.clear();
    enableMore();
    showLevel();
    editRow(std::max(1, currentRow()));
}

// ------------------------------------------------------------------ buttons

void TMySearch::ClearButtonClick()
{
    ClearSearch();
}

void TMySearch::MoreButtonClick()
{
    // The last level is applied by OK alone; another level would be stored beyond the limit.
    if (m_query.level() >= search::SearchQuery::kMaxLevels) {
        enableMore();
        return;
    }
    if (SaveFields()) {
        closeEditor();
        emptyCriteria();
        m_query.nextLevel();
        showLevel();
        enableMore();
    }
    editRow(std::max(1, currentRow()));
}

void TMySearch::OkButtonClick()
{
    enableMore();
    if (!SaveFields())
        return;
    if (Doit()) {
        accept();
        return;
    }
    m_services.dialogs.message(QStringLiteral("Notice"), kNoMatches, platform::Button::Ok,
                               platform::Button::Ok, platform::Icon::Information);
    ClearSearch();
}

void TMySearch::ExitButtonClick()
{
    enableMore();
    reject();
}

void TMySearch::HelpButtonClick()
{
    if (m_services.showHelp)
        m_services.showHelp(QStringLiteral("Search Window"));
}
