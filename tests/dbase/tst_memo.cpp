#include "../../fuzz/MemoryFile.h"
#include "TestRegistry.h"
#include "dbase/DatabaseError.h"
#include "dbase/MemoFile.h"
#include "dbase/Table.h"

#include <QTest>

using dbase::MemoFile;

namespace {

QByteArray littleEndian(quint32 n, int bytes)
{
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out += char(n >> (8 * i));
    return out;
}

// A memo file whose header block (bytes 20-21 holding `headerBlockSize`) is
// followed by `blocks`, each padded with zeros to a whole number of blocks.
QByteArray dbtFile(int headerBlockSize, int blockSize, const QList<QByteArray>& blocks)
{
    QByteArray file = QByteArray(20, '\0') + littleEndian(headerBlockSize, 2);
    file.resize(blockSize, '\0');
    for (QByteArray block : blocks) {
        block.resize((block.size() + blockSize - 1) / blockSize * blockSize, '\0');
        file += block;
    }
    return file;
}

QByteArray dbase4Memo(const QByteArray& text)
{
    return QByteArray("\xFF\xFF\x08\x00", 4) + littleEndian(text.size() + 8, 4) + text;
}

} // namespace

class MemoTest : public QObject {
    Q_OBJECT
private slots:
    void read_data();
    void read();
    void foundOnTheTablesFileSystem();
    void damagedBlockNumber_data();
    void damagedBlockNumber();
};

void MemoTest::read_data()
{
    QTest::addColumn<bool>("dbase4");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<uint>("block");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("error"); // part of the message when the file is damaged

    const QByteArray long700 = QByteArray(700, 'x') + "END";
    const QByteArray dbase3 =
        dbtFile(0, 512, {"first\x1A\x1A", long700 + "\x1A\x1A", "one\x1Ajunk", "\x1A\x1A"});
    QTest::newRow("III double end mark") << false << dbase3 << 1u << QByteArray("first") << "";
    QTest::newRow("III spans blocks") << false << dbase3 << 2u << long700 << "";
    QTest::newRow("III single end mark") << false << dbase3 << 4u << QByteArray("one") << "";
    QTest::newRow("III empty text") << false << dbase3 << 5u << QByteArray() << "";
    QTest::newRow("III block 0") << false << dbase3 << 0u << QByteArray() << "";
    QTest::newRow("III no end mark") << false << dbase3 + "to the end" << 6u << QByteArray("to the end")
                                     << "";
    QTest::newRow("III past end") << false << dbase3 << 6u << QByteArray() << "block 6 lies past the end";
    // 0x800001 * 512 is block 1's offset plus 2^32: the offset must not wrap.
    QTest::newRow("III huge block") << false << dbase3 << 0x800001u << QByteArray() << "8388609 lies past";
    QTest::newRow("III too long") << false << dbtFile(0, 512, {QByteArray(MemoFile::kMaxMemoBytes + 1, 'x')})
                                  << 1u << QByteArray() << "longer than 16777216 bytes";

    for (int size : {512, 1024, 64}) {
        const QByteArray file = dbtFile(size, size, {dbase4Memo("short"), dbase4Memo(long700)});
        QTest::addRow("IV %d short", size) << true << file << 1u << QByteArray("short") << "";
        QTest::addRow("IV %d long", size)
            << true << file << uint(1 + (13 + size - 1) / size) << long700 << "";
    }
    const QByteArray withMark("keeps \x1A inside"), toTheEnd(504, 'y');
    QTest::newRow("IV size 0 means 512")
        << true << dbtFile(0, 512, {dbase4Memo("a")}) << 1u << QByteArray("a") << "";
    QTest::newRow("IV odd size means 512")
        << true << dbtFile(100, 512, {dbase4Memo("b")}) << 1u << QByteArray("b") << "";
    QTest::newRow("IV empty") << true << dbtFile(512, 512, {dbase4Memo("")}) << 1u << QByteArray() << "";
    QTest::newRow("IV length rules") << true << dbtFile(512, 512, {dbase4Memo(withMark)}) << 1u << withMark
                                     << "";
    QTest::newRow("IV ends at end of file")
        << true << dbtFile(512, 512, {dbase4Memo(toTheEnd)}) << 1u << toTheEnd << "";

    const QByteArray one4 = dbtFile(512, 512, {dbase4Memo("text")});
    const auto withLength = [&](quint32 length) {
        return one4.left(516) + littleEndian(length, 4) + one4.mid(520);
    };
    QByteArray unsigned4 = one4;
    unsigned4[512] = 'X';
    const QByteArray none;
    QTest::newRow("IV past end") << true << one4 << 2u << none << "block 2 lies past the end";
    QTest::newRow("IV header cut") << true << one4.left(512 + 6) << 1u << none << "cut off by the end";
    QTest::newRow("IV no signature") << true << unsigned4 << 1u << none
                                     << "does not start with a memo header";
    QTest::newRow("IV length 7") << true << withLength(7) << 1u << none << "length of 7 bytes";
    QTest::newRow("IV absurd length") << true << withLength(0xFFFFFFF0) << 1u << none << "more than the";
    QTest::newRow("IV length past end") << true << withLength(513) << 1u << none << "505 bytes, running past";
}

void MemoTest::read()
{
    QFETCH(bool, dbase4);
    QFETCH(QByteArray, file);
    QFETCH(uint, block);
    QFETCH(QByteArray, text);
    QFETCH(QString, error);
    auto memo = MemoFile::open(std::make_unique<MemoryFile>(file.toStdString(), "/data/BOOKS.DBT"), dbase4);
    try {
        QCOMPARE(QByteArray::fromStdString(memo->read(block)), text);
        QVERIFY2(error.isEmpty(), "no error");
    } catch (const dbase::DatabaseError& e) {
        const QString message = QString::fromStdString(e.what());
        QVERIFY2(!error.isEmpty() && message.contains("/data/BOOKS.DBT") && message.contains(error),
                 qPrintable(message));
    }
}

// A table kept somewhere other than the disk finds its memo file there too.
void MemoTest::foundOnTheTablesFileSystem()
{
    MemoryFileSystem fs;
    dbase::Table::create("/nowhere/M.DBF", {{"NOTES", dbase::FieldSpec::Kind::Character, 10}}, fs);
    {
        auto table = dbase::Table::open("/nowhere/M.DBF", dbase::Access::Exclusive, fs);
        table->append();
        table->setText(0, "1");
        table->post();
    }
    std::string dbf = fs.bytes("/nowhere/M.DBF");
    dbf[0] = char(0x83); // dBase III with a memo file
    dbf[32 + 11] = 'M';  // the field's type
    fs.put("/nowhere/M.DBF", dbf);
    fs.put("/nowhere/M.DBT", dbtFile(0, 512, {"kept in memory\x1A\x1A"}).toStdString());
    auto table = dbase::Table::open("/nowhere/M.DBF", dbase::Access::ReadOnly, fs);
    table->first();
    QCOMPARE(table->memo(0), std::string("kept in memory"));
}

void MemoTest::damagedBlockNumber_data()
{
    QTest::addColumn<QString>("number");
    QTest::newRow("negative") << "-7.5";
    QTest::newRow("fraction") << "1.5";
    QTest::newRow("past 32 bits") << "9999999999";
}

// The memo field of a damaged record names no block: an error, never a block
// made up from a number that does not fit.
void MemoTest::damagedBlockNumber()
{
    QFETCH(QString, number);
    MemoryFileSystem fs;
    dbase::Table::create("/nowhere/M.DBF", {{"NOTES", dbase::FieldSpec::Kind::Character, 10}}, fs);
    {
        auto table = dbase::Table::open("/nowhere/M.DBF", dbase::Access::Exclusive, fs);
        table->append();
        table->setText(0, number.toStdString());
        table->post();
    }
    std::string dbf = fs.bytes("/nowhere/M.DBF");
    dbf[0] = char(0x83);
    dbf[32 + 11] = 'M';
    fs.put("/nowhere/M.DBF", dbf);
    fs.put("/nowhere/M.DBT", dbtFile(0, 512, {"text\x1A\x1A"}).toStdString());
    auto table = dbase::Table::open("/nowhere/M.DBF", dbase::Access::ReadOnly, fs);
    table->first();
    try {
        table->memo(0);
        QFAIL("no error");
    } catch (const dbase::DatabaseError& e) {
        QVERIFY2(QString(e.what()).contains("\"" + number + "\", which is no memo block number"), e.what());
    }
}

REGISTER_TEST(MemoTest)
#include "tst_memo.moc"
