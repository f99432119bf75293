#pragma once

#include "dbase/FileSystem.h"

#include <QStringList>
#include <string>

namespace db {

// The distinct texts of field `field` over the records of the table at `path` that are
// not deleted, read through a handle of its own, so the order, filter and current record
// of any table open on that file stay as they are. Blanks around each text are removed,
// empty texts left out, letter case counts ("Smith" is not "smith"); the texts come in
// the order first met in the file. Throws DatabaseError when the table cannot be opened
// or has no such field.
QStringList distinctFieldTexts(const std::string& path, const std::string& field,
                               dbase::FileSystem& fs = dbase::defaultFileSystem());

} // namespace db
