#include "WindowLook.h"

#include "settings/Scaling.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPalette>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleFactory>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QWidget>

#include <initializer_list>
#include <memory>
#include <unordered_set>

namespace settings {
namespace {

using Roles = std::initializer_list<QPalette::ColorRole>;

QColor dimmed(const QColor& text, const QColor& background)
{
    return QColor((text.red() + background.red()) / 2, (text.green() + background.green()) / 2,
                  (text.blue() + background.blue()) / 2);
}

// `back` fills `backRoles` in every state; `text` writes `textRoles`, dimmed when disabled.
void setPair(QPalette& palette, const QColor& back, Roles backRoles, const QColor& text, Roles textRoles)
{
    for (QPalette::ColorRole role : backRoles)
        palette.setColor(role, back);
    for (QPalette::ColorRole role : textRoles) {
        palette.setColor(role, text);
        palette.setColor(QPalette::Disabled, role, dimmed(text, back));
    }
}

void paint(QWidget* widget, const QColor& back, Roles backRoles, const QColor& text, Roles textRoles,
           bool fill = false)
{
    if (fill) // a control paints no background of its own unless told to
        widget->setAutoFillBackground(true);
    QPalette palette = widget->palette();
    setPair(palette, back, backRoles, text, textRoles);
    widget->setPalette(palette);
}

// A widget inside a control the rule colours as a whole, inside a widget that keeps its
// own colours, or in a window of its own.
bool partOfAnother(const QWidget* widget, const QWidget* window)
{
    if (widget->isWindow() || widget->property(kOwnColors).toBool())
        return true;
    for (const QWidget* up = widget->parentWidget(); up && up != window; up = up->parentWidget())
        if (up->isWindow() || up->property(kOwnColors).toBool() || qobject_cast<const QComboBox*>(up) ||
            qobject_cast<const QAbstractSpinBox*>(up) || qobject_cast<const QAbstractItemView*>(up) ||
            qobject_cast<const QTextEdit*>(up) || qobject_cast<const QPlainTextEdit*>(up))
            return true;
    return false;
}

// The box of a radio button or check box, and its mark, drawn as on the light palette:
// a group box around it would otherwise lend it its title colour for the mark.
void keepLightBaseAndText(QWidget* widget)
{
    QPalette palette = widget->palette();
    for (QPalette::ColorRole role : {QPalette::Base, QPalette::Text})
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            palette.setBrush(group, role, lightPalette().brush(group, role));
    widget->setPalette(palette);
}

// A group box writes its title with Text, which the controls in it would inherit: those the
// scheme leaves alone get the light palette's text back.
void keepLightInsideGroups(QWidget* window, const SchemedControls& controls)
{
    std::unordered_set<const QWidget*> named;
    for (const auto* list : {&controls.pages, &controls.majorTitles, &controls.minorTitles, &controls.edits,
                             &controls.combos, &controls.lists, &controls.radios, &controls.checks})
        named.insert(list->begin(), list->end());
    for (const auto* titles : {&controls.majorTitles, &controls.minorTitles})
        for (QWidget* title : *titles) {
            if (!qobject_cast<QGroupBox*>(title))
                continue;
            for (QWidget* inner : title->findChildren<QWidget*>())
                if (!named.count(inner) && !partOfAnother(inner, window))
                    keepLightBaseAndText(inner);
        }
}

bool isNotebookPage(const QWidget* widget)
{
    const QWidget* stack = widget->parentWidget();
    return qobject_cast<const QStackedWidget*>(stack) &&
           qobject_cast<const QTabWidget*>(stack->parentWidget());
}

class SchemeOnShow : public QObject {
public:
    SchemeOnShow(const ColorScheme& scheme, QWidget* window) : QObject(window), m_scheme(scheme) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && !event->spontaneous())
            applyColorScheme(static_cast<QWidget*>(watched), m_scheme);
        return false;
    }

private:
    const ColorScheme& m_scheme;
};

} // namespace

const QPalette& lightPalette()
{
    static const QPalette light = [] {
        const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
        const QPalette standard = fusion ? fusion->standardPalette() : QPalette(QColor(239, 239, 239));
        // Each role set on its own, so that a window given this palette inherits none from the desktop.
        QPalette every;
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            for (int role = 0; role < QPalette::NColorRoles; ++role)
                if (role != QPalette::NoRole)
                    every.setBrush(group, QPalette::ColorRole(role),
                                   standard.brush(group, QPalette::ColorRole(role)));
        return every;
    }();
    return light;
}

void applyColorScheme(QWidget* window, const ColorScheme& scheme, const SchemedControls& controls)
{
    auto color = [&scheme](SchemeColor which) { return colorFromWindows(scheme[std::size_t(which)]); };
    using C = SchemeColor;
    using R = QPalette;
    const QColor background = color(C::MainBackground);

    QPalette base = lightPalette();
    setPair(base, background, {R::Window}, color(C::MinorTitle), {R::WindowText});
    window->setAutoFillBackground(true);
    window->setPalette(base);
    // Menu bars and notebook tabs draw light fills of their own: their text stays dark.
    for (QWidget* bar : window->findChildren<QWidget*>())
        if (qobject_cast<QMenuBar*>(bar) || qobject_cast<QTabBar*>(bar))
            bar->setPalette(lightPalette());
    // The style would paint notebook pages in its own shade.
    for (QWidget* page : controls.pages)
        paint(page, background, {R::Window}, color(C::MinorTitle), {R::WindowText}, true);
    // A group box draws its caption with Text under some styles and WindowText under others.
    for (QWidget* title : controls.majorTitles)
        paint(title, background, {R::Window}, color(C::MajorTitle), {R::WindowText, R::Text});
    for (QWidget* title : controls.minorTitles)
        paint(title, background, {R::Window}, color(C::MinorTitle), {R::WindowText, R::Text});
    for (QWidget* edit : controls.edits)
        paint(edit, color(C::EditBackground), {R::Base}, color(C::EditText), {R::Text});
    // The drop-down button takes the button roles.
    for (QWidget* combo : controls.combos)
        paint(combo, color(C::ComboBackground), {R::Base, R::Button}, color(C::ComboText),
              {R::Text, R::ButtonText});
    for (QWidget* list : controls.lists)
        paint(list, color(C::ListBoxBackground), {R::Base}, color(C::ListBoxText), {R::Text});
    // A radio button or check box fills its background with the button role, as every button does.
    for (QWidget* radio : controls.radios) {
        paint(radio, color(C::RadioBackground), {R::Window, R::Button}, color(C::RadioText), {R::WindowText},
              true);
        keepLightBaseAndText(radio);
    }
    // Some styles write a check box's text with the button role too.
    for (QWidget* check : controls.checks) {
        paint(check, color(C::CheckBackground), {R::Window, R::Button}, color(C::CheckText),
              {R::WindowText, R::ButtonText}, true);
        keepLightBaseAndText(check);
    }
    keepLightInsideGroups(window, controls);
}

void applyColorScheme(QWidget* window, const ColorScheme& scheme)
{
    applyColorScheme(window, scheme, defaultSchemedControls(window));
}

SchemedControls defaultSchemedControls(QWidget* window)
{
    SchemedControls controls;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (partOfAnother(widget, window))
            continue;
        if (qobject_cast<QGroupBox*>(widget))
            controls.majorTitles.push_back(widget);
        else if (qobject_cast<QLabel*>(widget))
            controls.minorTitles.push_back(widget);
        else if (qobject_cast<QComboBox*>(widget))
            controls.combos.push_back(widget);
        else if (qobject_cast<QLineEdit*>(widget) || qobject_cast<QAbstractSpinBox*>(widget) ||
                 qobject_cast<QTextEdit*>(widget) || qobject_cast<QPlainTextEdit*>(widget))
            controls.edits.push_back(widget);
        else if (qobject_cast<QAbstractItemView*>(widget))
            controls.lists.push_back(widget);
        else if (qobject_cast<QRadioButton*>(widget))
            controls.radios.push_back(widget);
        else if (qobject_cast<QCheckBox*>(widget))
            controls.checks.push_back(widget);
        else if (isNotebookPage(widget))
            controls.pages.push_back(widget);
    }
    return controls;
}

void colorOnEveryShow(QWidget* window, const ColorScheme& scheme)
{
    window->installEventFilter(new SchemeOnShow(scheme, window));
}

void fitWindow(QWidget* window, const SharedFonts& fonts, double factor, QSize screen, bool moveUp)
{
    applyFonts(window, fonts);
    scaleAndCentre(window, factor, screen, moveUp);
}

} // namespace settings
