// A report printed through the print service to a real printer: CUPS's virtual
// PDF printer, which scripts/test sets up on a scheduler of its own and names
// in SHELVANO_TEST_PRINTER, with the directory its PDF files go to in
// SHELVANO_TEST_PRINTER_OUTPUT. Without them the test skips.

#include "ReportFixture.h"
#include "TestRegistry.h"
#include "reportengine/TPrinterReport.h"
#include "reports/ReportGenerator.h"
#include "reports/definition/BuiltInReports.h"

#include <QDir>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
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

        // The scheduler converts the job and cups-pdf writes the file in its own time.
        QString pdf;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                for (const QString& file : output.entryList({"*.pdf"}, QDir::Files))
                    if (!before.contains(file) && pdfPages(output.filePath(file)) > 0) {
                        pdf = output.filePath(file);
                        return true;
                    }
                return false;
            }(),
            90000);
        QCOMPARE(pdfPages(pdf), pages);
        const QString text = run("pdftotext", {"-layout", pdf, "-"});
        QVERIFY2(text.contains("Printed Through The Print Service"), qPrintable(text.left(400)));
        QVERIFY(text.contains("Dickens book 9"));
        QVERIFY(text.contains("GRAND TOTALS"));
    }
};

REGISTER_TEST(TestPrinting)
#include "tst_printing.moc"
