#pragma once

#include <QStyledItemDelegate>

#include <functional>

class QLineEdit;

namespace search {

// Edits the criteria cells of the search grid. A row with an input mask edits
// under it and keeps the text as the mask lays it out, blanks included, so the
// cell reads back in the same places; a row without one is plain text limited
// to the field width. Every keystroke reaches the cell at once.
class SearchCriteriaDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    // `maskOf(row)` for grid row `row` (from 0): the Qt input mask, or empty.
    // `widthOf(row)`: the longest plain text.
    SearchCriteriaDelegate(std::function<QString(int row)> maskOf, std::function<int(int row)> widthOf,
                           QObject* parent = nullptr);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

    // The cell text `text` as an editor with `mask` lays it out.
    static QString laidOut(const QString& text, const QString& mask);

private:
    static QString cellText(const QLineEdit* editor);

    std::function<QString(int)> m_maskOf;
    std::function<int(int)> m_widthOf;
};

} // namespace search
