#pragma once

// How the design windows look: the scale factor, the screen they are centred
// on, the shared fonts and the report windows' colour scheme, all taken from
// the settings when a window opens.

#include "settings/Fonts.h"
#include "settings/Settings.h"
#include "settings/WindowLook.h"

#include <QSize>

class QWidget;

namespace reports {

struct DesignLook {
    double factor = 1.0;
    QSize screen;
    settings::SharedFonts fonts;
    settings::ColorScheme scheme{};
};

// The look for the primary screen and the "Window Size" setting.
DesignLook designLook(const settings::Settings& settings);

// Fonts, scaling and centring, then the colour scheme by the default rule.
void applyLook(QWidget* window, const DesignLook& look);

} // namespace reports
