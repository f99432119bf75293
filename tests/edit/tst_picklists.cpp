#include "TestRegistry.h"
#include "edit/PickLists.h"
#include "edit/TMyEditBox.h"
#include "platform/ScriptedDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>

using edit::PickLists;
using platform::Button;

namespace {

std::filesystem::path pathOf(const QTemporaryDir& dir, const char* name)
{
    return std::filesystem::path(dir.path().toStdString()) / name;
}

void writeFile(const std::filesystem::path& path, const QByteArray& bytes)
{
    QFile file(QString::fromStdString(path.string()));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const std::filesystem::path& path)
{
    QFile file(QString::fromStdString(path.string()));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestPickLists : public QObject {
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("entries");
        const QStringList both{"Smith", "Jones"};
        QTest::newRow("CR LF, blank lines, blanks around")
            << QByteArray(" Smith \r\n\r\n\tJones\t\r\n  \r\n") << both;
        QTest::newRow("LF, no final line end") << QByteArray("Smith\n\nJones") << both;
        QTest::newRow("Windows-1252") << QByteArray("M\xfcller\r\n") << QStringList{"Müller"};
        QTest::newRow("UTF-8 with BOM") << QByteArray("\xef\xbb\xbfM\xc3\xbcller\n") << QStringList{"Müller"};
        QTest::newRow("UTF-16") << QByteArray("\xff\xfeS\0m\0i\0t\0h\0\r\0\n\0", 16) << QStringList{"Smith"};
        QTest::newRow("garbage") << QByteArray("\x00\x01Sm\x00ith\x1a\r\n\x81\x8d\x9d\n\x7f", 16)
                                 << QStringList{"Smith"};
        QTest::newRow("10,000 characters")
            << QByteArray(10000, 'a') + "\r\nb" << QStringList{QString(255, u'a'), "b"};
        QTest::newRow("cut before trimming")
            << QByteArray(250, ' ') + QByteArray(9750, 'a') << QStringList{QString(5, u'a')};
    }

    void parse()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, entries);
        QCOMPARE(edit::parsePickList(bytes), entries);
    }

    void write_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("code page when it can")
            << QStringList{"Müller", "Smith"} << QByteArray("M\xfcller\r\nSmith\r\n");
        QTest::newRow("UTF-8 when it must")
            << QStringList{"Łukasz", "Müller"} << QByteArray("\xc5\x81ukasz\r\nM\xc3\xbcller\r\n");
        // "Ã©" in the code page is C3 A9, which a reader would take for UTF-8 "é".
        QTest::newRow("code page that reads as UTF-8")
            << QStringList{"Ã©"} << QByteArray("\xc3\x83\xc2\xa9\r\n");
    }

    void write()
    {
        QFETCH(QStringList, entries);
        QFETCH(QByteArray, bytes);
        QCOMPARE(edit::serialisePickList(entries), bytes);
        QCOMPARE(edit::parsePickList(bytes), entries);
    }

    void filesRoundTripWhateverTheirCase()
    {
        QTemporaryDir dir;
        writeFile(pathOf(dir, "author.lst"), "smith\nM\xfcller\n");
        PickLists lists(dir.path().toStdString());
        lists.loadAll();
        QCOMPARE(lists.entries(1), QStringList({"smith", "Müller"}));
        QVERIFY(lists.entries(2).isEmpty()); // no file

        QVERIFY(lists.add(1, "Smith")); // letter case counts
        QVERIFY(!lists.add(1, "  Smith "));
        QVERIFY(!lists.add(1, "   "));
        lists.saveAll();
        QCOMPARE(readFile(pathOf(dir, "author.lst")), QByteArray("smith\r\nM\xfcller\r\nSmith\r\n"));
        QVERIFY(!std::filesystem::exists(pathOf(dir, "AUTHOR.LST")));
        QCOMPARE(readFile(pathOf(dir, "LOCATION.LST")), QByteArray()); // missing files are created

        PickLists again(dir.path().toStdString());
        again.loadAll();
        QCOMPARE(again.entries(1), lists.entries(1));
    }

    void failuresAreReportedAndLoseNothing()
    {
        QTemporaryDir dir;
        PickLists lists(dir.path().toStdString());
        lists.loadAll();
        // A directory in the place of a list file can be neither read nor replaced.
        std::filesystem::create_directory(pathOf(dir, "AUTHOR.LST"));
        lists.add(1, "Smith");
        lists.add(2, "Shelf 1");
        try {
            lists.saveAll();
            QFAIL("no error");
        } catch (const edit::PickListError& error) {
            QCOMPARE(error.path(), pathOf(dir, "AUTHOR.LST"));
        }
        QCOMPARE(readFile(pathOf(dir, "LOCATION.LST")), QByteArray("Shelf 1\r\n")); // the others are written

        lists.loadAll();
        QVERIFY(lists.entries(1).isEmpty());
        lists.saveAll(); // unchanged: left alone without complaint
        lists.add(1, "Smith");
        QVERIFY_THROWS_EXCEPTION(edit::PickListError, lists.saveAll());
        QVERIFY(std::filesystem::is_directory(pathOf(dir, "AUTHOR.LST")));
    }

    // A file that opens but fails while being read must never be written over, and the lists
    // after it must still be read, or a later save replaces CATEGORY.LST by the one entry added.
    void readFailureLosesNothing()
    {
        QTemporaryDir dir;
        // Reading /proc/self/mem from its start fails (EIO) after the open succeeds.
        const std::filesystem::path broken = pathOf(dir, "AUTHOR.LST");
        std::filesystem::create_symlink("/proc/self/mem", broken);
        std::filesystem::create_symlink("/proc/self/mem", pathOf(dir, "CONDITION.LST"));
        writeFile(pathOf(dir, "CATEGORY.LST"), "Fiction\r\nHistory\r\n");
        PickLists lists(dir.path().toStdString());
        try {
            lists.loadAll();
            QFAIL("no error");
        } catch (const edit::PickListError& error) {
            QCOMPARE(error.path(), broken);
            QVERIFY(std::string(error.what()).find("CONDITION.LST") != std::string::npos);
        }
        QCOMPARE(lists.entries(4), QStringList({"Fiction", "History"}));

        QVERIFY(lists.add(4, "Poetry"));
        QVERIFY(lists.add(1, "Smith"));
        try {
            lists.saveAll();
            QFAIL("no error");
        } catch (const edit::PickListError& error) {
            QCOMPARE(error.path(), broken);
            QCOMPARE(QString::fromStdString(error.reason()),
                     "it could not be read when the lists were loaded, so it is left as it is");
        }
        QCOMPARE(readFile(pathOf(dir, "CATEGORY.LST")), QByteArray("Fiction\r\nHistory\r\nPoetry\r\n"));
        QCOMPARE(std::filesystem::read_symlink(broken), std::filesystem::path("/proc/self/mem"));
    }

    // Qt's own editable combo box completes without regard to case and selects "smith" for
    // "Smith" on Enter; inline completion would make "Smith" into "Smithson".
    void comboKeepsTheTextAsTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("other case, prefix of an entry") << "Smith";
        QTest::newRow("prefix of an entry") << "Smit";
        QTest::newRow("new") << "Jones";
    }

    void comboKeepsTheTextAsTyped()
    {
        QFETCH(QString, typed);
        QWidget window;
        auto* combo = new QComboBox(&window);
        auto* other = new QLineEdit(&window);
        edit::setUpPickCombo(combo, 90);
        edit::loadPickCombo(combo, {"smith", "Smithson"});
        window.show();
        QApplication::setActiveWindow(&window); // completion works only in the active window
        QVERIFY(QTest::qWaitForWindowActive(&window));
        combo->setFocus();
        QTest::keyClicks(combo, typed);
        QTest::keyClick(combo, Qt::Key_Return);
        other->setFocus();
        QCOMPARE(combo->currentText(), typed);
        QCOMPARE(combo->count(), 2);
        edit::loadPickCombo(combo, {"a"});
        QCOMPARE(combo->currentText(), typed);
    }

    void maintenanceWindow()
    {
        QTemporaryDir dir;
        PickLists lists(dir.path().toStdString());
        lists.setEntries(3, {"Book Barn", "attic sale"});
        platform::ScriptedDialogs dialogs;
        TMyEditBox window(lists, 3, dialogs, {});
        auto* entry = window.findChild<QLineEdit*>("AddInfo");
        auto* list = window.findChild<QListWidget*>("TheList");
        QCOMPARE(window.windowTitle(), QString("Edit \"Purchased From\" List"));
        QCOMPARE(entry->maxLength(), 30);
        window.show();
        QCOMPARE(list->currentRow(), 0);

        QTest::keyClicks(entry, "  Corner Shop ");
        QTest::keyClick(entry, Qt::Key_Return); // adds, does not close
        entry->setText("Book Barn");
        window.AddButtonClick(); // duplicates are the user's choice
        QCOMPARE(window.items(), QStringList({"Book Barn", "attic sale", "Corner Shop", "Book Barn"}));
        QVERIFY(window.isVisible());

        list->setCurrentRow(3);
        window.DeleteButtonClick();
        QCOMPARE(list->currentRow(), 2); // the new last entry
        list->clearSelection();
        window.DeleteButtonClick();
        QCOMPARE(list->count(), 3);

        dialogs.expectQuestion("Sorting cannot be undone.", Button::No);
        window.SortButtonClick();
        QCOMPARE(window.items(), QStringList({"Book Barn", "attic sale", "Corner Shop"}));
        dialogs.expectQuestion("Are you sure you want to sort the data?", Button::Yes);
        window.SortButtonClick();
        QCOMPARE(window.items(), QStringList({"attic sale", "Book Barn", "Corner Shop"}));
        QCOMPARE(dialogs.transcript().back().caption, QString("Confirm"));
        QCOMPARE(lists.entries(3), QStringList({"Book Barn", "attic sale"})); // nothing kept yet

        QSignalSpy changed(&lists, &PickLists::changed);
        window.OkButtonClick();
        QCOMPARE(lists.entries(3), window.items());
        QCOMPARE(changed.count(), 1);
        QVERIFY(dialogs.problems().isEmpty());
    }

    void cancelKeepsTheList()
    {
        PickLists lists("/nonexistent");
        platform::ScriptedDialogs dialogs;
        TMyEditBox window(lists, 9, dialogs, {});
        window.show();
        QCOMPARE(window.findChild<QListWidget*>("TheList")->currentRow(), -1);
        window.findChild<QLineEdit*>("AddInfo")->setText("Fine");
        window.AddButtonClick();
        window.CancelButtonClick();
        QVERIFY(lists.entries(9).isEmpty());
        QCOMPARE(window.result(), int(QDialog::Rejected));
    }
};

REGISTER_TEST(TestPickLists)
#include "tst_picklists.moc"
