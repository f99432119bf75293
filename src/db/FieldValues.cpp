#include "FieldValues.h"

#include "dbase/DatabaseError.h"
#include "dbase/Table.h"

#include <QSet>

namespace db {

QStringList distinctFieldTexts(const std::string& path, const std::string& field, dbase::FileSystem& fs)
{
    auto table = dbase::Table::openIgnoringIndex(path, dbase::Access::ReadOnly, fs);
    const int index = table->fieldIndex(field);
    if (index < 0)
        throw dbase::DatabaseError("The database " + path + " has no field " + field + ".");
    table->setOrder({}); // the file's order: no index page is read
    QStringList texts;
    QSet<QString> seen;
    for (table->first(); !table->eof(); table->next()) {
        QString text = QString::fromStdString(table->text(index)).trimmed();
        if (!text.isEmpty() && !seen.contains(text)) {
            seen.insert(text);
            texts.append(std::move(text));
        }
    }
    return texts;
}

} // namespace db
