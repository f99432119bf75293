// Developer tool, not run by CI: records the demonstration report into a
// stream, prints the stream to a PDF file and saves the preview at 50 %,
// 100 % and page width, with a screenshot of the preview's scroll area.
//
//   shelvano_report_demo OUTPUT_DIR [PAGES] [--mono]

#include "DemoReport.h"

#include "reportengine/TFilePreview.h"
#include "reportengine/TFilePrinter.h"
#include "reportengine/TReportFiler.h"

#include <QApplication>
#include <QDir>
#include <QPrinter>
#include <QScrollArea>
#include <cstdio>

using namespace reportengine;

namespace {

bool save(const QImage& image, const QString& path)
{
    if (!image.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: shelvano_report_demo OUTPUT_DIR [PAGES] [--mono]\n");
        return 2;
    }
    const QDir out(args[1]);
    if (!out.mkpath(".")) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(args[1]));
        return 1;
    }
    const int pages = args.size() > 2 && !args[2].startsWith("--") ? args[2].toInt() : 3;
    const bool mono = args.contains("--mono");
    const QString streamFile = out.filePath("demo.rpt");
    try {
        TReportFiler filer;
        filer.SetStreamMode(smFile);
        filer.SetFileName(streamFile);
        demo::setUpDemoReport(filer, pages);
        filer.Run();
        std::printf("%s\n", qPrintable(streamFile));

        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(out.filePath("demo.pdf"));
        TFilePrinter player(printer);
        player.SetStreamMode(smFile);
        player.SetFileName(streamFile);
        player.SetPrinterChosen(true);
        player.Run();
        std::printf("%s\n", qPrintable(printer.outputFileName()));

        QScrollArea box;
        box.resize(900, 700);
        box.show();
        TFilePreview preview;
        preview.SetScrollBox(&box);
        preview.SetStreamMode(smFile);
        preview.SetFileName(streamFile);
        preview.SetMarginPercent(2.5);
        preview.SetMonochrome(mono);
        preview.Start();
        const QString suffix = mono ? "_mono" : "";
        preview.SetZoomFactor(50);
        save(preview.PageImage(), out.filePath("preview_50" + suffix + ".png"));
        preview.SetZoomFactor(100);
        save(preview.PageImage(), out.filePath("preview_100" + suffix + ".png"));
        preview.ZoomPageWidth();
        save(preview.PageImage(), out.filePath("preview_width" + suffix + ".png"));
        QApplication::processEvents();
        save(box.grab().toImage(), out.filePath("preview_screen" + suffix + ".png"));
        preview.ZoomPage();
        preview.NextPage();
        QApplication::processEvents();
        save(box.grab().toImage(), out.filePath("preview_screen_page2" + suffix + ".png"));
        preview.Stop();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
