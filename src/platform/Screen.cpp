#include "Screen.h"

#include <QGuiApplication>
#include <QScreen>

namespace platform {

QSize PrimaryScreen::size() const
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        return screen->size();
    return {640, 480};
}

} // namespace platform
