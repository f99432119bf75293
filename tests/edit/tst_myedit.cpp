#include "BookFixture.h"
#include "TestRegistry.h"
#include "db/BookTable.h"
#include "db/FieldText.h"
#include "edit/PickLists.h"
#include "edit/TMyEdit.h"
#include "edit/ViewerOptions.h"
#include "platform/Screen.h"
#include "platform/ScriptedDialogs.h"
#include "settings/DateFormat.h"
#include "settings/Fonts.h"
#include "settings/NumberText.h"
#include "settings/Settings.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

Q_DECLARE_METATYPE(dbase::Date)
Q_DECLARE_METATYPE(dbase::Access)

using platform::Button;
namespace F = db::fields;

namespace {

// The record edit window over a small book table "Alpha", "Beta", "Gamma", with scripted dialogs.
struct Harness {
    explicit Harness(const std::function<void(dbase::Table&)>& prepare = {}, bool browse = false,
                     std::vector<std::string> titles = {"Alpha", "Beta", "Gamma"},
                     dbase::Access access = dbase::Access::Shared, int widen = 0)
        : lists(dir.path().toStdString()), fonts(settings::makeSharedFonts(settings))
    {
        const std::string path = dir.filePath(QStringLiteral("BOOKS.DBF")).toStdString();
        if (widen == 0) {
            makeBooks(path, titles);
        } else { // a book table written by another program, its text fields `widen` characters wider
            std::vector<dbase::FieldSpec> specs = db::bookFieldSpecs();
            for (dbase::FieldSpec& field : specs)
                if (field.kind == dbase::FieldSpec::Kind::Character)
                    field.width += widen;
            dbase::Table::create(path, specs);
            auto table = dbase::Table::open(path, dbase::Access::Exclusive);
            for (const std::string& title : titles) {
                table->append();
                table->setText(F::Title, title);
                table->post();
            }
        }
        if (prepare)
            prepare(*dbase::Table::open(path, dbase::Access::Exclusive));
        books.adopt(dbase::Table::open(path, access));
        dates.apply(1, false);
        dialogs.setThrowOnUnexpected(false);
        // The modes by their numbers, as the tests name them.
        const std::function<edit::EditMode()> editMode = [this] { return edit::EditMode(mode); };
        const std::function<void(edit::EditMode)> setEditMode = [this](edit::EditMode m) { mode = int(m); };
        const std::function<double()> scaleFactor = [this] { return factor; };
        window = std::make_unique<TMyEdit>(TMyEdit::Services{dialogs, books, settings, dates, numbers, lists,
                                                             fonts, screen, scaleFactor, editMode,
                                                             setEditMode, browse, nullptr, nullptr});
    }
    void open(int editMode, int row = 0)
    {
        books.gotoRow(row);
        mode = editMode;
        window->show();
    }
    QString stored(int field) { return db::fieldText(books.table(), field, dates); }
    QString lastMessage() const
    {
        return dialogs.transcript().empty() ? QString() : dialogs.transcript().back().text;
    }
    QString focused() const
    {
        QWidget* focus = window->focusWidget();
        if (focus && qobject_cast<QComboBox*>(focus->parentWidget()))
            focus = focus->parentWidget();
        return focus ? focus->objectName() : QString();
    }

    QTemporaryDir dir;
    platform::ScriptedDialogs dialogs;
    db::BookTable books;
    settings::Settings settings;
    settings::DateFormat dates{QStringLiteral("M/d/yy")};
    settings::NumberText numbers;
    edit::PickLists lists;
    settings::SharedFonts fonts;
    platform::FixedScreen screen{{800, 600}};
    double factor = 1.0;
    int mode = 0;
    std::unique_ptr<TMyEdit> window;
};

// Prepares a Harness table: `change` edits its first record.
std::function<void(dbase::Table&)> editFirst(std::function<void(dbase::Table&)> change)
{
    return [change](dbase::Table& t) {
        t.first();
        t.edit();
        change(t);
        t.post();
    };
}

void leave(QWidget* box)
{
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(box, &out);
}

} // namespace

class TestMyEdit : public QObject {
    Q_OBJECT

private slots:
    void emptyDateBoxes_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("typed");
        QTest::newRow("slash") << 1 << "7/4/1996";
        QTest::newRow("dash") << 5 << "4-7-1996";
        QTest::newRow("dot") << 9 << "07.04.1996";
    }

    // An empty date box holds no text, whatever the separator; a date typed into it is read.
    void emptyDateBoxes()
    {
        QFETCH(int, format);
        QFETCH(QString, typed);
        Harness h;
        h.dates.choose(format); // after the window was made: showing it rebuilds the masks
        h.open(1);
        QCOMPARE(h.window->PurchDate->text(), QString());
        QCOMPARE(h.window->CheckDate->text(), QString());
        h.window->Title->setText(QStringLiteral("Delta"));
        h.window->PurchDate->setCursorPosition(0);
        QTest::keyClicks(h.window->PurchDate, typed);
        h.window->UpdateButtonClick();
        QCOMPARE(h.lastMessage(), QString());
        QCOMPARE(h.books.table().date(F::PurchDate), (dbase::Date{1996, 7, 4}));
        QVERIFY(h.books.table().date(F::CheckDate).isNull());
        QCOMPARE(h.books.rowCount(), 4);
    }

    void moneyWithGrouping_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<double>("value");
        QTest::newRow("U.S.") << 1 << "1,234.5"
                              << "1,234.50" << 1234.5;
        QTest::newRow("Windows") << 2 << " 1.234,5 "
                                 << "1.234,50" << 1234.5;
        QTest::newRow("wider than the box once written") << 1 << "123456789"
                                                         << "123,456,789.00" << 123456789.0;
    }

    void moneyWithGrouping()
    {
        QFETCH(int, style);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(double, value);
        Harness h;
        h.numbers = settings::NumberText(platform::Intl(",", ".", 2), style, 1);
        h.open(2);
        h.window->Value->setText(typed);
        leave(h.window->Value);
        QCOMPARE(h.window->Value->text(), shown);
        h.window->UpdateButtonClick();
        QCOMPARE(h.books.table().floating(F::Value), value);
        QVERIFY(!h.books.table().isBlank(F::Cost)); // loaded empty, stored as 0
    }

    void copyRecordThenNextToTheEnd()
    {
        Harness h;
        h.open(2);
        h.window->MenuCopyRecordClick();
        QCOMPARE(h.window->windowTitle(), QStringLiteral("Edit (New Copied Record)"));
        QCOMPARE(h.mode, 1);
        h.dialogs.expectQuestion(QStringLiteral("This record has not been updated yet.  Update this record "
                                                "before moving to the next record?"),
                                 Button::No);
        h.window->NextButtonClick();
        const auto& question = h.dialogs.transcript().back();
        QVERIFY(question.afterBeep);
        QCOMPARE(question.defaultButton, Button::No);
        QCOMPARE(h.window->Title->text(), QStringLiteral("Beta"));
        QCOMPARE(h.books.table().physicalCount(), 3u);
        QCOMPARE(h.mode, 2);

        // On the last record Next stays there and loads it again.
        h.window->NextButtonClick();
        h.window->Title->setText(QStringLiteral("Changed"));
        h.dialogs.expectQuestion(
            QStringLiteral("Data has changed.  Update this record before moving to the next"), Button::No);
        h.window->NextButtonClick();
        QCOMPARE(h.books.currentRow(), 2);
        QCOMPARE(h.window->Title->text(), QStringLiteral("Gamma"));
        QCOMPARE(h.dialogs.problems(), QStringList());
    }

    void editOnEmptyTableAddsRecord()
    {
        Harness h({}, false, {});
        h.open(2);
        QCOMPARE(h.window->Title->text(), QString());
        h.window->Title->setText(QStringLiteral("First"));
        h.window->Author->setEditText(QStringLiteral(" Smith "));
        h.window->UpdateExitButtonClick();
        QVERIFY(!h.window->isVisible());
        QCOMPARE(h.books.rowCount(), 1);
        QCOMPARE(h.stored(F::Author), QStringLiteral(" Smith"));
        QCOMPARE(h.lists.entries(1), QStringList{"Smith"});
        QCOMPARE(h.window->Author->count(), 1);
        QVERIFY(QFile::exists(QString::fromStdString(h.lists.filePath(1).string()))); // saved on closing
    }

    void checkOutLetterCase_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("ticked");
        QTest::newRow("Yes") << "Yes" << true;
        QTest::newRow("yes") << "yes" << false;
        QTest::newRow("YES") << "YES" << false;
    }

    // The box shows the value; loading never runs the toggle, so the record's date and person stay.
    void checkOutLetterCase()
    {
        QFETCH(QString, value);
        QFETCH(bool, ticked);
        Harness h(editFirst([&](dbase::Table& t) {
            t.setText(F::CheckOut, value.toStdString());
            t.setDate(F::CheckDate, {2001, 2, 3});
            t.setText(F::CheckName, "Kim");
        }));
        h.open(2);
        QCOMPARE(h.window->CheckOut->isChecked(), ticked);
        QCOMPARE(h.window->CheckDate->text(), QStringLiteral("2/3/01"));
        QCOMPARE(h.window->CheckName->currentText(), QStringLiteral("Kim"));
    }

    void checkOutToggleRoundTrip()
    {
        Harness h([](dbase::Table& t) {
            t.first();
            const std::pair<dbase::Date, const char*> rows[] = {{{2001, 2, 3}, "Kim"}, {{2002, 3, 4}, "Lee"}};
            for (const auto& [date, name] : rows) {
                t.edit();
                t.setText(F::CheckOut, "Yes");
                t.setDate(F::CheckDate, date);
                t.setText(F::CheckName, name);
                t.post();
                t.next();
            }
        });
        h.open(2);
        h.window->CheckOut->click();
        QCOMPARE(h.window->CheckDate->text(), QString());
        QCOMPARE(h.window->CheckName->currentText(), QString());
        h.window->CheckOut->click();
        QCOMPARE(h.window->CheckDate->text(), QStringLiteral("2/3/01"));
        QCOMPARE(h.window->CheckName->currentText(), QStringLiteral("Kim"));
        h.window->CheckOut->click();
        h.dialogs.expectQuestion(QStringLiteral("Data has changed."), Button::No);
        h.window->NextButtonClick();
        QVERIFY(h.window->CheckOut->isChecked());
        QCOMPARE(h.window->CheckDate->text(), QStringLiteral("3/4/02"));
        QCOMPARE(h.window->CheckName->currentText(), QStringLiteral("Lee"));
        QCOMPARE(h.dialogs.problems(), QStringList());
    }

    // Enter walks every box of the five pages and back to the title; on a button it does nothing.
    void enterChain()
    {
        Harness h;
        h.open(1);
        const QStringList chain{
            "Author",     "Publisher", "Editor",    "BookType",  "Volume",      "Issue",
            "YearPub",    "Edition",   "Pages",     "PurchDate", "WherePurch",  "Catalog",
            "SubCat1",    "SubCat2",   "Dewey",     "ISBN",      "Category",    "KeyWords",
            "PersRating", "Location",  "Cost",      "Value",     "LowMarket",   "HighMarket",
            "CheckOut",   "CheckDate", "CheckName", "Condition", "Description", "UserDef1",
            "UserDef2",   "UserDef3",  "UserDef4",  "UserDef5",  "UserDef6",    "Title"};
        const int firstOfPage[] = {11, 20, 24, 27, 35}; // chain positions where the page turns
        int page = 0;
        for (int i = 0; i < chain.size(); ++i) {
            QTest::keyClick(h.window->focusWidget(), Qt::Key_Return);
            QCOMPARE(h.focused(), chain[i]);
            if (std::find(std::begin(firstOfPage), std::end(firstOfPage), i) != std::end(firstOfPage))
                page = (page + 1) % 5;
            QCOMPARE(h.window->Notebook->currentIndex(), page);
        }
        QCOMPARE(h.window->Author->currentText(), QString());
        h.window->Title->setText(QStringLiteral("Delta"));
        QTest::keyClick(h.window->UpdateButton, Qt::Key_Return);
        QTest::keyClick(h.window->Notebook->tabBar(), Qt::Key_Enter);
        QCOMPARE(h.books.rowCount(), 3);
        QCOMPARE(h.focused(), QStringLiteral("Title"));
    }

    // Only the first failure is reported, on its page with the focus in its box; nothing is written.
    void orderOfChecks()
    {
        Harness h;
        h.open(1);
        struct Step {
            QLineEdit* box;
            QString bad;
            const char* fragment;
            int page;
            QString fix;
        };
        const Step steps[] = {
            {h.window->CheckDate, "2/30/03", "Invalid check out date specified.  Please correct.", 3,
             "1/2/03"},
            {h.window->PurchDate, "13/1/96", "Invalid purchase date specified.  Please correct.", 0, ""},
            {h.window->Cost, "x", "Invalid cost specified.  Please correct.", 2, "1"},
            {h.window->Value, "1.000.000", "Invalid value specified.  Please correct.", 2, "1,000"},
            {h.window->LowMarket, "$5", "Invalid low market value specified.  Please correct.", 2, ""},
            {h.window->HighMarket, "1e999", "Invalid high market value specified.  Please correct.", 2, "3"},
            {h.window->YearPub, "19x5", "\"19x5\" cannot be stored in Year Pub", 0, "1995"},
            {h.window->Pages, "1.5", "cannot be stored in Pages", 0, "300"},
            {h.window->Title, "\xc5\x81odz", "The character \"\xc5\x81\" in Title cannot be stored", 0,
             "Lodz"},
        };
        for (const Step& step : steps) {
            step.box->setText(step.bad);
            leave(step.box); // text that is not money stays as typed
        }
        for (const Step& step : steps) {
            h.window->Notebook->setCurrentIndex(4);
            h.window->UpdateButtonClick();
            QVERIFY2(h.lastMessage().contains(QString::fromUtf8(step.fragment)), qPrintable(h.lastMessage()));
            QCOMPARE(h.dialogs.transcript().back().caption, QStringLiteral("Error"));
            QCOMPARE(h.window->Notebook->currentIndex(), step.page);
            QCOMPARE(h.window->focusWidget(), step.box);
            QCOMPARE(h.books.table().physicalCount(), 3u);
            QCOMPARE(h.mode, 1);
            step.box->setText(step.fix);
        }
        const std::size_t messages = h.dialogs.transcript().size();
        h.window->UpdateButtonClick();
        QCOMPARE(h.dialogs.transcript().size(), messages);
        QCOMPARE(h.stored(F::Title), QStringLiteral("Lodz"));
        QCOMPARE(h.books.table().floating(F::Value), 1000.0);
    }

    void unchangedDateKeepsCentury_data()
    {
        QTest::addColumn<QString>("typed"); // empty: the date box is left alone
        QTest::addColumn<dbase::Date>("expected");
        QTest::newRow("unrelated edit") << QString() << dbase::Date{1996, 7, 4};
        QTest::newRow("date typed again") << "7/5/96" << dbase::Date{2096, 7, 5};
    }

    void unchangedDateKeepsCentury()
    {
        QFETCH(QString, typed);
        QFETCH(dbase::Date, expected);
        Harness h(editFirst([](dbase::Table& t) { t.setDate(F::PurchDate, {1996, 7, 4}); }));
        h.dates.setToday({2130, 1, 1}); // two-digit years now read as 2051-2150
        h.open(2);
        QCOMPARE(h.window->PurchDate->text(), QStringLiteral("7/4/96"));
        h.window->Title->setText(QStringLiteral("Alpha, revised"));
        if (!typed.isEmpty())
            h.window->PurchDate->setText(typed);
        h.window->UpdateButtonClick();
        QCOMPARE(h.books.table().date(F::PurchDate), expected);
        h.window->Title->setText(QStringLiteral("Alpha, again")); // the stored date now counts as loaded
        h.window->UpdateButtonClick();
        QCOMPARE(h.books.table().date(F::PurchDate), expected);
    }

    void failedUpdateLeavesNothing_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<dbase::Access>("access");
        QTest::addColumn<bool>("otherProgramWrites");
        QTest::addColumn<QString>("fragment");
        QTest::newRow("year the table cannot take") << 1 << dbase::Access::Shared << false << "Year Pub";
        QTest::newRow("read-only table") << 3 << dbase::Access::ReadOnly << false << "read-only";
        QTest::newRow("changed by another program")
            << 2 << dbase::Access::Shared << true << "changed by another";
    }

    void failedUpdateLeavesNothing()
    {
        QFETCH(int, mode);
        QFETCH(dbase::Access, access);
        QFETCH(bool, otherProgramWrites);
        QFETCH(QString, fragment);
        Harness h({}, false, {"Alpha", "Beta", "Gamma"}, access);
        h.open(mode);
        if (otherProgramWrites) {
            editFirst([](dbase::Table& t) { t.setText(F::Title, "Theirs"); })(
                *dbase::Table::open(h.books.table().path(), dbase::Access::Shared));
        }
        h.window->Title->setText(QStringLiteral("Mine"));
        if (mode == 1)
            h.window->YearPub->setText(QStringLiteral("19x5"));
        h.window->UpdateButtonClick();
        QVERIFY2(h.lastMessage().contains(fragment), qPrintable(h.lastMessage()));
        QCOMPARE(h.mode, mode);
        QVERIFY(!h.books.table().editing());
        QCOMPARE(h.window->Title->text(), QStringLiteral("Mine"));
        h.dialogs.expectQuestion(QStringLiteral("Update this record before moving to the next record?"),
                                 Button::No);
        h.window->NextButtonClick();
        h.window->CancelButtonClick();
        QCOMPARE(h.books.table().physicalCount(), 3u);
        QCOMPARE(h.dialogs.problems(), QStringList());
    }

    void updateOutOfSearch_data()
    {
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("shown"); // after the first Update; empty: a new record
        QTest::addColumn<QStringList>("stored");
        QTest::newRow("edited") << QStringList{"Alpha", "Beta", "Gamma"} << 2 << "Beta"
                                << QStringList{"Alpha/HISTORY", "Typed/FICTION", "Gamma/FICTION"};
        QTest::newRow("added") << QStringList{"Alpha", "Beta", "Gamma"} << 1 << "Alpha"
                               << QStringList{"Typed/FICTION", "Beta/FICTION", "Gamma/FICTION", "/HISTORY"};
        QTest::newRow("last one found")
            << QStringList{"Alpha"} << 2 << "" << QStringList{"Alpha/HISTORY", "Typed/"};
    }

    // A book saved out of the search leaves the list: the window shows the book now current,
    // so the next Update writes to the book on screen, never over another one.
    void updateOutOfSearch()
    {
        QFETCH(QStringList, titles);
        QFETCH(int, mode);
        QFETCH(QString, shown);
        QFETCH(QStringList, stored);
        std::vector<std::string> names;
        for (const QString& title : titles)
            names.push_back(title.toStdString());
        Harness h(
            [](dbase::Table& t) {
                for (t.first(); !t.eof(); t.next()) {
                    t.edit();
                    t.setText(F::Category, "FICTION");
                    t.post();
                }
            },
            false, names);
        h.books.setFilter([](const dbase::RecordView& r) { return r.text(F::Category) == "FICTION"; });
        h.open(mode);
        h.window->Category->setEditText(QStringLiteral("HISTORY"));
        h.window->UpdateButtonClick();
        QVERIFY2(h.lastMessage().contains(QStringLiteral("no longer matches the search")),
                 qPrintable(h.lastMessage()));
        QCOMPARE(h.window->Title->text(), shown);
        QCOMPARE(h.mode, shown.isEmpty() ? 1 : 2);
        QVERIFY(!h.window->DataChanged());
        h.window->Title->setText(QStringLiteral("Typed"));
        h.window->UpdateButtonClick();
        QStringList inFile;
        auto table = dbase::Table::open(h.books.table().path(), dbase::Access::ReadOnly);
        for (table->first(); !table->eof(); table->next())
            inFile << QString::fromStdString(table->text(F::Title) + "/" + table->text(F::Category));
        QCOMPARE(inFile, stored);
    }

    void loadedValuesKeptWhole_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("value"); // as the table holds it
        QTest::addColumn<int>("widen");     // the table's text fields wider than the boxes by
        QTest::addColumn<QString>("shown");
        const QString title154 = QStringLiteral("Long title").repeated(16).left(154);
        QTest::newRow("cost beyond the box") << int(F::Cost) << "1234567890" << 0 << "1,234,567,890.00";
        QTest::newRow("cost with cents") << int(F::Cost) << "12345678.95" << 0 << "12,345,678.95";
        QTest::newRow("cost at the box's width") << int(F::Cost) << "1234567" << 0 << "1,234,567.00";
        QTest::newRow("year beyond the box") << int(F::YearPub) << "19960" << 0 << "19960";
        QTest::newRow("year at the box's width") << int(F::YearPub) << "1996" << 0 << "1996";
        QTest::newRow("pages beyond the box") << int(F::Pages) << "1234567" << 0 << "1234567";
        QTest::newRow("title beyond the box") << int(F::Title) << title154 << 110 << title154;
        QTest::newRow("title at the box's width")
            << int(F::Title) << title154.left(90) << 0 << title154.left(90);
    }

    // A value at or beyond its box's width is shown and stored back whole; typing cannot lengthen it.
    void loadedValuesKeptWhole()
    {
        QFETCH(int, field);
        QFETCH(QString, value);
        QFETCH(int, widen);
        QFETCH(QString, shown);
        Harness h(editFirst([&](dbase::Table& t) { db::setFieldText(t, field, value, db::ShortDateText()); }),
                  false, {"Alpha", "Beta"}, dbase::Access::Shared, widen);
        const QString before = h.stored(field);
        h.open(2);
        auto* box = static_cast<QLineEdit*>(h.window->box(field));
        QCOMPARE(box->text(), shown);
        box->end(false);
        QTest::keyClick(box, Qt::Key_9);
        QCOMPARE(box->text(), shown);
        h.window->Editor->setText(QStringLiteral("Someone"));
        h.window->UpdateButtonClick();
        QCOMPARE(h.lastMessage(), QString());
        QCOMPARE(h.stored(F::Editor), QStringLiteral("Someone"));
        QCOMPARE(h.stored(field), before);
    }

    // Every text box and pick-list box shows a value ten characters wider than it takes and stores it back
    // whole.
    void everyBoxKeepsWiderValues()
    {
        const auto wide = [](int field) {
            const QString start = QStringLiteral("%1:").arg(field);
            return start + QString(db::inputLength(field) + 10 - start.size(), QChar(u'a' + field % 26));
        };
        const auto textField = [](int field) {
            return db::bookFields().at(std::size_t(field)).kind == dbase::FieldSpec::Kind::Character &&
                   field != F::CheckOut;
        };
        Harness h(editFirst([&](dbase::Table& t) {
                      for (int field = 0; field < db::kBookFieldCount; ++field)
                          if (textField(field))
                              t.setText(field, wide(field).toStdString());
                  }),
                  false, {"Alpha"}, dbase::Access::Shared, 10);
        h.open(2);
        for (int field = 0; field < db::kBookFieldCount; ++field) {
            if (!textField(field))
                continue;
            auto* combo = qobject_cast<QComboBox*>(h.window->box(field));
            QLineEdit* line = combo ? combo->lineEdit() : static_cast<QLineEdit*>(h.window->box(field));
            QCOMPARE(line->text(), wide(field));
            line->end(false);
            QTest::keyClick(line, Qt::Key_Z);
            QCOMPARE(line->text(), wide(field));
        }
        h.window->UpdateButtonClick();
        QCOMPARE(h.lastMessage(), QString());
        for (int field = 0; field < db::kBookFieldCount; ++field)
            if (textField(field))
                QCOMPARE(h.stored(field), wide(field));
    }

    void datesUnderEveryFormat_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("zeros");
        for (int format = 1; format <= 12; ++format)
            for (bool zeros : {false, true})
                QTest::addRow("format %d%s", format, zeros ? ", leading zeros" : "") << format << zeros;
    }

    // A loaded date shows as the format writes it; a part edited in place gives the date it reads as.
    void datesUnderEveryFormat()
    {
        QFETCH(int, format);
        QFETCH(bool, zeros);
        Harness h(editFirst([](dbase::Table& t) { t.setDate(F::PurchDate, {1990, 5, 9}); }));
        h.dates.apply(format, zeros);
        h.dates.setToday({2026, 1, 1});
        h.open(2);
        QLineEdit* box = h.window->PurchDate;
        QCOMPARE(box->displayText(), h.dates.write({1990, 5, 9}));
        // Select the day's digits as shown and type another day over them.
        const QString shown = box->displayText();
        const QStringList parts = shown.split(h.dates.separator());
        const QStringList kinds = h.dates.pattern().split(u'/');
        int start = 0;
        int part = 0;
        for (; !kinds[part].startsWith(u'd'); ++part)
            start += int(parts[part].size()) + 1;
        int fill = 0; // the day's places left unfilled, shown before its digits
        while (!parts[part][fill].isDigit())
            ++fill;
        box->setSelection(start + fill, int(parts[part].size()) - fill);
        QTest::keyClicks(box, QStringLiteral("10"));
        h.window->UpdateButtonClick();
        QCOMPARE(h.lastMessage(), QString());
        QCOMPARE(h.books.table().date(F::PurchDate), (dbase::Date{1990, 5, 10}));
    }

    void blankInsideDate_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("after a separator") << "5/ 9/90";
        QTest::newRow("before a separator") << "5 /9/90";
    }

    // Blanks inside a date leave its parts unclear: refused as an invalid date, with the focus in the box.
    void blankInsideDate()
    {
        QFETCH(QString, text);
        Harness h;
        h.open(2);
        h.window->PurchDate->setText(text);
        h.window->Notebook->setCurrentIndex(3);
        h.window->UpdateButtonClick();
        QCOMPARE(h.lastMessage(), QStringLiteral("Invalid purchase date specified.  Please correct."));
        QCOMPARE(h.window->Notebook->currentIndex(), 0);
        QCOMPARE(h.window->focusWidget(), h.window->PurchDate);
        QCOMPARE(h.books.table().date(F::PurchDate), (dbase::Date{2001, 1, 1}));
    }

    // Alt+D is Update's alone: the first page's tab does not claim it.
    void altDUpdates()
    {
        Harness h;
        h.open(2);
        h.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
        h.window->Title->setFocus();
        h.window->Title->setText(QStringLiteral("Changed"));
        QTest::keyClick(h.window->Title, Qt::Key_D, Qt::AltModifier);
        QTRY_COMPARE(h.stored(F::Title), QStringLiteral("Changed")); // a mnemonic clicks a moment later
        QVERIFY(!h.window->DataChanged());
    }

    void startingAnotherBookFocusesTitle_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("new record") << "MenuNew";
        QTest::newRow("copy record") << "MenuCopyRecord";
        QTest::newRow("clear") << "MenuClear";
    }

    void startingAnotherBookFocusesTitle()
    {
        QFETCH(QString, command);
        Harness h;
        h.open(2);
        h.window->Notebook->setCurrentIndex(2);
        h.window->ClearButton->setFocus();
        h.window->findChild<QAction*>(command)->trigger();
        QCOMPARE(h.focused(), QStringLiteral("Title"));
        QCOMPARE(h.window->Notebook->currentIndex(), 0);
    }

    void pickDropDownsTakeEditFont()
    {
        Harness h;
        h.fonts.label.setFamily(QStringLiteral("Label Face"));
        h.fonts.edit.setFamily(QStringLiteral("Edit Face"));
        h.open(1);
        for (QComboBox* combo : h.window->findChildren<QComboBox*>())
            QCOMPARE(combo->view()->font().family(), QStringLiteral("Edit Face"));
        QCOMPARE(h.window->label(F::Author)->font().family(), QStringLiteral("Label Face"));
    }

    void fixedScaledSize_data()
    {
        QTest::addColumn<double>("factor");
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QSize>("size");
        QTest::newRow("1.0") << 1.0 << QSize(800, 600) << QSize(632, 440);
        QTest::newRow("1.25") << 1.25 << QSize(800, 600) << QSize(790, 550);
        QTest::newRow("1280 x 1024") << 2.0 << QSize(1280, 1024) << QSize(1264, 880);
    }

    // The window takes its scaled design size, cannot be resized, and its boxes fit in it.
    void fixedScaledSize()
    {
        QFETCH(double, factor);
        QFETCH(QSize, screen);
        QFETCH(QSize, size);
        Harness h;
        h.factor = factor;
        h.screen.setSize(screen);
        h.open(2);
        QCOMPARE(h.window->size(), size);
        QCOMPARE(h.window->minimumSize(), size);
        QCOMPARE(h.window->maximumSize(), size);
        const QSize needed = h.window->layout()->totalMinimumSize();
        QVERIFY2(needed.width() <= size.width() && needed.height() <= size.height(),
                 qPrintable(QStringLiteral("%1 x %2").arg(needed.width()).arg(needed.height())));
        QVERIFY(h.window->x() >= 0 && h.window->x() + size.width() <= screen.width());
    }

    void longTitleShowsItsStart()
    {
        Harness h({}, false, {std::string(85, 'W')});
        h.open(2);
        QCOMPARE(h.window->Title->cursorPosition(), 0);
    }

    // An empty title stays empty on the window; messages still name the box.
    void emptyFieldTitle()
    {
        Harness h;
        h.settings.fields[F::Editor].title.clear();
        h.settings.fields[F::YearPub].title.clear();
        h.open(1);
        QCOMPARE(h.window->label(F::Editor)->text(), QString());
        h.window->YearPub->setText(QStringLiteral("19x5"));
        h.window->UpdateButtonClick();
        QVERIFY2(h.lastMessage().contains(QStringLiteral("cannot be stored in Year Pub")),
                 qPrintable(h.lastMessage()));
    }

    // Escape and the frame's close button ask, as Exit does; browse mode never asks.
    void closingAsksWhenChanged()
    {
        Harness h;
        h.open(2);
        h.window->Title->setText(QStringLiteral("Changed"));
        h.dialogs.expectQuestion(QStringLiteral("Data has changed.  Do you want to exit without updating?"),
                                 Button::No);
        QTest::keyClick(h.window->Title, Qt::Key_Escape);
        QVERIFY(h.window->isVisible());
        h.dialogs.expectQuestion(QStringLiteral("exit without updating?"), Button::Yes);
        h.window->close();
        QVERIFY(!h.window->isVisible());
        QVERIFY(h.dialogs.transcript().back().afterBeep);
        QCOMPARE(h.dialogs.problems(), QStringList());

        Harness browsing({}, true);
        browsing.open(2);
        QVERIFY(!browsing.window->MenuUpdate->isEnabled() && !browsing.window->UpdateButton->isEnabled());
        QVERIFY(browsing.window->MenuCopyRecord->isEnabled());
        browsing.window->Title->setText(QStringLiteral("Changed"));
        browsing.window->NextButtonClick();
        browsing.window->CancelButtonClick();
        QVERIFY(!browsing.window->isVisible());
        QVERIFY(browsing.dialogs.transcript().empty());
    }

    // The window's shortcuts win over the line edit's own Ctrl+E (end of line).
    void shortcutsWinOverLineEdit()
    {
        Harness h;
        h.open(2);
        h.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
        h.window->Title->setFocus();
        QTest::keyClick(h.window->Title, Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(h.window->windowTitle(), QStringLiteral("Edit (New Record)"));
        QCOMPARE(h.window->Title->text(), QString());
        QCOMPARE(h.mode, 1);
    }
};

REGISTER_TEST(TestMyEdit)
#include "tst_myedit.moc"
