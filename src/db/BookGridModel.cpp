#include "BookGridModel.h"

#include "db/BookSchema.h"

#include <QTimer>
#include <algorithm>
#include <exception>

namespace db {

BookGridModel::BookGridModel(BookTable& table, const DateText& dates, ErrorReporter reportError,
                             QObject* parent)
    : QAbstractTableModel(parent), m_table(table), m_dates(dates), m_reportError(std::move(reportError))
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
    connect(&m_table, &BookTable::rowChanged, this, [this](int row) {
        forget();
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    });
    connect(&m_table, &BookTable::allRowsChanged, this, &BookGridModel::refreshAll);
}

int BookGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_table.rowCount();
}

int BookGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kBookFieldCount;
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
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < kBookFieldCount) {
        std::string_view title = bookFields()[static_cast<std::size_t>(section)].title;
        return QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size()));
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

void BookGridModel::refreshAll()
{
    forget();
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

QString BookGridModel::cellText(int row, int column) const
{
    std::uint32_t recno = m_table.recnoAt(row);
    if (recno == 0)
        return {};
    const dbase::Table& table = m_table.table();
    if (table.editing() && table.recno() == recno)
        return fieldText(table, column, m_dates); // the edit in progress
    if (const QStringList* values = cachedRow(recno))
        return values->value(column);
    readBlock(row);
    const QStringList* values = cachedRow(recno);
    // Not read while another record is being edited: it is drawn again once the edit ends.
    return values ? values->value(column) : QString();
}

const QStringList* BookGridModel::cachedRow(std::uint32_t recno) const
{
    auto found = m_rows.find(recno);
    return found == m_rows.end() ? nullptr : &found->second;
}

// Reads the rows around `row`, mostly below it, as a view paints downwards.
void BookGridModel::readBlock(int row) const
{
    int first = std::max(0, row - kReadBlock / 4);
    bool read = m_table.readRows(first, kReadBlock, [this](int, const dbase::Table& table) {
        QStringList values;
        values.reserve(kBookFieldCount);
        for (int column = 0; column < kBookFieldCount; ++column)
            values << fieldText(table, column, m_dates);
        remember(table.recno(), std::move(values));
    });
    if (!read)
        return;
    // A record another program removed has no values: it stays blank until the table is refreshed.
    for (int r = first; r < std::min(first + kReadBlock, m_table.rowCount()); ++r)
        if (!cachedRow(m_table.recnoAt(r)))
            remember(m_table.recnoAt(r), {});
}

void BookGridModel::remember(std::uint32_t recno, QStringList values) const
{
    if (m_rows.insert_or_assign(recno, std::move(values)).second)
        m_age.push_back(recno);
    while (m_age.size() > static_cast<std::size_t>(kCachedRows)) {
        m_rows.erase(m_age.front());
        m_age.pop_front();
    }
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

} // namespace db
