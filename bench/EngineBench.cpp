#include "EngineBench.h"

#include "BenchSupport.h"
#include "dbase/DatabaseError.h"
#include "dbase/Table.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

namespace bench {
namespace {

using dbase::Access;
using dbase::Table;

constexpr const char* kCheckoutTag = "CHECKOUT";
constexpr std::size_t kBatchSize = 1024;

void copyFile(const std::string& from, const std::string& to)
{
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

// Reads the value so that the compiler cannot drop the navigation that produced it.
void consume(const std::string& text)
{
    static volatile std::size_t sink;
    sink = sink + text.size();
}

void check(bool condition, const std::string& what)
{
    if (!condition)
        throw dbase::DatabaseError("Benchmark check failed: " + what);
}

// The real file system, counting the reads that reach it.
class CountingFileSystem : public dbase::ForwardingFileSystem {
public:
    std::uint64_t reads = 0;
    std::unique_ptr<dbase::File> open(const std::string& path, dbase::OpenMode mode) override
    {
        return std::make_unique<CountingFile>(reads, dbase::defaultFileSystem().open(path, mode));
    }

private:
    class CountingFile : public dbase::ForwardingFile {
    public:
        CountingFile(std::uint64_t& reads, std::unique_ptr<dbase::File> inner)
            : ForwardingFile(std::move(inner)), m_reads(reads)
        {
        }
        std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t n) override
        {
            ++m_reads;
            return ForwardingFile::readAt(offset, buffer, n);
        }

    private:
        std::uint64_t& m_reads;
    };
};

} // namespace

EngineBench::EngineBench(const std::string& directory, std::uint32_t records, const BookGenerator& generator)
    : m_dbf(directory + "/BOOKS_" + std::to_string(records) + ".DBF"),
      m_mdx(directory + "/BOOKS_" + std::to_string(records) + ".MDX"), m_records(records),
      m_generator(generator)
{
}

Measurement EngineBench::append()
{
    std::filesystem::remove(m_dbf);
    std::filesystem::remove(m_mdx);
    std::vector<BookRecord> batch;
    Stopwatch watch;
    double cpu = 0;
    watch.resume();
    double cpuFrom = cpuSecondsNow();
    Table::create(m_dbf, db::bookFieldSpecs());
    Table::open(m_dbf, Access::Exclusive)->addTag(kTagName, kTagExpression);
    auto table = Table::open(m_dbf, Access::Shared);
    // An import holds the table's write lock for its run, as here.
    table->beginBatch();
    for (std::uint32_t first = 0; first < m_records; first += kBatchSize) {
        watch.pause();
        cpu += cpuSecondsNow() - cpuFrom;
        batch.resize(std::min<std::size_t>(kBatchSize, m_records - first));
        m_generator.generate(first, batch);
        cpuFrom = cpuSecondsNow();
        watch.resume();
        for (const BookRecord& book : batch) {
            table->append();
            for (int field = 0; field < db::kBookFieldCount; ++field)
                table->setText(field, book[field]);
            table->post();
        }
    }
    table->endBatch();
    table.reset();
    watch.pause();
    m_appendCpuSeconds = cpu + cpuSecondsNow() - cpuFrom;
    return {watch.seconds()};
}

Measurement EngineBench::buildTag()
{
    auto table = Table::open(m_dbf, Access::Exclusive);
    if (table->hasTag(kTagName))
        table->deleteTag(kTagName);
    return timedBuild([&] {
        table->addTag(kTagName, kTagExpression);
        table.reset();
    });
}

Measurement EngineBench::timedBuild(const std::function<void()>& build)
{
    const double cpuFrom = cpuSecondsNow(), threadCpuFrom = threadCpuSecondsNow();
    Stopwatch watch;
    watch.resume();
    build();
    watch.pause();
    m_buildCpuSeconds = cpuSecondsNow() - cpuFrom;
    m_buildThreadCpuSeconds = threadCpuSecondsNow() - threadCpuFrom;
    return {watch.seconds()};
}

Measurement EngineBench::openCount()
{
    Stopwatch watch;
    watch.resume();
    auto table = Table::open(m_dbf, Access::Shared);
    const std::uint32_t count = table->recordCount();
    table.reset();
    watch.pause();
    check(count == m_records, "the table holds " + std::to_string(count) + " records");
    return {watch.seconds(), count};
}

Measurement EngineBench::firstRows()
{
    Stopwatch watch;
    watch.resume();
    readFirstRows();
    watch.pause();
    return {watch.seconds()};
}

// What a window shows first: a shared open, the tag's order, the first rows' titles.
void EngineBench::readFirstRows()
{
    auto table = Table::open(m_dbf, Access::Shared);
    table->setOrder(kTagName);
    table->first();
    for (int row = 0; row < kFirstRows && !table->eof(); ++row) {
        consume(table->text(kTitleField));
        table->next();
    }
}

Measurement EngineBench::filteredWalk()
{
    Stopwatch watch;
    watch.resume();
    auto table = Table::open(m_dbf, Access::Shared);
    table->setOrder(kTagName);
    table->setFilter([](const dbase::RecordView& view) {
        return view.text(kTitleField).find(kFilterWord) != std::string::npos;
    });
    std::uint64_t matched = 0;
    for (table->first(); !table->eof(); table->next())
        ++matched;
    table.reset();
    watch.pause();
    return {watch.seconds(), matched};
}

Measurement EngineBench::postEdits()
{
    {
        auto table = Table::open(m_dbf, Access::Exclusive);
        if (!table->hasTag(kCheckoutTag))
            table->addTag(kCheckoutTag, "CHECKOUT");
    }
    CountingFileSystem counting;
    auto table = Table::open(m_dbf, Access::Shared, counting);
    const int edits = editCount(m_records);
    std::uint64_t reads = 0;
    Stopwatch watch;
    for (int i = 0; i < edits; ++i) {
        const std::uint32_t recno = editedRecord(m_records, i);
        check(table->gotoBookmark(recno), "record " + std::to_string(recno) + " cannot be reached");
        const std::string flipped = table->text(kCheckoutField) == "Yes" ? "No" : "Yes";
        const std::uint64_t before = counting.reads;
        watch.resume();
        table->edit();
        table->setText(kCheckoutField, flipped);
        table->post();
        watch.pause();
        reads += counting.reads - before;
    }
    m_readsPerPost = double(reads) / edits;
    return {watch.seconds() / edits};
}

Measurement EngineBench::sharedWalk()
{
    Stopwatch watch;
    watch.resume();
    auto table = Table::open(m_dbf, Access::Shared);
    std::uint64_t count = 0;
    for (table->first(); !table->eof(); table->next())
        ++count;
    table.reset();
    watch.pause();
    return {watch.seconds(), count};
}

Measurement EngineBench::readWholeFile()
{
    Stopwatch watch;
    watch.resume();
    const int fd = ::open(m_dbf.c_str(), O_RDONLY);
    check(fd >= 0, "cannot open " + m_dbf);
    std::vector<char> buffer(128 * 1024); // what cat reads at a time
    std::uint64_t total = 0;
    for (ssize_t got; (got = ::read(fd, buffer.data(), buffer.size())) > 0;)
        total += std::uint64_t(got);
    ::close(fd);
    watch.pause();
    return {watch.seconds(), total};
}

Measurement EngineBench::openWithTagRebuilt()
{
    {
        auto table = Table::open(m_dbf, Access::Exclusive);
        if (table->hasTag(kTagName))
            table->deleteTag(kTagName);
    }
    return timedBuild([&] {
        Table::open(m_dbf, Access::Exclusive)->addTag(kTagName, kTagExpression);
        readFirstRows();
    });
}

void EngineBench::deleteEveryTenthRecord()
{
    auto table = Table::open(m_dbf, Access::Shared);
    for (std::uint32_t recno = 10; recno <= m_records; recno += 10) {
        check(table->gotoBookmark(recno), "record " + std::to_string(recno) + " cannot be reached");
        table->deleteRecord();
    }
}

Measurement EngineBench::pack()
{
    if (!m_deletedSaved) {
        deleteEveryTenthRecord();
        copyFile(m_dbf, m_dbf + ".deleted");
        copyFile(m_mdx, m_mdx + ".deleted");
        m_deletedSaved = true;
    } else {
        copyFile(m_dbf + ".deleted", m_dbf);
        copyFile(m_mdx + ".deleted", m_mdx);
    }
    auto table = Table::open(m_dbf, Access::Exclusive);
    Stopwatch watch;
    watch.resume();
    table->pack();
    table.reset();
    watch.pause();
    auto packed = Table::open(m_dbf, Access::Shared);
    check(packed->physicalCount() == m_records - m_records / 10,
          "the packed table holds " + std::to_string(packed->physicalCount()) + " records");
    return {watch.seconds()};
}

} // namespace bench
