#include "../reportengine/ReportTestSupport.h"
#include "BookFixture.h"
#include "ModalWindow.h"
#include "ReportWindowFixture.h"
#include "TestRegistry.h"
#include "db/BookTable.h"
#include "db/FieldText.h"
#include "platform/ScriptedDialogs.h"
#include "reportengine/TReportFiler.h"
#include "reports/ReportFile.h"
#include "reports/TMyPreview.h"
#include "reports/TMyReport.h"
#include "reports/TPrintRange.h"
#include "reports/TReportForm.h"
#include "reports/definition/BuiltInReports.h"
#include "settings/NumberText.h"
#include "settings/Settings.h"

#include <QBuffer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
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

} // namespace

class TestReportWindows : public QObject {
    Q_OBJECT

private slots:
    // The list, its messages, a text report written beside program files it may
    // not replace, and the grid's record left where it was.
    void reportList()
    {
        ReportWindows d;
        const std::string books = d.dir.filePath("BOOKS.DBF").toStdString();
        makeBooks(books, {"Zeta", "Alpha", "Mid"});
        d.table.adopt(dbase::Table::open(books));
        d.table.gotoRow(1);
        d.settings.lastReport = 20;
        const std::string urp = d.services->reportFile;
        d.titles.clear();
        for (int i = 1; i <= 36; ++i)
            d.titles << QString("Field %1").arg(i);
        d.services->sortFields = [] { return std::array<int, 4>{2, 0, 0, 0}; };
        d.services->programFiles = [books] { return QStringList{QString::fromStdString(books)}; };
        TMyReport list;
        list.setServices(*d.services);
        list.show();
        QCOMPARE(list.ReportBox->count(), 8);
        QVERIFY(list.ReportBox->selectedItems().isEmpty()); // the saved position lies beyond the list
        QCOMPARE(list.SortOrderLabel->text(), "Field 2");
        QVERIFY(list.ExportEntire->isChecked());
        QVERIFY(!list.ExportSearch->isEnabled());
        list.DoIt(OutputMode::Preview);
        QCOMPARE(d.dialogs.transcript().back().text, "No Report has been selected.  Please choose one.");

        list.ReportBox->setCurrentRow(5); // Library Checkout: ungrouped
        const QByteArray before = fileBytes(urp);
        for (const std::string& own : {urp, books}) {
            d.dialogs.expectSaveFile(QString::fromStdString(own));
            list.FileButtonClick();
            QVERIFY(d.dialogs.transcript().back().text.contains("keeps its own data"));
        }
        QCOMPARE(fileBytes(urp), before);
        QCOMPARE(fileBytes(books).size(), QFile(QString::fromStdString(books)).size());

        const QString text = d.dir.filePath("books.txt");
        d.dialogs.expectSaveFile(text);
        QString completed;
        whenShown(
            [&completed](QWidget* modal) {
                auto* status = qobject_cast<TReportForm*>(modal);
                if (!status) {
                    qWarning("not the status window: %s", qPrintable(modal->objectName()));
                    modal->close();
                    return;
                }
                for (int i = 0; i < 500 && status->BitBtn1->text() != "OK"; ++i)
                    QTest::qWait(10);
                completed = status->Label1->text();
                status->BitBtn1Click();
            },
            &list);
        list.FileButtonClick();
        QVERIFY2(completed.endsWith("Report Completed!"), qPrintable(completed));
        const QList<QByteArray> lines = fileBytes(text.toStdString()).split('\n');
        QVERIFY(lines.size() > 4);
        QVERIFY(lines[0].startsWith("Field 1"));
        QVERIFY(lines[1].startsWith("Zeta")); // the table's order, its physical one here
        QVERIFY(lines[2].startsWith("Alpha"));
        QVERIFY(lines[3].startsWith("Mid"));
        QCOMPARE(d.table.currentRow(), 1);
        QCOMPARE(d.current.name, "Library Checkout Report");

        // With no printer the PDF file is asked for first; cancelling runs nothing and says nothing.
        const std::size_t messages = d.dialogs.transcript().size();
        d.dialogs.expectSaveFile(QString());
        list.DoIt(OutputMode::Printer);
        QCOMPARE(d.dialogs.transcript().size(), messages);
        const QString pdf = d.dir.filePath("books.pdf");
        d.dialogs.expectSaveFile(pdf);
        whenShown(
            [](QWidget* modal) {
                if (auto* status = qobject_cast<TReportForm*>(modal)) {
                    for (int i = 0; i < 500 && status->BitBtn1->text() != "OK"; ++i)
                        QTest::qWait(10);
                    status->BitBtn1Click();
                }
            },
            &list);
        list.DoIt(OutputMode::Printer);
        QVERIFY(QFile::exists(pdf));
        QVERIFY(d.printer.outputFileName().isEmpty());
        list.close();
        QCOMPARE(d.settings.lastReport, 5);
        QVERIFY(d.dialogs.problems().isEmpty());
    }

    // Keyboard alone: each underlined letter does its button's work, Enter views
    // the selected report, Escape leaves and keeps the selection.
    void reportListKeys()
    {
        ReportWindows d;
        const std::string books = d.dir.filePath("BOOKS.DBF").toStdString();
        makeBooks(books, {"Zeta", "Alpha"});
        d.table.adopt(dbase::Table::open(books));
        d.titles.clear();
        QStringList help;
        d.services->searchOn = [] { return true; };
        d.services->showHelp = [&help](const QString& keyword) { help << keyword; };
        d.services->programFiles = nullptr;
        TMyReport list;
        list.setServices(*d.services);
        list.show();
        QVERIFY(QTest::qWaitForWindowActive(&list));
        QVERIFY(list.ExportSearch->isChecked());
        // A button's letter clicks it after a short show of being pressed.
        QTest::keyClick(&list, Qt::Key_E, Qt::AltModifier);
        QTRY_VERIFY(list.ExportEntire->isChecked());
        QTest::keyClick(&list, Qt::Key_S, Qt::AltModifier);
        QTRY_VERIFY(list.ExportSearch->isChecked());
        QTest::keyClick(&list, Qt::Key_H, Qt::AltModifier);
        QTRY_COMPARE(help, QStringList{"Report Window"});
        list.ReportBox->setFocus();
        QTest::keyClick(list.ReportBox, Qt::Key_Down); // from the last report, the first
        QCOMPARE(list.ReportBox->currentRow(), 1);
        d.dialogs.expectSaveFile(QString()); // the text file's name, cancelled
        QTest::keyClick(&list, Qt::Key_F, Qt::AltModifier);
        QTRY_VERIFY(d.dialogs.problems().isEmpty());
        d.dialogs.expectSaveFile(QString()); // no system printer: the PDF file's name, cancelled
        QTest::keyClick(&list, Qt::Key_P, Qt::AltModifier);
        QTRY_VERIFY(d.dialogs.problems().isEmpty());

        QStringList windows;
        whenShown(
            [&](QWidget* modal) {
                windows << modal->metaObject()->className();
                auto* status = qobject_cast<TReportForm*>(modal);
                QTRY_COMPARE(status->BitBtn1->text(), "OK");
                whenShown(
                    [&](QWidget* preview) {
                        windows << preview->metaObject()->className();
                        QTest::keyClick(preview, Qt::Key_Escape);
                    },
                    status);
                QTest::keyClick(status, Qt::Key_Return);
            },
            &list);
        list.ReportBox->setFocus();
        QTest::keyClick(list.ReportBox, Qt::Key_Return);
        QCOMPARE(windows, QStringList({"TReportForm", "TMyPreview"}));
        QTest::keyClick(&list, Qt::Key_Escape);
        QVERIFY(!list.isVisible());
        QCOMPARE(d.settings.lastReport, 1);
        list.show();
        QVERIFY(QTest::qWaitForWindowActive(&list));
        QTest::keyClick(&list, Qt::Key_X, Qt::AltModifier);
        QTRY_VERIFY(!list.isVisible());
    }

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

    // The range dialog from the keyboard: its boxes by their letters, Enter prints.
    void rangeDialogKeys()
    {
        platform::ScriptedDialogs dialogs;
        TPrintRange range(dialogs, 17000);
        range.show();
        QVERIFY(QTest::qWaitForWindowActive(&range));
        QTest::keyClick(&range, Qt::Key_E, Qt::AltModifier);
        QVERIFY(range.EndPage->hasFocus());
        QTest::keyClick(&range, Qt::Key_S, Qt::AltModifier);
        QVERIFY(range.StartPage->hasFocus());
        range.StartPage->selectAll();
        QTest::keyClicks(range.StartPage, "16999");
        QTest::keyClick(range.StartPage, Qt::Key_Return);
        QVERIFY(range.Confirmed());
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

    // Cancel during the run, and Escape before the run has begun, both count as
    // cancelled: the owner then keeps no text file.
    void statusWindow_data()
    {
        QTest::addColumn<int>("cancelOn"); // the page on which Cancel is clicked; 0 never; -1 Escape at once
        QTest::addColumn<int>("pagesRun");
        QTest::addColumn<bool>("aborted");
        QTest::newRow("completed") << 0 << 3 << false;
        QTest::newRow("cancelled on page 2") << 2 << 2 << true;
        QTest::newRow("escape before the run") << -1 << 0 << true;
    }

    void statusWindow()
    {
        QFETCH(int, cancelOn);
        QFETCH(int, pagesRun);
        QFETCH(bool, aborted);
        QBuffer discard;
        discard.open(QIODevice::ReadWrite);
        TReportFiler engine(nullptr);
        engine.SetMeasurer(std::make_shared<FixedMeasurer>());
        engine.SetStreamMode(smUser);
        engine.SetStream(&discard);
        TReportForm* form = nullptr;
        int pages = 0;
        engine.OnPrintPage = [&](TBaseReport& r) {
            ++pages;
            r.ToFirstLine();
            r.WriteLine("A line");
            if (r.PageNumber() == cancelOn)
                form->BitBtn1Click();
            return r.PageNumber() < 3;
        };
        TReportForm status(engine);
        form = &status;
        status.show();
        if (cancelOn < 0) {
            QTest::keyClick(&status, Qt::Key_Escape);
            QTest::qWait(20);
            QVERIFY(!status.isVisible());
        } else {
            QTRY_COMPARE(status.BitBtn1->text(), "OK");
            QVERIFY2(status.Label1->text().endsWith(aborted ? "\nReport Canceled!" : "\nReport Completed!"),
                     qPrintable(status.Label1->text() + QString::number(pages) + status.Failure()));
        }
        QCOMPARE(pages, pagesRun);
        QCOMPARE(status.WasAborted(), aborted);
    }

    // The preview's size and place are kept however it is left, Escape included.
    void previewGeometry()
    {
        platform::ScriptedDialogs dialogs;
        QPrinter printer;
        QBuffer stream;
        record(stream, 2);
        settings::WindowGeometry geometry;
        {
            TMyPreview preview(dialogs, printer, stream, "Kept", geometry);
            QCOMPARE(preview.size(), QSize(640, 480));
            preview.show();
            QTRY_COMPARE(preview.StartCount(), 1);
            preview.resize(1100, 700);
            QTest::keyClick(&preview, Qt::Key_Escape);
            QVERIFY(!preview.isVisible());
        }
        QCOMPARE(geometry.width, 1100);
        QCOMPARE(geometry.height, 700);
    }
};

REGISTER_TEST(TestReportWindows)
#include "tst_reportwindows.moc"
