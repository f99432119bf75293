#pragma once

// The report definition file SHVBOOK.URP: records of kDefinitionSize bytes
// one after another, no header; record i (from 0) is list position i.
//
// Reads never change the file. Every change rewrites the whole file through a
// temporary file renamed over it, so a crash leaves the old or the new file,
// never a torn one; and happens under an advisory lock, as two copies of the
// program may share the data directory. A partial last record is left out of
// the list and dropped by the next change.

#include "dbase/DatabaseError.h"
#include "dbase/FileSystem.h"
#include "reports/definition/ReportDefinition.h"

#include <optional>
#include <string>
#include <vector>

namespace reports {

inline constexpr const char* kReportFileName = "SHVBOOK.URP";
inline constexpr const char* kOldReportFileName = "BOOK.URP";
inline constexpr const char* kReportChanged = "The report file was changed by another copy of the program.";
inline constexpr const char* kReportNotFound = "Report format could not be located.";

// Overwrite or Delete refused: record i no longer bears the name the list showed.
class ReportChangedError : public dbase::DatabaseError {
public:
    ReportChangedError() : dbase::DatabaseError(kReportChanged) {}
};

class ReportFile {
public:
    // `fs` must outlive the object; I/O failures throw dbase::IoError.
    explicit ReportFile(std::string path, dbase::FileSystem& fs = dbase::defaultFileSystem());

    const std::string& path() const { return m_path; }

    // Names in file order, reading 31 bytes per record. A file that cannot be opened gives none.
    std::vector<std::string> list() const;
    // Record i, or nothing when i lies beyond the records (another copy may have
    // deleted some). Throws dbase::IoError when the file cannot be read.
    std::optional<ReportDefinition> read(int index) const;
    // Adds the definitions at the end, creating the file when there is none; answers the
    // position of the first. Throws DefinitionError for text the record cannot hold.
    int append(const std::vector<ReportDefinition>& definitions);
    // Replaces record i; refused with ReportChangedError unless it still bears expectedName.
    void overwrite(int index, const ReportDefinition& definition, const std::string& expectedName);
    // Removes record i, the later ones moving up; refused as overwrite is.
    void remove(int index, const std::string& expectedName);

private:
    std::vector<std::uint8_t> wholeRecords() const;
    void rewrite(const std::vector<std::uint8_t>& bytes);
    void checkName(const std::vector<std::uint8_t>& bytes, int index, const std::string& expectedName) const;

    std::string m_path;
    dbase::FileSystem& m_fs;
};

// Creates SHVBOOK.URP in dataDir with the eight built-in reports unless a file
// of that name in any letter case is there; answers the file's path.
std::string ensureReportFile(const std::string& dataDir, dbase::FileSystem& fs = dbase::defaultFileSystem());

// What the conversion of an older BOOK.URP did.
struct OldReportConversion {
    bool found = false;     // a BOOK.URP was there
    int appended = 0;       // reports added to SHVBOOK.URP
    bool deleted = false;   // BOOK.URP is gone
    bool converted = false; // its reports were read and appended this time
    std::string message;    // for the user when BOOK.URP was kept; empty otherwise
    std::uint64_t size = 0; // of BOOK.URP, with its modification time, to remember a conversion
    std::int64_t mtimeNs = 0;
};

// Appends the reports of BOOK.URP in dataDir to `target`, leaving out the old
// built-ins, and deletes BOOK.URP only once every record was read and
// appended and the new file is on the device. A BOOK.URP of the size and time
// in `alreadyConverted` (a conversion whose delete failed) is left alone.
OldReportConversion convertOldReports(const std::string& dataDir, ReportFile& target,
                                      std::optional<std::pair<std::uint64_t, std::int64_t>> alreadyConverted,
                                      dbase::FileSystem& fs = dbase::defaultFileSystem());

// What the settings keep after `conversion` so that a BOOK.URP whose reports
// were appended but which could not be deleted is not converted again: its size
// and modification time as "size mtime", empty once no such file is left, and
// `previous` when the conversion changed nothing.
std::string rememberedConversion(const OldReportConversion& conversion, const std::string& previous);
// The size and time in a remembered text; nothing for an empty or damaged one.
std::optional<std::pair<std::uint64_t, std::int64_t>> parseRememberedConversion(const std::string& text);

} // namespace reports
