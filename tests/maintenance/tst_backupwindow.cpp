#include "MaintenanceFixture.h"
#include "TestRegistry.h"
#include "app/MaintenanceCommands.h"
#include "app/TMyBackup.h"
#include "app/TMyRestore.h"

#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

// A main window's worth of state around one book database, and a backup medium as the only volume.
struct Desk {
    TempDir data, media;
    db::BookTable table;
    platform::ScriptedDialogs dialogs;
    db::BookDatabase database{table, dialogs, {}};
    db::Backup backup{database, table, dialogs, QString::fromStdString(data.dir()), {}};
    settings::Settings settings;
    settings::SharedFonts fonts;
    QStringList remembered;

    Desk()
    {
        makeBooks(data.path("MASTER.DBF"), {"a", "b"});
        database.OpenSaveFile(QString::fromStdString(data.path("MASTER.DBF")));
        QDir(QString::fromStdString(media.dir())).mkpath("Backups/2026");
    }
    BackupWindowServices services(const QString& last)
    {
        const QString root = QString::fromStdString(media.dir());
        return {backup,
                settings,
                fonts,
                1.0,
                QSize(1280, 1024),
                last,
                [this](const QString& directory) { remembered << directory; },
                {},
                [root] {
                    platform::Volume stick;
                    stick.rootPath = root;
                    stick.name = "STICK";
                    stick.fileSystemType = "vfat";
                    stick.removable = true;
                    return std::vector<platform::Volume>{stick};
                }};
    }
};

} // namespace

class TestBackupWindow : public QObject {
    Q_OBJECT

private slots:
    // The window starts in the last backup directory, backs up there, remembers it and offers Close.
    void backsUpIntoChosenDirectory()
    {
        Desk desk;
        const QString last = QString::fromStdString(desk.media.path("Backups/2026"));
        TMyBackup window(desk.services(last));
        window.show();
        QCOMPARE(window.directory(), last);
        window.findChild<QPushButton*>("StartButton")->click();
        QVERIFY(QFileInfo::exists(last + "/MASTER.DBF"));
        QCOMPARE(desk.remembered, QStringList(last));
        QCOMPARE(window.findChild<QPushButton*>("CancelButton")->text(), "&Close");
        QCOMPARE(messagesOf(desk.dialogs, "Notice"), QStringList("Backup completed successfully."));
    }

    // A last directory that is gone starts at its nearest existing parent; one off every volume at the
    // volume's top.
    void startDirectory_data()
    {
        QTest::addColumn<QString>("last");
        QTest::addColumn<QString>("shown");
        QTest::newRow("gone") << "Backups/2026/gone/deeper"
                              << "Backups/2026";
        QTest::newRow("none yet") << ""
                                  << "";
    }
    void startDirectory()
    {
        QFETCH(QString, last);
        QFETCH(QString, shown);
        Desk desk;
        const QString root = QString::fromStdString(desk.media.dir());
        // Home is on no volume of this window: it starts at the top of the first.
        TMyBackup window(desk.services(last.isEmpty() ? QString() : root + "/" + last));
        QCOMPARE(window.directory(), shown.isEmpty() ? root : root + "/" + shown);
    }

    // The last backup directory lives in the settings file beside the program's own keys.
    void lastDirectoryKept()
    {
        TempDir config;
        const std::filesystem::path file = config.path("SHVBOOK.INI");
        patchFile(file.string(), 0, "[Options]\r\nSort Order=1\r\n");
        QCOMPARE(MaintenanceCommands::lastBackupDirectory(file), QDir::homePath());
        const QString media = QString::fromStdString(config.dir());
        MaintenanceCommands::rememberBackupDirectory(file, media);
        QCOMPARE(MaintenanceCommands::lastBackupDirectory(file), media);
        QVERIFY(fileBytes(file.string()).contains("Sort Order=1"));
        MaintenanceCommands::rememberBackupDirectory(file, media + "/gone");
        QCOMPARE(MaintenanceCommands::lastBackupDirectory(file), QDir::homePath());
    }

    void restoreOffersClose()
    {
        Desk desk;
        patchFile(desk.media.path("SHVBOOK.URP"), 0, QByteArray(20622, 'u'));
        desk.dialogs.expectOpenFile(QString::fromStdString(desk.media.path("SHVBOOK.URP")));
        TMyRestore window(desk.services(QString::fromStdString(desk.media.dir())));
        window.show();
        window.findChild<QRadioButton*>("RestoreURP")->setChecked(true);
        window.findChild<QPushButton*>("StartButton")->click();
        QCOMPARE(desk.dialogs.fileDialogs().at(0).startDirectory, QString::fromStdString(desk.media.dir()));
        QCOMPARE(fileBytes(desk.data.path("SHVBOOK.URP")), QByteArray(20622, 'u'));
        QCOMPARE(window.findChild<QPushButton*>("CancelButton")->text(), "&Close");
    }
};

REGISTER_TEST(TestBackupWindow)
#include "tst_backupwindow.moc"
