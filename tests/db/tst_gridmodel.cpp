#include "BookFixture.h"
#include "TempDir.h"
#include "TestRegistry.h"
#include "db/BookGridModel.h"

#include <QTest>

class TestGridModel : public QObject {
    Q_OBJECT

private slots:
    // After a jump only the fields the view asked for are read; a column that comes into
    // view then still shows its values, in the rows read before and the rows around them.
    void columnComingIntoViewAfterAJump_data()
    {
        QTest::addColumn<int>("jumpTo");
        QTest::newRow("far down") << 150;
        QTest::newRow("near the top") << 20;
    }

    void columnComingIntoViewAfterAJump()
    {
        QFETCH(int, jumpTo);
        TempDir dir;
        const std::string path = dir.path("B.DBF");
        std::vector<std::string> titles;
        for (int i = 0; i < 200; ++i)
            titles.push_back("book " + std::to_string(i));
        makeBooks(path, titles);
        db::BookTable table;
        table.adopt(dbase::Table::open(path));
        db::ShortDateText dates;
        db::BookGridModel model(table, dates, {});
        model.setColumns({{0, "Title"}, {1, "Author"}, {11, "Bought"}});
        QCOMPARE(model.data(model.index(0, 0)).toString(), "book 0");
        QCOMPARE(model.data(model.index(jumpTo, 0)).toString(), QStringLiteral("book %1").arg(jumpTo));
        for (int row : {jumpTo, jumpTo + 1, jumpTo - 1}) {
            QCOMPARE(model.data(model.index(row, 2)).toString(), QStringLiteral("1/%1/01").arg(row % 28 + 1));
            QCOMPARE(model.data(model.index(row, 1)).toString(), QStringLiteral("A%1").arg(row % 3));
        }
    }
};

REGISTER_TEST(TestGridModel)
#include "tst_gridmodel.moc"
