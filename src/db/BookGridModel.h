#pragma once

#include "db/BookTable.h"
#include "db/FieldText.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <deque>
#include <functional>
#include <unordered_map>

namespace db {

// The viewer grid's rows: one per row of the book table's row map, one column
// per field of the book record under its default title. Cells are read a block
// of rows at a time and kept decoded for the last few hundred rows; any change
// to the book table drops them.
//
// Never throws: an engine error while a cell is read shows kPlaceholder and
// hands its message, once until the next reset, to the error reporter — later,
// from the event loop, so that no message box opens in the middle of painting.
class BookGridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using ErrorReporter = std::function<void(const QString& message)>;
    static constexpr int kCachedRows = 256;
    static constexpr int kReadBlock = 64; // rows read at once: a screenful and some
    static inline const QString kPlaceholder = QStringLiteral("?");

    // `table` and `dates` must outlive the model.
    BookGridModel(BookTable& table, const DateText& dates, ErrorReporter reportError,
                  QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Redraws every cell after the display formats changed.
    void refreshAll();

private:
    QString cellText(int row, int column) const;
    const QStringList* cachedRow(std::uint32_t recno) const;
    void readBlock(int row) const;
    void remember(std::uint32_t recno, QStringList values) const;
    void forget();
    void report(const QString& message) const;
    void connectTable();

    BookTable& m_table;
    const DateText& m_dates;
    ErrorReporter m_reportError;
    mutable std::unordered_map<std::uint32_t, QStringList> m_rows; // by record number
    mutable std::deque<std::uint32_t> m_age;                       // oldest first
    mutable bool m_errorReported = false;
};

} // namespace db
