#include "ImportFieldMap.h"

#include <algorithm>
#include <utility>

namespace exchange {

ImportFieldMap::ImportFieldMap(const QStringList& importNames) : m_names(importNames)
{
    m_rows.resize(static_cast<std::size_t>(std::max<qsizetype>(importNames.size(), kBookRows)));
    for (int i = 0; i < importNames.size(); ++i)
        m_rows[static_cast<std::size_t>(i)] = {i, true};
}

QString ImportFieldMap::nameAt(int r) const
{
    const Row& entry = row(r);
    return entry.importField < 0 ? QStringLiteral("<EMPTY>") : m_names.at(entry.importField);
}

QString ImportFieldMap::useAt(int r) const
{
    const Row& entry = row(r);
    if (entry.importField < 0)
        return {};
    return entry.use ? QStringLiteral("Yes") : QStringLiteral("No");
}

bool ImportFieldMap::moveUp(int r)
{
    if (r <= 0 || r >= rowCount())
        return false;
    std::swap(m_rows[static_cast<std::size_t>(r)], m_rows[static_cast<std::size_t>(r - 1)]);
    return true;
}

bool ImportFieldMap::moveDown(int r)
{
    return r >= 0 && moveUp(r + 1);
}

void ImportFieldMap::toggleUse(int r)
{
    Row& entry = m_rows.at(static_cast<std::size_t>(r));
    if (entry.importField >= 0)
        entry.use = !entry.use;
}

db::ImportMap ImportFieldMap::map() const
{
    db::ImportMap map(static_cast<std::size_t>(m_names.size()), -1);
    for (int r = 0; r < std::min(rowCount(), kBookRows); ++r) {
        const Row& entry = row(r);
        if (entry.importField >= 0 && entry.use)
            map[static_cast<std::size_t>(entry.importField)] = r;
    }
    return map;
}

} // namespace exchange
