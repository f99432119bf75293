#pragma once

#include "db/BookTable.h"
#include "db/FieldText.h"

#include <QString>
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace db {

enum class MatchType { Exact = 0, Beginning = 1, Anywhere = 2 };

// One locate: the table field searched, the value typed and how they must match.
struct LocateQuery {
    std::string field; // the table's field name, case ignored
    QString value;
    MatchType match = MatchType::Beginning;
    bool caseSensitive = false;
};

// The program's capitals: the letters a to z upper-cased, every other character
// as it is — the same capitals the index keys are made of.
QString upperAZ(QString text);

// `text` read as a number typed with `decimalSeparator`: blanks around it, an
// optional sign, digits with at most one separator, an optional exponent.
// Nullopt for anything else, a point included when the separator is not one.
std::optional<double> readLocateNumber(const QString& text, const QString& decimalSeparator);

// The match test for one field of the current record. The field's text is the
// text the user reads: character fields as stored without trailing blanks,
// numbers in plain decimals with `decimalSeparator`, dates through `dates`,
// memo fields whole. Without case both sides are compared in capitals. An
// empty value matches an empty field exactly and never partly. A field with
// decimals matches exactly when the value reads as a number equal to the
// field's, so 12.5 finds 12.50; a blank such field has no value to equal.
class FieldMatch {
public:
    // `field` indexes table.fields(). `dates` must outlive the FieldMatch.
    FieldMatch(const dbase::Table& table, int field, const LocateQuery& query, const db::DateText& dates,
               const QString& decimalSeparator);
    bool matches(const dbase::Table& table) const;
    // The same for a record handed to a record filter, where memo text cannot be read.
    bool matches(const dbase::RecordView& record) const;
    bool readsMemo() const { return m_memo; }

private:
    bool matchesText(QString text) const;
    bool equalsNumber(bool blank, double value) const;

    int m_field;
    const db::DateText& m_dates;
    QString m_separator;
    QString m_value; // in capitals when the case is ignored
    MatchType m_match;
    bool m_caseSensitive;
    bool m_decimalField = false;
    bool m_memo = false;
    std::optional<double> m_number; // the value as a number, for decimal fields
};

// Moves the book table to the next record, in its current order and among the
// records its filter passes, whose field matches a query; it never goes round
// from the last record to the first. When the current order's key begins with
// Upper(Left(field,w)) for the character field searched, an exact or
// beginning match seeks through the index to the records whose keys can hold a
// match instead of reading every record; the record found is the one reading
// them all would find. Past the first rows, a long search reads the file in
// one pass through a second, read-only open.
class Locator {
public:
    enum class From { First, Next };

    // `table`, `dates` and `fs` must outlive the Locator; `fs` serves the read-only opens.
    Locator(db::BookTable& table, const db::DateText& dates, QString decimalSeparator = QStringLiteral("."),
            dbase::FileSystem& fs = dbase::defaultFileSystem());

    void setDecimalSeparator(const QString& separator) { m_separator = separator; }
    // Off makes every search read the records in turn (tests and benchmarks compare the two).
    void setIndexSeek(bool on) { m_indexSeek = on; }
    // How many rows after the start are read one by one before the file is read in one pass.
    void setRowsReadInTurn(int rows) { m_rowsReadInTurn = std::max(0, rows); }
    // Whether the last find() went through the index.
    bool usedIndexSeek() const { return m_usedSeek; }

    // From the first record, or from the one after the current record. Found:
    // the book table is on the record found. Not found: it stays where it was.
    // A field the table does not have is never found.
    bool find(const LocateQuery& query, From from);

private:
    struct Prefix {
        int width = 0;
        QString probe; // the key prefix every candidate record has
    };
    std::optional<Prefix> seekPrefix(const LocateQuery& query, int field) const;
    int scan(const FieldMatch& match, int startRow);
    std::vector<std::uint8_t> matchingRecords(const FieldMatch& match);
    int seek(const FieldMatch& match, const Prefix& prefix, int field, int startRow);
    bool hasPrefix(const Prefix& prefix, int field) const;

    db::BookTable& m_table;
    const db::DateText& m_dates;
    QString m_separator;
    dbase::FileSystem& m_fs;
    bool m_indexSeek = true;
    bool m_usedSeek = false;
    int m_rowsReadInTurn = 256; // a few milliseconds; the next match is often near
};

} // namespace db
