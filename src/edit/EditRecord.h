#pragma once

#include "db/BookSchema.h"
#include "dbase/Table.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

namespace db {
class BookTable;
class DateText;
} // namespace db
namespace settings {
class NumberText;
}

namespace edit {

// The two date boxes, in the order an update checks them.
inline constexpr std::array<int, 2> kDateFields{db::fields::CheckDate, db::fields::PurchDate};

// What the window shows, by field position: every box's text as it stands (a date box's
// text holds its separators), and whether the check-out box is ticked. The CHECKOUT
// slot of `texts` is unused.
struct EditValues {
    std::array<QString, db::kBookFieldCount> texts;
    bool checkedOut = false;
    bool operator==(const EditValues&) const = default;
};

// Why an Update cannot go ahead: the box of `field` holds what the message names.
struct Refusal {
    int field = -1;
    QString message;
};

// What the record edit window was opened for. The numbers are the ones the program has
// always used for the three modes; None before the window was first opened.
enum class EditMode { None = 0, Add = 1, Change = 2, Copy = 3 };

// The message refusing the text in a date or money box of `field` that is no date or money.
QString inputRefusal(int field);

// The rules of the record edit window that do not need its widgets: loading a record,
// the snapshot and the change test, the checks before an update, and writing a record.
//
// A date loaded from the table is remembered with the text it was shown as: as long as
// the box still holds that text, an update stores the date as it was, without reading
// the text again (a two-digit year would otherwise be read into another century).
class EditRecord {
public:
    // `dates` and `numbers` must outlive the EditRecord.
    EditRecord(const db::DateText& dates, const settings::NumberText& numbers);

    // The current record of `books` as the boxes show it: money as money text, dates
    // written in the date format, CHECKOUT ticked only for exactly "Yes". With no
    // open table or no current record, every box empty. Remembers the dates.
    EditValues load(const db::BookTable& books);
    // Empty boxes, "0" in the four money boxes, the check-out box cleared.
    static EditValues cleared();
    // The dates on screen no longer come from a record (the window was cleared).
    void forgetLoadedDates() { m_loaded = {}; }

    void takeSnapshot(const EditValues& values) { m_snapshot = values; }
    const EditValues& snapshot() const { return m_snapshot; }
    // Any box's text differs from the snapshot (date boxes with blanks around them
    // removed), or the check-out box does.
    bool changed(const EditValues& now) const;

    // The checks before an update, in order: check-out date, purchase date, cost, value,
    // low market, high market; then what `table` could not store: the year and page
    // counts, money too wide for its field, characters outside the table's code page.
    // A date with a blank inside it is not a date. The first failure, or nothing.
    // `title` gives a field's title for the messages.
    std::optional<Refusal> check(const EditValues& values, const db::BookTable& table,
                                 const std::function<QString(int field)>& title) const;

    // Writes `values` (which passed check()) as a new record in the Add and Copy modes, and
    // in Change when they belong to no record; else into their record, which is made current
    // again first if the table has moved off it while it still has a row. Then `editMode`
    // is Change and the values belong to the record written. When the record has no row any
    // more (it left the search, or another program deleted it) nothing is written and the
    // answer says why: writing into whatever is current would overwrite another book.
    //
    // Throws when the table refuses the record: an unwritten insert or edit is cancelled
    // and `editMode` is as it was. When the failure came after the record was written
    // (placing its row), nothing is cancelled, `editMode` is Change and the values belong to
    // that record, so that another Update cannot add it a second time.
    [[nodiscard]] std::optional<QString> write(db::BookTable& books, const EditValues& values,
                                               EditMode& editMode);

    // The record the values belong to: the one load() read or write() last wrote; 0 for none.
    std::uint32_t recno() const { return m_recno; }
    // Makes that record the table's current record again while it has a row. False when it
    // has none, or the values belong to no record.
    bool returnToRecord(db::BookTable& books) const;

    // The box text of a money value (width 1, no blanks around it).
    QString moneyText(double value) const;
    // The number of a money box's text: 0 when it is blank, nothing when it is not money.
    std::optional<double> moneyValue(const QString& text) const;

private:
    struct LoadedDate {
        QString text;
        dbase::Date date;
    };
    const LoadedDate* unchangedDate(int slot, const QString& text) const;
    std::optional<Refusal> checkDate(const EditValues& values, int field) const;

    const db::DateText& m_dates;
    const settings::NumberText& m_numbers;
    EditValues m_snapshot;
    std::array<std::optional<LoadedDate>, kDateFields.size()> m_loaded; // by position in kDateFields
    std::uint32_t m_recno = 0;
    bool m_recnoWritten = false; // m_recno comes from write(), not load()
};

} // namespace edit
