#include "../reportengine/ReportTestSupport.h"
#include "BookFixture.h"
#include "TestRegistry.h"
#include "db/BookTable.h"
#include "db/FieldText.h"
#include "platform/ScriptedDialogs.h"
#include "reportengine/TReportFiler.h"
#include "reports/ReportFile.h"
#include "reports/TMyPreview.h"
#include "reports/TMyReport.h"
#include "reports/TPrintRange.h"
#include "settings/NumberText.h"
#include "settings/Settings.h"

#include <QBuffer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrinter>
#include <QProcess>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace reports;
using namespace reportengine;

namespace {

// A recorded report of `pages` pages, each saying its number.
void record(QBuffer& buffer, int pages)
{
    buffer.open(QIODevice::ReadWrite);
    TReportFiler filer(nullptr);
    filer.SetMeasurer(std::make_shared<FixedMeasurer>());
    filer.SetStreamMode(smUser);
    filer.SetStream(&buffer);
    filer.OnPrintPage = [pages](TBaseReport& r) {
        r.SetMarginLeft(1);
        r.ToFirstLine();
        r.WriteLine(QString("Page %1 of the report").arg(r.PageNumber()));
        return r.PageNumber() < pages;
    };
    filer.Run();
}

int pdfPages(const QString& file)
{
    QProcess info;
    info.start("pdfinfo", {file});
    if (!info.waitForFinished(20000))
        return -1;
    for (const QString& line : QString::fromLatin1(info.readAllStandardOutput()).split('\n'))
        if (line.startsWith("Pages:"))
            return line.mid(6).trimmed().toInt();
    return -1;
}

// Runs the modal window that opens next, closing it with `act` once it is up.
void whenShown(std::function<void(QWidget*)> act)
{
    QTimer::singleShot(0, [act] {
        for (int i = 0; i < 200; ++i) {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                act(modal);
                return;
            }
            QTest::qWait(10);
        }
    });
}

} // namespace

class TestReportWindows : public QObject {
    Q_OBJECT

private slots:
    void zoomText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("zoom"); // -1: no number
        QTest::newRow("whole") << "50" << 50.0;
        QTest::newRow("decimal point") << " 33.3 " << 33.3;
        QTest::newRow("comma") << "33,3" << -1.0;
        QTest::newRow("letters") << "abc" << -1.0;
        QTest::newRow("number then letters") << "100abc" << -1.0;
        QTest::newRow("empty") << "" << -1.0;
    }

    void zoomText()
    {
        QFETCH(QString, text);
        QFETCH(double, zoom);
        const std::optional<double> parsed = parseZoom(text);
        QCOMPARE(parsed.has_value(), zoom >= 0);
        if (parsed)
            QCOMPARE(*parsed, zoom);
    }

    void zoomBoxAndPages_data()
    {
        QTest::addColumn<QString>("zoomText");
        QTest::addColumn<QString>("zoomShown");
        QTest::addColumn<QString>("pageText");
        QTest::addColumn<QString>("pageLabel");
        QTest::newRow("clamped") << "500"
                                 << "200.0"
                                 << "0"
                                 << "Page 1 of 1234";
        QTest::newRow("not a number") << "abc"
                                      << "100.0"
                                      << "99999"
                                      << "Page 1234 of 1234";
        QTest::newRow("empty") << ""
                               << "100.0"
                               << "1000"
                               << "Page 1000 of 1234";
    }

    void zoomBoxAndPages()
    {
        QFETCH(QString, zoomText);
        QFETCH(QString, zoomShown);
        QFETCH(QString, pageText);
        QFETCH(QString, pageLabel);
        platform::ScriptedDialogs dialogs;
        QPrinter printer;
        QBuffer stream;
        record(stream, 1234);
        settings::WindowGeometry geometry;
        TMyPreview preview(dialogs, printer, stream, "Long", geometry);
        preview.show();
        QTRY_COMPARE(preview.StartCount(), 1);
        QCOMPARE(preview.ZoomEdit->text(), "100.0");
        QCOMPARE(preview.PageLabel->text(), "Page 1 of 1234");
        preview.ZoomEdit->setText(zoomText);
        preview.ZoomEditDone();
        QCOMPARE(preview.ZoomEdit->text(), zoomShown);
        preview.PageEdit->setText(pageText);
        preview.PageEditDone();
        QCOMPARE(preview.PageLabel->text(), pageLabel);
        preview.LastPage();
        QCOMPARE(preview.MyFilePreview.PageNumber(), 1234);
        // A message box or another window activates the preview again: it must not restart.
        dialogs.message("Error", "Something", platform::Button::Ok);
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(&preview, &activate);
        preview.hide();
        preview.show();
        QTest::qWait(20);
        QCOMPARE(preview.StartCount(), 1);
        QCOMPARE(preview.MyFilePreview.PageNumber(), 1234);
        preview.close();
    }

    void rangeDialog_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("message");
        QTest::newRow("start 0") << "0"
                                 << "5"
                                 << "Invalid Starting Page specified. Please correct.";
        QTest::newRow("start beyond") << "1235"
                                      << "1235"
                                      << "Invalid Starting Page specified. Please correct.";
        QTest::newRow("end before start") << "2"
                                          << "1"
                                          << "Invalid Ending Page specified.  Please correct.";
        QTest::newRow("end beyond") << "1000"
                                    << "1235"
                                    << "Invalid Ending Page specified.  Please correct.";
        QTest::newRow("whole report") << "1"
                                      << "1234"
                                      << "";
    }

    void rangeDialog()
    {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, message);
        platform::ScriptedDialogs dialogs;
        TPrintRange range(dialogs, 1234);
        QCOMPARE(range.StartPage->text(), "1");
        QCOMPARE(range.EndPage->text(), "1234");
        range.StartPage->setText(start);
        range.EndPage->setText(end);
        range.PrintButtonClick();
        QCOMPARE(range.Confirmed(), message.isEmpty());
        if (!message.isEmpty())
            QCOMPARE(dialogs.transcript().back().text, message);
    }

    // Pages 1000 to 1234 of a 1,234-page report, printed to a PDF file.
    void printRangeToPdf()
    {
        if (QStandardPaths::findExecutable("pdfinfo").isEmpty())
            QSKIP("pdfinfo is not installed");
        QTemporaryDir dir;
        platform::ScriptedDialogs dialogs;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        QBuffer stream;
        record(stream, 1234);
        settings::WindowGeometry geometry;
        TMyPreview preview(dialogs, printer, stream, "Long", geometry);
        const QString pdf = dir.filePath("range.pdf");
        preview.choosePdfFile = [&] { return pdf; };
        preview.show();
        QTRY_COMPARE(preview.StartCount(), 1);
        whenShown([](QWidget* modal) {
            auto* range = qobject_cast<TPrintRange*>(modal);
            QVERIFY(range);
            range->StartPage->setText("1000");
            range->PrintButtonClick();
        });
        preview.PrintRange();
        QCOMPARE(pdfPages(pdf), 235);
        preview.close();
    }
};

REGISTER_TEST(TestReportWindows)
#include "tst_reportwindows.moc"
