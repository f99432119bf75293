// Developer tool, not run by CI: screenshots of the report definition, layout
// and part windows on a 12-line report at 90 and at 150 characters; then a
// report designed from nothing through the windows, as a user would click it
// together, saved in the report file and printed to OUTPUT_DIR/designed.pdf.
//
//   shelvano_report_design_demo OUTPUT_DIR [WINDOW_SIZE]   (640, 800, 1024 or 1280: the windows' scale)

#include "../tests/reports/ModalWindow.h"
#include "BenchSupport.h"

#include "db/BookTable.h"
#include "db/FieldText.h"
#include "platform/ScriptedDialogs.h"
#include "reports/ReportFile.h"
#include "reports/TMyReport.h"
#include "reports/TReportForm.h"
#include "reports/definition/ReportFields.h"
#include "reports/design/DesignRules.h"
#include "reports/design/TRepLayout.h"
#include "reports/design/TReportFonts.h"
#include "reports/design/TReportPart.h"
#include "reports/design/TUserReport.h"
#include "settings/NumberText.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace reports;

namespace {

QString g_out;

void save(QWidget* window, const QString& name)
{
    QTest::qWait(100);
    const QString file = g_out + QLatin1Char('/') + name;
    std::printf("%s %s\n", window->grab().save(file) ? "wrote" : "FAILED", qPrintable(file));
}

void noModal()
{
    std::printf("FAILED: no modal window\n");
}

// Twelve lines of fields, labels and fillers on a 150-character report.
ReportDefinition twelveLines()
{
    ReportDefinition d = newDefinition();
    d.name = "Twelve Line Catalogue Card";
    d.width = 150;
    d.lineCount = kMaxLines;
    const int widths[] = {30, 12, 24, 8, 16, 10, 20, 6, 14, 10};
    for (int k = 0; k < kMaxLines; ++k) {
        ReportLine& line = d.lines[std::size_t(k)];
        int sum = 0;
        for (int i = 0; i < kItemsPerLine && sum < 150; ++i) {
            const int w = std::min(widths[(i + k) % 10], 150 - sum);
            const int field = 1 + (k * 3 + i) % kFieldCount;
            if ((i + k) % 4 == 1)
                line[std::size_t(i)] = {kLabel, 0, w, "Label " + std::to_string(i + 1)};
            else if ((i + k) % 5 == 3)
                line[std::size_t(i)] = {kFiller, 0, w, ""};
            else
                line[std::size_t(i)] = {std::string(fieldName(field)), field, w, ""};
            sum += w;
        }
    }
    d.totals[0] = {kLabel, 0, 100, "Totals"};
    d.totals[1] = {"Cost", 1, 25, ""};
    d.totals[2] = {"Value", 2, 25, ""};
    return d;
}

// Opens the part window of (line, item) by a click on its box and sets it as `set` says.
void clickPart(TRepLayout* layout, int line, int item, std::function<void(TReportPart*)> set)
{
    const LayoutGeometry& g = layout->layoutGeometry();
    const ReportLine& l =
        line == kTotalsLine ? layout->copy().totals : layout->copy().lines[std::size_t(line - 1)];
    const LayoutBox box = g.boxes(l, layout->copy().width)[std::size_t(item - 1)];
    const int y = line == kTotalsLine ? g.totalsTop() + 5 : g.bodyTop() + (line - 1) * g.rowHeight() + 5;
    whenShown(
        [set](QWidget* modal) {
            auto* part = qobject_cast<TReportPart*>(modal);
            set(part);
            QTest::keyClick(part, Qt::Key_Return);
        },
        nullptr, 500, noModal);
    QTest::mouseClick(layout->LayoutArea, Qt::LeftButton, {}, QPoint(box.x0 + 3, y));
}

void field(TReportPart* part, int number, int width)
{
    part->RadioField->click();
    part->FieldList->setCurrentRow(number - 1);
    part->FieldWidth->setText(QString::number(width));
}

void label(TReportPart* part, const QString& text, int width)
{
    part->RadioLabel->click();
    part->LabelName->setText(text);
    part->FieldWidth->setText(QString::number(width));
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(QApplication::style()->standardPalette());
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: shelvano_report_design_demo OUTPUT_DIR [WINDOW_SIZE]\n");
        return 2;
    }
    g_out = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir data;
    const std::string books = data.filePath(QStringLiteral("MASTER.DBF")).toStdString();
    bench::writeBooks(books, 40);
    db::BookTable table;
    table.adopt(dbase::Table::open(books));
    settings::Settings settings;
    if (argc == 3)
        settings.windowSize = std::atoi(argv[2]);
    platform::ScriptedDialogs dialogs;
    dialogs.setThrowOnUnexpected(false);
    settings::NumberText numbers;
    db::ShortDateText dates;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(g_out + QStringLiteral("/designed.pdf"));
    ReportDefinition current = twelveLines();
    QStringList titles;
    for (int n = 1; n <= kFieldCount; ++n) {
        const QString title = settings.fields[std::size_t(n - 1)].title;
        titles << (title.isEmpty() ? QString::fromLatin1(fieldName(n).data()) : title);
    }
    ReportServices services{dialogs,
                            table,
                            settings,
                            numbers,
                            dates,
                            printer,
                            current,
                            ensureReportFile(data.path().toStdString()),
                            [] { return false; },
                            [] {
                                return std::array<int, 4>{2, 0, 0, 0};
                            },
                            [&] { return titles; },
                            nullptr,
                            [&] { return QStringList{QString::fromStdString(books)}; }};

    for (const int width : {90, 150}) {
        switchWidth(current, width);
        TUserReport definition(services, false, 0);
        definition.show();
        save(&definition, QStringLiteral("definition-%1.png").arg(width));
        TRepLayout layout(services, width, true, &definition);
        layout.show();
        save(&layout, QStringLiteral("layout-%1.png").arg(width));
        ReportLine line = current.lines[3];
        TReportPart part(services, line, false, 4, 2, width, titles, &layout);
        part.show();
        save(&part, QStringLiteral("part-%1.png").arg(width));
    }
    TReportFonts fonts(services);
    fonts.show();
    save(&fonts, QStringLiteral("fonts.png"));

    // A report from nothing: two lines per book and a totals line, through the windows.
    TMyReport list;
    list.setServices(services);
    list.show();
    whenShown(
        [&](QWidget* modal) {
            auto* w = qobject_cast<TUserReport*>(modal);
            w->ReportName->setText(QStringLiteral("Designed Catalogue"));
            w->ReportNameExit();
            w->Title1->setText(QStringLiteral("My Library"));
            w->Title2->setText(QStringLiteral("Books with their publishers and costs"));
            w->NumLines->setText(QStringLiteral("2"));
            w->NumLinesExit();
            w->Level1Group->setChecked(false);
            w->Level1GroupClick();
            whenShown(
                [&](QWidget* modal) {
                    auto* layout = qobject_cast<TRepLayout*>(modal);
                    clickPart(layout, 1, 1, [](TReportPart* p) { field(p, 1, 50); });
                    clickPart(layout, 1, 2, [](TReportPart* p) { field(p, 2, 0); });
                    clickPart(layout, 2, 1,
                              [](TReportPart* p) { label(p, QStringLiteral("Published"), 12); });
                    clickPart(layout, 2, 2, [](TReportPart* p) { field(p, 3, 6); });
                    clickPart(layout, 2, 3, [](TReportPart* p) { field(p, 4, 40); });
                    clickPart(layout, 2, 4, [](TReportPart* p) { field(p, 7, 0); });
                    clickPart(layout, kTotalsLine, 1,
                              [](TReportPart* p) { label(p, QStringLiteral("Total cost"), 58); });
                    clickPart(layout, kTotalsLine, 2, [](TReportPart* p) { field(p, 1, 0); });
                    save(layout, QStringLiteral("designed-layout.png"));
                    layout->OkButton->click();
                },
                nullptr, 500, noModal);
            w->SpecifyButton->click();
            save(w, QStringLiteral("designed-definition.png"));
            w->UpdateButton->click();
        },
        nullptr, 500, noModal);
    list.NewButton->click();
    save(&list, QStringLiteral("designed-list.png"));
    std::printf("saved as report %d of %d\n", list.ReportBox->currentRow() + 1, list.ReportBox->count());

    whenShown(
        [](QWidget* modal) {
            auto* status = qobject_cast<TReportForm*>(modal);
            for (int i = 0; i < 1000 && status->BitBtn1->text() != QStringLiteral("OK"); ++i)
                QTest::qWait(10);
            std::printf("%s\n", qPrintable(status->Label1->text().simplified()));
            status->BitBtn1Click();
        },
        nullptr, 500, noModal);
    list.DoIt(OutputMode::Printer);
    for (const auto& m : dialogs.transcript())
        std::printf("message: %s: %s\n", qPrintable(m.caption), qPrintable(m.text));
    return 0;
}
