#include "TestRegistry.h"
#include "settings/ColorScheme.h"
#include "settings/WindowLook.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>

namespace {

using settings::ColorScheme;
using settings::SchemeColor;
using C = SchemeColor;
using R = QPalette;

QColor color(const ColorScheme& scheme, SchemeColor which)
{
    return settings::colorFromWindows(scheme[std::size_t(which)]);
}

// Thirteen colours no two alike, so a control showing the wrong one is caught.
ColorScheme distinctScheme()
{
    ColorScheme scheme{};
    for (int i = 0; i < settings::kSchemeColorCount; ++i)
        scheme[std::size_t(i)] = (20 + 15 * i) | ((200 - 9 * i) << 8) | ((60 + 11 * i) << 16);
    return scheme;
}

ColorScheme colorSet(int entry)
{
    ColorScheme scheme = settings::defaultColorScheme();
    settings::applyColorSet(scheme, entry);
    return scheme;
}

// A dark desktop for the length of a test.
struct DarkDesktop {
    QPalette saved = QApplication::palette();
    DarkDesktop()
    {
        QPalette dark(QColor(45, 45, 45));
        dark.setColor(R::Base, QColor(30, 30, 30));
        dark.setColor(R::Text, Qt::white);
        dark.setColor(R::WindowText, Qt::white);
        dark.setColor(R::ButtonText, Qt::white);
        QApplication::setPalette(dark);
    }
    ~DarkDesktop() { QApplication::setPalette(saved); }
};

} // namespace

class WindowLookTest : public QObject {
    Q_OBJECT

private slots:
    void schemes_data()
    {
        QTest::addColumn<ColorScheme>("scheme");
        QTest::newRow("default") << settings::defaultColorScheme();
        QTest::newRow("Midnight Black") << colorSet(3);
        QTest::newRow("all different") << distinctScheme();
    }

    // Under a dark desktop, what the scheme does not name shows dark on light: buttons and
    // edit boxes as on the light palette, labels in the minor title colour.
    void uncoveredControlsOnLightBase_data() { schemes_data(); }
    void uncoveredControlsOnLightBase()
    {
        QFETCH(ColorScheme, scheme);
        DarkDesktop dark;
        QWidget window;
        auto* label = new QLabel("Caption", &window);
        auto* button = new QPushButton("Button", &window);
        auto* edit = new QLineEdit(&window);
        auto* menus = new QMenuBar(&window);
        auto* tabs = new QTabWidget(&window);
        tabs->addTab(new QWidget, "Page");
        settings::applyColorScheme(&window, scheme, {});
        const QPalette& light = settings::lightPalette();
        for (QWidget* bar : std::initializer_list<QWidget*>{menus, tabs->findChild<QTabBar*>()})
            for (R::ColorRole role : {R::Window, R::WindowText, R::ButtonText})
                QCOMPARE(bar->palette().color(role), light.color(role));
        QCOMPARE(window.palette().color(R::Window), color(scheme, C::MainBackground));
        QCOMPARE(label->palette().color(R::WindowText), color(scheme, C::MinorTitle));
        QCOMPARE(button->palette().color(R::Button), light.color(R::Button));
        QCOMPARE(button->palette().color(R::ButtonText), light.color(R::ButtonText));
        QCOMPARE(edit->palette().color(R::Base), light.color(R::Base));
        QCOMPARE(edit->palette().color(R::Text), light.color(R::Text));
        QVERIFY(light.color(R::Base).lightness() > 200 && light.color(R::Text).lightness() < 60);
    }

    // A disabled control draws its text halfway to its background, in every scheme.
    void disabledTextIsDimmed_data() { schemes_data(); }
    void disabledTextIsDimmed()
    {
        QFETCH(ColorScheme, scheme);
        QWidget window;
        auto* radio = new QRadioButton("Export Search Criteria", &window);
        auto* check = new QCheckBox("Check", &window);
        auto* edit = new QLineEdit(&window);
        auto* label = new QLabel("Caption", &window);
        settings::applyColorScheme(
            &window, scheme, {.minorTitles = {label}, .edits = {edit}, .radios = {radio}, .checks = {check}});
        const struct {
            QWidget* widget;
            R::ColorRole role;
            SchemeColor text;
            SchemeColor back;
        } cases[] = {{radio, R::WindowText, C::RadioText, C::RadioBackground},
                     {check, R::WindowText, C::CheckText, C::CheckBackground},
                     {edit, R::Text, C::EditText, C::EditBackground},
                     {label, R::WindowText, C::MinorTitle, C::MainBackground}};
        for (const auto& c : cases) {
            c.widget->setEnabled(false);
            const QColor text = color(scheme, c.text);
            const QColor back = color(scheme, c.back);
            const QColor shown = c.widget->palette().color(R::Disabled, c.role);
            QCOMPARE(c.widget->palette().color(R::Active, c.role), text);
            QCOMPARE(shown, QColor((text.red() + back.red()) / 2, (text.green() + back.green()) / 2,
                                   (text.blue() + back.blue()) / 2));
        }
    }

    // The default rule: group captions major, other labels minor, each control its own pair;
    // a notebook page is filled; a control's own parts and a widget that keeps its colours
    // are left alone; a check box in a group keeps a dark mark on its light box.
    void defaultRule()
    {
        const ColorScheme scheme = distinctScheme();
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* group = new QGroupBox("Group", &window);
        auto* inGroup = new QLabel("In group", group);
        auto* check = new QCheckBox("Check", group);
        auto* plainEdit = new QLineEdit(group);
        auto* combo = new QComboBox(&window);
        combo->setEditable(true);
        auto* list = new QListWidget(&window);
        auto* radio = new QRadioButton("Radio", &window);
        auto* spin = new QSpinBox(&window);
        auto* tabs = new QTabWidget(&window);
        auto* page = new QWidget;
        tabs->addTab(page, "Page");
        auto* sample = new QLabel("Sample", &window);
        QPalette own = sample->palette();
        own.setColor(R::WindowText, Qt::magenta);
        sample->setPalette(own);
        sample->setProperty(settings::kOwnColors, true);
        for (QWidget* w : std::initializer_list<QWidget*>{group, combo, list, radio, spin, tabs, sample})
            layout->addWidget(w);
        window.show();

        const settings::SchemedControls found = settings::defaultSchemedControls(&window);
        QVERIFY(std::count(found.edits.begin(), found.edits.end(), combo->lineEdit()) == 0);
        settings::applyColorScheme(&window, scheme);
        QCOMPARE(group->palette().color(R::Text), color(scheme, C::MajorTitle));
        QCOMPARE(inGroup->palette().color(R::WindowText), color(scheme, C::MinorTitle));
        QCOMPARE(combo->palette().color(R::Base), color(scheme, C::ComboBackground));
        QCOMPARE(combo->palette().color(R::Text), color(scheme, C::ComboText));
        QCOMPARE(list->palette().color(R::Base), color(scheme, C::ListBoxBackground));
        QCOMPARE(list->palette().color(R::Text), color(scheme, C::ListBoxText));
        QCOMPARE(radio->palette().color(R::WindowText), color(scheme, C::RadioText));
        const QImage radioShown = radio->grab().toImage();
        QCOMPARE(radioShown.pixelColor(radioShown.width() - 2, radioShown.height() / 2),
                 color(scheme, C::RadioBackground));
        QCOMPARE(check->palette().color(R::WindowText), color(scheme, C::CheckText));
        QCOMPARE(spin->palette().color(R::Base), color(scheme, C::EditBackground));
        QCOMPARE(plainEdit->palette().color(R::Base), color(scheme, C::EditBackground));
        QVERIFY(page->autoFillBackground());
        QCOMPARE(page->palette().color(R::Window), color(scheme, C::MainBackground));
        QCOMPARE(sample->palette().color(R::WindowText), QColor(Qt::magenta));
        QCOMPARE(check->palette().color(R::Text), settings::lightPalette().color(R::Text));
        QCOMPARE(check->palette().color(R::Base), settings::lightPalette().color(R::Base));
    }

    // Installed once, the colouring follows the scheme at every showing.
    void colorsAtEveryShow()
    {
        ColorScheme scheme = settings::defaultColorScheme();
        QWidget window;
        auto* label = new QLabel("Caption", &window);
        settings::colorOnEveryShow(&window, scheme);
        window.show();
        QCOMPARE(label->palette().color(R::WindowText), color(scheme, C::MinorTitle));
        window.hide();
        settings::applyColorSet(scheme, 3);
        QVERIFY(label->palette().color(R::WindowText) != color(scheme, C::MinorTitle));
        window.show();
        QCOMPARE(label->palette().color(R::WindowText), color(scheme, C::MinorTitle));
        QCOMPARE(window.palette().color(R::Window), color(scheme, C::MainBackground));
    }
};

REGISTER_TEST(WindowLookTest)
#include "tst_windowlook.moc"
