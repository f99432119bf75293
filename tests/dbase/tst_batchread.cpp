#include "TableFixture.h"
#include "TempDir.h"
#include "TestRegistry.h"

#include "dbase/DatabaseError.h"

#include <QTest>

using namespace dbase;

class BatchReadTest : public QObject {
    Q_OBJECT

private slots:
    void batchReadsWhatBookmarksRead_data()
    {
        QTest::addColumn<QString>("order");
        QTest::addColumn<bool>("filtered");
        QTest::newRow("physical order") << QString() << false;
        QTest::newRow("filtered") << QString() << true;
        QTest::newRow("tag with a condition") << QStringLiteral("NOTC") << false;
    }

    // Another open changes and deletes records between two batches: the second batch sees
    // the change and skips the deleted record, as bookmark jumps do; the current record stays.
    void batchReadsWhatBookmarksRead()
    {
        QFETCH(QString, order);
        QFETCH(bool, filtered);
        TempDir dir;
        Table::create(dir.path("R.DBF"), sampleFields());
        appendBooks(*Table::open(dir.path("R.DBF"), Access::Exclusive), {"e", "d", "c", "b", "a"});
        Table::open(dir.path("R.DBF"), Access::Exclusive)->addTag("NOTC", "TITLE", "TITLE <> 'c'");
        auto reader = Table::open(dir.path("R.DBF"));
        auto writer = Table::open(dir.path("R.DBF"));
        reader->setOrder(order.toStdString());
        if (filtered)
            reader->setFilter([](const RecordView& r) { return r.text(0) != "c"; });
        const std::vector<std::uint32_t> recnos{5, 1, 3, 2, 9, 4};
        using Seen = std::vector<std::pair<std::size_t, std::string>>;
        const auto batched = [&] {
            Seen seen;
            reader->readRecords(recnos,
                                [&](std::size_t i, const Table& t) { seen.emplace_back(i, t.text(0)); });
            return seen;
        };
        const auto byBookmark = [&] {
            Seen seen;
            for (std::size_t i = 0; i < recnos.size(); ++i)
                if (reader->gotoBookmark(recnos[i]))
                    seen.emplace_back(i, reader->text(0));
            reader->gotoBookmark(2);
            return seen;
        };
        QVERIFY(reader->gotoBookmark(2));
        QCOMPARE(batched(), byBookmark());
        writer->gotoBookmark(1);
        writer->edit();
        writer->setText(0, "changed");
        writer->post();
        writer->gotoBookmark(4);
        writer->deleteRecord();
        const Seen after = batched();
        QCOMPARE(reader->recno(), 2u);
        QCOMPARE(after, byBookmark());
        Seen expected{{0, "a"}, {1, "changed"}, {2, "c"}, {3, "d"}};
        if (filtered || !order.isEmpty())
            expected.erase(expected.begin() + 2);
        QCOMPARE(after, expected);
        reader->edit(); // the record being edited must not be overwritten
        QVERIFY_THROWS_EXCEPTION(DatabaseError, batched());
    }
};

REGISTER_TEST(BatchReadTest)
#include "tst_batchread.moc"
