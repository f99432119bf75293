#include "TempDir.h"
#include "TestRegistry.h"
#include "platform/ProfileFile.h"

#include <QFile>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;
using platform::ProfileFile;

class TestProfileFile : public QObject {
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected"); // "<none>": the key is absent

        // clang-format off
        QTest::newRow("plain") << QByteArray("[Misc]\nButton Bar=2\n") << "Misc" << "Button Bar" << "2";
        QTest::newRow("case ignored") << QByteArray("[MISC]\nbutton bar=2\n") << "misc" << "BUTTON BAR"
                                      << "2";
        QTest::newRow("blanks around") << QByteArray("  [ Misc ]  \n  Button Bar  =  a b  \n")
                                       << "Misc" << "Button Bar" << "a b";
        QTest::newRow("inner blanks count") << QByteArray("[Misc]\nButtonBar=2\n") << "Misc" << "Button Bar"
                                            << "<none>";
        QTest::newRow("first duplicate wins") << QByteArray("[Misc]\nA=1\na=2\n[misc]\nA=3\n")
                                              << "Misc" << "A" << "1";
        QTest::newRow("repeated section adds") << QByteArray("[Misc]\nA=1\n[Other]\n[MISC]\nB=2\n") << "Misc"
                                               << "B" << "2";
        QTest::newRow("CRLF and BOM") << QByteArray("\xEF\xBB\xBF[Misc]\r\nA=1\r\n") << "Misc" << "A" << "1";
        QTest::newRow("equals in value") << QByteArray("[Misc]\nA=x=y\n") << "Misc" << "A" << "x=y";
        QTest::newRow("empty value") << QByteArray("[Misc]\nA=\n") << "Misc" << "A" << "";
        QTest::newRow("key before any section") << QByteArray("A=1\n[Misc]\n") << "Misc" << "A" << "<none>";
        QTest::newRow("garbage lines skipped") << QByteArray("[Misc]\n\x01\x02garbage\n=5\n;A=0\nA=1\n")
                                               << "Misc" << "A" << "1";
        QTest::newRow("unclosed section") << QByteArray("[Misc\nA=1\n") << "Misc" << "A" << "1";
        QTest::newRow("empty section name") << QByteArray("[Misc]\n[]\nA=1\n") << "Misc" << "A" << "<none>";
        QTest::newRow("no final newline") << QByteArray("[Misc]\nA=1") << "Misc" << "A" << "1";
        QTest::newRow("UTF-8") << QByteArray("[Field Names]\nTitle=Caf\xC3\xA9\n") << "Field Names" << "Title"
                               << QString::fromUtf8("Caf\xC3\xA9");
        QTest::newRow("not UTF-8: Windows-1252") << QByteArray("[Field Names]\nTitle=Caf\xE9 \x80\n")
                                                 << "Field Names" << "Title"
                                                 << QString::fromUtf8("Caf\xC3\xA9 \xE2\x82\xAC");
        // clang-format on
    }

    void parse()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        std::optional<QString> value = ProfileFile::parse(text).value(section, key);
        QCOMPARE(value.value_or(QStringLiteral("<none>")), expected);
    }

    // Names keep their first spelling, unknown sections and keys survive, new ones go last.
    void writesBackWhatItRead()
    {
        ProfileFile profile = ProfileFile::parse("[Misc]\nbutton bar=1\nMy Key=x\n\n[Unknown]\nk=v\n");
        profile.setValue("MISC", "Button Bar", "2");
        profile.setValue("Misc", "New", "line\nbreak");
        profile.setValue("Reports", "Last Report", "3");
        QCOMPARE(profile.toBytes(), QByteArray("[Misc]\nbutton bar=2\nMy Key=x\nNew=line break\n\n"
                                               "[Unknown]\nk=v\n\n[Reports]\nLast Report=3\n"));
        QCOMPARE(ProfileFile::parse(profile.toBytes()).toBytes(), profile.toBytes());
    }

    void addMissingKeepsOwnValues()
    {
        ProfileFile mine = ProfileFile::parse("[A]\nx=1\n");
        mine.addMissing(ProfileFile::parse("[a]\nX=9\ny=2\n[B]\nz=3\n"));
        QCOMPARE(mine.toBytes(), QByteArray("[A]\nx=1\ny=2\n\n[B]\nz=3\n"));
    }

    void saveReplacesWholeFile()
    {
        TempDir temp;
        fs::path path = fs::path(temp.dir()) / "new dir" / "SHVBOOK.INI";
        QVERIFY(ProfileFile::load(path).sections().isEmpty()); // no file: empty, no error
        ProfileFile first = ProfileFile::parse("[Misc]\nA=1\nLong=" + QByteArray(5000, 'x') + "\n");
        first.save(path); // creates the missing directory
        ProfileFile second = ProfileFile::parse("[Misc]\nA=2\n");
        second.save(path);
        QCOMPARE(ProfileFile::load(path).toBytes(), second.toBytes());
        QCOMPARE(entries(path.parent_path()), QStringList{"SHVBOOK.INI"}); // no temporary file left
    }

    void saveThroughLinkKeepsLink()
    {
        TempDir temp;
        fs::path target = fs::path(temp.dir()) / "real.ini";
        fs::path link = fs::path(temp.dir()) / "SHVBOOK.INI";
        fs::create_symlink(target, link);
        ProfileFile::parse("[Misc]\nA=1\n").save(link);
        QVERIFY(fs::is_symlink(link));
        QCOMPARE(ProfileFile::load(target).value("Misc", "A"), std::optional<QString>("1"));
    }

    // Runs as root in CI, so permissions cannot make the failures: a directory stands in
    // the file's place, or a file in the directory's.
    void failuresNameFileAndReason_data()
    {
        QTest::addColumn<QString>("blocker"); // made a directory (ends in /) or a file
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("reason"); // errno: the text is in the user's language
        QTest::newRow("file is a directory") << "SHVBOOK.INI/"
                                             << "SHVBOOK.INI" << EISDIR;
        QTest::newRow("directory is a file") << "conf"
                                             << "conf/SHVBOOK.INI" << ENOTDIR;
    }

    void failuresNameFileAndReason()
    {
        QFETCH(QString, blocker);
        QFETCH(QString, target);
        QFETCH(int, reason);
        TempDir temp;
        fs::path dir = temp.dir();
        if (blocker.endsWith('/'))
            fs::create_directory(dir / blocker.chopped(1).toStdString());
        else
            QFile(QString::fromStdString((dir / blocker.toStdString()).string())).open(QIODevice::WriteOnly);
        fs::path path = dir / target.toStdString();
        try {
            ProfileFile::parse("[Misc]\nA=1\n").save(path);
            QFAIL("save did not fail");
        } catch (const platform::ProfileError& error) {
            QCOMPARE(error.path(), path);
            QCOMPARE(error.reason(), std::string(std::strerror(reason)));
            QVERIFY(QString(error.what()).contains(QString::fromStdString(path.string())));
        }
        QCOMPARE(entries(dir), QStringList{blocker.section('/', 0, 0)}); // nothing left behind
        if (blocker.endsWith('/'))
            QVERIFY_THROWS_EXCEPTION(platform::ProfileError, ProfileFile::load(path));
    }

private:
    static QStringList entries(const fs::path& dir)
    {
        QStringList names;
        for (const auto& entry : fs::directory_iterator(dir))
            names << QString::fromStdString(entry.path().filename().string());
        return names;
    }
};

REGISTER_TEST(TestProfileFile)
#include "tst_profilefile.moc"
