#include "ScriptedDialogs.h"

#include <QFileInfo>

namespace platform {
namespace {

bool isQuestion(Buttons buttons)
{
    unsigned bits = unsigned(buttons.toInt());
    return (bits & (bits - 1)) != 0; // more than one button
}

Button safeAnswer(Buttons buttons, Button defaultButton)
{
    if (buttons & Button::Cancel)
        return Button::Cancel;
    if (buttons & Button::No)
        return Button::No;
    if (defaultButton != Button::None)
        return defaultButton;
    for (unsigned bit = 1; bit <= unsigned(Button::Ignore); bit <<= 1)
        if (buttons & Button(bit))
            return Button(bit);
    return Button::Ok;
}

} // namespace

void ScriptedDialogs::expectQuestion(const QString& textFragment, Button answer)
{
    m_script.push_back({Kind::Question, textFragment, answer, {}, {}, false});
}

void ScriptedDialogs::expectOpenFile(const QString& path)
{
    m_script.push_back({Kind::OpenFile, path, Button::None, {}, {}, false});
}

void ScriptedDialogs::expectSaveFile(const QString& path)
{
    m_script.push_back({Kind::SaveFile, path, Button::None, {}, {}, false});
}

void ScriptedDialogs::expectDirectory(const QString& path)
{
    m_script.push_back({Kind::Directory, path, Button::None, {}, {}, false});
}

void ScriptedDialogs::expectFont(const std::optional<QFont>& font)
{
    m_script.push_back({Kind::Font, {}, Button::None, font, {}, false});
}

void ScriptedDialogs::expectFontWithColor(const std::optional<FontChoice>& choice)
{
    if (choice)
        m_script.push_back({Kind::FontWithColor, {}, Button::None, choice->font, choice->color, true});
    else
        m_script.push_back({Kind::FontWithColor, {}, Button::None, {}, {}, false});
}

void ScriptedDialogs::expectColor(const std::optional<QColor>& color)
{
    m_script.push_back({Kind::Color, {}, Button::None, {}, color, false});
}

void ScriptedDialogs::expectPrinterSetup(bool accept)
{
    m_script.push_back({Kind::PrinterSetup, {}, Button::None, {}, {}, accept});
}

QStringList ScriptedDialogs::problems() const
{
    QStringList all = m_failures;
    for (const Expectation& unused : m_script)
        all << QStringLiteral("expected %1 \"%2\" never came").arg(kindName(unused.kind), unused.text);
    return all;
}

QString ScriptedDialogs::kindName(Kind kind)
{
    switch (kind) {
    case Kind::Question:
        return QStringLiteral("question");
    case Kind::OpenFile:
        return QStringLiteral("open file dialog");
    case Kind::SaveFile:
        return QStringLiteral("save file dialog");
    case Kind::Directory:
        return QStringLiteral("directory dialog");
    case Kind::Font:
        return QStringLiteral("font dialog");
    case Kind::FontWithColor:
        return QStringLiteral("font and colour dialog");
    case Kind::Color:
        return QStringLiteral("colour dialog");
    case Kind::PrinterSetup:
        return QStringLiteral("printer setup");
    }
    return {};
}

void ScriptedDialogs::fail(const QString& problem)
{
    m_failures << problem;
    if (m_throw)
        throw UnexpectedDialog(problem.toStdString());
}

std::optional<ScriptedDialogs::Expectation> ScriptedDialogs::take(Kind kind, const QString& what)
{
    if (m_script.empty() || m_script.front().kind != kind) {
        QString expected = m_script.empty()
                               ? QStringLiteral("nothing")
                               : kindName(m_script.front().kind) + " \"" + m_script.front().text + "\"";
        fail(QStringLiteral("unexpected %1 (expected %2)").arg(what, expected));
        return std::nullopt;
    }
    Expectation next = m_script.front();
    m_script.pop_front();
    return next;
}

Button ScriptedDialogs::message(const QString& caption, const QString& text, Buttons buttons,
                                Button defaultButton, Icon icon)
{
    Message shown{caption, text, buttons, defaultButton, icon, Button::None, m_beepPending};
    m_beepPending = false;
    if (!isQuestion(buttons)) {
        shown.answer = buttons ? safeAnswer(buttons, defaultButton) : Button::Ok;
        m_transcript.push_back(shown);
        return shown.answer;
    }
    shown.answer = safeAnswer(buttons, defaultButton);
    m_transcript.push_back(shown);
    const QString what = QStringLiteral("question \"%1\" (caption \"%2\")").arg(text, caption);
    std::optional<Expectation> expected = take(Kind::Question, what);
    if (!expected)
        return shown.answer;
    if (!text.contains(expected->text))
        fail(QStringLiteral("%1 does not contain \"%2\"").arg(what, expected->text));
    else if (!(buttons & expected->answer))
        fail(QStringLiteral("%1 offers no button for the scripted answer").arg(what));
    else
        m_transcript.back().answer = expected->answer;
    return m_transcript.back().answer;
}

void ScriptedDialogs::beep()
{
    ++m_beeps;
    m_beepPending = true;
}

QString ScriptedDialogs::fileDialog(Kind kind, const FileDialogOptions& options)
{
    m_fileDialogs.push_back(options);
    std::optional<Expectation> expected = take(kind, kindName(kind) + " \"" + options.title + "\"");
    if (!expected)
        return {};
    if (options.mustExist && !expected->text.isEmpty() && !QFileInfo::exists(expected->text))
        fail(QStringLiteral("%1 must return an existing file, and \"%2\" does not exist")
                 .arg(kindName(kind), expected->text));
    return expected->text;
}

QString ScriptedDialogs::openFile(const FileDialogOptions& options)
{
    return fileDialog(Kind::OpenFile, options);
}

QString ScriptedDialogs::saveFile(const FileDialogOptions& options)
{
    return fileDialog(Kind::SaveFile, options);
}

QString ScriptedDialogs::chooseDirectory(const QString& title, const QString& startDirectory)
{
    FileDialogOptions options;
    options.title = title;
    options.startDirectory = startDirectory;
    return fileDialog(Kind::Directory, options);
}

std::optional<QFont> ScriptedDialogs::chooseFont(const QFont& initial)
{
    std::optional<Expectation> expected = take(Kind::Font, kindName(Kind::Font) + " for " + initial.family());
    return expected ? expected->font : std::nullopt;
}

std::optional<FontChoice> ScriptedDialogs::chooseFontWithColor(const QFont& initial,
                                                               const QColor& initialColor)
{
    std::optional<Expectation> expected =
        take(Kind::FontWithColor,
             kindName(Kind::FontWithColor) + " for " + initial.family() + " " + initialColor.name());
    if (!expected || !expected->accept)
        return std::nullopt;
    return FontChoice{*expected->font, *expected->color};
}

std::optional<QColor> ScriptedDialogs::chooseColor(const QColor& initial)
{
    std::optional<Expectation> expected = take(Kind::Color, kindName(Kind::Color) + " for " + initial.name());
    return expected ? expected->color : std::nullopt;
}

bool ScriptedDialogs::printerSetup(QPrinter&)
{
    std::optional<Expectation> expected = take(Kind::PrinterSetup, kindName(Kind::PrinterSetup));
    return expected && expected->accept;
}

} // namespace platform
