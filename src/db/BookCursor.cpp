#include "db/BookCursor.h"

#include "db/BookExport.h"

namespace db {

BookCursor::BookCursor(BookTable& books, bool searchOnly, dbase::FileSystem& fs)
    : m_table(dbase::Table::open(books.table().path(), dbase::Access::Shared, fs)),
      m_recnos(exportRecords(books, searchOnly, *m_table))
{
    settle();
}

void BookCursor::first()
{
    m_at = 0;
    settle();
}

void BookCursor::next()
{
    ++m_at;
    settle();
}

// A book another copy of the program deleted since the walk began is passed over.
void BookCursor::settle()
{
    while (m_at < m_recnos.size() && !m_table->gotoBookmark(m_recnos[m_at]))
        ++m_at;
}

} // namespace db
