#include "BookFixture.h"
#include "TestRegistry.h"
#include "db/BookTable.h"
#include "db/FieldText.h"
#include "dbase/DatabaseError.h"
#include "edit/EditRecord.h"
#include "settings/NumberText.h"

#include <QTemporaryDir>
#include <QTest>

#include <stdexcept>
#include <utility>

namespace F = db::fields;

namespace {

// Reading a typed date fails with an error the engine does not know.
class BrokenDates final : public db::DateText {
public:
    QString write(dbase::Date date) const override { return db::ShortDateText().write(date); }
    std::optional<dbase::Date> read(const QString&) const override { throw std::runtime_error("broken"); }
};

// "Alpha", "Beta", "Gamma" in the category FICTION, with a search for that category on.
struct Books {
    Books()
    {
        const std::string path = dir.filePath(QStringLiteral("BOOKS.DBF")).toStdString();
        makeBooks(path, {"Alpha", "Beta", "Gamma"});
        auto table = dbase::Table::open(path);
        for (table->first(); !table->eof(); table->next()) {
            table->edit();
            table->setText(F::Category, "FICTION");
            table->post();
        }
        books.adopt(std::move(table));
        books.setFilter([](const dbase::RecordView& r) { return r.text(F::Category) == "FICTION"; });
    }
    std::string titleOf(std::uint32_t recno)
    {
        auto table = dbase::Table::open(books.table().path(), dbase::Access::ReadOnly);
        table->gotoBookmark(recno);
        return table->text(F::Title);
    }

    QTemporaryDir dir;
    db::BookTable books;
};

} // namespace

class TestEditRecord : public QObject {
    Q_OBJECT

private slots:
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

    // A book saved out of the search leaves the list and the next one becomes current:
    // a second Update must not write over that one, nor add the book again.
    void writeAfterLeavingSearch_data()
    {
        QTest::addColumn<edit::EditMode>("mode");
        QTest::newRow("edited") << edit::EditMode::Change;
        QTest::newRow("added") << edit::EditMode::Add;
    }

    void writeAfterLeavingSearch()
    {
        QFETCH(edit::EditMode, mode);
        const bool edited = mode == edit::EditMode::Change;
        Books b;
        db::ShortDateText dates;
        settings::NumberText numbers;
        edit::EditRecord record(dates, numbers);
        edit::EditValues values = edited ? record.load(b.books) : edit::EditRecord::cleared();
        values.texts[F::Category] = QStringLiteral("HISTORY");
        QVERIFY(!record.write(b.books, values, mode));
        QCOMPARE(b.books.rowCount(), edited ? 2 : 3);
        values.texts[F::Title] = QStringLiteral("Typed");
        const std::optional<QString> refused = record.write(b.books, values, mode);
        QVERIFY(refused && refused->contains(QStringLiteral("no longer matches the search")));
        QCOMPARE(b.books.table().physicalCount(), edited ? 3u : 4u);
        QCOMPARE(b.titleOf(2), std::string("Beta"));
        QCOMPARE(b.titleOf(1), std::string("Alpha"));
    }

    // A failure before the record is in the file leaves nothing behind; one after it
    // (placing its row) leaves the record written, and another Update does not add it again.
    void failedWrite_data()
    {
        using edit::EditMode;
        QTest::addColumn<EditMode>("mode");
        QTest::addColumn<bool>("afterPost");
        QTest::addColumn<int>("records");
        QTest::addColumn<EditMode>("modeAfter");
        QTest::newRow("add, before the post") << EditMode::Add << false << 3 << EditMode::Add;
        QTest::newRow("edit, before the post") << EditMode::Change << false << 3 << EditMode::Change;
        QTest::newRow("add, after the post") << EditMode::Add << true << 4 << EditMode::Change;
    }

    void failedWrite()
    {
        QFETCH(edit::EditMode, mode);
        QFETCH(bool, afterPost);
        QFETCH(int, records);
        QFETCH(edit::EditMode, modeAfter);
        Books b;
        b.books.setFilter({});
        BrokenDates broken;
        db::ShortDateText dates;
        settings::NumberText numbers;
        edit::EditRecord record(afterPost ? static_cast<const db::DateText&>(dates) : broken, numbers);
        edit::EditValues values =
            mode == edit::EditMode::Change ? record.load(b.books) : edit::EditRecord::cleared();
        values.texts[F::Title] = QStringLiteral("Delta");
        values.texts[F::PurchDate] = QStringLiteral("7/4/96");
        bool armed = afterPost;
        QObject::connect(&b.books, &db::BookTable::currentRowChanged, [&armed] {
            if (std::exchange(armed, false))
                throw dbase::DatabaseError("placing the row failed");
        });
        QVERIFY_THROWS_EXCEPTION(std::exception, (void)record.write(b.books, values, mode));
        QCOMPARE(mode, modeAfter);
        QVERIFY(!b.books.table().editing());
        QCOMPARE(b.books.table().physicalCount(), std::uint32_t(records));
        QCOMPARE(b.titleOf(1), std::string("Alpha"));
        if (afterPost) {
            QVERIFY(!record.write(b.books, values, mode));
            QCOMPARE(b.books.table().physicalCount(), std::uint32_t(records));
        }
    }
};

REGISTER_TEST(TestEditRecord)
#include "tst_editrecord.moc"
