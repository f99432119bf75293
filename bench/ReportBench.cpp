// shelvano_report_bench [--dir DIR]
//
// The report engine on the demonstration report (tools/DemoReport): recording
// 1,000 pages into a stream, showing pages of it in the preview at 100 %, the
// preview's peak memory on a 1,000- and a 20,000-page stream (in a child
// process of its own, so the recording does not count), 20,000 pages recorded
// and read back without loss, and page turns in the 20,000-page stream. One line per figure with its target.
// Runs offscreen.
//
// shelvano_report_bench --preview-peak FILE   (the child: prints its peak memory in kB)

#include "DemoReport.h"

#include "reportengine/TFilePreview.h"
#include "reportengine/TReportFiler.h"
#include "reportengine/stream/ReportStreamReader.h"
#include "reportengine/stream/StreamFile.h"

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QProcess>
#include <QScrollArea>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

using namespace reportengine;

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kWriteTarget = 1.0;        // seconds for 1,000 pages
constexpr double kPageTarget = 50e-3;       // seconds per page shown
constexpr long kPreviewPeakTarget = 80'000; // kB
constexpr int kManyPages = 20'000;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor time of this process: on a busy machine the wall-clock figure
// includes waiting for a processor, this one does not.
double cpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// A figure from /proc/self/status, in kB.
long statusKb(const char* key)
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').front().toLong();
    return -1;
}

void report(const std::string& name, const std::string& figure, const std::string& target, bool met)
{
    std::printf("%-44s%-40s (target %s)   %s\n", name.c_str(), figure.c_str(), target.c_str(),
                met ? "ok" : "MISSED");
    std::fflush(stdout);
}

std::string format(const char* pattern, double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

// Records `pages` pages of the demonstration report into `device` (smUser) or `file` (smFile).
void record(int pages, QIODevice* device, const QString& file = {})
{
    TReportFiler filer;
    demo::setUpDemoReport(filer, pages);
    filer.SetStreamMode(device ? smUser : smFile);
    filer.SetStream(device);
    filer.SetFileName(file);
    filer.Run();
}

// The median of three runs, in wall-clock and processor time.
void benchWrite(QBuffer& stream)
{
    record(1, &stream); // fonts and the reference device warm up
    std::vector<std::pair<double, double>> runs;
    for (int run = 0; run < 3; ++run) {
        stream.buffer().clear();
        const auto start = Clock::now();
        const double cpuStart = cpuSeconds();
        record(1000, &stream);
        runs.emplace_back(secondsSince(start), cpuSeconds() - cpuStart);
    }
    std::sort(runs.begin(), runs.end());
    const auto [seconds, cpu] = runs[1];
    report("record 1,000 pages (median of 3)",
           format("%.3f s", seconds) + format(" (cpu %.3f s)", cpu) +
               format(", %.1f MB", stream.size() / 1e6),
           "<= 1 s", seconds <= kWriteTarget);
}

void benchShowPage(QBuffer& stream)
{
    QScrollArea box;
    box.resize(900, 700);
    TFilePreview preview;
    preview.SetScrollBox(&box);
    preview.SetStreamMode(smUser);
    preview.SetStream(&stream);
    preview.SetMarginPercent(2.5);
    auto start = Clock::now();
    preview.Start();
    const double first = secondsSince(start);
    std::vector<double> times;
    for (int page : {1, 2, 3, 250, 500, 501, 750, 998, 999, 1000, 17, 333, 666, 900, 1})
        for (int repeat = 0; repeat < 3; ++repeat) {
            start = Clock::now();
            preview.GotoPage(page);
            times.push_back(secondsSince(start));
        }
    std::sort(times.begin(), times.end());
    report("show a page at 100 % (first, from Start)", format("%.1f ms", first * 1000), "<= 50 ms",
           first <= kPageTarget);
    report("show a page at 100 % (median, max of 45)",
           format("%.1f ms", times[times.size() / 2] * 1000) + format(", %.1f ms", times.back() * 1000),
           "<= 50 ms", times.back() <= kPageTarget);
    preview.Stop();
}

// Peak memory of a child process previewing the stream file, kB; -1 when it failed.
long previewPeakOf(const QString& streamFile)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {"--preview-peak", streamFile});
    child.waitForFinished(-1);
    const long peak = QString::fromLatin1(child.readAllStandardOutput()).trimmed().toLong();
    if (child.exitCode() != 0 || peak <= 0) {
        std::fprintf(stderr, "preview child failed: %s\n", child.readAllStandardError().constData());
        return -1;
    }
    return peak;
}

// The same preview of a one-page stream shows what Qt, the fonts and the page images take alone.
void benchPreviewPeak(const std::string& name, const QString& streamFile, const QString& onePageFile)
{
    const long peak = previewPeakOf(streamFile);
    const long base = previewPeakOf(onePageFile);
    if (peak < 0 || base < 0)
        return;
    report("preview of a " + name + " stream, peak",
           format("%.1f MB", peak / 1000.0) + format(" (one page: %.1f MB)", base / 1000.0), "<= 80 MB",
           peak <= kPreviewPeakTarget);
}

// Opening a long stream walks its page links once; any page is then one read away.
void benchLongPreview(const QString& streamFile)
{
    QScrollArea box;
    box.resize(900, 700);
    TFilePreview preview;
    preview.SetScrollBox(&box);
    preview.SetStreamMode(smFile);
    preview.SetFileName(streamFile);
    preview.SetMarginPercent(2.5);
    auto start = Clock::now();
    preview.Start();
    const double first = secondsSince(start);
    report("20,000-page stream: Start shows page 1", format("%.1f ms", first * 1000), "<= 300 ms",
           first <= 0.3);
    for (const double zoom : {100.0, 200.0}) {
        preview.SetZoomFactor(zoom);
        double worst = 0;
        for (const int page : {kManyPages, 1, 10'000, 17'000, 2, 19'999, 5'000})
            for (int repeat = 0; repeat < 2; ++repeat) {
                start = Clock::now();
                preview.GotoPage(page);
                worst = std::max(worst, secondsSince(start));
            }
        const double target = zoom > 100 ? 0.12 : 0.05;
        report(format("20,000 pages: any page at %.0f %%, worst", zoom), format("%.1f ms", worst * 1000),
               format("<= %.0f ms", target * 1000), worst <= target);
    }
}

// The child: opens the stream, shows its pages at 100 % (every one of a short
// stream, 500 spread over a long one) and the last at 200 %, prints VmHWM.
int previewPeak(const QString& streamFile)
try {
    QScrollArea box;
    box.resize(900, 700);
    box.show();
    TFilePreview preview;
    preview.SetScrollBox(&box);
    preview.SetStreamMode(smFile);
    preview.SetFileName(streamFile);
    preview.SetMarginPercent(2.5);
    preview.Start();
    const int step = std::max(1, preview.PageCount() / 500);
    for (int page = 1; page <= preview.PageCount(); page += step) {
        preview.GotoPage(page);
        QApplication::processEvents();
    }
    preview.GotoPage(preview.PageCount());
    preview.SetZoomFactor(200);
    QApplication::processEvents();
    std::printf("%ld\n", statusKb("VmHWM:"));
    return 0;
} catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
}

// Every page must come back with its footer, numbered in order.
bool readsBack(const QString& file, int pages)
{
    const std::vector<std::uint8_t> bytes = stream::loadStreamFile(file.toStdString());
    const stream::ReportStreamReader reader(bytes);
    if (reader.pageCount() != pages)
        return false;
    for (int n = 1; n <= pages; ++n) {
        const stream::PageInfo& page = reader.pages()[std::size_t(n - 1)];
        if (page.start.pageNumber != n)
            return false;
        const std::string footer = "Page " + std::to_string(n);
        bool found = false;
        auto records = reader.records(page);
        while (const auto record = records.next())
            if (const auto* text = std::get_if<stream::TextCentred>(&*record))
                found = found || text->text == footer;
        if (!found)
            return false;
    }
    return true;
}

void benchManyPages(const QString& file)
{
    const long before = statusKb("VmRSS:");
    const auto start = Clock::now();
    record(kManyPages, nullptr, file);
    const double seconds = secondsSince(start);
    const long after = statusKb("VmRSS:");
    const bool whole = readsBack(file, kManyPages);
    report("record 20,000 pages to a file",
           format("%.2f s", seconds) + format(", %.0f MB", QFile(file).size() / 1e6) +
               format(", RSS +%.1f MB", (after - before) / 1000.0),
           "no page lost", whole);
    std::printf("  read back: %s\n",
                whole ? "20,000 pages, numbered 1-20,000, every footer present" : "PAGES LOST OR DAMAGED");
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == "--preview-peak")
        return previewPeak(args[2]);
    QTemporaryDir temporary;
    const QString dir = args.size() == 3 && args[1] == "--dir" ? args[2] : temporary.path();
    if (args.size() != 1 && !(args.size() == 3 && args[1] == "--dir")) {
        std::fprintf(stderr, "usage: shelvano_report_bench [--dir DIR]\n");
        return 2;
    }
    try {
        QBuffer stream;
        stream.open(QIODevice::ReadWrite);
        benchWrite(stream);
        benchShowPage(stream);
        const QString streamFile = dir + "/bench1000.rpt";
        stream::saveStreamFile(streamFile.toStdString(),
                               std::span(reinterpret_cast<const std::uint8_t*>(stream.data().constData()),
                                         std::size_t(stream.size())));
        const QString onePageFile = dir + "/bench1.rpt";
        record(1, nullptr, onePageFile);
        benchPreviewPeak("1,000-page", streamFile, onePageFile);
        const QString manyPagesFile = dir + "/bench20000.rpt";
        benchManyPages(manyPagesFile);
        benchPreviewPeak("20,000-page", manyPagesFile, onePageFile);
        benchLongPreview(manyPagesFile);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
    return 0;
}
