#include "db/SafetyCopies.h"

#include "db/DurableFile.h"
#include "dbase/Bytes.h"
#include "dbase/DatabaseError.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <optional>

namespace db {

namespace {

const QString kInfoName = QStringLiteral("COPY.INF");
const QString kIncoming = QStringLiteral(".incoming-");
const QString kTimeFormat = QStringLiteral("yyyyMMdd-HHmmss-zzz");

std::string native(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

// What tells whether a file changed since it was copied: its size and time of change.
QString stampOf(const QString& path)
{
    const QFileInfo info(path);
    return QStringLiteral("%1\t%2\t%3")
        .arg(info.fileName())
        .arg(info.size())
        .arg(info.lastModified().toMSecsSinceEpoch());
}

struct Info {
    QString source;
    QString table;
    QDateTime made;
    std::uint32_t records = 0;
    QStringList stamps;
};

std::optional<Info> readInfo(const QString& directory)
{
    QFile file(directory + QLatin1Char('/') + kInfoName);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    Info info;
    for (const QString& line :
         QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString key = line.left(eq), value = line.mid(eq + 1);
        if (key == QLatin1String("source"))
            info.source = value;
        else if (key == QLatin1String("table"))
            info.table = value;
        else if (key == QLatin1String("made"))
            info.made = QDateTime::fromString(value, Qt::ISODateWithMs);
        else if (key == QLatin1String("records"))
            info.records = value.toUInt();
        else if (key == QLatin1String("file"))
            info.stamps << value;
    }
    if (info.table.isEmpty() || !info.made.isValid() ||
        !QFileInfo::exists(directory + QLatin1Char('/') + info.table))
        return std::nullopt;
    return info;
}

std::uint32_t recordsIn(const QString& table)
{
    QFile file(table);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(4))
        return 0;
    const QByteArray count = file.read(4);
    return count.size() == 4 ? dbase::get32(reinterpret_cast<const std::uint8_t*>(count.constData())) : 0;
}

// Copy folders of one database, newest first.
QStringList copyFolders(const QString& folder)
{
    QStringList names =
        QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed);
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const QString& name) { return name.startsWith(QLatin1Char('.')); }),
                names.end());
    return names;
}

} // namespace

SafetyCopies::SafetyCopies(QString root, dbase::FileSystem& fs) : m_root(std::move(root)), m_fs(fs) {}

QString SafetyCopies::folderFor(const QString& table) const
{
    const QFileInfo info(table);
    const QString path = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    // Two databases of one name in different folders keep apart.
    const QByteArray hash = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1).toHex().left(8);
    return m_root + QLatin1Char('/') + info.completeBaseName().toUpper() + QLatin1Char('-') +
           QString::fromLatin1(hash);
}

std::vector<SafetyCopy> SafetyCopies::list() const
{
    std::vector<SafetyCopy> copies;
    const QDir root(m_root);
    for (const QString& database : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString folder = root.filePath(database);
        for (const QString& name : copyFolders(folder)) {
            const QString directory = folder + QLatin1Char('/') + name;
            if (std::optional<Info> info = readInfo(directory))
                copies.push_back({directory, directory + QLatin1Char('/') + info->table, info->source,
                                  info->made, info->records});
        }
    }
    std::sort(copies.begin(), copies.end(),
              [](const SafetyCopy& a, const SafetyCopy& b) { return a.made > b.made; });
    return copies;
}

bool SafetyCopies::keep(const QString& table, const QString& dataDir, const QStringList& lists)
{
    const QString folder = folderFor(table);
    QDir(folder).mkpath(QStringLiteral("."));
    // Left by a copy that a crash or a full disk interrupted.
    for (const QString& name :
         QDir(folder).entryList({kIncoming + QLatin1Char('*')}, QDir::Dirs | QDir::Hidden))
        QDir(folder + QLatin1Char('/') + name).removeRecursively();

    QStringList sources{QFileInfo(table).absoluteFilePath()};
    for (const QString& list : lists) {
        const std::string found = dbase::findFileIgnoringCase(native(dataDir), native(list), m_fs);
        if (!found.empty())
            sources << QFile::decodeName(found.c_str());
    }
    QStringList stamps;
    for (const QString& source : sources)
        stamps << stampOf(source);

    const QStringList existing = copyFolders(folder);
    for (const QString& name : existing) {
        if (std::optional<Info> newest = readInfo(folder + QLatin1Char('/') + name)) {
            if (newest->stamps == stamps)
                return false;
            break;
        }
    }

    const QDateTime now = QDateTime::currentDateTime();
    QString name = now.toString(kTimeFormat);
    while (QFileInfo::exists(folder + QLatin1Char('/') + name))
        name += QLatin1Char('a');
    const QString incoming = folder + QLatin1Char('/') + kIncoming + name;
    const QString final = folder + QLatin1Char('/') + name;
    try {
        if (!QDir().mkpath(incoming))
            throw dbase::DatabaseError("The folder " + native(incoming) + " could not be created.");
        for (const QString& source : sources)
            copyFile(native(source), native(incoming + QLatin1Char('/') + QFileInfo(source).fileName()), {},
                     m_fs);
        const QString tableName = QFileInfo(table).fileName();
        QString text =
            QStringLiteral("source=%1\ntable=%2\nmade=%3\nrecords=%4\n")
                .arg(QFileInfo(table).absoluteFilePath(), tableName, now.toString(Qt::ISODateWithMs))
                .arg(recordsIn(incoming + QLatin1Char('/') + tableName));
        for (const QString& stamp : stamps)
            text += QStringLiteral("file=") + stamp + QLatin1Char('\n');
        const std::string bytes = text.toStdString();
        replaceFile(
            native(incoming + QLatin1Char('/') + kInfoName),
            [&](dbase::File& out) { out.writeAt(0, bytes.data(), bytes.size()); }, m_fs);
        m_fs.rename(native(incoming), native(final));
        m_fs.syncDirectory(native(folder));
    } catch (...) {
        QDir(incoming).removeRecursively();
        throw;
    }

    const QStringList all = copyFolders(folder);
    for (qsizetype i = kKept; i < all.size(); ++i)
        QDir(folder + QLatin1Char('/') + all[i]).removeRecursively();
    return true;
}

} // namespace db
