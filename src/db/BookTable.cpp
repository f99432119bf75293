#include "BookTable.h"

#include "db/FieldText.h"
#include "dbase/CodePage.h"
#include "dbase/DatabaseError.h"
#include "dbase/Values.h"

#include <algorithm>

namespace db {

BookTable::BookTable(dbase::FileSystem& fs, QObject* parent) : QObject(parent), m_fs(fs) {}

BookTable::~BookTable() = default;

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
    table->setFilter(filter);
    std::vector<std::uint32_t> rows = walk(*table);
    m_filter = std::move(filter);
    m_order = table->order();
    m_path = table->path();
    install(std::move(table), std::move(rows));
    settleOn(0);
}

// The reset signals enclose every change, so that views never see a new table with an old map.
void BookTable::install(std::unique_ptr<dbase::Table> table, std::vector<std::uint32_t> rows)
{
    emit aboutToReset();
    m_table = std::move(table);
    setRows(std::move(rows));
}

void BookTable::resetRows(std::vector<std::uint32_t> rows)
{
    emit aboutToReset();
    setRows(std::move(rows));
}

void BookTable::setRows(std::vector<std::uint32_t> rows)
{
    m_rows = std::move(rows);
    m_hint = -1;
    m_appending = false;
    emit resetDone();
}

void BookTable::close()
{
    m_lastRecno = m_table ? m_table->recno() : 0;
    install(nullptr, {});
    emit currentRowChanged(-1);
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
    m_filter = std::move(filter);
    if (!m_table)
        return;
    m_table->setFilter(m_filter);
    rebuild();
}

void BookTable::setOrder(const std::string& tagName)
{
    table().setOrder(tagName);
    m_order = m_table->order();
    rebuild();
}

void BookTable::rebuild()
{
    dbase::Table& t = table();
    if (t.editing())
        t.post();
    m_appending = false;
    std::uint32_t keep = t.recno();
    std::vector<std::uint32_t> rows;
    try {
        rows = walk(t);
    } catch (...) {
        resetRows({});
        emit currentRowChanged(-1);
        throw;
    }
    resetRows(std::move(rows));
    settleOn(std::max(0, rowOf(keep)));
}

std::uint32_t BookTable::recnoAt(int row) const
{
    return row >= 0 && row < rowCount() ? m_rows[static_cast<std::size_t>(row)] : 0;
}

int BookTable::rowOf(std::uint32_t recno) const
{
    if (recno == 0)
        return -1;
    if (recnoAt(m_hint) == recno)
        return m_hint;
    auto found = std::find(m_rows.begin(), m_rows.end(), recno);
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
    if (row < 0 || row >= rowCount())
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
    const int from = std::clamp(first, 0, rowCount());
    const int end = std::clamp(first + count, from, rowCount());
    const std::vector<std::uint32_t> recnos(m_rows.begin() + from, m_rows.begin() + end);
    t.readRecords(recnos,
                  [&](std::size_t i, const dbase::Table& on) { visit(from + static_cast<int>(i), on); });
    return true;
}

void BookTable::append()
{
    dbase::Table& t = table();
    if (t.editing())
        post();
    t.append();
    m_appending = true;
}

void BookTable::edit()
{
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
    emit aboutToRemoveRow(row);
    m_rows.erase(m_rows.begin() + row);
    m_hint = -1;
    emit rowRemoved(row);
}

void BookTable::insertRow(int row, std::uint32_t recno)
{
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
    row = std::clamp(row, 0, rowCount() - 1);
    m_table->gotoBookmark(recnoAt(row));
    emit currentRowChanged(row);
}

} // namespace db
