#include "TestRegistry.h"
#include "edit/GridScrollBar.h"

#include <QPaintEvent>
#include <QScreen>
#include <QTest>

namespace {

// The area the bar repaints, in pixels.
struct PaintedArea : QObject {
    qint64 area = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            for (const QRect& r : static_cast<QPaintEvent*>(event)->region())
                area += qint64(r.width()) * r.height();
        return false;
    }
};

} // namespace

class TestGridScrollBar : public QObject {
    Q_OBJECT

private slots:
    void jumpRepaintsTheHandlesOnly_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<bool>("whole");
        QTest::newRow("down the table") << 200 << 700 << false;
        QTest::newRow("up a little") << 700 << 690 << false;
        QTest::newRow("to the end") << 200 << 1000 << true;
    }

    // What the window shows afterwards is what a whole repaint of the bar draws.
    void jumpRepaintsTheHandlesOnly()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(bool, whole);
        QWidget window;
        edit::GridScrollBar bar(Qt::Vertical, &window);
        bar.setGeometry(10, 10, 16, 400);
        bar.setRange(0, 1000);
        bar.setValue(from);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        PaintedArea painted;
        bar.installEventFilter(&painted);
        bar.setValue(to);
        QTRY_VERIFY(painted.area > 0);
        QCOMPARE(painted.area >= bar.width() * bar.height(), whole);
        const auto rgb = [](const QPixmap& p) { return p.toImage().convertToFormat(QImage::Format_RGB32); };
        QCOMPARE(rgb(window.screen()->grabWindow(window.winId())).copy(bar.geometry()), rgb(bar.grab()));
    }
};

REGISTER_TEST(TestGridScrollBar)
#include "tst_gridscrollbar.moc"
