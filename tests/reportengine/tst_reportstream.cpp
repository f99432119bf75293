#include "TestRegistry.h"
#include "reportengine/stream/ReportStreamReader.h"
#include "reportengine/stream/ReportStreamWriter.h"
#include "reportengine/stream/StreamError.h"
#include "reportengine/stream/StreamFile.h"

#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <functional>
#include <limits>

using namespace reportengine::stream;
using Bytes = std::vector<std::uint8_t>;

Q_DECLARE_METATYPE(Bytes)

namespace {

Bytes fromHex(const char* hex)
{
    const QByteArray raw = QByteArray::fromHex(hex);
    return Bytes(raw.begin(), raw.end());
}

QByteArray hex(const Bytes& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())).toHex(' ');
}

ReportHeader letterHeader(std::int32_t firstPage = 1)
{
    ReportHeader header;
    header.pageCount = 99; // the writer must ignore it
    header.firstPage = firstPage;
    header.lastPage = std::numeric_limits<std::int32_t>::max();
    header.deviceName = "PDF";
    return header;
}

DrawState plainState()
{
    DrawState state;
    state.font.height = 0.125f;
    return state;
}

// Every record of every page, in stream order.
std::vector<Record> readAll(const Bytes& bytes)
{
    ReportStreamReader reader(bytes);
    std::vector<Record> out;
    for (const PageInfo& page : reader.pages()) {
        PageRecords records = reader.records(page);
        while (auto record = records.next())
            out.push_back(std::move(*record));
    }
    return out;
}

// The first record of the page that is not a state record.
Record firstDrawing(PageRecords records)
{
    DrawState state;
    for (;;) {
        Record record = *records.next();
        if (!applyRecord(state, record))
            return record;
    }
}

// The user message and the detail the whole stream raises; empty when it reads cleanly.
std::pair<std::string, std::string> readError(const Bytes& bytes)
{
    try {
        readAll(bytes);
    } catch (const StreamError& e) {
        return {e.what(), e.detail()};
    }
    return {};
}

std::int32_t int32At(const Bytes& bytes, std::size_t at)
{
    std::int32_t value;
    std::memcpy(&value, &bytes[at], 4);
    return value;
}

void putInt32At(Bytes& bytes, std::size_t at, std::int32_t value)
{
    std::memcpy(&bytes[at], &value, 4);
}

std::vector<Record> everyRecordKind()
{
    const Point a{0.5f, 1.25f}, b{-2, 3}, c{4, 5.5f}, d{6, 7};
    const Rect r{a, c};
    const Graphic g{GraphicKind::Metafile, {1, 2, 3, 0, 255}};
    std::vector<Record> all;
    auto add = [&](auto... records) { (all.emplace_back(std::move(records)), ...); };
    add(Arc{{a, b, c, d}}, BrushCopy{g, r, {b, d}, rgb(1, 2, 3)}, Chord{{d, c, b, a}},
        CopyRect{r, 7, {d, a}});
    add(DrawGraphic{g, b}, FocusRect{r}, Ellipse{{b, c}}, FillRect{r}, FloodFill{a, rgb(9, 8, 7), 1});
    add(FrameRect{r}, LineTo{c}, MoveTo{d}, Pie{{a, a, b, b}}, Polygon{{a, b, c}}, Polyline{{}});
    add(PrintBitmap{g, a, 2, 0.5f}, PrintBitmapRect{g, r}, Rectangle{r}, TabRectangle{{d, c}});
    add(RoundRect{r, 0.25f, 0.125f}, StretchGraphic{{GraphicKind::Icon, {}}, r}, TextInRect{r, b, "in"});
    add(TextCentred{1, "centre", 4.25f}, TextLeft{2, "", 0}, TextRight{3, std::string(255, '\xe9'), 8});
    add(SetBackgroundMode{BackgroundMode::Opaque}, SetBackgroundColour{rgb(200, 100, 50)}, SetScaleX{50});
    add(SetScaleY{150}, RawPrinterData{"\033E"}, SetWholeBrush{rgb(5, 5, 5), BrushStyle::DiagCross, g});
    add(SetBrushColour{rgb(0, 0, 255)}, SetBrushStyle{BrushStyle::Solid}, SetBrushBitmap{g});
    add(SetWholeFont{"Courier New", 3, FontPitch::Fixed, 0.2f, true, false, true, false});
    add(SetFontName{"Times New Roman"}, SetFontColour{rgb(255, 0, 0)}, SetFontPitch{FontPitch::Variable});
    add(SetFontHeight{0.5f}, SetBold{true}, SetUnderline{true}, SetItalic{true}, SetStrikeOut{true});
    add(SetWholePen{4, PenMode::Xor, PenStyle::DashDotDot, 0.01f}, SetPenColour{rgb(0, 255, 0)});
    add(SetPenMode{PenMode::NotXor}, SetPenStyle{PenStyle::InsideFrame}, SetPenWidth{0.02f});
    return all;
}

// Two pages; offsets of the records the bad-input cases damage.
struct Sample {
    Bytes bytes;
    std::size_t page1 = 0, page2 = 0, text = 0, polygon = 0, graphic = 0, style = 0, flag = 0;
};

Sample twoPages()
{
    Sample s;
    ReportStreamWriter w;
    w.writeHeader(letterHeader());
    s.page1 = w.beginPage(1, Orientation::Portrait, plainState());
    s.text = w.bytes().size();
    w.write(TextLeft{1, "Hi", 0.5f});
    s.polygon = w.bytes().size();
    w.write(Polygon{{{1, 1}, {2, 2}}});
    w.endPage();
    s.page2 = w.beginPage(2, Orientation::Landscape, plainState());
    s.graphic = w.bytes().size();
    w.write(DrawGraphic{{GraphicKind::Bitmap, {7, 7}}, {1, 1}});
    s.style = w.bytes().size();
    w.write(SetBrushStyle{BrushStyle::Solid});
    s.flag = w.bytes().size();
    w.write(SetBold{true});
    w.finish();
    s.bytes = w.takeBytes();
    return s;
}

} // namespace

class TestReportStream : public QObject {
    Q_OBJECT

private slots:
    void onePageExactBytes()
    {
        ReportStreamWriter w;
        w.writeHeader(letterHeader());
        QCOMPARE(w.beginPage(1, Orientation::Portrait, plainState()), std::size_t(58));
        w.write(TextLeft{1, "Hi", 0.5f});
        w.endPage();
        w.finish();
        const Bytes expected = fromHex(
            // header: count 1, pages 1..max, 8.5 x 11, no borders, portrait, 1 copy, 0 0 0, "PDF"
            "51 01000000 01000000 ffffff7f 00000841 00003041 00000000 00000000 00000000 00000000"
            "00 01000000 00000000 00000000 00000000 03 504446"
            // page 1 at 58, no links, portrait
            "50 00000000 00000000 01000000 00"
            // brush: black, clear, no bitmap
            "29 00000000 2a 01 2b 00"
            // font: Arial, black, default pitch, 0.125 in, bold italic underline strike-out off
            "33 05 417269616c 34 00000000 35 00 36 0000003e 37 00 39 00 38 00 3a 00"
            // pen: black, copy, solid, width 0; scales 100 %; transparent on white
            "47 00000000 48 04 49 00 4a 00000000 1c 0000c842 1d 0000c842 1a 00 1b ffffff00"
            // text left: baseline 1.0, "Hi", x 0.5; page end
            "18 0000803f 02 4869 0000003f 52");
        QCOMPARE(hex(w.bytes()), hex(expected));

        ReportStreamReader reader(expected);
        QCOMPARE(reader.pageCount(), 1);
        QCOMPARE(reader.header().deviceName, std::string("PDF"));
        QCOMPARE(reader.pages().front().start, (PageStart{0, 0, 1, Orientation::Portrait}));
    }

    void linksAndCountOverSeveralPages()
    {
        ReportStreamWriter w;
        w.writeHeader(letterHeader(2));
        std::vector<std::size_t> at;
        for (int page = 2; page <= 4; ++page) {
            at.push_back(w.beginPage(page, Orientation::Portrait, plainState()));
            w.write(MoveTo{{1, float(page)}});
            w.endPage();
        }
        w.finish();
        const Bytes& bytes = w.bytes();
        QCOMPARE(int32At(bytes, 1), 3);
        for (std::size_t i = 0; i < at.size(); ++i) {
            QCOMPARE(bytes[at[i]], std::uint8_t(80));
            QCOMPARE(bytes[at[i] - 1], std::uint8_t(i == 0 ? 70 : 82)); // header ends with "F"
            QCOMPARE(std::size_t(int32At(bytes, at[i] + 1)), i == 0 ? 0 : at[i - 1]);
            QCOMPARE(std::size_t(int32At(bytes, at[i] + 5)), i + 1 < at.size() ? at[i + 1] : 0);
        }

        ReportStreamReader reader(bytes);
        QCOMPARE(reader.firstPageNumber(), std::optional<std::int32_t>(2));
        QCOMPARE(reader.lastPageNumber(), std::optional<std::int32_t>(4));
        QCOMPARE(reader.page(0)->position, at[0]);
        QCOMPARE(reader.page(3)->position, at[1]);
        QCOMPARE(reader.page(99)->position, at[2]);
        QCOMPARE(std::get<MoveTo>(firstDrawing(reader.records(*reader.page(3)))).point, (Point{1, 3}));
    }

    void printRangeClampsToRecordedPages_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<int>("printedFirst");
        QTest::addColumn<int>("printedLast");
        QTest::newRow("all") << 0 << 0 << 2 << 4;
        QTest::newRow("from 1 prints page 2 once") << 1 << 3 << 2 << 3;
        QTest::newRow("last beyond the end") << 3 << 9 << 3 << 4;
        QTest::newRow("last 0 to the end") << 4 << 0 << 4 << 4;
        QTest::newRow("nothing recorded in range") << 5 << 9 << 5 << 4;
    }

    void printRangeClampsToRecordedPages()
    {
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(int, printedFirst);
        QFETCH(int, printedLast);
        ReportStreamWriter w;
        w.writeHeader(letterHeader(2));
        for (int page = 2; page <= 4; ++page) {
            w.beginPage(page, Orientation::Portrait, plainState());
            w.endPage();
        }
        w.finish();
        const PageRange range = ReportStreamReader(w.bytes()).printRange(first, last);
        QCOMPARE(range.first, printedFirst);
        QCOMPARE(range.last, printedLast);
    }

    void finishClosesAnOpenPage()
    {
        ReportStreamWriter w;
        w.writeHeader(letterHeader());
        w.beginPage(1, Orientation::Portrait, plainState());
        w.endPage();
        w.beginPage(2, Orientation::Portrait, plainState());
        w.write(LineTo{{2, 2}});
        QVERIFY_THROWS_EXCEPTION(std::logic_error, w.beginPage(3, Orientation::Portrait, plainState()));
        w.finish(); // as after an abort in the middle of page 2
        QCOMPARE(w.bytes().back(), std::uint8_t(82));
        QCOMPARE(ReportStreamReader(w.bytes()).pageCount(), 2);
        QCOMPARE(readAll(w.bytes()).size(), std::size_t(2 * 19 + 1));
        QVERIFY_THROWS_EXCEPTION(std::logic_error, w.write(LineTo{{2, 2}}));

        ReportStreamWriter none;
        none.writeHeader(letterHeader());
        none.finish();
        ReportStreamReader empty(none.bytes());
        QCOMPARE(empty.pageCount(), 0);
        QVERIFY(!empty.page(1));
        QVERIFY(empty.printRange(0, 0).empty());
    }

    void everyRecordKindReadsBack()
    {
        ReportStreamWriter w;
        w.writeHeader(letterHeader());
        w.beginPage(1, Orientation::Portrait, plainState());
        const std::vector<Record> records = everyRecordKind();
        QCOMPARE(records.size(), std::variant_size_v<Record>);
        for (const Record& record : records)
            w.write(record);
        w.finish();

        std::vector<Record> read = readAll(w.bytes());
        QCOMPARE(read.size(), 19 + records.size());
        QCOMPARE(codeOf(read.front()), RecordCode::BrushColour);
        QCOMPARE(codeOf(read[18]), RecordCode::BackgroundColour);
        QVERIFY(std::equal(records.begin(), records.end(), read.begin() + 19));

        DrawState replayed;
        for (const Record& record : read)
            applyRecord(replayed, record);
        QCOMPARE(replayed, w.state());
        QCOMPARE(replayed.font.name, std::string("Times New Roman"));
        QCOMPARE(replayed.pen.mode, PenMode::NotXor);
    }

    void stateChangesWriteOnlyChangedItemsInOrder()
    {
        ReportStreamWriter w;
        w.writeHeader(letterHeader());
        w.beginPage(1, Orientation::Portrait, plainState());
        const std::size_t before = w.bytes().size();
        DrawState changed = plainState();
        changed.pen.width = 0.5f;
        changed.font.underline = true;
        changed.font.italic = true;
        changed.brush.colour = rgb(255, 0, 0);
        w.updateState(changed);
        w.updateState(changed);
        const Bytes appended(w.bytes().begin() + std::ptrdiff_t(before), w.bytes().end());
        QCOMPARE(hex(appended), hex(fromHex("29 ff000000 39 01 38 01 4a 0000003f")));
    }

    void longTextsAreSplitNotCut()
    {
        ReportStreamWriter w;
        w.writeHeader(letterHeader());
        w.beginPage(1, Orientation::Portrait, plainState());
        const std::string text = std::string(255, 'a') + std::string(45, 'b');
        int measured = 0;
        w.writeText(TextAlign::Right, 2, text, 5, [&](std::string_view piece) {
            ++measured;
            return 0.1 * double(piece.size());
        });
        w.writeText(TextAlign::Centre, 3, "short", 4, nullptr);
        w.write(RawPrinterData{std::string(600, 'x')});
        QVERIFY_THROWS_EXCEPTION(StreamError, w.write(TextLeft{1, std::string(256, 'c'), 0}));
        w.finish();

        const std::vector<Record> read = readAll(w.bytes());
        QCOMPARE(read.size(), std::size_t(19 + 2 + 1 + 3));
        const auto& first = std::get<TextLeft>(read[19]);
        const auto& second = std::get<TextLeft>(read[20]);
        QCOMPARE(first.text + second.text, text);
        QCOMPARE(first.x, -25.0f);
        QCOMPARE(second.x, 0.5f); // -25 + 255 x 0.1
        QCOMPARE(measured, 2);
        QCOMPARE(std::get<TextCentred>(read[21]).text, std::string("short"));
        QCOMPARE(std::get<RawPrinterData>(read[24]).value, std::string(90, 'x'));
    }

    // A text that fits one record is encoded straight from its parts: the
    // bytes, and the refusals of values a reader would not take, are those of the record.
    void textIsEncodedAsItsRecord_data()
    {
        QTest::addColumn<int>("align");
        QTest::addColumn<float>("y");
        QTest::addColumn<std::string>("text");
        QTest::addColumn<float>("x");
        const float nan = std::numeric_limits<float>::quiet_NaN();
        QTest::newRow("left") << int(TextAlign::Left) << 1.25f << std::string("Smith, John") << 0.52f;
        QTest::newRow("centred") << int(TextAlign::Centre) << 10.5f << std::string("TOTALS") << 4.25f;
        QTest::newRow("right, high bytes")
            << int(TextAlign::Right) << 3.0f << std::string("\x80 \xe9t\xe9") << 8.0f;
        QTest::newRow("empty") << int(TextAlign::Left) << 0.0f << std::string() << -1.5f;
        QTest::newRow("255 bytes") << int(TextAlign::Centre) << 2.0f << std::string(255, 'w') << 1.0f;
        QTest::newRow("baseline not a number") << int(TextAlign::Left) << nan << std::string("a") << 1.0f;
        QTest::newRow("x too large") << int(TextAlign::Right) << 1.0f << std::string("a") << 2e6f;
    }

    void textIsEncodedAsItsRecord()
    {
        QFETCH(int, align);
        QFETCH(float, y);
        QFETCH(std::string, text);
        QFETCH(float, x);
        ReportStreamWriter direct;
        ReportStreamWriter viaRecord;
        for (ReportStreamWriter* w : {&direct, &viaRecord}) {
            w->writeHeader(letterHeader());
            w->beginPage(1, Orientation::Portrait, plainState());
        }
        const Record record = align == int(TextAlign::Left)     ? Record(TextLeft{y, text, x})
                              : align == int(TextAlign::Centre) ? Record(TextCentred{y, text, x})
                                                                : Record(TextRight{y, text, x});
        const Bytes before = direct.bytes();
        const auto unmeasured = [](std::string_view) -> double { throw std::logic_error("measured"); };
        bool refused = false;
        try {
            viaRecord.write(record);
        } catch (const StreamError&) {
            refused = true;
        }
        if (refused) {
            QVERIFY_THROWS_EXCEPTION(StreamError, direct.writeText(TextAlign(align), y, text, x, unmeasured));
            QCOMPARE(direct.bytes(), before);
        } else {
            direct.writeText(TextAlign(align), y, text, x, unmeasured);
            QCOMPARE(hex(direct.bytes()), hex(viaRecord.bytes()));
        }
    }

    void unrecordableValuesAreRefused_data()
    {
        QTest::addColumn<Record>("record");
        QTest::newRow("NaN") << Record(MoveTo{{std::numeric_limits<float>::quiet_NaN(), 1}});
        QTest::newRow("infinite") << Record(SetPenWidth{std::numeric_limits<float>::infinity()});
        QTest::newRow("huge") << Record(LineTo{{1, 2e6f}});
        QTest::newRow("pen style 7") << Record(SetPenStyle{PenStyle(7)});
        QTest::newRow("graphic kind 0") << Record(DrawGraphic{{GraphicKind(0), {}}, {}});
    }

    void unrecordableValuesAreRefused()
    {
        QFETCH(Record, record);
        ReportStreamWriter w;
        w.writeHeader(letterHeader());
        w.beginPage(1, Orientation::Portrait, plainState());
        const Bytes before = w.bytes();
        QVERIFY_THROWS_EXCEPTION(StreamError, w.write(record));
        QCOMPARE(w.bytes(), before);
    }

    void badInputRaisesTheError_data()
    {
        QTest::addColumn<Bytes>("bytes");
        QTest::addColumn<QString>("reason");
        const Sample s = twoPages();
        QVERIFY(readError(s.bytes).first.empty());
        auto damaged = [&](const char* name, const char* reason, const std::function<void(Bytes&)>& damage) {
            Bytes bytes = s.bytes;
            damage(bytes);
            QTest::newRow(name) << bytes << QString(reason);
        };
        damaged("empty", "ends inside", [](Bytes& b) { b.clear(); });
        damaged("truncated header", "ends inside", [](Bytes& b) { b.resize(30); });
        damaged("truncated page", "ends inside", [&](Bytes& b) { b.resize(b.size() - 3); });
        damaged("no page end", "ends inside", [&](Bytes& b) { b.pop_back(); });
        damaged("wrong first code", "report header", [](Bytes& b) { b[0] = 80; });
        damaged("more pages counted", "fewer pages", [](Bytes& b) { putInt32At(b, 1, 3); });
        damaged("fewer pages counted", "more pages", [](Bytes& b) { putInt32At(b, 1, 1); });
        damaged("huge page count", "fewer pages", [](Bytes& b) { putInt32At(b, 1, 0x7fffffff); });
        damaged("zero paper width", "no size", [](Bytes& b) { putInt32At(b, 13, 0); });
        damaged("page links to itself", "past its page",
                [&](Bytes& b) { putInt32At(b, s.page1 + 5, std::int32_t(s.page1)); });
        damaged("page links back", "past its page", [&](Bytes& b) {
            putInt32At(b, s.page1 + 5, std::int32_t(s.page2));
            putInt32At(b, s.page2 + 5, std::int32_t(s.page1));
        });
        damaged("link not at a page start", "page start",
                [&](Bytes& b) { putInt32At(b, s.page1 + 5, std::int32_t(s.text)); });
        damaged("link past the end", "ends inside",
                [&](Bytes& b) { putInt32At(b, s.page1 + 5, 0x7ffffff0); });
        damaged("negative link", "past its page", [&](Bytes& b) { putInt32At(b, s.page1 + 5, -58); });
        damaged("wrong back link", "back link", [&](Bytes& b) { putInt32At(b, s.page2 + 1, 0); });
        damaged("pages numbered twice", "numbered", [&](Bytes& b) { putInt32At(b, s.page2 + 9, 1); });
        damaged("text past the end", "text runs", [&](Bytes& b) { b[s.text + 5] = 250; });
        damaged("point count past the end", "point count",
                [&](Bytes& b) { putInt32At(b, s.polygon + 1, 0x7fffffff); });
        damaged("negative point count", "point count", [&](Bytes& b) { putInt32At(b, s.polygon + 1, -1); });
        damaged("graphic past the end", "graphic's length",
                [&](Bytes& b) { putInt32At(b, s.graphic + 2, 1000); });
        damaged("graphic kind 9", "outside its table", [&](Bytes& b) { b[s.graphic + 1] = 9; });
        damaged("NaN real", "not finite", [&](Bytes& b) { putInt32At(b, s.text + 1, 0x7fc00000); });
        damaged("infinite real", "not finite", [&](Bytes& b) { putInt32At(b, s.text + 1, 0x7f800000); });
        damaged("brush style 8", "outside its table", [&](Bytes& b) { b[s.style + 1] = 8; });
        damaged("flag 2", "neither 0 nor 1", [&](Bytes& b) { b[s.flag + 1] = 2; });
        damaged("unknown code in a page", "inside a page", [&](Bytes& b) { b[s.style] = 99; });
        damaged("header code in a page", "inside a page", [&](Bytes& b) { b[s.style] = 81; });
        damaged("page start in a page", "inside a page", [&](Bytes& b) { b[s.style] = 80; });
    }

    void badInputRaisesTheError()
    {
        QFETCH(Bytes, bytes);
        QFETCH(QString, reason);
        const auto [message, detail] = readError(bytes);
        QCOMPARE(message, std::string(kUnexpectedCode));
        QVERIFY2(detail.find(reason.toStdString()) != std::string::npos, detail.c_str());
    }

    void trailingBytesAreIgnored()
    {
        Bytes bytes = twoPages().bytes;
        const std::size_t records = readAll(bytes).size();
        bytes.insert(bytes.end(), {99, 80, 1, 2});
        QCOMPARE(readAll(bytes).size(), records);
    }

    void manyPagesAreAllReachable()
    {
        ReportStreamWriter w;
        w.writeHeader(letterHeader());
        for (int page = 1; page <= 20000; ++page) {
            w.beginPage(page, Orientation::Portrait, plainState());
            w.write(TextLeft{1, std::to_string(page), 1});
            w.endPage();
        }
        w.finish();
        ReportStreamReader reader(w.bytes());
        QCOMPARE(reader.pageCount(), 20000);
        QCOMPARE(std::get<TextLeft>(firstDrawing(reader.records(*reader.page(20000)))).text,
                 std::string("20000"));
        // The walk from page 1 along the next links ends exactly at the last page.
        std::size_t pages = 1;
        for (auto at = int32At(w.bytes(), reader.pages().front().position + 5); at != 0;
             at = int32At(w.bytes(), std::size_t(at) + 5))
            ++pages;
        QCOMPARE(pages, std::size_t(20000));
    }

    void filesSaveAndLoad()
    {
        QTemporaryDir dir;
        const std::string path = dir.filePath("REPORT.RPT").toStdString();
        const Bytes bytes = twoPages().bytes;
        saveStreamFile(path, bytes);
        QCOMPARE(loadStreamFile(path), bytes);
        try {
            loadStreamFile(path + ".missing");
            QFAIL("a missing file was read");
        } catch (const StreamError& e) {
            QVERIFY(std::string(e.what()).find("REPORT.RPT.missing\": No such file") != std::string::npos);
        }
    }
};

REGISTER_TEST(TestReportStream)
#include "tst_reportstream.moc"
