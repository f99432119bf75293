#include "ProgramWindows.h"

#include "settings/WindowLook.h"

ProgramWindows::ProgramWindows(platform::Dialogs& dialogs, platform::Screen& screen,
                               const platform::AppPaths& paths, bool browse)
    : main(dialogs, screen, paths, browse),
      edit(TMyEdit::Services{
               .dialogs = dialogs,
               .table = main.bookTable(),
               .settings = main.settings(),
               .dates = main.dateFormat(),
               .numbers = main.numberText(),
               .pickLists = main.pickLists(),
               .fonts = main.fonts(),
               .screen = screen,
               .scaleFactor = [this] { return main.scaleFactor(); },
               .editMode = [this] { return main.editMode(); },
               .setEditMode = [this](edit::EditMode mode) { main.setEditMode(mode); },
               .browse = main.browseMode(),
               .showHelp = [this](const QString& keyword) { main.showHelp(keyword); },
               .displayCount = [this] { main.DisplayCount(); },
           },
           &main),
      report(&main), search(search::SearchServices{
                                .dialogs = dialogs,
                                .table = main.bookTable(),
                                .settings = main.settings(),
                                .dates = main.dateFormat(),
                                .fonts = main.fonts(),
                                .screen = screen,
                                .scaleFactor = [this] { return main.scaleFactor(); },
                                .pickList = [this](int list) { return main.pickLists().entries(list); },
                                .searchOn = [this] { return main.searchOn(); },
                                .enableEndSearch = [this] { main.EnableEndSearch(); },
                                .endSearch = [this] { main.DoEndSearch(); },
                                .showHelp = [this](const QString& keyword) { main.showHelp(keyword); },
                            },
                            &main)
{
    main.setWindows(&edit, &report, &search);
    // The report list has no finer assignment of colours than the default rule.
    settings::colorOnEveryShow(&report, main.settings().scheme(settings::WindowGroup::Report));
}
