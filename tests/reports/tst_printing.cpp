// A report printed through the print service to a real printer: CUPS's virtual
// PDF printer, which scripts/test sets up on a scheduler of its own and names
// in SHELVANO_TEST_PRINTER, with the directory its PDF files go to in
// SHELVANO_TEST_PRINTER_OUTPUT. Without them the test skips.

#include "ReportFixture.h"
#include "TestRegistry.h"
#include "reportengine/TFilePrinter.h"
#include "reportengine/TPrinterReport.h"
#include "reportengine/TReportFiler.h"
#include "reports/ReportGenerator.h"
#include "reports/definition/BuiltInReports.h"

#include <QBuffer>
#include <QDir>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

using namespace reports;

namespace {

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

int pdfPages(const QString& file)
{
    for (const QString& line : run("pdfinfo", {file}).split('\n'))
        if (line.startsWith("Pages:"))
            return line.mid(6).trimmed().toInt();
    return -1;
}

// The first PDF file in `output` not in `before` that pdfinfo reads, once the
// scheduler has converted the job and cups-pdf has written it in its own time.
QString awaitPdf(const QDir& output, const QStringList& before)
{
    for (int i = 0; i < 900; ++i) {
        for (const QString& file : output.entryList({"*.pdf"}, QDir::Files))
            if (!before.contains(file) && pdfPages(output.filePath(file)) > 0)
                return output.filePath(file);
        QTest::qWait(100);
    }
    return QString();
}

// Width and height in points of the first page.
QSizeF pageSize(const QString& pdf)
{
    const QRegularExpressionMatch size =
        QRegularExpression(R"(Page size:\s+([\d.]+) x ([\d.]+))").match(run("pdfinfo", {pdf}));
    return QSizeF(size.captured(1).toDouble(), size.captured(2).toDouble());
}

} // namespace

class TestPrinting : public QObject {
    Q_OBJECT

private slots:
    void printsOnTheSystemPrinter()
    {
        const QString name = qEnvironmentVariable("SHELVANO_TEST_PRINTER");
        const QDir output(qEnvironmentVariable("SHELVANO_TEST_PRINTER_OUTPUT"));
        if (name.isEmpty())
            QSKIP("no test printer: scripts/test sets one up");
        QVERIFY2(QPrinterInfo::availablePrinterNames().contains(name), qPrintable(name));
        const QStringList before = output.entryList({"*.pdf"}, QDir::Files);

        QPrinter printer(QPrinter::HighResolution);
        printer.setPrinterName(name);
        QVERIFY(printer.isValid());
        QCOMPARE(printer.outputFormat(), QPrinter::NativeFormat);
        ReportDefinition definition = builtInReports()[0]; // Short Narrow, grouped by author
        definition.titles[0] = "Printed Through The Print Service";
        BookSource source(fortyBooks());
        reportengine::TPrinterReport engine(printer);
        bool askedForFile = false;
        engine.choosePdfFile = [&] {
            askedForFile = true;
            return QString();
        };
        ReportGenerator generator(definition, source, OutputMode::Printer,
                                  groupingFor(definition, {2, 0, 0, 0}));
        generator.bind(engine);
        QVERIFY(!generator.refusal(engine));
        engine.Run();
        QVERIFY(!askedForFile);
        QVERIFY(!engine.WasAborted());
        const int pages = engine.PageNumber();
        QVERIFY(pages >= 2);

        const QString pdf = awaitPdf(output, before);
        QVERIFY(!pdf.isEmpty());
        QCOMPARE(pdfPages(pdf), pages);
        const QString text = run("pdftotext", {"-layout", pdf, "-"});
        QVERIFY2(text.contains("Printed Through The Print Service"), qPrintable(text.left(400)));
        QVERIFY(text.contains("Dickens book 9"));
        QVERIFY(text.contains("GRAND TOTALS"));
    }

    // A recorded report laid out landscape on Letter prints on Letter, though the
    // printer is set to A4: else the bottom of each page, the footer, would fall off.
    void printsOnTheRecordedPaper()
    {
        const QString name = qEnvironmentVariable("SHELVANO_TEST_PRINTER");
        const QDir output(qEnvironmentVariable("SHELVANO_TEST_PRINTER_OUTPUT"));
        if (name.isEmpty())
            QSKIP("no test printer: scripts/test sets one up");
        const QStringList before = output.entryList({"*.pdf"}, QDir::Files);
        QBuffer stream;
        stream.open(QIODevice::ReadWrite);
        reportengine::TReportFiler filer(nullptr); // the Letter reference device
        filer.SetStreamMode(reportengine::smUser);
        filer.SetStream(&stream);
        filer.SetOrientation(reportengine::poLandScape);
        filer.OnPrintPage = [](reportengine::TBaseReport& r) {
            r.SetMarginLeft(1);
            r.ToFirstLine();
            r.WriteLine(QString("Landscape page %1").arg(r.PageNumber()));
            return r.PageNumber() < 2;
        };
        filer.Run();

        QPrinter printer(QPrinter::HighResolution);
        printer.setPrinterName(name);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setPageOrientation(QPageLayout::Portrait);
        reportengine::TFilePrinter player(printer);
        player.SetStreamMode(reportengine::smUser);
        player.SetStream(&stream);
        player.Print(1, 2, 1);
        const QString pdf = awaitPdf(output, before);
        QVERIFY(!pdf.isEmpty());
        QCOMPARE(pdfPages(pdf), 2);
        // A printer turns landscape pages onto its sheet, so the sheet may come back either way round.
        const QSizeF shown = pageSize(pdf);
        QVERIFY2(qAbs(std::min(shown.width(), shown.height()) - 612) < 2 &&
                     qAbs(std::max(shown.width(), shown.height()) - 792) < 2,
                 qPrintable(QString("%1 x %2").arg(shown.width()).arg(shown.height())));
        QVERIFY(run("pdftotext", {pdf, "-"}).contains("Landscape page 2"));
    }
};

REGISTER_TEST(TestPrinting)
#include "tst_printing.moc"
