// shelvano_reportrun_bench [--records N] [--dir DIR]
//
// Report generation over a generated book table sorted by author with
// level-1 grouping: the Full Report and the Short Narrow Report to the
// preview (the stream in a file) and to a text file, the peak memory of each,
// how soon Cancel takes effect, page turns in the Full Report's preview, and
// listing a file of 1,000 report definitions. Runs offscreen. Not run by CI.
// Each run's output stays in --dir (full.rpt, narrow.rpt, narrow.txt,
// full.txt), so that two builds' outputs can be compared byte for byte.
//
// shelvano_reportrun_bench --only full-preview|narrow-preview|narrow-text|full-text
// runs that one generation alone, for a profiler, reusing BOOKS.DBF of --dir;
// --only preview turns the pages of the full.rpt an earlier run left there.
//
// shelvano_reportrun_bench --pictures DIR   prints the eight built-in reports on
// 1,000 books to PDF files in DIR, and saves pictures of the report list, the
// status window and the preview at 100 % and whole page, to be looked at.

#include "BenchSupport.h"

#include "db/BookCursor.h"
#include "db/BookTable.h"
#include "db/FieldText.h"
#include "platform/QtDialogs.h"
#include "reportengine/TFilePreview.h"
#include "reportengine/TPrinterReport.h"
#include "reportengine/TReportFiler.h"
#include "reports/BookReportSource.h"
#include "reports/ReportFile.h"
#include "reports/ReportGenerator.h"
#include "reports/TMyPreview.h"
#include "reports/TMyReport.h"
#include "reports/TReportForm.h"
#include "reports/definition/BuiltInReports.h"
#include "settings/NumberText.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QBuffer>
#include <QListWidget>
#include <QPrinter>
#include <QScrollArea>
#include <QTemporaryFile>
#include <QTimer>
#include <ctime>

using namespace bench;
using namespace reports;

namespace {

// Discards what the engine records for a text report.
class Discard : public QIODevice {
public:
    Discard() { open(QIODevice::ReadWrite | QIODevice::Unbuffered); }
    qint64 size() const override { return m_size; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 n) override
    {
        m_size = std::max(m_size, pos() + n);
        return n;
    }

private:
    qint64 m_size = 0;
};

struct Books {
    db::BookTable table;
    settings::NumberText numbers;
    db::ShortDateText dates;
    QStringList titles;

    explicit Books(const std::string& path)
    {
        table.adopt(dbase::Table::open(path, dbase::Access::Shared));
        table.setOrder("AUTHOR");
        for (const db::BookField& field : db::bookFields())
            titles << QString::fromUtf8(field.title.data(), qsizetype(field.title.size()));
    }
};

// Processor time of this process: on a busy machine the wall-clock time includes waiting for a processor.
double cpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

struct Outcome {
    double seconds = 0;
    double cpu = 0;
    int pages = 0;
    double peakMb = 0;
    bool aborted = false;
};

// One run to the preview's stream file or to a text file; `cancelAfter` > 0 presses Cancel then.
Outcome generate(Books& books, const ReportDefinition& d, OutputMode mode, const QString& file,
                 double cancelAfter = 0, double* cancelLatency = nullptr)
{
    resetPeakResident();
    db::BookCursor cursor(books.table, false);
    BookReportSource source(cursor, books.numbers, books.dates, books.titles);
    QFile stream(file);
    Discard discard;
    QFile text(file);
    reportengine::TReportFiler filer(nullptr);
    filer.SetStreamMode(reportengine::smUser);
    if (mode == OutputMode::Preview) {
        stream.open(QIODevice::ReadWrite | QIODevice::Truncate);
        filer.SetStream(&stream);
    } else {
        text.open(QIODevice::WriteOnly | QIODevice::Truncate);
        filer.SetStream(&discard);
    }
    ReportGenerator generator(d, source, mode, groupingFor(d, {2, 0, 0, 0}),
                              mode == OutputMode::TextFile ? &text : nullptr);
    generator.bind(filer);
    check(!generator.refusal(filer), "the report fits its paper");
    Clock::time_point pressed;
    if (cancelAfter > 0)
        QTimer::singleShot(int(cancelAfter * 1000), [&] {
            pressed = Clock::now();
            filer.AbortReport();
        });
    const auto start = Clock::now();
    const double cpuStart = cpuSeconds();
    filer.Run();
    Outcome outcome;
    outcome.seconds = secondsSince(start);
    outcome.cpu = cpuSeconds() - cpuStart;
    if (cancelLatency)
        *cancelLatency = secondsSince(pressed);
    outcome.pages = filer.PageNumber();
    outcome.peakMb = peakResidentMegabytes().value_or(0);
    outcome.aborted = filer.WasAborted();
    return outcome;
}

std::string seconds(double s)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.2f s", s);
    return text;
}

std::string figures(const Outcome& o)
{
    char text[128];
    std::snprintf(text, sizeof text, "%.2f s (cpu %.2f s), %d pages, peak RSS %.0f MB", o.seconds, o.cpu,
                  o.pages, o.peakMb);
    return text;
}

void previewPages(const QString& file)
{
    resetPeakResident();
    QScrollArea box;
    box.resize(900, 700);
    reportengine::TFilePreview preview;
    preview.SetScrollBox(&box);
    preview.SetStreamMode(reportengine::smFile);
    preview.SetFileName(file);
    preview.SetMarginPercent(2.5);
    auto start = Clock::now();
    double cpuStart = cpuSeconds();
    preview.Start();
    const double first = secondsSince(start);
    const double firstCpu = cpuSeconds() - cpuStart;
    printFigure("Full Report preview: page 1 from Start", seconds(first) + " (cpu " + seconds(firstCpu) + ")",
                "0.3 s", first > 0.3);
    for (const double zoom : {100.0, 200.0}) {
        preview.SetZoomFactor(zoom);
        std::vector<double> times;
        std::vector<double> cpu;
        for (const int page : {preview.PageCount(), 1, preview.PageCount() / 2, 2, preview.PageCount() - 1})
            for (int repeat = 0; repeat < 2; ++repeat) {
                start = Clock::now();
                cpuStart = cpuSeconds();
                preview.GotoPage(page);
                times.push_back(secondsSince(start));
                cpu.push_back(cpuSeconds() - cpuStart);
            }
        const double limit = zoom > 100 ? 0.12 : 0.05;
        printFigure(zoom > 100 ? "Full Report preview: any page at 200 %"
                               : "Full Report preview: any page at 100 %",
                    "worst " + seconds(worst(times)) + ", median " + seconds(median(times)) + " (cpu worst " +
                        seconds(worst(cpu)) + ", median " + seconds(median(cpu)) + ")",
                    seconds(limit), worst(times) > limit);
    }
    char memory[64];
    std::snprintf(memory, sizeof memory, "peak RSS %.0f MB", peakResidentMegabytes().value_or(0));
    printFigure("Full Report preview: memory", memory, "100 MB + a 14 MB page",
                peakResidentMegabytes().value_or(0) > 114);
}

void listThousand(const std::filesystem::path& dir)
{
    const std::string path = (dir / "THOUSAND.URP").string();
    std::filesystem::remove(path);
    ReportFile file(path);
    std::vector<ReportDefinition> many;
    const std::vector<ReportDefinition> builtIns = builtInReports();
    for (int i = 0; i < 1000; ++i)
        many.push_back(builtIns[std::size_t(i % 8)]);
    file.append(many);
    std::vector<double> times;
    for (int run = 0; run < 5; ++run) {
        const auto start = Clock::now();
        check(file.list().size() == 1000, "1,000 names listed");
        times.push_back(secondsSince(start));
    }
    printFigure("list a 1,000-report file (median of 5)", seconds(median(times)), "0.02 s",
                median(times) > 0.02);
}

// The eight built-ins on 1,000 books to PDF, and the report windows as pictures.
void pictures(const std::filesystem::path& out)
{
    std::filesystem::create_directories(out);
    const std::string path = (out / "BOOKS.DBF").string();
    writeBooks(path, 1000)->addTag("AUTHOR", kAuthorOrderExpression);
    Books books(path);
    const std::vector<ReportDefinition> builtIns = builtInReports();
    for (std::size_t i = 0; i < builtIns.size(); ++i) {
        db::BookCursor cursor(books.table, false);
        BookReportSource source(cursor, books.numbers, books.dates, books.titles);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(
            QString::fromStdString((out / ("report" + std::to_string(i + 1) + ".pdf")).string()));
        reportengine::TPrinterReport engine(printer);
        ReportGenerator generator(builtIns[i], source, OutputMode::Printer,
                                  groupingFor(builtIns[i], {2, 0, 0, 0}));
        generator.bind(engine);
        check(!generator.refusal(engine), "the report fits its paper");
        engine.Run();
    }

    platform::QtDialogs dialogs;
    settings::Settings settings;
    ReportDefinition current = builtIns[0];
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const std::string urp = ensureReportFile(out.string());
    ReportServices services{dialogs,
                            books.table,
                            settings,
                            books.numbers,
                            books.dates,
                            printer,
                            current,
                            urp,
                            [] { return false; },
                            [] {
                                return std::array<int, 4>{2, 0, 0, 0};
                            },
                            [&books] { return books.titles; },
                            nullptr,
                            nullptr};
    TMyReport list;
    list.setServices(services);
    list.show();
    list.ReportBox->setCurrentRow(3);
    QApplication::processEvents();
    list.grab().save(QString::fromStdString((out / "report-list.png").string()));

    db::BookCursor cursor(books.table, false);
    BookReportSource source(cursor, books.numbers, books.dates, books.titles);
    QTemporaryFile stream;
    stream.open();
    reportengine::TReportFiler filer(nullptr);
    filer.SetStreamMode(reportengine::smUser);
    filer.SetStream(&stream);
    ReportGenerator generator(builtIns[0], source, OutputMode::Preview,
                              groupingFor(builtIns[0], {2, 0, 0, 0}));
    generator.bind(filer);
    TReportForm status(filer);
    QTimer::singleShot(3000, &status, [&] {
        status.grab().save(QString::fromStdString((out / "status.png").string()));
        status.accept();
    });
    status.exec();
    stream.flush();
    settings::WindowGeometry geometry{0, 0, 1000, 800};
    TMyPreview preview(dialogs, printer, stream, QString::fromStdString(builtIns[0].name), geometry);
    preview.show();
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
    preview.grab().save(QString::fromStdString((out / "preview-100.png").string()));
    preview.MyFilePreview.ZoomPage();
    QApplication::processEvents();
    preview.grab().save(QString::fromStdString((out / "preview-whole.png").string()));
    preview.close();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 3 && std::string(argv[1]) == "--pictures") {
        QApplication app(argc, argv);
        return runReportingErrors("shelvano_reportrun_bench", [&] { pictures(argv[2]); });
    }
    CommandLine line;
    line.program = "shelvano_reportrun_bench";
    line.extras = {{"--only", "full-preview|narrow-preview|narrow-text|full-text|preview"}};
    const Options options = parseOptions(argc, argv, line);
    // One run alone, for a profiler, on the books of an earlier run in --dir when they are there.
    const std::string only = options.extras.count("--only") ? options.extras.at("--only") : std::string();
    if (!only.empty() && only != "full-preview" && only != "narrow-preview" && only != "narrow-text" &&
        only != "full-text" && only != "preview")
        usage(line, "--only takes full-preview, narrow-preview, narrow-text, full-text or preview");
    QApplication app(argc, argv);
    return runReportingErrors("shelvano_reportrun_bench", [&] {
        WorkDirectory dir(options.directory, "shelvano_reportrun_bench");
        printLine(loadAverageLine());
        const std::string path = (dir.path() / "BOOKS.DBF").string();
        if (only.empty() || !std::filesystem::exists(path))
            writeBooks(path, options.records)->addTag("AUTHOR", kAuthorOrderExpression);
        Books books(path);
        const std::vector<ReportDefinition> builtIns = builtInReports();
        const ReportDefinition& fullReport = builtIns[3];
        const ReportDefinition& shortNarrow = builtIns[0];
        const QString stream = QString::fromStdString((dir.path() / "full.rpt").string());
        const QString narrowStream = QString::fromStdString((dir.path() / "narrow.rpt").string());
        const QString narrowText = QString::fromStdString((dir.path() / "narrow.txt").string());
        const QString fullText = QString::fromStdString((dir.path() / "full.txt").string());
        const QString cancelled = QString::fromStdString((dir.path() / "cancelled.rpt").string());
        const std::string n = std::to_string(books.table.table().recordCount()) + " books";
        const auto wanted = [&](const char* name) { return only.empty() || only == name; };

        Outcome o;
        if (wanted("full-preview")) {
            o = generate(books, fullReport, OutputMode::Preview, stream);
            printFigure("Full Report to preview, " + n, figures(o), "10 s, 150 MB",
                        o.seconds > 10 || o.peakMb > 150);
        }
        if (wanted("narrow-preview")) {
            o = generate(books, shortNarrow, OutputMode::Preview, narrowStream);
            printFigure("Short Narrow to preview", figures(o), "3 s", o.seconds > 3);
        }
        if (wanted("narrow-text")) {
            o = generate(books, shortNarrow, OutputMode::TextFile, narrowText);
            printFigure("Short Narrow to text", figures(o), "1.5 s", o.seconds > 1.5);
        }
        if (wanted("full-text")) {
            o = generate(books, fullReport, OutputMode::TextFile, fullText);
            printFigure("Full Report to text", figures(o), "3 s", o.seconds > 3);
        }
        if (only == "preview")
            previewPages(stream);
        if (!only.empty())
            return;
        double latency = 0;
        o = generate(books, fullReport, OutputMode::Preview, cancelled, 1.0, &latency);
        printFigure("Cancel during the Full Report",
                    seconds(latency) + (o.aborted ? ", stopped" : ", NOT stopped"), "0.2 s",
                    latency > 0.2 || !o.aborted);
        previewPages(stream);
        listThousand(dir.path());
        std::string load = loadAverageLine();
        printLine(load.replace(load.rfind("at the start"), 12, "at the end"));
    });
}
