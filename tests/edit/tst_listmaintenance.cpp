#include "TestRegistry.h"
#include "edit/PickLists.h"
#include "edit/TMyEditBox.h"
#include "platform/ScriptedDialogs.h"

#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>

using edit::PickLists;

namespace {

bool exists(const QTemporaryDir& dir, const char* name)
{
    return std::filesystem::exists(std::filesystem::path(dir.path().toStdString()) / name);
}

} // namespace

class TestListMaintenance : public QObject {
    Q_OBJECT

private slots:
    // Saving one list writes that list's file when it changed, and never creates another's.
    void saveListWritesOneFile_data()
    {
        QTest::addColumn<bool>("changed");
        QTest::newRow("changed") << true;
        QTest::newRow("unchanged") << false;
    }

    void saveListWritesOneFile()
    {
        QFETCH(bool, changed);
        QTemporaryDir dir;
        PickLists lists(dir.path().toStdString());
        lists.loadAll();
        if (changed)
            lists.setEntries(4, {"Fiction"});
        lists.saveList(4);
        QCOMPARE(exists(dir, "CATEGORY.LST"), changed);
        for (const edit::PickListInfo& info : edit::pickListInfos())
            if (info.number != 4)
                QVERIFY2(!exists(dir, info.fileName), info.fileName);
        PickLists again(dir.path().toStdString());
        again.loadAll();
        QCOMPARE(again.entries(4), changed ? QStringList{"Fiction"} : QStringList());
    }

    // The values the books hold that the list lacks are added, sorted, each once; the
    // list's own entries keep their order.
    void fillFromBooks_data()
    {
        QTest::addColumn<QStringList>("held");
        QTest::addColumn<QStringList>("books");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QString>("message");
        QTest::newRow("new values") << QStringList{"Zoe", "Book Barn"}
                                    << QStringList{"smith", "Book Barn", "Adams", "Smith", " Adams ", ""}
                                    << QStringList{"Zoe", "Book Barn", "Adams", "smith", "Smith"}
                                    << "3 values from the books were added at the end of the list.";
        QTest::newRow("one new value")
            << QStringList{"Zoe"} << QStringList{"Zoe", "Abe"} << QStringList{"Zoe", "Abe"}
            << "1 value from the books was added at the end of the list.";
        QTest::newRow("nothing new") << QStringList{"Zoe"} << QStringList{"Zoe"} << QStringList{"Zoe"}
                                     << "The list already holds every value the books hold.";
        QTest::newRow("no books") << QStringList() << QStringList() << QStringList()
                                  << "The list already holds every value the books hold.";
    }

    void fillFromBooks()
    {
        QFETCH(QStringList, held);
        QFETCH(QStringList, books);
        QFETCH(QStringList, after);
        QFETCH(QString, message);
        PickLists lists("/nonexistent");
        lists.setEntries(1, held);
        platform::ScriptedDialogs dialogs;
        QString asked;
        edit::DialogServices services;
        services.fieldTexts = [&](const char* field) {
            asked = field;
            return books;
        };
        TMyEditBox window(lists, 1, dialogs, services);
        window.show();
        auto* fill = window.findChild<QPushButton*>("FillButton");
        QVERIFY(fill && fill->isEnabled());
        QCOMPARE(fill->text(), QString("&Fill from Books"));
        fill->click();
        QCOMPARE(asked, QString("AUTHOR"));
        QCOMPARE(window.items(), after);
        QCOMPARE(dialogs.transcript().back().caption, QString("Fill from Books"));
        QCOMPARE(dialogs.transcript().back().text, message);
        QCOMPARE(lists.entries(1), held); // kept only by OK
        window.OkButtonClick();
        QCOMPARE(lists.entries(1), after);
    }

    void fillNeedsADatabase()
    {
        PickLists lists("/nonexistent");
        platform::ScriptedDialogs dialogs;
        TMyEditBox window(lists, 2, dialogs, {});
        QVERIFY(!window.findChild<QPushButton*>("FillButton")->isEnabled());
        window.FillButtonClick();
        QVERIFY(dialogs.transcript().empty());
    }
};

REGISTER_TEST(TestListMaintenance)
#include "tst_listmaintenance.moc"
