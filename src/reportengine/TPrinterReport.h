#pragma once

#include "reportengine/TCanvasReport.h"

#include <QPainter>
#include <QString>
#include <functional>
#include <memory>

class QPrinter;

namespace reportengine {

// A page engine printing straight to a printer: the one chosen in printer
// setup, else the system's default printer. With no system printer it writes
// a PDF file whose name choosePdfFile supplies. Text is measured on the
// printer itself. The print job begins with the first page actually output,
// so a run that outputs no page prints nothing.
class TPrinterReport : public TCanvasReport {
public:
    // Uses the system's default printer (or a PDF file when there is none).
    TPrinterReport();
    // Uses printer, which must outlive the engine. A printer already set to
    // PDF output with a file name writes that file without asking.
    explicit TPrinterReport(QPrinter& printer);
    ~TPrinterReport() override;

    // Asked, before the run, for the PDF file when no system printer exists;
    // an empty answer cancels the run quietly (no job, no message).
    std::function<QString()> choosePdfFile;
    // Shows the engine's messages (kNoPrinters); unassigned, they are thrown as ReportError.
    std::function<void(const QString&)> showMessage;

    QPrinter& Printer() { return m_printer; }
    // The canvas of the running job; raises kCanvasNotActive before the job has begun.
    QPainter& Canvas();

protected:
    bool CanRun() override;
    void StartPageOutput(int pageNumber) override;
    void EndPageOutput() override {}
    void CloseOutput(bool aborted) override;
    QString DeviceName() const override;
    QString DriverName() const override;
    QString PortName() const override;
    void DeviceSettingsChanged() override;

private:
    bool printsToPdf() const;
    void readGeometry();

    std::unique_ptr<QPrinter> m_ownPrinter;
    QPrinter& m_printer;
    QPainter m_painter;
};

// Names the PDF file a job on a printer that writes PDF goes to, when none is named yet:
// asks `choose` (an empty answer: no job, no message). Without `choose` there is no
// printer to print on: `show` gets the message, or ReportError is thrown when there is
// no `show` either. False when the job must not start.
bool namePdfTarget(QPrinter& printer, bool writesPdf, const std::function<QString()>& choose,
                   const std::function<void(const QString&)>& show);

// The paper of `printer` in inches, its unprintable borders (none for `wholePage`) and
// its resolution, as the page engine places output on it.
PageDevice printerPageDevice(const QPrinter& printer, bool wholePage);

} // namespace reportengine
