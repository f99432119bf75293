#pragma once

#include "db/BookTable.h"
#include "dbase/FileSystem.h"
#include "dbase/Table.h"

#include <memory>
#include <vector>

namespace db {

// A read-only walk over the books of the open book table on a table handle of
// its own, so that a long walk that lets the window repaint never moves the
// grid's current record. The books are those of the table's current order:
// all of them, or only the rows of the current search. The record numbers are
// taken when the cursor is made.
class BookCursor {
public:
    // Throws DatabaseError when the table cannot be opened a second time.
    BookCursor(BookTable& books, bool searchOnly, dbase::FileSystem& fs = dbase::defaultFileSystem());

    void first();
    bool atEnd() const { return m_at >= m_recnos.size(); }
    void next();
    std::size_t count() const { return m_recnos.size(); }
    // The table standing on the current book; valid until the next move.
    const dbase::Table& record() const { return *m_table; }

private:
    void settle();

    std::unique_ptr<dbase::Table> m_table;
    std::vector<std::uint32_t> m_recnos;
    std::size_t m_at = 0;
};

} // namespace db
