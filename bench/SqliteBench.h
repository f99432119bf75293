#pragma once

#include "BookGenerator.h"
#include "Contender.h"

#include <cstdint>
#include <string>

namespace bench {

// The same figures on SQLite: one table `books` with the 36 columns in
// <directory>/books_<records>.sqlite, an expression index on the key of kTagExpression.
class SqliteBench : public Contender {
public:
    // `generator` must outlive this object.
    SqliteBench(const std::string& directory, std::uint32_t records, const BookGenerator& generator);

    // The library version and the settings every connection uses, for the report.
    static std::string settings();

    Measurement append() override;
    Measurement buildTag() override;
    Measurement openCount() override;
    Measurement firstRows() override;
    Measurement filteredWalk() override;
    Measurement postEdits() override;
    Measurement pack() override; // DELETE is untimed; the figure is VACUUM
    // Every row of the table, stepped through; `matched` is the count.
    Measurement scan();

private:
    std::string m_path;
    std::uint32_t m_records;
    const BookGenerator& m_generator;
    bool m_deletedSaved = false; // a copy of the file with every 10th record deleted exists
};

} // namespace bench
