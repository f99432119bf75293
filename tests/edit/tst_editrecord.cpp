#include "TestRegistry.h"
#include "db/FieldText.h"
#include "edit/DateMask.h"
#include "edit/EditRecord.h"
#include "settings/NumberText.h"

#include <QTest>

namespace F = edit::fields;

class TestEditRecord : public QObject {
    Q_OBJECT

private slots:
    void dateMask_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QString>("mask");
        QTest::newRow("month first, two-digit year") << "m/d/yy" << QChar('/') << "00/00/0000;_";
        QTest::newRow("day first, dots") << "dd/mm/yyyy" << QChar('.') << "00.00.0000;_";
        QTest::newRow("year first, dashes") << "yyyy/mm/dd" << QChar('-') << "0000-00-00;_";
        QTest::newRow("separator with a meaning in masks") << "m/d/yy" << QChar('0') << "00\\000\\00000;_";
    }

    void dateMask()
    {
        QFETCH(QString, pattern);
        QFETCH(QChar, separator);
        QFETCH(QString, mask);
        QCOMPARE(edit::dateInputMask(pattern, separator), mask);
    }

    // Each part's digits stand at the right of its places, as a fixed-width date reads.
    void dateBoxText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("laidOut");
        QTest::newRow("short parts") << "7/4/96"
                                     << "m/d/yy"
                                     << "_7/_4/__96";
        QTest::newRow("full parts") << "12/31/1996"
                                    << "mm/dd/yyyy"
                                    << "12/31/1996";
        QTest::newRow("year first") << "1996/7/4"
                                    << "yyyy/m/d"
                                    << "1996/_7/_4";
        QTest::newRow("two parts stay") << "7/4"
                                        << "m/d/yy"
                                        << "7/4";
        QTest::newRow("too long stays") << "123/4/96"
                                        << "m/d/yy"
                                        << "123/4/96";
    }

    void dateBoxText()
    {
        QFETCH(QString, text);
        QFETCH(QString, pattern);
        QFETCH(QString, laidOut);
        QCOMPARE(edit::dateBoxText(text, pattern, QChar('/')), laidOut);
    }

    // Date boxes are compared without the blanks around them, every other box exactly.
    void changeTest_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("now");
        QTest::addColumn<bool>("changed");
        QTest::newRow("same") << int(F::Author) << "Smith" << false;
        QTest::newRow("letter case") << int(F::Author) << "smith" << true;
        QTest::newRow("trailing blank") << int(F::Author) << "Smith " << true;
        QTest::newRow("date with blanks") << int(F::PurchDate) << " 7/4/96 " << false;
        QTest::newRow("other date") << int(F::PurchDate) << "7/5/96" << true;
    }

    void changeTest()
    {
        QFETCH(int, field);
        QFETCH(QString, now);
        QFETCH(bool, changed);
        db::ShortDateText dates;
        settings::NumberText numbers;
        edit::EditRecord record(dates, numbers);
        edit::EditValues values = edit::EditRecord::cleared();
        values.texts[F::Author] = QStringLiteral("Smith");
        values.texts[F::PurchDate] = QStringLiteral("7/4/96");
        record.takeSnapshot(values);
        values.texts[std::size_t(field)] = now;
        QCOMPARE(record.changed(values), changed);
        values = record.snapshot();
        values.checkedOut = true;
        QVERIFY(record.changed(values));
    }
};

REGISTER_TEST(TestEditRecord)
#include "tst_editrecord.moc"
