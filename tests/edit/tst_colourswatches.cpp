#include "TestRegistry.h"
#include "edit/TViewConfig.h"
#include "platform/ScriptedDialogs.h"
#include "settings/Fonts.h"

#include <QFrame>
#include <QTabWidget>
#include <QTest>

class TestColourSwatches : public QObject {
    Q_OBJECT

private slots:
    // Regression: the cell colour's sample, in its default grey, looked like an empty box on
    // the dialog's grey. Each sample shows its colour inside a black and a white ring.
    void samplesAreFramed_data()
    {
        QTest::addColumn<QString>("sample");
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("colour"); // as stored, 0 for the default
        QTest::newRow("cell colour, default") << "CellColorShape" << 1 << 0;
        QTest::newRow("cell colour, white") << "CellColorShape" << 1 << 0xFFFFFF;
        QTest::newRow("title background, default") << "TitleShape" << 0 << 0;
    }

    void samplesAreFramed()
    {
        QFETCH(QString, sample);
        QFETCH(int, page);
        QFETCH(int, colour);
        settings::Settings settings;
        if (colour != 0)
            settings.gridCellColor = colour;
        settings::SharedFonts fonts = settings::makeSharedFonts(settings);
        platform::ScriptedDialogs dialogs;
        TViewConfig window(settings, fonts, dialogs, 1.0, QSize(1280, 1024));
        window.show();
        window.findChild<QTabWidget*>()->setCurrentIndex(page);
        auto* shape = window.findChild<QFrame*>(sample);
        QVERIFY(shape && shape->isVisible());
        QVERIFY(shape->width() >= 24 && shape->height() >= 12);
        const QImage image = shape->grab().toImage();
        const int stored = sample == "CellColorShape" ? settings.gridCellColor : settings.gridTitleBackground;
        const QColor fill = settings::colorFromWindows(stored);
        const int middle = image.height() / 2;
        QCOMPARE(image.pixelColor(image.width() / 2, middle), fill);
        for (int x : {0, image.width() - 1})
            QCOMPARE(image.pixelColor(x, middle), QColor(Qt::black));
        for (int x : {1, image.width() - 2})
            QCOMPARE(image.pixelColor(x, middle), QColor(Qt::white));
        QCOMPARE(image.pixelColor(image.width() / 2, 1), QColor(Qt::white));
    }
};

REGISTER_TEST(TestColourSwatches)
#include "tst_colourswatches.moc"
