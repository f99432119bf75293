#include "TestRegistry.h"
#include "settings/Fonts.h"
#include "settings/Scaling.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

using Outcome = settings::ScreenSizeChoice::Outcome;
Q_DECLARE_METATYPE(Outcome)

namespace {

// A dialog of 400 x 300 with a 10-point label and a button that inherits the window's 8-point font.
std::unique_ptr<QWidget> makeDialog()
{
    auto window = std::make_unique<QWidget>();
    QFont font("Liberation Sans", 8);
    window->setFont(font);
    auto* layout = new QVBoxLayout(window.get());
    auto* label = new QLabel("Title:");
    font.setPointSize(10);
    label->setFont(font);
    layout->addWidget(label);
    layout->addWidget(new QPushButton("OK"));
    window->resize(400, 300);
    return window;
}

} // namespace

class TestScaling : public QObject {
    Q_OBJECT

private slots:
    void factor_data()
    {
        QTest::addColumn<int>("windowSize");
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<double>("factor");
        QTest::addColumn<int>("ticked");
        QTest::newRow("640") << 640 << QSize(640, 480) << 1.0 << 640;
        QTest::newRow("800 fits") << 800 << QSize(800, 600) << 1.25 << 800;
        QTest::newRow("800 too low") << 800 << QSize(1024, 599) << 1.0 << 640;
        QTest::newRow("1024 on 800") << 1024 << QSize(800, 600) << 1.0 << 640;
        QTest::newRow("1024 fits") << 1024 << QSize(1920, 1080) << 1.6 << 1024;
        QTest::newRow("1280 too low") << 1280 << QSize(1920, 1023) << 1.0 << 640;
        QTest::newRow("1280 fits") << 1280 << QSize(1280, 1024) << 2.0 << 1280;
        QTest::newRow("other value") << 999 << QSize(4000, 3000) << 1.0 << 640;
    }

    void factor()
    {
        QFETCH(int, windowSize);
        QFETCH(QSize, screen);
        QFETCH(double, factor);
        QFETCH(int, ticked);
        QCOMPARE(settings::scaleFactor(windowSize, screen), factor);
        QCOMPARE(settings::tickedScreenSize(windowSize, screen), ticked);
    }

    void screenSizeCommand_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("size");
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("error");
        const QSize small(800, 600);
        QTest::newRow("same size does nothing") << 1024 << 1024 << small << Outcome::Unchanged << 1024 << "";
        QTest::newRow("too large") << 640 << 1024 << small << Outcome::Refused << 640
                                   << "Your current screen resolution does not support 1024 x 768 pixels.";
        QTest::newRow("too low") << 640 << 1280 << QSize(1600, 900) << Outcome::Refused << 640
                                 << "Your current screen resolution does not support 1280 x 1024 pixels.";
        QTest::newRow("fits") << 640 << 1280 << QSize(1280, 1024) << Outcome::Changed << 1280 << "";
        QTest::newRow("back to 640") << 1024 << 640 << small << Outcome::Changed << 640 << "";
    }

    void screenSizeCommand()
    {
        QFETCH(int, current);
        QFETCH(int, size);
        QFETCH(QSize, screen);
        QFETCH(Outcome, outcome);
        QFETCH(int, stored);
        QFETCH(QString, error);
        settings::ScreenSizeChoice choice = settings::chooseScreenSize(size, screen, current);
        QCOMPARE(choice.outcome, outcome);
        QCOMPARE(current, stored);
        QCOMPARE(choice.error, error);
    }

    void repeatedScalingNeverCompounds()
    {
        std::unique_ptr<QWidget> window = makeDialog();
        auto* label = window->findChild<QLabel*>();
        auto* button = window->findChild<QPushButton*>();
        for (int showing = 0; showing < 3; ++showing) {
            settings::scaleAndCentre(window.get(), 1.25, {1024, 768});
            window->show();
            QCOMPARE(window->size(), QSize(500, 375));
            QCOMPARE(window->pos(), QPoint(262, 186)); // (1024 - 500) / 2, (768 - 375) / 2 - 10
            QCOMPARE(label->font().pointSizeF(), 12.5);
            QCOMPARE(button->font().pointSizeF(), 10.0);
            window->hide();
        }
        auto* late = new QCheckBox("added later", window.get()); // inherits the scaled 10 points
        window->layout()->addWidget(late);
        settings::scaleAndCentre(window.get(), 2.0, {1024, 768});
        QCOMPARE(late->font().pointSizeF(), 16.0);
        QCOMPARE(label->font().pointSizeF(), 20.0);
        settings::scaleAndCentre(window.get(), 1.0, {1024, 768});
        QCOMPARE(window->size(), QSize(400, 300));
    }

    void centring_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<bool>("moveUp");
        QTest::addColumn<QPoint>("position");
        QTest::newRow("moved up") << QSize(801, 621) << true << QPoint(200, 150);
        QTest::newRow("not asked") << QSize(801, 621) << false << QPoint(200, 160);
        QTest::newRow("top 10 stays") << QSize(800, 320) << true << QPoint(200, 10);
        QTest::newRow("larger than screen") << QSize(397, 297) << true << QPoint(-1, -1);
    }

    void centring()
    {
        QFETCH(QSize, screen);
        QFETCH(bool, moveUp);
        QFETCH(QPoint, position);
        std::unique_ptr<QWidget> window = makeDialog();
        settings::scaleAndCentre(window.get(), 1.0, screen, moveUp);
        QCOMPARE(window->pos(), position);
    }

    // A narrow dialog still shows its whole caption; a wide one keeps its own width.
    void roomForTheTitle()
    {
        std::unique_ptr<QWidget> window = makeDialog();
        window->resize(120, 300);
        window->setWindowTitle("Import Format of a Rather Long Caption");
        settings::scaleAndCentre(window.get(), 1.0, {1024, 768});
        QFont bold = window->font();
        bold.setBold(true);
        QVERIFY(window->width() >= QFontMetrics(bold).horizontalAdvance(window->windowTitle()) + 100);
        std::unique_ptr<QWidget> wide = makeDialog();
        wide->setWindowTitle("Import Format");
        settings::scaleAndCentre(wide.get(), 1.0, {1024, 768});
        QCOMPARE(wide->width(), 400);
    }

    void applyFontsCopiesFaceOnly()
    {
        settings::Settings chosen;
        chosen.labelFont = {"Courier New", true, false};
        chosen.editFont = {"Arial", false, true};
        chosen.buttonFont = {"MS Sans Serif", true, true};
        settings::SharedFonts fonts = settings::makeSharedFonts(chosen);
        std::unique_ptr<QWidget> window = makeDialog();
        auto* edit = new QLineEdit(window.get());
        auto* spin = new QSpinBox(window.get());
        auto* tool = new QToolButton(window.get());
        settings::applyFonts(window.get(), fonts);

        auto* label = window->findChild<QLabel*>();
        QCOMPARE(label->font().family(), "Liberation Mono");
        QVERIFY(label->font().bold() && !label->font().italic());
        QCOMPARE(label->font().pointSize(), 10); // size stays the window's
        QVERIFY(edit->font().italic() && edit->font().family() == "Liberation Sans");
        auto* button = window->findChild<QPushButton*>();
        QVERIFY(button->font().bold() && button->font().italic());
        QCOMPARE(button->font().pointSize(), 8);
        QVERIFY(!spin->findChild<QLineEdit*>()->font().italic());
        QVERIFY(!tool->font().bold());

        settings::Settings stored = chosen;
        fonts.label.setUnderline(true);
        fonts.edit.setFamily("DejaVu Serif");
        settings::storeSharedFonts(fonts, stored);
        QCOMPARE(stored.labelFont.name, "Courier New"); // the stand-in keeps the Windows name
        QCOMPARE(stored.editFont.name, "DejaVu Serif");
        QCOMPARE(stored.gridFont, chosen.gridFont);
    }

    void windowsFontHeight()
    {
        QFont cell = settings::fontFromWindowsHeight("Arial", 23);
        QVERIFY2(qAbs(QFontMetrics(cell).height() - 23) <= 1, qPrintable(cell.toString()));
        QCOMPARE(settings::fontFromWindowsHeight("Arial", -16).pixelSize(), 16);
    }
};

REGISTER_TEST(TestScaling)
#include "tst_scaling.moc"
