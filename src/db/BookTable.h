#pragma once

#include "dbase/Table.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace db {

class DateText;

// The open book table: the engine table, its current order, its record filter
// and the row map — the record numbers of the records that pass the filter,
// in the current order, one per grid row. The grid, the record count and the
// navigator all read this one map, so they always agree, and the table's
// current record is the record of currentRow().
//
// Changes made through append()/edit()/post()/cancel()/deleteCurrent() update
// the map for that one record. adopt(), reopen(), setFilter(), setOrder() and
// rebuild() walk the whole order again. Changes made on table() directly, and
// other programs' changes, are seen after the next rebuild().
//
// adopt() of a large table in a shared or read-only open without a filter maps
// the first rows at once and completes the map on another thread, on an open
// of its own: the window paints before a million books are walked. Whatever
// needs rows beyond those (rowCount(), rowOf() of a later record, a row past
// them, any change, any key press, click or wheel turn in the program) waits
// for the map first; the grid paints from rowsKnown() meanwhile. Whoever begins a
// batch on table() calls completeRows() first: the walk may wait for the header
// lock the batch holds, and must not be waited for meanwhile. A completion that
// fails throws from the event loop, to the application's error message. One asked
// for while the signals below are emitted (a dialog opened from a slot) waits
// until they are.
//
// The signals are emitted synchronously around each change of the map, in the
// pairs a QAbstractItemModel needs (aboutTo… before, the other after).
class BookTable : public QObject {
    Q_OBJECT

public:
    // `fs` serves reopen() and the completion's own open on another thread: it must be
    // safe to use from two threads at once, and outlive the BookTable.
    explicit BookTable(dbase::FileSystem& fs = dbase::defaultFileSystem(), QObject* parent = nullptr);
    ~BookTable() override;

    // Shows `table` in its current order with `filter` installed (empty: none),
    // closing the table open before. The new map is built before the old table
    // is given up, so a failure leaves everything as it was.
    void adopt(std::unique_ptr<dbase::Table> table, dbase::RecordFilter filter = {});
    // Closes the table; reopen() opens the same file shared again with the same
    // filter, in the same order while its tag exists (else in physical order),
    // back on the same record when it is still there.
    void close();
    void reopen();
    bool isOpen() const { return m_table != nullptr; }
    // Path of the open table, or of the one last closed; empty when none was ever open.
    const std::string& path() const { return m_path; }

    // The open table. Throws DatabaseError when none is open.
    dbase::Table& table();
    const dbase::Table& table() const;

    // --- the current record and the table's layout, for the windows ---
    // Each throws DatabaseError when no table is open.

    std::uint32_t recno() const;         // the current record; 0 when there is none
    bool isEmpty() const;                // the engine is on no record: none passes the order and filter
    bool editing() const;                // a record is being edited or appended
    bool readOnly() const;               // opened read-only: nothing can be written
    std::uint32_t physicalCount() const; // records in the file, deleted ones included
    const std::vector<dbase::Field>& fields() const;
    bool isBlank(int field) const;
    double floating(int field) const;
    dbase::Date date(int field) const;
    // A field's value as the user reads it (see db::fieldText).
    QString fieldText(int field, const DateText& dates) const;
    // Set fields of the record being edited or appended (see db::setFieldText for the text).
    void setText(int field, const std::string& text);
    void setFloating(int field, double value);
    void setDate(int field, dbase::Date value);
    void setFieldText(int field, const QString& text, const DateText& dates);

    // What writing would refuse, asked before anything is written: each throws the
    // DatabaseError the write would throw, which names the field by its table name.
    void checkNumberText(int field, const QString& text) const;
    void checkNumber(int field, double value) const;
    // The first character of `text` that the table's code page has no byte for; empty when
    // it has one for every character.
    QString unstorableCharacter(const QString& text) const;
    QString codePageName() const;

    void setFilter(dbase::RecordFilter filter); // empty removes it
    bool hasFilter() const { return static_cast<bool>(m_filter); }
    void setOrder(const std::string& tagName); // empty: physical order
    std::string order() const;                 // the tag the engine walks; empty: physical order
    // Walks the current order again; a pending edit is posted first. On failure
    // the map is left empty and the error is thrown.
    void rebuild();

    int rowCount() const; // every row: waits for the map to be complete
    // Rows of the map so far, without waiting; all of them once rowsComplete().
    // While the map is incomplete there is at least one row more than these.
    int rowsKnown() const { return static_cast<int>(m_rows.size()); }
    bool rowsComplete() const { return !m_completion; }
    // The last walk failed (its error was thrown): the map is empty though the table may not be.
    bool mapFailed() const { return m_mapFailed; }
    // Waits until the map holds every row. On failure the map is left empty and the error thrown.
    void completeRows() const;
    // Tables from this many records on are mapped a screenful first. For tests.
    static void setCompleteLaterFrom(std::uint32_t records);
    // What the completion's own open noticed on its walk (an unknown deletion mark past the
    // first rows), each once; the table's warnings() hold what this open noticed.
    std::vector<std::string> takeWalkWarnings();
    std::uint32_t recnoAt(int row) const; // 0 out of range
    int rowOf(std::uint32_t recno) const; // -1 when the record has no row
    int currentRow() const;               // -1 when there is no current record
    // Makes the record of `row` current, posting a pending edit first. False when
    // `row` is out of range or its record has gone (the map is then rebuilt).
    bool gotoRow(int row);

    // Reads `count` rows from `first`, among the rows known so far: `visit` sees the table
    // on each row's record in turn. The current record is put back afterwards, also when
    // `visit` throws. While a record is being edited or appended nothing is
    // visited (moving would post it) and the answer is false.
    bool readRows(int first, int count, const std::function<void(int row, const dbase::Table&)>& visit);

    void append(); // a blank record in edit state; posts a pending edit first
    void edit();
    void post(); // writes the record and moves its row to where the order puts it
    // The record number the last post() wrote, kept also when placing its row failed; 0 before any.
    std::uint32_t lastPosted() const { return m_lastPosted; }
    void cancel();
    void deleteCurrent(); // deletes the current record (or drops an unposted append)

signals:
    void aboutToReset();
    void resetDone();
    void aboutToRemoveRow(int row);
    void rowRemoved(int row);
    void aboutToInsertRow(int row);
    void rowInserted(int row);
    void rowChanged(int row);
    void allRowsChanged();
    void currentRowChanged(int row);
    // Rows added at the end as the map is completed, rows first to last.
    void aboutToAppendRows(int first, int last);
    void rowsAppended();
    // The map holds every row now (also when its completion changed it, failed, or was
    // given up for a walk anew).
    void rowsCompleted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Completion;
    struct Emitting;
    static std::vector<std::uint32_t> walk(dbase::Table& table);
    bool mapFirstRows(dbase::Table& table, bool filtered, std::vector<std::uint32_t>& rows);
    std::unique_ptr<Completion> startCompletion(const std::string& path, const std::string& order);
    void reportDone(std::uint64_t number);
    void completionDone(std::uint64_t number);
    void finishLater();
    void watch(std::unique_ptr<Completion> completion);
    void cancelCompletion();
    void announceCancelled();
    void finishCompletion();
    void joinRows(std::vector<std::uint32_t> rows);
    void install(std::unique_ptr<dbase::Table> table, std::vector<std::uint32_t> rows);
    void resetRows(std::vector<std::uint32_t> rows);
    void failRows();
    void setRows(std::vector<std::uint32_t> rows, bool failed = false);
    void placePosted(std::uint32_t recno, int oldRow);
    void removeRow(int row);
    void insertRow(int row, std::uint32_t recno);
    void settleOn(int row);

    dbase::FileSystem& m_fs;
    std::unique_ptr<dbase::Table> m_table;
    std::unique_ptr<Completion> m_completion; // the walk completing the map; none when complete
    std::uint64_t m_completions = 0;          // completions started, to tell a late report from a stale one
    int m_emitting = 0;                       // signals of a change being emitted, nested
    bool m_finishWanted = false;              // the completion was asked for while they were
    bool m_cancelled = false;                 // a completion was given up without rowsCompleted
    bool m_mapFailed = false;                 // see mapFailed()
    std::vector<std::string> m_walkWarnings;  // see takeWalkWarnings()
    std::string m_path;
    std::string m_order;
    dbase::RecordFilter m_filter;
    std::vector<std::uint32_t> m_rows;
    mutable int m_hint = -1; // last row found by rowOf(), tried first next time
    bool m_appending = false;
    std::uint32_t m_lastRecno = 0;
    std::uint32_t m_lastPosted = 0; // current record when the table was closed, for reopen()
};

} // namespace db
