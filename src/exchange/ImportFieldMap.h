#pragma once

#include "db/BookImport.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace exchange {

// The rows of the import window: beside each book field row, the import
// field the user put there and whether it is used. Each row keeps the import
// field's index, so fields of equal names ("<BLANK FIELD>", repeated headers)
// each go where the user put them.
class ImportFieldMap {
public:
    static constexpr int kBookRows = 36;

    struct Row {
        int importField = -1; // -1: "<EMPTY>"
        bool use = false;
    };

    // Import field i starts in row i, used; the rows number max(fields, 36).
    explicit ImportFieldMap(const QStringList& importNames);

    int rowCount() const { return static_cast<int>(m_rows.size()); }
    const Row& row(int row) const { return m_rows.at(static_cast<std::size_t>(row)); }
    QString nameAt(int row) const; // the import field's name, or "<EMPTY>"
    QString useAt(int row) const;  // "Yes", "No" or "" for an empty row

    // Swaps a row's import field with the row above or below; false (and nothing moves) at the edge.
    bool moveUp(int row);
    bool moveDown(int row);
    // "Yes" ↔ "No"; an empty row stays empty.
    void toggleUse(int row);

    // For each import field, the book field of its row when that row is one of
    // the 36 and is used; else -1.
    db::ImportMap map() const;

private:
    QStringList m_names;
    std::vector<Row> m_rows;
};

} // namespace exchange
