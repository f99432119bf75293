#include "Application.h"

#include "platform/Dialogs.h"

#include <QApplication>
#include <cstdio>

void showUncaughtError(platform::Dialogs& dialogs, std::exception_ptr error)
{
    QString text;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        text = QString::fromUtf8(e.what());
    } catch (...) {
        text = QStringLiteral("An unexpected error occurred.");
    }
    if (text.isEmpty())
        text = QStringLiteral("An unexpected error occurred.");
    // A long command that failed half-way leaves no hourglass behind.
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    dialogs.message(QStringLiteral("Error"), text, platform::Button::Ok, platform::Button::Ok,
                    platform::Icon::Error);
}

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        if (!m_dialogs || m_showing) {
            // Nowhere to show it: the text still reaches whoever started the program.
            try {
                std::rethrow_exception(std::current_exception());
            } catch (const std::exception& e) {
                std::fprintf(stderr, "shelvano: %s\n", e.what());
            } catch (...) {
                std::fprintf(stderr, "shelvano: unexpected error\n");
            }
            return false;
        }
        m_showing = true;
        showUncaughtError(*m_dialogs, std::current_exception());
        m_showing = false;
        return false;
    }
}
