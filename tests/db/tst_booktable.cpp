#include "BookFixture.h"
#include "TempDir.h"
#include "TestRegistry.h"
#include "db/BookGridModel.h"
#include "dbase/DatabaseError.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QEvent>
#include <QTest>
#include <cerrno>
#include <mutex>
#include <set>
#include <thread>

namespace {

bool notX(const dbase::RecordView& record) // books whose titles start with "X" are filtered out
{
    return record.text(0).rfind('X', 0) != 0;
}

std::vector<std::uint32_t> rowsOf(const db::BookTable& table)
{
    std::vector<std::uint32_t> rows;
    for (int row = 0; row < table.rowCount(); ++row)
        rows.push_back(table.recnoAt(row));
    return rows;
}

// What a fresh walk of a separate open gives.
std::vector<std::uint32_t> freshWalk(const std::string& path, const std::string& order,
                                     dbase::RecordFilter filter)
{
    auto table = dbase::Table::open(path);
    table->setOrder(order);
    table->setFilter(filter);
    std::vector<std::uint32_t> rows;
    for (table->first(); !table->eof(); table->next())
        rows.push_back(table->recno());
    return rows;
}

// The map a separate open gives in one walk.
std::vector<std::uint32_t> visibleOf(const std::string& path, const std::string& order,
                                     dbase::RecordFilter filter)
{
    auto table = dbase::Table::open(path);
    table->setOrder(order);
    table->setFilter(filter);
    return table->visibleRecords();
}

// Tables of a few hundred books are mapped a screenful first while it lives.
struct CompleteLater {
    CompleteLater() { db::BookTable::setCompleteLaterFrom(1); }
    ~CompleteLater() { db::BookTable::setCompleteLaterFrom(0); }
};

// Runs `change` when the table is first opened from another thread: another program
// changes the table after the first rows are mapped and before the rest are walked.
// Once `damaged`, index blocks not read before fail: a tag damaged past its first leaves.
class ChangeBeforeOtherOpen : public dbase::ForwardingFileSystem {
public:
    std::function<void()> change;
    bool damaged = false;
    std::unique_ptr<dbase::File> open(const std::string& path, dbase::OpenMode mode) override
    {
        if (change && std::this_thread::get_id() != m_main)
            std::exchange(change, {})();
        auto file = ForwardingFileSystem::open(path, mode);
        if (!path.ends_with(".MDX"))
            return file;
        return std::make_unique<Index>(*this, std::move(file));
    }

private:
    struct Index : dbase::ForwardingFile {
        Index(ChangeBeforeOtherOpen& fs, std::unique_ptr<dbase::File> inner)
            : ForwardingFile(std::move(inner)), fs(fs)
        {
        }
        std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t n) override
        {
            std::lock_guard lock(fs.m_mutex);
            for (std::uint64_t block = offset / 512; block * 512 < offset + n; ++block)
                if (!fs.damaged)
                    fs.m_read.insert(block);
                else if (!fs.m_read.count(block))
                    throw dbase::IoError(path(), "read", EIO);
            return ForwardingFile::readAt(offset, buffer, n);
        }
        ChangeBeforeOtherOpen& fs;
    };
    std::thread::id m_main = std::this_thread::get_id();
    std::mutex m_mutex;
    std::set<std::uint64_t> m_read;
};

// Keeps what an event's handler threw, as the program's application object shows it.
struct CatchingApp : QCoreApplication {
    using QCoreApplication::QCoreApplication;
    QStringList errors;
    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QCoreApplication::notify(receiver, event);
        } catch (const std::exception& error) {
            errors << error.what();
            return false;
        }
    }
};

} // namespace

class TestBookTable : public QObject {
    Q_OBJECT

    db::ShortDateText m_dates;

private slots:
    // Each change updates the map for one record; it must equal a fresh walk, and the model
    // tester checks that the signals announced exactly the rows that changed.
    void mapFollowsChanges_data()
    {
        QTest::addColumn<QString>("order");
        QTest::addColumn<QString>("op");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("title");
        const QString tag = "NEWINDEX";
        // The rows: alpha, bravo, charlie, delta, echo; Xray is filtered out.
        // clang-format off
        QTest::newRow("edit stays")             << tag << "edit"     << 1 << "bravo2";
        QTest::newRow("edit moves down")        << tag << "edit"     << 0 << "foxtrot";
        QTest::newRow("edit moves up")          << tag << "edit"     << 4 << "aardvark";
        QTest::newRow("edit to an equal key")   << tag << "edit"     << 0 << "charlie";
        QTest::newRow("edit leaves the filter") << tag << "edit"     << 2 << "Xenon";
        QTest::newRow("append first")           << tag << "append"   << 0 << "Aaron";
        QTest::newRow("append middle")          << tag << "append"   << 0 << "cat";
        QTest::newRow("append last")            << tag << "append"   << 0 << "zulu";
        QTest::newRow("append filtered out")    << tag << "append"   << 0 << "Xylo";
        QTest::newRow("delete first")           << tag << "delete"   << 0 << "";
        QTest::newRow("delete middle")          << tag << "delete"   << 2 << "";
        QTest::newRow("delete last")            << tag << "delete"   << 4 << "";
        QTest::newRow("filter removed")         << tag << "unfilter" << 0 << "";
        QTest::newRow("sorted to physical")     << tag << "physical" << 0 << "";
        QTest::newRow("physical edit")          << ""  << "edit"     << 2 << "zzz";
        QTest::newRow("physical append")        << ""  << "append"   << 0 << "new";
        QTest::newRow("physical delete")        << ""  << "delete"   << 0 << "";
        // clang-format on
    }

    void mapFollowsChanges()
    {
        QFETCH(QString, order);
        QFETCH(QString, op);
        QFETCH(int, row);
        QFETCH(QString, title);
        TempDir dir;
        std::string path = dir.path("B.DBF");
        makeBooks(path, {"delta", "alpha", "echo", "charlie", "bravo", "Xray"});
        addTag(path, "NewIndex", "UPPER(TITLE)");
        auto opened = dbase::Table::open(path);
        opened->setOrder(order.toStdString());
        db::BookTable table;
        table.adopt(std::move(opened), notX);
        db::BookGridModel model(table, m_dates, {});
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);

        dbase::RecordFilter filter = notX;
        if (op == "edit" || op == "delete")
            QVERIFY(table.gotoRow(row));
        if (op == "edit" || op == "append") {
            op == "edit" ? table.edit() : table.append();
            table.table().setText(0, title.toStdString());
            table.post();
        } else if (op == "delete") {
            table.deleteCurrent();
        } else {
            op == "unfilter" ? table.setFilter(filter = {}) : table.setOrder("");
            order = op == "unfilter" ? order : "";
        }
        QCOMPARE(rowsOf(table), freshWalk(path, order.toStdString(), filter));
        int current = table.currentRow();
        QCOMPARE(table.recnoAt(current), table.table().recno());
        if ((op == "edit" || op == "append") && !title.startsWith('X'))
            QCOMPARE(model.data(model.index(current, 0)).toString(), title);
        model.data(model.index(table.rowCount() - 1, 0)); // painting other rows keeps the current record
        QCOMPARE(table.currentRow(), current);
    }

    // A large table shows its first rows at once and completes the map on another thread;
    // whatever needs the whole map waits for it, and the completed map is the one walk's.
    void mapCompletedLater_data()
    {
        QTest::addColumn<QString>("order");
        QTest::addColumn<bool>("filtered");
        QTest::addColumn<QString>("asks");
        QTest::addColumn<bool>("later");
        // clang-format off
        QTest::newRow("tag, event loop")       << "BYTITLE" << false << "loop"  << true;
        QTest::newRow("tag, count")            << "BYTITLE" << false << "count" << true;
        QTest::newRow("tag, last row")         << "BYTITLE" << false << "last"  << true;
        QTest::newRow("tag, row of the last")  << "BYTITLE" << false << "rowOf" << true;
        QTest::newRow("tag, key press")        << "BYTITLE" << false << "key"   << true;
        QTest::newRow("tag, append")           << "BYTITLE" << false << "append" << true;
        QTest::newRow("FOR tag, last row")     << "EVEN"    << false << "last"  << true;
        QTest::newRow("physical, count")       << ""        << false << "count" << true;
        QTest::newRow("filter: all at once")   << "BYTITLE" << true  << "count" << false;
        QTest::newRow("reorder cancels")       << "BYTITLE" << false << "order" << true;
        QTest::newRow("order refused")         << "BYTITLE" << false << "no order" << true;
        QTest::newRow("changed meanwhile")     << "BYTITLE" << false << "other" << true;
        QTest::newRow("damaged, event loop")   << "BYTITLE" << false << "damaged loop" << true;
        QTest::newRow("damaged, key press")    << "BYTITLE" << false << "damaged key" << true;
        QTest::newRow("key press in a reset")  << "BYTITLE" << false << "nested" << true;
        // clang-format on
    }

    void mapCompletedLater()
    {
        QFETCH(QString, order);
        QFETCH(bool, filtered);
        QFETCH(QString, asks);
        QFETCH(bool, later);
        char name[] = "tst_db";
        char* argv[] = {name};
        int argc = 1;
        CatchingApp app(argc, argv); // for the report from the other thread and the key press
        TempDir dir;
        std::string path = dir.path("B.DBF");
        std::vector<std::string> titles;
        for (int i = 0; i < 700; ++i) // titles out of physical order; some begin with X
            titles.push_back((i % 11 == 0 ? "X" : "") + std::to_string((i * 7919) % 1000));
        makeBooks(path, titles);
        {
            auto table = dbase::Table::open(path, dbase::Access::Exclusive);
            table->addTag("BYTITLE", "UPPER(TITLE)");
            table->addTag("EVEN", "UPPER(TITLE)", "VAL(RIGHT(TRIM(TITLE),1)) < 5");
            for (std::uint32_t n = 3; n <= 700; n += 5) { // deleted ones, the first rows among them
                table->gotoBookmark(n);
                table->deleteRecord();
            }
        }
        const dbase::RecordFilter filter = filtered ? dbase::RecordFilter(notX) : dbase::RecordFilter();
        std::vector<std::uint32_t> expected = visibleOf(path, order.toStdString(), filter);
        QCOMPARE(expected, freshWalk(path, order.toStdString(), filter)); // the quick walk is the slow one's
        CompleteLater completeLater;
        ChangeBeforeOtherOpen files;
        auto opened = dbase::Table::open(path, dbase::Access::Shared, files);
        opened->setOrder(order.toStdString());
        if (asks == "other")
            files.change = [&] { // the first row's book deleted
                auto other = dbase::Table::open(path);
                other->gotoBookmark(expected.front());
                other->deleteRecord();
            };
        files.change = asks.startsWith("damaged") ? [&] { files.damaged = true; } : files.change;
        db::BookTable table(files);
        bool nestedComplete = false; // a dialog opened in the reset, whose event loop sees a key press
        if (asks == "nested")
            connect(
                &table, &db::BookTable::resetDone, &table,
                [&] {
                    QEvent press(QEvent::KeyPress);
                    QObject anyWindow;
                    QCoreApplication::sendEvent(&anyWindow, &press);
                    QCoreApplication::processEvents();
                    nestedComplete = table.rowsComplete();
                },
                Qt::SingleShotConnection);
        db::BookGridModel model(table, m_dates, {});
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        int completed = 0; // the count waits for this, also when the completion is given up
        connect(&table, &db::BookTable::rowsCompleted, &table, [&] { ++completed; });
        table.adopt(std::move(opened), filter);
        QCOMPARE(!table.rowsComplete(), later);
        if (later) {
            QCOMPARE(table.rowsKnown(), 256);
            QCOMPARE(model.rowCount(), 256);
            QCOMPARE(table.recnoAt(0), expected.front());
            QCOMPARE(table.currentRow(), 0);
            QVERIFY(!table.rowsComplete()); // the first rows are there without waiting
        }
        if (asks.startsWith("damaged")) { // told as any engine error is, not shown as an empty table
            QEvent press(QEvent::KeyPress);
            QObject anyWindow;
            if (asks.endsWith("key"))
                QCoreApplication::sendEvent(&anyWindow, &press);
            QTRY_COMPARE(app.errors.size(), 1);
            QVERIFY2(app.errors[0].contains(".MDX"), qPrintable(app.errors[0]));
            QVERIFY(table.rowsComplete() && table.mapFailed());
            QCOMPARE(model.rowCount(), 0);
            QCOMPARE(completed, 1);
            return;
        }
        if (asks == "nested") {
            QVERIFY(!nestedComplete);
            QTRY_VERIFY(table.rowsComplete());
        }
        if (asks == "loop" || asks == "other") {
            QTRY_VERIFY(table.rowsComplete());
            expected = visibleOf(path, order.toStdString(), filter);
        } else if (asks == "count") {
            QCOMPARE(table.rowCount(), int(expected.size()));
        } else if (asks == "last") {
            QVERIFY(table.gotoRow(table.rowCount() - 1));
            QCOMPARE(table.recno(), expected.back());
        } else if (asks == "rowOf") {
            QCOMPARE(table.rowOf(expected.back()), int(expected.size()) - 1);
        } else if (asks == "key") {
            QEvent press(QEvent::KeyPress);
            QObject anyWindow;
            QCoreApplication::sendEvent(&anyWindow, &press);
            QVERIFY(table.rowsComplete());
        } else if (asks == "append") {
            table.append();
            table.table().setText(0, "ZZZ");
            table.post();
            expected.push_back(table.table().recno());
            QCOMPARE(table.currentRow(), int(expected.size()) - 1);
        } else if (asks == "order") {
            table.setOrder("EVEN");
            expected = visibleOf(path, "EVEN", filter);
        } else if (asks == "no order") { // the map given up is walked whole in the old order
            QVERIFY_THROWS_EXCEPTION(dbase::DatabaseError, table.setOrder("NOSUCH"));
        }
        QVERIFY(table.rowsComplete());
        QCOMPARE(rowsOf(table), expected);
        QCOMPARE(table.recnoAt(table.currentRow()), table.table().recno());
        QCOMPARE(model.rowCount(), int(expected.size()));
        QCoreApplication::processEvents(); // a late report from the other thread changes nothing
        QCOMPARE(rowsOf(table), expected);
        QCOMPARE(completed, later ? 1 : 0);
        QVERIFY(!table.mapFailed());
    }

    // A change of columns shows the rows already read without reading them again; fields not
    // read before are read then, and a refresh reads everything afresh.
    void columnsChangeKeepsRowsRead()
    {
        TempDir dir;
        std::string path = dir.path("B.DBF");
        makeBooks(path, {"alpha", "bravo"});
        db::BookTable table;
        table.adopt(dbase::Table::open(path));
        db::BookGridModel model(table, m_dates, {});
        model.setColumns({{0, "Title"}});
        QCOMPARE(model.data(model.index(0, 0)).toString(), "alpha");
        auto other = dbase::Table::open(path); // another program renames the first book
        other->gotoBookmark(1);
        other->edit();
        other->setText(0, "omega");
        other->post();
        model.setColumns({{11, "Bought"}, {0, "Title"}});
        QCOMPARE(model.data(model.index(0, 0)).toString(), "1/1/01");
        QCOMPARE(model.data(model.index(0, 1)).toString(), "alpha");
        model.refreshAll();
        QCOMPARE(model.data(model.index(0, 1)).toString(), "omega");
    }

    // Cells as read; after an engine error while painting, placeholders and one message once the
    // event loop runs.
    void gridCells()
    {
        char name[] = "tst_db";
        char* argv[] = {name};
        int argc = 1;
        QCoreApplication app(argc, argv); // for the deferred message
        TempDir dir;
        std::string path = dir.path("B.DBF");
        std::vector<std::string> titles;
        for (int i = 0; i < 300; ++i) // more rows than one read and the cache hold
            titles.push_back("book " + std::to_string(i));
        makeBooks(path, titles);
        db::BookTable table;
        table.adopt(dbase::Table::open(path));
        QStringList messages;
        db::BookGridModel model(table, m_dates, [&](const QString& message) { messages << message; });
        QCOMPARE(model.headerData(17, Qt::Horizontal).toString(), "Check Out Date");
        for (int row : {299, 0, 150, 10, 299}) {
            QCOMPARE(model.data(model.index(row, 0)).toString(), QStringLiteral("book %1").arg(row));
            QCOMPARE(model.data(model.index(row, 11)).toString(),
                     QStringLiteral("1/%1/01").arg(row % 28 + 1));
        }
        model.refreshAll(); // forgets the rows read
        QByteArray recordLength = fileBytes(path).mid(10, 2);
        patchFile(path, 10, QByteArray("\x01\x01", 2)); // another program "restructured" the table
        QCOMPARE(model.data(model.index(0, 0)).toString(), "?");
        QCOMPARE(model.data(model.index(2, 5)).toString(), "?");
        QVERIFY(messages.isEmpty());
        QCoreApplication::processEvents();
        model.data(model.index(1, 0));
        QCoreApplication::processEvents();
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].contains(QString::fromStdString(path)), qPrintable(messages[0]));
        patchFile(path, 10, recordLength);
        QCOMPARE(model.data(model.index(1, 0)).toString(), "book 1");
    }
};

REGISTER_TEST(TestBookTable)
#include "tst_booktable.moc"
