#include "BookFixture.h"
#include "TempDir.h"
#include "TestRegistry.h"
#include "ViewerFixture.h"
#include "db/FieldText.h"
#include "edit/DateMask.h"
#include "edit/PickLists.h"
#include "edit/TypingLimit.h"
#include "edit/ViewerOptions.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QLocale>
#include <QTableView>
#include <QTest>

namespace {

constexpr int kYearPub = 2, kCost = 6, kValue = 7, kPages = 23;

} // namespace

class TestTypingLimit : public QObject {
    Q_OBJECT

private slots:
    void typing_data()
    {
        QTest::addColumn<QString>("loaded");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<int>("selected");  // characters selected from the cursor on
        QTest::addColumn<QString>("typed"); // "\b": backspace
        QTest::addColumn<QString>("expected");
        QTest::newRow("room left") << "12" << 2 << 0 << "345"
                                   << "1234";
        QTest::newRow("full") << "1234" << 4 << 0 << "5"
                              << "1234";
        QTest::newRow("beyond, loaded whole") << "19960" << 5 << 0 << ""
                                              << "19960";
        QTest::newRow("beyond, not grown") << "19960" << 0 << 0 << "1"
                                           << "19960";
        QTest::newRow("beyond, a digit replaced") << "19960" << 4 << 1 << "1"
                                                  << "19961";
        QTest::newRow("beyond, shortened, grows to the limit only") << "19960" << 5 << 0 << "\b\b12"
                                                                    << "1991";
    }

    // What the program sets is kept whole; typing never takes the text past the limit or its length.
    void typing()
    {
        QFETCH(QString, loaded);
        QFETCH(int, cursor);
        QFETCH(int, selected);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        QLineEdit line;
        edit::limitTyping(&line, 4);
        line.setText(loaded);
        QCOMPARE(line.text(), loaded);
        line.setSelection(cursor, selected);
        for (QChar c : typed) {
            if (c == u'\b')
                QTest::keyClick(&line, Qt::Key_Backspace);
            else
                QTest::keyClicks(&line, QString(c));
        }
        QCOMPARE(line.text(), expected);
        QVERIFY(line.hasAcceptableInput());
    }

    // A paste keeps what fits, as a limited box always did.
    void pasteKeepsWhatFits()
    {
        QLineEdit line;
        edit::limitTyping(&line, 6);
        line.setText(QStringLiteral("ab"));
        line.setCursorPosition(1);
        QApplication::clipboard()->setText(QStringLiteral("12345678"));
        line.paste();
        QCOMPARE(line.text(), QStringLiteral("a1234b"));
        QCOMPARE(line.cursorPosition(), 5);
    }

    void pickComboKeepsLoadedText()
    {
        QComboBox combo;
        edit::setUpPickCombo(&combo, 5);
        edit::loadPickCombo(&combo, {QStringLiteral("Smithson-Jones")});
        combo.setEditText(QStringLiteral("Abcdefgh"));
        QCOMPARE(combo.currentText(), QStringLiteral("Abcdefgh"));
        combo.setCurrentIndex(0);
        QCOMPARE(combo.currentText(), QStringLiteral("Smithson-Jones"));
        combo.clearEditText();
        QTest::keyClicks(combo.lineEdit(), QStringLiteral("Abcdefgh"));
        QCOMPARE(combo.currentText(), QStringLiteral("Abcde"));
    }

    void gridEditorsKeepLoadedValues_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("cost beyond the box") << kCost << "1234567890"
                                             << "1,234,567,890.00";
        QTest::newRow("value with cents") << kValue << "12345678.95"
                                          << "12,345,678.95";
        QTest::newRow("cost below zero") << kCost << "-0.5"
                                         << "-0.50";
        QTest::newRow("year beyond the box") << kYearPub << "19960"
                                             << "19960";
        QTest::newRow("pages beyond the box") << kPages << "1234567"
                                              << "1234567";
        QTest::newRow("year at the box's width") << kYearPub << "1996"
                                                 << "1996";
    }

    // Opening a cell's editor and leaving it writes back the value it showed, whole.
    void gridEditorsKeepLoadedValues()
    {
        QFETCH(int, field);
        QFETCH(QString, value);
        QFETCH(QString, shown);
        // One book, editing allowed, money shown as the edit window shows it.
        Viewer g({"Alpha"});
        g.model.setCellWriter(edit::gridCellWriter(g.dates, {}));
        g.settings.fieldEditing = true;
        g.hooks.writeMoney = [](double v) { return QLocale(QLocale::English).toString(v, 'f', 2); };
        g.hooks.pickList = [](int) { return QStringList(); };
        g.apply();
        dbase::Table& t = g.table.table();
        t.edit();
        db::setFieldText(t, field, value, g.dates);
        t.post();
        const QString before = db::fieldText(t, field, g.dates);
        const QModelIndex cell = g.model.index(0, g.model.columnOf(field));
        g.grid.setCurrentIndex(cell);
        g.grid.edit(cell);
        auto* editor = g.grid.viewport()->findChild<QLineEdit*>();
        QVERIFY(editor);
        QCOMPARE(editor->text(), shown);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents(); // the editor is closed from the event loop
        QCOMPARE(db::fieldText(t, field, g.dates), before);
        QCOMPARE(g.messages, QStringList());
    }

    void dateTyping_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("whole date") << "m/d/yy"
                                    << "12/31/1999"
                                    << "12/31/1999";
        QTest::newRow("day of three digits") << "m/d/yy"
                                             << "5/123"
                                             << "5/12";
        QTest::newRow("year first") << "yyyy/mm/dd"
                                    << "19901/5"
                                    << "1990/5";
        QTest::newRow("letters and blanks") << "m/d/yy"
                                            << "5a/ 9"
                                            << "5/9";
        QTest::newRow("a fourth part") << "m/d/yy"
                                       << "5/9/90/1"
                                       << "5/9/901";
    }

    // Only digits and separators can be typed, two digits for the day and month, four for the year.
    void dateTyping()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        QLineEdit box;
        edit::setUpDateBox(&box, pattern, u'/');
        QTest::keyClicks(&box, typed);
        QCOMPARE(box.text(), expected);
        box.setText(QStringLiteral("1 2//x")); // the program's text is never refused
        QCOMPARE(box.text(), QStringLiteral("1 2//x"));
    }
};

REGISTER_TEST(TestTypingLimit)
#include "tst_typinglimit.moc"
