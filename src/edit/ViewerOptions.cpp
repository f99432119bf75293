#include "ViewerOptions.h"

#include "edit/EditRecord.h"
#include "edit/GridScrollBar.h"
#include "edit/PickLists.h"
#include "edit/TypingLimit.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableView>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <stdexcept>

namespace edit {
namespace {

// A date or money text the record edit window would refuse; what() is its message.
class InputRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

bool isEmptyDateMask(const QString& text)
{
    return text.isEmpty() || text == u"/  /" || text == u"-  -" || text == u".  .";
}

std::optional<double> readPlainMoney(const QString& text)
{
    QString plain = text;
    plain.remove(u',');
    bool ok = false;
    const double value = plain.toDouble(&ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

void writeDate(db::BookTable& table, int field, const QString& text, const db::DateText& dates)
{
    const QString trimmed = text.trimmed();
    if (isEmptyDateMask(trimmed)) {
        table.setDate(field, {});
        return;
    }
    std::optional<dbase::Date> date = dates.read(trimmed);
    if (!date)
        throw InputRefused(inputRefusal(field).toStdString());
    table.setDate(field, *date);
}

void writeMoney(db::BookTable& table, int field, const QString& text, const MoneyReader& readMoney)
{
    const QString trimmed = text.trimmed();
    double value = 0;
    if (!trimmed.isEmpty()) {
        std::optional<double> read = readMoney ? readMoney(trimmed) : readPlainMoney(trimmed);
        if (!read)
            throw InputRefused(inputRefusal(field).toStdString());
        value = *read;
    }
    table.setFloating(field, value);
}

// Lines a shade away from the cell colour, so they show on light and dark cells alike.
QColor lineColourFor(const QColor& cell)
{
    const QColor toward = cell.lightness() > 110 ? QColor(Qt::black) : QColor(Qt::white);
    const auto mix = [](int a, int b) { return (2 * a + b) / 3; };
    return QColor(mix(cell.red(), toward.red()), mix(cell.green(), toward.green()),
                  mix(cell.blue(), toward.blue()));
}

// What the grid's delegate, header and key filter share; replaced on each application.
struct GridLook {
    bool rowLines = true;
    bool columnLines = true;
    QColor lineColour;
    bool browseMode = false;
    ViewerHooks hooks;
};

// Draws the cells with their own row and column lines (the view has one switch for both),
// CHECKOUT as a check box, and money as the edit window shows it; edits through
// drop-down pick lists, plain line edits, and a click on the check box.
class ViewerDelegate : public QStyledItemDelegate {
public:
    ViewerDelegate(db::BookGridModel& model, const GridLook& look, QObject* parent)
        : QStyledItemDelegate(parent), m_model(model), m_look(look)
    {
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        if (m_model.fieldAt(index.column()) == db::fields::CheckOut) {
            QStyleOptionViewItem item(option);
            initStyleOption(&item, index);
            const bool ticked = item.text == u"Yes";
            item.text.clear();
            style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);
            QStyleOptionViewItem check(item);
            check.rect = checkRect(option, widget);
            check.state = (check.state & ~(QStyle::State_On | QStyle::State_Off)) |
                          (ticked ? QStyle::State_On : QStyle::State_Off);
            // A box of its own colours: on the cell colour a style's box would fade into the cell.
            check.palette.setColor(QPalette::Base, Qt::white);
            check.palette.setColor(QPalette::Text, Qt::black);
            check.palette.setColor(QPalette::Window, option.palette.color(QPalette::Base).darker(130));
            style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &check, painter, widget);
            drawLines(painter, option.rect);
            return;
        }
        painter->save();
        drawText(painter, option, cellText(index), alignmentOf(index, option), style, widget);
        drawLines(painter, option.rect);
        painter->restore();
    }

    // A cell of text drawn directly from the view's own option: the model gives the cells
    // no fonts, colours or alignment of their own, and the style's item layout would cost
    // more than the text itself on a screenful of hundreds of cells. The painter's state is
    // the caller's to keep.
    void drawText(QPainter* painter, const QStyleOptionViewItem& item, const QString& text,
                  Qt::Alignment alignment, QStyle* style, const QWidget* widget) const
    {
        const bool selected = item.state & QStyle::State_Selected;
        const QPalette::ColorGroup group = !(item.state & QStyle::State_Enabled) ? QPalette::Disabled
                                           : (item.state & QStyle::State_Active) ? QPalette::Active
                                                                                 : QPalette::Inactive;
        if (selected)
            painter->fillRect(item.rect, item.palette.brush(group, QPalette::Highlight));
        else if (item.backgroundBrush.style() != Qt::NoBrush)
            painter->fillRect(item.rect, item.backgroundBrush);
        if (!text.isEmpty()) {
            painter->setPen(item.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
            if (!(painter->font() == item.font)) // the view's font as a rule: setting it again costs
                painter->setFont(item.font);
            const int margin = textMargin(style, widget);
            painter->drawText(item.rect.adjusted(margin, 0, -margin, 0),
                              static_cast<int>(alignment) | Qt::TextSingleLine, text);
        }
        if (item.state & QStyle::State_HasFocus) {
            QStyleOptionFocusRect focus;
            focus.QStyleOption::operator=(item);
            focus.backgroundColor =
                item.palette.color(group, selected ? QPalette::Highlight : QPalette::Base);
            style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
        }
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override
    {
        const int field = m_model.fieldAt(index.column());
        if (!m_model.isEditable() || field < 0 || field == db::fields::CheckOut)
            return nullptr;
        if (const int list = db::pickListOf(field)) {
            // The text typed is the field's value: completed with letter case counting,
            // never added to the list.
            auto* combo = new QComboBox(parent);
            setUpPickCombo(combo, db::inputLength(field));
            combo->setFrame(false);
            if (m_look.hooks.pickList)
                loadPickCombo(combo, m_look.hooks.pickList(list));
            return combo;
        }
        auto* line = new QLineEdit(parent);
        line->setFrame(false);
        limitTyping(line, db::inputLength(field)); // the value shown is written back whole
        return line;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        const QString text = shownText(index, index.data(Qt::EditRole).toString());
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            combo->setCurrentIndex(-1);
            combo->setEditText(text);
        } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            line->setText(text);
        }
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        if (auto* combo = qobject_cast<QComboBox*>(editor))
            model->setData(index, combo->currentText());
        else if (auto* line = qobject_cast<QLineEdit*>(editor))
            model->setData(index, line->text());
    }

    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->displayAlignment = alignmentOf(index, *option);
        option->text = shownText(index, option->text);
    }

protected:
    // A click on CHECKOUT's box, or Space in its cell, switches it between Yes and No.
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override
    {
        if (m_model.fieldAt(index.column()) != db::fields::CheckOut || !m_model.isEditable())
            return QStyledItemDelegate::editorEvent(event, model, option, index);
        bool toggle = false;
        if (event->type() == QEvent::MouseButtonRelease) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            toggle = mouse->button() == Qt::LeftButton &&
                     checkRect(option, option.widget).contains(mouse->position().toPoint());
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            toggle = key == Qt::Key_Space || key == Qt::Key_Select;
        }
        if (!toggle)
            return false;
        const bool ticked = index.data(Qt::EditRole).toString() == u"Yes";
        model->setData(index, ticked ? QStringLiteral("No") : QStringLiteral("Yes"));
        return true;
    }

private:
    Qt::Alignment alignmentOf(const QModelIndex& index, const QStyleOptionViewItem& option) const
    {
        const int field = m_model.fieldAt(index.column());
        if (db::isMoneyField(field) || db::isWholeNumberField(field))
            return Qt::AlignRight | Qt::AlignVCenter;
        return option.displayAlignment;
    }

    // The text initStyleOption() would give, without asking the model role by role.
    QString cellText(const QModelIndex& index) const
    {
        QString text = m_model.data(index, Qt::DisplayRole).toString();
        text.replace(u'\n', QChar::LineSeparator); // as the item view's text conversion does
        return shownText(index, text);
    }

    // The style's margin, asked once per style rather than once per cell.
    int textMargin(QStyle* style, const QWidget* widget) const
    {
        if (style != m_marginStyle) {
            m_margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
            m_marginStyle = style;
        }
        return m_margin;
    }

    QString shownText(const QModelIndex& index, const QString& text) const
    {
        if (!m_look.hooks.writeMoney || text.isEmpty() || !db::isMoneyField(m_model.fieldAt(index.column())))
            return text;
        const std::optional<double> value = plainDecimal(text); // the table's plain decimal text
        return value ? m_look.hooks.writeMoney(*value) : text;
    }

    // QString::toDouble()'s value, read without the locale machinery that made it a tenth of
    // a money cell's paint when the text is digits, a point and a sign, as the table writes them.
    static std::optional<double> plainDecimal(const QString& text)
    {
        char digits[32];
        const qsizetype size = text.size();
        bool plain = size < qsizetype(sizeof digits);
        for (qsizetype i = 0; plain && i < size; ++i) {
            const char16_t c = text[i].unicode();
            plain = (c >= u'0' && c <= u'9') || c == u'.' || c == u'-';
            digits[i] = static_cast<char>(c);
        }
        double value = 0;
        if (plain) {
            const auto [end, error] = std::from_chars(digits, digits + size, value);
            if (error == std::errc() && end == digits + size)
                return value;
        }
        bool ok = false;
        value = text.toDouble(&ok);
        return ok ? std::optional<double>(value) : std::nullopt;
    }

    static QRect checkRect(const QStyleOptionViewItem& option, const QWidget* widget)
    {
        QStyle* style = widget ? widget->style() : QApplication::style();
        const int width = style->pixelMetric(QStyle::PM_IndicatorWidth, &option, widget);
        const int height = style->pixelMetric(QStyle::PM_IndicatorHeight, &option, widget);
        return QStyle::alignedRect(option.direction, Qt::AlignCenter, QSize(width, height), option.rect);
    }

    void drawLines(QPainter* painter, const QRect& cell) const
    {
        if (!m_look.rowLines && !m_look.columnLines)
            return;
        // On a screen of one device pixel per pixel a line of one pixel is a filled rectangle,
        // which costs a fraction of a stroked line; a cell has two.
        const bool pixelLines = painter->device() && painter->device()->devicePixelRatio() == 1 &&
                                painter->transform().isIdentity();
        if (pixelLines) {
            if (m_look.columnLines)
                painter->fillRect(QRect(cell.right(), cell.top(), 1, cell.height()), m_look.lineColour);
            if (m_look.rowLines)
                painter->fillRect(QRect(cell.left(), cell.bottom(), cell.width(), 1), m_look.lineColour);
            return;
        }
        const QPen pen = painter->pen();
        painter->setPen(QPen(m_look.lineColour, 0));
        if (m_look.columnLines)
            painter->drawLine(cell.topRight(), cell.bottomRight());
        if (m_look.rowLines)
            painter->drawLine(cell.bottomLeft(), cell.bottomRight());
        painter->setPen(pen);
    }

    db::BookGridModel& m_model;
    const GridLook& m_look;
    mutable QStyle* m_marginStyle = nullptr;
    mutable int m_margin = 0;
};

// The row indicator: a narrow column left of the cells with an arrow at the current row.
class RowIndicator : public QHeaderView {
public:
    explicit RowIndicator(QWidget* parent) : QHeaderView(Qt::Vertical, parent)
    {
        setSectionResizeMode(QHeaderView::Fixed);
        setHighlightSections(false);
        setSectionsClickable(false);
    }

    QSize sizeHint() const override { return {fontMetrics().height(), defaultSectionSize()}; }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override
    {
        QStyleOptionHeader header;
        initStyleOption(&header);
        header.rect = rect;
        header.section = logicalIndex;
        header.position = QStyleOptionHeader::Middle;
        style()->drawControl(QStyle::CE_HeaderSection, &header, painter, this);
        if (!selectionModel() || selectionModel()->currentIndex().row() != logicalIndex)
            return;
        const int size = std::max(3, std::min(rect.width(), rect.height()) / 3);
        const QPoint centre = rect.center();
        const QPoint arrow[] = {{centre.x() - size / 2, centre.y() - size},
                                {centre.x() - size / 2, centre.y() + size},
                                {centre.x() + size / 2 + 1, centre.y()}};
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(palette().color(QPalette::ButtonText));
        painter->drawPolygon(arrow, 3);
        painter->restore();
    }

    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override
    {
        QHeaderView::currentChanged(current, previous);
        viewport()->update();
    }
};

// Lives on the grid: owns its look, and turns Ctrl+Delete into the delete command.
class GridControl : public QObject {
public:
    static constexpr const char* kName = "ViewerOptions";

    GridControl(QTableView& grid, db::BookGridModel& model) : QObject(&grid), m_grid(grid)
    {
        setObjectName(QString::fromLatin1(kName));
        grid.setItemDelegate(new ViewerDelegate(model, m_look, this));
        grid.installEventFilter(this);
        installScrollBar(grid);
    }

    static GridControl& on(QTableView& grid, db::BookGridModel& model)
    {
        auto* control = grid.findChild<GridControl*>(QString::fromLatin1(kName), Qt::FindDirectChildrenOnly);
        return control ? *control : *new GridControl(grid, model);
    }

    GridLook& look() { return m_look; }

    // The row indicator with every row `rowHeight` pixels high. A new height comes with a
    // new indicator, which takes it before it learns of the rows: resizing the rows of a large
    // table in place sends the view a signal for each book.
    RowIndicator& indicator(int rowHeight)
    {
        auto* current = dynamic_cast<RowIndicator*>(m_grid.verticalHeader());
        if (current && current->defaultSectionSize() == rowHeight)
            return *current;
        auto* indicator = new RowIndicator(&m_grid);
        indicator->setDefaultSectionSize(rowHeight);
        m_grid.setVerticalHeader(indicator); // the old one goes
        indicator->setSelectionModel(m_grid.selectionModel());
        return *indicator;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != &m_grid || event->type() != QEvent::KeyPress)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Delete || !(key->modifiers() & Qt::ControlModifier))
            return false;
        if (!m_look.browseMode && m_look.hooks.deleteRecord)
            m_look.hooks.deleteRecord();
        return true;
    }

private:
    // A jump through the table repaints the old and new places of the handle only. The view's
    // own connections to its bar go with the bar it replaces; they are made again, once each.
    static void installScrollBar(QTableView& grid)
    {
        auto* bar = new GridScrollBar(Qt::Vertical);
        grid.setVerticalScrollBar(bar);
        const auto link = [&grid, bar](const char* signal, const char* slot) {
            QObject::disconnect(bar, signal, &grid, slot);
            QObject::connect(bar, signal, &grid, slot);
        };
        link(SIGNAL(actionTriggered(int)), SLOT(verticalScrollbarAction(int)));
        link(SIGNAL(valueChanged(int)), SLOT(verticalScrollbarValueChanged(int)));
    }

    QTableView& m_grid;
    GridLook m_look;
};

QPalette titlePalette(QPalette palette, const settings::Settings& settings,
                      const settings::SharedFonts& fonts)
{
    const QColor background = settings::colorFromWindows(settings.gridTitleBackground);
    for (QPalette::ColorRole role : {QPalette::Button, QPalette::Window})
        palette.setColor(role, background);
    palette.setColor(QPalette::ButtonText, fonts.gridTitleColor);
    return palette;
}

// The cells' colours; the selection looks the same when the grid has lost the focus.
QPalette cellPalette(QPalette palette, const settings::Settings& settings, const settings::SharedFonts& fonts)
{
    palette.setColor(QPalette::Base, settings::colorFromWindows(settings.gridCellColor));
    palette.setColor(QPalette::Text, fonts.gridColor);
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    return palette;
}

Qt::Alignment titleAlignment(int setting)
{
    switch (setting) {
    case 1:
        return Qt::AlignLeft | Qt::AlignVCenter;
    case 3:
        return Qt::AlignRight | Qt::AlignVCenter;
    default:
        return Qt::AlignCenter;
    }
}

void setColumnWidths(QTableView& grid, const db::BookGridModel& model, const settings::Settings& settings,
                     const QFont& cellFont)
{
    const int zero = QFontMetrics(cellFont).horizontalAdvance(QLatin1Char('0'));
    const int margins = 2 * (grid.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &grid) + 1) + 1;
    for (int column = 0; column < model.columnCount(); ++column) {
        const int width = usableWidth(settings.fields[std::size_t(model.fieldAt(column))].width);
        grid.setColumnWidth(column, width * zero + margins);
    }
}

// After the columns were reset the grid has no current cell: back to the same row and field.
void keepCurrent(QTableView& grid, const db::BookGridModel& model, int row, int field, bool wholeRows)
{
    if (grid.currentIndex().isValid() || row < 0 || row >= model.rowCount() || model.columnCount() == 0)
        return;
    const int column = std::max(0, model.columnOf(field));
    QItemSelectionModel::SelectionFlags flags = QItemSelectionModel::ClearAndSelect;
    if (wholeRows)
        flags |= QItemSelectionModel::Rows;
    grid.selectionModel()->setCurrentIndex(model.index(row, column), flags);
}

} // namespace

void applyViewerOptions(QTableView& grid, db::BookGridModel& model, const settings::Settings& settings,
                        const settings::SharedFonts& fonts, bool browseMode, const ViewerHooks& hooks)
{
    GridControl& control = GridControl::on(grid, model);
    GridLook& look = control.look();
    const bool editing = settings.fieldEditing && !browseMode;
    const QColor cellColour = settings::colorFromWindows(settings.gridCellColor);
    look = {settings.rowLines, settings.columnLines, lineColourFor(cellColour), browseMode, hooks};

    const QModelIndex before = grid.currentIndex();
    const int currentField = model.fieldAt(before.column());
    model.setColumns(viewerColumns(settings));
    model.setEditable(editing);
    model.setCellWriter(gridCellWriter(model.dates(), hooks.readMoney));

    grid.setTabKeyNavigation(true);
    grid.setShowGrid(false); // the delegate draws row and column lines each on their own
    grid.setSelectionMode(QAbstractItemView::SingleSelection);
    grid.setSelectionBehavior(editing ? QAbstractItemView::SelectItems : QAbstractItemView::SelectRows);
    // A double click opens the edit window, so it never starts an edit in the cell.
    grid.setEditTriggers(editing ? QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed |
                                       QAbstractItemView::SelectedClicked
                                 : QAbstractItemView::NoEditTriggers);
    // Shaping every cell's text is most of a screenful's paint time; catalogue text needs no
    // ligatures or kerning, so the grid skips it.
    QFont cells = fonts.grid;
    cells.setStyleStrategy(QFont::PreferNoShaping);
    grid.setFont(cells);
    grid.setPalette(cellPalette(grid.palette(), settings, fonts));

    QHeaderView* titles = grid.horizontalHeader();
    titles->setSectionResizeMode(QHeaderView::Fixed);
    titles->setSectionsMovable(false);
    titles->setStretchLastSection(false);
    titles->setHighlightSections(false);
    titles->setFont(fonts.gridTitle);
    titles->setPalette(titlePalette(titles->palette(), settings, fonts));
    titles->setDefaultAlignment(titleAlignment(settings.gridTitleAlignment));
    titles->setVisible(settings.showGridTitles);

    RowIndicator& indicator = control.indicator(QFontMetrics(fonts.grid).height() + 6);
    indicator.setVisible(settings.rowIndicator);

    setColumnWidths(grid, model, settings, fonts.grid);
    keepCurrent(grid, model, before.row(), currentField, !editing);
    grid.viewport()->update();
}

std::array<int, db::kBookFieldCount> normalisedPositions(const settings::Settings& settings)
{
    std::array<int, db::kBookFieldCount> positions{};
    std::array<bool, db::kBookFieldCount + 1> taken{};
    for (int field = 0; field < db::kBookFieldCount; ++field) {
        const int order = settings.fields[std::size_t(field)].order;
        if (order >= 1 && order <= db::kBookFieldCount && !taken[std::size_t(order)]) {
            taken[std::size_t(order)] = true;
            positions[std::size_t(field)] = order;
        }
    }
    int free = 1;
    for (int& position : positions) {
        if (position != 0)
            continue;
        while (taken[std::size_t(free)])
            ++free;
        position = free;
        taken[std::size_t(free)] = true;
    }
    return positions;
}

std::array<int, db::kBookFieldCount> fieldsByPosition(const settings::Settings& settings)
{
    const std::array<int, db::kBookFieldCount> positions = normalisedPositions(settings);
    std::array<int, db::kBookFieldCount> fields{};
    for (int field = 0; field < db::kBookFieldCount; ++field)
        fields[std::size_t(positions[std::size_t(field)] - 1)] = field;
    return fields;
}

std::vector<db::GridColumn> viewerColumns(const settings::Settings& settings)
{
    std::vector<db::GridColumn> columns;
    for (int field : fieldsByPosition(settings)) {
        const settings::FieldSettings& shown = settings.fields[std::size_t(field)];
        if (shown.display)
            columns.push_back({field, shown.title});
    }
    return columns;
}

int usableWidth(int width)
{
    return width >= kMinWidth && width <= kMaxWidth ? width : kFallbackWidth;
}

std::optional<int> readWidth(const QString& text)
{
    const QString trimmed = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < trimmed.size() && (trimmed[i] == u'-' || trimmed[i] == u'+'))
        negative = trimmed[i++] == u'-';
    std::int64_t value = 0;
    for (; i < trimmed.size() && trimmed[i] >= u'0' && trimmed[i] <= u'9'; ++i)
        value = std::min<std::int64_t>(value * 10 + (trimmed[i].unicode() - u'0'), INT_MAX);
    if (negative)
        value = -value;
    if (value < kMinWidth || value > kMaxWidth)
        return std::nullopt;
    return int(value);
}

QString storedTitle(const QString& title)
{
    return title.left(kTitleLength);
}

std::optional<SharedTitle> findSharedTitle(const QStringList& titles)
{
    for (int i = 0; i < titles.size(); ++i)
        for (int j = i + 1; j < titles.size(); ++j)
            if (storedTitle(titles[i]) == storedTitle(titles[j]))
                return SharedTitle{i, j, storedTitle(titles[i])};
    return std::nullopt;
}

db::BookGridModel::CellWriter gridCellWriter(const db::DateText& dates, MoneyReader readMoney)
{
    return [&dates, readMoney = std::move(readMoney)](db::BookTable& table, int field, const QString& text) {
        if (db::isDateField(field))
            writeDate(table, field, text, dates);
        else if (db::isMoneyField(field))
            writeMoney(table, field, text, readMoney);
        else if (field == db::fields::CheckOut)
            table.setText(field, text == u"Yes" ? "Yes" : "No");
        else if (db::isUserField(field))
            table.setFieldText(field, text.trimmed(), dates);
        else
            table.setFieldText(field, text, dates);
    };
}

} // namespace edit
