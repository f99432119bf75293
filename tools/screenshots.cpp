// shelvano_screenshots DATA_DIR OUT_DIR
//
// Saves every window the program has so far to OUT_DIR as PNG files, for looking
// at the layout after a change. DATA_DIR holds the database to show (its
// MASTER.DBF, or the one a SHVBOOK.INI in DATA_DIR/config names).
#include "ScreenshotProgram.h"
#include "app/AboutBox.h"
#include "app/HelpWindow.h"
#include "db/FieldValues.h"
#include "edit/TMyEditBox.h"
#include "edit/TViewConfig.h"
#include "exchange/TMyExport.h"
#include "exchange/TMyImport.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTest>
#include <cstdio>

namespace {

bool save(QWidget* window, const QString& file)
{
    QTest::qWait(100);
    const bool saved = window->grab().save(file);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(file));
    return saved;
}

// Every page of the tabbed window, one file each.
bool savePages(QWidget* window, const QString& stem)
{
    bool ok = true;
    auto* tabs = window->findChild<QTabWidget*>();
    for (int page = 0; tabs && page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        ok &= save(window, QStringLiteral("%1-page%2.png").arg(stem).arg(page));
    }
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(QApplication::style()->standardPalette());
    if (argc != 3) {
        std::fprintf(stderr, "usage: shelvano_screenshots DATA_DIR OUT_DIR\n");
        return 2;
    }
    const std::filesystem::path data = argv[1];
    const QString out = QString::fromLocal8Bit(argv[2]);
    ScreenshotProgram program(data);
    auto& [dialogs, screen, windows] = program;
    TMain& main = windows.main;
    if (!program.start())
        return 1;
    bool ok = true;
    for (int mode = 1; mode <= 3; ++mode) {
        main.DoAccessMode(mode);
        ok &= save(&main, QStringLiteral("%1/main-mode%2.png").arg(out).arg(mode));
    }
    main.DoAccessMode(1);

    main.DoHelp();
    ok &= save(main.helpWindow(), out + QStringLiteral("/help.png"));
    main.helpWindow()->close();
    AboutBox about(&main);
    about.show();
    ok &= save(&about, out + QStringLiteral("/about.png"));
    about.close();

    main.setEditMode(edit::EditMode::Change);
    windows.edit.show();
    ok &= savePages(&windows.edit, out + QStringLiteral("/edit"));
    windows.edit.hide();

    // The first book's dates under three date formats (m/d/yy, d.m.yy, d-m-yyyy), at the
    // window sizes 640 (scale 1.0), 800 (1.25) and 1280 (2.0): the first page and the library page.
    const int windowSize = main.settings().windowSize;
    const int dateFormat = main.dateFormat().number();
    for (int size : {640, 800, 1280}) {
        main.DoScreenSize(size);
        for (int format : {1, 6, 11}) {
            main.DoDateFormat(format);
            windows.edit.show();
            const QString stem = QStringLiteral("%1/edit-size%2-date%3").arg(out).arg(size).arg(format);
            ok &= save(&windows.edit, stem + QStringLiteral("-page0.png"));
            windows.edit.Notebook->setCurrentIndex(3);
            ok &= save(&windows.edit, stem + QStringLiteral("-page3.png"));
            windows.edit.hide();
        }
    }
    main.DoScreenSize(windowSize);
    main.DoDateFormat(dateFormat);

    windows.search.show();
    ok &= save(&windows.search, out + QStringLiteral("/search.png"));
    windows.search.hide();

    TViewConfig viewer(main.settings(), main.fonts(), dialogs, main.scaleFactor(), screen.size(), &main);
    viewer.show();
    ok &= savePages(&viewer, out + QStringLiteral("/viewer"));
    viewer.hide();

    edit::DialogServices listServices{main.scaleFactor(), screen.size(), &main.fonts(), nullptr, {}};
    listServices.fieldTexts = [&main](const char* field) {
        return db::distinctFieldTexts(main.bookTable().path(), field);
    };
    TMyEditBox lists(main.pickLists(), 1, dialogs, listServices, &main);
    lists.show();
    ok &= save(&lists, out + QStringLiteral("/list-maintenance.png"));
    lists.FillButtonClick();
    ok &= save(&lists, out + QStringLiteral("/list-maintenance-filled.png"));
    lists.hide();
    // The import window with a 30-column file mapped, and the export window, at 1.0 and 1.25.
    QStringList columns;
    for (int i = 1; i <= 30; ++i)
        columns << (i % 7 == 0 ? QStringLiteral("<BLANK FIELD>") : QStringLiteral("Column %1").arg(i));
    for (double factor : {1.0, 1.25}) {
        exchange::ExchangeServices services{main.settings(),   dialogs, main.bookTable(),
                                            main.dateFormat(), factor,  screen.size()};
        const QString suffix = factor == 1.0 ? QStringLiteral("100") : QStringLiteral("125");
        TMyImport import(services, TMyImport::Delimited, QString(), columns, &main);
        import.show();
        ok &= save(&import, out + QStringLiteral("/import-%1.png").arg(suffix));
        import.hide();
        TMyExport exporter(services, &main);
        exporter.show();
        ok &= save(&exporter, out + QStringLiteral("/export-%1.png").arg(suffix));
        exporter.hide();
    }
    return ok ? 0 : 1;
}
