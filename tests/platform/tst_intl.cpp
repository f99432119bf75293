#include "TestRegistry.h"
#include "platform/Intl.h"

#include <QTest>

#include <clocale>
#include <string>

class TestIntl : public QObject {
    Q_OBJECT

private slots:
    void fromProcessLocale_data()
    {
        QTest::addColumn<QByteArray>("locale");
        QTest::addColumn<QString>("decimal");
        QTest::addColumn<QString>("thousand");
        QTest::addColumn<int>("digits");
        QTest::newRow("C: the defaults") << QByteArray("C") << "."
                                         << "," << 2;
        QTest::newRow("German") << QByteArray("de_DE.UTF-8") << ","
                                << "." << 2;
    }

    void fromProcessLocale()
    {
        QFETCH(QByteArray, locale);
        QFETCH(QString, decimal);
        QFETCH(QString, thousand);
        QFETCH(int, digits);
        const std::string previous = std::setlocale(LC_ALL, nullptr);
        if (!std::setlocale(LC_ALL, locale.constData()))
            QSKIP("locale not installed");
        platform::Intl intl = platform::Intl::fromProcessLocale();
        std::setlocale(LC_ALL, previous.c_str());
        QCOMPARE(intl.decimalSeparator(), decimal);
        QCOMPARE(intl.thousandSeparator(), thousand);
        QCOMPARE(intl.currencyDigits(), digits);
    }
};

REGISTER_TEST(TestIntl)
#include "tst_intl.moc"
