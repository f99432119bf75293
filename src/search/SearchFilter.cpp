#include "SearchFilter.h"

namespace search {

dbase::RecordFilter makeRecordFilter(std::shared_ptr<const SearchQuery> query, std::function<bool()> searchOn)
{
    return [query = std::move(query), searchOn = std::move(searchOn)](const dbase::RecordView& record) {
        return (searchOn && !searchOn()) || query->matches(record);
    };
}

bool applyRecordFilter(db::BookTable& table, dbase::RecordFilter filter)
{
    table.setFilter(std::move(filter));
    table.gotoRow(0);
    return table.rowCount() > 0;
}

} // namespace search
