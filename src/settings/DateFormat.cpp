#include "DateFormat.h"

#include <QDate>
#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace settings {
namespace {

bool isRow(int number)
{
    return number >= 1 && number <= 12;
}

int daysInMonth(int year, int month)
{
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

QString padded(int value, int width)
{
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

// Reads the text of a date into its two or three numbers, or fails.
class DateScanner {
public:
    DateScanner(const QString& text, QChar separator) : m_text(text), m_separator(separator) {}

    bool scan(std::vector<int>& numbers)
    {
        for (;;) {
            skipBlanks();
            int number = 0;
            if (!readNumber(number))
                return false;
            numbers.push_back(number);
            skipBlanks();
            if (atEnd())
                break;
            if (m_text[m_pos] != m_separator)
                return false;
            ++m_pos;
            skipBlanks();
            if (atEnd() || numbers.size() == 3)
                break;
        }
        return atEnd() && numbers.size() >= 2;
    }

private:
    bool atEnd() const { return m_pos >= m_text.size(); }
    void skipBlanks()
    {
        while (!atEnd() && m_text[m_pos] == u' ')
            ++m_pos;
    }
    bool readNumber(int& number)
    {
        qsizetype start = m_pos;
        while (!atEnd() && m_text[m_pos].isDigit() && m_text[m_pos].unicode() < 128 && m_pos - start < 5)
            number = number * 10 + (m_text[m_pos++].unicode() - u'0');
        qsizetype digits = m_pos - start;
        return digits >= 1 && digits <= 4;
    }

    const QString& m_text;
    QChar m_separator;
    qsizetype m_pos = 0;
};

} // namespace

DateFormat::DateFormat(const QString& localePattern)
{
    translateQtPattern(localePattern, m_pattern, m_separator);
}

QString DateFormat::systemShortPattern()
{
    return QLocale::system().dateFormat(QLocale::ShortFormat);
}

void DateFormat::translateQtPattern(const QString& qtPattern, QString& pattern, QChar& separator)
{
    QStringList fields;
    QChar firstSeparator;
    bool inQuote = false;
    for (qsizetype i = 0; i < qtPattern.size();) {
        QChar c = qtPattern[i];
        qsizetype run = 1;
        while (i + run < qtPattern.size() && qtPattern[i + run] == c)
            ++run;
        i += c == u'\'' ? 1 : run;
        if (c == u'\'')
            inQuote = !inQuote;
        else if (inQuote)
            continue;
        else if (c == u'd' && run <= 2)
            fields << QString(run, u'd');
        else if (c == u'M')
            fields << QString(std::min<qsizetype>(run, 2), u'm');
        else if (c == u'y')
            fields << (run <= 2 ? QStringLiteral("yy") : QStringLiteral("yyyy"));
        else if (!c.isLetter() && c != u' ' && fields.size() == 1 && firstSeparator.isNull())
            firstSeparator = c;
    }
    if (fields.size() != 3 || firstSeparator.isNull()) {
        pattern = QStringLiteral("m/d/yy");
        separator = u'/';
        return;
    }
    pattern = fields.join(u'/');
    separator = firstSeparator;
}

void DateFormat::setRow(int number)
{
    static const QChar kSeparators[] = {u'/', u'-', u'.'};
    m_separator = kSeparators[(number - 1) % 3];
    bool dayFirst = (number - 1) / 3 % 2 == 1;
    QString dayMonth = dayFirst ? QStringLiteral("d/m/") : QStringLiteral("m/d/");
    if (m_leadingZeros)
        dayMonth = dayFirst ? QStringLiteral("dd/mm/") : QStringLiteral("mm/dd/");
    m_pattern = dayMonth + (number >= 7 ? QStringLiteral("yyyy") : QStringLiteral("yy"));
}

void DateFormat::apply(int number, bool leadingZeros)
{
    m_number = number;
    m_leadingZeros = leadingZeros;
    if (isRow(number))
        setRow(number);
}

bool DateFormat::choose(int number)
{
    if (!isRow(number) || number == m_number)
        return false;
    m_number = number;
    setRow(number);
    return true;
}

void DateFormat::toggleLeadingZeros()
{
    m_leadingZeros = !m_leadingZeros;
    if (isRow(m_number))
        setRow(m_number);
}

int DateFormat::currentYear() const
{
    return m_today.isNull() ? QDate::currentDate().year() : m_today.year;
}

QString DateFormat::write(dbase::Date date) const
{
    if (date.isNull())
        return {};
    QString text;
    for (qsizetype i = 0; i < m_pattern.size();) {
        QChar c = m_pattern[i];
        qsizetype run = 1;
        while (i + run < m_pattern.size() && m_pattern[i + run] == c)
            ++run;
        i += run;
        if (c == u'm')
            text += padded(date.month, run >= 2 ? 2 : 1);
        else if (c == u'd')
            text += padded(date.day, run >= 2 ? 2 : 1);
        else if (c == u'y')
            text += run <= 2 ? padded(date.year % 100, 2) : padded(date.year, 4);
        else
            text += QString(run, c == u'/' ? m_separator : c);
    }
    return text;
}

std::optional<dbase::Date> DateFormat::read(const QString& text) const
{
    std::vector<int> numbers;
    if (!DateScanner(text, m_separator).scan(numbers))
        return std::nullopt;
    const QChar first = m_pattern.isEmpty() ? QChar(u'm') : m_pattern[0];
    const int thisYear = currentYear();
    dbase::Date date;
    if (first == u'y' && numbers.size() == 3)
        date = {numbers[0], numbers[1], numbers[2]};
    else if (first == u'd')
        date = {thisYear, numbers[1], numbers[0]};
    else
        date = {thisYear, numbers[0], numbers[1]};
    if (numbers.size() == 3 && first != u'y')
        date.year = numbers[2];
    if (numbers.size() == 3 && date.year <= 99) {
        const int firstOfWindow = thisYear + 20 - 99;
        date.year = firstOfWindow + ((date.year - firstOfWindow) % 100 + 100) % 100;
    }
    if (date.month < 1 || date.month > 12 || date.day < 1 || date.day > daysInMonth(date.year, date.month))
        return std::nullopt;
    return date;
}

} // namespace settings
