#include "TestRegistry.h"
#include "dbase/CodePage.h"

#include <QStringDecoder>
#include <QTest>

using dbase::CodePage;

class CodePageTest : public QObject {
    Q_OBJECT
private slots:
    void everyByte_data();
    void everyByte();
    void knownCharacters();
    void mixedText();
    void refusal_data();
    void refusal();
    void languageDriver();
};

void CodePageTest::everyByte_data()
{
    QTest::addColumn<int>("driver");
    QTest::addColumn<QByteArray>("icuName"); // an independent table to compare with
    QTest::newRow("CP437") << 0x01 << QByteArray("IBM437");
    QTest::newRow("CP850") << 0x02 << QByteArray("IBM850");
    QTest::newRow("Windows-1252") << 0x03 << QByteArray("windows-1252");
}

// Each byte decodes to the character ICU gives it and encodes back to itself,
// alone and inside a string of all 256 bytes. ICU reads CP437 byte E6 as Greek
// mu; the published table and Windows say micro sign (checked below).
void CodePageTest::everyByte()
{
    QFETCH(int, driver);
    QFETCH(QByteArray, icuName);
    const CodePage& cp = CodePage::forLanguageDriver(driver);
    QCOMPARE(cp.name(), QTest::currentDataTag());
    QStringDecoder reference(icuName.constData());
    std::string all, out, bad;
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const std::string utf8 = cp.decode(byte);
        if (b < 0x80)
            QCOMPARE(utf8, byte);
        else if (reference.isValid() && !(driver == 0x01 && b == 0xE6))
            QCOMPARE(QString::fromStdString(utf8), QString(reference(QByteArray(1, char(b)))));
        QVERIFY2(cp.encode(utf8, out, bad), qPrintable(QString::number(b, 16)));
        QCOMPARE(out, byte);
        all += byte;
    }
    QVERIFY(cp.encode(cp.decode(all), out, bad));
    QCOMPARE(out, all);
    if (!reference.isValid())
        QSKIP("no ICU table here to compare the high bytes with");
}

void CodePageTest::knownCharacters()
{
    const struct {
        const CodePage& page;
        char byte;
        const char* utf8;
    } known[] = {{CodePage::cp437(), '\x82', "é"},           {CodePage::cp437(), '\x81', "ü"},
                 {CodePage::cp437(), '\x9C', "£"},           {CodePage::cp437(), '\xC9', "╔"},
                 {CodePage::cp437(), '\x98', "ÿ"},           {CodePage::cp437(), '\xE6', "µ"},
                 {CodePage::cp850(), '\xD5', "ı"},           {CodePage::windows1252(), '\x80', "€"},
                 {CodePage::windows1252(), '\xFF', "ÿ"},     {CodePage::windows1252(), '\x81', "\u0081"},
                 {CodePage::windows1252(), '\x9D', "\u009D"}};
    for (const auto& k : known) {
        QCOMPARE(k.page.decode(std::string(1, k.byte)), std::string(k.utf8));
        std::string out = "stale", bad;
        QVERIFY(k.page.encode(k.utf8, out, bad));
        QCOMPARE(out, std::string(1, k.byte));
    }
}

// A non-ASCII character at every position around the 8-byte steps of the ASCII scan.
void CodePageTest::mixedText()
{
    const CodePage& cp = CodePage::windows1252();
    for (std::size_t at = 0; at <= 17; ++at) {
        std::string bytes(17, 'a');
        bytes.insert(at, "\xE9");
        const std::string utf8 = cp.decode(bytes);
        QCOMPARE(QString::fromStdString(utf8), QString(at, 'a') + "é" + QString(17 - at, 'a'));
        std::string out, bad;
        QVERIFY(cp.encode(utf8, out, bad));
        QCOMPARE(out, bytes);
    }
}

void CodePageTest::refusal_data()
{
    QTest::addColumn<int>("driver");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("bad"); // the character, or the bad bytes of invalid UTF-8
    QTest::newRow("euro in 437") << 0x01 << QByteArray("ab€c") << QByteArray("€");
    QTest::newRow("euro in 850") << 0x02 << QByteArray("€") << QByteArray("€");
    QTest::newRow("box in 1252") << 0x03 << QByteArray("é╔") << QByteArray("╔");
    QTest::newRow("CJK") << 0x03 << QByteArray("x書") << QByteArray("書");
    QTest::newRow("emoji") << 0x03 << QByteArray("\xF0\x9F\x93\x9A") << QByteArray("\xF0\x9F\x93\x9A");
    QTest::newRow("lone continuation") << 0x01 << QByteArray("a\x80") << QByteArray("\x80");
    QTest::newRow("cut short at end") << 0x01 << QByteArray("a\xE2\x82") << QByteArray("\xE2\x82");
    QTest::newRow("cut short by ASCII") << 0x02 << QByteArray("\xC3z") << QByteArray("\xC3");
    QTest::newRow("overlong") << 0x03 << QByteArray("\xE0\x80\xAF") << QByteArray("\xE0");
    QTest::newRow("surrogate") << 0x03 << QByteArray("\xED\xA0\x80") << QByteArray("\xED");
    QTest::newRow("beyond U+10FFFF") << 0x03 << QByteArray("\xF4\x90\x80\x80") << QByteArray("\xF4");
}

void CodePageTest::refusal()
{
    QFETCH(int, driver);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, bad);
    std::string out, badCharacter;
    QVERIFY(!CodePage::forLanguageDriver(driver).encode(text.toStdString(), out, badCharacter));
    QCOMPARE(QByteArray::fromStdString(badCharacter), bad);
}

// 0x1B is what dBase IV wrote in the fixture; 0x26 and 0x64 name pages we lack.
void CodePageTest::languageDriver()
{
    const QList<QPair<const CodePage*, QList<int>>> expected = {
        {&CodePage::cp437(), {0x01, 0x1B, 0x0F}},
        {&CodePage::cp850(), {0x02, 0x37}},
        {&CodePage::windows1252(), {0x03, 0x57, 0x58, 0x59, 0x00, 0x26, 0x64, 0xFF}}};
    for (const auto& [page, ids] : expected)
        for (int id : ids)
            QVERIFY2(&CodePage::forLanguageDriver(id) == page, qPrintable(QString::number(id, 16)));
}

REGISTER_TEST(CodePageTest)
#include "tst_codepage.moc"
