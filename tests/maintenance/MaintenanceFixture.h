#pragma once

// Book databases, old-version book files and a second process for the maintenance tests.
#include "BookFixture.h"
#include "TempDir.h"
#include "db/BookTable.h"
#include "dbase/DatabaseError.h"
#include "platform/ScriptedDialogs.h"

#include <QProcess>
#include <QTest>
#include <cerrno>
#include <map>

// The fields of an old book file: a first field of any name, then the version's names.
inline std::vector<dbase::FieldSpec> oldBookFields(bool v1)
{
    using K = dbase::FieldSpec::Kind;
    std::vector<dbase::FieldSpec> specs{
        {"BOOKNO", K::Character, 6},       {"TITLE", K::Character, 90},     {"AUTHOR", K::Character, 90},
        {"YEARPUB", K::Whole, 0},          {"PUBLISHER", K::Character, 60}, {"CATEGORY", K::Character, 20},
        {"WHEREPURCH", K::Character, 30},  {"COST", K::Floating, 0},        {"VALUE", K::Floating, 0},
        {"DESCRIPTIO", K::Character, 110}, {"ISBN", K::Character, 20},      {"RATING", K::Character, 15}};
    if (v1)
        return specs.insert(specs.end(), {{"PURCHDAY", K::Character, 4},
                                          {"PURCHMONTH", K::Character, 4},
                                          {"PURCHYEAR", K::Character, 4}}),
               specs;
    specs.insert(specs.end(), {{"PURCHDATE", K::Date, 0},
                               {"BOOKTYPE", K::Character, 15},
                               {"CATALOGNUM", K::Character, 15},
                               {"SUB1", K::Character, 6},
                               {"SUB2", K::Character, 6},
                               {"CHECKOUT", K::Character, 3},
                               {"CHECKDATE", K::Date, 0},
                               {"CHECKPERSO", K::Character, 30},
                               {"VOLUME", K::Character, 8},
                               {"ISSUE", K::Character, 8},
                               {"EDITION", K::Character, 10},
                               {"KEYWORDS", K::Character, 80},
                               {"PAGES", K::Character, 10},
                               {"LOCATION", K::Character, 30}});
    return specs;
}

// Appends one record of engine texts by field name to the table at `path`.
inline void addRecord(const std::string& path, const std::map<std::string, std::string>& values)
{
    auto table = dbase::Table::open(path, dbase::Access::Exclusive);
    table->append();
    for (const auto& [name, value] : values)
        table->setText(name, value);
    table->post();
}

// The texts of one field over the table's records in physical order.
inline QStringList columnOf(const std::string& path, const std::string& field)
{
    auto table = dbase::Table::open(path);
    QStringList texts;
    for (table->first(); !table->eof(); table->next())
        texts << QString::fromStdString(table->text(field));
    return texts;
}

// Another program holding a table: the engine tests' helper process.
class HeldTable {
public:
    HeldTable(const std::string& path, const char* how)
    {
        m_process.start(SHELVANO_HELPER, {"hold", QString::fromStdString(path), how});
        if (!m_process.waitForReadyRead(10000) || !m_process.readLine().startsWith("ready"))
            qFatal("the helper did not take %s", path.c_str());
    }
    ~HeldTable()
    {
        m_process.write("\n");
        m_process.closeWriteChannel();
        m_process.waitForFinished(10000);
    }

private:
    QProcess m_process;
};

// The real file system on a disk that fills up: writes that grow a file fail with
// ENOSPC once `room` bytes of growth are spent; writes inside a file still succeed.
// With `failFlush`, flushing a file to the device fails, as a pulled stick does.
class FillingFileSystem : public dbase::ForwardingFileSystem {
public:
    std::int64_t room = 0;
    bool failFlush = false;

    std::unique_ptr<dbase::File> open(const std::string& path, dbase::OpenMode mode) override
    {
        return std::make_unique<FillingFile>(*this, dbase::defaultFileSystem().open(path, mode));
    }

private:
    class FillingFile : public dbase::ForwardingFile {
    public:
        FillingFile(FillingFileSystem& fs, std::unique_ptr<dbase::File> inner)
            : ForwardingFile(std::move(inner)), m_fs(fs)
        {
        }
        void writeAt(std::uint64_t o, const void* b, std::size_t n) override
        {
            const std::uint64_t size = inner().size();
            const auto growth = static_cast<std::int64_t>(o + n > size ? o + n - size : 0);
            if (growth > m_fs.room)
                throw dbase::IoError(path(), "write", ENOSPC);
            m_fs.room -= growth;
            inner().writeAt(o, b, n);
        }
        void sync() override
        {
            if (m_fs.failFlush)
                throw dbase::IoError(path(), "flush", EIO);
            inner().sync();
        }

    private:
        FillingFileSystem& m_fs;
    };
};

inline QStringList messagesOf(const platform::ScriptedDialogs& dialogs, const QString& caption)
{
    QStringList texts;
    for (const auto& message : dialogs.transcript())
        if (message.caption == caption)
            texts << message.text;
    return texts;
}
