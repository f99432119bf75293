#pragma once

// Prints pages of a recorded report stream on a printer: the one chosen in
// printer setup, else the system's default printer, else a PDF file whose
// name choosePdfFile supplies.

#include "reportengine/StreamPlayer.h"

#include <QPainter>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QPrinter;

namespace reportengine {

class TFilePrinter : public StreamPlayer {
public:
    // Uses the system's default printer (or a PDF file when there is none).
    TFilePrinter();
    // Uses printer, which must outlive the player. A printer already set to
    // PDF output with a file name writes that file without asking.
    explicit TFilePrinter(QPrinter& printer);
    ~TFilePrinter() override;

    QString Title() const { return m_title; } // the print job's name
    void SetTitle(const QString& title) { m_title = title; }
    // Set once the owner's printer setup has chosen the printer: the device
    // name recorded in the stream then no longer selects one.
    bool PrinterChosen() const { return m_printerChosen; }
    void SetPrinterChosen(bool chosen) { m_printerChosen = chosen; }

    // Asked for the PDF file when no system printer exists; an empty answer
    // cancels quietly (no job, no message).
    std::function<QString()> choosePdfFile;
    // Shows kNoPrinters; unassigned, it is thrown as ReportError.
    std::function<void(const QString&)> showMessage;

    QPrinter& Printer() { return m_printer; }

    // Every page, with the copies recorded in the stream.
    void Run();
    // Pages first..last by their recorded numbers: first 0 is the first page,
    // last < 1 the last; both are kept to the pages recorded. Copies > 0
    // replace the printer's; 0 keeps them. The job begins with the first page printed, so
    // an empty range prints nothing. A damaged stream aborts the job and
    // raises StreamError.
    void Print(int first, int last, int copies);

    // From the application's Cancel: the job is aborted after the current page.
    void AbortReport() { m_aborted = true; }
    bool IsRunning() const { return m_running; }
    bool WasAborted() const { return m_aborted; }

private:
    void print(int first, int last, std::optional<int> copies);
    bool prepareOutput();
    void preparePdf();
    void printPages(const stream::PageRange& range, int copies);
    bool keepGoing();
    void endJob(bool aborted);

    std::unique_ptr<QPrinter> m_ownPrinter;
    QPrinter& m_printer;
    QPainter m_painter;
    QString m_title = QStringLiteral("Report");
    bool m_printerChosen = false;
    bool m_running = false;
    bool m_aborted = false;
    QElapsedTimer m_sinceEvents;
};

} // namespace reportengine
