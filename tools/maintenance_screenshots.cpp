// shelvano_maintenance_screenshots DATA_DIR OUT_DIR
//
// Saves the backup and restore windows (each choice of what to copy, with a
// removable volume in the list whether or not the machine has one) and every
// question and refusal of the maintenance commands to OUT_DIR as PNG files.
#include "ScreenshotProgram.h"
#include "app/TMyBackup.h"
#include "app/TMyRestore.h"
#include "db/LegacyConversion.h"
#include "db/Maintenance.h"
#include "platform/QtDialogs.h"

#include <QApplication>
#include <QDir>
#include <QRadioButton>
#include <QStyle>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>

namespace {

bool ok = true;

void save(QWidget* window, const QString& file)
{
    QTest::qWait(150);
    const bool saved = window && window->grab().save(file);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(file));
    ok &= saved;
}

// Saves the next modal box `work` shows, then answers it with Escape.
void saveNextBox(const QString& file, const std::function<void()>& work)
{
    QTimer::singleShot(300, [file] {
        QWidget* box = QApplication::activeModalWidget();
        save(box, file);
        if (box)
            QTest::keyClick(box, Qt::Key_Escape);
    });
    work();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(QApplication::style()->standardPalette());
    if (argc != 3) {
        std::fprintf(stderr, "usage: shelvano_maintenance_screenshots DATA_DIR OUT_DIR\n");
        return 2;
    }
    const std::filesystem::path data = argv[1];
    const QString dataDir = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    platform::QtDialogs dialogs;
    ScreenshotProgram program(data);
    platform::FixedScreen& screen = program.screen;
    TMain& main = program.windows.main;
    if (!program.start())
        return 1;

    db::Backup backup(main.database(), main.bookTable(), dialogs, dataDir, {});
    // A stick that is a directory here, so that the tree has something to show.
    QTemporaryDir stickDir;
    QDir(stickDir.path()).mkpath(QStringLiteral("Backups/2026"));
    QDir(stickDir.path()).mkpath(QStringLiteral("Photos"));
    auto volumes = [&stickDir] {
        std::vector<platform::Volume> all = platform::mountedVolumes();
        platform::Volume stick;
        stick.rootPath = stickDir.path();
        stick.removable = true;
        stick.name = QStringLiteral("BACKUP STICK");
        stick.fileSystemType = "vfat";
        stick.bytesAvailable = 7'812'345'678;
        all.push_back(stick);
        return all;
    };
    BackupWindowServices services{
        backup, main.settings(), main.fonts(), main.scaleFactor(), screen.size(), QString(), {}, {}, volumes};
    {
        TMyBackup window(services, &main);
        window.show();
        const char* choices[] = {"BackDBF", "BackLST", "BackURP"};
        for (const char* choice : choices) {
            window.findChild<QRadioButton*>(QLatin1String(choice))->setChecked(true);
            save(&window, QStringLiteral("%1/backup-%2.png").arg(out, QLatin1String(choice)));
        }
        window.DriveBoxChange(0);
        save(&window, out + QStringLiteral("/backup-removable.png"));
        saveNextBox(out + QStringLiteral("/backup-identical.png"), [&] { backup.backUpDatabase(dataDir); });
    }
    {
        TMyRestore window(services, &main);
        window.show();
        const char* choices[] = {"RestoreDBF", "RestoreLST", "RestoreURP"};
        for (const char* choice : choices) {
            window.findChild<QRadioButton*>(QLatin1String(choice))->setChecked(true);
            save(&window, QStringLiteral("%1/restore-%2.png").arg(out, QLatin1String(choice)));
        }
    }

    db::Maintenance maintenance(main.bookTable(), dialogs, {});
    saveNextBox(out + QStringLiteral("/pack-question.png"), [&] { maintenance.MenuPackClick(); });
    saveNextBox(out + QStringLiteral("/rebuild-question.png"), [&] { maintenance.MenuRebuildClick(); });

    // An old file of each version in a directory of its own.
    QTemporaryDir old;
    db::LegacyConversion conversion(main.bookTable(), dialogs);
    for (bool v1 : {false, true}) {
        using K = dbase::FieldSpec::Kind;
        std::vector<dbase::FieldSpec> fields{{"BOOKNO", K::Character, 6}};
        const char* names1[] = {"TITLE",      "AUTHOR",   "YEARPUB",    "PUBLISHER",  "CATEGORY",
                                "WHEREPURCH", "COST",     "VALUE",      "DESCRIPTIO", "ISBN",
                                "RATING",     "PURCHDAY", "PURCHMONTH", "PURCHYEAR"};
        const char* names2[] = {"TITLE",      "AUTHOR",    "YEARPUB",   "PUBLISHER",  "CATEGORY",
                                "WHEREPURCH", "COST",      "VALUE",     "DESCRIPTIO", "ISBN",
                                "RATING",     "PURCHDATE", "BOOKTYPE",  "CATALOGNUM", "SUB1",
                                "SUB2",       "CHECKOUT",  "CHECKDATE", "CHECKPERSO", "VOLUME",
                                "ISSUE",      "EDITION",   "KEYWORDS",  "PAGES",      "LOCATION"};
        if (v1)
            for (const char* name : names1)
                fields.push_back({name, K::Character, 10});
        else
            for (const char* name : names2)
                fields.push_back({name, K::Character, 10});
        const QString path = old.path() + (v1 ? QStringLiteral("/BLOG.DBF") : QStringLiteral("/B2LOG.DBF"));
        dbase::Table::create(path.toStdString(), fields);
        saveNextBox(out + (v1 ? QStringLiteral("/convert-1x.png") : QStringLiteral("/convert-2x.png")),
                    [&] { conversion.CheckForConversion(old.path(), false); });
        QFile::remove(path);
    }
    return ok ? 0 : 1;
}
