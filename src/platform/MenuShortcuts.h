#pragma once

#include <QObject>

class QWidget;

namespace platform {

// Makes the shortcuts of a window's actions win over the keys its focused
// control would take for itself: on Linux a line edit claims Ctrl+U, Ctrl+E,
// Ctrl+X and others, and a grid claims Ctrl+C, so a menu shortcut would
// silently do nothing there. Only keys that are some enabled or disabled
// action's shortcut in `window` are taken; everything else reaches the control.
class MenuShortcuts : public QObject {
public:
    // Watches the whole application for as long as it lives; `window` must outlive it.
    explicit MenuShortcuts(QWidget* window);
    ~MenuShortcuts() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
};

} // namespace platform
