#pragma once

#include <QString>
#include <QStringList>

namespace exchange {

// Whether two paths reach one file, by the file's identity (device and inode)
// rather than by spelling: "..", "./", symlinks and bind mounts all count.
// A path that does not exist is the same as no existing file.
bool sameFile(const QString& a, const QString& b);

// The first of `owned` that `path` reaches, or an empty string.
QString ownedFileReached(const QString& path, const QStringList& owned);

// The files of `dataDir` that the program keeps, found whatever their letter
// case: the pick lists (*.LST) and the report definitions (SHVBOOK.URP).
QStringList programFilesIn(const QString& dataDir);

} // namespace exchange
