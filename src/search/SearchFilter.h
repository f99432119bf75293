#pragma once

#include "search/SearchQuery.h"

#include "db/BookTable.h"
#include "dbase/Table.h"

#include <functional>
#include <memory>

namespace search {

// The book table's record filter for an accepted query: while `searchOn`
// answers false every record passes (a command that ends the search for its
// own run sees the whole table), else the records `query` matches. The filter
// shares `query`, which nobody changes any more; the query the search window
// is editing never reaches it.
dbase::RecordFilter makeRecordFilter(std::shared_ptr<const SearchQuery> query,
                                     std::function<bool()> searchOn);

// Installs `filter` on `table`, which walks the whole order again (the row map
// and the count then see only what it passes), and makes the first record that
// passes current. Answers whether any record passes. Engine errors are thrown.
bool applyRecordFilter(db::BookTable& table, dbase::RecordFilter filter);

} // namespace search
