#include "FontNames.h"

namespace platform {

QString qtFontFamily(const QString& windowsName)
{
    static const struct {
        const char* windows;
        const char* family;
    } kTwins[] = {{"MS Sans Serif", "Liberation Sans"},
                  {"Arial", "Liberation Sans"},
                  {"Courier New", "Liberation Mono"},
                  {"Times New Roman", "Liberation Serif"}};
    for (const auto& twin : kTwins)
        if (windowsName.trimmed().compare(QLatin1String(twin.windows), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(twin.family);
    return windowsName;
}

} // namespace platform
