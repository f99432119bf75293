#include "TempDir.h"
#include "TestRegistry.h"
#include "platform/QtDialogs.h"
#include "platform/ScriptedDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

using platform::Button;
using platform::ScriptedDialogs;

class TestScriptedDialogs : public QObject {
    Q_OBJECT

private slots:
    void answersInOrderAndKeepsTranscript()
    {
        TempDir temp;
        QFile(QString::fromStdString(temp.path("B.DBF"))).open(QIODevice::WriteOnly);
        ScriptedDialogs dialogs;
        dialogs.expectQuestion("Delete this", Button::Yes);
        dialogs.expectOpenFile(QString::fromStdString(temp.path("B.DBF")));
        dialogs.expectQuestion("Overwrite", Button::No);

        QCOMPARE(dialogs.message("Notice", "Done.", Button::Ok), Button::Ok); // needs no script
        dialogs.beep();
        QCOMPARE(dialogs.message("Confirm", "Delete this record?", Button::Yes | Button::No, Button::No),
                 Button::Yes);
        platform::FileDialogOptions options{"Open", {"Database Files (*.DBF *.dbf)"}, "DBF", {}, {}, false,
                                            true};
        QCOMPARE(dialogs.openFile(options), QString::fromStdString(temp.path("B.DBF")));
        QCOMPARE(dialogs.message("Warning", "Overwrite it?", Button::Yes | Button::No | Button::Cancel),
                 Button::No);

        QVERIFY(dialogs.problems().isEmpty());
        QCOMPARE(dialogs.transcript().size(), std::size_t(3));
        const ScriptedDialogs::Message& question = dialogs.transcript()[1];
        QCOMPARE(question.caption, "Confirm");
        QCOMPARE(question.text, "Delete this record?");
        QCOMPARE(question.defaultButton, Button::No);
        QVERIFY(question.afterBeep);
        QVERIFY(!dialogs.transcript()[2].afterBeep);
        QCOMPARE(dialogs.fileDialogs().at(0).filters, options.filters);
    }

    void fontWithColorFromScript()
    {
        ScriptedDialogs dialogs;
        dialogs.expectFontWithColor(platform::FontChoice{QFont("Liberation Serif", 14), Qt::red});
        dialogs.expectFontWithColor(std::nullopt);
        const std::optional<platform::FontChoice> chosen = dialogs.chooseFontWithColor(QFont(), Qt::black);
        QVERIFY(chosen);
        QCOMPARE(chosen->font, QFont("Liberation Serif", 14));
        QCOMPARE(chosen->color, QColor(Qt::red));
        QVERIFY(!dialogs.chooseFontWithColor(QFont(), Qt::black));
        QVERIFY(dialogs.problems().isEmpty());
    }

    void unforeseenInteractionsFail_data()
    {
        QTest::addColumn<int>("scene");
        QTest::addColumn<QString>("problem");
        QTest::newRow("question without script")
            << 0 << "unexpected question \"Sure?\" (caption \"Confirm\")";
        QTest::newRow("other question text") << 1 << "does not contain \"Delete\"";
        QTest::newRow("answer not offered") << 2 << "offers no button";
        QTest::newRow("dialog instead of question") << 3 << "unexpected open file dialog";
        QTest::newRow("missing file that must exist") << 4 << "must return an existing file";
        QTest::newRow("font with colour instead of font")
            << 5 << "unexpected font and colour dialog for Liberation Mono #ff0000 (expected font dialog";
    }

    void unforeseenInteractionsFail()
    {
        QFETCH(int, scene);
        QFETCH(QString, problem);
        ScriptedDialogs dialogs;
        auto act = [&] {
            switch (scene) {
            case 0:
                return void(dialogs.message("Confirm", "Sure?", Button::Yes | Button::No));
            case 1:
                dialogs.expectQuestion("Delete", Button::Yes);
                return void(dialogs.message("Confirm", "Sure?", Button::Yes | Button::No));
            case 2:
                dialogs.expectQuestion("Sure", Button::Cancel);
                return void(dialogs.message("Confirm", "Sure?", Button::Yes | Button::No));
            case 3:
                dialogs.expectQuestion("Sure", Button::Yes);
                return void(dialogs.openFile({}));
            case 5:
                dialogs.expectFont(QFont());
                return void(dialogs.chooseFontWithColor(QFont("Liberation Mono"), Qt::red));
            default:
                dialogs.expectOpenFile("/nonexistent/B.DBF");
                platform::FileDialogOptions options;
                options.mustExist = true;
                return void(dialogs.openFile(options));
            }
        };
        QVERIFY_THROWS_EXCEPTION(platform::UnexpectedDialog, act());
        QCOMPARE(dialogs.failures().size(), 1);
        QVERIFY2(dialogs.failures().first().contains(problem), qPrintable(dialogs.failures().first()));
    }

    void withoutThrowingAnswersSafely()
    {
        ScriptedDialogs dialogs;
        dialogs.setThrowOnUnexpected(false);
        QCOMPARE(dialogs.message("Confirm", "Lose input?", Button::Yes | Button::No | Button::Cancel),
                 Button::Cancel);
        QCOMPARE(dialogs.message("Confirm", "Lose input?", Button::Yes | Button::No, Button::Yes),
                 Button::No);
        QCOMPARE(dialogs.chooseFont(QFont()), std::nullopt);
        dialogs.expectSaveFile("/tmp/x.txt");
        QCOMPARE(dialogs.failures().size(), 3);
        QCOMPARE(dialogs.problems().size(), 4); // and the save dialog that never came
    }
};

// Real message boxes, answered by clicking the button a test names.
class TestQtDialogs : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!QApplication::instance())
            m_app = std::make_unique<QApplication>(m_argc, m_argv);
    }
    void cleanupTestCase() { m_app.reset(); }

    void messageBox()
    {
        platform::QtDialogs dialogs;
        QStringList seen; // caption, text, default button, then every button
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            seen << box->windowTitle() << box->text() << box->defaultButton()->text();
            for (QAbstractButton* button : box->buttons())
                seen << button->text();
            for (QAbstractButton* button : box->buttons())
                if (button->text() == "&Yes")
                    button->click();
        });
        Button answer = dialogs.message("Confirm", "Delete <b>this</b> record?",
                                        Button::Yes | Button::No | Button::Cancel, Button::No);
        QCOMPARE(answer, Button::Yes);
        QCOMPARE(seen.mid(0, 3), QStringList({"Confirm", "Delete <b>this</b> record?", "&No"}));
        QStringList buttons = seen.mid(3);
        buttons.sort();
        QCOMPARE(buttons, QStringList({"&No", "&Yes", "Cancel"}));
    }

    void escapeAnswersNo()
    {
        platform::QtDialogs dialogs;
        QTimer::singleShot(0, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
        QCOMPARE(dialogs.message("Confirm", "Sure?", Button::Yes | Button::No), Button::No);
    }

    // The colour list answers for the font dialog's colour; Return anywhere means OK.
    void fontWithColor_data()
    {
        QTest::addColumn<QColor>("initial");
        QTest::addColumn<int>("key"); // pressed in the colour list; Return follows unless it is Escape
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QColor>("chosen"); // invalid: cancelled
        QTest::newRow("next colour") << QColor(255, 0, 0) << int(Qt::Key_Down) << "Red" << QColor(0, 255, 0);
        QTest::newRow("custom kept") << QColor(10, 100, 200) << 0 << "Custom" << QColor(10, 100, 200);
        QTest::newRow("escape") << QColor(255, 0, 0) << int(Qt::Key_Escape) << "Red" << QColor();
    }
    void fontWithColor()
    {
        QFETCH(QColor, initial);
        QFETCH(int, key);
        QFETCH(QString, shown);
        QFETCH(QColor, chosen);
        platform::QtDialogs dialogs;
        QString seen;
        QTimer::singleShot(0, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            auto* colours = dialog->findChild<QComboBox*>("ColorCombo");
            seen = dialog->windowTitle() + ": " + colours->currentText();
            if (key)
                QTest::keyClick(colours, Qt::Key(key));
            if (key != Qt::Key_Escape)
                QTest::keyClick(colours, Qt::Key_Return);
            dialog->close(); // cancels a dialog the keys left open rather than hang
        });
        const std::optional<platform::FontChoice> choice =
            dialogs.chooseFontWithColor(QFont("Liberation Serif", 14), initial);
        QCOMPARE(seen, "Font: " + shown);
        QCOMPARE(choice.has_value(), chosen.isValid());
        if (!choice)
            return;
        QCOMPARE(choice->color, chosen);
        QCOMPARE(choice->font.family(), "Liberation Serif");
        QCOMPARE(choice->font.pointSize(), 14);
    }

private:
    int m_argc = 1;
    char m_name[16] = "tst_platform";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_app;
};

REGISTER_TEST(TestScriptedDialogs)
REGISTER_TEST(TestQtDialogs)
#include "tst_dialogs.moc"
