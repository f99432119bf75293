#pragma once

// Book tables, text files and the date format 1 shared by the import and export tests.
#include "BookFixture.h"
#include "TempDir.h"
#include "db/BookTable.h"
#include "dbase/Table.h"
#include "settings/DateFormat.h"

#include <QFile>

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
