#include "BookTable.h"

#include "db/FieldText.h"
#include "dbase/CodePage.h"
#include "dbase/DatabaseError.h"
#include "dbase/Values.h"

#include <QCoreApplication>
#include <QEvent>
#include <algorithm>
#include <atomic>
#include <exception>
#include <system_error>
#include <thread>
#include <utility>

namespace db {

namespace {

// A screenful on the tallest screen and the grid's read-ahead, with room to spare.
constexpr std::size_t kFirstRows = 256;
// Entries of the order looked at for them before giving up and walking it all
// (a table whose first records in the order are nearly all deleted).
constexpr std::size_t kFirstRowsExamined = 4096;
// Below this the whole walk takes a few milliseconds: not worth a thread.
constexpr std::uint32_t kCompleteLaterDefault = 20000;
std::uint32_t completeLaterFrom = kCompleteLaterDefault;

} // namespace

// The walk of the whole order on another thread. Its results are read only
// after the thread has been joined.
struct BookTable::Completion {
    std::uint64_t number = 0;
    std::atomic<bool> stop{false};
    std::vector<std::uint32_t> rows;
    std::vector<std::string> warnings; // what its own open noticed on the walk
    std::exception_ptr error;
    std::thread thread;

    ~Completion()
    {
        stop = true;
        if (thread.joinable())
            thread.join();
    }
};

BookTable::BookTable(dbase::FileSystem& fs, QObject* parent) : QObject(parent), m_fs(fs) {}

BookTable::~BookTable()
{
    cancelCompletion();
}

void BookTable::setCompleteLaterFrom(std::uint32_t records)
{
    completeLaterFrom = records ? records : kCompleteLaterDefault;
}

dbase::Table& BookTable::table()
{
    if (!m_table)
        throw dbase::DatabaseError("No book database is open.");
    return *m_table;
}

const dbase::Table& BookTable::table() const
{
    return const_cast<BookTable*>(this)->table();
}

// Counts BookTable's own emissions in progress: a slot may open a dialog whose event loop
// must not change the map in the middle of a change the views are being told of.
struct BookTable::Emitting {
    BookTable& table;
    explicit Emitting(BookTable& t) : table(t) { ++table.m_emitting; }
    ~Emitting()
    {
        if (--table.m_emitting == 0 && table.m_finishWanted && table.m_completion)
            table.finishLater();
    }
    Emitting(const Emitting&) = delete;
    Emitting& operator=(const Emitting&) = delete;
};

std::uint32_t BookTable::recno() const
{
    return table().recno();
}

std::string BookTable::order() const
{
    return table().order();
}

bool BookTable::isEmpty() const
{
    return table().isEmpty();
}

bool BookTable::editing() const
{
    return table().editing();
}

bool BookTable::readOnly() const
{
    return table().access() == dbase::Access::ReadOnly;
}

std::uint32_t BookTable::physicalCount() const
{
    return table().physicalCount();
}

const std::vector<dbase::Field>& BookTable::fields() const
{
    return table().fields();
}

void BookTable::checkNumberText(int field, const QString& text) const
{
    dbase::encodeNumberText(fields().at(std::size_t(field)), text.toStdString());
}

void BookTable::checkNumber(int field, double value) const
{
    dbase::encodeNumber(fields().at(std::size_t(field)), value);
}

QString BookTable::unstorableCharacter(const QString& text) const
{
    std::string bytes, bad;
    const dbase::CodePage& codePage = dbase::CodePage::forLanguageDriver(table().languageDriver());
    return codePage.encode(text.toStdString(), bytes, bad) ? QString() : QString::fromStdString(bad);
}

QString BookTable::codePageName() const
{
    return QString::fromLatin1(dbase::CodePage::forLanguageDriver(table().languageDriver()).name());
}

bool BookTable::isBlank(int field) const
{
    return table().isBlank(field);
}

double BookTable::floating(int field) const
{
    return table().floating(field);
}

dbase::Date BookTable::date(int field) const
{
    return table().date(field);
}

QString BookTable::fieldText(int field, const DateText& dates) const
{
    return db::fieldText(table(), field, dates);
}

void BookTable::setText(int field, const std::string& text)
{
    table().setText(field, text);
}

void BookTable::setFloating(int field, double value)
{
    table().setFloating(field, value);
}

void BookTable::setDate(int field, dbase::Date value)
{
    table().setDate(field, value);
}

void BookTable::setFieldText(int field, const QString& text, const DateText& dates)
{
    db::setFieldText(table(), field, text, dates);
}

// The rows of the current order, read by the engine in one pass.
std::vector<std::uint32_t> BookTable::walk(dbase::Table& table)
{
    return table.visibleRecords();
}

void BookTable::adopt(std::unique_ptr<dbase::Table> table, dbase::RecordFilter filter)
{
    const bool wasCompleting = m_completion != nullptr;
    cancelCompletion();
    std::vector<std::uint32_t> rows;
    std::unique_ptr<Completion> completion;
    try {
        table->setFilter(filter);
        if (mapFirstRows(*table, static_cast<bool>(filter), rows)) {
            // Made before the views are told of a reset: nothing after that may fail.
            completion = startCompletion(table->path(), table->order());
            // On the first row, which has a row: no one waits for the map to learn where it is.
            table->gotoBookmark(rows.front());
        }
    } catch (...) {
        if (wasCompleting) // the table shown stays, and so does the completion of its map
            watch(startCompletion(m_path, m_order));
        throw;
    }
    m_filter = std::move(filter);
    m_order = table->order();
    m_path = table->path();
    m_walkWarnings.clear();
    {
        Emitting emitting(*this);
        emit aboutToReset();
        m_table = std::move(table);
        if (completion)
            watch(std::move(completion));
        setRows(std::move(rows));
        settleOn(0);
    }
    announceCancelled();
}

// Maps the first rows of `table` into `rows`; true when the rest is left to a completion.
// A table in an exclusive open, with a filter (which may not be called from another
// thread) or a small one is walked whole at once.
bool BookTable::mapFirstRows(dbase::Table& table, bool filtered, std::vector<std::uint32_t>& rows)
{
    if (table.access() == dbase::Access::Exclusive || filtered || table.physicalCount() < completeLaterFrom) {
        rows = walk(table);
        return false;
    }
    dbase::Table::VisiblePrefix prefix = table.firstVisibleRecords(kFirstRows + 1, kFirstRowsExamined);
    if (prefix.complete) {
        rows = std::move(prefix.records);
        return false;
    }
    if (prefix.records.size() <= kFirstRows) {
        rows = walk(table);
        return false;
    }
    prefix.records.pop_back(); // known to exist: the map is never complete with these rows alone
    rows = std::move(prefix.records);
    return true;
}

std::unique_ptr<BookTable::Completion> BookTable::startCompletion(const std::string& path,
                                                                  const std::string& order)
{
    auto completion = std::make_unique<Completion>();
    completion->number = ++m_completions;
    Completion* c = completion.get();
    dbase::FileSystem& fs = m_fs;
    try {
        c->thread = std::thread([this, c, path, order, &fs] {
            try {
                auto own = dbase::Table::openIgnoringIndex(path, dbase::Access::ReadOnly, fs);
                if (!order.empty())
                    own->setOrder(order);
                c->rows = own->visibleRecords([c] { return !c->stop.load(std::memory_order_relaxed); });
                c->warnings = own->warnings();
                if (c->stop)
                    return;
            } catch (...) {
                c->error = std::current_exception();
            }
            reportDone(c->number);
        });
    } catch (const std::system_error&) {
        // No thread to be had: the map is completed by a walk on this one, as after a failed walk.
        c->error = std::current_exception();
        reportDone(c->number);
    }
    return completion;
}

// Completed from the event loop when nothing has asked for the map before.
void BookTable::reportDone(std::uint64_t number)
{
    QMetaObject::invokeMethod(
        this, [this, number] { completionDone(number); }, Qt::QueuedConnection);
}

void BookTable::completionDone(std::uint64_t number)
{
    if (!m_completion || m_completion->number != number)
        return;
    if (m_emitting > 0) {
        m_finishWanted = true; // once the change being told of is over
        return;
    }
    finishCompletion(); // a failure goes to the application's error message like any other
}

void BookTable::finishLater()
{
    m_finishWanted = false;
    reportDone(m_completion->number);
}

void BookTable::watch(std::unique_ptr<Completion> completion)
{
    m_completion = std::move(completion);
    m_finishWanted = false;
    m_cancelled = false; // its own rowsCompleted follows
    // Every key press, click or wheel turn waits for the map: Ctrl+End in the grid goes
    // to the real last book, a command counts every row.
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
}

void BookTable::cancelCompletion()
{
    if (!m_completion)
        return;
    m_completion.reset(); // stops and joins the walk
    m_finishWanted = false;
    m_cancelled = true;
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

// The map given up for one walked anew is complete too: whoever waits for rowsCompleted learns it.
void BookTable::announceCancelled()
{
    if (std::exchange(m_cancelled, false) && !m_completion)
        emit rowsCompleted();
}

void BookTable::completeRows() const
{
    if (m_completion)
        const_cast<BookTable*>(this)->finishCompletion();
}

void BookTable::finishCompletion()
{
    std::unique_ptr<Completion> c = std::move(m_completion);
    m_finishWanted = false;
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
    if (c->thread.joinable())
        c->thread.join();
    std::vector<std::uint32_t> rows = std::move(c->rows);
    const bool failed = c->error != nullptr;
    m_walkWarnings.insert(m_walkWarnings.end(), c->warnings.begin(), c->warnings.end());
    c.reset();
    if (failed) {
        // The other open failed (the index damaged since, the file gone, ...): our own
        // walk gives the map or the error a walk gives.
        try {
            rows = walk(*m_table);
        } catch (...) {
            failRows();
            emit rowsCompleted();
            throw;
        }
    }
    joinRows(std::move(rows));
}

std::vector<std::string> BookTable::takeWalkWarnings()
{
    return std::exchange(m_walkWarnings, {});
}

// The completed map: its first rows are those shown, unless another program changed the
// table in between, when it replaces them.
void BookTable::joinRows(std::vector<std::uint32_t> rows)
{
    const bool extends =
        rows.size() >= m_rows.size() && std::equal(m_rows.begin(), m_rows.end(), rows.begin());
    if (!extends) {
        const std::uint32_t keep = m_table->recno();
        resetRows(std::move(rows));
        settleOn(std::max(0, rowOf(keep)));
    } else if (rows.size() > m_rows.size()) {
        Emitting emitting(*this);
        emit aboutToAppendRows(rowsKnown(), static_cast<int>(rows.size()) - 1);
        m_rows = std::move(rows);
        emit rowsAppended();
    }
    emit rowsCompleted();
}

bool BookTable::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
        if (m_completion && m_emitting > 0)
            m_finishWanted = true; // a dialog opened while the views are told of a change
        else if (m_completion)
            finishCompletion(); // a failure goes to the application's error message
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

// The reset signals enclose every change, so that views never see a new table with an old map.
void BookTable::install(std::unique_ptr<dbase::Table> table, std::vector<std::uint32_t> rows)
{
    Emitting emitting(*this);
    emit aboutToReset();
    m_table = std::move(table);
    setRows(std::move(rows));
}

void BookTable::resetRows(std::vector<std::uint32_t> rows)
{
    Emitting emitting(*this);
    emit aboutToReset();
    setRows(std::move(rows));
}

// A walk failed: no rows, and none may be taken for an empty table.
void BookTable::failRows()
{
    {
        Emitting emitting(*this);
        emit aboutToReset();
        setRows({}, true);
    }
    emit currentRowChanged(-1);
}

void BookTable::setRows(std::vector<std::uint32_t> rows, bool failed)
{
    m_mapFailed = failed;
    m_rows = std::move(rows);
    m_hint = -1;
    m_appending = false;
    emit resetDone();
}

void BookTable::close()
{
    cancelCompletion();
    m_lastRecno = m_table ? m_table->recno() : 0;
    install(nullptr, {});
    emit currentRowChanged(-1);
    announceCancelled();
}

void BookTable::reopen()
{
    if (m_path.empty())
        throw dbase::DatabaseError("No book database was open to open again.");
    // The index may have been found damaged when the table was first opened: the
    // order then is physical and the table opens the same way again.
    auto table = dbase::Table::openIgnoringIndex(m_path, dbase::Access::Shared, m_fs);
    if (!m_order.empty() && table->hasTag(m_order))
        table->setOrder(m_order);
    std::uint32_t keep = m_lastRecno;
    adopt(std::move(table), m_filter);
    int row = rowOf(keep);
    if (row > 0)
        settleOn(row);
}

void BookTable::setFilter(dbase::RecordFilter filter)
{
    cancelCompletion(); // the walk would give the rows of the filter before
    m_filter = std::move(filter);
    if (!m_table)
        return;
    m_table->setFilter(m_filter);
    rebuild();
}

void BookTable::setOrder(const std::string& tagName)
{
    cancelCompletion();
    try {
        table().setOrder(tagName);
    } catch (...) {
        // The order stays as it was, and the map given up above is walked whole again.
        try {
            rebuild();
        } catch (...) {
            // The map is then empty and marked failed; the refused order is the error to tell.
        }
        throw;
    }
    m_order = m_table->order();
    rebuild();
}

void BookTable::rebuild()
{
    cancelCompletion(); // walked again here, at once
    dbase::Table& t = table();
    if (t.editing())
        t.post();
    m_appending = false;
    std::uint32_t keep = t.recno();
    std::vector<std::uint32_t> rows;
    try {
        rows = walk(t);
    } catch (...) {
        failRows();
        announceCancelled();
        throw;
    }
    resetRows(std::move(rows));
    settleOn(std::max(0, rowOf(keep)));
    announceCancelled();
}

int BookTable::rowCount() const
{
    completeRows();
    return rowsKnown();
}

std::uint32_t BookTable::recnoAt(int row) const
{
    if (row >= rowsKnown())
        completeRows();
    return row >= 0 && row < rowsKnown() ? m_rows[static_cast<std::size_t>(row)] : 0;
}

int BookTable::rowOf(std::uint32_t recno) const
{
    if (recno == 0)
        return -1;
    if (recnoAt(m_hint) == recno)
        return m_hint;
    auto found = std::find(m_rows.begin(), m_rows.end(), recno);
    if (found == m_rows.end() && !rowsComplete()) {
        completeRows();
        found = std::find(m_rows.begin(), m_rows.end(), recno);
    }
    if (found == m_rows.end())
        return -1;
    m_hint = static_cast<int>(found - m_rows.begin());
    return m_hint;
}

int BookTable::currentRow() const
{
    if (!m_table || m_table->isEmpty())
        return -1;
    return rowOf(m_table->recno());
}

bool BookTable::gotoRow(int row)
{
    dbase::Table& t = table();
    if (t.editing())
        post();
    if (row < 0 || (row >= rowsKnown() && row >= rowCount()))
        return false;
    if (!t.gotoBookmark(recnoAt(row))) {
        rebuild(); // another program deleted or changed it: the map is out of date
        return false;
    }
    emit currentRowChanged(row);
    return true;
}

bool BookTable::readRows(int first, int count, const std::function<void(int, const dbase::Table&)>& visit)
{
    dbase::Table& t = table();
    if (t.editing())
        return false;
    const int from = std::clamp(first, 0, rowsKnown());
    const int end = std::clamp(first + count, from, rowsKnown());
    const std::vector<std::uint32_t> recnos(m_rows.begin() + from, m_rows.begin() + end);
    t.readRecords(recnos,
                  [&](std::size_t i, const dbase::Table& on) { visit(from + static_cast<int>(i), on); });
    return true;
}

void BookTable::append()
{
    completeRows(); // the new record's row goes where the whole map puts it
    dbase::Table& t = table();
    if (t.editing())
        post();
    t.append();
    m_appending = true;
}

void BookTable::edit()
{
    completeRows(); // posting moves the record's row to where the whole map puts it
    table().edit();
}

void BookTable::cancel()
{
    dbase::Table& t = table();
    bool wasEditing = t.editing() && !m_appending;
    t.cancel();
    m_appending = false;
    if (wasEditing && currentRow() >= 0)
        emit rowChanged(currentRow());
}

void BookTable::post()
{
    completeRows();
    dbase::Table& t = table();
    if (!t.editing())
        return;
    bool appending = m_appending;
    t.post();
    m_appending = false;
    std::uint32_t recno = t.recno();
    m_lastPosted = recno;
    placePosted(recno, appending ? -1 : rowOf(recno));
}

// Finds where the order now puts the posted record by its predecessor in the
// order, which already has a row: a post costs one step back, not a walk.
void BookTable::placePosted(std::uint32_t recno, int oldRow)
{
    dbase::Table& t = *m_table;
    bool visible = t.gotoBookmark(recno);
    if (!visible) { // the filter no longer accepts it
        if (oldRow >= 0)
            removeRow(oldRow);
        settleOn(std::max(0, oldRow));
        return;
    }
    int predecessorRow = -1;
    t.prior();
    if (!t.bof() && t.recno() != recno) {
        predecessorRow = rowOf(t.recno());
        if (predecessorRow < 0) { // another program added it: the map is out of date
            rebuild();
            return;
        }
    }
    t.gotoBookmark(recno);
    int newRow = predecessorRow + 1;
    if (oldRow >= 0 && oldRow < newRow)
        --newRow; // the record's own row, above its new place, goes away
    if (newRow == oldRow) {
        emit rowChanged(newRow);
    } else {
        if (oldRow >= 0)
            removeRow(oldRow);
        insertRow(newRow, recno);
    }
    emit currentRowChanged(newRow);
}

void BookTable::deleteCurrent()
{
    completeRows();
    dbase::Table& t = table();
    if (m_appending && t.editing()) {
        cancel();
        return;
    }
    int row = currentRow();
    t.deleteRecord();
    m_appending = false;
    if (row < 0) {
        rebuild();
        return;
    }
    removeRow(row);
    emit currentRowChanged(currentRow());
}

void BookTable::removeRow(int row)
{
    Emitting emitting(*this);
    emit aboutToRemoveRow(row);
    m_rows.erase(m_rows.begin() + row);
    m_hint = -1;
    emit rowRemoved(row);
}

void BookTable::insertRow(int row, std::uint32_t recno)
{
    Emitting emitting(*this);
    emit aboutToInsertRow(row);
    m_rows.insert(m_rows.begin() + row, recno);
    m_hint = row;
    emit rowInserted(row);
}

// Makes the record of `row` (clamped to the map) current; an empty map leaves no current record.
void BookTable::settleOn(int row)
{
    if (m_rows.empty()) {
        m_table->first();
        emit currentRowChanged(-1);
        return;
    }
    if (row >= rowsKnown())
        completeRows();
    row = std::clamp(row, 0, rowsKnown() - 1);
    m_table->gotoBookmark(recnoAt(row));
    emit currentRowChanged(row);
}

} // namespace db
