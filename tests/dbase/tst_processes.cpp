// Two programs on one table: locks, concurrent writers and kill -9 at awkward moments.
#include "TableFixture.h"
#include "TempDir.h"
#include "TestRegistry.h"

#include "dbase/DatabaseError.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <map>
#include <set>
#include <signal.h>

using namespace dbase;

namespace {

QProcess* startHelper(QObject* parent, const QStringList& args)
{
    auto* process = new QProcess(parent);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(SHELVANO_HELPER, args);
    return process;
}

bool waitForLine(QProcess* process, const QByteArray& line)
{
    while (process->waitForReadyRead(10000))
        if (process->readAll().contains(line))
            return true;
    return false;
}

struct Row {
    std::uint32_t recno;
    std::string title;
    long long year;
};

// Every tag, walked in its order, holds exactly the live records in key order.
void verifyTags(Table& table)
{
    table.setOrder("");
    std::vector<Row> rows;
    for (table.first(); !table.eof(); table.next())
        rows.push_back({table.recno(), table.text("TITLE"), table.whole(table.fieldIndex("YEARPUB"))});
    QCOMPARE(table.recordCount(), std::uint32_t(rows.size()));
    std::set<std::uint32_t> live;
    for (const Row& r : rows)
        live.insert(r.recno);

    for (const TagInfo& tag : table.tags()) {
        table.setOrder(tag.name);
        std::vector<std::uint32_t> order;
        std::string lastTitle;
        long long lastYear = -1;
        for (table.first(); !table.eof(); table.next()) {
            order.push_back(table.recno());
            if (tag.name == "BYTITLE") {
                std::string title = table.text("TITLE");
                for (char& c : title)
                    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                QVERIFY2(lastTitle <= title, (lastTitle + " before " + title).c_str());
                lastTitle = title;
            } else if (tag.name == "BYYEAR") {
                long long year = table.whole(table.fieldIndex("YEARPUB"));
                QVERIFY(lastYear <= year);
                lastYear = year;
            }
        }
        QCOMPARE(order.size(), rows.size());
        QCOMPARE(std::set<std::uint32_t>(order.begin(), order.end()), live);
    }
    table.setOrder("");
}

std::unique_ptr<Table> makeIndexedTable(const std::string& path, int records)
{
    Table::create(path, sampleFields());
    auto table = Table::open(path, Access::Exclusive);
    for (int i = 0; i < records; ++i) {
        table->append();
        table->setText("TITLE", "seed " + std::to_string((i * 7919) % 100003));
        table->setWhole(2, 1000 + (i * 31) % 9000);
        table->post();
    }
    table->addTag("BYTITLE", "UPPER(TITLE)");
    table->addTag("BYYEAR", "YEARPUB");
    return table;
}

} // namespace

class ProcessTest : public QObject {
    Q_OBJECT

private slots:
    void locksBetweenProcesses_data()
    {
        QTest::addColumn<QString>("held");
        QTest::addColumn<bool>("sharedOpens");
        QTest::addColumn<bool>("exclusiveOpens");
        QTest::newRow("shared") << "shared" << true << false;
        QTest::newRow("read-only") << "readonly" << true << false;
        QTest::newRow("exclusive") << "exclusive" << false << false;
    }

    void locksBetweenProcesses()
    {
        QFETCH(QString, held);
        QFETCH(bool, sharedOpens);
        QFETCH(bool, exclusiveOpens);
        TempDir dir;
        makeIndexedTable(dir.path("L.DBF"), 3).reset();
        QProcess* holder = startHelper(this, {"hold", QString::fromStdString(dir.path("L.DBF")), held});
        QVERIFY(waitForLine(holder, "ready"));
        bool opened = true;
        try {
            Table::open(dir.path("L.DBF"));
        } catch (const DatabaseError&) {
            opened = false;
        }
        QCOMPARE(opened, sharedOpens);
        opened = true;
        try {
            Table::open(dir.path("L.DBF"), Access::Exclusive);
        } catch (const DatabaseError&) {
            opened = false;
        }
        QCOMPARE(opened, exclusiveOpens);
        holder->write("\n");
        QVERIFY(holder->waitForFinished(10000));
        QCOMPARE(holder->exitCode(), 0);
        Table::open(dir.path("L.DBF"), Access::Exclusive); // free again
    }

    void concurrentWritersLoseNothing()
    {
        TempDir dir;
        makeIndexedTable(dir.path("C.DBF"), 200).reset();
        const int perWriter = 1500;
        std::vector<QProcess*> writers;
        for (int seed : {11, 22})
            writers.push_back(startHelper(this, {"writer", QString::fromStdString(dir.path("C.DBF")),
                                                 QString::number(perWriter), QString::number(seed)}));
        // This process writes too, reading the others' records as it goes.
        auto table = Table::open(dir.path("C.DBF"));
        appendBooks(*table, std::vector<std::string>(300, "local"));
        std::map<QString, int> deleted;
        for (QProcess* writer : writers) {
            QVERIFY(writer->waitForFinished(600000));
            QCOMPARE(writer->exitCode(), 0);
            QStringList words = QString(writer->readAll()).split(' ');
            QCOMPARE(words.value(0), QString("appended"));
            QCOMPARE(words.value(1).toInt(), perWriter);
        }
        table.reset();
        auto check = Table::open(dir.path("C.DBF"), Access::Exclusive);
        QCOMPARE(check->physicalCount(), std::uint32_t(200 + 300 + 2 * perWriter));
        std::set<std::string> titles;
        for (check->first(); !check->eof(); check->next())
            titles.insert(check->text(0));
        verifyTags(*check);
        // Appended titles are unique per writer, so every one that was not deleted is there.
        QVERIFY(titles.size() > std::size_t(2 * perWriter * 0.8));
    }

    void killDuringAppendLosesNoPostedRecord_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("one post at a time") << "single";
        QTest::newRow("inside a batch") << "batch";
    }

    void killDuringAppendLosesNoPostedRecord()
    {
        QFETCH(QString, mode);
        TempDir dir;
        makeIndexedTable(dir.path("K.DBF"), 50).reset();
        for (int round = 0; round < 5; ++round) {
            QProcess* appender =
                startHelper(this, {"append-forever", QString::fromStdString(dir.path("K.DBF")), mode});
            QVERIFY(appender->waitForReadyRead(10000));
            QTest::qWait(50 + QRandomGenerator::global()->bounded(200));
            ::kill(static_cast<pid_t>(appender->processId()), SIGKILL);
            QVERIFY(appender->waitForFinished(10000));
            QList<QByteArray> posted = appender->readAll().trimmed().split('\n');
            std::uint32_t lastPosted = posted.isEmpty() ? 0 : posted.last().toUInt();
            auto table = Table::open(dir.path("K.DBF"), Access::Exclusive);
            QVERIFY(table->physicalCount() >= lastPosted);
            verifyTags(*table);
        }
    }

    void killDuringExclusiveWorkKeepsEveryRecord_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("pack") << "pack";
        QTest::newRow("tag build") << "addtag";
        QTest::newRow("index rebuild") << "rebuild";
    }

    void killDuringExclusiveWorkKeepsEveryRecord()
    {
        QFETCH(QString, command);
        TempDir dir;
        std::set<std::string> live;
        {
            auto table = makeIndexedTable(dir.path("X.DBF"), 20000);
            table->setOrder("");
            int i = 0;
            for (table->first(); !table->eof();) {
                if (++i % 10 == 0) {
                    table->deleteRecord();
                    continue;
                }
                live.insert(table->text(0) + "/" + std::to_string(table->recno()));
                table->next();
            }
        }
        std::multiset<std::string> liveTitles;
        for (const std::string& s : live)
            liveTitles.insert(s.substr(0, s.find('/')));
        for (int delayMs : {5, 30, 120}) {
            QProcess* worker = startHelper(this, {command, QString::fromStdString(dir.path("X.DBF"))});
            QVERIFY(waitForLine(worker, "started"));
            QTest::qWait(delayMs);
            ::kill(static_cast<pid_t>(worker->processId()), SIGKILL);
            QVERIFY(worker->waitForFinished(10000));
            auto table = Table::open(dir.path("X.DBF"), Access::Exclusive);
            std::multiset<std::string> titles;
            for (table->first(); !table->eof(); table->next())
                titles.insert(table->text(0));
            QCOMPARE(titles, liveTitles);
            verifyTags(*table);
        }
    }
};

REGISTER_TEST(ProcessTest)
#include "tst_processes.moc"
