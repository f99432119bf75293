#pragma once

#include "db/BookTable.h"
#include "db/FieldText.h"
#include "dbase/Table.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace db {

struct ExportOptions {
    std::vector<int> fields;     // field indexes of the source, in export order
    std::vector<QString> labels; // the header line, one label per field; empty: none
    bool windows1252 = false;    // else UTF-8 with a byte-order mark
};

// Called now and then with the number of records written so far.
using ExportProgress = std::function<void(std::size_t written)>;

// Writes the records `recnos` of `source` (a handle of the caller's own: it
// is moved) as delimited text: each value in double quotes, commas between,
// CR LF after each line. Numbers are plain ("1234.5000", "1024"), dates are
// written by `dates`, characters below 32 become blanks, quotes are doubled.
// The old file at `target` is kept until the new one is complete; on failure
// the temporary file is removed and the error thrown.
void exportText(dbase::Table& source, const std::vector<std::uint32_t>& recnos, const ExportOptions& options,
                const DateText& dates, const std::string& target,
                dbase::FileSystem& fs = dbase::defaultFileSystem(), const ExportProgress& progress = {});

// Writes the same records into a new dBase table at `target` (Windows-1252, no
// index) whose fields are the book fields of `fields` under their mixed-case
// names; numbers and dates are copied by value. A production index left beside
// an old table of that name is deleted. Failures as for exportText().
void exportDbase(dbase::Table& source, const std::vector<std::uint32_t>& recnos,
                 const std::vector<int>& fields, const std::string& target,
                 dbase::FileSystem& fs = dbase::defaultFileSystem(), const ExportProgress& progress = {});

enum class ExportKind { Text, Dbase };

// Exports the open book table: all its records in its current order, or
// (`searchOnly`) the rows of the running search in grid order. Walks a handle
// of its own, so the grid's current record and its search stay as they are.
void exportBooks(BookTable& books, bool searchOnly, ExportKind kind, const ExportOptions& options,
                 const DateText& dates, const std::string& target,
                 dbase::FileSystem& fs = dbase::defaultFileSystem(), const ExportProgress& progress = {});

// The records exportBooks() writes, in order.
std::vector<std::uint32_t> exportRecords(BookTable& books, bool searchOnly, dbase::Table& own);

// One value as exportText() writes it, quotes included; `budget` is the
// number of characters the quoted value may take.
std::string quotedValue(const std::string& utf8, int budget);

} // namespace db
