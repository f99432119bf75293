#pragma once

#include <QApplication>
#include <exception>

namespace platform {
class Dialogs;
}

// Shows an error that no window caught on purpose: its text in an "Error" box.
// The command it came from has ended; the program goes on.
void showUncaughtError(platform::Dialogs& dialogs, std::exception_ptr error);

// The application object. Every event passes through notify(), so an engine or
// file error thrown by any handler ends there, and only that command is lost.
class Application : public QApplication {
public:
    Application(int& argc, char** argv);

    // `dialogs` shows the errors from now on; it must outlive the application
    // or be replaced with nullptr first.
    void setErrorDialogs(platform::Dialogs* dialogs) { m_dialogs = dialogs; }

    bool notify(QObject* receiver, QEvent* event) override;

private:
    platform::Dialogs* m_dialogs = nullptr;
    bool m_showing = false; // an error shown while another is on screen is not stacked
};
