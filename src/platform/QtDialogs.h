#pragma once

#include "platform/Dialogs.h"

class QWidget;

namespace platform {

// Real Qt dialogs. Each is modal over the active modal widget, else the active
// window; button texts are fixed here ("OK", "Cancel", "&Yes", "&No", ...), so
// they never depend on the desktop theme or a translation.
class QtDialogs final : public Dialogs {
public:
    Button message(const QString& caption, const QString& text, Buttons buttons,
                   Button defaultButton = Button::None, Icon icon = Icon::None) override;
    void beep() override;
    QString openFile(const FileDialogOptions& options) override;
    QString saveFile(const FileDialogOptions& options) override;
    QString chooseDirectory(const QString& title, const QString& startDirectory) override;
    std::optional<QFont> chooseFont(const QFont& initial) override;
    // The font chooser with a "Color:" list of the 16 standard colours and "Custom...".
    std::optional<FontChoice> chooseFontWithColor(const QFont& initial, const QColor& initialColor) override;
    std::optional<QColor> chooseColor(const QColor& initial) override;
    bool printerSetup(QPrinter& printer) override;

    // The text shown on `button`.
    static QString buttonText(Button button);

private:
    static QWidget* dialogParent();
    static QString runFileDialog(const FileDialogOptions& options, bool save);
};

} // namespace platform
