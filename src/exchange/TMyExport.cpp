#include "TMyExport.h"

#include "ExportDates.h"
#include "SameFile.h"
#include "db/BookExport.h"
#include "db/BookSchema.h"
#include "dbase/DatabaseError.h"
#include "settings/Scaling.h"
#include "settings/WindowLook.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

using platform::Button;
constexpr int kFields = db::kBookFieldCount;

template <class W> W* named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QTableWidgetItem* cell(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

// The fields in the order the settings give, made a permutation: a hand-edited
// file with two fields in one place or gaps loses none of them.
std::vector<int> savedOrder(const settings::Settings& settings)
{
    std::vector<int> fields(kFields);
    std::iota(fields.begin(), fields.end(), 0);
    std::stable_sort(fields.begin(), fields.end(), [&](int a, int b) {
        return settings.fields[std::size_t(a)].exportOrder < settings.fields[std::size_t(b)].exportOrder;
    });
    return fields;
}

} // namespace

QLabel* TMyExport::title(const QString& text)
{
    auto* label = new QLabel(text, this);
    m_titles.push_back(label);
    return label;
}

TMyExport::TMyExport(exchange::ExchangeServices& services, QWidget* parent)
    : QDialog(parent), m_services(services)
{
    setObjectName(QStringLiteral("TMyExport"));
    setWindowTitle(QStringLiteral("Export"));
    m_grid = named(new QTableWidget(kFields, 2, this), "ExportGrid");
    m_grid->setHorizontalHeaderLabels({"FIELD", "EXPORT IT"});
    m_grid->verticalHeader()->hide();
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_upButton = named(new QPushButton(QStringLiteral("&Up"), this), "UpButton");
    m_downButton = named(new QPushButton(QStringLiteral("&Down"), this), "DownButton");
    m_defaultsButton = named(new QPushButton(QStringLiteral("D&efaults"), this), "DefaultsButton");
    m_startExportButton = named(new QPushButton(QStringLiteral("&Start Export"), this), "StartExportButton");
    m_exitButton = named(new QPushButton(QStringLiteral("E&xit"), this), "ExitButton");
    m_helpButton = named(new QPushButton(QStringLiteral("&Help"), this), "HelpButton");
    m_firstRow = named(new QCheckBox(QStringLiteral("&First Record Contains Field Names"), this), "FirstRow");
    m_windows1252 =
        named(new QCheckBox(QStringLiteral("&Windows-1252 text, for programs that do not read UTF-8"), this),
              "Windows1252");
    auto* what = named(new QGroupBox(QStringLiteral("What to Export"), this), "WhatPanel");
    m_exportEntire = named(new QRadioButton(QStringLiteral("Export Entire Database"), what), "ExportEntire");
    m_exportSearch = named(new QRadioButton(QStringLiteral("Export Search Criteria"), what), "ExportSearch");
    auto* whatLayout = new QVBoxLayout(what);
    whatLayout->addWidget(m_exportEntire);
    whatLayout->addWidget(m_exportSearch);
    auto* how = named(new QGroupBox(QStringLiteral("How To Export"), this), "HowPanel");
    m_asciiFile = named(new QRadioButton(QStringLiteral("Ascii Delimited Text File"), how), "AsciiFile");
    m_dbaseFile = named(new QRadioButton(QStringLiteral("DBase File (DBF)"), how), "DBaseFile");
    auto* howLayout = new QVBoxLayout(how);
    howLayout->addWidget(m_asciiFile);
    howLayout->addWidget(m_dbaseFile);
    m_gauge = named(new QProgressBar(this), "MyGauge");
    m_gauge->setRange(0, 1);
    m_gauge->setValue(0);
    m_gauge->setTextVisible(false);
    QPalette red = m_gauge->palette();
    red.setColor(QPalette::Highlight, Qt::red);
    m_gauge->setPalette(red);
    m_notes = new QLabel(QStringLiteral("Choose Yes to include a field and No to leave it out: double-click "
                                        "a field to switch between them."),
                         this);
    m_notes->setWordWrap(true);

    auto* order = new QVBoxLayout;
    order->addWidget(title(QStringLiteral("Field")), 0, Qt::AlignHCenter);
    order->addWidget(title(QStringLiteral("Ordering")), 0, Qt::AlignHCenter);
    order->addWidget(m_upButton);
    order->addWidget(m_downButton);
    order->addWidget(m_defaultsButton);
    order->addSpacing(12);
    order->addWidget(title(QStringLiteral("NOTES")), 0, Qt::AlignHCenter);
    order->addWidget(m_notes);
    order->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(what);
    right->addWidget(how);
    right->addWidget(m_firstRow);
    right->addWidget(m_windows1252);
    right->addStretch();
    right->addWidget(title(QStringLiteral("Export Progress")));
    right->addWidget(m_gauge);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_startExportButton);
    buttons->addWidget(m_exitButton);
    buttons->addWidget(m_helpButton);
    right->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_grid);
    layout->addLayout(order);
    layout->addLayout(right, 1);
    resize(760, 440); // the design size that scaling starts from

    m_firstRow->setChecked(m_services.settings.exportFirstRow);
    m_windows1252->setChecked(m_services.settings.exportEncoding == 2);
    connect(m_grid, &QTableWidget::cellDoubleClicked, this, &TMyExport::ExportGridDblClick);
    connect(m_upButton, &QPushButton::clicked, this, &TMyExport::UpButtonClick);
    connect(m_downButton, &QPushButton::clicked, this, &TMyExport::DownButtonClick);
    connect(m_defaultsButton, &QPushButton::clicked, this, &TMyExport::DefaultsButtonClick);
    connect(m_asciiFile, &QRadioButton::clicked, this, &TMyExport::AsciiFileClick);
    connect(m_dbaseFile, &QRadioButton::clicked, this, &TMyExport::DBaseFileClick);
    connect(m_firstRow, &QCheckBox::clicked, this, &TMyExport::FirstRowClick);
    connect(m_windows1252, &QCheckBox::clicked, this,
            [this](bool on) { m_services.settings.exportEncoding = on ? 2 : 1; });
    connect(m_startExportButton, &QPushButton::clicked, this, &TMyExport::StartExportButtonClick);
    connect(m_exitButton, &QPushButton::clicked, this, &TMyExport::ExitButtonClick);
    connect(m_helpButton, &QPushButton::clicked, this, &TMyExport::HelpButtonClick);
    fillGrid(savedOrder(m_services.settings));
    for (int row = 0; row < kFields; ++row)
        m_grid->item(row, 1)->setText(
            m_services.settings.fields[std::size_t(rowFields()[std::size_t(row)])].exported
                ? QStringLiteral("Yes")
                : QStringLiteral("No"));
}

void TMyExport::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TMyExport::FormShow()
{
    const auto scaled = [this](int pixels) {
        return static_cast<int>(std::lround(pixels * m_services.scale));
    };
    m_grid->setColumnWidth(0, scaled(200));
    m_grid->setColumnWidth(1, scaled(100));
    m_grid->verticalHeader()->setDefaultSectionSize(std::max(scaled(20), m_grid->fontMetrics().height() + 4));
    m_grid->setFixedWidth(scaled(300 + 20) + 2 * m_grid->frameWidth());
    m_notes->setFixedWidth(scaled(150));
    const bool searchOn = m_services.searchOn && m_services.searchOn();
    m_exportSearch->setEnabled(searchOn);
    (searchOn ? m_exportSearch : m_exportEntire)->setChecked(true);
    if (m_services.settings.exportFileType == 2) {
        m_dbaseFile->setChecked(true);
        DBaseFileClick();
    } else {
        m_asciiFile->setChecked(true);
        AsciiFileClick();
    }
    settings::applyColorScheme(this, m_services.settings.scheme(settings::WindowGroup::Configure),
                               {.minorTitles = {m_titles.begin(), m_titles.end()},
                                .lists = {m_grid},
                                .radios = {m_exportEntire, m_exportSearch, m_asciiFile, m_dbaseFile},
                                .checks = {m_firstRow, m_windows1252}});
    settings::scaleAndCentre(this, m_services.scale, m_services.screen, true);
}

std::vector<int> TMyExport::rowFields() const
{
    std::vector<int> fields;
    for (int row = 0; row < kFields; ++row)
        fields.push_back(m_grid->item(row, 0)->data(Qt::UserRole).toInt());
    return fields;
}

bool TMyExport::exported(int row) const
{
    return m_grid->item(row, 1)->text() == QLatin1String("Yes");
}

void TMyExport::fillGrid(const std::vector<int>& fields)
{
    for (int row = 0; row < kFields; ++row) {
        auto* name = cell(exchange::fieldTitle(m_services.settings, fields[std::size_t(row)]));
        name->setData(Qt::UserRole, fields[std::size_t(row)]);
        m_grid->setItem(row, 0, name);
        m_grid->setItem(row, 1, cell(QStringLiteral("Yes")));
    }
}

void TMyExport::ExportGridDblClick(int row, int column)
{
    if (column != 1 || row < 0 || row >= kFields)
        return;
    m_grid->item(row, 1)->setText(exported(row) ? QStringLiteral("No") : QStringLiteral("Yes"));
}

void TMyExport::moveRow(int from, int to)
{
    for (int column = 0; column < 2; ++column) {
        QTableWidgetItem* a = m_grid->takeItem(from, column);
        QTableWidgetItem* b = m_grid->takeItem(to, column);
        m_grid->setItem(from, column, b);
        m_grid->setItem(to, column, a);
    }
    m_grid->setCurrentCell(to, m_grid->currentColumn() < 0 ? 0 : m_grid->currentColumn());
}

void TMyExport::UpButtonClick()
{
    const int row = m_grid->currentRow();
    if (row > 0)
        moveRow(row, row - 1);
}

void TMyExport::DownButtonClick()
{
    const int row = m_grid->currentRow();
    if (row >= 0 && row < kFields - 1)
        moveRow(row, row + 1);
}

void TMyExport::DefaultsButtonClick()
{
    if (m_services.dialogs.message(
            QStringLiteral("Re-Order"),
            QStringLiteral("This will set the order of fields to the program defaults.  "
                           "Continue?"),
            Button::Yes | Button::No, Button::None, platform::Icon::Question) != Button::Yes)
        return;
    std::vector<int> fields(kFields);
    std::iota(fields.begin(), fields.end(), 0);
    fillGrid(fields);
}

void TMyExport::AsciiFileClick()
{
    m_firstRow->show();
    m_firstRow->setEnabled(true);
    m_windows1252->show();
    m_windows1252->setEnabled(true);
}

void TMyExport::DBaseFileClick()
{
    m_firstRow->hide();
    m_firstRow->setEnabled(false);
    m_windows1252->hide();
    m_windows1252->setEnabled(false);
}

void TMyExport::FirstRowClick()
{
    m_services.settings.exportFirstRow = m_firstRow->isChecked();
}

void TMyExport::UpdateConfigs()
{
    const std::vector<int> fields = rowFields();
    for (int row = 0; row < kFields; ++row) {
        settings::FieldSettings& field = m_services.settings.fields[std::size_t(fields[std::size_t(row)])];
        field.exportOrder = row + 1;
        field.exported = exported(row);
    }
}

std::vector<int> TMyExport::CalcIndexOrder()
{
    UpdateConfigs();
    std::vector<int> list;
    const std::vector<int> fields = rowFields();
    for (int row = 0; row < kFields; ++row)
        if (exported(row))
            list.push_back(fields[std::size_t(row)]);
    return list;
}

void TMyExport::error(const QString& text)
{
    m_services.dialogs.message(QStringLiteral("Error"), text, Button::Ok, Button::None,
                               platform::Icon::Error);
}

void TMyExport::StartExportButtonClick()
{
    const std::vector<int> fields = CalcIndexOrder();
    if (fields.empty()) {
        error(QStringLiteral("No fields selected for export."));
        return;
    }
    if (m_asciiFile->isChecked())
        DoAscii(fields);
    else
        DoDBase(fields);
}

// Writing over the open database, its index or a file the program keeps would destroy it.
bool TMyExport::refusedTarget(const QString& path)
{
    const QStringList owned = m_services.ownedFiles ? m_services.ownedFiles() : QStringList();
    if (exchange::ownedFileReached(path, owned).isEmpty())
        return false;
    error(QStringLiteral("The file chosen is the open database or a file that Shelvano keeps, and cannot be "
                         "written over by an export."));
    return true;
}

void TMyExport::DoAscii(const std::vector<int>& fields)
{
    platform::FileDialogOptions options;
    options.title = QStringLiteral("Export Data");
    options.filters = {QStringLiteral("Ascii Delimited Text (*.TXT *.txt *.CSV *.csv)")};
    options.defaultSuffix = QStringLiteral("TXT");
    options.fileName = m_services.settings.lastExportFile;
    options.promptOverwrite = true;
    const QString path = m_services.dialogs.saveFile(options);
    if (path.isEmpty() || refusedTarget(path))
        return;
    m_services.settings.lastExportFile = path;
    runExport(fields, path, false);
}

void TMyExport::DoDBase(const std::vector<int>& fields)
{
    platform::FileDialogOptions options;
    options.title = QStringLiteral("Export Data");
    options.filters = {QStringLiteral("DBase (*.DBF *.dbf)")};
    options.defaultSuffix = QStringLiteral("DBF");
    options.promptOverwrite = true;
    const QString path = m_services.dialogs.saveFile(options);
    if (path.isEmpty())
        return;
    if (!path.right(4).toUpper().endsWith(QLatin1String(".DBF"))) {
        error(QStringLiteral("Invalid file type selected."));
        return;
    }
    if (!refusedTarget(path))
        runExport(fields, path, true);
}

void TMyExport::runExport(const std::vector<int>& fields, const QString& path, bool dbase)
{
    db::ExportOptions options;
    options.fields = fields;
    if (!dbase && m_firstRow->isChecked())
        for (int field : fields)
            options.labels.push_back(exchange::exportLabel(m_services.settings, field));
    options.windows1252 = !dbase && m_windows1252->isChecked();
    const bool searchOnly = m_exportSearch->isChecked() && m_exportSearch->isEnabled();
    // A gauge whose range is empty turns into a busy indicator.
    const bool searchOn = m_services.searchOn && m_services.searchOn();
    const int count = searchOnly || !searchOn ? m_services.books.rowCount()
                                              : static_cast<int>(m_services.books.physicalCount());
    m_gauge->setRange(0, std::max(count, 1));
    m_gauge->setValue(0);
    QElapsedTimer shown;
    shown.start();
    auto progress = [&](std::size_t written) {
        if (shown.elapsed() < 50)
            return;
        shown.restart();
        m_gauge->setMaximum(std::max<int>(m_gauge->maximum(), static_cast<int>(written)));
        m_gauge->setValue(static_cast<int>(written));
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    const exchange::ExportDates dates(m_services.dates.pattern(), m_services.dates);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        db::exportBooks(m_services.books, searchOnly, dbase ? db::ExportKind::Dbase : db::ExportKind::Text,
                        options, dates, path.toStdString(),
                        m_services.fs ? *m_services.fs : dbase::defaultFileSystem(), progress);
    } catch (const dbase::DatabaseError& failure) {
        QApplication::restoreOverrideCursor();
        m_gauge->setValue(0);
        error(QString::fromStdString(failure.what()));
        return;
    }
    QApplication::restoreOverrideCursor();
    m_gauge->setValue(m_gauge->maximum());
    m_services.dialogs.message(QStringLiteral("Ok"), QStringLiteral("Export Complete."), Button::Ok,
                               Button::None, platform::Icon::Information);
    m_gauge->setValue(0);
    accept();
}

void TMyExport::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TMyExport::FormClose()
{
    m_services.settings.exportFileType = m_asciiFile->isChecked() ? 1 : 2;
    UpdateConfigs();
}

void TMyExport::ExitButtonClick()
{
    reject();
}

void TMyExport::HelpButtonClick()
{
    if (m_services.help)
        m_services.help(QStringLiteral("Export Window"));
}
