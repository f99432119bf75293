#include "ReportTestSupport.h"
#include "TestRegistry.h"
#include "reportengine/PageMeasure.h"
#include "reportengine/TFilePreview.h"
#include "reportengine/TFilePrinter.h"
#include "reportengine/TReportFiler.h"
#include "reportengine/stream/StreamError.h"

#include <QBuffer>
#include <QFile>
#include <QPrinter>
#include <QRegularExpression>
#include <QScrollArea>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <limits>

using namespace reportengine;

namespace {

// Logs the drawing calls that reach a canvas, each with the font, brush and pen in force.
template <class Base> class Logged : public Base {
public:
    QStringList log;

protected:
    void note(const QString& call)
    {
        const ReportFont& f = this->Font();
        log << call + QString(" | %1 %2 %3%4 %5 | %6 %7 | %8 %9 %10 | %11")
                          .arg(f.name, num(f.height))
                          .arg(f.bold)
                          .arg(f.italic)
                          .arg(f.color.name(), this->Brush().color.name())
                          .arg(this->Brush().style)
                          .arg(this->Pen().color.name())
                          .arg(this->Pen().style)
                          .arg(num(this->Pen().width), num(this->ScaleX()));
    }
    static QString pt(QPointF p) { return num(p.x()) + ' ' + num(p.y()); }
    void DoText(TextAlign align, double x, double y, const QString& text) override
    {
        note(QString("text %1 %2 %3").arg(int(align)).arg(pt({x, y}), text));
    }
    void DoTabCell(const QRectF& r) override { note("cell " + pt(r.topLeft()) + ' ' + pt(r.bottomRight())); }
    void DoMoveTo(QPointF p) override { note("move " + pt(p)); }
    void DoLineTo(QPointF p) override { note("line " + pt(p)); }
    void DoEllipse(const QRectF& r) override
    {
        note("ellipse " + pt(r.topLeft()) + ' ' + pt(r.bottomRight()));
    }
    void DoPolygon(const QVector<QPointF>& points) override
    {
        note(QString("polygon %1").arg(points.size()));
    }
    void DoPrintRaw(const QByteArray& data) override { note("raw " + QString::fromLatin1(data)); }
};

// Draws nothing: the page engine's own calls, logged.
class DirectCanvas : public TCanvasReport {
public:
    DirectCanvas() { SetMeasurer(std::make_shared<FixedMeasurer>()); }

protected:
    void StartPageOutput(int) override {}
    void EndPageOutput() override {}
    void CloseOutput(bool) override {}
};

class ReplayCanvas : public Logged<StreamCanvas> {
public:
    void replayAll(const QByteArray& bytes)
    {
        const stream::ReportStreamReader reader(
            std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())));
        for (const stream::PageInfo& page : reader.pages())
            replay(reader.records(page), nullptr, ReferenceMeasurer::device(), 100);
    }
};

// A filer measuring with fixed advances on the reference device, recording into a buffer.
struct Recording {
    TReportFiler filer{nullptr};
    QBuffer buffer;

    Recording()
    {
        filer.SetMeasurer(std::make_shared<FixedMeasurer>());
        buffer.open(QIODevice::ReadWrite);
        filer.SetStreamMode(smUser);
        filer.SetStream(&buffer);
    }
    QByteArray run(int pages = 1)
    {
        filer.OnPrintPage = [pages](TBaseReport& r) {
            r.WriteLine(QString("page %1").arg(r.PageNumber()));
            return r.PageNumber() < pages;
        };
        filer.Run();
        return buffer.data();
    }
};

// A preview in a scroll box of its own, reading `stream`.
struct Previewing {
    QScrollArea box;
    TFilePreview preview;

    explicit Previewing(QIODevice* stream)
    {
        preview.SetScrollBox(&box);
        preview.SetStreamMode(smUser);
        preview.SetStream(stream);
    }
};

void body(TBaseReport& r)
{
    r.SelectFont("Courier New", 12);
    r.Bold(true);
    r.SetFontColor(Qt::darkBlue);
    r.AddTabStop(0.5, pjLeft, 2, 5, blAll, 30);
    r.AddTabStop(-1, pjRight, 1.5, 5, blTop | blBottom, 0);
    r.WriteLine("\tTitle\tValue");
    r.Italic(true);
    r.WriteLine("plain\t\tlast");
    r.SetPenColor(Qt::red);
    r.SetPenWidth(-5);
    r.SetScaleX(80);
    r.TextRightAt("right", 7);
    r.PrintRaw("\x1b"
               "E");
    r.SetBrushStyle(bsSolid);
    r.Ellipse(1, 2, 3, 4);
    r.Polygon({{1, 1}, {2, 1}, {2, 2}});
}

int pdfPages(const QString& file)
{
    QFile pdf(file);
    if (!pdf.open(QIODevice::ReadOnly))
        return -1;
    return QString::fromLatin1(pdf.readAll()).count(QRegularExpression("/Type\\s*/Page\\b"));
}

// Little-endian fields of a hand-made stream.
struct Bytes {
    QByteArray data;
    Bytes& u8(int v) { return data.append(char(v)), *this; }
    Bytes& i32(std::int32_t v)
    {
        for (int i = 0; i < 4; ++i)
            data.append(char((std::uint32_t(v) >> (8 * i)) & 0xff));
        return *this;
    }
    Bytes& f32(float v)
    {
        std::int32_t bits;
        std::memcpy(&bits, &v, 4);
        return i32(bits);
    }
    Bytes& text(const char* s) { return u8(int(std::strlen(s))), data.append(s), *this; }
};

// A stream on a device that counts the bytes read from it.
class CountingDevice : public QIODevice {
public:
    explicit CountingDevice(QByteArray bytes) : m_bytes(std::move(bytes))
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    qint64 bytesRead = 0;
    qint64 size() const override { return m_bytes.size(); }

protected:
    qint64 readData(char* data, qint64 max) override
    {
        const qint64 n = std::min(max, m_bytes.size() - pos());
        std::memcpy(data, m_bytes.constData() + pos(), size_t(std::max<qint64>(0, n)));
        bytesRead += std::max<qint64>(0, n);
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_bytes;
};

} // namespace

class TestPlayers : public QObject {
    Q_OBJECT

private slots:
    // Pins the header, the page's full starting state in its order and byte values, and the links.
    void onePageStreamBytes()
    {
        Recording rec;
        rec.filer.OnPrint = [](TBaseReport& r) { r.TextLeftAt("Hi", 1); };
        rec.filer.Run();
        Bytes b;
        b.u8(81).i32(1).i32(1).i32(std::numeric_limits<int>::max()).f32(8.5f).f32(11);
        b.f32(0).f32(0).f32(0).f32(0).u8(0).i32(1).i32(0).i32(0).i32(0).text("");
        QCOMPARE(b.data.size(), 55);
        b.u8(80).i32(0).i32(0).i32(1).u8(0);
        b.u8(41).i32(0).u8(42).u8(1).u8(43).u8(0);
        b.u8(51).text("Arial").u8(52).i32(0).u8(53).u8(0).u8(54).f32(float(10.0 / 72)).u8(55).u8(0);
        b.u8(57).u8(0).u8(56).u8(0).u8(58).u8(0);
        b.u8(71).i32(0).u8(72).u8(4).u8(73).u8(0).u8(74).f32(0);
        b.u8(28).f32(100).u8(29).f32(100).u8(26).u8(0).u8(27).i32(0xffffff);
        b.u8(24).f32(float(1.0 / 6 - 10.0 / 72 * 0.25)).text("Hi").f32(1);
        b.u8(82);
        QCOMPARE(rec.buffer.data().toHex(' '), b.data.toHex(' '));
    }

    // What the player hands its canvas is what the engine drew, state included; raw data is skipped.
    void recordThenReplay()
    {
        Logged<DirectCanvas> direct;
        Recording rec;
        for (TBaseReport* report :
             {static_cast<TBaseReport*>(&direct), static_cast<TBaseReport*>(&rec.filer)})
            report->OnPrintPage = [](TBaseReport& r) {
                body(r);
                return r.PageNumber() < 2;
            };
        direct.Run();
        rec.filer.Run();
        ReplayCanvas replay;
        replay.replayAll(rec.buffer.data());
        QStringList expected = direct.log;
        QCOMPARE(expected.removeIf([](const QString& line) { return line.startsWith("raw"); }), 2);
        QCOMPARE(replay.log, expected);
    }

    void positioningRecordsEveryCharacter_data()
    {
        QTest::addColumn<int>("justify");
        QTest::addColumn<double>("start");
        QTest::newRow("left") << int(pjLeft) << 2.0;
        QTest::newRow("centre") << int(pjCenter) << 1.85;
        QTest::newRow("right") << int(pjRight) << 1.7;
    }

    void positioningRecordsEveryCharacter()
    {
        QFETCH(int, justify);
        QFETCH(double, start);
        Recording rec;
        rec.filer.SetAccuracyMethod(amPositioning);
        double cursor = 0;
        rec.filer.OnPrint = [&](TBaseReport& r) {
            r.AddTabStop(2 - (justify == pjLeft     ? 0
                              : justify == pjCenter ? 0.5
                                                    : 1),
                         Justify(justify), 1, 0, 0, 0);
            r.WriteText("\tabc");
            cursor = r.XPos();
        };
        rec.filer.Run();
        ReplayCanvas replay;
        replay.replayAll(rec.buffer.data());
        QCOMPARE(replay.log.size(), 3);
        for (int i = 0; i < 3; ++i)
            QVERIFY2(replay.log[i].startsWith(QString("text 0 %1 ").arg(num(start + 0.1 * i))),
                     qPrintable(replay.log[i]));
        // The cursor ends as for a whole text: after it, half its width past the centre, at the right end.
        const double expectedCursor = justify == pjLeft ? 2.3 : justify == pjCenter ? 2.15 : 2.0;
        QVERIFY(std::abs(cursor - expectedCursor) < 1e-3);
    }

    // The stream holds the pages from FirstPage on; an abort still closes the page it began.
    void recordedPages_data()
    {
        QTest::addColumn<int>("firstPage");
        QTest::addColumn<int>("abortOnPage");
        QTest::addColumn<QList<int>>("pages");
        QTest::newRow("all") << 1 << 0 << QList<int>{1, 2, 3, 4};
        QTest::newRow("from page 3") << 3 << 0 << QList<int>{3, 4};
        QTest::newRow("aborted on page 2") << 1 << 2 << QList<int>{1, 2};
    }

    void recordedPages()
    {
        QFETCH(int, firstPage);
        QFETCH(int, abortOnPage);
        QFETCH(QList<int>, pages);
        Recording rec;
        rec.filer.SetFirstPage(firstPage);
        rec.filer.OnPrintPage = [&](TBaseReport& r) {
            r.WriteLine("before");
            if (r.PageNumber() == abortOnPage)
                r.AbortReport();
            r.WriteLine("after");
            return r.PageNumber() < 4;
        };
        rec.filer.Run();
        const QByteArray bytes = rec.buffer.data();
        const stream::ReportStreamReader reader(
            std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())));
        QList<int> numbers;
        for (const stream::PageInfo& page : reader.pages()) {
            numbers << page.start.pageNumber;
            auto records = reader.records(page);
            while (records.next()) {
            }
        }
        QCOMPARE(numbers, pages);
        QCOMPARE(reader.header().pageCount, pages.size());
    }

    void rangedPrint_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<int>("copies");
        QTest::addColumn<int>("sheets");
        // The stream holds pages 3, 4 and 5 and asks for two copies; copies -1 is Run.
        QTest::newRow("run: the stream's copies") << 0 << 0 << -1 << 6;
        QTest::newRow("copies 0: the printer's") << 0 << 0 << 0 << 3;
        QTest::newRow("last page 0 prints to the end") << 4 << 0 << 1 << 2;
        QTest::newRow("numbers below the first recorded") << 1 << 4 << 1 << 2;
        QTest::newRow("one page") << 5 << 5 << 1 << 1;
        QTest::newRow("beyond the end") << 5 << 99 << 1 << 1;
        QTest::newRow("three copies") << 4 << 5 << 3 << 6;
        QTest::newRow("empty range: no job") << 5 << 4 << 1 << -1;
    }

    void rangedPrint()
    {
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(int, copies);
        QFETCH(int, sheets);
        Recording rec;
        rec.filer.SetFirstPage(3);
        rec.filer.SetCopies(2);
        rec.run(5);
        QTemporaryDir dir;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("range.pdf"));
        TFilePrinter player(printer);
        player.SetStreamMode(smUser);
        player.SetStream(&rec.buffer);
        if (copies < 0)
            player.Run();
        else
            player.Print(first, last, copies);
        QCOMPARE(pdfPages(printer.outputFileName()), sheets);
        QCOMPARE(player.PageCount(), 3);
        QVERIFY(!player.IsRunning());
    }

    void navigation_data()
    {
        QTest::addColumn<int>("firstPage");
        QTest::addColumn<int>("target");
        QTest::addColumn<int>("shown");
        QTest::newRow("page 0 shows the first") << 1 << 0 << 1;
        QTest::newRow("beyond the end shows the last") << 1 << 99 << 3;
        QTest::newRow("a page inside") << 1 << 2 << 2;
        QTest::newRow("below a later first page") << 2 << 1 << 2;
        QTest::newRow("last of a later first page") << 2 << 5 << 4;
    }

    void navigation()
    {
        QFETCH(int, firstPage);
        QFETCH(int, target);
        QFETCH(int, shown);
        Recording rec;
        rec.filer.SetFirstPage(firstPage);
        rec.run(firstPage + 2);
        Previewing view(&rec.buffer);
        auto& [box, preview] = view;
        box.resize(500, 400);
        QList<int> changes;
        preview.OnPageChange = [&](TFilePreview& p) { changes << p.PageNumber(); };
        preview.Start();
        preview.GotoPage(target);
        QCOMPARE(preview.PageNumber(), shown);
        QCOMPARE(changes, (QList<int>{firstPage, shown}));
        QCOMPARE(preview.FirstPage(), firstPage);
        preview.GotoPage(firstPage);
        preview.PrevPage();
        preview.GotoPage(firstPage + 2);
        preview.NextPage();
        QCOMPARE(changes.size(), 4); // neither step past an end showed a page
    }

    void zoomIsClamped_data()
    {
        QTest::addColumn<double>("wanted");
        QTest::addColumn<double>("zoom");
        QTest::newRow("5") << 5.0 << 10.0;
        QTest::newRow("500") << 500.0 << 200.0;
        QTest::newRow("150") << 150.0 << 150.0;
    }

    void zoomIsClamped()
    {
        QFETCH(double, wanted);
        QFETCH(double, zoom);
        Recording rec;
        rec.run();
        Previewing view(&rec.buffer);
        auto& [box, preview] = view;
        preview.Start();
        preview.SetZoomFactor(wanted);
        QCOMPARE(preview.ZoomFactor(), zoom);
        // 8.5 inches at the screen's resolution, scaled: the page was redrawn.
        QCOMPARE(preview.PageImage().width(), qRound(box.logicalDpiX() * 8.5 * zoom / 100));
    }

    void zoomToFit_data()
    {
        QTest::addColumn<int>("method");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("landscape");
        QTest::newRow("fixed margin, wide") << int(mmFixed) << QSize(700, 500) << false;
        QTest::newRow("fixed margin, tall") << int(mmFixed) << QSize(500, 900) << false;
        QTest::newRow("fixed margin, large") << int(mmFixed) << QSize(1400, 1000) << false;
        QTest::newRow("scaled margin, wide") << int(mmScaled) << QSize(700, 500) << false;
        QTest::newRow("scaled margin, tall") << int(mmScaled) << QSize(500, 900) << false;
        QTest::newRow("landscape, wide") << int(mmFixed) << QSize(900, 500) << true;
        QTest::newRow("landscape, tall") << int(mmFixed) << QSize(500, 900) << true;
    }

    void zoomToFit()
    {
        QFETCH(int, method);
        QFETCH(QSize, size);
        QFETCH(bool, landscape);
        Recording rec;
        if (landscape)
            rec.filer.SetOrientation(poLandScape);
        rec.run();
        Previewing view(&rec.buffer);
        auto& [box, preview] = view;
        box.resize(size);
        preview.SetMarginMethod(MarginMethod(method));
        preview.SetMarginPercent(2.5);
        preview.Start();
        const QSize room = box.size() - 2 * QSize(box.frameWidth(), box.frameWidth());
        const int scrollBar = box.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        preview.ZoomPage();
        QWidget* pages = box.widget();
        QCOMPARE(pages->width() > pages->height(), landscape);
        QVERIFY(pages->width() <= room.width() && pages->height() <= room.height());
        QVERIFY(pages->height() >= room.height() - 2 || pages->width() >= room.width() - 2);
        preview.ZoomPageWidth();
        // A page taller than the room brings the vertical scroll bar, which takes some of the width.
        const int width = pages->height() > room.height() ? room.width() - scrollBar : room.width();
        QVERIFY(pages->width() <= width);
        QVERIFY(pages->width() >= width - 2);
    }

    // Qt draws fonts at whole pixel sizes; a preview drawing 8 points at 96 dpi
    // as 11 pixels made long titles run into the next column.
    void textRunsEndWhereMeasured_data()
    {
        QTest::addColumn<int>("points");
        QTest::newRow("8 pt") << 8;
        QTest::newRow("11 pt") << 11;
        QTest::newRow("14 pt") << 14;
    }

    void textRunsEndWhereMeasured()
    {
        QFETCH(int, points);
        const QString title = "Smith and Wesson: The Annotated Collected Works, Volume Three";
        TReportFiler filer(nullptr);
        QBuffer buffer;
        buffer.open(QIODevice::ReadWrite);
        filer.SetStreamMode(smUser);
        filer.SetStream(&buffer);
        double width = 0;
        filer.OnPrintPage = [&](TBaseReport& r) {
            r.SelectFont("Arial", points);
            width = r.MeasureText(title);
            r.TextLeftAt(title, 1);
            return false;
        };
        filer.Run();
        Previewing view(&buffer);
        auto& [box, preview] = view;
        preview.Start();
        const QImage page = preview.PageImage().convertToFormat(QImage::Format_RGB32);
        const double dpi = box.logicalDpiX() * page.devicePixelRatio();
        int right = -1;
        for (int y = 1; y < page.height() - 1; ++y)
            for (int x = 1; x < page.width() - 1; ++x)
                if (qGray(page.pixel(x, y)) < 160)
                    right = std::max(right, x);
        const double end = (1 + width) * dpi;
        QVERIFY2(right <= std::ceil(end),
                 qPrintable(QString("ink to %1, measured end %2").arg(right).arg(end)));
        QVERIFY2(right >= end - 0.03 * dpi,
                 qPrintable(QString("ink to %1, measured end %2").arg(right).arg(end)));
    }

    // A long report is read page by page: the whole file never comes into memory.
    void previewReadsOnlyThePagesShown()
    {
        Recording rec;
        rec.filer.OnPrintPage = [](TBaseReport& r) {
            for (int line = 0; line < 40; ++line)
                r.WriteLine(QString("page %1 line %2 of a report long enough").arg(r.PageNumber()).arg(line));
            return r.PageNumber() < 300;
        };
        rec.filer.Run();
        CountingDevice device(rec.buffer.data());
        Previewing view(&device);
        auto& [box, preview] = view;
        preview.Start();
        preview.GotoPage(300);
        QCOMPARE(preview.PageCount(), 300);
        QCOMPARE(preview.PageNumber(), 300);
        QVERIFY2(device.bytesRead < device.size() / 20,
                 qPrintable(QString("%1 of %2 bytes read").arg(device.bytesRead).arg(device.size())));
    }

    void monochrome()
    {
        Recording rec;
        rec.run();
        Previewing view(&rec.buffer);
        auto& [box, preview] = view;
        preview.SetMonochrome(true);
        preview.Start();
        QCOMPARE(preview.PageImage().format(), QImage::Format_Mono);
        preview.SetMonochrome(false);
        preview.RedrawPage();
        QCOMPARE(preview.PageImage().format(), QImage::Format_RGB32);
    }

    // Black and white as a one-bit printer maps colours: each shade goes to the
    // nearer of the two, with no dither pattern.
    void monochromeShades_data()
    {
        QTest::addColumn<int>("shade");
        QTest::addColumn<bool>("black");
        QTest::newRow("10 %") << 10 << false;
        QTest::newRow("40 %") << 40 << false;
        QTest::newRow("60 %") << 60 << true;
    }

    void monochromeShades()
    {
        QFETCH(int, shade);
        QFETCH(bool, black);
        Recording rec;
        rec.filer.OnPrintPage = [shade](TBaseReport& r) {
            r.AddTabStop(1, pjLeft, 3, 0, 0, shade);
            r.WriteLine("\t");
            return false;
        };
        rec.filer.Run();
        Previewing view(&rec.buffer);
        auto& [box, preview] = view;
        preview.SetMonochrome(true);
        preview.Start();
        const QImage page = preview.PageImage().convertToFormat(QImage::Format_RGB32);
        const double dpi = box.logicalDpiX() * page.devicePixelRatio();
        // Inside the cell: from 1.2 to 3.8 inches across, just above the first baseline.
        int dark = 0;
        int all = 0;
        const int y = int(rec.filer.MarginTop() * dpi + 2);
        for (int x = int(1.2 * dpi); x < int(3.8 * dpi); ++x, ++all)
            dark += qGray(page.pixel(x, y + int(0.05 * dpi))) < 128;
        QCOMPARE(dark, black ? all : 0);
    }

    // Damage is reported with the user's message, never a crash; nothing is left behind.
    void damagedStream_data()
    {
        QTest::addColumn<int>("cut");
        QTest::addColumn<int>("badByte");
        QTest::newRow("truncated in the header") << 30 << -1;
        QTest::newRow("truncated inside the page") << -10 << -1;
        QTest::newRow("unknown record code") << 0 << 55 + 14;
    }

    void damagedStream()
    {
        QFETCH(int, cut);
        QFETCH(int, badByte);
        Recording rec;
        QByteArray bytes = rec.run();
        if (cut)
            bytes.truncate(cut > 0 ? cut : bytes.size() + cut);
        if (badByte >= 0)
            bytes[badByte] = char(99);
        QBuffer damaged(&bytes);
        damaged.open(QIODevice::ReadOnly);

        Previewing view(&damaged);
        auto& [box, preview] = view;
        try {
            preview.Start();
            QFAIL("no error");
        } catch (const stream::StreamError& e) {
            QCOMPARE(QString(e.what()), QString(stream::kUnexpectedCode));
        }
        QVERIFY(!preview.IsRunning());
        QVERIFY(!box.widget());

        QTemporaryDir dir;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("damaged.pdf"));
        TFilePrinter player(printer);
        player.SetStreamMode(smUser);
        player.SetStream(&damaged);
        QVERIFY_THROWS_EXCEPTION(stream::StreamError, player.Run());
        QVERIFY(!QFile::exists(printer.outputFileName()));
        QVERIFY(!player.IsRunning());
    }

    void callsOutOfState()
    {
        TFilePreview preview;
        QVERIFY_THROWS_EXCEPTION(ReportError, preview.GotoPage(1));
        try {
            preview.Start();
            QFAIL("started without a scroll box");
        } catch (const ReportError& e) {
            QCOMPARE(QString(e.what()), QString(kNoScrollBox));
        }
        Recording rec;
        rec.run();
        QScrollArea box;
        preview.SetScrollBox(&box);
        preview.SetStreamMode(smUser);
        preview.SetStream(&rec.buffer);
        preview.Start();
        QVERIFY_THROWS_EXCEPTION(ReportError, preview.Start());
        preview.Stop();
        QVERIFY(!box.widget());

        rec.filer.OnPrint = [](TBaseReport& r) {
            r.CopyRect(QRectF(0, 0, 1, 1), QImage(1, 1, QImage::Format_RGB32), QRect());
        };
        try {
            rec.filer.Run();
            QFAIL("CopyRect was recorded");
        } catch (const ReportError& e) {
            QCOMPARE(QString(e.what()), QString("CopyRect() not supported in file mode."));
        }
    }

    void streamThatCannotOpen()
    {
        TReportFiler filer(nullptr);
        filer.SetStreamMode(smFile);
        filer.SetFileName("/nonexistent-dir/report.rpt");
        QStringList messages;
        filer.showMessage = [&](const QString& m) { messages << m; };
        bool printed = false;
        filer.OnPrint = [&](TBaseReport&) { printed = true; };
        filer.Run();
        QCOMPARE(messages, QStringList("Error initializing stream \"/nonexistent-dir/report.rpt\""));
        QVERIFY(!printed);
    }
};

REGISTER_TEST(TestPlayers)
#include "tst_players.moc"
