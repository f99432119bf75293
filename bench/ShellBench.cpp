#include "ShellBench.h"

#include "BenchSupport.h"

#include "app/TMain.h"
#include "db/BookDatabase.h"
#include "db/FieldText.h"
#include "dbase/Table.h"
#include "platform/ProfileFile.h"
#include "platform/Screen.h"
#include "platform/ScriptedDialogs.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ptrace.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <random>
#include <stdexcept>
#include <utility>

extern char** environ;

namespace bench {
namespace {

namespace fs = std::filesystem;

constexpr int kPaintTimeoutSeconds = 30;

[[noreturn]] void fail(const std::string& what)
{
    throw std::runtime_error(what);
}

[[noreturn]] void failSystem(const std::string& what)
{
    fail(what + ": " + std::strerror(errno));
}

QString qPath(const fs::path& path)
{
    return QFile::decodeName(path.c_str());
}

// A table of `records` books with no index, written the way an import writes them.
void addTag(const fs::path& path, const char* name, const char* expression)
{
    dbase::Table::open(path.string(), dbase::Access::Exclusive)->addTag(name, expression);
}

fs::path indexOf(const fs::path& table)
{
    fs::path index = table;
    index.replace_extension(".MDX");
    if (!fs::exists(index))
        fail("the engine made no index " + index.string());
    return index;
}

void writeSettings(const ShellFiles& files)
{
    platform::ProfileFile profile;
    const QString misc = QStringLiteral("Misc");
    profile.setValue(misc, QStringLiteral("Last Database"), qPath(files.master));
    // A grid as large as the screenful figure's.
    profile.setValue(misc, QStringLiteral("Main Window Left"), QStringLiteral("0"));
    profile.setValue(misc, QStringLiteral("Main Window Top"), QStringLiteral("0"));
    profile.setValue(misc, QStringLiteral("Main Window Width"), QStringLiteral("1024"));
    profile.setValue(misc, QStringLiteral("Main Window Height"), QStringLiteral("768"));
    profile.save(files.configDir / "SHVBOOK.INI");
}

struct FileStamp {
    std::int64_t size = 0;
    std::int64_t seconds = 0;
    std::int64_t nanoseconds = 0;
    bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const fs::path& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        failSystem("cannot read the state of " + path.string());
    return {info.st_size, info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
}

// The environment of this process with the offscreen platform forced.
std::vector<std::string> offscreenEnvironment()
{
    std::vector<std::string> entries;
    for (char** entry = environ; *entry; ++entry)
        if (std::strncmp(*entry, "QT_QPA_PLATFORM=", 16) != 0)
            entries.emplace_back(*entry);
    entries.emplace_back("QT_QPA_PLATFORM=offscreen");
    return entries;
}

std::vector<char*> pointers(std::vector<std::string>& strings)
{
    std::vector<char*> result;
    for (std::string& s : strings)
        result.push_back(s.data());
    result.push_back(nullptr);
    return result;
}

struct Start {
    double seconds = 0;
    double peakMegabytes = 0;
};

// The program's peak resident size, read from /proc while it still has its memory: the
// rusage of a child started from this process counts this process's own high-water mark.
// The child is traced for that alone: it stops once on its way out, and a signal it is
// sent passes straight on.
class ExitWatch {
public:
    explicit ExitWatch(pid_t pid) : m_pid(pid)
    {
        if (::ptrace(PTRACE_SEIZE, pid, nullptr, PTRACE_O_TRACEEXIT | PTRACE_O_EXITKILL) != 0)
            failSystem("cannot watch the program's memory");
    }

    // Handles whatever the child did since the last call; true once it has ended.
    bool poll() { return step(WNOHANG); }
    // Waits until the child has ended.
    void finish()
    {
        while (!step(0)) {
        }
    }
    int status() const { return m_status; }
    std::optional<double> peakMegabytes() const { return m_peakMb; }

private:
    bool step(int options)
    {
        if (m_ended)
            return true;
        int status = 0;
        const pid_t got = ::waitpid(m_pid, &status, options | __WALL);
        if (got < 0 && errno == EINTR)
            return false;
        if (got < 0)
            failSystem("cannot wait for the program");
        if (got == 0)
            return false;
        if (WIFEXITED(status) || WIFSIGNALED(status)) {
            m_status = status;
            m_ended = true;
            return true;
        }
        if (!WIFSTOPPED(status))
            return false;
        int signal = 0;
        if (status >> 8 == (SIGTRAP | (PTRACE_EVENT_EXIT << 8)))
            m_peakMb = statusMegabytes("VmHWM:", std::to_string(m_pid));
        else if (status >> 16 == 0)
            signal = WSTOPSIG(status); // a signal on its way to the child: deliver it
        ::ptrace(PTRACE_CONT, m_pid, nullptr, reinterpret_cast<void*>(static_cast<long>(signal)));
        return false;
    }

    pid_t m_pid;
    int m_status = 0;
    bool m_ended = false;
    std::optional<double> m_peakMb;
};

// Reads `fd` until a line "painted" arrives; false on end of file or after the deadline.
bool readUntilPainted(int fd, Clock::time_point deadline, ExitWatch& watch)
{
    constexpr int kSliceMs = 20; // how long a stopped child may wait for its signal
    std::string received;
    char buffer[256];
    while (received.find("painted\n") == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd wait{fd, POLLIN, 0};
        const int ready = ::poll(&wait, 1, static_cast<int>(std::min<long long>(left.count(), kSliceMs)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            failSystem("cannot wait for the program");
        if (ready == 0) {
            watch.poll();
            continue;
        }
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        received.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
}

class SpawnActions {
public:
    SpawnActions() { posix_spawn_file_actions_init(&m_actions); }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&m_actions); }
    posix_spawn_file_actions_t* get() { return &m_actions; }

private:
    posix_spawn_file_actions_t m_actions;
};

Start startOnce(const std::string& program, std::vector<std::string> arguments,
                std::vector<std::string> environment, const fs::path& errorLog)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        failSystem("cannot make a pipe");
    SpawnActions actions;
    posix_spawn_file_actions_adddup2(actions.get(), pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(actions.get(), STDERR_FILENO, errorLog.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    std::vector<char*> argv = pointers(arguments);
    std::vector<char*> envp = pointers(environment);

    pid_t pid = 0;
    const Clock::time_point start = Clock::now();
    const int spawned =
        ::posix_spawn(&pid, program.c_str(), actions.get(), nullptr, argv.data(), envp.data());
    ::close(pipeFds[1]);
    if (spawned != 0) {
        ::close(pipeFds[0]);
        errno = spawned;
        failSystem("cannot start " + program);
    }
    ExitWatch watch(pid);
    const bool painted =
        readUntilPainted(pipeFds[0], start + std::chrono::seconds(kPaintTimeoutSeconds), watch);
    const double seconds = secondsSince(start);
    if (!painted)
        ::kill(pid, SIGKILL); // our own child, hung or gone astray
    watch.finish();
    ::close(pipeFds[0]);
    if (!painted)
        fail(program + " did not report its first paint within " + std::to_string(kPaintTimeoutSeconds) +
             " s; see " + errorLog.string());
    const int status = watch.status();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        fail(program + " ended abnormally (status " + std::to_string(status) + "); see " + errorLog.string());
    if (!watch.peakMegabytes())
        fail("/proc/" + std::to_string(pid) + "/status gave no peak resident size as " + program + " ended");
    return {seconds, *watch.peakMegabytes()};
}

// Row numbers of `count` random grid positions, the same on every run.
std::vector<int> randomPositions(std::uint32_t seed, int count, int maximum)
{
    std::mt19937 random(seed);
    std::vector<int> positions;
    for (int i = 0; i < count; ++i)
        positions.push_back(static_cast<int>(random() % static_cast<std::uint32_t>(maximum + 1)));
    return positions;
}

} // namespace

// ------------------------------------------------------------------ samples

double Samples::median() const
{
    return bench::median(m_seconds);
}

double Samples::percentile(double fraction) const
{
    return bench::percentile(m_seconds, fraction);
}

double Samples::worst() const
{
    return bench::worst(m_seconds);
}

double Samples::best() const
{
    return bench::best(m_seconds);
}

// ------------------------------------------------------------------ files

ShellFiles makeShellFiles(const fs::path& directory, std::uint32_t records, const BookGenerator& master,
                          const BookGenerator& other)
{
    ShellFiles files;
    files.dataDir = directory / "data";
    files.configDir = directory / "config";
    const fs::path othersDir = directory / "other";
    const fs::path pristineDir = directory / "pristine";
    for (const fs::path& dir : {files.dataDir, files.configDir, othersDir, pristineDir})
        fs::create_directories(dir);

    files.master = files.dataDir / "MASTER.DBF";
    writeBooks(files.master, records, master);
    addTag(files.master, db::kOrderTag, kViewerTagExpression);
    files.masterIndex = indexOf(files.master);

    // Each copy gets its own index, as an index names the table it belongs to.
    files.others = {othersDir / "OTHER1.DBF", othersDir / "OTHER2.DBF"};
    writeBooks(files.others[0], records, other);
    fs::copy_file(files.others[0], files.others[1], fs::copy_options::overwrite_existing);
    for (std::size_t i = 0; i < files.others.size(); ++i) {
        addTag(files.others[i], "TITLE", "Upper(Left(Title,80))");
        files.otherIndexes[i] = indexOf(files.others[i]);
        files.pristineIndexes[i] = pristineDir / files.otherIndexes[i].filename();
        fs::copy_file(files.otherIndexes[i], files.pristineIndexes[i], fs::copy_options::overwrite_existing);
    }
    writeSettings(files);
    return files;
}

void restoreOtherIndex(const ShellFiles& files, int which)
{
    const auto i = static_cast<std::size_t>(which);
    fs::copy_file(files.pristineIndexes[i], files.otherIndexes[i], fs::copy_options::overwrite_existing);
}

// ------------------------------------------------------------------ the program

ProgramStarts timeProgramStarts(const std::string& program, const ShellFiles& files, int runs,
                                const fs::path& errorLog)
{
    const std::vector<std::string> arguments = {program,
                                                "--data-dir",
                                                files.dataDir.string(),
                                                "--config-dir",
                                                files.configDir.string(),
                                                "--exit-after-first-paint"};
    const std::vector<std::string> environment = offscreenEnvironment();
    const FileStamp before = stampOf(files.masterIndex);
    ProgramStarts result;
    for (int run = 0; run <= runs; ++run) {
        const Start start = startOnce(program, arguments, environment, errorLog);
        if (run == 0)
            continue; // the warm-up
        result.seconds.add(start.seconds);
        result.peakMegabytes = std::max(result.peakMegabytes, start.peakMegabytes);
    }
    if (!(stampOf(files.masterIndex) == before))
        fail("the program rewrote " + files.masterIndex.string() +
             " at start-up instead of using its order tag; the start-up figure includes a tag build");
    return result;
}

// ------------------------------------------------------------------ the main window

class MainWindowBench::PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count() const { return m_count; }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++m_count;
        return QObject::eventFilter(watched, event);
    }

private:
    int m_count = 0;
};

MainWindowBench::MainWindowBench(const ShellFiles& files)
    : m_files(files), m_dialogs(std::make_unique<platform::ScriptedDialogs>()),
      m_screen(std::make_unique<platform::FixedScreen>(QSize(1280, 1024)))
{
}

MainWindowBench::~MainWindowBench()
{
    m_paints.reset();
    m_main.reset();
}

void MainWindowBench::checkNoDialogs(const char* during) const
{
    const auto& transcript = m_dialogs->transcript();
    if (transcript.empty() && m_dialogs->failures().isEmpty())
        return;
    std::string text = std::string("the main window showed a message ") + during + ":";
    for (const auto& message : transcript)
        text.append(" [")
            .append(message.caption.toStdString())
            .append("] ")
            .append(message.text.toStdString());
    for (const QString& failure : m_dialogs->failures())
        text.append(" ").append(failure.toStdString());
    fail(text);
}

// Runs the event loop until the grid's viewport has painted once more. A paint
// event has been handled in full when processEvents() returns.
void MainWindowBench::waitForGridPaint(int paintsBefore)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(kPaintTimeoutSeconds);
    while (m_paints->count() == paintsBefore) {
        if (Clock::now() > deadline)
            fail("the viewer grid did not paint within " + std::to_string(kPaintTimeoutSeconds) + " s");
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

MainWindowBench::StartTimes MainWindowBench::start()
{
    const Clock::time_point begun = Clock::now();
    m_main = std::make_unique<TMain>(*m_dialogs, *m_screen,
                                     platform::AppPaths{m_files.dataDir, m_files.configDir, {}}, false);
    if (!m_main->startUp())
        fail("the main window did not start (exit code " + std::to_string(m_main->exitCode()) + ")");
    m_grid = m_main->findChild<QTableView*>(QStringLiteral("ViewerGrid"));
    if (!m_grid)
        fail("the main window has no grid named ViewerGrid");
    m_paints = std::make_unique<PaintCounter>(m_grid->viewport());
    m_main->show();
    waitForGridPaint(0);
    StartTimes times;
    times.paint = secondsSince(begun);
    // A large table's map is completed on another thread, reported through the event loop;
    // waiting in the loop leaves the processor to that thread.
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(kPaintTimeoutSeconds);
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&m_main->bookTable(), &db::BookTable::rowsCompleted, &loop, &QEventLoop::quit);
    tick.start(20);
    while (!m_main->bookTable().rowsComplete()) {
        if (Clock::now() > deadline)
            fail("the row map was not complete within " + std::to_string(kPaintTimeoutSeconds) + " s");
        loop.exec();
    }
    times.wholeMap = secondsSince(begun);
    checkNoDialogs("at start-up");
    return times;
}

int MainWindowBench::rowCount() const
{
    return m_main->bookTable().rowCount();
}

MainWindowBench::Screenfuls MainWindowBench::screenfuls(int warmUp, int positions)
{
    QScrollBar* bar = m_grid->verticalScrollBar();
    if (bar->maximum() <= 0)
        fail("the viewer grid cannot scroll");
    // From a change to the grid until its viewport has painted: wall-clock and processor seconds.
    auto timed = [this](const std::function<void()>& change) {
        const int before = m_paints->count();
        const Clock::time_point start = Clock::now();
        const double cpuStart = threadCpuSecondsNow();
        change();
        waitForGridPaint(before);
        return std::pair(secondsSince(start), threadCpuSecondsNow() - cpuStart);
    };
    for (int value : randomPositions(1, warmUp, bar->maximum()))
        timed([bar, value] { bar->setValue(value); });
    Screenfuls result;
    for (int value : randomPositions(2, positions, bar->maximum())) {
        const auto [jump, jumpCpu] = timed([bar, value] { bar->setValue(value); });
        result.jumps.add(jump);
        result.jumpsCpu.add(jumpCpu);
        // The same rows again, now in the model's cache: the painting alone.
        const auto [repaint, repaintCpu] = timed([this] { m_grid->viewport()->update(); });
        result.repaints.add(repaint);
        result.repaintsCpu.add(repaintCpu);
    }
    checkNoDialogs("while scrolling");
    return result;
}

MainWindowBench::Posts MainWindowBench::postsUnderFilter(int posts)
{
    db::BookTable& books = m_main->bookTable();
    const int catalog = books.table().fieldIndex("CATALOGNUM");
    const int location = books.table().fieldIndex("LOCATION");
    if (catalog < 0 || location < 0)
        fail("the book table lacks CATALOGNUM or LOCATION");
    // Catalogue numbers run SB-000001, SB-000002, ...: four final digits in ten pass.
    books.setFilter([catalog](const dbase::RecordView& record) {
        const std::string number = record.text(catalog);
        return !number.empty() && number.back() < '4';
    });
    Posts result;
    result.rows = books.rowCount();
    if (result.rows < posts + 1)
        fail("the filter left too few rows");
    QCoreApplication::processEvents();
    for (int i = 0; i <= posts; ++i) {
        // Rows spread over the whole map; the first is the warm-up.
        const int row =
            static_cast<int>(static_cast<long long>(result.rows) * (2 * i + 1) / (2 * (posts + 1)));
        const QString shelf = QStringLiteral("Study, shelf %1").arg(i % 24 + 1);
        const Clock::time_point start = Clock::now();
        if (!books.gotoRow(row))
            fail("row " + std::to_string(row) + " cannot be reached");
        books.edit();
        db::setFieldText(books.table(), location, shelf, m_main->dateFormat());
        books.post();
        m_main->DisplayCount();
        const double seconds = secondsSince(start);
        if (i > 0)
            result.seconds.add(seconds);
        QCoreApplication::processEvents(); // the grid shows the change, as between two real edits
    }
    if (books.rowCount() != result.rows)
        fail("the posts changed the number of rows");
    checkNoDialogs("while posting");
    return result;
}

MainWindowBench::Opens MainWindowBench::openOthers(int runs)
{
    Opens result;
    for (int run = 0; run <= runs; ++run) {
        const int which = m_otherOpen == 0 ? 1 : 0;
        restoreOtherIndex(m_files, which);
        const QString path = qPath(m_files.others[static_cast<std::size_t>(which)]);
        const int before = m_paints->count();
        const Clock::time_point start = Clock::now();
        m_main->database().OpenSaveFile(path);
        const double opening = secondsSince(start);
        waitForGridPaint(before);
        const double total = secondsSince(start);
        m_otherOpen = which;
        if (m_main->database().currentPath() != path)
            fail("the switch to " + path.toStdString() + " did not happen");
        const QString order = QString::fromStdString(m_main->bookTable().table().order());
        if (order.compare(QLatin1String(db::kOrderTag), Qt::CaseInsensitive) != 0)
            fail("the switched-to database is not in the viewer's order");
        checkNoDialogs("while switching databases");
        if (run == 0)
            continue; // the warm-up
        result.total.add(total);
        result.opening.add(opening);
    }
    return result;
}

} // namespace bench
