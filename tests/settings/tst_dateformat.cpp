#include "TestRegistry.h"
#include "settings/DateFormat.h"

#include <QTest>

using dbase::Date;
using settings::DateFormat;
Q_DECLARE_METATYPE(Date)

namespace {

DateFormat format(int number, bool leadingZeros)
{
    DateFormat result(QStringLiteral("dd.MM.yyyy"));
    result.apply(number, leadingZeros);
    result.setToday({2026, 6, 15});
    return result;
}

} // namespace

class TestDateFormat : public QObject {
    Q_OBJECT

private slots:
    void write_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<bool>("leadingZeros");
        QTest::addColumn<Date>("date");
        QTest::addColumn<QString>("text");
        const Date july4{1996, 7, 4};
        QTest::newRow("default") << 1 << false << july4 << "7/4/96";
        QTest::newRow("2 with zeros") << 2 << true << july4 << "07-04-96";
        QTest::newRow("6 with zeros") << 6 << true << july4 << "04.07.96";
        QTest::newRow("9 with zeros") << 9 << true << july4 << "07.04.1996";
        QTest::newRow("10") << 10 << false << Date{2001, 12, 25} << "25/12/2001";
        QTest::newRow("1896 in two digits") << 1 << false << Date{1896, 1, 2} << "1/2/96";
        QTest::newRow("year 2005 in two digits") << 1 << false << Date{2005, 1, 2} << "1/2/05";
        QTest::newRow("no date") << 1 << false << Date{} << "";
        QTest::newRow("other number: locale") << 13 << false << july4 << "04.07.1996";
    }

    void write()
    {
        QFETCH(int, number);
        QFETCH(bool, leadingZeros);
        QFETCH(Date, date);
        QFETCH(QString, text);
        QCOMPARE(format(number, leadingZeros).write(date), text);
    }

    void read_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("text");
        QTest::addColumn<Date>("date"); // a null date: the text does not read
        // clang-format off
        QTest::newRow("7/4/96") << 1 << "7/4/96" << Date{1996, 7, 4};
        QTest::newRow("1/1/46 last of window") << 1 << "1/1/46" << Date{2046, 1, 1};
        QTest::newRow("1/1/47 first of window") << 1 << "1/1/47" << Date{1947, 1, 1};
        QTest::newRow("1/1/00") << 1 << "1/1/00" << Date{2000, 1, 1};
        QTest::newRow("four digits kept") << 7 << "1/1/1896" << Date{1896, 1, 1};
        QTest::newRow("two-digit format, four typed") << 1 << "1/1/2046" << Date{2046, 1, 1};
        QTest::newRow("day first") << 6 << "4.7.96" << Date{1996, 7, 4};
        QTest::newRow("two numbers: this year") << 1 << "7/4" << Date{2026, 7, 4};
        QTest::newRow("blanks") << 1 << "  7 /  4 / 96" << Date{1996, 7, 4};
        QTest::newRow("one more separator and blanks") << 1 << "7/4/96/  " << Date{1996, 7, 4};
        QTest::newRow("two numbers and a separator") << 1 << "7/4/" << Date{2026, 7, 4};
        QTest::newRow("leap day") << 4 << "29/2/96" << Date{1996, 2, 29};
        QTest::newRow("31/2/96") << 4 << "31/2/96" << Date{};
        QTest::newRow("29/2/1900") << 10 << "29/2/1900" << Date{};
        QTest::newRow("month 13") << 1 << "13/1/96" << Date{};
        QTest::newRow("day 0") << 1 << "1/0/96" << Date{};
        QTest::newRow("wrong separator") << 1 << "7-4-96" << Date{};
        QTest::newRow("two separators at end") << 1 << "7/4/96//" << Date{};
        QTest::newRow("text after") << 1 << "7/4/96 x" << Date{};
        QTest::newRow("four numbers") << 1 << "7/4/96/1" << Date{};
        QTest::newRow("five digits") << 1 << "7/4/01996" << Date{};
        QTest::newRow("one number") << 1 << "7" << Date{};
        QTest::newRow("empty") << 1 << "" << Date{};
        QTest::newRow("sign") << 1 << "-7/4/96" << Date{};
        // clang-format on
    }

    void read()
    {
        QFETCH(int, number);
        QFETCH(QString, text);
        QFETCH(Date, date);
        std::optional<Date> read = format(number, false).read(text);
        QCOMPARE(read.value_or(Date{}), date);
    }

    void localePatterns_data()
    {
        QTest::addColumn<QString>("qtPattern");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("readText");
        QTest::newRow("US") << "M/d/yy"
                            << "m/d/yy"
                            << "7/4/96"
                            << "7/4/96";
        QTest::newRow("German") << "dd.MM.yy"
                                << "dd/mm/yy"
                                << "04.07.96"
                                << "4.7.96";
        QTest::newRow("ISO reads year first") << "yyyy-MM-dd"
                                              << "yyyy/mm/dd"
                                              << "1996-07-04"
                                              << "1996-7-4";
        QTest::newRow("blanks and quotes") << "d. M. yyyy 'r.'"
                                           << "d/m/yyyy"
                                           << "4.7.1996"
                                           << "4. 7. 1996";
        QTest::newRow("no separator: default") << "yyyyMMdd"
                                               << "m/d/yy"
                                               << "7/4/96"
                                               << "7/4/96";
    }

    void localePatterns()
    {
        QFETCH(QString, qtPattern);
        QFETCH(QString, pattern);
        QFETCH(QString, written);
        QFETCH(QString, readText);
        DateFormat locale(qtPattern);
        locale.apply(0, true); // any number outside 1-12 leaves the locale's pattern in force
        locale.toggleLeadingZeros();
        QCOMPARE(locale.pattern(), pattern);
        QCOMPARE(locale.write({1996, 7, 4}), written);
        QCOMPARE(locale.read(readText).value_or(Date{}), (Date{1996, 7, 4}));
    }

    void commands()
    {
        DateFormat dates = format(9, true);
        QCOMPARE(dates.write({1996, 7, 4}), "07.04.1996");
        dates.toggleLeadingZeros();
        QCOMPARE(dates.write({1996, 7, 4}), "7.4.1996");
        QVERIFY(!dates.choose(9)); // already chosen
        QVERIFY(dates.choose(5));
        QCOMPARE(dates.write({1996, 7, 4}), "4-7-96");
        QCOMPARE(dates.number(), 5);
        QVERIFY(!dates.choose(13));
    }
};

REGISTER_TEST(TestDateFormat)
#include "tst_dateformat.moc"
