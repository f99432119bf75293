#include "TestRegistry.h"
#include "edit/GridScrollBar.h"

#include <QApplication>
#include <QEvent>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QWidget>

namespace {

// Collects the regions the bar paints.
class PaintedRegion : public QObject {
public:
    QRegion region;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            region += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
};

QImage rgb(const QPixmap& pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_RGB32);
}

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
        QTest::newRow("from the start") << 0 << 500 << true;
    }

    // What the window shows afterwards is what a whole repaint of the bar draws.
    void jumpRepaintsTheHandlesOnly()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(bool, whole);
        QWidget window;
        window.resize(40, 420);
        edit::GridScrollBar bar(Qt::Vertical, &window);
        bar.setGeometry(10, 10, 16, 400);
        bar.setRange(0, 1000);
        bar.setPageStep(30);
        bar.setValue(from);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCoreApplication::processEvents();
        PaintedRegion painted;
        bar.installEventFilter(&painted);
        bar.setValue(to);
        QTRY_VERIFY(!painted.region.isEmpty());
        QCoreApplication::processEvents();
        const QRect bounds = painted.region.boundingRect();
        if (whole)
            QCOMPARE(bounds, bar.rect());
        else {
            int area = 0;
            for (const QRect& r : painted.region)
                area += r.width() * r.height();
            QVERIFY2(area < bar.width() * bar.height() / 3,
                     "a jump within the range repainted the whole bar");
        }
        const QImage shown = rgb(window.screen()->grabWindow(window.winId())).copy(bar.geometry());
        QCOMPARE(shown, rgb(bar.grab()));
    }
};

REGISTER_TEST(TestGridScrollBar)
#include "tst_gridscrollbar.moc"
