#include "FaultyFileSystem.h"
#include "TableFixture.h"
#include "TempDir.h"
#include "TestRegistry.h"

#include "dbase/DatabaseError.h"

#include <QTest>
#include <clocale>
#include <fstream>

using namespace dbase;

namespace {

std::unique_ptr<Table> makeTable(const std::string& path, const std::vector<std::string>& titles)
{
    Table::create(path, sampleFields());
    auto table = Table::open(path, Access::Exclusive);
    appendBooks(*table, titles);
    return table;
}

std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

} // namespace

class TableTest : public QObject {
    Q_OBJECT

private slots:
    void valuesRoundTrip_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("stored");
        QTest::newRow("character keeps text") << 0 << "Dune"
                                              << "Dune";
        QTest::newRow("character drops trailing blanks") << 0 << "Dune   "
                                                         << "Dune";
        QTest::newRow("character cut to width") << 1 << QString(25, 'x') << QString(20, 'x');
        QTest::newRow("windows-1252 letters") << 1 << "Brontë € œ"
                                              << "Brontë € œ";
        QTest::newRow("whole") << 2 << "1954"
                               << "1954";
        QTest::newRow("whole negative") << 2 << "-12"
                                        << "-12";
        QTest::newRow("whole with zero fraction") << 2 << "12.00"
                                                  << "12";
        QTest::newRow("blank whole") << 2 << ""
                                     << "";
        QTest::newRow("floating pads decimals") << 3 << "12.5"
                                                << "12.5000";
        QTest::newRow("floating rounds half away from zero") << 3 << "2.67505"
                                                             << "2.6751";
        QTest::newRow("negative rounds away from zero") << 3 << "-2.67505"
                                                        << "-2.6751";
        QTest::newRow("rounding carries") << 3 << "9.99995"
                                          << "10.0000";
        QTest::newRow("leading point") << 3 << ".5"
                                       << "0.5000";
        QTest::newRow("negative zero is zero") << 3 << "-0.00001"
                                               << "0.0000";
        QTest::newRow("date") << 4 << "19960704"
                              << "19960704";
        QTest::newRow("leap day") << 4 << "20000229"
                                  << "20000229";
        QTest::newRow("blank date") << 4 << ""
                                    << "";
        QTest::newRow("logical yes") << 5 << "y"
                                     << "T";
        QTest::newRow("logical false") << 5 << "F"
                                       << "F";
    }

    void valuesRoundTrip()
    {
        QFETCH(int, field);
        QFETCH(QString, input);
        QFETCH(QString, stored);
        TempDir dir;
        auto table = makeTable(dir.path("V.DBF"), {});
        table->append();
        table->setText(field, input.toStdString());
        table->post();
        table.reset();
        auto reopened = Table::open(dir.path("V.DBF"), Access::ReadOnly);
        QCOMPARE(QString::fromStdString(reopened->text(field)), stored);
    }

    void refusedValues_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("message");
        QTest::newRow("letters in a number") << 2 << "19x5"
                                             << "\"19x5\" cannot be stored in the field YEARPUB";
        QTest::newRow("fraction in a whole field") << 2 << "12.5"
                                                   << "YEARPUB: the field holds whole numbers only";
        QTest::newRow("too wide") << 2 << "123456789012"
                                  << "wider than the field's 11 characters";
        QTest::newRow("exponent") << 3 << "1e5"
                                  << "it is not a number";
        QTest::newRow("infinity") << 3 << "inf"
                                  << "it is not a number";
        QTest::newRow("hex") << 3 << "0x10"
                             << "it is not a number";
        QTest::newRow("lone sign") << 3 << "-"
                                   << "it is not a number";
        QTest::newRow("impossible date") << 4 << "20230229"
                                         << "not a valid date";
        QTest::newRow("date in another form") << 4 << "1996-07-04"
                                              << "YYYYMMDD";
        QTest::newRow("character outside the code page") << 0 << "Ωmega"
                                                         << "\"Ω\" cannot be stored in the field TITLE";
    }

    void refusedValues()
    {
        QFETCH(int, field);
        QFETCH(QString, input);
        QFETCH(QString, message);
        TempDir dir;
        auto table = makeTable(dir.path("V.DBF"), {"Kept"});
        table->first();
        table->edit();
        try {
            table->setText(field, input.toStdString());
            QFAIL("the value was accepted");
        } catch (const DatabaseError& e) {
            QVERIFY2(QString(e.what()).contains(message), e.what());
        }
        table->post();
        QCOMPARE(table->text(0), std::string("Kept"));
    }

    void numbersAsValues()
    {
        TempDir dir;
        auto table = makeTable(dir.path("N.DBF"), {"a"});
        table->first();
        table->edit();
        table->setFloating(3, 2.675); // the shortest text of the double is rounded, not its binary value
        table->setWhole(2, -7);
        table->setDate(4, {1996, 7, 4});
        table->post();
        QCOMPARE(table->text(3), std::string("2.6750"));
        QCOMPARE(table->floating(3), 2.675);
        QCOMPARE(table->whole(2), -7LL);
        QCOMPARE(table->date(4), (Date{1996, 7, 4}));
        table->edit();
        table->setText(3, "");
        table->setText(4, "");
        table->post();
        QCOMPARE(table->text(3), std::string());
        QCOMPARE(table->floating(3), 0.0);
        QVERIFY(table->date(4).isNull());
        QVERIFY_THROWS_EXCEPTION(DatabaseError, table->setFloating(3, 1e30));
    }

    void numbersIgnoreTheProcessLocale()
    {
        std::string previous = std::setlocale(LC_NUMERIC, nullptr);
        if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
            QSKIP("the de_DE.UTF-8 locale is not installed");
        TempDir dir;
        auto table = makeTable(dir.path("LC.DBF"), {"a", "b"});
        table->addTag("COST", "STR(COST,12,2)");
        table->first();
        table->edit();
        table->setText(3, "1234.5");
        table->post();
        table->last();
        table->edit();
        table->setFloating(3, 0.25);
        table->post();
        std::string texts = table->text(3);
        table->setOrder("COST");
        table->first();
        QString first = QString::fromStdString(table->text(3));
        std::setlocale(LC_NUMERIC, previous.c_str());
        QCOMPARE(QString::fromStdString(texts), QString("0.2500"));
        QCOMPARE(first, QString("0.2500"));
        std::string bytes = readBytes(dir.path("LC.DBF"));
        QVERIFY(bytes.find("1234.5000") != std::string::npos);
        QVERIFY(bytes.find(',') == std::string::npos);
    }

    void navigationFollowsDatasetRules()
    {
        TempDir dir;
        auto table = makeTable(dir.path("NAV.DBF"), {});
        table->first();
        QVERIFY(table->bof() && table->eof());
        table->next();
        table->prior();
        QVERIFY(table->bof() && table->eof());
        QCOMPARE(table->recordCount(), 0u);

        appendBooks(*table, {"one", "two", "three"});
        table->last();
        QVERIFY(table->eof() && !table->bof());
        QCOMPARE(table->text(0), std::string("three"));
        table->next();
        QVERIFY(table->eof());
        QCOMPARE(table->text(0), std::string("three"));
        table->first();
        QVERIFY(table->bof() && !table->eof());
        table->prior();
        QVERIFY(table->bof());
        QCOMPARE(table->text(0), std::string("one"));
        table->next();
        QVERIFY(!table->bof() && !table->eof());
        QCOMPARE(table->text(0), std::string("two"));
    }

    void deletedRecordsAreInvisible()
    {
        TempDir dir;
        auto table = makeTable(dir.path("DEL.DBF"), {"one", "two", "three"});
        table->first();
        table->next();
        table->deleteRecord();
        QCOMPARE(table->text(0), std::string("three"));
        QCOMPARE(walk(*table), (std::vector<std::string>{"one", "three"}));
        QCOMPARE(table->recordCount(), 2u);
        QCOMPARE(table->physicalCount(), 3u);
        table->last();
        table->deleteRecord(); // the last one: the cursor falls back to the previous record
        QCOMPARE(table->text(0), std::string("one"));
        QVERIFY(!table->gotoBookmark(3));
        table->deleteRecord();
        QVERIFY(table->isEmpty());
        QCOMPARE(table->recordCount(), 0u);
    }

    void filterLimitsEveryWalk()
    {
        TempDir dir;
        auto table = makeTable(dir.path("F.DBF"), {"alpha", "beta", "gamma", "delta"});
        table->setFilter([](const RecordView& r) { return r.text(0).find('l') != std::string::npos; });
        QCOMPARE(walk(*table), (std::vector<std::string>{"alpha", "delta"}));
        QCOMPARE(table->recordCount(), 2u);
        table->last();
        QCOMPARE(table->text(0), std::string("delta"));
        QVERIFY(!table->gotoBookmark(2));
        table->setFilter([](const RecordView& r) { return r.number(2) > 1901; });
        QCOMPARE(table->recordCount(), 2u);
        table->setFilter([](const RecordView&) -> bool { throw std::runtime_error("filter failed"); });
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, table->first());
        table->setFilter({});
        QCOMPARE(table->recordCount(), 4u);
    }

    void filterAnswersFollowChanges()
    {
        TempDir dir;
        makeTable(dir.path("FC.DBF"), {"alpha", "beta", "gamma"}).reset();
        auto table = Table::open(dir.path("FC.DBF"));
        auto other = Table::open(dir.path("FC.DBF"));
        table->setFilter([](const RecordView& r) { return r.text(0).size() == 5; });
        QCOMPARE(walk(*table), (std::vector<std::string>{"alpha", "gamma"}));
        table->first();
        table->edit();
        table->setText(0, "omega!"); // no longer passes
        table->post();
        appendBooks(*table, {"delta"});
        QCOMPARE(walk(*table), (std::vector<std::string>{"gamma", "delta"}));
        other->last();
        other->edit();
        other->setText(0, "epsilon"); // another open's change is seen too
        other->post();
        QCOMPARE(table->recordCount(), 1u);
        table->setFilter([](const RecordView& r) { return r.text(0).size() > 5; });
        QCOMPARE(walk(*table), (std::vector<std::string>{"omega!", "epsilon"}));
    }

    void batchWritesOnceAndOthersSeeTheResult()
    {
        TempDir dir;
        makeTable(dir.path("B.DBF"), {"z"})->addTag("T", "TITLE");
        auto table = Table::open(dir.path("B.DBF"));
        table->beginBatch();
        table->beginBatch(); // batches nest
        appendBooks(*table, {"c", "a"});
        table->endBatch();
        table->first();
        table->edit();
        table->setText(0, "b");
        table->post();
        table->endBatch();
        auto other = Table::open(dir.path("B.DBF"));
        other->setOrder("T");
        QCOMPARE(walk(*other), (std::vector<std::string>{"a", "b", "c"}));
        std::string bytes = readBytes(dir.path("B.DBF"));
        QCOMPARE(int(bytes[14]), 0);
        QCOMPARE(int(static_cast<unsigned char>(bytes[4])), 3);
    }

    void tagOrderIsKeptOnEveryChange()
    {
        TempDir dir;
        auto table = makeTable(dir.path("T.DBF"), {"pear", "Apple", "fig", "apple", "kiwi"});
        table->addTag("BYTITLE", "UPPER(TITLE)");
        table->setOrder("bytitle");
        // Equal keys in record-number order.
        QCOMPARE(walk(*table), (std::vector<std::string>{"Apple", "apple", "fig", "kiwi", "pear"}));
        QVERIFY(table->seek("KI"));
        QCOMPARE(table->text(0), std::string("kiwi"));
        QVERIFY(!table->seek("KZ"));
        QCOMPARE(table->text(0), std::string("pear"));

        table->first();
        table->edit();
        table->setText(0, "zucchini");
        table->post();
        appendBooks(*table, {"banana"});
        table->seek("FIG");
        table->deleteRecord();
        QCOMPARE(walk(*table), (std::vector<std::string>{"apple", "banana", "kiwi", "pear", "zucchini"}));
        QCOMPARE(table->recordCount(), 5u);

        table->addTag("BYYEAR", "YEARPUB", {}, true);
        table->setOrder("BYYEAR");
        QCOMPARE(walk(*table), (std::vector<std::string>{"banana", "kiwi", "apple", "zucchini", "pear"}));
        table->addTag("CHEAP", "TITLE", "COST < 3");
        table->setOrder("CHEAP");
        QCOMPARE(walk(*table), (std::vector<std::string>{"pear", "zucchini"}));
        QCOMPARE(table->recordCount(), 2u);
        std::vector<std::uint32_t> walked;
        for (table->first(); !table->eof(); table->next())
            walked.push_back(table->recno());
        QCOMPARE(table->visibleRecords(), walked);
        table->setFilter([](const RecordView& r) { return r.text(0) != "pear"; });
        QCOMPARE(table->visibleRecords(), std::vector<std::uint32_t>{2});
        table->setFilter({});
        table->setOrder("");
        QCOMPARE(walk(*table).front(), std::string("pear"));
        QCOMPARE(table->visibleRecords(), (std::vector<std::uint32_t>{1, 2, 4, 5, 6}));
    }

    void tagsNeedExclusiveUse()
    {
        TempDir dir;
        makeTable(dir.path("X.DBF"), {"a"}).reset();
        auto shared = Table::open(dir.path("X.DBF"));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, shared->addTag("T", "TITLE"));
        shared.reset();
        auto exclusive = Table::open(dir.path("X.DBF"), Access::Exclusive);
        QVERIFY_THROWS_EXCEPTION(DatabaseError, exclusive->addTag("T", "NOSUCH"));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, exclusive->addTag("T", "TITLE+TITLE+TITLE+TITLE"));
        exclusive->addTag("T", "TITLE");
        QVERIFY(exclusive->hasTag("t"));
        exclusive->deleteTag("T");
        QVERIFY(!exclusive->hasTag("T"));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, exclusive->deleteTag("T"));
    }

    void locksBetweenOpensOfOneProcess()
    {
        TempDir dir;
        makeTable(dir.path("L.DBF"), {"a"}).reset();
        auto one = Table::open(dir.path("L.DBF"));
        auto two = Table::open(dir.path("L.DBF"));
        auto reader = Table::open(dir.path("L.DBF"), Access::ReadOnly);
        QVERIFY_THROWS_EXCEPTION(DatabaseError, Table::open(dir.path("L.DBF"), Access::Exclusive));
        one.reset();
        two.reset();
        QVERIFY_THROWS_EXCEPTION(DatabaseError, Table::open(dir.path("L.DBF"), Access::Exclusive));
        reader.reset();
        auto exclusive = Table::open(dir.path("L.DBF"), Access::Exclusive);
        QVERIFY_THROWS_EXCEPTION(DatabaseError, Table::open(dir.path("L.DBF")));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, Table::create(dir.path("L.DBF"), sampleFields()));
    }

    void sharedOpensSeeEachOthersChanges()
    {
        TempDir dir;
        makeTable(dir.path("S.DBF"), {"a", "b"}).reset();
        auto one = Table::open(dir.path("S.DBF"));
        auto two = Table::open(dir.path("S.DBF"));
        QCOMPARE(two->recordCount(), 2u);
        appendBooks(*one, {"c"});
        QCOMPARE(two->recordCount(), 3u);
        two->last();
        QCOMPARE(two->text(0), std::string("c"));

        // A post over another open's change is refused, and nothing is overwritten.
        one->first();
        two->first();
        one->edit();
        two->edit();
        two->setText(0, "changed by two");
        two->post();
        one->setText(0, "changed by one");
        try {
            one->post();
            QFAIL("a stale edit was posted");
        } catch (const DatabaseError& e) {
            QVERIFY2(QString(e.what()).contains("was changed by another user or program"), e.what());
        }
        one->cancel();
        one->refresh();
        QCOMPARE(one->text(0), std::string("changed by two"));

        one->edit();
        two->deleteRecord();
        try {
            one->post();
            QFAIL("an edit of a deleted record was posted");
        } catch (const DatabaseError& e) {
            QVERIFY2(QString(e.what()).contains("was deleted"), e.what());
        }
    }

    void cancelRestoresTheRecord()
    {
        TempDir dir;
        auto table = makeTable(dir.path("C.DBF"), {"kept"});
        table->first();
        table->edit();
        table->setText(0, "dropped");
        table->cancel();
        QCOMPARE(table->text(0), std::string("kept"));
        table->append();
        table->setText(0, "never");
        table->cancel();
        QCOMPARE(table->text(0), std::string("kept"));
        QCOMPARE(table->recordCount(), 1u);
        table->edit();
        table->setText(0, "posted by moving");
        table->next(); // moving posts, as a dataset does
        QCOMPARE(walk(*table), (std::vector<std::string>{"posted by moving"}));
    }

    void packRemovesDeletedRecordsAndRebuildsTags()
    {
        TempDir dir;
        auto table = makeTable(dir.path("P.DBF"), {"d", "c", "b", "a"});
        table->addTag("BYTITLE", "TITLE");
        table->setOrder("BYTITLE");
        table->seek("b");
        table->deleteRecord();
        table->pack();
        QCOMPARE(table->physicalCount(), 3u);
        QCOMPARE(walk(*table), (std::vector<std::string>{"a", "c", "d"}));
        table.reset();
        QVERIFY(!QFile::exists(QString::fromStdString(dir.path("P.DBF.pack"))));
        auto reopened = Table::open(dir.path("P.DBF"), Access::Exclusive);
        reopened->setOrder("BYTITLE");
        QCOMPARE(walk(*reopened), (std::vector<std::string>{"a", "c", "d"}));
        // Still locked exclusively after the file was replaced.
        QVERIFY_THROWS_EXCEPTION(DatabaseError, Table::open(dir.path("P.DBF")));
    }

    void opensTheExactFileAndFindsItsIndexInAnyCase()
    {
        TempDir dir;
        makeTable(dir.path("BOOKS.DBF"), {"plain"}).reset();
        auto old = makeTable(dir.path("BOOKS.OLD.DBF"), {"old"});
        old->addTag("T", "TITLE");
        old.reset();
        QVERIFY(QFile::exists(QString::fromStdString(dir.path("BOOKS.OLD.MDX"))));
        QVERIFY(QFile::rename(QString::fromStdString(dir.path("BOOKS.OLD.MDX")),
                              QString::fromStdString(dir.path("BOOKS.OLD.mdx"))));
        auto table = Table::open(dir.path("BOOKS.OLD.DBF"));
        QCOMPARE(table->text(0), std::string("old"));
        QVERIFY(table->hasTag("T"));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, Table::open(dir.path("NOSUCH.DBF")));
    }

    void unusableTagsAreListedAndBlockWrites()
    {
        TempDir dir;
        auto table = makeTable(dir.path("U.DBF"), {"b", "a"});
        table->addTag("GOOD", "TITLE");
        table->addTag("ODD", "UPPER(AUTHOR)");
        table.reset();
        std::string mdx = readBytes(dir.path("U.MDX"));
        auto at = mdx.find("UPPER(AUTHOR)");
        QVERIFY(at != std::string::npos);
        mdx.replace(at, 13, "FANCY(AUTHOR)");
        writeBytes(dir.path("U.MDX"), mdx);

        auto reopened = Table::open(dir.path("U.DBF"), Access::Exclusive);
        auto tags = reopened->tags();
        QCOMPARE(tags.size(), size_t(2));
        QVERIFY(tags[0].usable && !tags[1].usable);
        reopened->first();
        QVERIFY_THROWS_EXCEPTION(DatabaseError, reopened->edit());
        QCOMPARE(reopened->regenerateIndexes(), (std::vector<std::string>{"ODD"}));
        QCOMPARE(reopened->tags().size(), size_t(1));
        appendBooks(*reopened, {"c"});
        reopened->setOrder("GOOD");
        QCOMPARE(walk(*reopened), (std::vector<std::string>{"a", "b", "c"}));
    }

    void damagedIndexNeverLocksTheUserOut()
    {
        TempDir dir;
        auto table = makeTable(dir.path("M.DBF"), {"b", "a"});
        table->addTag("T", "TITLE");
        table.reset();
        std::string mdx = readBytes(dir.path("M.MDX"));
        mdx.replace(0, 64, std::string(64, '\xee'));
        writeBytes(dir.path("M.MDX"), mdx);

        try {
            Table::open(dir.path("M.DBF"));
            QFAIL("a damaged index was accepted");
        } catch (const DatabaseError& e) {
            QVERIFY2(QString(e.what()).contains("M.MDX"), e.what());
            QVERIFY2(QString(e.what()).contains("damaged"), e.what());
        }
        auto physical = Table::openIgnoringIndex(dir.path("M.DBF"), Access::Exclusive);
        QVERIFY(QString::fromStdString(physical->indexError()).contains("damaged"));
        QCOMPARE(walk(*physical), (std::vector<std::string>{"b", "a"}));
        physical->first();
        QVERIFY_THROWS_EXCEPTION(DatabaseError, physical->edit());
        physical->regenerateIndexes();
        QVERIFY(physical->indexError().empty());
        physical->addTag("T", "TITLE");
        physical->setOrder("T");
        QCOMPARE(walk(*physical), (std::vector<std::string>{"a", "b"}));
    }

    void createReplacesATableAndItsIndex()
    {
        TempDir dir;
        auto table = makeTable(dir.path("R.DBF"), {"x"});
        table->addTag("T", "TITLE");
        table.reset();
        Table::create(dir.path("R.DBF"), sampleFields());
        QVERIFY(!QFile::exists(QString::fromStdString(dir.path("R.MDX"))));
        auto fresh = Table::open(dir.path("R.DBF"));
        QCOMPARE(fresh->recordCount(), 0u);
        QVERIFY(fresh->tags().empty());
        QCOMPARE(fresh->languageDriver(), std::uint8_t(0x03));
        std::string bytes = readBytes(dir.path("R.DBF"));
        QCOMPARE(static_cast<unsigned char>(bytes.back()), 0x1Au);
    }

    void failedWritesLoseNoEarlierRecord_data()
    {
        QTest::addColumn<int>("budget");
        QTest::addColumn<int>("error");
        for (int budget : {0, 1, 40, 90, 300, 1500}) {
            QTest::addRow("ENOSPC after %d bytes", budget) << budget << ENOSPC;
            QTest::addRow("EIO after %d bytes", budget) << budget << EIO;
        }
    }

    void failedWritesLoseNoEarlierRecord()
    {
        QFETCH(int, budget);
        QFETCH(int, error);
        TempDir dir;
        makeTable(dir.path("W.DBF"), {"one", "two", "three"})->addTag("T", "UPPER(TITLE)+STR(COST,12,2)");
        FaultyFileSystem fs;
        {
            auto table = Table::open(dir.path("W.DBF"), Access::Shared, fs);
            fs.budget = budget;
            fs.errorNumber = error;
            try {
                appendBooks(*table, std::vector<std::string>(200, "more"));
                QFAIL("the writes did not fail");
            } catch (const IoError& e) {
                QCOMPARE(e.errorNumber(), error);
            }
        }
        // Whatever was half-written, the table opens with its earlier records, tags consistent.
        auto table = Table::open(dir.path("W.DBF"), Access::Exclusive);
        table->setOrder("T");
        auto titles = walk(*table);
        QVERIFY(titles.size() >= 3);
        QCOMPARE(titles.size(), size_t(table->recordCount()));
        for (const char* t : {"one", "two", "three"})
            QVERIFY(std::find(titles.begin(), titles.end(), t) != titles.end());
        table->setOrder("");
        QCOMPARE(walk(*table).size(), titles.size());
    }

    void damagedTablesGiveClearErrors_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("cutTo");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty file") << 0 << QByteArray() << 0 << "shorter than a table header";
        QTest::newRow("not a table") << 0 << QByteArray("\x42", 1) << -1 << "not a dBase table";
        QTest::newRow("header length too small")
            << 8 << QByteArray("\x05\x00", 2) << -1 << "impossible lengths";
        QTest::newRow("header length past the end") << 8 << QByteArray("\xff\xff", 2) << -1 << "cut short";
        QTest::newRow("record length wrong")
            << 10 << QByteArray("\x09\x00", 2) << -1 << "does not match the fields";
        QTest::newRow("duplicate field names") << 64 << QByteArray("TITLE\0", 6) << -1 << "occurs twice";
        QTest::newRow("garbage field type") << 43 << QByteArray("Z", 1) << -1 << "unknown type";
        QTest::newRow("unreadable name") << 32 << QByteArray("\x01\x02", 2) << -1 << "unreadable name";
    }

    void damagedTablesGiveClearErrors()
    {
        QFETCH(int, offset);
        QFETCH(QByteArray, bytes);
        QFETCH(int, cutTo);
        QFETCH(QString, message);
        TempDir dir;
        makeTable(dir.path("D.DBF"), {"a", "b"}).reset();
        std::string file = readBytes(dir.path("D.DBF"));
        file.replace(offset, bytes.size(), bytes.constData(), bytes.size());
        if (cutTo >= 0)
            file.resize(cutTo);
        writeBytes(dir.path("D.DBF"), file);
        try {
            Table::open(dir.path("D.DBF"), Access::ReadOnly);
            QFAIL("a damaged table opened");
        } catch (const DatabaseError& e) {
            QVERIFY2(QString(e.what()).contains(message), e.what());
            QVERIFY2(QString(e.what()).contains("D.DBF"), e.what());
        }
    }

    void countLargerThanTheDataIsReadSafely()
    {
        TempDir dir;
        makeTable(dir.path("K.DBF"), {"a", "b", "c"}).reset();
        std::string file = readBytes(dir.path("K.DBF"));
        file[4] = '\xff';
        file[5] = '\xff';
        file[6] = '\xff';
        file[7] = '\x7f';
        writeBytes(dir.path("K.DBF"), file);
        auto reader = Table::open(dir.path("K.DBF"), Access::ReadOnly);
        QCOMPARE(reader->recordCount(), 3u);
        reader.reset();
        // Writing at the count would leave a gap; cutting the count would guess.
        auto writer = Table::open(dir.path("K.DBF"));
        QCOMPARE(walk(*writer), (std::vector<std::string>{"a", "b", "c"}));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, appendBooks(*writer, {"d"}));
        writer.reset();
        QVERIFY(readBytes(dir.path("K.DBF")) == file);
    }

    void interruptedAppendIsRepairedOnOpen_data()
    {
        QTest::addColumn<bool>("flagged");
        QTest::addColumn<bool>("exclusive");
        QTest::newRow("marked incomplete, exclusive open") << true << true;
        QTest::newRow("marked incomplete, shared open") << true << false;
        QTest::newRow("count not yet written, exclusive open") << false << true;
        QTest::newRow("count not yet written, shared open") << false << false;
    }

    void interruptedAppendIsRepairedOnOpen()
    {
        QFETCH(bool, flagged);
        QFETCH(bool, exclusive);
        TempDir dir;
        auto table = makeTable(dir.path("I.DBF"), {"a", "b"});
        table->addTag("T", "TITLE");
        table.reset();
        // A record written in full and half of another, with the count and the index not yet updated.
        std::string file = readBytes(dir.path("I.DBF"));
        int recordLength = static_cast<unsigned char>(file[10]) | (static_cast<unsigned char>(file[11]) << 8);
        std::string record = file.substr(file.size() - 1 - recordLength, recordLength);
        record.replace(1, 1, "c");
        file.pop_back();
        file += record + record.substr(0, recordLength / 2);
        file[14] = flagged ? 1 : 0;
        writeBytes(dir.path("I.DBF"), file);

        auto repaired = Table::open(dir.path("I.DBF"), exclusive ? Access::Exclusive : Access::Shared);
        QCOMPARE(repaired->physicalCount(), 3u);
        appendBooks(*repaired, {"d"}); // must not land on the adopted record
        QCOMPARE(walk(*repaired), (std::vector<std::string>{"a", "b", "c", "d"}));
        repaired.reset();
        // A change marked incomplete may have torn the index, so a shared open
        // leaves it alone; the next exclusive open rebuilds it.
        auto reopened = Table::open(dir.path("I.DBF"), Access::Exclusive);
        reopened->setOrder("T");
        QCOMPARE(walk(*reopened), (std::vector<std::string>{"a", "b", "c", "d"}));
        reopened.reset();
        std::string after = readBytes(dir.path("I.DBF"));
        QCOMPARE(static_cast<unsigned char>(after.back()), 0x1Au);
        QCOMPARE(after.size(), file.size() - recordLength / 2 + recordLength + 1);
        if (exclusive)
            QCOMPARE(int(after[14]), 0);
    }

    void fixtureWrittenByDbase4()
    {
        const std::string fixture = std::string(SHELVANO_FIXTURES) + "/dbase4/TEST.DBF";
        if (!QFile::exists(QString::fromStdString(fixture)))
            QFAIL(("the dBase IV fixture is missing: " + fixture).c_str());
        TempDir dir;
        // Copy it: the fixture folder is read-only and the engine may repair what it opens.
        QVERIFY(QFile::copy(QString::fromStdString(fixture), QString::fromStdString(dir.path("TEST.DBF"))));
        QVERIFY(QFile::copy(QString::fromStdString(std::string(SHELVANO_FIXTURES) + "/dbase4/TEST.MDX"),
                            QString::fromStdString(dir.path("TEST.MDX"))));
        auto table = Table::open(dir.path("TEST.DBF"), Access::ReadOnly);
        QCOMPARE(table->fields().size(), size_t(2));
        QCOMPARE(table->recordCount(), 3u);
        QCOMPARE(walk(*table), (std::vector<std::string>{"test1", "test2", "0test3"}));
        table->first();
        QCOMPARE(table->text(1), std::string("10"));
        QCOMPARE(table->whole(1), 10LL);
        table->setOrder("TEST1");
        QCOMPARE(walk(*table), (std::vector<std::string>{"0test3", "test1", "test2"}));
        table->setOrder("test2");
        QCOMPARE(walk(*table), (std::vector<std::string>{"test1", "0test3", "test2"}));
        QVERIFY(table->seek("15"));
        QCOMPARE(table->text(0), std::string("0test3"));
    }
};

REGISTER_TEST(TableTest)
#include "tst_table.moc"
