#pragma once

#include "dbase/Table.h"

#include <QString>
#include <optional>

namespace db {

// Dates as the user reads and types them. The settings' date format implements
// it for the program. write() is never given the null date and read() never
// blank text: the field-text layer handles blanks itself.
class DateText {
public:
    virtual ~DateText() = default;
    virtual QString write(dbase::Date date) const = 0;
    // nullopt when `text` is not a valid date in this format.
    virtual std::optional<dbase::Date> read(const QString& text) const = 0;
};

// Month/day/two-digit year without leading zeros ("7/4/76"). Reads two-digit
// years as 1950-2049 and three- or four-digit years as written. For tests and
// for code that runs before the settings supply the user's format.
class ShortDateText final : public DateText {
public:
    QString write(dbase::Date date) const override;
    std::optional<dbase::Date> read(const QString& text) const override;
};

// Text of field `index` of the table's current record (or of the record being
// edited): character fields without trailing blanks, numbers as plain decimal
// text, dates through `dates`, memo text, logicals "T"/"F"; "" when blank.
QString fieldText(const dbase::Table& table, int index, const DateText& dates);
// The same for a record handed to a record filter. Memo text is not available
// there: a memo field throws DatabaseError.
QString fieldText(const dbase::RecordView& record, int index, const DateText& dates);

// Sets field `index` of the record being edited or appended from text read as
// fieldText() writes it; blank text blanks the field. Character text longer
// than the field is cut to its width. Throws DatabaseError naming the field
// when the text is not a value of the field's kind.
void setFieldText(dbase::Table& table, int index, const QString& text, const DateText& dates);

// One table seen through one date format, with fields also by name. Holds
// references: `table` and `dates` must outlive it.
class FieldText {
public:
    FieldText(dbase::Table& table, const DateText& dates) : m_table(table), m_dates(dates) {}

    // Position of the field named `name` (case ignored); throws DatabaseError when there is none.
    int index(const QString& name) const;
    QString text(int index) const { return fieldText(m_table, index, m_dates); }
    QString text(const QString& name) const { return text(index(name)); }
    void setText(int index, const QString& text) { setFieldText(m_table, index, text, m_dates); }
    void setText(const QString& name, const QString& text) { setText(index(name), text); }

private:
    dbase::Table& m_table;
    const DateText& m_dates;
};

} // namespace db
