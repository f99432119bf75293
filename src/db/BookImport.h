#pragma once

#include "db/BookTable.h"
#include "db/FieldText.h"
#include "dbase/Table.h"

#include <QChar>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace db {

// One value read from an import source. Text files give text; a dBase source
// gives its numbers and dates by value, so no display format stands between.
struct ImportValue {
    enum class Kind { Text, Number, Date };
    Kind kind = Kind::Text;
    std::string text; // UTF-8; for a number its plain decimal text
    dbase::Date date;
};

// Records to import, read from the start again by each pass.
class ImportSource {
public:
    virtual ~ImportSource() = default;
    virtual int fieldCount() const = 0;
    virtual void restart() = 0;
    // The next record's values, fieldCount() of them; false at the end.
    virtual bool next(std::vector<ImportValue>& values) = 0;
    // Line or record number of the values last read, for messages.
    virtual long long position() const = 0;
};

enum class ImportOutcome {
    Stored,
    Loose,       // left empty or only partly read: "1,234.50" → 1, a date in another separator
    BadDate,     // passes the separator and letter tests but is no date
    TooWide,     // a number the field cannot hold
    Unencodable, // a character the table's code page lacks
};

// Turns import values into values of the target table's fields by the kind
// of each field: text, whole and decimal numbers, dates. Numbers are read
// without the locale; a date from text needs the current separator and no
// letter, and two-digit years fall into the hundred years ending with the
// current year.
class ImportConverter {
public:
    // `target` and `dates` must outlive the converter.
    ImportConverter(const dbase::Table& target, const DateText& dates, QChar separator, int currentYear);
    // The same for the open book table (throws DatabaseError when none is open).
    ImportConverter(const BookTable& target, const DateText& dates, QChar separator, int currentYear);

    struct Value {
        bool blank = true;
        std::string text; // character and number fields
        dbase::Date date;
    };
    ImportOutcome convert(int field, const ImportValue& in, Value& out) const;
    // Writes a converted value into field `field` of the record being appended.
    void store(dbase::Table& table, int field, const Value& value) const;

private:
    ImportOutcome convertText(const dbase::Field& field, const std::string& text, Value& out) const;
    ImportOutcome convertDate(const std::string& text, Value& out) const;

    const dbase::Table& m_target;
    const DateText& m_dates;
    QChar m_separator;
    int m_currentYear;
};

struct ImportProblem {
    long long position = 0;
    int sourceField = 0; // from 0
    std::string text;
    ImportOutcome outcome = ImportOutcome::Stored;
};

struct ImportCheck {
    long long records = 0;
    long long loose = 0;
    long long problems = 0;    // bad dates and numbers too wide
    long long unencodable = 0; // these refuse the import
    std::optional<ImportProblem> firstProblem;
    std::optional<ImportProblem> firstUnencodable;
};

// `map[i]` is the target field of source field i, or -1.
using ImportMap = std::vector<int>;

// Reads the whole source and converts every mapped value, writing nothing.
ImportCheck checkImport(ImportSource& source, const ImportMap& map, const ImportConverter& converter);

struct ImportResult {
    long long records = 0;
    long long loose = 0; // problems accepted by the user count here too, as they are left empty
};

// Appends one record per source record to `target` under one batch, leaving
// values that do not convert empty. `progress` sees the count now and then.
// On failure the records appended so far are taken back and the error is
// thrown: nothing half-imported stays behind.
ImportResult writeImport(dbase::Table& target, ImportSource& source, const ImportMap& map,
                         const ImportConverter& converter,
                         const std::function<void(long long)>& progress = {});

// The same into the open book table: a pending edit is posted first, and afterwards,
// however the import ends, the rows are read again and the record that was current is
// current again while it has a row.
ImportResult writeImport(BookTable& books, ImportSource& source, const ImportMap& map,
                         const ImportConverter& converter,
                         const std::function<void(long long)>& progress = {});

// A dBase table as an import source: the exact file, read-only, in physical
// order, with its first 46 fields; memo fields give their text. It stops at
// the record count taken when it was opened.
class DbfImportSource final : public ImportSource {
public:
    static constexpr int kMaxFields = 46;

    // Throws DatabaseError when the table cannot be opened.
    explicit DbfImportSource(const std::string& path, dbase::FileSystem& fs = dbase::defaultFileSystem());
    ~DbfImportSource() override;

    std::vector<std::string> fieldNames() const;
    int droppedFields() const { return m_dropped; }
    std::uint32_t recordCount() const { return m_count; }

    int fieldCount() const override { return m_fieldCount; }
    void restart() override;
    bool next(std::vector<ImportValue>& values) override;
    long long position() const override { return m_position; }

private:
    std::unique_ptr<dbase::Table> m_table;
    int m_fieldCount = 0;
    int m_dropped = 0;
    std::uint32_t m_count = 0;
    long long m_position = 0;
};

} // namespace db
