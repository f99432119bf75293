#include "DateMask.h"

#include <QList>
#include <QStringList>
#include <QStringView>

namespace edit {
namespace {

// Characters with a meaning of their own in a Qt input mask; a separator among them is escaped.
bool qtMaskCharacter(QChar c)
{
    return QStringView(u"AaNnXx90DdHhBb#<>![]{}\\;").contains(c);
}

const QChar kBlank = u'_';

// The digit places of each part of a date in the order of `pattern`: 4 for the year, 2 for the others.
QList<int> partWidths(const QString& pattern)
{
    QList<int> widths;
    QChar previous;
    for (QChar c : pattern.toLower()) {
        if ((c != u'm' && c != u'd' && c != u'y') || c == previous) // "mm" is one part, as "m" is
            continue;
        widths.append(c == u'y' ? 4 : 2);
        previous = c;
    }
    return widths.size() == 3 ? widths : QList<int>{2, 2, 4};
}

} // namespace

QString dateInputMask(const QString& pattern, QChar separator)
{
    QString sep;
    if (qtMaskCharacter(separator))
        sep += QLatin1Char('\\');
    sep += separator;

    QString mask;
    for (int width : partWidths(pattern)) {
        if (!mask.isEmpty())
            mask += sep;
        mask += QString(width, u'0');
    }
    return mask + QLatin1Char(';') + kBlank;
}

QString dateBoxText(const QString& text, const QString& pattern, QChar separator)
{
    const QList<int> widths = partWidths(pattern);
    const QStringList parts = text.trimmed().split(separator);
    if (parts.size() != widths.size())
        return text;
    QStringList laidOut;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (parts[i].size() > widths[i])
            return text;
        laidOut.append(QString(widths[i] - parts[i].size(), kBlank) + parts[i]);
    }
    return laidOut.join(separator);
}

bool isEmptyDateText(const QString& text)
{
    for (QChar c : text)
        if (c.isDigit())
            return false;
    return true;
}

QString changeDateSeparator(QString text, QChar from, QChar to)
{
    return text.replace(from, to);
}

} // namespace edit
