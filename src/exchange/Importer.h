#pragma once

#include "db/BookImport.h"
#include "db/BookTable.h"
#include "platform/Dialogs.h"

#include <QStringList>
#include <functional>

namespace exchange {

// Where an import goes and how its values are read. All references must
// outlive the Importer.
struct ImportTarget {
    db::BookTable& books;
    platform::Dialogs& dialogs;
    const db::DateText& dates;
    QChar separator;
    int currentYear;
};

// The import command after the fields are mapped: checks every value of the
// source first, asks once about values that cannot be read, refuses characters
// the table cannot hold, then appends the records in one batch and rebuilds
// the row map once. The grid's current record stays where it was.
class Importer {
public:
    // `names` are the import fields' names, for messages; `unit` is "line" or "record".
    Importer(ImportTarget target, QStringList names, QString unit);

    // The records imported, or -1 when nothing was imported (refused or declined).
    long long run(db::ImportSource& source, const db::ImportMap& map,
                  const std::function<void(long long)>& progress = {});

private:
    QString where(const db::ImportProblem& problem) const;

    ImportTarget m_target;
    QStringList m_names;
    QString m_unit;
};

} // namespace exchange
