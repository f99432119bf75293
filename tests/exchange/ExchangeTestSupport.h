#pragma once

// Book tables, text files and the date format 1 shared by the import and export tests.
#include "BookFixture.h"
#include "TempDir.h"
#include "db/BookTable.h"
#include "dbase/DatabaseError.h"
#include "dbase/Table.h"
#include "settings/DateFormat.h"

#include <QFile>
#include <cerrno>

// Date format 1 (m/d/yy) as it reads in 2026.
inline std::unique_ptr<settings::DateFormat> formatOne()
{
    auto dates = std::make_unique<settings::DateFormat>(QStringLiteral("M/d/yy"));
    dates->apply(1, false);
    dates->setToday({2026, 12, 7});
    return dates;
}

inline void writeFile(const std::string& path, const QByteArray& bytes)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", path.c_str());
}

inline std::unique_ptr<db::BookTable> openBooks(const std::string& path)
{
    auto books = std::make_unique<db::BookTable>();
    books->adopt(dbase::Table::open(path));
    return books;
}

// Every field of every record of `table` in physical order, as the engine gives it.
inline QStringList tableTexts(const std::string& path)
{
    auto table = dbase::Table::open(path, dbase::Access::ReadOnly);
    QStringList rows;
    for (table->first(); !table->eof(); table->next()) {
        QStringList fields;
        for (int i = 0; i < static_cast<int>(table->fields().size()); ++i)
            fields << QString::fromStdString(table->text(i));
        rows << fields.join(u'|');
    }
    return rows;
}

// The real file system, except that writes fail (ENOSPC) once `budget` bytes
// are written, and renames fail (EIO) when `failRename` is set.
class FailingFileSystem : public dbase::FileSystem {
public:
    std::int64_t budget = -1; // negative: no limit
    bool failOnce = false;    // after the failing write the budget is unlimited again
    bool failRename = false;

    std::unique_ptr<dbase::File> open(const std::string& path, dbase::OpenMode mode) override
    {
        return std::make_unique<Counted>(*this, real().open(path, mode));
    }
    bool exists(const std::string& path) override { return real().exists(path); }
    void rename(const std::string& from, const std::string& to) override
    {
        if (failRename)
            throw dbase::IoError(to, "rename", EIO);
        real().rename(from, to);
    }
    void remove(const std::string& path) override { real().remove(path); }
    void syncDirectory(const std::string& directory) override { real().syncDirectory(directory); }

private:
    static dbase::FileSystem& real() { return dbase::defaultFileSystem(); }

    class Counted : public dbase::ForwardingFile {
    public:
        Counted(FailingFileSystem& fs, std::unique_ptr<dbase::File> inner)
            : ForwardingFile(std::move(inner)), m_fs(fs)
        {
        }
        void writeAt(std::uint64_t o, const void* b, std::size_t n) override
        {
            if (m_fs.budget >= 0) {
                if (static_cast<std::int64_t>(n) > m_fs.budget) {
                    if (m_fs.failOnce)
                        m_fs.budget = -1;
                    throw dbase::IoError(path(), "write", ENOSPC);
                }
                m_fs.budget -= static_cast<std::int64_t>(n);
            }
            inner().writeAt(o, b, n);
        }

    private:
        FailingFileSystem& m_fs;
    };
};
