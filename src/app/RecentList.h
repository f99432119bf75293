#pragma once

#include <QString>
#include <array>

// The recently used databases: five paths, entry 0 the most recent. It holds the
// databases used before the current one.
using RecentFiles = std::array<QString, 5>;

// After a switch from `previous` to `current`: `current` leaves the list (exact
// comparison), the others move down one place (the last drops off) and `previous`
// becomes the first entry.
void pushRecent(RecentFiles& files, const QString& previous, const QString& current);

// The menu caption of entry `index` (0-4): "&1" to "&5", three blanks, the path.
QString recentCaption(int index, const QString& path);
