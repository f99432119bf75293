#pragma once

#include "BookGenerator.h"
#include "Contender.h"

#include <cstdint>
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

private:
    void deleteEveryTenthRecord();

    std::string m_dbf;
    std::string m_mdx;
    std::uint32_t m_records;
    const BookGenerator& m_generator;
    bool m_deletedSaved = false; // copies of the files with every 10th record deleted exist
};

} // namespace bench
