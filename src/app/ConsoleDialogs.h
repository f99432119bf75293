#pragma once

#include "platform/Dialogs.h"

#include <QString>
#include <QStringList>

// The dialogs of the command line: messages go to the standard error, questions
// get the answer the command line gave, and the file dialogs return the paths
// it named. Whether an error was shown decides the exit status.
class ConsoleDialogs : public platform::Dialogs {
public:
    // Questions from now on are answered `answer` when it is one of their buttons,
    // else with their default; the answer is printed after the question.
    void setAnswer(platform::Button answer) { m_answer = answer; }
    // Questions containing one of `fragments` are answered No whatever the answer set.
    void setDeclined(QStringList fragments) { m_declined = std::move(fragments); }
    void setFile(const QString& path) { m_file = path; }
    void setDirectory(const QString& path) { m_directory = path; }
    // Messages with one button and no error are printed only when verbose.
    void setQuiet(bool quiet) { m_quiet = quiet; }

    bool errorShown() const { return m_errorShown; }
    void clearError() { m_errorShown = false; }

    platform::Button message(const QString& caption, const QString& text, platform::Buttons buttons,
                             platform::Button defaultButton, platform::Icon icon) override;
    void beep() override {}
    QString openFile(const platform::FileDialogOptions&) override { return m_file; }
    QString saveFile(const platform::FileDialogOptions&) override { return m_file; }
    QString chooseDirectory(const QString&, const QString&) override { return m_directory; }
    std::optional<QFont> chooseFont(const QFont&) override { return std::nullopt; }
    std::optional<platform::FontChoice> chooseFontWithColor(const QFont&, const QColor&) override
    {
        return std::nullopt;
    }
    std::optional<QColor> chooseColor(const QColor&) override { return std::nullopt; }
    bool printerSetup(QPrinter&) override { return false; }

private:
    platform::Button m_answer = platform::Button::No;
    QStringList m_declined;
    int m_questions = 0;
    QString m_file;
    QString m_directory;
    bool m_quiet = false;
    bool m_errorShown = false;
};
