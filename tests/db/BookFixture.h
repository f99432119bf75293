#pragma once

// Small book databases for the tests of the book table boundary.
#include "db/BookSchema.h"
#include "dbase/Table.h"

#include <QFile>

// A book database holding `titles` in this physical order; author "A<i mod 3>", bought on 2001-01-<i+1>.
inline void makeBooks(const std::string& path, const std::vector<std::string>& titles)
{
    dbase::Table::create(path, db::bookFieldSpecs());
    auto table = dbase::Table::open(path, dbase::Access::Exclusive);
    for (std::size_t i = 0; i < titles.size(); ++i) {
        table->append();
        table->setText(0, titles[i]);
        table->setText(1, "A" + std::to_string(i % 3));
        table->setDate(11, {2001, 1, static_cast<int>(i % 28) + 1});
        table->post();
    }
}

inline void addTag(const std::string& path, const std::string& name, const std::string& expression)
{
    dbase::Table::open(path, dbase::Access::Exclusive)->addTag(name, expression);
}

// Overwrites bytes of a file in place (creating it), as another program or a damaged disk would.
inline void patchFile(const std::string& path, qint64 offset, const QByteArray& bytes)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadWrite) || !file.seek(offset) || file.write(bytes) != bytes.size())
        qFatal("cannot patch %s", path.c_str());
}

inline QByteArray fileBytes(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
