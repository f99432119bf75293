#pragma once

#include "platform/AppPaths.h"

#include <QString>
#include <QStringList>

// What the command line asks of the program.
struct CommandLine {
    platform::PathOverrides paths;
    bool browse = false;
    QString screenshot; // when set, the main window is saved to this image file and the program ends
    bool exitAfterFirstPaint =
        false; // for the benchmark: print "painted" once the grid has painted, then end
};

// Reads `arguments` (the program name first). Our own options are taken out
// first; browse mode is "--browse", or "/BROWSE" in any letter case as the
// first argument left. Other arguments are ignored. Exits the process, as
// command-line programs do, for --help and for an option that lacks its value.
CommandLine parseCommandLine(const QStringList& arguments);

// Whether the first of the remaining arguments asks for browse mode.
bool asksForBrowseMode(const QStringList& positional);
