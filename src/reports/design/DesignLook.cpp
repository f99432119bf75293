#include "reports/design/DesignLook.h"

#include "platform/Screen.h"
#include "settings/Scaling.h"

namespace reports {

DesignLook designLook(const settings::Settings& settings)
{
    DesignLook look;
    look.screen = platform::PrimaryScreen().size();
    look.factor = settings::scaleFactor(settings.windowSize, look.screen);
    look.fonts = settings::makeSharedFonts(settings);
    look.scheme = settings.scheme(settings::WindowGroup::Report);
    return look;
}

void applyLook(QWidget* window, const DesignLook& look)
{
    settings::fitWindow(window, look.fonts, look.factor, look.screen);
    settings::applyColorScheme(window, look.scheme);
}

} // namespace reports
