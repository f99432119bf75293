#include "SameFile.h"

#include <QDir>
#include <filesystem>
#include <system_error>

namespace exchange {

bool sameFile(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    std::error_code error;
    const std::filesystem::path first = std::filesystem::weakly_canonical(a.toStdString(), error);
    if (error)
        return false;
    const std::filesystem::path second = std::filesystem::weakly_canonical(b.toStdString(), error);
    if (error)
        return false;
    bool same = std::filesystem::equivalent(first, second, error);
    return !error && same;
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
