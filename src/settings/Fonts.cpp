#include "Fonts.h"

#include "platform/FontNames.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>

#include <cmath>

namespace settings {
namespace {

QFont gridFont(const GridFontSettings& settings)
{
    QFont font(qtFamily(settings.name));
    if (settings.size > 0)
        font.setPointSize(settings.size);
    font.setBold(settings.bold);
    font.setItalic(settings.italic);
    font.setUnderline(settings.underline);
    font.setStrikeOut(settings.strikeout);
    return font;
}

QFont controlFont(const FontSettings& settings)
{
    QFont font(qtFamily(settings.name));
    font.setPointSize(kNewFontPointSize);
    font.setBold(settings.bold);
    font.setItalic(settings.italic);
    return font;
}

QString storedName(const QString& current, const QFont& font)
{
    return qtFamily(current).compare(font.family(), Qt::CaseInsensitive) == 0 ? current : font.family();
}

void storeGridFont(const QFont& font, const QColor& color, GridFontSettings& settings)
{
    settings.name = storedName(settings.name, font);
    if (font.pointSize() > 0)
        settings.size = font.pointSize();
    if (colorFromWindows(settings.color) != color)
        settings.color = windowsColor(color);
    settings.bold = font.bold();
    settings.italic = font.italic();
    settings.underline = font.underline();
    settings.strikeout = font.strikeOut();
}

void storeControlFont(const QFont& font, FontSettings& settings)
{
    settings.name = storedName(settings.name, font);
    settings.bold = font.bold();
    settings.italic = font.italic();
}

void copyFace(QWidget* widget, const QFont& from)
{
    QFont font = widget->font();
    font.setFamily(from.family());
    font.setBold(from.bold());
    font.setItalic(from.italic());
    widget->setFont(font);
}

// A combo box's drop-down list belongs to the combo box and lists its entries in its font.
bool inComboBox(const QWidget* widget)
{
    for (const QWidget* parent = widget->parentWidget(); parent; parent = parent->parentWidget())
        if (qobject_cast<const QComboBox*>(parent))
            return true;
    return false;
}

const QFont* sharedFontFor(QWidget* widget, const SharedFonts& fonts)
{
    if (qobject_cast<QListView*>(widget) && inComboBox(widget))
        return &fonts.edit;
    if (qobject_cast<QLabel*>(widget) || qobject_cast<QListView*>(widget) ||
        qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget) ||
        qobject_cast<QGroupBox*>(widget))
        return &fonts.label;
    if (qobject_cast<QLineEdit*>(widget) || qobject_cast<QComboBox*>(widget) ||
        qobject_cast<QTableView*>(widget))
        return &fonts.edit;
    if (qobject_cast<QPushButton*>(widget))
        return &fonts.button;
    return nullptr;
}

} // namespace

QString qtFamily(const QString& windowsName)
{
    return platform::qtFontFamily(windowsName);
}

QFont fontFromWindowsHeight(const QString& windowsName, int height)
{
    QFont font(qtFamily(windowsName));
    if (height < 0) {
        font.setPixelSize(-height);
    } else if (height > 0) {
        constexpr int reference = 100;
        font.setPixelSize(reference);
        QFontMetricsF metrics(font);
        double cell = metrics.ascent() + metrics.descent();
        font.setPixelSize(std::max(1, int(std::lround(height * reference / cell))));
    }
    return font;
}

SharedFonts makeSharedFonts(const Settings& settings)
{
    return {gridFont(settings.gridTitleFont), colorFromWindows(settings.gridTitleFont.color),
            gridFont(settings.gridFont),      colorFromWindows(settings.gridFont.color),
            controlFont(settings.labelFont),  controlFont(settings.editFont),
            controlFont(settings.buttonFont)};
}

void storeSharedFonts(const SharedFonts& fonts, Settings& settings)
{
    storeGridFont(fonts.gridTitle, fonts.gridTitleColor, settings.gridTitleFont);
    storeGridFont(fonts.grid, fonts.gridColor, settings.gridFont);
    storeControlFont(fonts.label, settings.labelFont);
    storeControlFont(fonts.edit, settings.editFont);
    storeControlFont(fonts.button, settings.buttonFont);
}

void applyFonts(QWidget* window, const SharedFonts& fonts)
{
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        // The line edit inside a spin box belongs to the spin box, which keeps its font.
        if (qobject_cast<QAbstractSpinBox*>(widget->parentWidget()))
            continue;
        if (const QFont* shared = sharedFontFor(widget, fonts))
            copyFace(widget, *shared);
    }
}

} // namespace settings
