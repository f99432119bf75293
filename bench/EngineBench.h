#pragma once

#include "BookGenerator.h"
#include "Contender.h"

#include <cstdint>
#include <functional>
#include <string>

namespace bench {

// The figures on our engine: dbase::Table on <directory>/BOOKS_<records>.DBF and
// its .MDX, opened shared unless the operation needs an exclusive open.
class EngineBench : public Contender {
public:
    // `generator` must outlive this object.
    EngineBench(const std::string& directory, std::uint32_t records, const BookGenerator& generator);

    Measurement append() override;
    Measurement buildTag() override;
    Measurement openCount() override;
    Measurement firstRows() override;
    Measurement filteredWalk() override;
    Measurement postEdits() override;
    Measurement pack() override;

    // Figures without a counterpart in Contender.
    // Every record by first()/next() in a shared open; `matched` is the count.
    Measurement sharedWalk();
    // Reading the table file from start to end as `cat` does, for comparison.
    Measurement readWholeFile();
    // A table whose sort tag is missing: exclusive open, the tag built, then
    // opened shared at its first rows in tag order, as the program does.
    Measurement openWithTagRebuilt();
    // Reads from the files per post in the last postEdits().
    double readsPerPost() const { return m_readsPerPost; }
    // Processor seconds (user and system) of the last append(), the books' making left out.
    double appendCpuSeconds() const { return m_appendCpuSeconds; }
    // Processor seconds of the timed part of the last buildTag() or
    // openWithTagRebuilt(): all threads, and the calling thread alone (the
    // build sorts and merges on a second thread).
    double buildCpuSeconds() const { return m_buildCpuSeconds; }
    double buildThreadCpuSeconds() const { return m_buildThreadCpuSeconds; }

private:
    void deleteEveryTenthRecord();
    void readFirstRows();
    // Times `build`, keeping its processor time as buildCpuSeconds() and buildThreadCpuSeconds() give it.
    Measurement timedBuild(const std::function<void()>& build);

    std::string m_dbf;
    std::string m_mdx;
    std::uint32_t m_records;
    const BookGenerator& m_generator;
    bool m_deletedSaved = false; // copies of the files with every 10th record deleted exist
    double m_readsPerPost = 0;
    double m_appendCpuSeconds = 0;
    double m_buildCpuSeconds = 0;
    double m_buildThreadCpuSeconds = 0;
};

} // namespace bench
