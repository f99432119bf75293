#include "Volumes.h"

#include <QDir>
#include <QLocale>
#include <QStorageInfo>
#include <algorithm>

namespace platform {
namespace {

// File systems that hold no user files, or vanish with the machine's power.
bool isPseudo(const QByteArray& type)
{
    static const QList<QByteArray> kPseudo{
        "proc",       "sysfs",      "devtmpfs",    "devpts",         "tmpfs",       "ramfs",    "cgroup",
        "cgroup2",    "securityfs", "debugfs",     "tracefs",        "pstore",      "bpf",      "mqueue",
        "hugetlbfs",  "configfs",   "fusectl",     "autofs",         "binfmt_misc", "efivarfs", "nsfs",
        "rpc_pipefs", "squashfs",   "fuse.portal", "fuse.gvfsd-fuse"};
    return type.isEmpty() || kPseudo.contains(type);
}

bool isUnder(const QString& path, const QString& root)
{
    if (root == QLatin1String("/"))
        return path.startsWith(QLatin1Char('/'));
    return path == root || path.startsWith(root + QLatin1Char('/'));
}

} // namespace

bool isRemovableMount(const QString& rootPath)
{
    return isUnder(rootPath, QStringLiteral("/media")) || isUnder(rootPath, QStringLiteral("/run/media"));
}

std::vector<Volume> mountedVolumes()
{
    std::vector<Volume> volumes;
    for (const QStorageInfo& info : QStorageInfo::mountedVolumes()) {
        Volume volume;
        volume.rootPath = info.rootPath();
        volume.name = info.name().isEmpty() ? QString::fromLocal8Bit(info.device()) : info.name();
        volume.fileSystemType = info.fileSystemType();
        volume.bytesAvailable = info.bytesAvailable();
        volume.valid = info.isValid();
        volume.ready = info.isReady();
        volume.readOnly = info.isReadOnly();
        volume.removable = isRemovableMount(volume.rootPath);
        volumes.push_back(volume);
    }
    return volumes;
}

std::vector<Volume> backupVolumes(std::vector<Volume> mounted)
{
    std::erase_if(mounted, [](const Volume& v) {
        return !v.valid || !v.ready || v.readOnly || isPseudo(v.fileSystemType);
    });
    std::stable_sort(mounted.begin(), mounted.end(), [](const Volume& a, const Volume& b) {
        if (a.removable != b.removable)
            return a.removable;
        return a.rootPath < b.rootPath;
    });
    return mounted;
}

QString volumeCaption(const Volume& volume)
{
    return QStringLiteral("%1 (%2), %3 free")
        .arg(volume.name, QDir::toNativeSeparators(volume.rootPath),
             QLocale::system().formattedDataSize(volume.bytesAvailable, 1, QLocale::DataSizeSIFormat));
}

int volumeOf(const std::vector<Volume>& volumes, const QString& directory)
{
    const QString path = QDir::cleanPath(QDir(directory).absolutePath());
    int best = -1;
    for (std::size_t i = 0; i < volumes.size(); ++i)
        if (isUnder(path, volumes[i].rootPath) &&
            (best < 0 ||
             volumes[i].rootPath.size() > volumes[static_cast<std::size_t>(best)].rootPath.size()))
            best = static_cast<int>(i);
    return best;
}

} // namespace platform
