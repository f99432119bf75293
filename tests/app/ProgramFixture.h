#pragma once

#include "TempDir.h"
#include "app/ProgramWindows.h"
#include "platform/ProfileFile.h"
#include "platform/Screen.h"
#include "platform/ScriptedDialogs.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>

// Data and settings directories of their own, a settings file to read and write, and
// scripted dialogs: what a test of the running program starts from.
struct ProgramDirs {
    TempDir data;
    TempDir config;
    platform::ScriptedDialogs dialogs;
    platform::FixedScreen screen{QSize(1280, 1024)};

    std::filesystem::path settingsFile() const { return std::filesystem::path(config.dir()) / "SHVBOOK.INI"; }
    void setSetting(const QString& section, const QString& key, const QString& value)
    {
        platform::ProfileFile file = platform::ProfileFile::load(settingsFile());
        file.setValue(section, key, value);
        file.save(settingsFile());
    }
    QString setting(const QString& section, const QString& key) const
    {
        return platform::ProfileFile::load(settingsFile()).value(section, key, "<missing>");
    }
};

// The program's four windows over their own directories.
struct ProgramFixture : ProgramDirs {
    std::unique_ptr<ProgramWindows> windows;

    TMain& main() { return windows->main; }
    // Starts the program and shows its main window.
    bool show(bool tipAtStart = false)
    {
        windows = std::make_unique<ProgramWindows>(dialogs, screen,
                                                   platform::AppPaths{data.dir(), config.dir(), {}}, false);
        if (!windows->main.startUp())
            return false;
        if (tipAtStart)
            windows->main.showTipAfterFirstShow();
        windows->main.show();
        return QTest::qWaitForWindowExposed(&windows->main);
    }
};

// Runs `act` on the modal window of type W that `open` shows, once it is up; `act` must
// close it. False when no such window came.
template <class W> bool whileModal(const std::function<void()>& open, const std::function<void(W&)>& act)
{
    bool seen = false;
    QTimer::singleShot(0, [&] {
        if (auto* window = qobject_cast<W*>(QApplication::activeModalWidget())) {
            seen = true;
            act(*window);
        }
    });
    open();
    return seen;
}
