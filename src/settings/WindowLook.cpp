#include "WindowLook.h"

#include "settings/Scaling.h"

#include <QPalette>
#include <QWidget>

#include <initializer_list>
#include <utility>

namespace settings {
namespace {

using Roles = std::initializer_list<std::pair<QPalette::ColorRole, SchemeColor>>;

void paint(QWidget* widget, const ColorScheme& scheme, Roles roles, bool fill = false)
{
    if (fill) // a control paints no background of its own unless told to
        widget->setAutoFillBackground(true);
    QPalette palette = widget->palette();
    for (const auto& [role, which] : roles)
        palette.setColor(role, colorFromWindows(scheme[std::size_t(which)]));
    widget->setPalette(palette);
}

} // namespace

void applyColorScheme(QWidget* window, const ColorScheme& scheme, const SchemedControls& controls)
{
    using C = SchemeColor;
    using R = QPalette;
    paint(window, scheme, {{R::Window, C::MainBackground}}, true);
    // The style would paint notebook pages in its own shade.
    for (QWidget* page : controls.pages)
        paint(page, scheme, {{R::Window, C::MainBackground}}, true);
    // A group box draws its caption with Text under some styles and WindowText under others.
    for (QWidget* title : controls.majorTitles)
        paint(title, scheme,
              {{R::Window, C::MainBackground}, {R::WindowText, C::MajorTitle}, {R::Text, C::MajorTitle}});
    for (QWidget* title : controls.minorTitles)
        paint(title, scheme,
              {{R::Window, C::MainBackground}, {R::WindowText, C::MinorTitle}, {R::Text, C::MinorTitle}});
    for (QWidget* edit : controls.edits)
        paint(edit, scheme, {{R::Base, C::EditBackground}, {R::Text, C::EditText}});
    // The drop-down button takes the button roles.
    for (QWidget* combo : controls.combos)
        paint(combo, scheme,
              {{R::Base, C::ComboBackground},
               {R::Button, C::ComboBackground},
               {R::Text, C::ComboText},
               {R::ButtonText, C::ComboText}});
    for (QWidget* list : controls.lists)
        paint(list, scheme, {{R::Base, C::ListBoxBackground}, {R::Text, C::ListBoxText}});
    for (QWidget* radio : controls.radios)
        paint(radio, scheme, {{R::Window, C::RadioBackground}, {R::WindowText, C::RadioText}}, true);
    // A check box fills and writes with the button roles under some styles.
    for (QWidget* check : controls.checks)
        paint(check, scheme,
              {{R::Window, C::CheckBackground},
               {R::WindowText, C::CheckText},
               {R::Button, C::CheckBackground},
               {R::ButtonText, C::CheckText}},
              true);
}

void fitWindow(QWidget* window, const SharedFonts& fonts, double factor, QSize screen, bool moveUp)
{
    applyFonts(window, fonts);
    scaleAndCentre(window, factor, screen, moveUp);
}

} // namespace settings
