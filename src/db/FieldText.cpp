#include "FieldText.h"

#include "dbase/DatabaseError.h"
#include "dbase/Expression.h"

#include <QStringList>

namespace db {
namespace {

using dbase::FieldType;

QString fromEngine(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

QString dateText(dbase::Date date, const DateText& dates)
{
    return date.isNull() ? QString() : dates.write(date);
}

// A number of 1 to 4 ASCII digits; -1 otherwise. Locale digits are not accepted.
int smallNumber(const QString& text)
{
    if (text.isEmpty() || text.size() > 4)
        return -1;
    int value = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

const dbase::Field& fieldOf(const dbase::Table& table, int index)
{
    if (index < 0 || index >= static_cast<int>(table.fields().size()))
        throw dbase::DatabaseError("The table " + table.path() + " has no field number " +
                                   std::to_string(index + 1) + ".");
    return table.fields()[static_cast<std::size_t>(index)];
}

[[noreturn]] void refuseDate(const dbase::Field& field, const QString& text, const DateText& dates)
{
    QString example = dates.write({1999, 12, 31});
    throw dbase::DatabaseError("The value \"" + text.toStdString() + "\" cannot be stored in the field " +
                               field.name + ": it is not a date such as " + example.toStdString() + ".");
}

} // namespace

QString ShortDateText::write(dbase::Date date) const
{
    return QStringLiteral("%1/%2/%3")
        .arg(date.month)
        .arg(date.day)
        .arg(date.year % 100, 2, 10, QLatin1Char('0'));
}

std::optional<dbase::Date> ShortDateText::read(const QString& text) const
{
    QStringList parts = text.trimmed().split(QLatin1Char('/'));
    if (parts.size() != 3 || parts[0].size() > 2 || parts[1].size() > 2)
        return std::nullopt;
    int month = smallNumber(parts[0]);
    int day = smallNumber(parts[1]);
    int year = smallNumber(parts[2]);
    if (month < 0 || day < 0 || year < 0)
        return std::nullopt;
    if (parts[2].size() <= 2)
        year += year < 50 ? 2000 : 1900;
    if (year == 0 || dbase::julianDay(year, month, day) == 0)
        return std::nullopt;
    return dbase::Date{year, month, day};
}

QString fieldText(const dbase::Table& table, int index, const DateText& dates)
{
    const dbase::Field& field = fieldOf(table, index);
    switch (field.type) {
    case FieldType::Date:
        return dateText(table.date(index), dates);
    case FieldType::Memo:
        return fromEngine(table.memo(index));
    default:
        return fromEngine(table.text(index));
    }
}

QString fieldText(const dbase::RecordView& record, int index, const DateText& dates)
{
    const dbase::Field& field = record.field(index);
    switch (field.type) {
    case FieldType::Date:
        return dateText(record.date(index), dates);
    case FieldType::Memo:
        throw dbase::DatabaseError("The memo field " + field.name +
                                   " cannot be read while records are filtered.");
    default:
        return fromEngine(record.text(index));
    }
}

void setFieldText(dbase::Table& table, int index, const QString& text, const DateText& dates)
{
    const dbase::Field& field = fieldOf(table, index);
    if (field.type != FieldType::Date) {
        table.setText(index, text.toStdString());
        return;
    }
    if (text.trimmed().isEmpty()) {
        table.setDate(index, {});
        return;
    }
    std::optional<dbase::Date> date = dates.read(text);
    if (!date)
        refuseDate(field, text, dates);
    table.setDate(index, *date);
}

int FieldText::index(const QString& name) const
{
    int found = m_table.fieldIndex(name.toStdString());
    if (found < 0)
        throw dbase::DatabaseError("The table " + m_table.path() + " has no field " + name.toStdString() +
                                   ".");
    return found;
}

} // namespace db
