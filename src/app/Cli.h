#pragma once

#include <QString>

// The command line's own commands (import, export, report, check, pack,
// reindex, backup, restore). Each runs the code the windows run, on the main
// window's objects, without showing a window.

// The commands, as `shelvano --help` lists them.
QString commandSummary();

// Whether the first argument names one of the commands.
bool isCommandLineCommand(int argc, char** argv);

// Runs the command: 0 on success, 1 on failure (the reason on the standard
// error), 2 on bad usage.
int runCommandLine(int argc, char** argv);
