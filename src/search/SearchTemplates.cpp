#include "SearchTemplates.h"

#include "SearchQuery.h"

namespace search {
namespace {

const QString kNumberTemplates[] = {
    QStringLiteral("= ccccccccc;1"),
    QStringLiteral("\\> ccccccccc;1"),
    QStringLiteral("\\< ccccccccc;1"),
    QStringLiteral("\\> ccccccccc \\A\\ND \\< cccccccc"),
};

// "%1" stands for one date: day and month optional digits, the year required.
const QString kDateTemplates[] = {
    QStringLiteral("= %1;1"),
    QStringLiteral("\\> %1;1"),
    QStringLiteral("\\< %1;1"),
    QStringLiteral("\\> %1 \\A\\ND \\< %1;1"),
};

// Characters with a meaning of their own in a Qt input mask.
bool qtMaskCharacter(QChar c)
{
    return QStringView(u"AaNnXx90DdHhBb#<>![]{}\\;").contains(c);
}

void appendLiteral(QString& mask, QChar c)
{
    if (qtMaskCharacter(c))
        mask += QLatin1Char('\\');
    mask += c;
}

int validOption(int option)
{
    return option >= OptionEqual && option <= OptionRange ? option : OptionEqual;
}

} // namespace

QString criteriaTemplate(int row, int option, bool yearFirst)
{
    const SearchField& field = searchField(row);
    const std::size_t at = static_cast<std::size_t>(validOption(option) - 1);
    switch (field.type) {
    case FieldType::Numeric:
        return kNumberTemplates[at];
    case FieldType::Date:
        return kDateTemplates[at].arg(yearFirst ? QStringLiteral("0000/99/99")
                                                : QStringLiteral("99/99/0000"));
    case FieldType::Character:
        break;
    }
    return QString(field.width, QLatin1Char('c'));
}

QString qtInputMask(const QString& pattern, QChar separator)
{
    QString mask;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == QLatin1Char(';'))
            break; // keep-literals flag and blank character: Qt keeps literals always
        if (c == QLatin1Char('\\') && i + 1 < pattern.size())
            appendLiteral(mask, pattern[++i]);
        else if (c == QLatin1Char('c'))
            mask += QLatin1Char('x');
        else if (c == QLatin1Char('9'))
            mask += QLatin1Char('0');
        else if (c == QLatin1Char('0'))
            mask += QLatin1Char('9');
        else if (c == QLatin1Char('/'))
            appendLiteral(mask, separator);
        else
            appendLiteral(mask, c);
    }
    return mask;
}

QString criteriaMask(int row, int option, QChar separator, bool yearFirst)
{
    if (searchField(row).type == FieldType::Character)
        return {};
    return qtInputMask(criteriaTemplate(row, option, yearFirst), separator);
}

const QStringList& operatorNames()
{
    static const QStringList names{QStringLiteral(" = "), QStringLiteral(" > "), QStringLiteral(" < "),
                                   QStringLiteral(" > X < ")};
    return names;
}

static void removeFirst(QString& text, QChar c)
{
    const qsizetype at = text.indexOf(c);
    if (at >= 0)
        text.remove(at, 1);
}

QString withoutOperator(QString text, int option)
{
    static const QLatin1Char kSigns[] = {QLatin1Char('='), QLatin1Char('>'), QLatin1Char('<')};
    removeFirst(text, kSigns[std::min(validOption(option), int(OptionLess)) - 1]);
    return text.trimmed();
}

RangeBounds splitRange(QString text)
{
    removeFirst(text, QLatin1Char('<'));
    removeFirst(text, QLatin1Char('>'));
    text = text.trimmed();
    const qsizetype at = text.indexOf(QLatin1String("AND"));
    if (at < 0)
        return {text, {}};
    return {text.left(at).trimmed(), text.mid(at + 3).trimmed()};
}

bool untouchedDate(QString text)
{
    text.remove(QLatin1Char(' '));
    if (text.isEmpty())
        return true;
    return text.size() == 2 && text[0] == text[1] && !text[0].isLetterOrNumber();
}

QString firstValue(const QString& cell, int option, bool isDate)
{
    const QString value =
        validOption(option) == OptionRange ? splitRange(cell).lower : withoutOperator(cell, option);
    return isDate && untouchedDate(value) ? QString() : value;
}

QString withOperator(const QString& value, int option)
{
    static const QString kSigns[] = {QStringLiteral("= "), QStringLiteral("> "), QStringLiteral("< "),
                                     QStringLiteral("> ")};
    return value.isEmpty() ? QString() : kSigns[validOption(option) - 1] + value;
}

} // namespace search
