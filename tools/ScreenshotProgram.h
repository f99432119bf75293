#pragma once

// The program as the screenshot tools run it: its windows over DATA_DIR, every
// question answered by scripted dialogs that never object, a 1280 x 1024 screen.

#include "app/ProgramWindows.h"
#include "platform/Screen.h"
#include "platform/ScriptedDialogs.h"

#include <filesystem>

struct ScreenshotProgram {
    platform::ScriptedDialogs dialogs;
    platform::FixedScreen screen{QSize(1280, 1024)};
    ProgramWindows windows;

    explicit ScreenshotProgram(const std::filesystem::path& data)
        : windows(dialogs, screen, platform::AppPaths{data, data / "config", {}}, false)
    {
        dialogs.setThrowOnUnexpected(false);
    }
    // Starts the program and shows its main window at 800 x 560.
    bool start()
    {
        if (!windows.main.startUp())
            return false;
        windows.main.resize(800, 560);
        windows.main.show();
        return true;
    }
};
