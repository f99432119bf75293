#include "TestRegistry.h"
#include "platform/Volumes.h"

#include <QTest>

namespace {

platform::Volume volume(const char* root, const char* type, bool readOnly = false, bool ready = true)
{
    platform::Volume v;
    v.rootPath = QString::fromLatin1(root);
    v.name = v.rootPath;
    v.fileSystemType = type;
    v.readOnly = readOnly;
    v.ready = ready;
    v.removable = platform::isRemovableMount(v.rootPath);
    return v;
}

QStringList roots(const std::vector<platform::Volume>& volumes)
{
    QStringList list;
    for (const platform::Volume& v : volumes)
        list << v.rootPath;
    return list;
}

} // namespace

class TestVolumes : public QObject {
    Q_OBJECT

private slots:
    // Only writable, ready, real file systems; removable media first.
    void backupVolumesChosen()
    {
        const std::vector<platform::Volume> mounted{
            volume("/", "ext4"),
            volume("/proc", "proc"),
            volume("/run", "tmpfs"),
            volume("/home", "btrfs"),
            volume("/media/ann/STICK", "vfat"),
            volume("/media/ann/CDROM", "iso9660", true),
            volume("/run/media/ann/DISK", "exfat"),
            volume("/mnt/gone", "nfs", false, false),
            volume("/snap/core/1", "squashfs", true),
        };
        QCOMPARE(roots(platform::backupVolumes(mounted)),
                 QStringList({"/media/ann/STICK", "/run/media/ann/DISK", "/", "/home"}));
    }

    void removableMounts_data()
    {
        QTest::addColumn<QString>("root");
        QTest::addColumn<bool>("removable");
        QTest::newRow("desktop media") << "/media/ann/STICK" << true;
        QTest::newRow("run media") << "/run/media/ann/DISK" << true;
        QTest::newRow("a name that only starts alike") << "/mediatheque" << false;
        QTest::newRow("run") << "/run/user" << false;
        QTest::newRow("root") << "/" << false;
    }
    void removableMounts()
    {
        QFETCH(QString, root);
        QFETCH(bool, removable);
        QCOMPARE(platform::isRemovableMount(root), removable);
    }

    void volumeOfDirectory_data()
    {
        QTest::addColumn<QString>("directory");
        QTest::addColumn<int>("volume");
        QTest::newRow("root") << "/" << 0;
        QTest::newRow("on the root") << "/srv/x" << 0;
        QTest::newRow("longest mount point") << "/home/ann" << 1;
        QTest::newRow("a name that only starts alike") << "/homework" << 0;
        QTest::newRow("the mount point itself") << "/media/ann/STICK" << 2;
    }
    void volumeOfDirectory()
    {
        QFETCH(QString, directory);
        QFETCH(int, volume);
        const std::vector<platform::Volume> volumes{::volume("/", "ext4"), ::volume("/home", "ext4"),
                                                    ::volume("/media/ann/STICK", "vfat")};
        QCOMPARE(platform::volumeOf(volumes, directory), volume);
    }
};

REGISTER_TEST(TestVolumes)
#include "tst_volumes.moc"
