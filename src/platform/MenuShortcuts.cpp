#include "MenuShortcuts.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace platform {

MenuShortcuts::MenuShortcuts(QWidget* window) : QObject(window), m_window(window)
{
    qApp->installEventFilter(this);
}

MenuShortcuts::~MenuShortcuts()
{
    qApp->removeEventFilter(this);
}

bool MenuShortcuts::eventFilter(QObject*, QEvent* event)
{
    if (event->type() != QEvent::ShortcutOverride)
        return false;
    QWidget* focus = QApplication::focusWidget();
    if (!focus || focus->window() != m_window)
        return false;
    const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
    for (QAction* item : m_window->findChildren<QAction*>()) {
        if (!item->shortcut().isEmpty() && item->shortcut() == pressed) {
            // An override nobody accepted lets the shortcut fire instead of the control's own key.
            event->ignore();
            return true;
        }
    }
    return false;
}

} // namespace platform
