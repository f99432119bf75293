#pragma once

#include <QColor>
#include <QFlags>
#include <QFont>
#include <QString>
#include <QStringList>

#include <optional>

class QPrinter;

namespace platform {

// The buttons of a message box; also the answer it gives.
enum class Button : unsigned {
    None = 0,
    Ok = 1,
    Cancel = 2,
    Yes = 4,
    No = 8,
    Abort = 16,
    Retry = 32,
    Ignore = 64,
};
Q_DECLARE_FLAGS(Buttons, Button)

enum class Icon { None, Information, Warning, Error, Question };

// What an open or save dialog offers.
struct FileDialogOptions {
    QString title;
    QStringList filters;    // e.g. "Database Files (*.DBF *.dbf)"; the first is selected
    QString defaultSuffix;  // added to a name typed without one, e.g. "DBF"
    QString startDirectory; // empty: the dialog's own choice
    QString fileName;       // preselected name, may be empty
    bool promptOverwrite = false;
    bool mustExist = false;
};

// A font together with the colour its text is drawn in.
struct FontChoice {
    QFont font;
    QColor color;
};

// Every modal question, message and common dialog the windows use. One
// implementation shows real dialogs, another answers from a script in tests.
// A window receives its Dialogs by reference and never creates one.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // Shows `text` under `caption` with `buttons` (at least one), `defaultButton` focused
    // (Button::None: the first); returns the button chosen. Escape answers Cancel, else No,
    // else the only button.
    virtual Button message(const QString& caption, const QString& text, Buttons buttons,
                           Button defaultButton = Button::None, Icon icon = Icon::None) = 0;
    // The question beep, sounded before questions that could lose input.
    virtual void beep() = 0;

    // The chosen path, or empty when the user cancels.
    virtual QString openFile(const FileDialogOptions& options) = 0;
    virtual QString saveFile(const FileDialogOptions& options) = 0;
    virtual QString chooseDirectory(const QString& title, const QString& startDirectory) = 0;

    virtual std::optional<QFont> chooseFont(const QFont& initial) = 0;
    // The font dialog with a colour choice, opened on `initial` drawn in `initialColor`.
    virtual std::optional<FontChoice> chooseFontWithColor(const QFont& initial,
                                                          const QColor& initialColor) = 0;
    virtual std::optional<QColor> chooseColor(const QColor& initial) = 0;
    // Lets the user choose the printer and its settings, stored in `printer`; false on cancel.
    virtual bool printerSetup(QPrinter& printer) = 0;
};

} // namespace platform

Q_DECLARE_OPERATORS_FOR_FLAGS(platform::Buttons)
