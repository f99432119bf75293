#include "ReportTestSupport.h"
#include "TestRegistry.h"
#include "reportengine/CachedMeasurer.h"
#include "reportengine/PageMeasure.h"
#include "reportengine/TBaseReport.h"
#include "reportengine/TPrinterReport.h"

#include <QFile>
#include <QLabel>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace reportengine;

namespace {

QString pt(QPointF p)
{
    return num(p.x()) + QLatin1Char(' ') + num(p.y());
}

// Logs the page hooks and every drawing call, in inches.
class Recorder : public TBaseReport {
public:
    QStringList log;
    explicit Recorder(double dpi = 1200)
    {
        PageDevice device;
        device.dpiX = device.dpiY = dpi;
        SetDevice(device);
        SetMeasurer(std::make_shared<FixedMeasurer>());
    }
    using TBaseReport::SetDevice;

protected:
    QString DeviceName() const override { return "dev"; }
    QString DriverName() const override { return "drv"; }
    QString PortName() const override { return "port"; }
    void StartPageOutput(int page) override { log << QString("start %1").arg(page); }
    void EndPageOutput() override { log << "end"; }
    void CloseOutput(bool aborted) override { log << QString("close %1").arg(aborted); }
    void BrushChanged() override
    {
        log << QString("brush %1 %2").arg(Brush().color.red()).arg(Brush().style);
    }
    void PenChanged() override { log << QString("pen %1").arg(Pen().style); }
    void DoText(TextAlign align, double x, double y, const QString& text) override
    {
        log << QString("text %1 %2 %3").arg(int(align)).arg(pt({x, y}), text);
    }
    void DoTabCell(const QRectF& r) override { log << "cell " + pt(r.topLeft()) + " " + pt(r.bottomRight()); }
    void DoMoveTo(QPointF p) override { log << "move " + pt(p); }
    void DoLineTo(QPointF p) override { log << "line " + pt(p); }
    void DoRectangle(const QRectF& r) override
    {
        log << "rect " + pt(r.topLeft()) + " " + pt(r.bottomRight());
    }
    void DoTextRect(const QRectF&, QPointF, const QString&) override {}
    void DoFillRect(const QRectF&) override {}
    void DoFrameRect(const QRectF&) override {}
    void DoFocusRect(const QRectF&) override {}
    void DoEllipse(const QRectF&) override {}
    void DoRoundRect(const QRectF&, double, double) override {}
    void DoArc(QPointF, QPointF, QPointF, QPointF) override {}
    void DoChord(QPointF, QPointF, QPointF, QPointF) override {}
    void DoPie(QPointF, QPointF, QPointF, QPointF) override {}
    void DoPolygon(const QVector<QPointF>&) override {}
    void DoPolyLine(const QVector<QPointF>&) override {}
    void DoFloodFill(QPointF, const QColor&, FillStyle) override {}
    void DoDraw(QPointF, const ReportGraphic&) override {}
    void DoStretchDraw(const QRectF&, const ReportGraphic&) override {}
    void DoPrintBitmap(QPointF, double, double, const ReportGraphic&) override {}
    void DoPrintBitmapRect(const QRectF&, const ReportGraphic&) override {}
    void DoBrushCopy(const QRectF&, const ReportGraphic&, const QRectF&, const QColor&) override {}
    void DoCopyRect(const QRectF&, const QImage&, const QRect&) override {}
    void DoPrintRaw(const QByteArray&) override {}
};

// Runs body on page 1 of a one-page report and returns what reached the page.
QStringList onOnePage(Recorder& report, const std::function<void(Recorder&)>& body)
{
    report.OnPrint = [&](TBaseReport&) {
        report.log.clear();
        body(report);
    };
    report.Run();
    return report.log.filter(QRegularExpression("^(text|cell|move|line|brush|pen)"));
}

} // namespace

class TestPageEngine : public QObject {
    Q_OBJECT

private slots:
    void firstBaseline_data()
    {
        QTest::addColumn<int>("method");
        QTest::addColumn<bool>("selectFont");
        QTest::addColumn<double>("baseline");
        const double descent10 = 10.0 / 72 * 0.25;
        QTest::newRow("10 pt under font method") << int(lhmFont) << true << 0.5 + 1.0 / 6 - descent10;
        QTest::newRow("16 pt under lines per inch")
            << int(lhmLinesPerInch) << true << 0.5 + 1.0 / 6 - 16.0 / 72 * 0.25;
        QTest::newRow("font before the first SelectFont")
            << int(lhmFont) << false << 0.5 + 1.0 / 6 - descent10;
    }

    void firstBaseline()
    {
        QFETCH(int, method);
        QFETCH(bool, selectFont);
        QFETCH(double, baseline);
        Recorder report;
        report.SetLineHeightMethod(LineHeightMethod(method));
        report.SetMarginTop(0.5);
        onOnePage(report, [&](Recorder& r) {
            if (selectFont)
                r.SelectFont("Arial", method == lhmFont ? 10 : 16);
            r.ToFirstLine();
            QVERIFY(qAbs(r.YPos() - baseline) < 1e-9);
        });
        if (!selectFont)
            QCOMPARE(report.Font(), ReportFont{});
    }

    // A body moves the first baseline down onto its area's top; the next line counts from there.
    void nextLineFromMovedBaseline()
    {
        Recorder report;
        report.SetMarginTop(0.5);
        onOnePage(report, [&](Recorder& r) {
            r.ToFirstLine();
            r.SetAreaTop(1.25);
            QCOMPARE(r.YPos(), 1.25);
            r.NextLine();
            QVERIFY(qAbs(r.YPos() - (1.25 + 1.0 / 6)) < 1e-9);
            QCOMPARE(r.LineNum(), 2);
        });
    }

    // Ten lines of 1/6 inch fit the area exactly; the sums of line heights must not lose the last.
    void remainingLines_data()
    {
        QTest::addColumn<int>("method");
        QTest::addColumn<int>("nextLines");
        QTest::addColumn<int>("remaining");
        for (int method : {int(lhmLinesPerInch), int(lhmFont)}) {
            const QByteArray m = method == lhmFont ? "font " : "lpi ";
            QTest::newRow(m + "first line") << method << 0 << 10;
            QTest::newRow(m + "two lines left") << method << 8 << 2;
            QTest::newRow(m + "last line ends on the bottom") << method << 9 << 1;
            QTest::newRow(m + "below the bottom") << method << 10 << 0;
        }
    }

    void remainingLines()
    {
        QFETCH(int, method);
        QFETCH(int, nextLines);
        QFETCH(int, remaining);
        Recorder report;
        report.SetLineHeightMethod(LineHeightMethod(method));
        report.SetMarginTop(0.1);
        report.SetMarginBottom(11 - 0.1 - 10.0 / 6);
        onOnePage(report, [&](Recorder& r) {
            r.SelectFont("Arial", 10);
            r.ToFirstLine();
            for (int i = 0; i < nextLines; ++i)
                r.NextLine();
            QCOMPARE(r.RemainingLines(), remaining);
        });
    }

    void shade_data()
    {
        QTest::addColumn<int>("stopShade");
        QTest::addColumn<int>("tabShade");
        QTest::addColumn<QStringList>("drawn");
        const QStringList restore{"brush 0 1", "pen 0"};
        const QString cell = "cell 1.000 0.000 2.000 0.167";
        QTest::newRow("100 fills black") << 100 << 0 << QStringList{"brush 0 0", "pen 5", cell} + restore;
        QTest::newRow("0 with TabShade 0 fills nothing") << 0 << 0 << QStringList{};
        QTest::newRow("0 takes TabShade") << 0 << 50 << QStringList{"brush 128 0", "pen 5", cell} + restore;
        QTest::newRow("own shade wins") << 25 << 50 << QStringList{"brush 192 0", "pen 5", cell} + restore;
    }

    void shade()
    {
        QFETCH(int, stopShade);
        QFETCH(int, tabShade);
        QFETCH(QStringList, drawn);
        Recorder report;
        report.SetTabShade(tabShade);
        const QStringList out = onOnePage(report, [&](Recorder& r) {
            r.AddTabStop(1, pjLeft, 1, 0, 0, stopShade);
            r.NextTabStop();
        });
        QCOMPARE(out, drawn);
    }

    void tabStops()
    {
        Recorder report;
        report.SetMarginLeft(0.5);
        const QStringList out = onOnePage(report, [&](Recorder& r) {
            r.AddTabStop(3, pjLeft, 1, 0, 0, 0);
            r.ClearTabStops();
            r.SetAreaLeft(1.25);
            r.AddTabStop(-1, pjLeft, 1.5, 5, blAll, 0);
            r.AddTabStop(-1, pjRight, 0, 5, blAll, 30);
            QCOMPARE(r.TabStops()[0].position, 0.5);
            QCOMPARE(r.TabStops()[1].position, 2.0);
            QCOMPARE(r.TabStopWidth(1), 1.4);
            QCOMPARE(r.TabStops()[1].boxLines, 0);
            QCOMPARE(r.TabStopWidth(0), 0.0);
            r.NextTabStop();
            QCOMPARE(r.TabStopWidth(0), 1.4);
        });
        const QString top = "0.000", bottom = "0.167";
        QCOMPARE(out, (QStringList{"move 0.500 " + bottom, "line 0.500 " + top, "move 2.000 " + bottom,
                                   "line 2.000 " + top, "move 0.500 " + top, "line 2.000 " + top,
                                   "move 0.500 " + bottom, "line 2.000 " + bottom}));
    }

    void writeText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<double>("cursor");
        // Stops: left at 1 (margin 0.05), centre at 3 width 2, right at 5 width 1 (margin 0.05).
        const QString y = " 0.132 ";
        QTest::newRow("plain") << "ab" << QStringList{"text 0 0.000" + y + "ab"} << 0.2;
        QTest::newRow("leading TAB") << "\tab" << QStringList{"text 0 1.050" + y + "ab"} << 1.25;
        QTest::newRow("double TAB skips a stop") << "\t\tab" << QStringList{"text 1 4.000" + y + "ab"} << 4.1;
        QTest::newRow("three parts") << "a\tb\t\tc"
                                     << QStringList{"text 0 0.000" + y + "a", "text 0 1.050" + y + "b",
                                                    "text 2 5.950" + y + "c"}
                                     << 5.95;
        QTest::newRow("TAB past the last stop")
            << "\t\t\t\tz" << QStringList{"text 0 5.950" + y + "z"} << 6.05;
    }

    void writeText()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, texts);
        QFETCH(double, cursor);
        Recorder report;
        const QStringList out = onOnePage(report, [&](Recorder& r) {
            r.AddTabStop(1, pjLeft, 1, 5, 0, 0);
            r.AddTabStop(3, pjCenter, 2, 0, 0, 0);
            r.AddTabStop(5, pjRight, 1, 5, 0, 0);
            r.WriteText(text);
            QVERIFY(qAbs(r.XPos() - cursor) < 1e-9);
        });
        QCOMPARE(out.filter(QRegularExpression("^text")), texts);
    }

    // Half of an odd width in dots rounds up.
    void centredCursor_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("cursor");
        QTest::newRow("odd") << "abc" << 1.2;
        QTest::newRow("even") << "abcd" << 1.2;
        QTest::newRow("one") << "a" << 1.1;
    }

    void centredCursor()
    {
        QFETCH(QString, text);
        QFETCH(double, cursor);
        Recorder report(10);
        onOnePage(report, [&](Recorder& r) {
            r.TextCentredAt(text, 1);
            QVERIFY(qAbs(r.XPos() - cursor) < 1e-9);
        });
    }

    void bottomLine()
    {
        Recorder report;
        report.SetMarginLeft(1);
        report.SetMarginRight(1.5);
        report.SetMarginBottom(1);
        const QStringList out = onOnePage(report, [&](Recorder& r) {
            r.TextOnBottomLine("ab", pjCenter);
            r.TextOnBottomLine("ab", pjRight);
        });
        const QString y = num(10 - 10.0 / 72 * 0.25);
        QCOMPARE(out, (QStringList{"text 1 4.000 " + y + " ab", "text 2 7.000 " + y + " ab"}));
    }

    void status_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("status");
        QTest::newRow("unknown code") << "A%x"
                                      << "A<ERROR-%X>";
        QTest::newRow("page and range") << "Page %p of %F-%l"
                                        << "Page 3 of 2-9";
        QTest::newRow("percent") << "100%% %"
                                 << "100% %";
        QTest::newRow("lines") << "%1|%0|%7"
                               << "b|a|";
        QTest::newRow("device") << "%D %r %t"
                                << "dev drv port";
    }

    void status()
    {
        QFETCH(QString, format);
        QFETCH(QString, status);
        Recorder report;
        report.SetStatusFormat(format);
        report.SetStatusText({"a", "b"});
        report.SetFirstPage(2);
        report.SetLastPage(9);
        QStringList shown;
        report.OnStatus = [&](const QString& s) { shown << s; };
        report.OnPrintPage = [](TBaseReport& r) { return r.PageNumber() < 3; };
        report.Run();
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown.back(), status);
    }

    // The status format breaks lines with carriage returns; a label shows them as one line.
    void statusLabelBreaksLines()
    {
        Recorder report;
        QLabel label;
        report.SetStatusLabel(&label);
        report.SetStatusFormat("Printing Page %p\r%0\r%1");
        report.SetStatusText({"Smith", "Jones"});
        report.OnPrintPage = [](TBaseReport&) { return false; };
        report.Run();
        const int line = label.fontMetrics().lineSpacing();
        QVERIFY2(label.sizeHint().height() >= 3 * line,
                 qPrintable(QString("%1 high for lines of %2").arg(label.sizeHint().height()).arg(line)));
    }

    void eventOrder()
    {
        Recorder report;
        const auto event = [&](const char* name) {
            return [&report, name](TBaseReport& r) {
                report.log << QString("%1 %2").arg(name).arg(r.PageNumber());
            };
        };
        report.OnBeforePrint = event("before");
        report.OnNewPage = event("new");
        report.OnPrintHeader = event("header");
        report.OnPrintFooter = event("footer");
        report.OnAfterPrint = event("after");
        report.OnPrintPage = [&](TBaseReport& r) {
            report.log << QString("page %1").arg(r.PageNumber());
            return r.PageNumber() < 2;
        };
        report.Run();
        QCOMPARE(report.log, (QStringList{"before 0", "start 1", "new 1", "header 1", "page 1", "footer 1",
                                          "end", "start 2", "new 2", "header 2", "page 2", "footer 2", "end",
                                          "close 0", "after 2"}));
    }

    // Pages outside the range are laid out with all their events but reach no output.
    void pageRange_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<int>("pages");
        QTest::addColumn<QStringList>("output");
        QTest::newRow("middle") << 2 << 3 << 4 << QStringList{"start 2", "text 2", "end",    "start 3",
                                                              "text 3",  "end",    "close 0"};
        QTest::newRow("none") << 5 << 9 << 4 << QStringList{"close 0"};
        QTest::newRow("beyond 9999 by default")
            << 10000 << 0 << 10001
            << QStringList{"start 10000", "text 10000", "end", "start 10001", "text 10001", "end", "close 0"};
    }

    void pageRange()
    {
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(int, pages);
        QFETCH(QStringList, output);
        Recorder report;
        report.SetFirstPage(first);
        if (last > 0)
            report.SetLastPage(last);
        int headers = 0, counted = 0;
        report.OnPrintHeader = [&](TBaseReport&) { ++headers; };
        report.OnPrintPage = [&](TBaseReport& r) {
            r.WriteLine(QString::number(r.PageNumber()));
            counted += r.LineNum() == 2;
            return r.PageNumber() < pages;
        };
        report.Run();
        QCOMPARE(headers, pages);
        QCOMPARE(counted, pages);
        QStringList got;
        for (const QString& entry : report.log)
            got << (entry.startsWith("text") ? "text " + entry.section(' ', -1) : entry);
        QCOMPARE(got, output);
    }

    void nextPageKeepsTabStops()
    {
        Recorder report;
        report.OnPrint = [&](TBaseReport& r) {
            r.AddTabStop(2, pjLeft, 1, 0, 0, 0);
            r.WriteText("\ta");
            r.NextPage();
            QCOMPARE(r.TabStops().size(), 1);
            r.WriteText("\tb");
        };
        report.Run();
        QCOMPARE(report.log.filter("text").size(), 2);
        QVERIFY(report.log.filter("text").back().startsWith("text 0 2.000"));
    }

    void abortClosesOpenPage()
    {
        Recorder report;
        report.OnPrintPage = [&](TBaseReport& r) {
            r.WriteText("a");
            r.AbortReport();
            r.WriteText("b");
            return true;
        };
        report.Run();
        QVERIFY(report.WasAborted());
        QCOMPARE(report.log.filter(QRegularExpression("^(start|text|end|close)")).join(','),
                 QString("start 1,text 0 0.000 0.132 a,end,close 1"));
    }

    void callsOutOfState()
    {
        Recorder report;
        QVERIFY_THROWS_EXCEPTION(ReportError, report.WriteText("x"));
        QVERIFY_THROWS_EXCEPTION(ReportError, report.NextPage());
        QVERIFY_THROWS_EXCEPTION(ReportError, report.LineTo(1, 1));
        QString inRun;
        report.OnPrint = [&](TBaseReport& r) {
            try {
                r.SetCopies(2);
            } catch (const ReportError& e) {
                inRun = e.what();
            }
            QVERIFY_THROWS_EXCEPTION(ReportError, r.Run());
        };
        report.Run();
        QCOMPARE(inRun, QString(kAlreadyPrinting));
        QVERIFY(!report.IsRunning());
    }

    void deviceMapping_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("border");
        QTest::addColumn<double>("scale");
        QTest::addColumn<int>("column");
        QTest::newRow("tie rounds down to even") << 0.625 << 0.0 << 100.0 << 2;
        QTest::newRow("tie rounds up to even") << 0.875 << 0.0 << 100.0 << 4;
        QTest::newRow("unprintable border") << 1.0 << 0.25 << 100.0 << 3;
        QTest::newRow("scaled") << 2.0 << 0.0 << 50.0 << 4;
    }

    void deviceMapping()
    {
        QFETCH(double, x);
        QFETCH(double, border);
        QFETCH(double, scale);
        QFETCH(int, column);
        Recorder report;
        PageDevice device;
        device.dpiX = 4;
        device.borderLeft = border;
        report.SetDevice(device);
        report.SetScaleX(scale);
        QCOMPARE(report.DeviceX(x), column);
    }

    void unitsFactor_data()
    {
        QTest::addColumn<double>("factor");
        QTest::addColumn<int>("units");
        QTest::addColumn<double>("stored");
        QTest::newRow("mm") << 25.4 << int(unMM) << 25.4;
        QTest::newRow("points") << 72.0 << int(unPoint) << 72.0;
        QTest::newRow("user") << 3.0 << int(unUser) << 3.0;
        QTest::newRow("zero ignored") << 0.0 << int(unCM) << 2.54;
        QTest::newRow("negative ignored") << -1.0 << int(unCM) << 2.54;
    }

    void unitsFactor()
    {
        QFETCH(double, factor);
        QFETCH(int, units);
        QFETCH(double, stored);
        Recorder report;
        report.SetUnits(unCM);
        report.SetUnitsFactor(factor);
        QCOMPARE(int(report.Units()), units);
        QCOMPARE(report.UnitsFactor(), stored);
        QCOMPARE(report.PaperWidth(), 8.5 * stored);
    }

    // Real fonts on the 1200-dpi reference: a Courier New character is 0.6 em, and 10 points are
    // drawn, hence measured, at 167 whole dots.
    void referenceMeasurement()
    {
        ReferenceMeasurer measurer;
        ReportFont courier;
        courier.name = "Courier New";
        QCOMPARE(qRound(measurer.textWidth(courier, "0123456789") * 1200), qRound(10 * 0.6 * 167));
        ReportFont arial;
        QVERIFY(measurer.textWidth(arial, "WWWW") > measurer.textWidth(arial, "iiii") * 2);
        QVERIFY(measurer.descent(arial) > 0.1 * arial.height && measurer.descent(arial) < 0.4 * arial.height);
    }

    // The cached measurer adds up character advances where it can; the sum
    // must be the width of the whole text to the last 64th of a dot.
    void cachedWidthsAreWholeTextWidths_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<double>("points");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<bool>("italic");
        QTest::addColumn<QString>("text");
        QTest::newRow("Arial 8") << "Arial" << 8.0 << false << false << "The Quick Brown Fox, 1998 (2nd ed.)";
        QTest::newRow("trailing blanks") << "Arial" << 10.0 << false << false << "Smith, John   ";
        QTest::newRow("Latin-1 bold") << "Arial" << 11.0 << true << false << "Café Müller, Ça et là ½ ¼ © ß";
        QTest::newRow("no-break space, soft hyphen")
            << "Arial" << 8.0 << false << false << "1\u00A0234 co\u00ADoperate";
        QTest::newRow("tab") << "Arial" << 10.0 << false << false << "Title\tAuthor";
        QTest::newRow("beyond Latin-1") << "Arial" << 8.0 << false << false << "Smith \u2014 \u20AC 12";
        QTest::newRow("Courier New money") << "Courier New" << 10.0 << false << false << "$1,234,567.89";
        QTest::newRow("serif italic pairs")
            << "Times New Roman" << 14.0 << false << true << "AVATAR Tw Yo fi fl";
    }

    void cachedWidthsAreWholeTextWidths()
    {
        QFETCH(QString, family);
        QFETCH(double, points);
        QFETCH(bool, bold);
        QFETCH(bool, italic);
        QFETCH(QString, text);
        ReportFont font;
        font.name = family;
        font.height = points / 72;
        font.bold = bold;
        font.italic = italic;
        const ReferenceMeasurer whole;
        const CachedMeasurer cached;
        // Twice each: first as the advances are learnt, then from them; prefixes as fitting asks.
        for (int pass = 0; pass < 2; ++pass)
            for (qsizetype n = 1; n <= text.size(); ++n)
                QVERIFY2(cached.textWidth(font, text.first(n)) == whole.textWidth(font, text.first(n)),
                         qPrintable(text.first(n)));
    }

    void printsToPdf()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("report.pdf");
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        TPrinterReport report(printer);
        report.SetMarginTop(0.5);
        report.SetLineHeightMethod(lhmFont);
        report.OnPrintPage = [](TBaseReport& r) {
            r.SelectFont("Courier New", 12);
            r.ClearTabStops();
            r.AddTabStop(1, pjLeft, 2, 5, blAll, 20);
            while (r.RemainingLines() > 1)
                r.WriteLine(QString("\tline %1").arg(r.LineNum()));
            return r.PageNumber() < 3;
        };
        report.Run();
        QFile pdf(file);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        const QString text = QString::fromLatin1(pdf.readAll());
        QCOMPARE(text.count(QRegularExpression("/Type\\s*/Page\\b")), 3);
    }

    // No page in range, or no file chosen: no job, so no file.
    void noJobWithoutOutput()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("empty.pdf");
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        TPrinterReport report(printer);
        report.SetFirstPage(4);
        report.OnPrintPage = [](TBaseReport& r) { return r.PageNumber() < 2; };
        report.Run();
        QVERIFY(!QFile::exists(file));

        if (!QPrinterInfo::availablePrinters().isEmpty())
            QSKIP("a system printer exists");
        TPrinterReport cancelled;
        bool ran = false;
        cancelled.choosePdfFile = [] { return QString(); };
        cancelled.OnPrint = [&](TBaseReport&) { ran = true; };
        cancelled.Run();
        QVERIFY(!ran);
        TPrinterReport unasked;
        unasked.OnPrint = [&](TBaseReport&) { ran = true; };
        QVERIFY_THROWS_EXCEPTION(ReportError, unasked.Run());
        QVERIFY(!ran);
    }
};

REGISTER_TEST(TestPageEngine)
#include "tst_pageengine.moc"
