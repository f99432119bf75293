#include "SameFile.h"

#include "db/DurableFile.h"

#include <QDir>

namespace exchange {

bool sameFile(const QString& a, const QString& b)
{
    return !a.isEmpty() && !b.isEmpty() && db::sameFile(a.toStdString(), b.toStdString());
}

QString ownedFileReached(const QString& path, const QStringList& owned)
{
    for (const QString& file : owned)
        if (sameFile(path, file))
            return file;
    return {};
}

QStringList programFilesIn(const QString& dataDir)
{
    QStringList files;
    const QDir dir(dataDir);
    for (const QString& name : dir.entryList(QDir::Files)) {
        const QString upper = name.toUpper();
        if (upper.endsWith(QLatin1String(".LST")) || upper == QLatin1String("SHVBOOK.URP"))
            files << dir.filePath(name);
    }
    return files;
}

} // namespace exchange
