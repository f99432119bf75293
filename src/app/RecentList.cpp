#include "RecentList.h"

#include <algorithm>

void pushRecent(RecentFiles& files, const QString& previous, const QString& current)
{
    auto found = std::find(files.begin(), files.end(), current);
    if (found != files.end()) {
        std::move(found + 1, files.end(), found);
        files.back().clear();
    }
    std::move_backward(files.begin(), files.end() - 1, files.end());
    files.front() = previous;
}

QString recentCaption(int index, const QString& path)
{
    // '&' in a path would otherwise turn the next letter into a menu accelerator.
    QString shown = path;
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QStringLiteral("&%1   %2").arg(index + 1).arg(shown);
}
