#pragma once

// Benches and tools that script the program's questions have no use for the
// file, font, colour and printer dialogs: those come back cancelled.

#include "platform/Dialogs.h"

#include <QColor>
#include <QFont>
#include <optional>

class MessageOnlyDialogs : public platform::Dialogs {
public:
    void beep() override {}
    QString openFile(const platform::FileDialogOptions&) override { return {}; }
    QString saveFile(const platform::FileDialogOptions&) override { return {}; }
    QString chooseDirectory(const QString&, const QString&) override { return {}; }
    std::optional<QFont> chooseFont(const QFont&) override { return {}; }
    std::optional<platform::FontChoice> chooseFontWithColor(const QFont&, const QColor&) override
    {
        return {};
    }
    std::optional<QColor> chooseColor(const QColor&) override { return {}; }
    bool printerSetup(QPrinter&) override { return false; }
};
