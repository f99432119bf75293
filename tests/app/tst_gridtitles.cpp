#include "TestRegistry.h"
#include "app/GridTitles.h"

#include <QStandardItemModel>
#include <QTableView>
#include <QTest>

namespace {

// The first column's title as a grid draws it, with `header` (null: Qt's own) for its titles.
QImage drawnTitle(const QString& title, Qt::Alignment alignment, int width, QHeaderView* header)
{
    QTableView view;
    QStandardItemModel model(0, 2);
    model.setHorizontalHeaderLabels({title, "Second"});
    if (header)
        view.setHorizontalHeader(header);
    view.setModel(&model);
    view.horizontalHeader()->setDefaultAlignment(alignment | Qt::AlignVCenter);
    view.setColumnWidth(0, width);
    view.resize(400, 200);
    view.show();
    QHeaderView* titles = view.horizontalHeader();
    return titles->grab(QRect(0, 0, width, titles->height())).toImage();
}

} // namespace

class TestGridTitles : public QObject {
    Q_OBJECT

private slots:
    void alignment_data()
    {
        QTest::addColumn<int>("wanted");
        QTest::addColumn<int>("textWidth");
        QTest::addColumn<int>("expected");
        const int left = Qt::AlignLeft | Qt::AlignVCenter, centre = Qt::AlignHCenter | Qt::AlignVCenter;
        const int right = Qt::AlignRight | Qt::AlignBottom;
        QTest::newRow("centred, fits") << centre << 92 << centre;
        QTest::newRow("centred, one pixel too wide") << centre << 93 << left;
        QTest::newRow("right, too wide") << right << 300 << int(Qt::AlignLeft | Qt::AlignBottom);
        QTest::newRow("left, too wide") << left << 300 << left;
    }

    void alignment()
    {
        QFETCH(int, wanted);
        QFETCH(int, textWidth);
        QFETCH(int, expected);
        QCOMPARE(int(GridTitles::titleAlignment(Qt::Alignment(wanted), textWidth, 100, 4)), expected);
    }

    // Regression: a centred title wider than its column lost both ends ("/here Purch").
    void drawnFromItsStart_data()
    {
        QTest::addColumn<int>("alignment");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("fromStart");
        QTest::newRow("centred, too wide") << int(Qt::AlignHCenter) << 40 << true;
        QTest::newRow("right, too wide") << int(Qt::AlignRight) << 40 << true;
        QTest::newRow("centred, fits") << int(Qt::AlignHCenter) << 300 << false;
        QTest::newRow("right, fits") << int(Qt::AlignRight) << 300 << false;
    }

    void drawnFromItsStart()
    {
        QFETCH(int, alignment);
        QFETCH(int, width);
        QFETCH(bool, fromStart);
        const QString title = "Where Purchased";
        const QImage drawn = drawnTitle(title, Qt::Alignment(alignment), width, new GridTitles);
        const QImage asWanted = drawnTitle(title, Qt::Alignment(alignment), width, nullptr);
        const QImage fromLeft = drawnTitle(title, Qt::AlignLeft, width, nullptr);
        QVERIFY(!drawn.isNull());
        QVERIFY(asWanted != fromLeft); // the case tells the alignments apart
        QCOMPARE(drawn == fromLeft, fromStart);
        QCOMPARE(drawn == asWanted, !fromStart);
    }
};

REGISTER_TEST(TestGridTitles)
#include "tst_gridtitles.moc"
