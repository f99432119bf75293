#include "TestRegistry.h"
#include "exchange/DelimitedImportSource.h"
#include "exchange/DelimitedReader.h"

#include <QTest>

using exchange::DelimitedReader;
using FirstLineError = DelimitedReader::FirstLineError;

Q_DECLARE_METATYPE(exchange::TextEncoding)
Q_DECLARE_METATYPE(DelimitedReader::FirstLineError)

namespace {

// Every record of `bytes` read with `fieldCount` fields, each as its fields joined by "|".
QStringList records(const QByteArray& bytes, int fieldCount)
{
    exchange::MemoryByteSource source(std::string_view(bytes.constData(), bytes.size()));
    exchange::CharDecoder chars(source, exchange::detectEncoding(source));
    DelimitedReader reader(chars);
    QStringList out;
    std::vector<std::string> fields;
    while (reader.readRecord(fieldCount, fields)) {
        QStringList record;
        for (const std::string& field : fields)
            record << QString::fromStdString(field);
        out << record.join(u'|');
    }
    return out;
}

QByteArray quotedFields(int count)
{
    QByteArray line;
    for (int i = 0; i < count; ++i)
        line += (i ? ",\"f" : "\"f") + QByteArray::number(i) + '"';
    return line;
}

} // namespace

class TestDelimitedReader : public QObject {
    Q_OBJECT

private slots:
    void readRecords_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("fieldCount");
        QTest::addColumn<QStringList>("expected");
        const QString cut(255, u'x');
        QTest::newRow("doubled quote")
            << QByteArray("\"The \"\"Big\"\" Book\"\r\n") << 1 << QStringList{"The \"Big\" Book"};
        QTest::newRow("quote inside is text")
            << QByteArray("\"The \"Big\" Book\"") << 1 << QStringList{"The \"Big\" Book"};
        QTest::newRow("quote, blank, comma") << QByteArray("\"a\" ,\"b\"") << 2 << QStringList{"a|b"};
        QTest::newRow("unquoted line is one field")
            << QByteArray("abc, def\r\n") << 2 << QStringList{"abc, def|"};
        QTest::newRow("blanks before the quote are text") << QByteArray("  \"a\"") << 1 << QStringList{"  a"};
        QTest::newRow("CR") << QByteArray("\"a\"\r\"b\"\r") << 1 << QStringList{"a", "b"};
        QTest::newRow("LF") << QByteArray("\"a\"\n\"b\"\n") << 1 << QStringList{"a", "b"};
        QTest::newRow("CR LF") << QByteArray("\"a\"\r\n\"b\"\r\n") << 1 << QStringList{"a", "b"};
        QTest::newRow("Ctrl-Z mid-line ends the file") << QByteArray("\"a\",\"b\x1A"
                                                                     "c\"\r\n\"d\"")
                                                       << 2 << QStringList{"a|b"};
        QTest::newRow("TAB and NUL dropped") << QByteArray("\"a\tb\0c\"", 8) << 1 << QStringList{"abc"};
        QTest::newRow("C1 control dropped") << QByteArray("\"a\xC2\x85"
                                                          "b\"")
                                            << 1 << QStringList{"ab"};
        QTest::newRow("255 cut, rest of the field consumed")
            << ("\"" + QByteArray(300, 'x') + "\",\"z\"") << 2 << QStringList{cut + "|z"};
        QTest::newRow("fewer fields stay empty") << QByteArray("\"a\"\r\n") << 3 << QStringList{"a||"};
        QTest::newRow("extra fields skipped")
            << QByteArray("\"a\",\"b\",\"c\"\r\n\"d\"") << 2 << QStringList{"a|b", "d|"};
        QTest::newRow("trailing comma") << QByteArray("\"a\",\"b\",\r\n") << 3 << QStringList{"a|b|"};
        QTest::newRow("blank-only line is no record")
            << QByteArray("\"a\"\r\n  \t \x01\r\n\"b\"") << 1 << QStringList{"a", "b"};
        QTest::newRow("empty line is no record")
            << QByteArray("\"a\"\r\n\r\n\"b\"") << 1 << QStringList{"a", "b"};
        QTest::newRow("final CR LF") << QByteArray("\"a\"\r\n") << 1 << QStringList{"a"};
        QTest::newRow("quote never spans lines") << QByteArray("\"a\r\nb\"") << 1 << QStringList{"a", "b"};
    }
    void readRecords()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, fieldCount);
        QFETCH(QStringList, expected);
        QCOMPARE(records(bytes, fieldCount), expected);
    }

    void firstLine_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<FirstLineError>("error");
        QTest::addColumn<int>("fields");
        QTest::newRow("46 fields") << quotedFields(46) + "\r\n" << FirstLineError::None << 46;
        QTest::newRow("47 fields") << quotedFields(47) << FirstLineError::TooManyFields << 0;
        QTest::newRow("46 and a trailing comma")
            << quotedFields(46) + "," << FirstLineError::TooManyFields << 0;
        QTest::newRow("2 and a trailing comma")
            << quotedFields(2) + "," << FirstLineError::UnmatchedQuote << 0;
        QTest::newRow("unmatched quote")
            << QByteArray("\"a\",\"b\r\n\"c\"") << FirstLineError::UnmatchedQuote << 0;
        QTest::newRow("unquoted line") << QByteArray("a,b") << FirstLineError::UnmatchedQuote << 0;
        QTest::newRow("empty file") << QByteArray() << FirstLineError::UnmatchedQuote << 0;
        QTest::newRow("255 characters") << ("\"" + QByteArray(255, 'x') + "\"") << FirstLineError::None << 1;
        QTest::newRow("256 characters")
            << ("\"" + QByteArray(256, 'x') + "\"") << FirstLineError::FieldTooLong << 0;
        // A character, not a byte, is the unit: 255 "é" are 510 bytes.
        QTest::newRow("255 accented")
            << ("\"" + QByteArray("\xC3\xA9").repeated(255) + "\"") << FirstLineError::None << 1;
    }
    void firstLine()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(FirstLineError, error);
        QFETCH(int, fields);
        exchange::MemoryByteSource source(std::string_view(bytes.constData(), bytes.size()));
        exchange::DelimitedHeader header = exchange::readDelimitedHeader(source);
        QCOMPARE(header.error, error);
        QCOMPARE(header.names.size(), fields);
    }

    // The names: a BOM before the header is no part of it, a long name is cut
    // to 20 characters, an empty one is named for the user.
    void fieldNames()
    {
        const QByteArray bytes = "\xEF\xBB\xBF\"Title\",\"\",\"A very long column heading\"\r\n";
        exchange::MemoryByteSource source(std::string_view(bytes.constData(), bytes.size()));
        QCOMPARE(exchange::readDelimitedHeader(source).names,
                 (QStringList{"Title", "<BLANK FIELD>", "A very long column h"}));
    }

    void encoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<exchange::TextEncoding>("encoding");
        QTest::addColumn<QString>("text");
        using E = exchange::TextEncoding;
        const QString cafe = QString::fromUtf8("café");
        QTest::newRow("BOM UTF-8") << QByteArray("\xEF\xBB\xBF\"caf\xC3\xA9\"") << E::Utf8 << cafe;
        QTest::newRow("UTF-8") << QByteArray("\"caf\xC3\xA9\"") << E::Utf8 << cafe;
        QTest::newRow("Windows-1252") << QByteArray("\"caf\xE9\"") << E::Windows1252 << cafe;
        QTest::newRow("Windows-1252 euro, unused byte dropped")
            << QByteArray("\"\x80\x81\"") << E::Windows1252 << QString::fromUtf8("€");
        // One byte that is not UTF-8 far into the file decides for the whole file.
        QTest::newRow("Windows-1252 late in the file")
            << QByteArray("\"caf\xC3\xA9\"\r\n") + QByteArray(200000, ' ') + "\"\xE9\"" << E::Windows1252
            << QString::fromUtf8("cafÃ©");
        QTest::newRow("UTF-16LE with BOM")
            << QByteArray("\xFF\xFE\"\0c\0a\0f\0\xE9\0\"\0", 14) << E::Utf16LE << cafe;
        QTest::newRow("UTF-16BE with BOM")
            << QByteArray("\xFE\xFF\0\"\0c\0a\0f\0\xE9\0\"", 14) << E::Utf16BE << cafe;
        QTest::newRow("UTF-16LE surrogate pair")
            << QByteArray("\xFF\xFE\"\0\x3D\xD8\x00\xDE\"\0", 10) << E::Utf16LE << QString::fromUtf8("😀");
    }
    void encoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(exchange::TextEncoding, encoding);
        QFETCH(QString, text);
        exchange::MemoryByteSource source(std::string_view(bytes.constData(), bytes.size()));
        QCOMPARE(exchange::detectEncoding(source).encoding, encoding);
        QCOMPARE(records(bytes, 1).value(0), text);
    }
};

REGISTER_TEST(TestDelimitedReader)
#include "tst_delimitedreader.moc"
