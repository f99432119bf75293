#pragma once

#include "platform/Dialogs.h"

#include <deque>
#include <stdexcept>
#include <vector>

namespace platform {

// Thrown by ScriptedDialogs for an interaction its script did not foresee.
class UnexpectedDialog : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// Dialogs for tests. Questions (message boxes with more than one button) and common
// dialogs are answered from a queue of expectations, in order; a message with a single
// button is answered with it and needs no expectation. Every message is kept in the
// transcript with its caption and exact text.
//
// An interaction the script does not foresee is recorded in failures() and, unless
// setThrowOnUnexpected(false), throws UnexpectedDialog; without throwing it answers
// Cancel, else No, else the default button, and the dialogs return empty.
class ScriptedDialogs final : public Dialogs {
public:
    struct Message {
        QString caption;
        QString text;
        Buttons buttons;
        Button defaultButton = Button::None;
        Icon icon = Icon::None;
        Button answer = Button::None;
        bool afterBeep = false; // the question beep sounded just before this message
    };

    // The next question's text must contain `textFragment`; it is answered `answer`,
    // which must be one of its buttons.
    void expectQuestion(const QString& textFragment, Button answer);
    // The next open (save, directory) dialog returns `path`; an empty path cancels.
    void expectOpenFile(const QString& path);
    void expectSaveFile(const QString& path);
    void expectDirectory(const QString& path);
    void expectFont(const std::optional<QFont>& font);
    void expectFontWithColor(const std::optional<FontChoice>& choice);
    void expectColor(const std::optional<QColor>& color);
    void expectPrinterSetup(bool accept);

    void setThrowOnUnexpected(bool on) { m_throw = on; }

    const std::vector<Message>& transcript() const { return m_transcript; }
    const std::vector<FileDialogOptions>& fileDialogs() const { return m_fileDialogs; }
    int beepCount() const { return m_beeps; }
    const QStringList& failures() const { return m_failures; }
    // The failures, then one line per expectation never used; empty when the script ran as written.
    QStringList problems() const;

    Button message(const QString& caption, const QString& text, Buttons buttons,
                   Button defaultButton = Button::None, Icon icon = Icon::None) override;
    void beep() override;
    QString openFile(const FileDialogOptions& options) override;
    QString saveFile(const FileDialogOptions& options) override;
    QString chooseDirectory(const QString& title, const QString& startDirectory) override;
    std::optional<QFont> chooseFont(const QFont& initial) override;
    std::optional<FontChoice> chooseFontWithColor(const QFont& initial, const QColor& initialColor) override;
    std::optional<QColor> chooseColor(const QColor& initial) override;
    bool printerSetup(QPrinter& printer) override;

private:
    enum class Kind { Question, OpenFile, SaveFile, Directory, Font, FontWithColor, Color, PrinterSetup };
    struct Expectation {
        Kind kind;
        QString text; // question fragment or path
        Button answer = Button::None;
        std::optional<QFont> font;
        std::optional<QColor> color;
        bool accept = false; // printer setup confirmed; a font with colour chosen
    };

    // Pops the next expectation when it is of `kind`; otherwise records `what` as unexpected.
    std::optional<Expectation> take(Kind kind, const QString& what);
    void fail(const QString& problem);
    QString fileDialog(Kind kind, const FileDialogOptions& options);
    static QString kindName(Kind kind);

    std::deque<Expectation> m_script;
    std::vector<Message> m_transcript;
    std::vector<FileDialogOptions> m_fileDialogs;
    QStringList m_failures;
    int m_beeps = 0;
    bool m_beepPending = false;
    bool m_throw = true;
};

} // namespace platform
