#pragma once

#include "db/FieldText.h"
#include "dbase/Table.h"

#include <QChar>
#include <QString>

#include <optional>

namespace settings {

// The program-wide date format: how dates are written and read everywhere.
//
// A pattern is written in the m/d/y language: "m" and "mm" the month without and
// with a leading zero, "d" and "dd" the day, "yy" the last two digits of the year,
// "yyyy" the whole year, "/" the separator.
class DateFormat final : public db::DateText {
public:
    // Starts with the locale's short date pattern and separator in force and no format
    // number; `localePattern` is a Qt date format ("dd.MM.yy", "M/d/yy", "yyyy-MM-dd").
    explicit DateFormat(const QString& localePattern = systemShortPattern());

    // Start-up: a number 1-12 sets the separator and pattern of its row; any other number
    // leaves the pattern in force.
    void apply(int number, bool leadingZeros);
    // The date format command: false (and nothing changes) when `number` is already chosen.
    bool choose(int number);
    // The leading zeros command: a number 1-12 takes its row's pattern in the new column.
    void toggleLeadingZeros();

    int number() const { return m_number; }
    bool leadingZeros() const { return m_leadingZeros; }
    QChar separator() const { return m_separator; }
    const QString& pattern() const { return m_pattern; }

    // `date` in the pattern; empty for no date.
    QString write(dbase::Date date) const override;
    // Two or three numbers of up to four digits separated by the separator, blanks allowed
    // before each number and each separator, one more separator and blanks at the end;
    // two numbers take the current year. A year 0-99 becomes the year ending in those
    // digits among the hundred years ending 20 years after the current year. Nullopt when
    // the text is not such a calendar date.
    std::optional<dbase::Date> read(const QString& text) const override;

    // Replaces the clock for "the current year"; a null date goes back to the clock.
    void setToday(const dbase::Date& today) { m_today = today; }

    // A Qt date format in the m/d/y language, with its first separator.
    static void translateQtPattern(const QString& qtPattern, QString& pattern, QChar& separator);
    static QString systemShortPattern();

private:
    void setRow(int number);
    int currentYear() const;

    int m_number = 0;
    bool m_leadingZeros = false;
    QChar m_separator = u'/';
    QString m_pattern = QStringLiteral("m/d/yy");
    dbase::Date m_today;
};

} // namespace settings
