#include "ExportDates.h"

namespace exchange {

QString ExportDates::write(dbase::Date date) const
{
    QString text;
    for (qsizetype i = 0; i < m_pattern.size();) {
        const QChar c = m_pattern[i];
        qsizetype run = 1;
        while (i + run < m_pattern.size() && m_pattern[i + run] == c)
            ++run;
        if (c == u'm')
            text += QString::number(date.month).rightJustified(run >= 2 ? 2 : 1, u'0');
        else if (c == u'd')
            text += QString::number(date.day).rightJustified(run >= 2 ? 2 : 1, u'0');
        else if (c == u'y')
            text += QString::number(date.year).rightJustified(4, u'0');
        else
            text += QString(run, c);
        i += run;
    }
    return text;
}

} // namespace exchange
