#include "ProgramFixture.h"
#include "TestRegistry.h"
#include "app/TColorConfig.h"
#include "edit/TMyEdit.h"
#include "settings/ColorScheme.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyleOptionButton>

namespace {

using settings::ColorScheme;
using Schemes = std::array<ColorScheme, settings::kWindowGroupCount>;
constexpr int kMidnightBlack = 3;

const char* const kColorItems[] = {"MenuColorMain",   "MenuColorEdit",      "MenuColorSearch",
                                   "MenuColorReport", "MenuColorConfigure", "MenuColorAll"};

// Each group's scheme a little different, so a copy from the wrong one shows.
void makeSchemesDiffer(settings::Settings& settings)
{
    for (int group = 0; group < settings::kWindowGroupCount; ++group)
        settings.colorSchemes[std::size_t(group)][0] = 0x101010 * (group + 1);
}

ColorScheme midnightBlack(ColorScheme scheme)
{
    settings::applyColorSet(scheme, kMidnightBlack);
    return scheme;
}

// The colour at `point` of what `widget` shows.
QColor shown(QWidget* widget, QPoint point)
{
    return widget->grab().toImage().pixelColor(point);
}

// The colour beside the "Book Viewer" caption, where only the window's background shows.
QColor mainBackground(TMain& main)
{
    auto* caption = main.findChild<QLabel*>("ViewerLabel");
    QWidget* client = main.findChild<QWidget*>("Client");
    return shown(client, caption->geometry().topLeft() + QPoint(-4, caption->height() / 2));
}

} // namespace

class ColorConfigTest : public QObject {
    Q_OBJECT

private slots:
    // Each item starts from its own scheme (ALL from the main window's) and Ok copies into its
    // target only; the main window is repainted at once for Main and ALL.
    void targetsTakeTheCopy_data()
    {
        QTest::addColumn<int>("target");
        for (int target = 1; target <= 6; ++target)
            QTest::addRow("%s", kColorItems[target - 1]) << target;
    }
    void targetsTakeTheCopy()
    {
        QFETCH(int, target);
        ProgramFixture p;
        QVERIFY(p.show());
        settings::Settings& settings = p.main().settings();
        const QColor background = mainBackground(p.main());
        makeSchemesDiffer(settings);
        const Schemes before = settings.colorSchemes;
        const ColorScheme start = before[std::size_t(target == 6 ? 0 : target - 1)];
        ColorScheme working{};
        QVERIFY(whileModal<TColorConfig>(
            [&] { p.main().findChild<QAction*>(kColorItems[target - 1])->trigger(); },
            [&](TColorConfig& window) {
                working = window.workingCopy();
                emit window.ColorSets->activated(kMidnightBlack);
                window.Ok->click();
            }));
        QCOMPARE(working, start);
        for (int group = 0; group < settings::kWindowGroupCount; ++group) {
            const bool changed = target == 6 || target == group + 1;
            QCOMPARE(settings.colorSchemes[std::size_t(group)],
                     changed ? midnightBlack(start) : before[std::size_t(group)]);
        }
        const bool repainted = target == 1 || target == 6;
        QCOMPARE(mainBackground(p.main()), repainted ? QColor(Qt::black) : background);
    }

    // After colour picks and a combination, Cancel, Escape and the frame's close button
    // leave every scheme and the main window as they were.
    void closingWithoutOkChangesNothing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancel") << "Cancel";
        QTest::newRow("Escape") << "Escape";
        QTest::newRow("frame") << "frame";
    }
    void closingWithoutOkChangesNothing()
    {
        QFETCH(QString, how);
        ProgramFixture p;
        QVERIFY(p.show());
        const Schemes before = p.main().settings().colorSchemes;
        const QColor background = mainBackground(p.main());
        ColorScheme working{};
        p.dialogs.expectColor(QColor(Qt::red));
        p.dialogs.expectColor(QColor(Qt::blue));
        QVERIFY(whileModal<TColorConfig>([&] { p.main().DoColor(6); },
                                         [&](TColorConfig& window) {
                                             window.MainBack->click();
                                             emit window.ColorSets->activated(5);
                                             window.EditBoxBack->click();
                                             working = window.workingCopy();
                                             if (how == "Cancel")
                                                 window.Cancel->click();
                                             else if (how == "Escape")
                                                 QTest::keyClick(&window, Qt::Key_Escape);
                                             else
                                                 window.close();
                                         }));
        QCOMPARE(p.dialogs.problems(), QStringList());
        QVERIFY(working != before[0]); // the picks did change the working copy
        QCOMPARE(p.main().settings().colorSchemes, before);
        QCOMPARE(mainBackground(p.main()), background);
    }

    // A Windows colour value holds red in its low byte: 255 is red on the screen and stays 255
    // in the file, whether read from it or picked; a cancelled colour dialog stores nothing.
    void windowsColorValue_data()
    {
        QTest::addColumn<QString>("inFile");
        QTest::addColumn<std::optional<QColor>>("picked"); // the colour dialog is not opened for none
        QTest::addColumn<QColor>("background");
        QTest::addColumn<QString>("written");
        const std::optional<QColor> notOpened;
        QTest::newRow("from the file") << "255" << notOpened << QColor(255, 0, 0) << "255";
        QTest::newRow("picked") << "" << std::optional<QColor>(QColor(255, 0, 0)) << QColor(255, 0, 0)
                                << "255";
        QTest::newRow("dialog cancelled")
            << "" << std::optional<QColor>(QColor()) << QColor(192, 192, 192) << "12632256";
    }
    void windowsColorValue()
    {
        QFETCH(QString, inFile);
        QFETCH(std::optional<QColor>, picked);
        QFETCH(QColor, background);
        QFETCH(QString, written);
        ProgramFixture p;
        if (!inFile.isEmpty())
            p.setSetting("Main Window Color", "Main Background", inFile);
        QVERIFY(p.show());
        if (picked) {
            p.dialogs.expectColor(picked->isValid() ? picked : std::nullopt);
            QVERIFY(whileModal<TColorConfig>([&] { p.main().DoColor(1); },
                                             [&](TColorConfig& window) {
                                                 window.MainBack->click();
                                                 window.Ok->click();
                                             }));
        }
        QCOMPARE(p.dialogs.problems(), QStringList());
        QCOMPARE(mainBackground(p.main()), background);
        QVERIFY(p.main().close());
        QCOMPARE(p.setting("Main Window Color", "Main Background"), written);
    }

    // "Midnight Black" for the edit window, as the screen shows it: white check box text on
    // black, mid-grey edit and combo boxes; the list sample of the configuration window too.
    void midnightBlackOnTheEditWindow()
    {
        ProgramFixture p;
        QVERIFY(p.show());
        const QColor grey(127, 127, 127);
        QColor listSample;
        QVERIFY(whileModal<TColorConfig>([&] { p.main().DoColor(2); },
                                         [&](TColorConfig& window) {
                                             emit window.ColorSets->activated(kMidnightBlack);
                                             QWidget* rows = window.ListBox->viewport();
                                             listSample = shown(rows, QPoint(rows->width() - 3, 3));
                                             window.Ok->click();
                                         }));
        QCOMPARE(listSample, grey);
        QImage check, edit, combo;
        QRect checkText;
        QPoint comboMiddle;
        QVERIFY(whileModal<TMyEdit>([&] { p.main().findChild<QAction*>("MenuAdd")->trigger(); },
                                    [&](TMyEdit& window) {
                                        auto* box = window.findChild<QCheckBox*>("CheckOut");
                                        QStyleOptionButton option;
                                        option.initFrom(box);
                                        checkText = box->style()->subElementRect(QStyle::SE_CheckBoxContents,
                                                                                 &option, box);
                                        check = box->grab().toImage();
                                        edit = window.Title->grab().toImage();
                                        combo = window.Author->grab().toImage();
                                        comboMiddle = window.Author->lineEdit()->geometry().center();
                                        window.CancelButtonClick();
                                    }));
        int white = 0, black = 0;
        for (int y = checkText.top(); y <= checkText.bottom(); ++y)
            for (int x = checkText.left(); x <= checkText.right(); ++x) {
                const QColor pixel = check.pixelColor(x, y);
                white += pixel == QColor(Qt::white);
                black += pixel == QColor(Qt::black);
            }
        QVERIFY2(white > 10 && black > white,
                 qPrintable(QString("white %1, black %2").arg(white).arg(black)));
        QCOMPARE(edit.pixelColor(edit.width() - 6, edit.height() / 2), grey);
        QCOMPARE(combo.pixelColor(comboMiddle), grey);
    }
};

REGISTER_TEST(ColorConfigTest)
#include "tst_colorconfig.moc"
