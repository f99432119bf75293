#include "DateMask.h"

#include <QLineEdit>
#include <QList>
#include <QValidator>

namespace edit {
namespace {

// The most digits of each part of a date in the order of `pattern`: 4 for the year, 2 for the others.
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

class DateTyping final : public QValidator {
public:
    DateTyping(QLineEdit* box, const QString& pattern, QChar separator)
        : QValidator(box), m_box(box), m_widths(partWidths(pattern)), m_separator(separator)
    {
    }

    State validate(QString& input, int&) const override
    {
        // setText() leaves the box unmodified before it is validated: a text set by the program is taken
        // whole.
        if (!m_box->isModified())
            return Acceptable;
        qsizetype part = 0;
        int digits = 0;
        for (QChar c : input) {
            if (c == m_separator) {
                if (++part == m_widths.size())
                    return Invalid;
                digits = 0;
            } else if (c.unicode() < u'0' || c.unicode() > u'9' || ++digits > m_widths[part]) {
                return Invalid;
            }
        }
        return Acceptable;
    }

private:
    QLineEdit* m_box;
    QList<int> m_widths;
    QChar m_separator;
};

} // namespace

void setUpDateBox(QLineEdit* box, const QString& pattern, QChar separator)
{
    const QValidator* old = box->validator();
    box->setValidator(new DateTyping(box, pattern, separator));
    if (old && old->parent() == box)
        delete old;
    box->setMaxLength(32767);
    box->setPlaceholderText(QString(pattern).replace(u'/', separator));
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
