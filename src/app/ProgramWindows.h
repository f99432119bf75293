#pragma once

#include "app/TMain.h"
#include "edit/TMyEdit.h"
#include "reports/TMyReport.h"
#include "search/TMySearch.h"

// The four windows that live for the whole run, created in this order: the main
// window, the record edit window, the report list window and the search window.
// The other three work on the main window's book table and state. Nothing is
// read or opened until main.startUp().
struct ProgramWindows {
    // `dialogs` and `screen` must outlive the windows.
    ProgramWindows(platform::Dialogs& dialogs, platform::Screen& screen, const platform::AppPaths& paths,
                   bool browse);

    TMain main;
    TMyEdit edit;
    TMyReport report;
    TMySearch search;
};
