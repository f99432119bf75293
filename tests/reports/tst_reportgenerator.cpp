#include "ReportFixture.h"
#include "TestRegistry.h"
#include "reportengine/TReportFiler.h"
#include "reports/ReportGenerator.h"
#include "reports/definition/BuiltInReports.h"

#include <QBuffer>
#include <QTest>
#include <cmath>
#include <cstring>

using namespace reports;
using namespace reportengine;

namespace {

ReportDefinition oneLine(int bodySize)
{
    ReportDefinition d = builtInReports()[0]; // Short Narrow: Title, YearPub, Author
    d.fonts[2].size = bodySize;
    return d;
}

// Runs a definition grouped by the author (field 2) unless told otherwise.
struct Run {
    LoggingEngine engine;
    BookSource source;
    ReportDefinition definition;
    ReportGenerator generator;

    Run(const ReportDefinition& d, std::vector<Book> books = fortyBooks(),
        std::array<int, 4> sort = {2, 0, 0, 0})
        : source(std::move(books)), definition(d),
          generator(definition, source, OutputMode::Preview, groupingFor(definition, sort))
    {
        generator.bind(engine);
        engine.Run();
    }

    // Each page's events: "H:caption" group header, "T"/"G" totals captions, "B:author" a book.
    QStringList events(int page) const
    {
        QStringList out;
        for (const Drawn& d : engine.drawn) {
            if (d.page != page)
                continue;
            if (d.text == "TOTALS")
                out << "T";
            else if (d.text == "GRAND TOTALS")
                out << "G";
            else if (d.text.contains(" book "))
                out << "B:" + d.text.section(' ', 0, 0);
            else if (d.centred && !d.text.isEmpty() && d.y > 1.25 + 1e-6) // below the column headers
                out << "H:" + d.text;
        }
        return out;
    }
};

// Characters 0.6 of the font's size wide, as a fixed-pitch font's; logs drawn texts' widths.
struct PitchEngine : LoggingEngine, FixedMeasurer {
    std::map<QString, double> widths;
    PitchEngine() { SetMeasurer(std::shared_ptr<PageMeasurer>(std::shared_ptr<void>(), this)); }
    double textWidth(const ReportFont& f, const QString& text) const override
    {
        return text.size() * f.height * 0.6;
    }
    void DoText(TextAlign, double, double, const QString& text) override
    {
        widths[text] = textWidth(Font(), text);
    }
};

// One book, checked out, of 1,108 pages.
struct CheckedOut : BookSource {
    CheckedOut() : BookSource(std::vector<Book>{{"Alpha", "A"}}) {}
    QString text(int field) const override { return field == 17 ? "Yes" : field == 24 ? "1,108" : QString(); }
};

} // namespace

class TestReportGenerator : public QObject {
    Q_OBJECT

private slots:
    // Over body sizes that put group boundaries at every place on a page: a
    // header never ends a page without its first book; totals that did not fit
    // open the next page before the header; the first group has none.
    void groupsAcrossPageBreaks()
    {
        bool movedHeader = false;
        bool pendingTotals = false;
        for (int size = 8; size <= 40; ++size) {
            Run run(oneLine(size));
            QVERIFY(run.generator.failure().isEmpty());
            QStringList all;
            for (int page = 1; page <= run.engine.pages; ++page) {
                const QStringList events = run.events(page);
                QVERIFY2(!events.isEmpty() && !events.back().startsWith("H:"), qPrintable(events.join(' ')));
                for (int i = 0; i < events.size(); ++i)
                    if (events[i].startsWith("H:"))
                        QCOMPARE(events.value(i + 1), "B:" + events[i].mid(2).section(' ', 0, 0));
                if (page > 1 && events.front() == "T" && events.value(1).startsWith("H:"))
                    pendingTotals = true;
                if (page > 1 && (events.front() == "T" || events.front().startsWith("H:")) &&
                    run.events(page - 1).back().startsWith("B:"))
                    movedHeader = true;
                all += events;
            }
            QCOMPARE(all.front(), "H:Austen");
            QCOMPARE(all.count("T"), 7 + 1); // before each later group, and the closing totals
            QCOMPARE(all.filter("B:").size(), 40);
            QCOMPARE(all.filter("H:").size(), 8); // Smith and SMITH are one group
            QCOMPARE(all.mid(all.size() - 2), QStringList({"T", "G"}));
        }
        QVERIFY(movedHeader);
        QVERIFY(pendingTotals);
    }

    // The group shows its first book's text, and its totals add that group's books alone.
    void groupTotalsAndFoldedKeys()
    {
        Run run(oneLine(10));
        QStringList texts;
        for (int page = 1; page <= run.engine.pages; ++page)
            texts += run.engine.page(page);
        QStringList events;
        for (int page = 1; page <= run.engine.pages; ++page)
            events += run.events(page);
        QVERIFY(events.contains("H:Smith"));
        QVERIFY(!events.contains("H:SMITH"));
        // Smith 1.25 + 2.50 and SMITH 1.25 + 2.50 + 3.75: one group of 11.25.
        const int header = int(texts.indexOf("Twain"));
        const int totals = int(texts.lastIndexOf("TOTALS", header));
        QCOMPARE(texts.mid(totals, 3), QStringList({"TOTALS", "Cost:", "11.25"}));
    }

    void zeroLinesPrintOnlyGroupsAndTotals()
    {
        ReportDefinition d = builtInReports()[7]; // Statistic/Summary
        Run run(d);
        QStringList all;
        for (int page = 1; page <= run.engine.pages; ++page)
            all += run.events(page);
        QVERIFY(all.filter("B:").isEmpty());
        QCOMPARE(all.filter("H:").size(), 8);
        QCOMPARE(all.back(), "G");
    }

    void groupingWithoutSortLevel()
    {
        Run run(oneLine(10), fortyBooks(), {0, 0, 0, 0});
        QStringList all;
        for (int page = 1; page <= run.engine.pages; ++page)
            all += run.engine.page(page);
        QVERIFY(run.events(1).filter("H:").isEmpty());
        const int totals = int(all.indexOf("TOTALS"));
        const int grand = int(all.indexOf("GRAND TOTALS"));
        QCOMPARE(all.mid(totals + 1, 8), all.mid(grand + 1, 8));
        double sum = 0;
        for (const Book& book : fortyBooks())
            sum += book.cost;
        QCOMPARE(all.value(totals + 2), QString::number(sum, 'f', 2));
    }

    void groupingLevels_data()
    {
        QTest::addColumn<bool>("level2");
        QTest::addColumn<QList<int>>("sort");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("second");
        QTest::newRow("one level") << true << QList<int>{2, 0, 0, 0} << 2 << 0;
        QTest::newRow("three levels: the last") << true << QList<int>{2, 5, 4, 0} << 2 << 4;
        QTest::newRow("four levels: the last") << true << QList<int>{2, 5, 4, 3} << 2 << 3;
        QTest::newRow("gaps") << true << QList<int>{0, 2, 0, 5} << 2 << 5;
        QTest::newRow("level 2 off") << false << QList<int>{2, 5, 4, 3} << 2 << 0;
    }

    void groupingLevels()
    {
        QFETCH(bool, level2);
        QFETCH(QList<int>, sort);
        QFETCH(int, first);
        QFETCH(int, second);
        ReportDefinition d = oneLine(10);
        d.groupLevel2 = level2;
        const Grouping g = groupingFor(d, {sort[0], sort[1], sort[2], sort[3]});
        QCOMPARE(g.level1, first);
        QCOMPARE(g.level2, second);
        d.groupLevel1 = false;
        QCOMPARE(groupingFor(d, {sort[0], sort[1], sort[2], sort[3]}).level1, 0);
    }

    // A body that cannot fit on an empty page is refused before the run,
    // and a run started all the same stops instead of printing pages without end.
    void definitionThatCannotFit_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("size");
        QTest::addColumn<double>("margin");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<bool>("stuck"); // a run started all the same would make no progress
        QTest::newRow("12 lines at 72 pt") << 12 << 72 << 0.5 << true << true;
        QTest::newRow("1 line at 144 pt: no room for group totals") << 1 << 144 << 0.5 << true << true;
        QTest::newRow("no printable width") << 1 << 10 << 4.5 << true << false;
        QTest::newRow("12 lines at 8 pt") << 12 << 8 << 0.5 << false << false;
    }

    void definitionThatCannotFit()
    {
        QFETCH(int, lines);
        QFETCH(int, size);
        QFETCH(double, margin);
        QFETCH(bool, refused);
        QFETCH(bool, stuck);
        ReportDefinition d = builtInReports()[3]; // Full Report
        d.lineCount = lines;
        d.fonts[2].size = size;
        d.marginLeft = d.marginRight = margin;
        BookSource source(fortyBooks());
        LoggingEngine engine;
        ReportGenerator generator(d, source, OutputMode::Preview, groupingFor(d, {2, 0, 0, 0}));
        generator.bind(engine);
        const std::optional<QString> refusal = generator.refusal(engine);
        QCOMPARE(refusal.has_value(), refused);
        if (refused && margin < 1)
            QVERIFY(refusal->contains(QString("%1-point").arg(size)));
        if (!stuck)
            return;
        engine.Run();
        QVERIFY(engine.WasAborted());
        QVERIFY(!generator.failure().isEmpty());
        QVERIFY(engine.pages < 10);
    }

    // Damaged records from a restored file load and run without a crash or pages without end.
    void hostileRecordsGenerate_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<QByteArray>("bytes");
        const auto le16 = [](int v) {
            QByteArray b(2, '\0');
            b[0] = char(v & 0xff);
            b[1] = char((v >> 8) & 0xff);
            return b;
        };
        QByteArray nan(8, '\0');
        const double notANumber = std::nan("");
        std::memcpy(nan.data(), &notANumber, 8);
        QTest::newRow("13 lines") << 343 << le16(13);
        QTest::newRow("width 0") << 31 << le16(0);
        QTest::newRow("field number 200") << 2122 + 31 << QByteArray(1, char(200));
        QTest::newRow("item width 32767") << 2122 + 32 << le16(32767);
        QTest::newRow("NaN margin") << 1861 << nan;
        QTest::newRow("name length 255") << 0 << QByteArray(1, char(255));
        QTest::newRow("font size 0") << 155 + 51 << le16(0);
    }

    void hostileRecordsGenerate()
    {
        QFETCH(int, offset);
        QFETCH(QByteArray, bytes);
        DefinitionBytes record = encodeDefinition(builtInReports()[3]);
        std::memcpy(record.data() + offset, bytes.constData(), std::size_t(bytes.size()));
        const ReportDefinition d = decodeDefinition(record);
        BookSource source(fortyBooks());
        LoggingEngine engine;
        ReportGenerator generator(d, source, OutputMode::Preview, groupingFor(d, {2, 0, 0, 0}));
        generator.bind(engine);
        if (generator.refusal(engine))
            return;
        engine.Run();
        QVERIFY(engine.pages > 0 && engine.pages < 100);
    }

    // Letter portrait, 0.5-inch margins, 10-point body: the column headers on
    // the body's top edge, each book one line height lower, 50 to a page.
    void shortNarrowPage()
    {
        ReportDefinition d = builtInReports()[0];
        std::vector<Book> books = fortyBooks();
        books.insert(books.end(), books.begin(), books.begin() + 20);
        Run run(d, books, {0, 0, 0, 0});
        std::vector<double> baselines;
        for (const Drawn& drawn : run.engine.drawn)
            if (drawn.page == 1 && drawn.text.contains(" book "))
                baselines.push_back(drawn.y);
        QCOMPARE(int(baselines.size()), 50);
        QCOMPARE(num(baselines.front()), num(1.25 + 1.0 / 6));
        QCOMPARE(num(baselines.back()), num(1.25 + 50.0 / 6));
    }

    void pageNumbersFlag_data()
    {
        QTest::addColumn<bool>("pageNumbers");
        QTest::newRow("on") << true;
        QTest::newRow("off") << false;
    }

    void pageNumbersFlag()
    {
        QFETCH(bool, pageNumbers);
        ReportDefinition d = oneLine(10);
        d.pageNumbers = pageNumbers;
        Run run(d);
        QCOMPARE(run.engine.page(1).contains("Page 1"), pageNumbers);
        QVERIFY(run.engine.page(1).contains("12/7/26"));
    }

    // Two pages of two books at 144 points: padding, labels, footer, form feed, CR LF.
    void textFileBytes()
    {
        ReportDefinition d = builtInReports()[0];
        d.name = "Text";
        d.useTotals = false;
        d.groupLevel1 = false;
        d.fonts[2].size = 144;
        d.titles[0] = "My Books";
        d.lines[0] = {};
        d.lines[0][0] = {"Title", 1, 10, ""};
        d.lines[0][1] = {kFiller, 0, 2, ""};
        d.lines[0][2] = {kLabel, 0, 4, "Yr"};
        d.lines[0][3] = {"YearPub", 3, 5, ""};
        std::vector<Book> books{{"Alpha", "A"}, {"A very long title", "A"}, {"Gamma", "A"}, {"Delta", "A"}};
        BookSource source(books);
        QBuffer text;
        text.open(QIODevice::WriteOnly);
        TReportFiler filer(nullptr);
        filer.SetMeasurer(std::make_shared<FixedMeasurer>());
        QBuffer discarded;
        discarded.open(QIODevice::ReadWrite);
        filer.SetStreamMode(smUser);
        filer.SetStream(&discarded);
        ReportGenerator generator(d, source, OutputMode::TextFile, groupingFor(d, {}), &text);
        generator.bind(filer);
        QVERIFY(!generator.refusal(filer));
        filer.Run();
        const QByteArray expected = "My Books\r\n"
                                    "Title           Year \r\n"
                                    "Alpha         Yr1900 \r\n"
                                    "A very lon    Yr1901 \r\n"
                                    "\r\n"
                                    "Page 1          12/7/26\f\r\n"
                                    "My Books\r\n"
                                    "Title           Year \r\n"
                                    "Gamma         Yr1902 \r\n"
                                    "Delta         Yr1903 \r\n"
                                    "\r\n"
                                    "Page 2          12/7/26\f\r\n";
        QCOMPARE(text.data(), expected);
    }

    // A value no longer than its column is printed whole, set smaller when the
    // padding leaves it too little room; a longer number shows '#' marks, never part of its digits.
    void valuesInTheirColumns_data()
    {
        QTest::addColumn<int>("report");
        QTest::addColumn<int>("pagesWidth"); // replaces Library Checkout's Checked Out item; 0 leaves it
        QTest::addColumn<QString>("printed");
        QTest::addColumn<QString>("written"); // as wide as the column
        QTest::newRow("pages too wide") << 5 << 3 << "##"
                                        << "###";
        QTest::newRow("pages that fit exactly") << 3 << 0 << "1,108"
                                                << "1,108";
        QTest::newRow("checked out, Library Checkout") << 5 << 0 << "Yes"
                                                       << "Yes";
        QTest::newRow("checked out, Full Report") << 3 << 0 << "Yes"
                                                  << "Yes";
    }

    void valuesInTheirColumns()
    {
        QFETCH(int, report);
        QFETCH(int, pagesWidth);
        QFETCH(QString, printed);
        QFETCH(QString, written);
        ReportDefinition d = builtInReports()[std::size_t(report)];
        if (pagesWidth > 0)
            d.lines[0][1] = {"Pages", 24, pagesWidth, ""};
        QBuffer text;
        text.open(QIODevice::WriteOnly);
        for (const OutputMode mode : {OutputMode::Preview, OutputMode::TextFile}) {
            CheckedOut source;
            PitchEngine engine;
            ReportGenerator generator(d, source, mode, groupingFor(d, {}), &text);
            generator.bind(engine);
            engine.Run();
            if (mode == OutputMode::Preview)
                QVERIFY(engine.widths.count(printed) &&
                        engine.widths[printed] <= written.size() * 7.5 / d.width - 0.04 + 1e-9);
        }
        QVERIFY2(text.data().contains(written.toUtf8()), text.data().constData());
    }

    // Without group headers the text file breaks pages where the print does.
    void previewAndTextPageCountsAgree()
    {
        ReportDefinition d = builtInReports()[5]; // Library Checkout, ungrouped
        const std::vector<Book> forty = fortyBooks();
        std::vector<Book> books;
        for (int i = 0; i < 7; ++i)
            books.insert(books.end(), forty.begin(), forty.end());
        int pages[2] = {};
        for (const OutputMode mode : {OutputMode::Preview, OutputMode::TextFile}) {
            BookSource source(books);
            QBuffer stream;
            stream.open(QIODevice::ReadWrite);
            QBuffer text;
            text.open(QIODevice::WriteOnly);
            TReportFiler filer(nullptr);
            filer.SetMeasurer(std::make_shared<FixedMeasurer>());
            filer.SetStreamMode(smUser);
            filer.SetStream(&stream);
            ReportGenerator generator(d, source, mode, groupingFor(d, {2, 0, 0, 0}), &text);
            generator.bind(filer);
            filer.Run();
            pages[mode == OutputMode::TextFile] =
                mode == OutputMode::TextFile ? int(text.data().count('\f')) : filer.PageNumber();
        }
        QVERIFY(pages[0] > 3);
        QCOMPARE(pages[1], pages[0]);
    }
};

REGISTER_TEST(TestReportGenerator)
#include "tst_reportgenerator.moc"
