#pragma once

#include "BookFixture.h"
#include "TempDir.h"
#include "db/BookGridModel.h"
#include "db/BookTable.h"
#include "db/FieldText.h"
#include "edit/ViewerOptions.h"
#include "settings/Settings.h"

#include <QTableView>
#include <string>
#include <vector>

namespace {

// The viewer grid over a small book table, as the main window holds it.
struct Viewer {
    TempDir dir;
    db::BookTable table;
    db::ShortDateText dates;
    QStringList messages;
    db::BookGridModel model{table, dates, [this](const QString& m) { messages << m; }};
    QTableView grid;
    settings::Settings settings;
    settings::SharedFonts fonts = settings::makeSharedFonts(settings);
    int deletes = 0;
    edit::ViewerHooks hooks;

    explicit Viewer(const std::vector<std::string>& titles = {"alpha", "bravo", "charlie"})
    {
        makeBooks(dir.path("B.DBF"), titles);
        table.adopt(dbase::Table::open(dir.path("B.DBF")));
        grid.setModel(&model);
        grid.resize(700, 300);
        hooks.pickList = [](int list) {
            return list == 1 ? QStringList{"smith", "Smithson"} : QStringList();
        };
        hooks.deleteRecord = [this] { ++deletes; };
        grid.show();
    }
    void apply(bool browse = false) { edit::applyViewerOptions(grid, model, settings, fonts, browse, hooks); }
    QStringList titles() const
    {
        QStringList titles;
        for (int column = 0; column < model.columnCount(); ++column)
            titles << model.headerData(column, Qt::Horizontal).toString();
        return titles;
    }
    // The text the engine holds for `field` of the book in `row`, read through a separate open.
    std::string stored(int row, int field) const
    {
        auto fresh = dbase::Table::open(table.path());
        fresh->gotoBookmark(table.recnoAt(row));
        return fresh->text(field);
    }
    QModelIndex cell(int row, int field) const { return model.index(row, model.columnOf(field)); }
};

} // namespace
