#pragma once

#include <QString>

namespace platform {

// The installed family standing in for a Windows font name: Liberation Sans for
// "MS Sans Serif" and "Arial", Liberation Mono for "Courier New", Liberation Serif for
// "Times New Roman" (letter case and surrounding blanks ignored); any other name as it is.
// Windows and report fonts alike go through it, so the screen and the printed page agree.
QString qtFontFamily(const QString& windowsName);

} // namespace platform
