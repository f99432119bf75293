#pragma once

#include "Field.h"
#include "FileSystem.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dbase {

enum class OpenMode;

enum class Access { Shared, Exclusive, ReadOnly };

// What a batch that fails leaves: the records written before the failure, or
// nothing it appended (an import that must be whole or not at all).
enum class BatchFailure { KeepWhatSucceeded, TakeBackAppends };

// A calendar date; year 0 means "no date".
struct Date {
    int year = 0, month = 0, day = 0;
    bool isNull() const { return year == 0; }
    bool operator==(const Date&) const = default;
};

// Read-only view of the current record handed to a record filter.
class RecordView {
public:
    virtual ~RecordView() = default;
    virtual int fieldCount() const = 0;
    virtual const Field& field(int index) const = 0;
    virtual int fieldIndex(const std::string& name) const = 0; // -1 when absent
    virtual std::string text(int index) const = 0;
    virtual double number(int index) const = 0;
    virtual Date date(int index) const = 0;
};

// Accepts or rejects a record. It must not move the table; its exceptions
// propagate to the caller of the navigation that ran it.
using RecordFilter = std::function<bool(const RecordView&)>;

struct TagInfo {
    std::string name;
    std::string expression;
    std::string forExpression;
    bool descending = false;
    bool unique = false;
    bool usable = true; // false when the engine cannot evaluate its expression
};

// An open dBase table (.DBF) with its production index (.MDX).
//
// Navigation follows dataset rules: records marked deleted and records the
// filter rejects are invisible; on an empty set both bof() and eof() are true;
// next() on the last record sets eof() and stays; prior() on the first sets bof().
// Values are UTF-8 text: character fields without trailing blanks, numbers
// as plain decimal text ("" when blank), dates as YYYYMMDD ("" when blank),
// logicals as "T"/"F" ("" when blank).
class Table {
public:
    // Opens `path` exactly as given. Throws DatabaseError when the file is
    // missing, damaged or (Exclusive) held by any other open, here or elsewhere.
    // A change interrupted by a crash is repaired at once when no other open
    // holds the table; otherwise the index is reported as needing a rebuild
    // (thrown here, reported by indexError() with openIgnoringIndex()).
    // A Shared open of a file the system will not let us write opens it
    // read-only; one whose header promises more records than the file holds
    // opens but refuses every change. warnings() says which; an Exclusive
    // open refuses both.
    static std::unique_ptr<Table> open(const std::string& path, Access access = Access::Shared,
                                       FileSystem& fs = defaultFileSystem());
    // Like open(), but a damaged index leaves the table in physical order
    // and is reported by indexError() instead of thrown.
    static std::unique_ptr<Table> openIgnoringIndex(const std::string& path, Access access,
                                                    FileSystem& fs = defaultFileSystem());
    // Creates (or replaces) a Windows-1252 table with no index.
    static void create(const std::string& path, const std::vector<FieldSpec>& fields,
                       FileSystem& fs = defaultFileSystem());
    ~Table();

    const std::string& path() const;
    Access access() const;
    const std::vector<Field>& fields() const;
    int fieldIndex(const std::string& name) const; // ASCII case ignored, -1 when absent
    std::uint8_t languageDriver() const;
    // Empty unless the index is damaged, or must be rebuilt because a change
    // was interrupted; the table is then in physical order and cannot be
    // changed until regenerateIndexes() (exclusive) has run.
    const std::string& indexError() const;
    // Things the user should know that did not stop the table from opening:
    // it was opened read-only, part of a record was removed in a repair, its
    // memo file is missing, a record has an unknown deletion mark. Each is a
    // sentence naming the file; the list only grows while the table is open.
    const std::vector<std::string>& warnings() const;

    // --- Index tags (adding and deleting needs an exclusive open) ---
    std::vector<TagInfo> tags() const;
    bool hasTag(const std::string& name) const;
    void addTag(const std::string& name, const std::string& expression, const std::string& forExpression = {},
                bool descending = false, bool unique = false);
    void deleteTag(const std::string& name);
    void setOrder(const std::string& tagName); // empty: physical order
    std::string order() const;

    // --- Navigation ---
    void first();
    void last();
    void next();
    void prior();
    bool bof() const;
    bool eof() const;
    bool isEmpty() const { return bof() && eof(); }
    // Moves to the first visible record whose key in the current order is >= `value`
    // (text of the key, UTF-8). Returns whether it landed on a record whose key starts with it.
    bool seek(const std::string& value);
    std::uint32_t recno() const; // 0 when there is no current record
    std::uint32_t bookmark() const { return recno(); }
    // Returns to a record; false when it is gone, deleted or filtered out.
    bool gotoBookmark(std::uint32_t recno);
    void refresh(); // re-reads the current record and drops cached pages

    // Record numbers of every visible record in the current order, read under
    // one lock with one sequential scan; the current record does not move.
    std::vector<std::uint32_t> visibleRecords();
    // The same, asking `carryOn` now and then: when it answers false the walk stops and
    // the answer is empty. Safe to run on another thread on an open of its own.
    std::vector<std::uint32_t> visibleRecords(const std::function<bool()>& carryOn);
    // The first `count` records of visibleRecords(), each checked on its own, looking at
    // no more than `examine` entries of the order: a screenful at the cost of a screenful.
    // `complete` tells that the walk reached the end of the order.
    struct VisiblePrefix {
        std::vector<std::uint32_t> records;
        bool complete = false;
    };
    VisiblePrefix firstVisibleRecords(std::size_t count, std::size_t examine);

    // Shows `visit` the table on each of `recnos` in turn, with the record's place in
    // `recnos`, under one lock and one check for other programs' changes. A record
    // gotoBookmark() would refuse (gone, deleted, filtered out) is skipped. The current
    // record does not move, also when `visit` throws. Throws DatabaseError while a
    // record is being edited or appended.
    using RecordVisitor = std::function<void(std::size_t index, const Table& table)>;
    void readRecords(const std::vector<std::uint32_t>& recnos, const RecordVisitor& visit);

    // Exact count of records that are not deleted and pass the filter.
    std::uint32_t recordCount();
    std::uint32_t physicalCount() const; // records in the file, deleted ones included

    void setFilter(RecordFilter filter); // empty function removes it

    // --- Values of the current record (or of the record being edited) ---
    std::string text(int field) const;
    std::string text(const std::string& field) const;
    long long whole(int field) const; // blank: 0
    double floating(int field) const; // blank: 0
    Date date(int field) const;       // blank: null date
    bool isBlank(int field) const;
    void setText(int field, const std::string& value);
    void setText(const std::string& field, const std::string& value);
    void setWhole(int field, long long value);
    void setFloating(int field, double value);
    void setDate(int field, const Date& value);
    std::string memo(int field) const; // text of a memo field from the .DBT; "" when the .DBT is missing

    // --- Changes ---
    void append(); // a blank new record in edit state, not yet in the file
    void edit();   // puts the current record into edit state
    void post();   // writes the edited or appended record and maintains every tag
    void cancel();
    bool editing() const;
    void deleteRecord(); // marks the current record deleted and moves to the next visible one

    // A batch of changes (an import, a bulk replace): holds the table's write
    // lock from beginBatch() to the matching endBatch(), so other programs
    // wait and each post skips taking the lock and re-reading the header.
    // Every post is still written through at once. Batches nest; the
    // outermost one decides what a failure leaves. With TakeBackAppends,
    // endBatch() after a failed post, or whose own writes fail, takes back
    // every record the batch appended before it throws the failure.
    void beginBatch(BatchFailure onFailure = BatchFailure::KeepWhatSucceeded);
    void endBatch();
    // Ends the batch instead of endBatch() when the caller gives up: every
    // record the batch appended is taken back (the file cut back, their keys
    // out of the tags), so the table holds what it held before; changes made
    // in place stay. Throws DatabaseError when the disk refuses even that; the
    // index is then left to be rebuilt.
    void abandonBatch();

    // Removes deleted records and rebuilds every tag (exclusive open).
    void pack();
    // Rebuilds every tag (exclusive open). Returns the names of tags that were
    // dropped because their expression cannot be evaluated.
    std::vector<std::string> regenerateIndexes();

    struct Impl; // private state, opaque to callers

private:
    explicit Table(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
};

} // namespace dbase
