#pragma once

#include "search/SearchQuery.h"
#include "search/SearchServices.h"

#include <QDialog>

#include <array>
#include <memory>

class QPushButton;
class QTableWidget;
class TSearchOptions;

namespace search {
class SearchCriteriaDelegate;
}

// The search window: a query by form over the 36 book fields, up to ten levels
// of criteria. Created once at start and shown modally by the search command;
// on OK the query becomes the book table's record filter.
//
// Grid rows are numbered as the fields, 1 to 36, under the grid's header row;
// column 0 holds the field titles, column 1 the "..." cells of the rows with
// options, column 2 the criteria.
//
// The window edits one query and the record filter holds another: showing the
// window or saving a level never changes what the filter passes. The filter's
// query is replaced only when a new search finds records; a search that finds
// none ends the search.
class TMySearch : public QDialog {
    Q_OBJECT

public:
    // Nothing in `services` is used before the window is first shown.
    explicit TMySearch(const search::SearchServices& services, QWidget* parent = nullptr);
    ~TMySearch() override;

    // Handlers.
    void FormShow();
    void ClearButtonClick();
    void MoreButtonClick();
    void OkButtonClick();
    void ExitButtonClick();
    void HelpButtonClick();
    // A press and release on the same grid cell; `row` 1-36.
    void SearchGridMouseUp(int row, int column);
    // What the search options window's OK does to the grid, for its row.
    void applySearchOptions(const TSearchOptions& options);

    // Reads the grid as the next level of the query being typed; shows why not.
    bool SaveFields();
    // Makes the query being typed the book table's filter; false when no record passes.
    bool Doit();
    void ClearSearch();

    const search::SearchQuery& query() const { return m_query; }
    // The query the record filter holds; null when no search was accepted.
    std::shared_ptr<const search::SearchQuery> activeQuery() const { return m_active; }
    int rowOption(int row) const { return m_options.at(std::size_t(row - 1)); }
    QString criteria(int row) const;
    void setCriteria(int row, const QString& text);
    // The input mask row `row`'s editor takes now; empty for character rows.
    QString criteriaMask(int row) const { return m_masks.at(std::size_t(row - 1)); }
    int currentRow() const; // 1-36, 0 when none

    QTableWidget* SearchGrid;
    QPushButton* OkButton;
    QPushButton* ExitButton;
    QPushButton* ClearButton;
    QPushButton* MoreButton;
    QPushButton* HelpButton;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createGrid();
    void layOutGrid(double scale);
    void rebuildMasks();
    void showLevel();
    void enableMore();
    void emptyCriteria();
    void closeEditor();
    void editRow(int row);
    void applyColors();
    void error(const QString& text);
    std::array<QString, search::kSearchRows> cells() const;
    void changeOption(int row, int option);

    search::SearchServices m_services;
    search::SearchQuery m_query;
    std::shared_ptr<const search::SearchQuery> m_active;
    search::RowOptions m_options;
    std::array<QString, search::kSearchRows> m_masks;
    search::SearchCriteriaDelegate* m_delegate = nullptr;
    int m_pressedRow = -1;
    int m_pressedColumn = -1;
};
