#include "BookFixture.h"
#include "TempDir.h"
#include "TestRegistry.h"
#include "db/BookTable.h"
#include "db/FieldValues.h"
#include "dbase/DatabaseError.h"

#include <QTest>

class TestFieldValues : public QObject {
    Q_OBJECT

private slots:
    // Each text once, in the file's order, letter case counting; blanks and deleted books left out.
    void distinctTexts_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("titles") << "TITLE" << QStringList{"Dune", "dune", "Emma"};
        QTest::newRow("field name in any case") << "author" << QStringList{"A0", "A1", "A2"};
        QTest::newRow("no values") << "CATEGORY" << QStringList();
    }

    void distinctTexts()
    {
        QFETCH(QString, field);
        QFETCH(QStringList, texts);
        TempDir dir;
        makeBooks(dir.path("B.DBF"), {"Dune", "dune", "  Dune", "Gone", "Emma", "", "Emma"});
        {
            auto table = dbase::Table::open(dir.path("B.DBF"), dbase::Access::Exclusive);
            table->first();
            for (int i = 0; i < 3; ++i)
                table->next();
            table->deleteRecord(); // "Gone"
        }
        QCOMPARE(db::distinctFieldTexts(dir.path("B.DBF"), field.toStdString()), texts);
    }

    // The book table open on the file keeps its filter and its current record.
    void openTableUntouched()
    {
        TempDir dir;
        makeBooks(dir.path("B.DBF"), {"c", "a", "b"});
        db::BookTable books;
        books.adopt(dbase::Table::open(dir.path("B.DBF")),
                    [](const dbase::RecordView& record) { return record.text(0) != "a"; });
        books.gotoRow(1);
        QCOMPARE(db::distinctFieldTexts(dir.path("B.DBF"), "TITLE"), (QStringList{"c", "a", "b"}));
        QCOMPARE(books.rowCount(), 2);
        QCOMPARE(books.currentRow(), 1);
        QCOMPARE(books.table().text(0), std::string("b"));
    }

    void missingFieldOrFile()
    {
        TempDir dir;
        makeBooks(dir.path("B.DBF"), {"x"});
        QVERIFY_THROWS_EXCEPTION(dbase::DatabaseError, db::distinctFieldTexts(dir.path("B.DBF"), "NOSUCH"));
        QVERIFY_THROWS_EXCEPTION(dbase::DatabaseError, db::distinctFieldTexts(dir.path("NONE.DBF"), "TITLE"));
    }
};

REGISTER_TEST(TestFieldValues)
#include "tst_fieldvalues.moc"
