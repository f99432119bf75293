#include "ExchangeServices.h"

namespace exchange {

QString fieldTitle(const settings::Settings& settings, int field)
{
    return settings.fields.at(static_cast<std::size_t>(field)).title;
}

QString exportLabel(const settings::Settings& settings, int field)
{
    const settings::FieldSettings& chosen = settings.fields.at(static_cast<std::size_t>(field));
    if (chosen.display)
        return chosen.title;
    std::string_view name = db::bookFields().at(static_cast<std::size_t>(field)).name;
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

} // namespace exchange
