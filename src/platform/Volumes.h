#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace platform {

// A mounted file system, as a drive was once: where it is mounted, what it is
// called and how much room it has.
struct Volume {
    QString rootPath;
    QString name; // the label, else the device
    QByteArray fileSystemType;
    qint64 bytesAvailable = 0; // for an ordinary user; the root reserve is not counted
    bool valid = true;
    bool ready = true;
    bool readOnly = false;
    bool removable = false;
};

// Whether a file system mounted at `rootPath` is removable media: the desktop
// mounts those under /media and /run/media.
bool isRemovableMount(const QString& rootPath);

// Every mounted volume, as the system reports it.
std::vector<Volume> mountedVolumes();

// The volumes a backup can go to: ready, writable, real file systems (no /proc,
// no memory file systems and the like), removable media first, then by mount point.
std::vector<Volume> backupVolumes(std::vector<Volume> mounted);

// "NAME (/mount/point), 1.4 GB free"
QString volumeCaption(const Volume& volume);

// Position of the volume that holds `directory` (the longest mount point it lies
// under), or -1 when none does.
int volumeOf(const std::vector<Volume>& volumes, const QString& directory);

} // namespace platform
