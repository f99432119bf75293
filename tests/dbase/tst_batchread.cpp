#include "TableFixture.h"
#include "TempDir.h"
#include "TestRegistry.h"

#include "dbase/DatabaseError.h"

#include <QTest>
#include <stdexcept>

using namespace dbase;

namespace {

using Seen = std::vector<std::pair<std::size_t, std::string>>; // place in the list, title and year

std::string valuesOf(const Table& table)
{
    return table.text(0) + "/" + table.text(2);
}

// What a grid read record by record: one bookmark jump each, then back to where it was.
Seen byBookmark(Table& table, const std::vector<std::uint32_t>& recnos)
{
    const std::uint32_t keep = table.recno();
    Seen seen;
    for (std::size_t i = 0; i < recnos.size(); ++i)
        if (table.gotoBookmark(recnos[i]))
            seen.emplace_back(i, valuesOf(table));
    table.gotoBookmark(keep);
    return seen;
}

Seen batched(Table& table, const std::vector<std::uint32_t>& recnos)
{
    Seen seen;
    table.readRecords(recnos, [&](std::size_t i, const Table& on) { seen.emplace_back(i, valuesOf(on)); });
    return seen;
}

} // namespace

class BatchReadTest : public QObject {
    Q_OBJECT

private slots:
    void batchReadsWhatBookmarksRead_data()
    {
        QTest::addColumn<QString>("order");
        QTest::addColumn<bool>("filtered");
        QTest::newRow("physical order") << QString() << false;
        QTest::newRow("tag order") << QStringLiteral("T") << false;
        QTest::newRow("filtered") << QString() << true;
        QTest::newRow("tag with a condition") << QStringLiteral("NOTC") << false;
    }

    // Another open changes and deletes records between two batches: the second batch
    // sees the change and skips the deleted record, as record-by-record reads do.
    void batchReadsWhatBookmarksRead()
    {
        QFETCH(QString, order);
        QFETCH(bool, filtered);
        TempDir dir;
        const std::string path = dir.path("R.DBF");
        Table::create(path, sampleFields());
        {
            auto table = Table::open(path, Access::Exclusive);
            appendBooks(*table, {"e", "d", "c", "b", "a"});
            table->addTag("T", "TITLE");
            table->addTag("NOTC", "TITLE", "TITLE <> 'c'");
        }
        auto reader = Table::open(path);
        auto writer = Table::open(path);
        reader->setOrder(order.toStdString());
        if (filtered)
            reader->setFilter([](const RecordView& r) { return r.text(0) != "c"; });
        QVERIFY(reader->gotoBookmark(2));
        const std::vector<std::uint32_t> recnos{5, 1, 3, 2, 9, 4};
        const Seen before = batched(*reader, recnos);
        QCOMPARE(before, byBookmark(*reader, recnos));
        QCOMPARE(before.size(), filtered || order == "NOTC" ? 4u : 5u);

        QVERIFY(writer->gotoBookmark(1));
        writer->edit();
        writer->setText(0, "changed");
        writer->post();
        QVERIFY(writer->gotoBookmark(4));
        writer->deleteRecord();
        QVERIFY(writer->gotoBookmark(2));
        writer->edit();
        writer->setWhole(2, 2024);
        writer->post();

        const Seen after = batched(*reader, recnos);
        QCOMPARE(reader->recno(), 2u); // the current record stays, with its new values
        QCOMPARE(reader->text(2), std::string("2024"));
        QVERIFY(!reader->bof() && !reader->eof());
        QCOMPARE(after, byBookmark(*reader, recnos));
        QCOMPARE(after[1], (std::pair<std::size_t, std::string>(1, "changed/1900")));
        for (const auto& [index, values] : after)
            QVERIFY2(index != 5, "a deleted record was visited");
    }

    void positionKeptWhenTheVisitorThrows()
    {
        TempDir dir;
        const std::string path = dir.path("K.DBF");
        Table::create(path, sampleFields());
        auto table = Table::open(path);
        appendBooks(*table, {"x", "y", "z"});
        table->setOrder({});
        table->last();
        QVERIFY_THROWS_EXCEPTION(
            std::runtime_error,
            table->readRecords({1, 2}, [](std::size_t, const Table&) { throw std::runtime_error("stop"); }));
        QCOMPARE(table->recno(), 3u);
        QCOMPARE(table->text(0), std::string("z"));
        QVERIFY(table->eof());
        table->prior();
        QCOMPARE(table->text(0), std::string("y"));

        table->edit(); // the record being edited must not be overwritten
        QVERIFY_THROWS_EXCEPTION(DatabaseError, table->readRecords({1}, [](std::size_t, const Table&) {}));
        QVERIFY(table->editing());
    }
};

REGISTER_TEST(BatchReadTest)
#include "tst_batchread.moc"
