#include "BookFixture.h"
#include "TempDir.h"
#include "TestRegistry.h"
#include "db/FieldText.h"
#include "dbase/DatabaseError.h"

#include <QTest>

class TestFieldText : public QObject {
    Q_OBJECT

    db::ShortDateText m_dates;

private slots:
    // Each kind of field through the text layer and back, blanks as ""; refusals name the field.
    // Dates go through the default m/d/yy format.
    void fieldKinds()
    {
        TempDir dir;
        makeBooks(dir.path("B.DBF"), {"first"});
        auto table = dbase::Table::open(dir.path("B.DBF"));
        db::FieldText text(*table, m_dates);
        table->edit();
        const QString title = QString::fromUtf8("Dune – ein Roman");
        for (auto [name, value] : {std::pair{"title", title},
                                   {"YearPub", " 1965 "},
                                   {"COST", "12.5"},
                                   {"PurchDate", "7/4/76"},
                                   {"CHECKDATE", "  "}})
            text.setText(name, value);
        for (auto [name, value] : {std::pair{"YEARPUB", "1965.5"},
                                   {"COST", "12,50"},
                                   {"PURCHDATE", "2/30/99"},
                                   {"CHECKDATE", "tomorrow"},
                                   {"TITLE", "日本"},
                                   {"NOSUCH", "x"}}) {
            try {
                text.setText(name, QString::fromUtf8(value));
                QFAIL(value);
            } catch (const dbase::DatabaseError& error) {
                QVERIFY2(QString(error.what()).contains(name), error.what());
            }
        }
        table->post();
        QStringList seen;
        for (const char* name : {"TITLE", "YEARPUB", "COST", "PURCHDATE", "CHECKDATE", "PAGES"})
            seen << text.text(name);
        QCOMPARE(seen, QStringList({title, "1965", "12.5000", "7/4/76", "", ""}));
        table->setFilter(
            [&](const dbase::RecordView& record) { return db::fieldText(record, 11, m_dates) == "7/4/76"; });
        QCOMPARE(table->recordCount(), 1u);
    }
};

REGISTER_TEST(TestFieldText)
#include "tst_fieldtext.moc"
