#pragma once

#include <QString>

namespace platform {

// The international number settings the program once read from the "intl" section
// of the Windows profile: decimal separator (sDecimal), thousands separator
// (sThousand) and the number of decimals of money (iCurrDigits).
class Intl {
public:
    // The defaults a profile without an "intl" section gives: ".", "," and 2.
    Intl() = default;
    Intl(QString decimal, QString thousand, int currencyDigits);

    // From the process locale as set by setlocale (LC_NUMERIC for the separators,
    // LC_MONETARY for the decimals); a value the locale leaves empty keeps its default.
    static Intl fromProcessLocale();

    const QString& decimalSeparator() const { return m_decimal; }
    const QString& thousandSeparator() const { return m_thousand; }
    int currencyDigits() const { return m_currencyDigits; }

    void setDecimalSeparator(const QString& separator) { m_decimal = separator; }
    void setThousandSeparator(const QString& separator) { m_thousand = separator; }
    void setCurrencyDigits(int digits) { m_currencyDigits = digits; }

private:
    QString m_decimal = QStringLiteral(".");
    QString m_thousand = QStringLiteral(",");
    int m_currencyDigits = 2;
};

} // namespace platform
