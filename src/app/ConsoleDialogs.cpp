#include "app/ConsoleDialogs.h"

#include <cstdio>
#include <stdexcept>

using platform::Button;

namespace {

const char* buttonName(Button button)
{
    switch (button) {
    case Button::Ok:
        return "Ok";
    case Button::Cancel:
        return "Cancel";
    case Button::Yes:
        return "Yes";
    case Button::No:
        return "No";
    case Button::Abort:
        return "Abort";
    case Button::Retry:
        return "Retry";
    case Button::Ignore:
        return "Ignore";
    default:
        return "";
    }
}

// The first of `buttons` in the order a message box shows them.
Button firstOf(platform::Buttons buttons)
{
    for (Button b :
         {Button::Ok, Button::Yes, Button::No, Button::Cancel, Button::Abort, Button::Retry, Button::Ignore})
        if (buttons.testFlag(b))
            return b;
    return Button::Ok;
}

} // namespace

Button ConsoleDialogs::message(const QString& caption, const QString& text, platform::Buttons buttons,
                               Button defaultButton, platform::Icon icon)
{
    const bool error = icon == platform::Icon::Error || caption == QLatin1String("Error");
    m_errorShown = m_errorShown || error;
    const bool question = (static_cast<unsigned>(buttons) & (static_cast<unsigned>(buttons) - 1)) != 0;
    Button answer = defaultButton == Button::None ? firstOf(buttons) : defaultButton;
    if (question && buttons.testFlag(m_answer))
        answer = m_answer;
    for (const QString& fragment : m_declined)
        if (question && text.contains(fragment) && buttons.testFlag(Button::No))
            answer = Button::No;
    // Nobody is there to break a loop of questions, such as a choice that keeps failing.
    if (question && ++m_questions > 100)
        throw std::runtime_error("The command was stopped: it kept asking questions.");
    if (question || error || !m_quiet || icon == platform::Icon::Warning) {
        QString line = (error ? QStringLiteral("Error: ") : QString()) + text;
        if (question)
            line += QStringLiteral(" [%1]").arg(QLatin1String(buttonName(answer)));
        std::fprintf(stderr, "%s\n", line.toUtf8().constData());
    }
    return answer;
}
