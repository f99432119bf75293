#pragma once

// Integrity check of a table and its production index, read straight from the
// files rather than through Table, so a damaged file is described instead of
// refused, and a fault of the engine cannot hide itself.

#include "FileSystem.h"

#include <cstdint>
#include <string>
#include <vector>

namespace dbase {

struct IntegrityFinding {
    enum class Area { Table, Record, Index, FreeList };
    Area area = Area::Table;
    std::string text; // one sentence a user can read
    bool fixable = false;
};

struct IntegrityReport {
    std::string table;
    std::string index;         // the .MDX checked; empty when the table has none
    std::uint32_t records = 0; // whole records the file holds
    int tags = 0;
    std::vector<IntegrityFinding> findings;
    std::vector<std::string> repairs; // what repairTable() did, in order

    bool clean() const { return findings.empty(); }
    bool fixable() const;
    // The findings (and repairs) as lines of text, ending in a one-line verdict.
    std::string text() const;
};

// Reads the table and its index without changing them, holding the header
// lock against writers: the header against the file size and the field
// descriptors, every record's deletion flag and values, the end mark; every
// tag walked and compared key by key with keys recomputed from the records;
// the free list. Throws DatabaseError only when the table cannot be read at all.
IntegrityReport checkTable(const std::string& path, FileSystem& fs = defaultFileSystem());

// Mends what can be mended without losing a record: the record count, a torn
// last record that was never completely written, the end mark, and an index
// that is wrong (rebuilt). Needs the table free of every other open; throws
// DatabaseError naming the file otherwise. Returns the check made afterwards,
// with `repairs` saying what was done.
IntegrityReport repairTable(const std::string& path, FileSystem& fs = defaultFileSystem());

} // namespace dbase
