#include "TestRegistry.h"
#include "settings/NumberText.h"

#include <QTest>

using settings::NumberText;
Q_DECLARE_METATYPE(NumberText)
Q_DECLARE_METATYPE(std::optional<double>)

namespace {

constexpr int US = 1;
constexpr int Windows = 2;

NumberText windows(const char* decimal, const char* thousand, int currencyDigits = 2)
{
    return NumberText(platform::Intl(decimal, thousand, currencyDigits), Windows, Windows);
}

} // namespace

class TestNumberText : public QObject {
    Q_OBJECT

private slots:
    // Each text also reads back as the value it shows.
    void money_data()
    {
        QTest::addColumn<NumberText>("format");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("shown");
        const NumberText us;
        QTest::newRow("grouped") << us << 1234.5 << "1,234.50" << 1234.5;
        QTest::newRow("minus alone before three digits") << us << -123.45 << "-123.45" << -123.45;
        QTest::newRow("minus then group") << us << -1234.5 << "-1,234.50" << -1234.5;
        QTest::newRow("zero") << us << 0.0 << "0.00" << 0.0;
        QTest::newRow("rounds into a new group") << us << 999.995 << "1,000.00" << 1000.0;
        QTest::newRow("half away from zero") << us << 2.675 << "2.68" << 2.68;
        QTest::newRow("no minus for zero") << us << -0.001 << "0.00" << 0.0;
        QTest::newRow("windows") << windows(",", ".") << 1234.5 << "1.234,50" << 1234.5;
        QTest::newRow("no decimals") << windows(",", ".", 0) << -1234.5 << "-1.235" << -1235.0;
        // The C locale says 127 for a count it does not give.
        QTest::newRow("unset decimals") << windows(",", ".", 127) << 5.0 << "5,00" << 5.0;
        QTest::newRow("equal separators") << windows(".", ".") << 1234.5 << "1,234.50" << 1234.5;
        QTest::newRow("blank decimal") << windows("", ",") << 1234.5 << "1,234.50" << 1234.5;
        QTest::newRow("minus as separator") << windows(".", "-") << -1234.5 << "-1,234.50" << -1234.5;
    }

    void money()
    {
        QFETCH(NumberText, format);
        QFETCH(double, value);
        QFETCH(QString, text);
        QFETCH(double, shown);
        QCOMPARE(format.money(1, value), text);
        QCOMPARE(format.money(12, value), text.rightJustified(12));
        QCOMPARE(format.readMoney(text), std::optional(shown));
    }

    void numbers_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("grouped");
        QTest::newRow("no decimals") << US << 0 << 1234.0 << "1234"
                                     << "1,234";
        QTest::newRow("seven digits") << US << 0 << -1234567.0 << "-1234567"
                                      << "-1,234,567";
        QTest::newRow("windows") << Windows << 1 << 1234567.25 << "1234567,3"
                                 << "1.234.567,3";
    }

    void numbers()
    {
        QFETCH(int, style);
        QFETCH(int, decimals);
        QFETCH(double, value);
        QFETCH(QString, plain);
        QFETCH(QString, grouped);
        NumberText format = windows(",", ".");
        format.setNumericFormat(style);
        format.setCurrencyFormat(US); // the money style must not touch numbers
        QCOMPARE(format.plain(1, decimals, value), plain);
        QCOMPARE(format.grouped(1, decimals, value), grouped);
    }

    void reading_data()
    {
        QTest::addColumn<NumberText>("format");
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<double>>("value");
        const NumberText us;
        const std::optional<double> fails;
        QTest::newRow("blanks around") << us << "  -1,234.5 " << std::optional(-1234.5);
        QTest::newRow("plus and exponent") << us << "+1.5e3" << std::optional(1500.0);
        QTest::newRow("point is grouping") << windows(",", ".") << "1.5" << std::optional(15.0);
        QTest::newRow("no-break space typed as blank")
            << windows(",", "\u202F") << "1 234,5" << std::optional(1234.5);
        QTest::newRow("empty") << us << "" << fails;
        QTest::newRow("currency sign") << us << "$5" << fails;
        QTest::newRow("two points") << us << "1.2.3" << fails;
        QTest::newRow("blank inside") << us << "1 234" << fails;
        QTest::newRow("too large") << us << "1e999" << fails;
    }

    void reading()
    {
        QFETCH(NumberText, format);
        QFETCH(QString, text);
        QFETCH(std::optional<double>, value);
        QCOMPARE(format.readMoney(text), value);
    }
};

REGISTER_TEST(TestNumberText)
#include "tst_numbertext.moc"
