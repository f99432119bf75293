#include "TestRegistry.h"
#include "reports/definition/BuiltInReports.h"
#include "reports/design/DesignRules.h"
#include "reports/design/LayoutGeometry.h"
#include "reports/design/LineNormaliser.h"
#include "reports/design/ReportFontChoice.h"

#include <QFontDatabase>
#include <QTest>

using namespace reports;

namespace {

using Widths = QList<int>;

ReportLine lineOf(const Widths& widths)
{
    ReportLine line;
    for (int i = 0; i < widths.size(); ++i)
        line[std::size_t(i)].width = widths[i];
    return line;
}

Widths widthsOf(const ReportLine& line)
{
    Widths out;
    for (const ReportItem& item : line)
        out << item.width;
    while (!out.isEmpty() && out.back() == 0)
        out.removeLast();
    return out;
}

} // namespace

class TestReportDesign : public QObject {
    Q_OBJECT

private slots:
    void normalise_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<Widths>("before");
        QTest::addColumn<bool>("nextOnly");
        QTest::addColumn<Widths>("after");
        QTest::newRow("a zero width takes the rest") << 90 << Widths{30} << false << Widths{30, 60};
        QTest::newRow("report 1, item 3 set to 20")
            << 90 << Widths{59, 5, 20} << false << Widths{59, 5, 20, 6};
        QTest::newRow("90 to 150") << 150 << Widths{50, 40} << true << Widths{50, 40, 60};
        QTest::newRow("item 1 set to 999") << 90 << Widths{999, 5, 27} << false << Widths{90};
        QTest::newRow("150 to 90") << 90 << Widths{60, 60, 30} << false << Widths{60, 30};
        QTest::newRow("a negative width counts as 0") << 90 << Widths{30, -5, 20} << false << Widths{30, 60};
        QTest::newRow("120 or 150 clears the next item only")
            << 150 << Widths{50, 40, 0, 30, 25} << true << Widths{50, 40, 60, 0, 25};
        Widths ones(20, 1);
        Widths filled = ones;
        filled[19] = 71;
        QTest::newRow("item 20 takes the shortfall") << 90 << ones << false << filled;
    }
    void normalise()
    {
        QFETCH(int, width);
        QFETCH(Widths, before);
        QFETCH(bool, nextOnly);
        ReportLine line = lineOf(before);
        normaliseLine(line, width, nextOnly ? LineTail::NextOnly : LineTail::Cleared);
        QTEST(widthsOf(line), "after");
    }

    // A field cut off by a switch to 90 comes back with its name when switching back. Intended.
    void revivedItemsKeepTheirNames()
    {
        ReportDefinition d = builtInReports()[0];
        QCOMPARE(widthsOf(d.lines[0]).mid(0, 3), (Widths{59, 5, 27}));
        d.width = 150;
        d.lineCount = 1;
        d.lines[0] = lineOf({60, 60, 30});
        d.lines[0][2].name = "Author";
        d.lines[0][2].number = 2;
        d.lines[1] = lineOf({100}); // beyond the line count: left alone
        switchWidth(d, 90);
        QCOMPARE(widthsOf(d.lines[0]), (Widths{60, 30}));
        QCOMPARE(d.fonts[2].size, 10);
        switchWidth(d, 150);
        QCOMPARE(widthsOf(d.lines[0]), (Widths{60, 30, 60}));
        QCOMPARE(d.lines[0][2].name, "Author");
        QCOMPARE(d.lines[0][2].number, 2);
        QCOMPARE(widthsOf(d.lines[1]), Widths{100});
    }

    void margins_data()
    {
        QTest::addColumn<QStringList>("texts"); // top, bottom, left, right
        QTest::addColumn<bool>("landscape");
        QTest::addColumn<int>("refused"); // the margin refused, -1 none
        QTest::newRow("defaults") << QStringList{"0.50", "0.50", "0.50", "0.50"} << false << -1;
        QTest::newRow("not a number") << QStringList{"0.5", "abc", "0.5", "0.5"} << false << 1;
        QTest::newRow("empty") << QStringList{"0.5", "0.5", "", "0.5"} << false << 2;
        QTest::newRow("negative") << QStringList{"0.5", "0.5", "0.5", "-0.1"} << false << 3;
        QTest::newRow("nan") << QStringList{"nan", "0.5", "0.5", "0.5"} << false << 0;
        QTest::newRow("inf") << QStringList{"0.5", "0.5", "inf", "0.5"} << false << 2;
        QTest::newRow("sides of 8 in") << QStringList{"0.5", "0.5", "4", "4"} << false << 2;
        QTest::newRow("sides under 8 in") << QStringList{"0.5", "0.5", "4", "3.99"} << false << -1;
        QTest::newRow("no body in portrait") << QStringList{"5.5", "5", "0.5", "0.5"} << false << 0;
        QTest::newRow("a body in portrait") << QStringList{"4", "4", "0.5", "0.5"} << false << -1;
        QTest::newRow("no body in landscape") << QStringList{"4", "4", "0.5", "0.5"} << true << 0;
    }
    void margins()
    {
        QFETCH(QStringList, texts);
        QFETCH(bool, landscape);
        std::array<std::optional<double>, 4> values;
        for (std::size_t i = 0; i < 4; ++i)
            values[i] = readNumber(texts[int(i)].toStdString());
        const std::optional<MarginProblem> problem = checkMargins(values, landscape);
        QTEST(problem ? int(problem->margin) : -1, "refused");
    }

    void textTheFileCanHold_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("bad");
        QTest::newRow("Windows-1252") << QString("Café € “quoted”") << QString();
        QTest::newRow("Greek") << QString("Ωmega") << QString("Ω");
        QTest::newRow("tab") << QString("a\tb") << QString("\t");
        QTest::newRow("C1 control") << QString("a") + QChar(0x81) << QString(QChar(0x81));
    }
    void textTheFileCanHold()
    {
        QFETCH(QString, text);
        const std::optional<std::string> bad = unholdableCharacter(text.toStdString());
        QTEST(bad ? QString::fromStdString(*bad) : QString(), "bad");
    }

    // At factor 1.25: area 5..786, rows of 25 from 93, the totals band 443..468.
    void positionOnBoxEdges_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<bool>("totals");
        QTest::addColumn<int>("line"); // 0: nothing
        QTest::addColumn<int>("item");
        QTest::newRow("left of the area") << 4 << 93 << true << 0 << 0;
        QTest::newRow("first pixel") << 5 << 93 << true << 1 << 1;
        QTest::newRow("last pixel of box 1") << 264 << 117 << true << 1 << 1;
        QTest::newRow("first pixel of box 2") << 265 << 117 << true << 1 << 2;
        QTest::newRow("last pixel of the line") << 785 << 118 << true << 2 << 2;
        QTest::newRow("right edge") << 786 << 118 << true << 0 << 0;
        QTest::newRow("above the rows") << 100 << 92 << true << 0 << 0;
        QTest::newRow("below the last line") << 100 << 143 << true << 0 << 0;
        QTest::newRow("above the totals") << 100 << 442 << true << 0 << 0;
        QTest::newRow("totals top") << 100 << 443 << true << 100 << 1;
        QTest::newRow("totals bottom") << 785 << 468 << true << 100 << 2;
        QTest::newRow("below the totals") << 100 << 469 << true << 0 << 0;
        QTest::newRow("totals hidden") << 100 << 443 << false << 0 << 0;
    }
    void positionOnBoxEdges()
    {
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(bool, totals);
        ReportDefinition d;
        d.lineCount = 2;
        d.lines[0] = d.lines[1] = d.totals = lineOf({30, 60});
        const LayoutGeometry geometry(1.25);
        const std::optional<LayoutPosition> at = geometry.position(x, y, d, 90, totals);
        QTEST(at ? at->line : 0, "line");
        QTEST(at ? at->item : 0, "item");
    }

    // Stored widths past the report width are drawn up to the edge, not beyond.
    void boxesOfAnOverlongLine()
    {
        const LayoutGeometry geometry(1.0);
        const std::vector<LayoutBox> boxes = geometry.boxes(lineOf({80, 80, 20}), 90);
        QCOMPARE(boxes.size(), std::size_t(3));
        QCOMPARE(boxes[0].x1, 4 + 625 * 80 / 90);
        QCOMPARE(boxes[1].x1, 629);
        QCOMPARE(boxes[2].x0, 629);
        QCOMPARE(boxes[2].x1, 629);
    }

    void chosenFonts()
    {
        ReportFontBlock block{"Arial", 8, false, false, false, false, 0x0000FF};
        // Confirming the preset unchanged keeps the Windows name.
        QFont preset = blockFont(block);
        preset.setPointSizeF(11.6);
        preset.setBold(true);
        QVERIFY(storeChosenFont(preset, 96, block).isEmpty());
        QCOMPARE(block.name, "Arial");
        QCOMPARE(block.size, 12);
        QVERIFY(block.bold);
        QCOMPARE(blockColour(block), QColor(Qt::red));

        QFont pixels(QStringLiteral("Courier New"));
        pixels.setPixelSize(16);
        QVERIFY(storeChosenFont(pixels, 96, block).isEmpty());
        QCOMPARE(block.name, "Courier New");
        QCOMPARE(block.size, 12);

        const ReportFontBlock before = block;
        QVERIFY(storeChosenFont(QFont(QStringLiteral("Ωmega Sans")), 96, block).contains("Ωmega Sans"));
        QCOMPARE(block, before);
    }
};

REGISTER_TEST(TestReportDesign)
#include "tst_reportdesign.moc"
