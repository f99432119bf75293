#include "ProgramFixture.h"
#include "TestRegistry.h"
#include "app/TTipOfDay.h"
#include "edit/TMyEdit.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

namespace {

// Counts the tip windows shown and closes each one as it comes up.
class TipCloser : public QObject {
public:
    TipCloser() { qApp->installEventFilter(this); }
    ~TipCloser() override { qApp->removeEventFilter(this); }
    int shown = 0;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && qobject_cast<TTipOfDay*>(watched)) {
            ++shown;
            QTimer::singleShot(0, watched, [tip = static_cast<TTipOfDay*>(watched)] { tip->close(); });
        }
        return false;
    }
};

} // namespace

class TipOfDayTest : public QObject {
    Q_OBJECT

private slots:
    // Next Tip goes round all 24 and back to the tip first shown.
    void nextComesRound_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("expected");
        QTest::newRow("1") << 1 << 1;
        QTest::newRow("13") << 13 << 13;
        QTest::newRow("24") << 24 << 24;
        QTest::newRow("out of range") << 25 << 1;
    }
    void nextComesRound()
    {
        QFETCH(int, first);
        QFETCH(int, expected);
        bool showTips = true;
        TTipOfDay window(showTips, first, 1.0, QSize(1280, 1024));
        QCOMPARE(window.currentTip(), expected);
        QCOMPARE(window.TipComment->text(), TTipOfDay::tipText(expected));
        window.NextTipButton->click();
        QCOMPARE(window.currentTip(), expected % TTipOfDay::kTipCount + 1);
        for (int i = 1; i < TTipOfDay::kTipCount; ++i)
            window.NextTipButton->click();
        QCOMPARE(window.currentTip(), expected);
        QCOMPARE(window.TipComment->text(), TTipOfDay::tipText(expected));
    }

    // The box starts as the setting is, and every way of closing stores it, on or off.
    void everyCloseStoresTheChoice_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("before");
        for (const char* how : {"Close", "Escape", "frame"})
            for (bool before : {true, false})
                QTest::addRow("%s, %s", how, before ? "on to off" : "off to on") << QString(how) << before;
    }
    void everyCloseStoresTheChoice()
    {
        QFETCH(QString, how);
        QFETCH(bool, before);
        bool showTips = before;
        TTipOfDay window(showTips, 1, 1.0, QSize(1280, 1024));
        window.show();
        QCOMPARE(window.ShowTips->isChecked(), before);
        window.ShowTips->click();
        if (how == "Close")
            window.CloseButton->click();
        else if (how == "Escape")
            QTest::keyClick(&window, Qt::Key_Escape);
        else
            window.close();
        QVERIFY(!window.isVisible());
        QCOMPARE(showTips, !before);
    }

    // At start the tip comes once, after the main window shows, when Show Tips is on;
    // closing the edit window (which activates the main window again) brings no second one.
    // The menu item shows it whatever the setting.
    void oncePerStart_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<int>("atStart");
        QTest::newRow("on") << "Yes" << 1;
        QTest::newRow("off") << "No" << 0;
    }
    void oncePerStart()
    {
        QFETCH(QString, setting);
        QFETCH(int, atStart);
        TipCloser tips;
        ProgramFixture p;
        p.setSetting("Misc", "Show Tips", setting);
        QVERIFY(p.show(true));
        QTest::qWait(20);
        QTRY_COMPARE(tips.shown, atStart);
        QVERIFY(whileModal<TMyEdit>([&] { p.main().findChild<QAction*>("MenuAdd")->trigger(); },
                                    [](TMyEdit& window) { window.CancelButtonClick(); }));
        QApplication::setActiveWindow(&p.main());
        QTest::qWait(20);
        QCOMPARE(tips.shown, atStart);
        p.main().findChild<QAction*>("MenuTips")->trigger();
        QCOMPARE(tips.shown, atStart + 1);
        QCOMPARE(p.dialogs.problems(), QStringList());
    }
};

REGISTER_TEST(TipOfDayTest)
#include "tst_tipofday.moc"
