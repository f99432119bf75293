#include "BookFixture.h"
#include "TempDir.h"
#include "TestRegistry.h"
#include "db/BookGridModel.h"

#include <QTest>

class TestGridModel : public QObject {
    Q_OBJECT

private slots:
    // After a jump only the fields the view asked for are read; a column that comes into
    // view then still shows its values, in the row read before and the rows around it.
    void columnComingIntoViewAfterAJump()
    {
        TempDir dir;
        std::vector<std::string> titles;
        for (int i = 0; i < 200; ++i)
            titles.push_back("book " + std::to_string(i));
        makeBooks(dir.path("B.DBF"), titles);
        db::BookTable table;
        table.adopt(dbase::Table::open(dir.path("B.DBF")));
        db::ShortDateText dates;
        db::BookGridModel model(table, dates, {});
        model.setColumns({{0, "Title"}, {1, "Author"}, {11, "Bought"}});
        QCOMPARE(model.data(model.index(0, 0)).toString(), "book 0");
        QCOMPARE(model.data(model.index(150, 0)).toString(), "book 150");
        for (int row : {150, 151, 149}) {
            QCOMPARE(model.data(model.index(row, 2)).toString(), QStringLiteral("1/%1/01").arg(row % 28 + 1));
            QCOMPARE(model.data(model.index(row, 1)).toString(), QStringLiteral("A%1").arg(row % 3));
        }
    }
};

REGISTER_TEST(TestGridModel)
#include "tst_gridmodel.moc"
