#pragma once

#include "dbase/FileSystem.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace db {

// One kept copy of a database and its pick lists.
struct SafetyCopy {
    QString directory; // the copy's own folder
    QString table;     // the table file in it
    QString source;    // the database it was taken of
    QDateTime made;
    std::uint32_t records = 0; // records in the copied table, deleted ones included
};

// Copies of the database kept by the program itself when it closes, so that a
// collector who overwrote or damaged the catalogue since the last backup can go
// back. Each database has its own folder under `root`; each copy is a folder
// named by its time, written complete under a temporary name and then renamed,
// so a crash or a full disk leaves no half copy among the kept ones.
class SafetyCopies {
public:
    static constexpr int kKept = 5;

    explicit SafetyCopies(QString root, dbase::FileSystem& fs = dbase::defaultFileSystem());

    // Copies of every database, newest first. Folders that are not whole copies are passed over.
    std::vector<SafetyCopy> list() const;

    // Copies `table` and the list files `lists` found in `dataDir` when any of
    // them differs (size or time of change) from the newest copy of that
    // database, then keeps only the newest kKept. Answers whether a copy was
    // made. Throws dbase::DatabaseError when it could not be written (a full
    // disk); the copies kept before are then as they were.
    bool keep(const QString& table, const QString& dataDir, const QStringList& lists);

    // The folder that holds the copies of `table`.
    QString folderFor(const QString& table) const;

private:
    QString m_root;
    dbase::FileSystem& m_fs;
};

} // namespace db
