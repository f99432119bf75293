#include "Intl.h"

#include <climits>
#include <clocale>
#include <utility>

namespace platform {

Intl::Intl(QString decimal, QString thousand, int currencyDigits)
    : m_decimal(std::move(decimal)), m_thousand(std::move(thousand)), m_currencyDigits(currencyDigits)
{
}

Intl Intl::fromProcessLocale()
{
    Intl intl;
    const std::lconv* conventions = std::localeconv();
    QString decimal = QString::fromLocal8Bit(conventions->decimal_point);
    QString thousand = QString::fromLocal8Bit(conventions->thousands_sep);
    if (!decimal.isEmpty())
        intl.m_decimal = decimal;
    if (!thousand.isEmpty())
        intl.m_thousand = thousand;
    // CHAR_MAX marks a value the locale does not give (the "C" locale).
    if (conventions->frac_digits != CHAR_MAX)
        intl.m_currencyDigits = conventions->frac_digits;
    return intl;
}

} // namespace platform
