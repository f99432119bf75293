#include "BookFixture.h"
#include "TestRegistry.h"
#include "db/BookCursor.h"

#include <QTemporaryDir>
#include <QTest>

class TestBookCursor : public QObject {
    Q_OBJECT

private slots:
    // A report walks the books on a handle of its own: every book in the
    // table's order, or the search's rows; the grid's record stays put.
    void walksItsOwnHandle_data()
    {
        QTest::addColumn<bool>("searchOnly");
        QTest::addColumn<QStringList>("titles");
        QTest::newRow("entire database") << false << QStringList{"Zeta", "Alpha", "Mid", "Beta"};
        QTest::newRow("search criteria") << true << QStringList{"Alpha", "Beta"};
    }

    void walksItsOwnHandle()
    {
        QFETCH(bool, searchOnly);
        QFETCH(QStringList, titles);
        QTemporaryDir dir;
        const std::string path = dir.filePath("BOOKS.DBF").toStdString();
        makeBooks(path, {"Zeta", "Alpha", "Mid", "Beta"});
        db::BookTable table;
        table.adopt(dbase::Table::open(path), [](const dbase::RecordView& r) {
            const std::string title = r.text(0);
            return title == "Alpha" || title == "Beta";
        });
        table.gotoRow(1);
        db::BookCursor cursor(table, searchOnly);
        QStringList seen;
        for (cursor.first(); !cursor.atEnd(); cursor.next())
            seen << QString::fromStdString(cursor.record().text(0)).trimmed();
        QCOMPARE(seen, titles);
        QCOMPARE(table.currentRow(), 1);
        QCOMPARE(QString::fromStdString(table.table().text(0)).trimmed(), "Beta");
    }
};

REGISTER_TEST(TestBookCursor)
#include "tst_bookcursor.moc"
