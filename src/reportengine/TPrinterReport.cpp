#include "reportengine/TPrinterReport.h"
#include "reportengine/CachedMeasurer.h"
#include "reportengine/PageMeasure.h"

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
    if (!info.isNull()) {
        printer->setPrinterName(info.printerName());
    } else {
        // The reference sheet, so that layout matches a run that only previews.
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setPageSize(QPageSize(QPageSize::Letter));
    }
    return printer;
}

} // namespace

TPrinterReport::TPrinterReport() : m_ownPrinter(defaultPrinter()), m_printer(*m_ownPrinter)
{
    DeviceSettingsChanged();
}

TPrinterReport::TPrinterReport(QPrinter& printer) : m_printer(printer)
{
    DeviceSettingsChanged();
}

TPrinterReport::~TPrinterReport()
{
    if (m_painter.isActive())
        m_painter.end();
}

bool TPrinterReport::printsToPdf() const
{
    return m_printer.outputFormat() == QPrinter::PdfFormat || !m_printer.isValid() ||
           m_printer.printerName().isEmpty();
}

// A PDF page has no unprintable borders.
void TPrinterReport::DeviceSettingsChanged()
{
    if (printsToPdf()) {
        m_printer.setOutputFormat(QPrinter::PdfFormat);
        m_printer.setFullPage(true);
        m_printer.setPageMargins(QMarginsF(0, 0, 0, 0));
    }
    if (Orientation() != poDefault)
        m_printer.setPageOrientation(Orientation() == poLandScape ? QPageLayout::Landscape
                                                                  : QPageLayout::Portrait);
    m_printer.setCopyCount(std::max(1, Copies()));
    readGeometry();
}

void TPrinterReport::readGeometry()
{
    const PageDevice device = printerPageDevice(m_printer, m_printer.fullPage());
    SetDevice(device);
    // Made again whenever the printer's settings change, so the resolution it keeps is the printer's.
    SetMeasurer(std::make_shared<CachedMeasurer>(m_printer));
}

bool TPrinterReport::CanRun()
{
    if (!namePdfTarget(m_printer, printsToPdf(), choosePdfFile, showMessage))
        return false;
    DeviceSettingsChanged();
    m_printer.setDocName(Title());
    return true;
}

void TPrinterReport::StartPageOutput(int)
{
    if (m_painter.isActive()) {
        m_printer.newPage();
    } else if (!m_painter.begin(&m_printer)) {
        const QString where = printsToPdf() ? m_printer.outputFileName() : m_printer.printerName();
        throw ReportError(QStringLiteral("Cannot start the print job on \"%1\".").arg(where).toStdString());
    }
    AttachPainter(&m_painter);
    ApplyState();
}

// A PDF file of an aborted job is removed: the job did not print.
void TPrinterReport::CloseOutput(bool aborted)
{
    AttachPainter(nullptr);
    if (!m_painter.isActive())
        return;
    if (aborted && !printsToPdf())
        m_printer.abort();
    m_painter.end();
    if (aborted && printsToPdf())
        QFile::remove(m_printer.outputFileName());
}

QPainter& TPrinterReport::Canvas()
{
    if (!m_painter.isActive())
        throw ReportError(kCanvasNotActive);
    return m_painter;
}

QString TPrinterReport::DeviceName() const
{
    return printsToPdf() ? QStringLiteral("PDF") : m_printer.printerName();
}

QString TPrinterReport::DriverName() const
{
    return printsToPdf() ? QStringLiteral("PDF") : QStringLiteral("CUPS");
}

QString TPrinterReport::PortName() const
{
    if (printsToPdf())
        return m_printer.outputFileName();
    return QPrinterInfo::printerInfo(m_printer.printerName()).location();
}

bool namePdfTarget(QPrinter& printer, bool writesPdf, const std::function<QString()>& choose,
                   const std::function<void(const QString&)>& show)
{
    if (!writesPdf || !printer.outputFileName().isEmpty())
        return true;
    if (!choose) {
        if (!show)
            throw ReportError(kNoPrinters);
        show(QString::fromLatin1(kNoPrinters));
        return false;
    }
    const QString file = choose();
    if (file.isEmpty())
        return false;
    printer.setOutputFileName(file);
    return true;
}

PageDevice printerPageDevice(const QPrinter& printer, bool wholePage)
{
    const QPageLayout layout = printer.pageLayout();
    const QRectF full = layout.fullRectPoints();
    const QRectF paint = wholePage ? full : layout.paintRectPoints();
    PageDevice device;
    device.dpiX = device.dpiY = printer.resolution();
    device.paperWidth = full.width() / 72.0;
    device.paperHeight = full.height() / 72.0;
    device.borderLeft = paint.left() / 72.0;
    device.borderTop = paint.top() / 72.0;
    device.borderRight = (full.right() - paint.right()) / 72.0;
    device.borderBottom = (full.bottom() - paint.bottom()) / 72.0;
    return device;
}

} // namespace reportengine
