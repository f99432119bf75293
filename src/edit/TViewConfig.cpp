#include "TViewConfig.h"

#include "edit/ViewerOptions.h"
#include "platform/Dialogs.h"
#include "settings/Scaling.h"
#include "settings/WindowLook.h"

#include <QCheckBox>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

using platform::Button;

constexpr int kFields = db::kBookFieldCount;
constexpr QSize kDesignSize(632, 426);

const char* const kHelpKeywords[] = {"Viewer Configuration Title", "Viewer Configuration Look",
                                     "Viewer Configuration Show",  "Viewer Configuration Widths",
                                     "Viewer Configuration Order", "Viewer Configuration Names"};

QString keyForm(int field)
{
    std::string_view key = db::bookFields()[std::size_t(field)].key;
    return QString::fromUtf8(key.data(), qsizetype(key.size()));
}

// The name a grid font is described by: the settings' name while the font stands in for it.
QString describedName(const QString& settingsName, const QFont& font)
{
    return settings::qtFamily(settingsName).compare(font.family(), Qt::CaseInsensitive) == 0 ? settingsName
                                                                                             : font.family();
}

QString describeFont(const QFont& font, const QString& name)
{
    const int points = font.pointSize() > 0 ? font.pointSize() : QFontInfo(font).pointSize();
    return QStringLiteral("%1pt %2").arg(points).arg(name);
}

template <class W> W* named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QPushButton* button(const QString& text, const char* name, QWidget* parent)
{
    return named(new QPushButton(text, parent), name);
}

// A colour sample: the colour (the palette's Window) inside a black and a white ring, so
// that it shows against any window, also when it is the window's own colour (the default
// cell colour is the dialog's grey).
class ColourSwatch : public QFrame {
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::black);
        painter.fillRect(rect().adjusted(1, 1, -1, -1), Qt::white);
        painter.fillRect(rect().adjusted(2, 2, -2, -2), palette().color(QPalette::Window));
    }
};

QFrame* colourSample(const char* name, QWidget* parent)
{
    return named(new ColourSwatch(parent), name);
}

QLineEdit* fontDescription(const char* name, QWidget* parent)
{
    auto* edit = named(new QLineEdit(parent), name);
    edit->setReadOnly(true);
    return edit;
}

void colour(QWidget* widget, QPalette::ColorRole backRole, const QColor& back, QPalette::ColorRole textRole,
            const QColor& text)
{
    QPalette palette = widget->palette();
    palette.setColor(backRole, back);
    palette.setColor(textRole, text);
    widget->setPalette(palette);
}

// A fixed cell of a field grid: shown like a heading, never selected or edited.
QTableWidgetItem* fixedItem(const QString& text, const QPalette& palette)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled);
    item->setBackground(palette.button());
    item->setForeground(palette.buttonText());
    return item;
}

QTableWidgetItem* valueItem(const QString& text, bool editable)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable |
                   (editable ? Qt::ItemIsEditable : Qt::NoItemFlags));
    return item;
}

// Ends an edit still open in `grid`, keeping what was typed, as a string grid holds it.
void commitOpenEdit(QTableWidget* grid)
{
    if (QWidget* editor = grid->indexWidget(grid->currentIndex())) {
        QMetaObject::invokeMethod(grid, "commitData", Q_ARG(QWidget*, editor));
        QMetaObject::invokeMethod(grid, "closeEditor", Q_ARG(QWidget*, editor),
                                  Q_ARG(QAbstractItemDelegate::EndEditHint, QAbstractItemDelegate::NoHint));
    }
}

// A grid in the middle of its page, as wide as its columns.
QLayout* centred(QWidget* grid)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(grid);
    row->addStretch();
    return row;
}

} // namespace

TViewConfig::TViewConfig(settings::Settings& settings, settings::SharedFonts& fonts,
                         platform::Dialogs& dialogs, double scale, QSize screen, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_fonts(fonts), m_dialogs(dialogs), m_scale(scale),
      m_screen(screen), m_edit(settings), m_gridFonts(fonts),
      m_titleFontName(describedName(settings.gridTitleFont.name, fonts.gridTitle)),
      m_cellFontName(describedName(settings.gridFont.name, fonts.grid))
{
    setObjectName(QStringLiteral("TViewConfig"));
    setWindowTitle(QStringLiteral("Viewer Configuration"));
    setModal(true);
    setFont(QFont(settings::qtFamily(QStringLiteral("MS Sans Serif")), settings::kNewFontPointSize));

    m_notebook = named(new QTabWidget(this), "TabbedNotebook");
    m_notebook->tabBar()->setFont(settings::fontFromWindowsHeight(QStringLiteral("MS Sans Serif"), -13));
    m_notebook->setUsesScrollButtons(false); // six tabs in one row
    createTitlePage();
    createLookPage();
    createShowPage();
    createWidthsPage();
    createOrderPage();
    createNamesPage();

    m_exitButton = button(QStringLiteral("E&xit"), "ExitButton", this);
    m_helpButton = button(QStringLiteral("&Help"), "HelpButton", this);
    m_exitButton->setDefault(true);
    connect(m_exitButton, &QPushButton::clicked, this, &TViewConfig::ExitButtonClick);
    connect(m_helpButton, &QPushButton::clicked, this, &TViewConfig::HelpButtonClick);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_exitButton);
    buttons->addWidget(m_helpButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_notebook);
    layout->addLayout(buttons);
    resize(kDesignSize);

    m_showGridTitle->setChecked(m_edit.showGridTitles);
    m_rowLines->setChecked(m_edit.rowLines);
    m_columnLines->setChecked(m_edit.columnLines);
    m_rowIndicator->setChecked(m_edit.rowIndicator);
    m_fieldEditing->setChecked(m_edit.fieldEditing);
}

QLabel* TViewConfig::sectionLabel(const QString& text, const QString& name)
{
    auto* label = new QLabel(text);
    label->setObjectName(name);
    label->setAutoFillBackground(true);
    m_sectionLabels << label;
    return label;
}

void TViewConfig::createTitlePage()
{
    auto* page = new QWidget;
    m_showGridTitle = named(new QCheckBox(QStringLiteral("Show Column Titles"), page), "ShowGridTitle");
    m_titleFont = fontDescription("TitleFont", page);
    m_titleFontButton = button(QStringLiteral("New &Font"), "TitleFontButton", page);
    m_titleShape = colourSample("TitleShape", page);
    m_button1 = button(QStringLiteral("New &Color"), "Button1", page);
    m_titleLeft = named(new QRadioButton(QStringLiteral("Left Justify"), page), "TitleLeft");
    m_titleCenter = named(new QRadioButton(QStringLiteral("Center"), page), "TitleCenter");
    m_titleRight = named(new QRadioButton(QStringLiteral("Right Justify"), page), "TitleRight");
    connect(m_showGridTitle, &QCheckBox::clicked, this, &TViewConfig::ShowGridTitleClick);
    connect(m_titleFontButton, &QPushButton::clicked, this, &TViewConfig::TitleFontButtonClick);
    connect(m_button1, &QPushButton::clicked, this, &TViewConfig::Button1Click);
    connect(m_titleLeft, &QRadioButton::clicked, this, &TViewConfig::TitleLeftClick);
    connect(m_titleCenter, &QRadioButton::clicked, this, &TViewConfig::TitleCenterClick);
    connect(m_titleRight, &QRadioButton::clicked, this, &TViewConfig::TitleRightClick);

    auto* font = new QHBoxLayout;
    font->addWidget(m_titleFont, 1);
    font->addWidget(m_titleFontButton);
    auto* background = new QHBoxLayout;
    background->addWidget(m_titleShape);
    background->addWidget(m_button1);
    background->addStretch();
    auto* left = new QVBoxLayout;
    left->addWidget(m_showGridTitle);
    left->addSpacing(16);
    left->addWidget(sectionLabel(QStringLiteral("Title Font"), QStringLiteral("TitleFontLabel")));
    left->addLayout(font);
    left->addSpacing(16);
    left->addWidget(sectionLabel(QStringLiteral("Background"), QStringLiteral("BackgroundLabel")));
    left->addLayout(background);
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addSpacing(m_showGridTitle->sizeHint().height() + 16 + left->spacing());
    right->addWidget(sectionLabel(QStringLiteral("Alignment"), QStringLiteral("AlignmentLabel")));
    right->addWidget(m_titleLeft);
    right->addWidget(m_titleCenter);
    right->addWidget(m_titleRight);
    right->addStretch();
    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(24, 20, 24, 16);
    layout->addLayout(left, 3);
    layout->addSpacing(40);
    layout->addLayout(right, 2);
    m_notebook->addTab(page, QStringLiteral("&Title"));
}

void TViewConfig::createLookPage()
{
    auto* page = new QWidget;
    m_columnLines = named(new QCheckBox(QStringLiteral("Show lines between columns"), page), "ColumnLines");
    m_rowLines = named(new QCheckBox(QStringLiteral("Show lines between rows"), page), "RowLines");
    m_rowIndicator = named(new QCheckBox(QStringLiteral("Show current row indicator"), page), "RowIndicator");
    m_fieldEditing = named(new QCheckBox(QStringLiteral("Allow field editing"), page), "FieldEditing");
    m_cellColorShape = colourSample("CellColorShape", page);
    m_newColorButton = button(QStringLiteral("New &Color"), "NewColorBUtton", page);
    m_gridFont = fontDescription("GridFont", page);
    m_newFontButton = button(QStringLiteral("New &Font"), "NewFontButton", page);
    connect(m_columnLines, &QCheckBox::clicked, this, &TViewConfig::ColumnLinesClick);
    connect(m_rowLines, &QCheckBox::clicked, this, &TViewConfig::RowLinesClick);
    connect(m_rowIndicator, &QCheckBox::clicked, this, &TViewConfig::RowIndicatorClick);
    connect(m_fieldEditing, &QCheckBox::clicked, this, &TViewConfig::FieldEditingClick);
    connect(m_newColorButton, &QPushButton::clicked, this, &TViewConfig::NewColorBUttonClick);
    connect(m_newFontButton, &QPushButton::clicked, this, &TViewConfig::NewFontButtonClick);

    auto* left = new QVBoxLayout;
    left->addWidget(sectionLabel(QStringLiteral("Grid Options"), QStringLiteral("GridOptionsLabel")));
    for (QCheckBox* box : {m_columnLines, m_rowLines, m_rowIndicator, m_fieldEditing})
        left->addWidget(box);
    left->addStretch();
    auto* cellColour = new QHBoxLayout;
    cellColour->addWidget(m_cellColorShape);
    cellColour->addWidget(m_newColorButton);
    cellColour->addStretch();
    auto* cellFont = new QHBoxLayout;
    cellFont->addWidget(m_gridFont, 1);
    cellFont->addWidget(m_newFontButton);
    auto* right = new QVBoxLayout;
    right->addWidget(sectionLabel(QStringLiteral("Cell Color"), QStringLiteral("CellColorLabel")));
    right->addLayout(cellColour);
    right->addSpacing(16);
    right->addWidget(sectionLabel(QStringLiteral("Cell Font"), QStringLiteral("CellFontLabel")));
    right->addLayout(cellFont);
    right->addStretch();
    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(24, 20, 24, 16);
    layout->addLayout(left, 1);
    layout->addSpacing(40);
    layout->addLayout(right, 1);
    m_notebook->addTab(page, QStringLiteral("&Look and Feel"));
}

QTableWidget* TViewConfig::createFieldGrid(const QString& name, const QStringList& headings)
{
    auto* grid = new QTableWidget(kFields, std::max<int>(1, int(headings.size())));
    grid->setObjectName(name);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->horizontalHeader()->setSectionsClickable(false);
    grid->horizontalHeader()->setHighlightSections(false);
    if (headings.isEmpty())
        grid->horizontalHeader()->hide();
    else
        grid->setHorizontalHeaderLabels(headings);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setWordWrap(false);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    return grid;
}

void TViewConfig::createShowPage()
{
    auto* page = new QWidget;
    auto* text = new QLabel(
        QStringLiteral("For each field that you would like displayed in the Viewer, select 'Yes'.  If you do "
                       "not wish a field to appear in the Viewer, then select 'No' for that field.  Double "
                       "Click on the field to change between 'Yes' and 'No'."),
        page);
    text->setObjectName(QStringLiteral("ShowText"));
    text->setWordWrap(true);
    m_fieldsToDisplay = createFieldGrid(QStringLiteral("FieldsToDisplay"),
                                        {QStringLiteral("FIELD"), QStringLiteral("DISPLAY IT")});
    connect(m_fieldsToDisplay, &QTableWidget::cellDoubleClicked, this, &TViewConfig::FieldsToDisplayDblClick);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(24, 12, 24, 12);
    layout->addWidget(text);
    layout->addLayout(centred(m_fieldsToDisplay), 1);
    m_notebook->addTab(page, QStringLiteral("Fields to &Show"));
}

void TViewConfig::createWidthsPage()
{
    auto* page = new QWidget;
    m_fieldWidthGrid =
        createFieldGrid(QStringLiteral("FieldWidthGrid"), {QStringLiteral("FIELD"), QStringLiteral("WIDTH")});
    m_fieldWidthGrid->setEditTriggers(QAbstractItemView::AllEditTriggers);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(24, 12, 24, 12);
    layout->addLayout(centred(m_fieldWidthGrid), 1);
    m_notebook->addTab(page, QStringLiteral("Field &Widths"));
}

void TViewConfig::createOrderPage()
{
    auto* page = new QWidget;
    m_fieldOrderGrid = createFieldGrid(QStringLiteral("FieldOrderGrid"), {});
    m_fieldOrderGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_orderUp = button(QStringLiteral("&Up"), "OrderUp", page);
    m_orderDown = button(QStringLiteral("&Down"), "OrderDown", page);
    m_orderDefaults = button(QStringLiteral("D&efaults"), "OrderDefaults", page);
    connect(m_orderUp, &QPushButton::clicked, this, &TViewConfig::OrderUpClick);
    connect(m_orderDown, &QPushButton::clicked, this, &TViewConfig::OrderDownClick);
    connect(m_orderDefaults, &QPushButton::clicked, this, &TViewConfig::OrderDefaultsClick);

    auto* field = new QLabel(QStringLiteral("Field"));
    field->setObjectName(QStringLiteral("FieldLabel"));
    auto* ordering = new QLabel(QStringLiteral("Ordering"));
    ordering->setObjectName(QStringLiteral("OrderingLabel"));
    m_orderLabels = {field, ordering};
    auto* caption = new QHBoxLayout;
    caption->setSpacing(4);
    caption->addWidget(field);
    caption->addWidget(ordering);
    caption->addStretch();
    auto* column = new QVBoxLayout;
    column->addLayout(caption);
    column->addWidget(m_fieldOrderGrid, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addSpacing(field->sizeHint().height() + column->spacing());
    buttons->addWidget(m_orderUp);
    buttons->addWidget(m_orderDown);
    buttons->addSpacing(16);
    buttons->addWidget(m_orderDefaults);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(24, 12, 24, 12);
    layout->addStretch();
    layout->addLayout(column);
    layout->addSpacing(16);
    layout->addLayout(buttons);
    layout->addStretch();
    m_notebook->addTab(page, QStringLiteral("Field &Order"));
}

void TViewConfig::createNamesPage()
{
    auto* page = new QWidget;
    m_fieldNameGrid = createFieldGrid(QStringLiteral("FieldNameGrid"),
                                      {QStringLiteral("FIELD"), QStringLiteral("NAME TO USE")});
    m_fieldNameGrid->setEditTriggers(QAbstractItemView::AllEditTriggers);
    connect(m_fieldNameGrid, &QTableWidget::cellChanged, this, &TViewConfig::FieldNameGridSetEditText);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(24, 12, 24, 12);
    layout->addLayout(centred(m_fieldNameGrid), 1);
    m_notebook->addTab(page, QStringLiteral("Field &Names"));
}

// ------------------------------------------------------------------ showing

void TViewConfig::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TViewConfig::FormShow()
{
    scaleDesignSizes();
    settings::fitWindow(this, m_fonts, m_scale, m_screen);
    showFonts();
    paintSamples();
    m_titleLeft->setChecked(m_edit.gridTitleAlignment == 1);
    m_titleCenter->setChecked(m_edit.gridTitleAlignment == 2);
    m_titleRight->setChecked(m_edit.gridTitleAlignment == 3);
    fillGrids();
    sizeGrids();
    applyColours();
}

// The style's own sizes do not grow with the fonts: buttons and samples keep their design
// proportions at every factor.
void TViewConfig::scaleDesignSizes()
{
    const auto scaled = [this](int pixels) { return int(std::lround(pixels * m_scale)); };
    for (QPushButton* button : findChildren<QPushButton*>())
        button->setMinimumSize(scaled(75), scaled(25));
    for (QFrame* shape : {m_titleShape, m_cellColorShape})
        shape->setMinimumSize(scaled(64), scaled(24));
    for (QLineEdit* edit : {m_titleFont, m_gridFont})
        edit->setMinimumWidth(scaled(170));
}

QString TViewConfig::fieldTitle(int field) const
{
    return m_edit.fields[std::size_t(field)].title;
}

void TViewConfig::fillGrids()
{
    const QSignalBlocker blockNames(m_fieldNameGrid);
    const QPalette& palette = this->palette();
    for (int field = 0; field < kFields; ++field) {
        const settings::FieldSettings& settings = m_edit.fields[std::size_t(field)];
        m_fieldsToDisplay->setItem(field, 0, fixedItem(settings.title, palette));
        m_fieldsToDisplay->setItem(field, 1, valueItem(settings.display ? "Yes" : "No", false));
        m_fieldWidthGrid->setItem(field, 0, fixedItem(settings.title, palette));
        m_fieldWidthGrid->setItem(field, 1, valueItem(QString::number(settings.width), true));
        m_fieldNameGrid->setItem(field, 0, fixedItem(keyForm(field), palette));
        m_fieldNameGrid->setItem(field, 1, valueItem(settings.title, true));
    }
    const auto order = edit::fieldsByPosition(m_edit);
    for (int row = 0; row < kFields; ++row) {
        // The row knows its field, so renaming a field never moves it.
        auto* item = valueItem(fieldTitle(order[std::size_t(row)]), false);
        item->setData(Qt::UserRole, order[std::size_t(row)]);
        m_fieldOrderGrid->setItem(row, 0, item);
    }
}

// Column widths and row heights follow the scale factor; each grid is as wide as its columns.
void TViewConfig::sizeGrids()
{
    const auto scaled = [this](int pixels) { return int(std::lround(pixels * m_scale)); };
    const struct {
        QTableWidget* grid;
        int first;
        int second;
    } grids[] = {{m_fieldsToDisplay, 200, 100},
                 {m_fieldWidthGrid, 200, 100},
                 {m_fieldNameGrid, 200, 200},
                 {m_fieldOrderGrid, 200, 0}};
    for (const auto& each : grids) {
        QTableWidget* grid = each.grid;
        grid->setColumnWidth(0, scaled(each.first));
        if (each.second > 0)
            grid->setColumnWidth(1, scaled(each.second));
        grid->verticalHeader()->setDefaultSectionSize(std::max(scaled(20), grid->fontMetrics().height() + 4));
        grid->horizontalHeader()->setFixedHeight(
            std::max(scaled(20), grid->horizontalHeader()->sizeHint().height()));
        const int columns = scaled(each.first) + scaled(each.second);
        grid->setFixedWidth(columns + grid->verticalScrollBar()->sizeHint().width() + 2 * grid->frameWidth());
    }
}

void TViewConfig::showFonts()
{
    m_titleFont->setText(describeFont(m_gridFonts.gridTitle, m_titleFontName));
    m_gridFont->setText(describeFont(m_gridFonts.grid, m_cellFontName));
}

void TViewConfig::paintSamples()
{
    colour(m_titleShape, QPalette::Window, settings::colorFromWindows(m_edit.gridTitleBackground),
           QPalette::WindowText, Qt::black);
    colour(m_cellColorShape, QPalette::Window, settings::colorFromWindows(m_edit.gridCellColor),
           QPalette::WindowText, Qt::black);
}

void TViewConfig::applyColours()
{
    settings::SchemedControls controls{
        .majorTitles = {m_sectionLabels.begin(), m_sectionLabels.end()},
        .minorTitles = {m_orderLabels.begin(), m_orderLabels.end()},
        .edits = {m_titleFont, m_gridFont},
        .lists = {m_fieldsToDisplay, m_fieldWidthGrid, m_fieldOrderGrid, m_fieldNameGrid},
        .radios = {m_titleLeft, m_titleCenter, m_titleRight},
        .checks = {m_showGridTitle, m_columnLines, m_rowLines, m_rowIndicator, m_fieldEditing}};
    for (int page = 0; page < m_notebook->count(); ++page)
        controls.pages.push_back(m_notebook->widget(page));
    settings::applyColorScheme(this, m_settings.scheme(settings::WindowGroup::Configure), controls);
}

// ------------------------------------------------------------------ immediate changes

void TViewConfig::ShowGridTitleClick()
{
    m_edit.showGridTitles = m_showGridTitle->isChecked();
}

// A grid font keeps its colour beside it; both change together when the user confirms.
void TViewConfig::chooseGridFont(QFont& font, QColor& color, QString& name)
{
    if (std::optional<platform::FontChoice> chosen = m_dialogs.chooseFontWithColor(font, color)) {
        font = chosen->font;
        color = chosen->color;
        name = chosen->font.family();
        showFonts();
    }
}

void TViewConfig::TitleFontButtonClick()
{
    chooseGridFont(m_gridFonts.gridTitle, m_gridFonts.gridTitleColor, m_titleFontName);
}

void TViewConfig::Button1Click()
{
    if (std::optional<QColor> chosen =
            m_dialogs.chooseColor(settings::colorFromWindows(m_edit.gridTitleBackground))) {
        m_edit.gridTitleBackground = settings::windowsColor(*chosen);
        paintSamples();
    }
}

void TViewConfig::TitleLeftClick()
{
    m_edit.gridTitleAlignment = 1;
}

void TViewConfig::TitleCenterClick()
{
    m_edit.gridTitleAlignment = 2;
}

void TViewConfig::TitleRightClick()
{
    m_edit.gridTitleAlignment = 3;
}

void TViewConfig::ColumnLinesClick()
{
    m_edit.columnLines = m_columnLines->isChecked();
}

void TViewConfig::RowLinesClick()
{
    m_edit.rowLines = m_rowLines->isChecked();
}

void TViewConfig::RowIndicatorClick()
{
    m_edit.rowIndicator = m_rowIndicator->isChecked();
}

void TViewConfig::FieldEditingClick()
{
    m_edit.fieldEditing = m_fieldEditing->isChecked();
}

void TViewConfig::NewColorBUttonClick()
{
    if (std::optional<QColor> chosen =
            m_dialogs.chooseColor(settings::colorFromWindows(m_edit.gridCellColor))) {
        m_edit.gridCellColor = settings::windowsColor(*chosen);
        paintSamples();
    }
}

void TViewConfig::NewFontButtonClick()
{
    chooseGridFont(m_gridFonts.grid, m_gridFonts.gridColor, m_cellFontName);
}

// ------------------------------------------------------------------ the field pages

void TViewConfig::FieldsToDisplayDblClick(int row, int column)
{
    QTableWidgetItem* item = m_fieldsToDisplay->item(row, column);
    if (column != 1 || !item)
        return;
    item->setText(item->text() == u"Yes" ? QStringLiteral("No") : QStringLiteral("Yes"));
}

// The other pages name each field by the title it will have.
void TViewConfig::FieldNameGridSetEditText(int row, int column)
{
    if (column != 1 || row < 0 || row >= kFields)
        return;
    const QString title = edit::storedTitle(m_fieldNameGrid->item(row, 1)->text());
    m_fieldsToDisplay->item(row, 0)->setText(title);
    m_fieldWidthGrid->item(row, 0)->setText(title);
    for (int r = 0; r < kFields; ++r)
        if (QTableWidgetItem* item = m_fieldOrderGrid->item(r, 0); item && item->data(Qt::UserRole) == row)
            item->setText(title);
}

void TViewConfig::moveOrderRow(int from, int to)
{
    if (from < 0 || from >= kFields || to < 0 || to >= kFields)
        return;
    QTableWidgetItem* moving = m_fieldOrderGrid->takeItem(from, 0);
    QTableWidgetItem* other = m_fieldOrderGrid->takeItem(to, 0);
    m_fieldOrderGrid->setItem(to, 0, moving);
    m_fieldOrderGrid->setItem(from, 0, other);
    m_fieldOrderGrid->setCurrentCell(to, 0);
}

void TViewConfig::OrderUpClick()
{
    const int row = m_fieldOrderGrid->currentRow();
    if (row > 0)
        moveOrderRow(row, row - 1);
}

void TViewConfig::OrderDownClick()
{
    const int row = m_fieldOrderGrid->currentRow();
    if (row >= 0)
        moveOrderRow(row, row + 1);
}

void TViewConfig::OrderDefaultsClick()
{
    m_dialogs.beep();
    if (m_dialogs.message(
            QStringLiteral("Re-Order"),
            QStringLiteral("This will set the order of fields to the program defaults.  Continue?"),
            Button::Yes | Button::No, Button::No, platform::Icon::Question) != Button::Yes)
        return;
    for (int row = 0; row < kFields; ++row) {
        QTableWidgetItem* item = m_fieldOrderGrid->item(row, 0);
        item->setText(edit::storedTitle(m_fieldNameGrid->item(row, 1)->text()));
        item->setData(Qt::UserRole, row);
    }
}

// ------------------------------------------------------------------ closing

void TViewConfig::ExitButtonClick()
{
    accept();
}

void TViewConfig::HelpButtonClick()
{
    if (m_help)
        m_help(QString::fromLatin1(kHelpKeywords[std::max(0, m_notebook->currentIndex())]));
}

void TViewConfig::done(int result)
{
    if (!FormCloseQuery())
        return;
    storeSettings();
    QDialog::done(result);
}

// Titles are compared as they will be stored, so two fields never end up with one name.
bool TViewConfig::FormCloseQuery()
{
    for (QTableWidget* grid : {m_fieldWidthGrid, m_fieldNameGrid})
        commitOpenEdit(grid);
    QStringList titles;
    for (int field = 0; field < kFields; ++field)
        titles << m_fieldNameGrid->item(field, 1)->text();
    const std::optional<edit::SharedTitle> shared = edit::findSharedTitle(titles);
    if (!shared)
        return true;
    m_dialogs.message(
        QStringLiteral("Error"),
        QStringLiteral("Two field names have the same name \"%1\".  Please change one.").arg(shared->title),
        Button::Ok, Button::Ok, platform::Icon::Error);
    m_notebook->setCurrentIndex(NamesPage);
    m_fieldNameGrid->setFocus();
    m_fieldNameGrid->setCurrentCell(shared->second, 1);
    return false;
}

void TViewConfig::storeSettings()
{
    for (int field = 0; field < kFields; ++field) {
        settings::FieldSettings& settings = m_edit.fields[std::size_t(field)];
        settings.title = edit::storedTitle(m_fieldNameGrid->item(field, 1)->text());
        QTableWidgetItem* width = m_fieldWidthGrid->item(field, 1);
        std::optional<int> read = edit::readWidth(width->text());
        if (!read) {
            read = edit::kFallbackWidth;
            width->setText(QString::number(*read));
        }
        settings.width = *read;
        settings.display = m_fieldsToDisplay->item(field, 1)->text() == u"Yes";
    }
    for (int row = 0; row < kFields; ++row)
        m_edit.fields[std::size_t(m_fieldOrderGrid->item(row, 0)->data(Qt::UserRole).toInt())].order =
            row + 1;

    for (int field = 0; field < kFields; ++field) {
        const settings::FieldSettings& edited = m_edit.fields[std::size_t(field)];
        settings::FieldSettings& kept = m_settings.fields[std::size_t(field)];
        kept.title = edited.title;
        kept.display = edited.display;
        kept.width = edited.width;
        kept.order = edited.order;
    }
    m_settings.showGridTitles = m_edit.showGridTitles;
    m_settings.gridTitleBackground = m_edit.gridTitleBackground;
    m_settings.gridTitleAlignment = m_edit.gridTitleAlignment;
    m_settings.gridCellColor = m_edit.gridCellColor;
    m_settings.columnLines = m_edit.columnLines;
    m_settings.rowLines = m_edit.rowLines;
    m_settings.rowIndicator = m_edit.rowIndicator;
    m_settings.fieldEditing = m_edit.fieldEditing;
    m_fonts.gridTitle = m_gridFonts.gridTitle;
    m_fonts.gridTitleColor = m_gridFonts.gridTitleColor;
    m_fonts.grid = m_gridFonts.grid;
    m_fonts.gridColor = m_gridFonts.gridColor;
}
