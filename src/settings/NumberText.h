#pragma once

#include "platform/Intl.h"

#include <QChar>
#include <QString>

#include <optional>

namespace settings {

// Numbers and money as the user reads and types them, in one of two styles chosen
// separately for money (the currency format) and for other numbers (the numeric
// format): style 1 is the U.S. style ("," between groups of three digits, "." as the
// decimal point, money with 2 decimals); any other value is the Windows style, which
// takes the separators and the decimals of money from the international settings.
//
// Separators that would make money unreadable — a decimal separator that is blank, or
// equal to the grouping separator, or either of them a digit, a sign or an exponent
// letter — are replaced by "." and ",". A money decimal count outside 0-9 (the C locale
// gives 127 for "not set") is replaced by 2.
//
// Values are rounded half away from zero as they read in their shortest decimal form,
// so 2.675 with 2 decimals is 2.68 and 0.125 is 0.13. A zero result never carries a
// minus sign.
class NumberText {
public:
    // U.S. style for both, with the default international settings.
    NumberText() = default;
    // Only the first character of each separator counts; an empty one stands for a blank.
    NumberText(const platform::Intl& intl, int currencyFormat, int numericFormat);

    void setCurrencyFormat(int style) { m_currencyFormat = style; }
    void setNumericFormat(int style) { m_numericFormat = style; }
    int currencyFormat() const { return m_currencyFormat; }
    int numericFormat() const { return m_numericFormat; }

    // The international values in force, after the replacements above.
    QChar decimalSeparator() const { return m_decimal; }
    QChar groupSeparator() const { return m_group; }
    int currencyDigits() const { return m_currencyDigits; }

    // `value` with `decimals` decimals (limited to 0-400), no grouping, right-aligned
    // with blanks in `width` characters (a longer text is never cut). In the Windows
    // numeric style the decimal point is the Windows separator.
    QString plain(int width, int decimals, double value) const;
    // The same with the grouping separator between groups of three integer digits.
    QString grouped(int width, int decimals, double value) const;
    // Money: grouped, with 2 decimals in the U.S. currency style and the Windows
    // separators and decimal count in the Windows style. Never empty.
    QString money(int width, double value) const;
    // Money typed by the user: blanks around it are ignored, every grouping separator is
    // dropped (and any blank when the Windows grouping separator is a blank), the first
    // decimal separator is the decimal point; the rest must be a decimal number: an
    // optional sign, digits with an optional fraction, an optional exponent. Nullopt for
    // anything else, for empty text and for a number beyond the range of a double.
    std::optional<double> readMoney(const QString& text) const;

private:
    bool usStyle(int style) const { return style == 1; }
    QString group(QString text, int decimals, QChar separator) const;
    static QString pad(QString text, int width);

    QChar m_decimal = u'.';
    QChar m_group = u',';
    int m_currencyDigits = 2;
    int m_currencyFormat = 1;
    int m_numericFormat = 1;
};

// `value` rounded to `decimals` decimals (limited to 0-400) with "." as the decimal point and
// no blanks; "nan", "inf" and "-inf" for values that are not finite.
QString fixedText(double value, int decimals);

} // namespace settings
