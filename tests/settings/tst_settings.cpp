#include "TestRegistry.h"
#include "platform/ProfileFile.h"
#include "settings/Settings.h"

#include <QTest>

#include <climits>

using platform::ProfileFile;
using settings::Settings;
using settings::WindowGeometry;
Q_DECLARE_METATYPE(WindowGeometry)

namespace {

Settings readSettings(const QByteArray& ini)
{
    Settings settings(QStringLiteral("/start"));
    settings.read(ProfileFile::parse(ini));
    return settings;
}

ProfileFile written(const Settings& settings)
{
    ProfileFile file;
    settings.write(file);
    return file;
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

private slots:
    void noFileGivesDefaults()
    {
        Settings settings = readSettings({});
        QCOMPARE(settings.buttonBar, 1);
        QCOMPARE(settings.mainWindow, (WindowGeometry{0, 0, 640, 480}));
        QCOMPARE(settings.windowSize, 640);
        QCOMPARE(settings.dateFormat, 1);
        QVERIFY(!settings.dateLeadingZeros);
        QCOMPARE(settings.sortOrder, (std::array<int, 4>{2, 0, 0, 0}));
        QCOMPARE(settings.lastImportFile, "/start");
        for (std::size_t i = 0; i < settings.fields.size(); ++i) {
            QCOMPARE(settings.fields[i].width, 15);
            QVERIFY(settings.fields[i].display);
            QCOMPARE(settings.fields[i].order, int(i) + 1);
        }
        QCOMPARE(settings.fields[11].title, "Purchase Date");
        QCOMPARE(settings.color(settings::WindowGroup::Configure, settings::SchemeColor::CheckBackground),
                 12632256);
        QCOMPARE(settings.gridTitleFont.size, 12);
        QCOMPARE(settings.gridFont.size, 10);
    }

    // Each text is read by the rules, then written back as the program writes it.
    void readingRules_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("writtenBack");
        const QString longPath = "/" + QString(300, 'p');
        // clang-format off
        QTest::newRow("number and garbage") << "Misc" << "Button Bar" << " -12abc" << "-12";
        QTest::newRow("plus sign") << "Misc" << "Button Bar" << "+3" << "3";
        QTest::newRow("no leading digit") << "Misc" << "Button Bar" << "x12" << "0";
        QTest::newRow("sign then blank") << "Misc" << "Button Bar" << "- 5" << "0";
        QTest::newRow("huge") << "Misc" << "Main Window Width" << "99999999999999"
                              << QString::number(INT_MAX);
        QTest::newRow("huge negative") << "Misc" << "Main Window Left" << "-9999999999999"
                                       << QString::number(INT_MIN);
        QTest::newRow("14 characters read") << "Misc" << "Date Format" << "00000000000001" "2" << "1";
        QTest::newRow("yes any case") << "Misc" << "Show Tips" << "yEs" << "Yes";
        QTest::newRow("Y is no") << "Misc" << "Show Tips" << "Y" << "No";
        QTest::newRow("yes and more is no") << "Misc" << "Date Leading Zeros" << "yes!" << "No";
        QTest::newRow("only a-z upper-cased") << "Misc" << "Show Tips" << QString::fromUtf8("ye\xC5\xBF")
                                              << "No";
        QTest::newRow("colour 255 stays") << "Main Window Color" << "Main Background" << "255" << "255";
        QTest::newRow("colour negative") << "Main Window Color" << "Main Background" << "-1" << "12632256";
        QTest::newRow("colour too large") << "Edit Window Color" << "Edit Background" << "99999999999999"
                                          << "16777215";
        QTest::newRow("colour top byte masked") << "Search Window Color" << "Major Title" << "33488896"
                                                << "16711680";
        QTest::newRow("colour not a number") << "Report Window Color" << "Radio Background" << "grey"
                                             << "12632256";
        QTest::newRow("system colour") << "Grid Options" << "Cell Color" << "-2147483633" << "-2147483633";
        QTest::newRow("Window Size kept") << "Misc" << "Window Size" << "1024" << "1024";
        QTest::newRow("path cut to 249") << "Misc" << "Last File 5" << longPath << longPath.left(249);
        QTest::newRow("title cut to 20") << "Field Names" << "UserDef6" << QString(30, 't')
                                         << QString(20, 't');
        QTest::newRow("empty title kept") << "Field Names" << "Title" << "" << "";
        QTest::newRow("font name 149") << "Label Font" << "Font Name" << QString(200, 'f')
                                       << QString(149, 'f');
        QTest::newRow("grid font size 149") << "Grid Font" << "Size" << QString(140, ' ') + "14" << "14";
        QTest::newRow("other values 14") << "Grid Title" << "Alignment" << QString(14, ' ') + "1" << "0";
        QTest::newRow("field key without case") << "FIELD WIDTH" << "yearpub" << "7" << "7";
        // clang-format on
    }

    void readingRules()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(QString, writtenBack);
        ProfileFile file;
        file.setValue(section, key, text);
        Settings settings(QStringLiteral("/start"));
        settings.read(file);
        QCOMPARE(written(settings).value(section, key), std::optional<QString>(writtenBack));
    }

    // Every key written is read back: change each to another value, read, write again.
    void everyKeyRoundTrips()
    {
        ProfileFile file = written(Settings());
        const QStringList sections = file.sections();
        QCOMPARE(sections.size(), 23);
        QCOMPARE(sections.first(), "Misc");
        QCOMPARE(sections.mid(9, 2), QStringList({"Sort Order", "Main Window Color"}));
        QCOMPARE(sections.last(), "Reports");
        int count = 0;
        for (const QString& section : sections) {
            for (const QString& key : file.keys(section)) {
                QString value = *file.value(section, key);
                bool isNumber = false;
                int number = value.toInt(&isNumber);
                if (value == "Yes" || value == "No")
                    value = value == "Yes" ? "No" : "Yes";
                else if (isNumber) // white stays a colour: above it only the low three bytes count
                    value = QString::number(number + (number >= 0xFFFFFF ? -1000 : 1000) + count);
                else
                    value = "T" + QString::number(count);
                file.setValue(section, key, value);
                ++count;
            }
        }
        QCOMPARE(count, 20 + 6 * 36 + 3 + 2 + 4 + 5 * 13 + 3 + 2 * 7 + 5 + 3 * 3 + 6);
        Settings changed;
        changed.read(file);
        QVERIFY(changed != Settings());
        QCOMPARE(written(changed).toBytes(), file.toBytes());
    }

    void unknownEntriesKeptAfterKnownOnes()
    {
        ProfileFile file =
            ProfileFile::parse("[Unknown]\nk=v\n[misc]\nOld Key=1\nbutton bar=3\nButton Bar=2\n");
        Settings settings = readSettings(file.toBytes());
        QCOMPARE(settings.buttonBar, 3); // the first of duplicate keys
        settings.write(file);
        QCOMPARE(file.sections().first(), "Misc");
        QCOMPARE(file.sections().last(), "Unknown");
        QCOMPARE(file.keys("Misc").last(), "Old Key");
        QCOMPARE(file.keys("Misc").filter("button bar", Qt::CaseInsensitive).size(), 1);
    }

    void garbageFileReadsByTheRules()
    {
        Settings settings = readSettings(
            "\x01\xffgarbage\n[Misc\nButton Bar=banana\nMain Window Top=-300px\n[]\nShow Tips=no\n"
            "[Sort Order]\nPrimary Sort=5\nPrimary Sort=9\n[Grid Font]=x\n");
        QCOMPARE(settings.buttonBar, 0);
        QCOMPARE(settings.mainWindow.top, -300);
        QVERIFY(settings.showTips); // the key lies outside any section
        QCOMPARE(settings.sortOrder[0], 5);
    }

    void keepOnScreen_data()
    {
        QTest::addColumn<WindowGeometry>("saved");
        QTest::addColumn<WindowGeometry>("kept");
        const int big = INT_MAX;
        QTest::newRow("on screen") << WindowGeometry{10, 20, 640, 480} << WindowGeometry{10, 20, 640, 480};
        QTest::newRow("negative") << WindowGeometry{-300, -5, 640, 480} << WindowGeometry{0, 0, 640, 480};
        QTest::newRow("past right edge")
            << WindowGeometry{500, 100, 640, 480} << WindowGeometry{160, 100, 640, 480};
        QTest::newRow("huge") << WindowGeometry{big, big, big, big} << WindowGeometry{0, 0, 800, 600};
        QTest::newRow("no size") << WindowGeometry{0, 0, 0, -9} << WindowGeometry{0, 0, 640, 480};
    }

    void keepOnScreen()
    {
        QFETCH(WindowGeometry, saved);
        QFETCH(WindowGeometry, kept);
        QCOMPARE(settings::keepOnScreen(saved, {800, 600}), kept);
    }

    void windowsColours()
    {
        QCOMPARE(settings::colorFromWindows(255), QColor(255, 0, 0));
        QCOMPARE(settings::colorFromWindows(8553090), QColor(130, 130, 130));
        QCOMPARE(settings::windowsColor(QColor(0, 0, 255)), 16711680);
    }

    void pathLimit()
    {
        QVERIFY(settings::pathFitsSettings(QString(249, 'p')));
        QVERIFY(!settings::pathFitsSettings(QString(250, 'p')));
        QVERIFY(settings::pathTooLongMessage(QString(250, 'p')).contains("249"));
    }
};

REGISTER_TEST(TestSettings)
#include "tst_settings.moc"
