#include "FaultyFileSystem.h"
#include "TestRegistry.h"
#include "reports/ReportFile.h"
#include "reports/definition/BuiltInReports.h"
#include "reports/definition/ReportFields.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <cstring>
#include <limits>

using namespace reports;

namespace {

// The real file system, except that BOOK.URP may be kept from being deleted.
class UndeletableOldFile : public FaultyFileSystem {
public:
    bool deletable = true;
    void remove(const std::string& path) override
    {
        if (!deletable && path.ends_with("BOOK.URP"))
            throw dbase::IoError(path, "remove", EACCES);
        FaultyFileSystem::remove(path);
    }
};

// Reads a record straight from the offset table, independently of the codec.
struct RawRecord {
    QByteArray b;
    int u8(int at) const { return quint8(b[at]); }
    int i16(int at) const { return qint16(quint16(u8(at) | u8(at + 1) << 8)); }
    QString str(int at) const { return QString::fromLatin1(b.mid(at + 1, u8(at))); }
    double real(int at) const
    {
        double v;
        std::memcpy(&v, b.constData() + at, 8);
        return v;
    }
    QString font(int f) const
    {
        const int at = 33 + 61 * (f - 1);
        return QString("%1 %2").arg(str(at)).arg(i16(at + 51));
    }
    // "Title#1:59" for a field, "'Year:'9" for a label, "_1" for a filler; up to width ≤ 0.
    QString items(int at) const
    {
        QStringList out;
        for (int j = 0; j < 20 && i16(at + 75 * j + 32) > 0; ++j) {
            const int item = at + 75 * j;
            const QString name = str(item);
            const int width = i16(item + 32);
            if (name == "<FILLER>")
                out << QString("_%1").arg(width);
            else if (name == "<LABEL>")
                out << QString("'%1'%2").arg(str(item + 34)).arg(width);
            else
                out << QString("%1#%2:%3").arg(name).arg(u8(item + 31)).arg(width);
        }
        return out.join(' ');
    }
    QString line(int k) const { return items(2122 + 1500 * (k - 1)); }
};

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray recordOf(const ReportDefinition& d)
{
    const DefinitionBytes bytes = encodeDefinition(d);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

ReportDefinition decoded(const QByteArray& record)
{
    DefinitionBytes bytes{};
    std::memcpy(bytes.data(), record.constData(), bytes.size());
    return decodeDefinition(bytes);
}

ReportDefinition named(const std::string& name)
{
    ReportDefinition d = newDefinition();
    d.name = name;
    return d;
}

// An old 19,831-byte record with a name, width 90 and one field item on line 1.
QByteArray oldRecord(const QByteArray& name)
{
    QByteArray r(int(kOldDefinitionSize), '\0');
    r[0] = char(name.size());
    r.replace(1, name.size(), name);
    r[31] = 90;
    r[86] = 1; // one line
    const int item = 1831;
    r[item] = 5;
    r.replace(item + 1, 5, "Title");
    r[item + 31] = 1;
    r[item + 32] = 90;
    return r;
}

} // namespace

class TestReportFile : public QObject {
    Q_OBJECT

private slots:
    void builtInsReadStraightFromTheBytes_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("font");     // fonts 1, 2, 3 and 5
        QTest::addColumn<QString>("fontFour"); // font 4
        QTest::addColumn<QString>("flags");    // headers, totals, box lines, level 1
        QTest::addColumn<int>("lines");
        QTest::addColumn<QString>("line1");
        QTest::addColumn<QString>("lastLine");

        QTest::newRow("1") << 0 << "Short Narrow Report" << 90 << "Arial 10"
                           << "Arial 10"
                           << "1111" << 1 << "Title#1:59 YearPub#3:5 Author#2:27"
                           << "Title#1:59 YearPub#3:5 Author#2:27";
        QTest::newRow("2")
            << 1 << "2 Line 120 Column Report" << 120 << "Arial 8"
            << "Courier 8"
            << "0101" << 2 << "'Title:'6 _1 Title#1:70 'Category:'11 _1 Category#5:20"
            << "'Author:'7 _1 Author#2:60 'Year Pub:'11 _1 YearPub#3:5 'Rating:'9 _1 Rating#11:15";
        QTest::newRow("3") << 2 << "4 Line Report" << 120 << "Arial 8"
                           << "Courier 8"
                           << "0101" << 4 << "'Title:'6 _1 Title#1:70 'Book Type:'11 _1 BookType#13:20"
                           << "_150";
        QTest::newRow("4") << 3 << "Full Report" << 120 << "Arial 8"
                           << "Courier 8"
                           << "0101" << 10 << "'Title:'6 _1 Title#1:70 'Book Type:'11 _1 BookType#13:20"
                           << "_150";
        QTest::newRow("5") << 4 << "Location Report" << 90 << "Arial 10"
                           << "Arial 10"
                           << "1011" << 1 << "Title#1:60 Location#25:30"
                           << "Title#1:60 Location#25:30";
        QTest::newRow("6") << 5 << "Library Checkout Report" << 120 << "Arial 8"
                           << "Arial 8"
                           << "1010" << 1 << "Title#1:60 CheckOut#17:3 CheckDate#18:12 CheckName#19:30"
                           << "Title#1:60 CheckOut#17:3 CheckDate#18:12 CheckName#19:30";
        QTest::newRow("7") << 6 << "Value Report" << 90 << "Arial 10"
                           << "Arial 10"
                           << "1111" << 1
                           << "Title#1:42 Cost#7:12 Value#8:12 LowMarket#29:12 HighMarket#30:12"
                           << "Title#1:42 Cost#7:12 Value#8:12 LowMarket#29:12 HighMarket#30:12";
        QTest::newRow("8") << 7 << "Statistic/Summary Report" << 90 << "Arial 10"
                           << "Arial 10"
                           << "0101" << 0 << "_150"
                           << "_150";
    }

    void builtInsReadStraightFromTheBytes()
    {
        QFETCH(int, index);
        QFETCH(QString, name);
        QFETCH(int, width);
        QFETCH(QString, font);
        QFETCH(QString, fontFour);
        QFETCH(QString, flags);
        QFETCH(int, lines);
        QFETCH(QString, line1);
        QFETCH(QString, lastLine);
        QTemporaryDir dir;
        const QString path = QString::fromStdString(ensureReportFile(dir.path().toStdString()));
        QCOMPARE(path, dir.filePath("SHVBOOK.URP"));
        const QByteArray bytes = fileBytes(path);
        QCOMPARE(bytes.size(), 164'976);
        const RawRecord r{bytes.mid(index * 20'622, 20'622)};
        QCOMPARE(r.str(0), name);
        QCOMPARE(r.i16(31), width);
        QCOMPARE(QStringList({r.font(1), r.font(2), r.font(3), r.font(5)}), QStringList(4, font));
        QCOMPARE(r.font(4), fontFour);
        QCOMPARE(QString("%1%2%3%4").arg(r.u8(338)).arg(r.u8(342)).arg(r.u8(1877)).arg(r.u8(20122)), flags);
        QCOMPARE(r.u8(1877), r.u8(1878));
        // Page numbers and date on, portrait, level 2 off, margins 0.5, no titles, reserved zero.
        QCOMPARE(QString("%1%2%3%4").arg(r.u8(339)).arg(r.u8(341)).arg(r.u8(340)).arg(r.u8(20123)), "1100");
        for (int m = 0; m < 4; ++m)
            QCOMPARE(r.real(1845 + 8 * m), 0.5);
        QCOMPARE(r.str(1879) + r.str(1960) + r.str(2041), QString());
        QCOMPARE(r.b.mid(20124), QByteArray(498, '\0'));
        QCOMPARE(r.i16(343), lines);
        QCOMPARE(r.line(1), line1);
        QCOMPARE(r.line(std::max(lines, 1)), lastLine);
        for (int k = std::max(lines, 1) + 1; k <= 12; ++k)
            QCOMPARE(r.line(k), "_150");
        QCOMPARE(r.items(345), "'Cost:'10 _1 Cost#1:12 'Value:'8 _1 Value#2:12 'Low Market:'13 _1 "
                               "Low Market#3:12 'High Market:'14 _1 High Market#4:12 _60");
    }

    // The full report's middle lines, whose field numbers generation relies on.
    void fullReportLines()
    {
        QTemporaryDir dir;
        const RawRecord r{fileBytes(QString::fromStdString(ensureReportFile(dir.path().toStdString())))
                              .mid(3 * 20'622, 20'622)};
        QCOMPARE(r.line(3),
                 "'Publisher:'10 _1 Publisher#4:40 'Editor:'9 _1 Editor#27:30 'ISBN:'7 _1 ISBN#10:20");
        QCOMPARE(r.line(6), "'Date Purchased:'15 _1 PurchDate#12:11 'Where Purchased:'18 _1 WherePurch#6:30 "
                            "'Location:'11 _1 Location#25:30");
        QCOMPARE(r.line(8),
                 "'Vol:'4 _1 Volume#20:8 'Issue:'8 _1 Issue#21:8 'Key Words:'12 _1 KeyWords#23:77");
        QCOMPARE(r.line(9), "'Desc:'6 _1 Descriptio#9:110");
    }

    void recordAtEveryLimitRoundTrips()
    {
        ReportDefinition d = newDefinition();
        d.name = std::string(28, 'N') + "é€"; // 30 characters, 32 bytes of UTF-8
        d.width = 150;
        for (ReportFontBlock& f : d.fonts)
            f = {std::string(50, 'F'), 144, true, true, true, true, 0x00ffffff};
        d.lineCount = 12;
        d.marginTop = 7.25;
        d.marginLeft = 0;
        d.titles = {std::string(80, 'T'), std::string(79, 't') + "ÿ", ""};
        for (ReportLine& line : d.lines)
            for (int j = 0; j < kItemsPerLine; ++j)
                line[std::size_t(j)] = j % 2 ? ReportItem{"UserDef6", 36, 150, ""}
                                             : ReportItem{kLabel, 0, 1, std::string(40, 'L')};
        d.totals[19] = ReportItem{"High Market", 4, 150, ""};
        d.reserved.fill(0xA5);
        const QByteArray record = recordOf(d);
        QCOMPARE(decoded(record), d);
        QCOMPARE(recordOf(decoded(record)), record);
        QCOMPARE(quint8(record[0]), 30);
        QCOMPARE(record.mid(20124), QByteArray(498, char(0xA5)));
    }

    void textTheRecordCannotHold_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("31 characters") << QString(31, 'x');
        QTest::newRow("outside Windows-1252") << QString("Ωmega");
    }

    void textTheRecordCannotHold()
    {
        QFETCH(QString, name);
        QVERIFY_THROWS_EXCEPTION(DefinitionError, encodeDefinition(named(name.toStdString())));
    }

    // Any file can be restored or copied in: every value that would drive
    // generation off its rails is made safe on reading.
    void hostileRecordsAreSanitised_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");

        const auto i16 = [](int v) {
            QByteArray b(2, '\0');
            b[0] = char(v & 0xff);
            b[1] = char((v >> 8) & 0xff);
            return b;
        };
        const auto real = [](double v) {
            QByteArray b(8, '\0');
            std::memcpy(b.data(), &v, 8);
            return b;
        };
        const int item = 2122;
        QTest::newRow("13 lines") << 343 << i16(13) << "lines 12";
        QTest::newRow("-1 lines") << 343 << i16(-1) << "lines 0";
        QTest::newRow("width 0") << 31 << i16(0) << "width 90";
        QTest::newRow("width 100") << 31 << i16(100) << "width 90";
        QTest::newRow("field number 200") << item + 31 << QByteArray(1, char(200)) << "item <FILLER> 59";
        QTest::newRow("field number 0") << item + 31 << QByteArray(1, '\0') << "item <FILLER> 59";
        QTest::newRow("item width 32767") << item + 32 << i16(32767) << "item Title 150";
        QTest::newRow("total number 5") << 345 + 2 * 75 + 31 << QByteArray(1, char(5)) << "total <FILLER>";
        QTest::newRow("font size 0") << 33 + 51 << i16(0) << "font 10";
        QTest::newRow("font size 1000") << 33 + 51 << i16(1000) << "font 10";
        QTest::newRow("NaN margin") << 1845 << real(std::nan("")) << "top 0.5";
        QTest::newRow("infinite margin")
            << 1845 << real(std::numeric_limits<double>::infinity()) << "top 0.5";
        QTest::newRow("negative margin") << 1845 << real(-1) << "top 0.5";
        QTest::newRow("name length 255") << 0 << QByteArray(1, char(255)) << "name 30";
    }

    void hostileRecordsAreSanitised()
    {
        QFETCH(int, offset);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        QByteArray record = recordOf(builtInReports()[0]);
        record.replace(offset, bytes.size(), bytes);
        const ReportDefinition d = decoded(record);
        const QString what = expected.section(' ', 0, 0);
        QString got;
        if (what == "lines")
            got = QString("lines %1").arg(d.lineCount);
        else if (what == "width")
            got = QString("width %1").arg(d.width);
        else if (what == "item")
            got = QString("item %1 %2")
                      .arg(QString::fromStdString(d.lines[0][0].name))
                      .arg(d.lines[0][0].width);
        else if (what == "total")
            got = QString("total %1").arg(QString::fromStdString(d.totals[2].name));
        else if (what == "font")
            got = QString("font %1").arg(d.fonts[0].size);
        else if (what == "top")
            got = QString("top %1").arg(d.marginTop);
        else if (what == "name")
            got = QString("name %1").arg(d.name.size());
        QCOMPARE(got, expected);
    }

    void listReadAppendOverwriteDelete()
    {
        QTemporaryDir dir;
        ReportFile file(dir.filePath("SHVBOOK.URP").toStdString());
        QCOMPARE(file.list().size(), 0u);
        QCOMPARE(file.append({named("A"), named("B"), named("C")}), 0);
        QCOMPARE(file.append({named("D")}), 3);
        QCOMPARE(file.list(), (std::vector<std::string>{"A", "B", "C", "D"}));
        QCOMPARE(file.read(2)->name, "C");
        QVERIFY(!file.read(4).has_value());
        file.overwrite(1, named("B2"), "B");
        QCOMPARE(file.list(), (std::vector<std::string>{"A", "B2", "C", "D"}));
        file.remove(3, "D"); // the last
        QCOMPARE(QFileInfo(dir.filePath("SHVBOOK.URP")).size(), 3 * 20'622);
        file.remove(0, "A");
        QCOMPARE(file.list(), (std::vector<std::string>{"B2", "C"}));
        file.remove(1, "C");
        file.remove(0, "B2"); // the only one
        QCOMPARE(QFileInfo(dir.filePath("SHVBOOK.URP")).size(), 0);
        QVERIFY(file.list().empty());
        QVERIFY(!QFile::exists(dir.filePath("SHVBOOK.URP.tmp")));
    }

    // Another copy of the program deleted or replaced the report the list showed.
    void staleListPositionIsRefused_data()
    {
        QTest::addColumn<bool>("remove");
        QTest::newRow("overwrite") << false;
        QTest::newRow("delete") << true;
    }

    void staleListPositionIsRefused()
    {
        QFETCH(bool, remove);
        QTemporaryDir dir;
        ReportFile file(dir.filePath("SHVBOOK.URP").toStdString());
        file.append({named("A"), named("B")});
        const QByteArray before = fileBytes(dir.filePath("SHVBOOK.URP"));
        if (remove)
            QVERIFY_THROWS_EXCEPTION(ReportChangedError, file.remove(1, "A"));
        else
            QVERIFY_THROWS_EXCEPTION(ReportChangedError, file.overwrite(2, named("X"), "B"));
        QCOMPARE(fileBytes(dir.filePath("SHVBOOK.URP")), before);
    }

    void partialLastRecord()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("SHVBOOK.URP");
        writeBytes(path, recordOf(named("A")) + QByteArray(100, 'x'));
        ReportFile file(path.toStdString());
        QCOMPARE(file.list(), (std::vector<std::string>{"A"}));
        file.append({named("B")});
        QCOMPARE(fileBytes(path), recordOf(named("A")) + recordOf(named("B")));
    }

    void existingFileIsKept()
    {
        QTemporaryDir dir;
        writeBytes(dir.filePath("shvbook.urp"), recordOf(named("mine")));
        QCOMPARE(QString::fromStdString(ensureReportFile(dir.path().toStdString())),
                 dir.filePath("shvbook.urp"));
        QCOMPARE(fileBytes(dir.filePath("shvbook.urp")), recordOf(named("mine")));
        QVERIFY(!QFile::exists(dir.filePath("SHVBOOK.URP")));
    }

    void oldReportFile_data()
    {
        QTest::addColumn<int>("cut"); // bytes cut off the third record
        QTest::addColumn<int>("appended");
        QTest::addColumn<bool>("deleted");
        QTest::newRow("whole") << 0 << 2 << true;
        QTest::newRow("third record truncated") << 100 << 1 << false;
    }

    void oldReportFile()
    {
        QFETCH(int, cut);
        QFETCH(int, appended);
        QFETCH(bool, deleted);
        QTemporaryDir dir;
        const QByteArray thirty(30, 'Z');
        QByteArray old = oldRecord("Mine") + oldRecord("Full Report") + oldRecord(thirty);
        old.chop(cut);
        writeBytes(dir.filePath("BOOK.URP"), old);
        ReportFile target(ensureReportFile(dir.path().toStdString()));
        const OldReportConversion result = convertOldReports(dir.path().toStdString(), target, std::nullopt);
        QCOMPARE(result.appended, appended);
        QCOMPARE(result.deleted, deleted);
        QCOMPARE(QFile::exists(dir.filePath("BOOK.URP")), !deleted);
        QCOMPARE(result.message.empty(), deleted);
        const std::vector<std::string> names = target.list();
        QCOMPARE(int(names.size()), 8 + appended);
        QCOMPARE(names[8], "Mine");
        const ReportDefinition mine = *target.read(8);
        QCOMPARE(mine.fonts[0], (ReportFontBlock{"Courier New", 10, true, false, false, false, 0}));
        QCOMPARE(mine.fonts[2].bold, false);
        QCOMPARE(mine.lines[0][0], (ReportItem{"Title", 1, 90, ""}));
        if (appended == 2)
            QCOMPARE(names[9], thirty.toStdString());
    }

    // A BOOK.URP whose reports were appended but which stayed (it could not be
    // deleted, or ends with a damaged record) is remembered and not converted again.
    void convertedOnlyOnce_data()
    {
        QTest::addColumn<bool>("deletable");
        QTest::addColumn<int>("cut");
        QTest::addColumn<bool>("remembered");
        QTest::newRow("deleted") << true << 0 << false;
        QTest::newRow("cannot be deleted") << false << 0 << true;
        QTest::newRow("damaged last record") << true << 100 << true;
    }

    void convertedOnlyOnce()
    {
        QFETCH(bool, deletable);
        QFETCH(int, cut);
        QFETCH(bool, remembered);
        QTemporaryDir dir;
        QByteArray old = oldRecord("Mine") + oldRecord("Yours");
        old.chop(cut);
        writeBytes(dir.filePath("BOOK.URP"), old);
        UndeletableOldFile fs;
        fs.deletable = deletable;
        ReportFile target(ensureReportFile(dir.path().toStdString()));
        std::string kept = "1 2"; // of a file that is not there any more
        for (int start = 0; start < 3; ++start) {
            const OldReportConversion result =
                convertOldReports(dir.path().toStdString(), target, parseRememberedConversion(kept), fs);
            kept = rememberedConversion(result, kept);
            QCOMPARE(result.appended, start == 0 ? (cut ? 1 : 2) : 0);
            QCOMPARE(kept.empty(), !remembered);
        }
        QCOMPARE(target.list().size(), std::size_t(cut ? 9 : 10));
        // Another BOOK.URP copied in later is converted.
        if (remembered) {
            writeBytes(dir.filePath("BOOK.URP"), oldRecord("Theirs") + oldRecord("More") + oldRecord("Most"));
            QCOMPARE(convertOldReports(dir.path().toStdString(), target, parseRememberedConversion(kept), fs)
                         .appended,
                     3);
        }
    }

    void rememberedText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("size and time") << "39662 1733580000123456789" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("size only") << "39662" << false;
        QTest::newRow("trailing text") << "39662 17x" << false;
        QTest::newRow("letters") << "T12" << false;
    }

    void rememberedText()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const auto parsed = parseRememberedConversion(text.toStdString());
        QCOMPARE(parsed.has_value(), valid);
        if (valid)
            QCOMPARE(*parsed, std::pair(std::uint64_t(39662), std::int64_t(1733580000123456789)));
    }
};

REGISTER_TEST(TestReportFile)
#include "tst_reportfile.moc"
