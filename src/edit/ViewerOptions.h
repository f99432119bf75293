#pragma once

#include "db/BookGridModel.h"
#include "settings/Fonts.h"
#include "settings/Settings.h"

#include <QStringList>

#include <array>
#include <functional>
#include <optional>
#include <vector>

class QTableView;

namespace edit {

// Reads money text as the record edit window does; nullopt when the text is not a number.
using MoneyReader = std::function<std::optional<double>(const QString& text)>;
// Writes a money value as the record edit window shows it.
using MoneyWriter = std::function<QString(double value)>;

// What the viewer grid needs from the rest of the program. Every member may be empty.
struct ViewerHooks {
    // The entries of pick list 1-9 (Author, Location, Where Purchased, Category,
    // Publisher, Rating, Book Type, Check Out Person, Condition) for the drop-down editors.
    std::function<QStringList(int list)> pickList;
    // Money in the grid: without a reader, plain decimal text with "." is read; without a
    // writer, money shows as the table holds it.
    MoneyReader readMoney;
    MoneyWriter writeMoney;
    // Ctrl+Delete in the grid: deletes the current book after asking the user first.
    // Never called in browse mode.
    std::function<void()> deleteRecord;
};

// Applies the viewer settings to the main window's grid, which shows `model`: the
// shown fields in their order under their titles, column widths in characters of the
// cell font, title and cell fonts and colours, title alignment, lines between rows and
// between columns, the row indicator, Tab between cells, no column resizing, Ctrl+Delete,
// and editing in the grid when allowed and never in browse mode. The cell font and
// colours are taken from `fonts`. Run it again after any of these inputs change; the
// hooks are kept until the next run. The grid's current row is kept.
void applyViewerOptions(QTableView& grid, db::BookGridModel& model, const settings::Settings& settings,
                        const settings::SharedFonts& fonts, bool browseMode, const ViewerHooks& hooks = {});

// --- the rules of the viewer settings, shared with the configuration window ---

inline constexpr int kTitleLength = 20;
inline constexpr int kMinWidth = 1;
inline constexpr int kMaxWidth = 255;
inline constexpr int kFallbackWidth = 10; // for a width outside kMinWidth-kMaxWidth

// The viewer position of each field (0-35), as stored when every field has its own
// position 1-36. Otherwise, as a settings file may say, a field keeps a position in range
// that no field before it claimed, and the others take the free positions in ascending
// order, in table order: no field ever vanishes from the viewer.
std::array<int, db::kBookFieldCount> normalisedPositions(const settings::Settings& settings);
// The field numbers (0-35) from position 1 to 36 after normalising.
std::array<int, db::kBookFieldCount> fieldsByPosition(const settings::Settings& settings);
// The grid's columns: the shown fields by position, under their titles.
std::vector<db::GridColumn> viewerColumns(const settings::Settings& settings);

// A stored column width in characters; one outside 1-255 gives kFallbackWidth.
int usableWidth(int width);
// A width typed in the configuration window: blanks around it removed, read from its
// leading sign and digits (what follows is ignored, no digits read as 0). Nullopt when
// that number is not from 1 to 255.
std::optional<int> readWidth(const QString& text);

// A title as it is kept: its first kTitleLength characters.
QString storedTitle(const QString& title);
struct SharedTitle {
    int first = 0;  // index of the first of the two titles
    int second = 0; // index of the later one
    QString title;  // as it would be stored
};
// The first pair of titles that would be stored equal (exact comparison after cutting), in
// the order each title, each later title; nullopt when every stored title differs.
std::optional<SharedTitle> findSharedTitle(const QStringList& titles);

// Stores text typed into a grid cell the way the record edit window stores its boxes:
// dates read by `dates` (blank or an empty mask leaves the field empty), money read by
// `readMoney` (blank is 0), CHECKOUT "Yes" or "No", the user-defined fields without
// surrounding blanks, everything else as typed. A date or money text that cannot be read
// is refused with the record edit window's message. `dates` must outlive the writer.
db::BookGridModel::CellWriter gridCellWriter(const db::DateText& dates, MoneyReader readMoney);

} // namespace edit
