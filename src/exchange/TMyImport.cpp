#include "TMyImport.h"

#include "DelimitedImportSource.h"
#include "Importer.h"
#include "db/BookSchema.h"
#include "dbase/DatabaseError.h"
#include "settings/Scaling.h"
#include "settings/WindowLook.h"

#include <QApplication>
#include <QCheckBox>
#include <QDate>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

using platform::Button;

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

} // namespace

QLabel* TMyImport::title(const QString& text)
{
    auto* label = new QLabel(text, this);
    m_titles.push_back(label);
    return label;
}

TMyImport::TMyImport(exchange::ExchangeServices& services, Kind kind, const QString& path,
                     const QStringList& names, QWidget* parent)
    : QDialog(parent), m_services(services), m_kind(kind), m_path(path), m_names(names), m_map(names)
{
    setObjectName(QStringLiteral("TMyImport"));
    setWindowTitle(kind == Delimited ? QStringLiteral("Ascii Delimited Text Import")
                                     : QStringLiteral("DBase File Import"));
    m_grid = named(new QTableWidget(m_map.rowCount(), 3, this), "ImportGrid");
    m_grid->setHorizontalHeaderLabels({"SHELVANO FIELDS", "IMPORT FIELDS", "USE"});
    m_grid->verticalHeader()->hide();
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setTabKeyNavigation(true);
    m_upButton = named(new QPushButton(QStringLiteral("&Up"), this), "UpButton");
    m_downButton = named(new QPushButton(QStringLiteral("&Down"), this), "DownButton");
    m_skipFirst = named(new QCheckBox(QStringLiteral("Skip First Record"), this), "SkipFirst");
    m_startButton = named(new QPushButton(QStringLiteral("&Start Import"), this), "StartButton");
    m_exitButton = named(new QPushButton(QStringLiteral("E&xit"), this), "ExitButton");
    m_helpButton = named(new QPushButton(QStringLiteral("&Help"), this), "HelpButton");
    m_count = named(new QLabel(QStringLiteral("0"), this), "CountLabel");
    m_count->setAlignment(Qt::AlignCenter);
    auto* instructions = new QLabel(
        QStringLiteral(
            "Match the Shelvano fields with the import fields by moving the import fields with the Up "
            "and Down buttons. Choose Yes to include a field: double-click the USE column to switch "
            "between Yes and No."),
        this);
    instructions->setWordWrap(true);
    m_skipFirst->setChecked(m_services.settings.importSkipFirst);

    auto* side = new QVBoxLayout;
    side->addWidget(title(QStringLiteral("Field")), 0, Qt::AlignHCenter);
    side->addWidget(title(QStringLiteral("Alignment")), 0, Qt::AlignHCenter);
    side->addWidget(m_upButton);
    side->addWidget(m_downButton);
    side->addSpacing(12);
    side->addWidget(instructions);
    side->addStretch();
    side->addWidget(title(QStringLiteral("Import")), 0, Qt::AlignHCenter);
    side->addWidget(title(QStringLiteral("Count")), 0, Qt::AlignHCenter);
    side->addWidget(m_count);
    side->addStretch();
    side->addWidget(m_skipFirst);
    side->addWidget(m_startButton);
    side->addWidget(m_exitButton);
    side->addWidget(m_helpButton);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_grid, 1);
    layout->addLayout(side);
    resize(640, 440); // the design size that scaling starts from

    connect(m_upButton, &QPushButton::clicked, this, &TMyImport::UpButtonClick);
    connect(m_downButton, &QPushButton::clicked, this, &TMyImport::DownButtonClick);
    connect(m_grid, &QTableWidget::cellDoubleClicked, this, &TMyImport::ImportGridDblClick);
    connect(m_skipFirst, &QCheckBox::clicked, this, &TMyImport::SkipFirstClick);
    connect(m_startButton, &QPushButton::clicked, this, &TMyImport::StartButtonClick);
    connect(m_exitButton, &QPushButton::clicked, this, &TMyImport::ExitButtonClick);
    connect(m_helpButton, &QPushButton::clicked, this, &TMyImport::HelpButtonClick);
    fillGrid();
}

void TMyImport::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TMyImport::FormShow()
{
    if (m_kind == Dbase) {
        m_skipFirst->hide();
        m_skipFirst->setEnabled(false);
    }
    const auto scaled = [this](int pixels) {
        return static_cast<int>(std::lround(pixels * m_services.scale));
    };
    const int widths[] = {179, 179, 38};
    for (int column = 0; column < 3; ++column)
        m_grid->setColumnWidth(column, scaled(widths[column]));
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->verticalHeader()->setDefaultSectionSize(std::max(scaled(20), m_grid->fontMetrics().height() + 4));
    m_grid->setMinimumWidth(scaled(400 + 20));
    settings::applyColorScheme(
        this, m_services.settings.scheme(settings::WindowGroup::Configure),
        {.minorTitles = {m_titles.begin(), m_titles.end()}, .lists = {m_grid}, .checks = {m_skipFirst}});
    settings::scaleAndCentre(this, m_services.scale, m_services.screen, true);
}

void TMyImport::fillGrid()
{
    for (int row = 0; row < m_map.rowCount(); ++row) {
        m_grid->setItem(row, 0,
                        cell(row < exchange::ImportFieldMap::kBookRows
                                 ? exchange::fieldTitle(m_services.settings, row)
                                 : QString()));
        m_grid->setItem(row, 1, cell(m_map.nameAt(row)));
        m_grid->setItem(row, 2, cell(m_map.useAt(row)));
    }
}

void TMyImport::moveRow(int from, int to)
{
    for (int row : {from, to}) {
        m_grid->item(row, 1)->setText(m_map.nameAt(row));
        m_grid->item(row, 2)->setText(m_map.useAt(row));
    }
    m_grid->setCurrentCell(to, std::max(m_grid->currentColumn(), 1));
}

void TMyImport::UpButtonClick()
{
    const int row = m_grid->currentRow();
    if (m_map.moveUp(row))
        moveRow(row, row - 1);
}

void TMyImport::DownButtonClick()
{
    const int row = m_grid->currentRow();
    if (m_map.moveDown(row))
        moveRow(row, row + 1);
}

void TMyImport::ImportGridDblClick(int row, int column)
{
    if (column != 2 || row < 0 || row >= m_map.rowCount())
        return;
    m_map.toggleUse(row);
    m_grid->item(row, 2)->setText(m_map.useAt(row));
}

void TMyImport::SkipFirstClick()
{
    m_services.settings.importSkipFirst = m_skipFirst->isChecked();
}

void TMyImport::showCount(long long count)
{
    m_count->setText(QLocale::system().toString(count));
}

void TMyImport::StartButtonClick()
{
    const int year = m_services.currentYear > 0 ? m_services.currentYear : QDate::currentDate().year();
    exchange::Importer importer(
        {m_services.books, m_services.dialogs, m_services.dates, m_services.dates.separator(), year}, m_names,
        m_kind == Delimited ? QStringLiteral("line") : QStringLiteral("record"));
    // The count repaints at most ten times a second; nothing but painting is handled meanwhile.
    QElapsedTimer shown;
    shown.start();
    auto progress = [&](long long count) {
        if (shown.elapsed() < 100)
            return;
        shown.restart();
        showCount(count);
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        if (m_kind == Delimited) {
            exchange::FileByteSource bytes(m_path.toStdString());
            exchange::DelimitedImportSource source(bytes, static_cast<int>(m_names.size()),
                                                   m_skipFirst->isChecked());
            m_imported = importer.run(source, m_map.map(), progress);
        } else {
            db::DbfImportSource source(m_path.toStdString());
            m_imported = importer.run(source, m_map.map(), progress);
        }
    } catch (const std::runtime_error& failure) {
        QApplication::restoreOverrideCursor();
        m_services.dialogs.message(QStringLiteral("Error"), QString::fromStdString(failure.what()),
                                   Button::Ok, Button::None, platform::Icon::Error);
        return;
    }
    QApplication::restoreOverrideCursor();
    if (m_imported >= 0) {
        showCount(m_imported);
        accept();
    }
}

void TMyImport::ExitButtonClick()
{
    reject();
}

void TMyImport::HelpButtonClick()
{
    if (m_services.help)
        m_services.help(QStringLiteral("Import Window"));
}
