#include "BookGridModel.h"

#include "db/BookSchema.h"
#include "dbase/DatabaseError.h"

#include <QTimer>
#include <algorithm>
#include <exception>

namespace db {
namespace {

std::vector<GridColumn> everyField()
{
    std::vector<GridColumn> columns;
    columns.reserve(kBookFieldCount);
    for (int field = 0; field < kBookFieldCount; ++field) {
        std::string_view title = bookFields()[static_cast<std::size_t>(field)].title;
        columns.push_back({field, QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size()))});
    }
    return columns;
}

bool sameFields(const std::vector<GridColumn>& a, const std::vector<GridColumn>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const GridColumn& x, const GridColumn& y) { return x.field == y.field; });
}

} // namespace

BookGridModel::BookGridModel(BookTable& table, const DateText& dates, ErrorReporter reportError,
                             QObject* parent)
    : QAbstractTableModel(parent), m_table(table), m_dates(dates), m_reportError(std::move(reportError)),
      m_columns(everyField())
{
    connectTable();
}

void BookGridModel::connectTable()
{
    connect(&m_table, &BookTable::aboutToReset, this, [this] { beginResetModel(); });
    connect(&m_table, &BookTable::resetDone, this, [this] {
        forget();
        m_errorReported = false;
        endResetModel();
    });
    connect(&m_table, &BookTable::aboutToRemoveRow, this, [this](int row) { beginRemoveRows({}, row, row); });
    connect(&m_table, &BookTable::rowRemoved, this, [this] {
        forget();
        endRemoveRows();
    });
    connect(&m_table, &BookTable::aboutToInsertRow, this, [this](int row) { beginInsertRows({}, row, row); });
    connect(&m_table, &BookTable::rowInserted, this, [this] {
        forget();
        endInsertRows();
    });
    connect(&m_table, &BookTable::aboutToAppendRows, this,
            [this](int first, int last) { beginInsertRows({}, first, last); });
    connect(&m_table, &BookTable::rowsAppended, this, [this] { endInsertRows(); });
    connect(&m_table, &BookTable::rowChanged, this, [this](int row) {
        forget();
        emitRowChanged(row);
    });
    connect(&m_table, &BookTable::allRowsChanged, this, &BookGridModel::refreshAll);
}

void BookGridModel::emitRowChanged(int row)
{
    if (columnCount() > 0)
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

int BookGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_table.rowsKnown(); // grows as the book table completes its map
}

int BookGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant BookGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    try {
        return cellText(index.row(), index.column());
    } catch (const std::exception& error) {
        report(QString::fromStdString(error.what()));
    } catch (...) {
        report(QStringLiteral("The book database could not be read."));
    }
    return kPlaceholder;
}

QVariant BookGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < columnCount())
        return m_columns[static_cast<std::size_t>(section)].title;
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags BookGridModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (m_editable && index.isValid())
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool BookGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!m_editable || role != Qt::EditRole || !index.isValid() || index.column() >= columnCount())
        return false;
    const QString text = value.toString();
    if (text == data(index, Qt::EditRole).toString())
        return false;
    try {
        writeCell(index.row(), fieldAt(index.column()), text);
        return true;
    } catch (const std::exception& error) {
        reportRefusal(QString::fromStdString(error.what()));
    } catch (...) {
        reportRefusal(QStringLiteral("The change could not be saved."));
    }
    return false;
}

// A cell edit is a whole edit of its record: a half-written record is never left behind.
void BookGridModel::writeCell(int row, int field, const QString& text)
{
    if (!m_table.gotoRow(row))
        throw dbase::DatabaseError("The book could not be found any more; another program may have "
                                   "deleted it.  Your change was not saved.");
    m_table.edit();
    try {
        if (m_writeCell)
            m_writeCell(m_table, field, text);
        else
            m_table.setFieldText(field, text, m_dates);
        m_table.post();
    } catch (...) {
        if (m_table.editing())
            m_table.cancel();
        throw;
    }
}

void BookGridModel::setColumns(std::vector<GridColumn> columns)
{
    std::erase_if(columns, [](const GridColumn& c) { return c.field < 0 || c.field >= kBookFieldCount; });
    if (!sameFields(columns, m_columns)) {
        // The rows read stay: they are kept by field, whichever columns show them.
        m_asked.reset();
        beginResetModel();
        m_columns = std::move(columns);
        endResetModel();
    } else if (columns != m_columns) {
        m_columns = std::move(columns);
        emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
    }
}

int BookGridModel::fieldAt(int column) const
{
    return column >= 0 && column < columnCount() ? m_columns[static_cast<std::size_t>(column)].field : -1;
}

int BookGridModel::columnOf(int field) const
{
    auto found = std::find_if(m_columns.begin(), m_columns.end(),
                              [field](const GridColumn& c) { return c.field == field; });
    return found == m_columns.end() ? -1 : static_cast<int>(found - m_columns.begin());
}

void BookGridModel::refreshAll()
{
    forget();
    if (rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

QString BookGridModel::cellText(int row, int column) const
{
    std::uint32_t recno = m_table.recnoAt(row);
    const int field = fieldAt(column);
    if (recno == 0 || field < 0)
        return {};
    const dbase::Table& table = m_table.table();
    if (table.editing() && table.recno() == recno)
        return fieldText(table, field, m_dates); // the edit in progress
    const auto known = [this, recno, field]() -> const QString* {
        const CachedRow* cached = cachedRow(recno);
        return cached && cached->read[std::size_t(field)] ? &cached->values[std::size_t(field)] : nullptr;
    };
    m_asked.set(std::size_t(field));
    if (const QString* text = known())
        return *text;
    // A row read before lacks this field when a column has just come into view: read them all.
    readBlock(row, cachedRow(recno) != nullptr);
    const QString* text = known();
    // Not read while another record is being edited: it is drawn again once the edit ends.
    return text ? *text : QString();
}

const BookGridModel::CachedRow* BookGridModel::cachedRow(std::uint32_t recno) const
{
    auto found = m_rows.find(recno);
    return found == m_rows.end() ? nullptr : &found->second;
}

// Reads the rows around `row`, mostly below it, as a view paints downwards. Of the fields
// shown and not yet read, only those the view asked for lately are decoded unless `allFields`:
// a view shows a few of the columns, and decoding the others was most of a jump's reading.
void BookGridModel::readBlock(int row, bool allFields) const
{
    int first = std::max(0, row - kReadBlock / 6);
    FieldSet wanted;
    for (const GridColumn& column : m_columns)
        wanted.set(std::size_t(column.field));
    if (!allFields && m_asked.any())
        wanted &= m_asked;
    bool read = m_table.readRows(first, kReadBlock, [this, &wanted](int, const dbase::Table& table) {
        CachedRow& cached = remember(table.recno());
        for (const GridColumn& column : m_columns) {
            const auto field = std::size_t(column.field);
            if (wanted[field] && !cached.read[field]) {
                cached.values[field] = fieldText(table, column.field, m_dates);
                cached.read.set(field);
            }
        }
    });
    if (!read)
        return;
    // A record another program removed has no values: it stays blank until the table is refreshed.
    for (int r = first; r < std::min(first + kReadBlock, m_table.rowsKnown()); ++r)
        remember(m_table.recnoAt(r)).read |= wanted;
}

BookGridModel::CachedRow& BookGridModel::remember(std::uint32_t recno) const
{
    auto [entry, added] = m_rows.try_emplace(recno);
    if (added)
        m_age.push_back(recno);
    // The oldest go; the one just added is the newest, so `entry` stays valid.
    while (m_age.size() > static_cast<std::size_t>(kCachedRows)) {
        m_rows.erase(m_age.front());
        m_age.pop_front();
    }
    return entry->second;
}

void BookGridModel::forget()
{
    m_rows.clear();
    m_age.clear();
}

void BookGridModel::report(const QString& message) const
{
    if (m_errorReported || !m_reportError)
        return;
    m_errorReported = true;
    auto* self = const_cast<BookGridModel*>(this);
    QTimer::singleShot(0, self, [self, message] { self->m_reportError(message); });
}

// Deferred like read errors: the edit that failed is still being closed by the view.
void BookGridModel::reportRefusal(const QString& message)
{
    if (!m_reportError)
        return;
    QTimer::singleShot(0, this, [this, message] { m_reportError(message); });
}

} // namespace db
