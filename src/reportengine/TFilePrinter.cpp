#include "reportengine/TFilePrinter.h"

#include "reportengine/TPrinterReport.h"

#include <QCoreApplication>
#include <QFile>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>

namespace reportengine {

namespace {

std::unique_ptr<QPrinter> defaultPrinter()
{
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (!info.isNull())
        printer->setPrinterName(info.printerName());
    else
        printer->setOutputFormat(QPrinter::PdfFormat);
    return printer;
}

} // namespace

TFilePrinter::TFilePrinter() : m_ownPrinter(defaultPrinter()), m_printer(*m_ownPrinter) {}

TFilePrinter::TFilePrinter(QPrinter& printer) : m_printer(printer) {}

TFilePrinter::~TFilePrinter()
{
    if (m_painter.isActive())
        m_painter.end();
}

void TFilePrinter::Run()
{
    print(0, 0, std::nullopt);
}

void TFilePrinter::Print(int first, int last, int copies)
{
    print(first, last, copies);
}

// copies: nothing for the stream's own, a number > 0 for that many, else the printer's.
void TFilePrinter::print(int first, int last, std::optional<int> copies)
{
    if (m_running)
        throw ReportError(kAlreadyPrinting);
    WaitCursor busy;
    openStream();
    m_running = true;
    m_aborted = false;
    bool askedForFile = false;
    try {
        const stream::ReportHeader& head = header();
        // The printer chosen in printer setup wins over the one the report was laid out for.
        const QString recorded = fromStreamText(head.deviceName);
        if (!m_printerChosen && !recorded.isEmpty() && !QPrinterInfo::printerInfo(recorded).isNull()) {
            m_printer.setOutputFormat(QPrinter::NativeFormat);
            m_printer.setPrinterName(recorded);
        }
        if (head.orientation != stream::Orientation::Default)
            m_printer.setPageOrientation(head.orientation == stream::Orientation::Landscape
                                             ? QPageLayout::Landscape
                                             : QPageLayout::Portrait);
        if (!printerWritesPdf(m_printer)) {
            // The paper the report was laid out for, or its footer falls off a shorter sheet.
            const double width = PaperWidth();
            const double height = PaperHeight();
            const QPageSize paper(QSizeF(std::min(width, height), std::max(width, height)), QPageSize::Inch,
                                  QString(), QPageSize::FuzzyMatch);
            if (!m_printer.setPageSize(paper) && showMessage)
                showMessage(QStringLiteral("The printer \"%1\" does not take paper of %2 x %3 inches; the "
                                           "pages may be cut.")
                                .arg(m_printer.printerName())
                                .arg(std::min(width, height))
                                .arg(std::max(width, height)));
        }
        if (printerWritesPdf(m_printer)) {
            preparePdf();
            askedForFile = m_printer.outputFileName().isEmpty();
        }
        if (prepareOutput()) {
            const int wanted = !copies       ? std::max(1, head.copies)
                               : *copies > 0 ? *copies
                                             : std::max(1, m_printer.copyCount());
            // A printer that cannot make copies itself gets the pages that many times.
            int repeat = 1;
            if (m_printer.supportsMultipleCopies())
                m_printer.setCopyCount(wanted);
            else
                repeat = wanted;
            printPages(reader().printRange(std::max(first, 1), last), repeat);
            endJob(m_aborted);
        }
    } catch (...) {
        endJob(true);
        if (askedForFile)
            m_printer.setOutputFileName(QString());
        m_running = false;
        closeStream();
        throw;
    }
    // A file the user named is for this job only: the next one asks again.
    if (askedForFile)
        m_printer.setOutputFileName(QString());
    m_running = false;
    closeStream();
}

// A PDF page is the recorded paper, whole, with no unprintable borders.
void TFilePrinter::preparePdf()
{
    const double width = PaperWidth();
    const double height = PaperHeight();
    m_printer.setOutputFormat(QPrinter::PdfFormat);
    m_printer.setFullPage(true);
    m_printer.setPageSize(QPageSize(QSizeF(std::min(width, height), std::max(width, height)), QPageSize::Inch,
                                    QString(), QPageSize::FuzzyMatch));
    m_printer.setPageOrientation(width > height ? QPageLayout::Landscape : QPageLayout::Portrait);
    m_printer.setPageMargins(QMarginsF(0, 0, 0, 0));
}

bool TFilePrinter::prepareOutput()
{
    if (!namePdfTarget(m_printer, printerWritesPdf(m_printer), choosePdfFile, showMessage))
        return false;
    m_printer.setDocName(m_title);
    return true;
}

void TFilePrinter::printPages(const stream::PageRange& range, int repeat)
{
    const PageDevice device = printerPageDevice(m_printer);
    canvas().keepGoing = [this] { return keepGoing(); };
    for (int copy = 0; copy < repeat && !m_aborted; ++copy) {
        for (std::int64_t number = range.first; number <= range.last && !m_aborted; ++number) {
            const std::optional<stream::PageInfo> page = reader().page(std::int32_t(number));
            if (m_painter.isActive()) {
                m_printer.newPage();
            } else if (!m_painter.begin(&m_printer)) {
                const QString where =
                    printerWritesPdf(m_printer) ? m_printer.outputFileName() : m_printer.printerName();
                throw ReportError(
                    QStringLiteral("Cannot start the print job on \"%1\".").arg(where).toStdString());
            }
            canvas().replay(reader().records(*page), &m_painter, device, 100);
            keepGoing();
        }
    }
}

// Lets the window handle its events (a Cancel button) at most every ~50 ms.
bool TFilePrinter::keepGoing()
{
    if (QCoreApplication::instance() && (!m_sinceEvents.isValid() || m_sinceEvents.elapsed() >= 50)) {
        QCoreApplication::processEvents();
        m_sinceEvents.start();
    }
    return !m_aborted;
}

// An aborted job prints nothing: a printer job is cancelled, a PDF file removed.
void TFilePrinter::endJob(bool aborted)
{
    if (!m_painter.isActive())
        return;
    const bool pdf = printerWritesPdf(m_printer);
    if (aborted && !pdf)
        m_printer.abort();
    m_painter.end();
    if (aborted && pdf)
        QFile::remove(m_printer.outputFileName());
}

} // namespace reportengine
