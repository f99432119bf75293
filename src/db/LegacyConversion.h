#pragma once

#include "db/BookTable.h"
#include "dbase/Table.h"
#include "platform/Dialogs.h"

#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace db {

// The book files of the program's two earlier versions: 1.X kept 15 fields in
// BLOG.DBF, 2.X 26 fields in B2LOG.DBF.
enum class LegacyVersion { V1, V2 };

// Whether `fields` are those of an old book file of `version`: exactly its field
// count, the first field of any name, the others named as that version named
// them, compared without case on their first ten characters. Kinds are not compared.
bool isLegacyBookFile(const std::vector<dbase::Field>& fields, LegacyVersion version);

// PAGES of a 2.X record, which kept it as text: blanks at both ends and every ","
// dropped, then the leading whole number as settings numbers are read ("1,024" is
// 1024, "300 pp" 300, "ca. 300" and "" 0), saturating at the int range.
long long legacyPages(std::string_view text);

// PURCHDATE of a 1.X record from its day, month and year texts, at most four
// characters of each. "Jan" to "Dec", exactly so, name a month. Years of one or
// two digits are 19yy: that version predates 2000. All three parts empty give the
// null date; anything else that is no date gives nullopt.
std::optional<dbase::Date> legacyPurchaseDate(std::string_view day, std::string_view month,
                                              std::string_view year);

// Finds the old book files in the data directory at start-up and appends their
// records to the current book database, with the user's consent.
//
// A conversion first converts and checks every old record against the book
// table's fields, and writes nothing unless all of them pass (or the user agrees
// to leave 1.X dates that are no dates empty). The old file is deleted only once
// the book table is on the device; only the .DBF goes, an old .MDX stays.
class LegacyConversion {
public:
    // The references must outlive the object.
    LegacyConversion(BookTable& table, platform::Dialogs& dialogs,
                     dbase::FileSystem& fs = dbase::defaultFileSystem());

    // Whether `path` is an old book file of that version; no message. Opens the
    // file read-only and writes nothing to it. Throws the engine's error when the
    // file cannot be opened (damaged, or held exclusively by another program).
    bool CheckDBaseFormatV1(const QString& path);
    bool CheckDBaseFormatV2(const QString& path);

    // Offers to convert B2LOG.DBF (2.X), then BLOG.DBF (1.X), found in `dataDir`
    // in any letter case. In browse mode nothing is offered. Every failure is
    // shown and the start-up goes on. Answers the number of books added.
    std::uint32_t CheckForConversion(const QString& dataDir, bool browse);

    // Converts the old file at `path` into the open book table and deletes it.
    // Failures are shown; answers the number of books added (0 when none was).
    std::uint32_t ConvertV1(const QString& path) { return convert(path, LegacyVersion::V1); }
    std::uint32_t ConvertV2(const QString& path) { return convert(path, LegacyVersion::V2); }

private:
    struct Problem;
    // Book field and old field positions of one version's mapping.
    struct Mapping {
        LegacyVersion version = LegacyVersion::V2;
        std::vector<std::pair<int, int>> copies; // taken over as engine text
        std::pair<int, int> pages;               // 2.X
        int date = -1;                           // 1.X: PURCHDATE from the three parts
        std::array<int, 3> dateParts{};
    };
    Mapping mapping(LegacyVersion version);
    bool isVersion(const QString& path, LegacyVersion version);
    void offer(const QString& dataDir, LegacyVersion version);
    std::uint32_t convert(const QString& path, LegacyVersion version);
    std::optional<Problem> check(dbase::Table& old, LegacyVersion version, std::uint32_t& badDates);
    std::uint32_t write(dbase::Table& old, LegacyVersion version);
    bool fill(const dbase::Table& old, const Mapping& map);
    void showError(const QString& text);

    BookTable& m_table;
    platform::Dialogs& m_dialogs;
    dbase::FileSystem& m_fs;
    std::uint32_t m_added = 0;
};

} // namespace db
