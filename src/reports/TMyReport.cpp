#include "TMyReport.h"

#include "TMyPreview.h"
#include "TReportForm.h"
#include "db/BookCursor.h"
#include "db/DurableFile.h"
#include "platform/Dialogs.h"
#include "reportengine/ReportStreamIO.h"
#include "reportengine/TPrinterReport.h"
#include "reportengine/TReportFiler.h"
#include "reports/BookReportSource.h"
#include "reports/ReportFile.h"
#include "reports/design/TUserReport.h"
#include "settings/Settings.h"

#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QVBoxLayout>

using namespace reports;

namespace {

const QString kNoSelection = QStringLiteral("No Report has been selected.  Please choose one.");

// Where a text report's engine records its pages: nowhere. Only the page
// breaks matter, so the bytes are counted and dropped.
class DiscardDevice : public QIODevice {
public:
    DiscardDevice() { open(QIODevice::ReadWrite | QIODevice::Unbuffered); }
    qint64 size() const override { return m_size; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 length) override
    {
        m_size = std::max(m_size, pos() + length);
        return length;
    }

private:
    qint64 m_size = 0;
};

// The directory for recorded reports: a cache on disk, not /tmp, which may be memory.
QString streamDirectory()
{
    const QString dir =
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/shelvano");
    QDir().mkpath(dir);
    return dir;
}

} // namespace

TMyReport::TMyReport(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TMyReport"));
    setWindowTitle(QStringLiteral("Reports"));
    setModal(true);
    const auto button = [this](QPushButton*& member, const char* name, const QString& text) {
        member = new QPushButton(text, this);
        member->setObjectName(QString::fromLatin1(name));
    };
    auto* sortBox = new QGroupBox(QStringLiteral("Current Sort Order"), this);
    SortOrderLabel = new QLabel(sortBox);
    SortOrderLabel->setObjectName(QStringLiteral("SortOrderLabel"));
    SortOrderLabel->setWordWrap(true);
    (new QVBoxLayout(sortBox))->addWidget(SortOrderLabel);
    ExportEntire = new QRadioButton(QStringLiteral("Print &Entire Database"), this);
    ExportEntire->setObjectName(QStringLiteral("ExportEntire"));
    ExportSearch = new QRadioButton(QStringLiteral("Print &Search Criteria"), this);
    ExportSearch->setObjectName(QStringLiteral("ExportSearch"));
    ReportBox = new QListWidget(this);
    ReportBox->setObjectName(QStringLiteral("ReportBox"));
    button(ModifyButton, "ModifyButton", QStringLiteral("&Modify Report"));
    button(NewButton, "NewButton", QStringLiteral("&New Report"));
    button(ViewButton, "ViewButton", QStringLiteral("&View"));
    button(PrintButton, "PrintButton", QStringLiteral("&Print"));
    button(FileButton, "FileButton", QStringLiteral("Print To &File"));
    button(HelpButton, "HelpButton", QStringLiteral("&Help"));
    button(ExitButton, "ExitButton", QStringLiteral("E&xit"));
    ViewButton->setDefault(true);

    auto* left = new QVBoxLayout;
    left->addWidget(sortBox);
    left->addWidget(ExportEntire);
    left->addWidget(ExportSearch);
    left->addWidget(ReportBox, 1);
    auto* right = new QVBoxLayout;
    for (QPushButton* b :
         {ViewButton, PrintButton, FileButton, ModifyButton, NewButton, HelpButton, ExitButton})
        right->addWidget(b);
    right->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right);
    resize(520, 380);

    connect(ViewButton, &QPushButton::clicked, this, [this] { DoIt(OutputMode::Preview); });
    connect(PrintButton, &QPushButton::clicked, this, [this] { DoIt(OutputMode::Printer); });
    connect(FileButton, &QPushButton::clicked, this, &TMyReport::FileButtonClick);
    connect(NewButton, &QPushButton::clicked, this, &TMyReport::NewButtonClick);
    connect(ModifyButton, &QPushButton::clicked, this, &TMyReport::ModifyButtonClick);
    connect(ReportBox, &QListWidget::itemDoubleClicked, this, [this] { DoIt(OutputMode::Preview); });
    connect(HelpButton, &QPushButton::clicked, this, [this] {
        if (m_services && m_services->showHelp)
            m_services->showHelp(QStringLiteral("Report Window"));
    });
    connect(ExitButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TMyReport::setServices(ReportServices& services)
{
    m_services = &services;
    LoadReportBox();
}

void TMyReport::LoadReportBox()
{
    ReportBox->clear();
    if (!m_services)
        return;
    for (const std::string& name : ReportFile(m_services->reportFile).list())
        ReportBox->addItem(QString::fromStdString(name));
}

void TMyReport::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_services)
        return;
    const bool searchOn = m_services->searchOn && m_services->searchOn();
    ExportSearch->setEnabled(searchOn);
    (searchOn ? ExportSearch : ExportEntire)->setChecked(true);
    ReportBox->setFocus();
    const int last = m_services->settings.lastReport;
    ReportBox->setCurrentRow(last >= 0 && last < ReportBox->count() ? last : -1);
    if (ReportBox->currentRow() < 0)
        ReportBox->clearSelection();
    QStringList levels;
    const std::array<int, 4> fields =
        m_services->sortFields ? m_services->sortFields() : std::array<int, 4>{};
    const QStringList titles = m_services->fieldTitles ? m_services->fieldTitles() : QStringList();
    for (const int field : fields)
        if (field >= 1 && field <= titles.size())
            levels << titles[field - 1];
    SortOrderLabel->setText(levels.isEmpty() ? QStringLiteral("No Sort Order Selected")
                                             : levels.join(QStringLiteral(", ")));
}

void TMyReport::done(int result)
{
    if (!m_services)
        return QDialog::done(result);
    const QList<QListWidgetItem*> selected = ReportBox->selectedItems();
    m_services->settings.lastReport = selected.isEmpty() ? -1 : ReportBox->row(selected.front());
    QDialog::done(result);
}

QString TMyReport::choosePdfFile()
{
    platform::FileDialogOptions options;
    options.title = QStringLiteral("Print to a PDF File");
    options.filters = {QStringLiteral("PDF Files (*.PDF *.pdf)")};
    options.defaultSuffix = QStringLiteral("PDF");
    options.promptOverwrite = true;
    return m_services->dialogs.saveFile(options);
}

void TMyReport::error(const QString& text)
{
    m_services->dialogs.message(QStringLiteral("Error"), text, platform::Button::Ok, platform::Button::Ok,
                                platform::Icon::Error);
}

bool TMyReport::selectedReport()
{
    if (!m_services)
        return false;
    if (!ReportBox->selectedItems().isEmpty())
        return true;
    m_services->dialogs.beep();
    m_services->dialogs.message(QStringLiteral("Error"), kNoSelection, platform::Button::Ok,
                                platform::Button::Ok, platform::Icon::Warning);
    ReportBox->setFocus();
    return false;
}

// A text report never replaces a file of the program's own.
QString TMyReport::refusedTarget(const QString& path) const
{
    QStringList own = m_services->programFiles ? m_services->programFiles() : QStringList();
    own << QString::fromStdString(m_services->reportFile);
    for (const QString& file : own)
        if (!file.isEmpty() && db::sameFile(path.toStdString(), file.toStdString()))
            return QStringLiteral(
                       "The report cannot be written to %1: the program keeps its own data in that "
                       "file.")
                .arg(path);
    return QString();
}

void TMyReport::FileButtonClick()
{
    if (!selectedReport())
        return;
    platform::FileDialogOptions options;
    options.title = QStringLiteral("Save Report As a Text File");
    options.filters = {QStringLiteral("Text Files (*.TXT *.txt)")};
    options.defaultSuffix = QStringLiteral("TXT");
    options.promptOverwrite = true;
    const QString path = m_services->dialogs.saveFile(options);
    if (path.isEmpty())
        return;
    if (const QString refused = refusedTarget(path); !refused.isEmpty()) {
        error(refused);
        return;
    }
    DoIt(OutputMode::TextFile, path);
}

void TMyReport::NewButtonClick()
{
    if (!m_services)
        return;
    m_services->current = newDefinition();
    design(true, -1);
}

void TMyReport::ModifyButtonClick()
{
    if (std::optional<int> index = readSelected()) {
        design(false, *index);
    }
}

void TMyReport::design(bool isNew, int index)
{
    TUserReport window(*m_services, isNew, index, this);
    window.exec();
    if (!window.fileChanged())
        return;
    LoadReportBox();
    ReportBox->setCurrentRow(window.position());
    if (window.position() < 0)
        ReportBox->clearSelection();
}

// Reads the selected report into the current definition; its list position, or nothing after a message.
std::optional<int> TMyReport::readSelected()
{
    if (!selectedReport())
        return std::nullopt;
    const int index = ReportBox->row(ReportBox->selectedItems().front());
    std::optional<ReportDefinition> definition;
    try {
        definition = ReportFile(m_services->reportFile).read(index);
    } catch (const dbase::DatabaseError&) {
    }
    if (!definition) {
        m_services->dialogs.beep();
        error(QString::fromLatin1(kReportNotFound));
        ReportBox->setFocus();
        LoadReportBox();
        return std::nullopt;
    }
    m_services->current = *definition;
    return index;
}

void TMyReport::DoIt(OutputMode mode, const QString& textFile)
{
    if (readSelected())
        run(mode, textFile);
}

void TMyReport::run(OutputMode mode, const QString& textFile)
{
    const ReportDefinition& definition = m_services->current;
    db::BookCursor cursor(m_services->table, !ExportEntire->isChecked());
    BookReportSource source(cursor, m_services->numbers, m_services->dates,
                            m_services->fieldTitles ? m_services->fieldTitles() : QStringList());
    const Grouping grouping =
        groupingFor(definition, m_services->sortFields ? m_services->sortFields() : std::array<int, 4>{});

    QTemporaryFile stream(streamDirectory() + QStringLiteral("/reportXXXXXX.rpt"));
    DiscardDevice discard;
    QSaveFile text(textFile);
    std::unique_ptr<reportengine::TBaseReport> engine;
    // With no printer, the PDF file is named before anything runs: cancelling means no run and no message.
    QString pdf;
    if (mode == OutputMode::Printer && reportengine::printerWritesPdf(m_services->printer) &&
        m_services->printer.outputFileName().isEmpty()) {
        pdf = choosePdfFile();
        if (pdf.isEmpty())
            return;
        m_services->printer.setOutputFormat(QPrinter::PdfFormat);
        m_services->printer.setOutputFileName(pdf);
    }
    // The file named is for this run only: the next one asks again.
    const auto forgetPdf = qScopeGuard([&] {
        if (!pdf.isEmpty())
            m_services->printer.setOutputFileName(QString());
    });
    if (mode == OutputMode::Printer) {
        auto printer = std::make_unique<reportengine::TPrinterReport>(m_services->printer);
        printer->choosePdfFile = [this] { return choosePdfFile(); };
        printer->showMessage = [this](const QString& message) { error(message); };
        engine = std::move(printer);
    } else {
        // Laid out on the printer the report would print on, or on the reference device.
        QPrinter* measuring =
            reportengine::printerWritesPdf(m_services->printer) ? nullptr : &m_services->printer;
        auto filer = std::make_unique<reportengine::TReportFiler>(measuring);
        filer->SetStreamMode(reportengine::smUser);
        if (mode == OutputMode::Preview) {
            if (!stream.open()) {
                error(QStringLiteral("The report cannot be recorded in %1: %2.")
                          .arg(streamDirectory(), stream.errorString()));
                return;
            }
            filer->SetStream(&stream);
        } else {
            filer->SetStream(&discard);
        }
        engine = std::move(filer);
    }
    ReportGenerator generator(definition, source, mode, grouping,
                              mode == OutputMode::TextFile ? &text : nullptr);
    generator.bind(*engine);
    if (const std::optional<QString> refusal = generator.refusal(*engine)) {
        error(*refusal);
        return;
    }
    if (mode == OutputMode::TextFile && !text.open(QIODevice::WriteOnly)) {
        error(QStringLiteral("The report cannot be written to %1: %2.").arg(textFile, text.errorString()));
        return;
    }

    TReportForm status(*engine, this);
    status.exec();
    if (!status.Failure().isEmpty())
        error(status.Failure());
    else if (!generator.failure().isEmpty())
        error(generator.failure());
    if (status.WasAborted())
        return; // an unfinished text file never replaces the old one
    if (mode == OutputMode::TextFile && !text.commit()) {
        error(QStringLiteral("The report could not be written to %1: %2.").arg(textFile, text.errorString()));
        return;
    }
    if (mode == OutputMode::Preview) {
        stream.flush();
        TMyPreview preview(m_services->dialogs, m_services->printer, stream,
                           QString::fromStdString(definition.name), m_services->settings.reportWindow, this);
        preview.choosePdfFile = [this] { return choosePdfFile(); };
        preview.printRangeColors = &m_services->settings.scheme(settings::WindowGroup::Report);
        preview.exec();
    }
}
