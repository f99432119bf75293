#include "SortString.h"

#include "db/BookSchema.h"

#include <QStringList>
#include <algorithm>

namespace {

bool chosen(int level)
{
    return level >= 1 && level <= db::kBookFieldCount;
}

QString keyPart(const db::BookField& field, int width)
{
    const QString name = QString::fromLatin1(field.key.data(), static_cast<qsizetype>(field.key.size()));
    switch (field.kind) {
    case dbase::FieldSpec::Kind::Whole:
        return QStringLiteral("STR(%1,12,0)").arg(name);
    case dbase::FieldSpec::Kind::Floating:
        return QStringLiteral("STR(%1,12,2)").arg(name);
    case dbase::FieldSpec::Kind::Date:
        return QStringLiteral("DTOS(%1)").arg(name);
    default:
        return QStringLiteral("Upper(Left(%1,%2))").arg(name).arg(width);
    }
}

} // namespace

QString BuildSortString(const std::array<int, 4>& levels)
{
    const auto count = std::count_if(levels.begin(), levels.end(), chosen);
    if (count == 0)
        return {};
    const int width = 80 / static_cast<int>(count);
    QStringList parts;
    for (int level : levels)
        if (chosen(level))
            parts << keyPart(db::bookFields()[static_cast<std::size_t>(level - 1)], width);
    return parts.join(QLatin1Char('+'));
}
