#pragma once

#include "db/BookSchema.h"
#include "db/BookTable.h"
#include "db/FieldText.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <array>
#include <bitset>
#include <deque>
#include <functional>
#include <unordered_map>
#include <vector>

namespace db {

// One column of the viewer grid: the book field it shows (0-35, schema order) and its title.
struct GridColumn {
    int field = 0;
    QString title;
    bool operator==(const GridColumn&) const = default;
};

// The viewer grid's rows: one per row of the book table's row map, one column per
// entry of columns() (at first every field under its default title). Cells are read
// a block of rows at a time and kept decoded, by field, for the last few hundred rows;
// any change to the book table drops them, a change of the columns keeps them.
//
// Never throws: an engine error while a cell is read shows kPlaceholder and hands
// its message, once until the next reset, to the error reporter — later, from the
// event loop, so that no message box opens in the middle of painting. A refused
// edit is reported the same way, every time.
class BookGridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using ErrorReporter = std::function<void(const QString& message)>;
    // Stores `text`, typed into a cell of `field`, into the record being edited. Throws a
    // std::exception whose what() is the message for the user when the text is refused.
    using CellWriter = std::function<void(BookTable& table, int field, const QString& text)>;

    static constexpr int kCachedRows = 256;
    static constexpr int kReadBlock = 48; // rows read at once: a tall screenful and a few above it
    static inline const QString kPlaceholder = QStringLiteral("?");

    // `table` and `dates` must outlive the model.
    BookGridModel(BookTable& table, const DateText& dates, ErrorReporter reportError,
                  QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Writes an edited cell (Qt::EditRole) to its record at once: the record is made
    // current, edited, written through the cell writer and posted. False when the
    // model is not editable, the text is unchanged, or the edit was refused.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // Shows `columns` in this order. A change of fields resets the model; a change of
    // titles alone only repaints the headers. Fields outside 0-35 are left out.
    void setColumns(std::vector<GridColumn> columns);
    const std::vector<GridColumn>& columns() const { return m_columns; }
    int fieldAt(int column) const; // -1 out of range
    int columnOf(int field) const; // -1 when the field is not shown

    void setEditable(bool editable) { m_editable = editable; }
    bool isEditable() const { return m_editable; }
    // Without one, edited text goes through setFieldText() with the model's dates.
    void setCellWriter(CellWriter writer) { m_writeCell = std::move(writer); }
    const DateText& dates() const { return m_dates; }

    // Redraws every cell after the display formats changed.
    void refreshAll();

private:
    using FieldSet = std::bitset<kBookFieldCount>;
    // The fields of one record read so far, as the grid shows them.
    struct CachedRow {
        std::array<QString, kBookFieldCount> values;
        FieldSet read;
    };

    QString cellText(int row, int column) const;
    const CachedRow* cachedRow(std::uint32_t recno) const;
    void readBlock(int row, bool allFields) const;
    CachedRow& remember(std::uint32_t recno) const;
    void forget();
    void report(const QString& message) const;
    void reportRefusal(const QString& message);
    void writeCell(int row, int field, const QString& text);
    void connectTable();
    void emitRowChanged(int row);

    BookTable& m_table;
    const DateText& m_dates;
    ErrorReporter m_reportError;
    CellWriter m_writeCell;
    std::vector<GridColumn> m_columns;
    bool m_editable = false;
    mutable std::unordered_map<std::uint32_t, CachedRow> m_rows; // by record number
    mutable std::deque<std::uint32_t> m_age;                     // oldest first
    mutable FieldSet m_asked; // fields the view asked for since the columns last changed
    mutable bool m_errorReported = false;
};

} // namespace db
