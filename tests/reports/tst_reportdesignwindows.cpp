#include "ModalWindow.h"
#include "ReportWindowFixture.h"
#include "TestRegistry.h"
#include "db/BookTable.h"
#include "db/FieldText.h"
#include "platform/ScriptedDialogs.h"
#include "reports/ReportFile.h"
#include "reports/TMyReport.h"
#include "reports/definition/ReportFields.h"
#include "reports/design/TRepLayout.h"
#include "reports/design/TReportFonts.h"
#include "reports/design/TReportPart.h"
#include "reports/design/TUserReport.h"
#include "settings/NumberText.h"
#include "settings/Settings.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace reports;
using platform::Button;

namespace {

QList<int> widths(const ReportLine& line)
{
    QList<int> out;
    for (const ReportItem& item : line)
        if (item.width > 0)
            out << item.width;
        else
            break;
    return out;
}

} // namespace

class TestReportDesignWindows : public QObject {
    Q_OBJECT

private slots:
    // 150 to 90 with No keeps everything and checks 150 again; then Yes cuts the line; back at 150 the
    // cut item returns with its name.
    void widthSwitchSequence()
    {
        ReportWindows d;
        d.current = newDefinition();
        d.current.width = 150;
        d.current.lines[0][0] = {"Title", 1, 60, ""};
        d.current.lines[0][1] = {"Author", 2, 60, ""};
        d.current.lines[0][2] = {"Cost", 7, 30, ""};
        TUserReport w(*d.services, true, -1);
        QVERIFY(w.Chars150->isChecked());
        d.dialogs.expectQuestion("Switching to 90 characters", Button::No);
        w.Chars90->click();
        QVERIFY(w.Chars150->isChecked());
        QCOMPARE(d.current.width, 150);
        QCOMPARE(widths(d.current.lines[0]), (QList<int>{60, 60, 30}));
        QVERIFY(d.dialogs.transcript().back().afterBeep);
        QCOMPARE(d.dialogs.transcript().back().defaultButton, Button::No);

        d.dialogs.expectQuestion("Switching to 90 characters", Button::Yes);
        w.Chars90->click();
        QCOMPARE(widths(d.current.lines[0]), (QList<int>{60, 30}));
        QCOMPARE(w.RepBodyDataFont->text(), "Courier New 10pt");

        w.Chars150->click();
        QCOMPARE(widths(d.current.lines[0]), (QList<int>{60, 30, 60}));
        QCOMPARE(d.current.lines[0][2].name, "Cost");
        QCOMPARE(w.RepBodyDataFont->text(), "Courier New 6pt");
        QCOMPARE(d.lastMessage().left(41), "The Report Body font size has been set to");
        QVERIFY(d.dialogs.problems().isEmpty());
    }

    void widthSwitchTo120_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<bool>("asked");
        QTest::newRow("90 to 120 asks nothing") << 90 << false;
        QTest::newRow("150 to 120 with No") << 150 << true;
    }
    void widthSwitchTo120()
    {
        QFETCH(int, from);
        QFETCH(bool, asked);
        ReportWindows d;
        d.current = newDefinition();
        d.current.width = from;
        TUserReport w(*d.services, true, -1);
        if (asked)
            d.dialogs.expectQuestion("Switching to 120 characters from 150", Button::No);
        w.Chars120->click();
        QCOMPARE(d.current.width, asked ? 150 : 120);
        QCOMPARE(w.Chars150->isChecked(), asked);
        QCOMPARE(w.checkedWidth(), asked ? 150 : 120);
        if (!asked)
            QCOMPARE(d.lastMessage(), "The Report Body font size has been set to a 8 Point default size as.");
        QVERIFY(d.dialogs.problems().isEmpty());
    }

    // Renaming report 3: Yes appends and leaves the old record alone, No overwrites it, Cancel writes
    // nothing.
    void rename_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("Yes") << int(Button::Yes);
        QTest::newRow("No") << int(Button::No);
        QTest::newRow("Cancel") << int(Button::Cancel);
    }
    void rename()
    {
        QFETCH(int, answer);
        ReportWindows d;
        const QByteArray before = d.bytes();
        auto w = d.open(2);
        w->show();
        w->ReportName->setText("Renamed");
        d.dialogs.expectQuestion("Report Title has changed!", Button(answer));
        w->UpdateButtonClick();
        const QByteArray after = d.bytes();
        const auto nameAt = [&](int i) {
            return ReportFile(d.services->reportFile).list().at(std::size_t(i));
        };
        switch (Button(answer)) {
        case Button::Yes:
            QCOMPARE(after.left(before.size()), before);
            QCOMPARE(after.size(), before.size() + int(kDefinitionSize));
            QCOMPARE(nameAt(8), "Renamed");
            QCOMPARE(w->position(), 8);
            QCOMPARE(w->result(), int(QDialog::Accepted));
            break;
        case Button::No:
            QCOMPARE(after.size(), before.size());
            QCOMPARE(after.left(2 * int(kDefinitionSize)), before.left(2 * int(kDefinitionSize)));
            QCOMPARE(after.mid(3 * int(kDefinitionSize)), before.mid(3 * int(kDefinitionSize)));
            QCOMPARE(nameAt(2), "Renamed");
            QCOMPARE(w->position(), 2);
            break;
        default:
            QCOMPARE(after, before);
            QVERIFY(w->isVisible());
            QVERIFY(!w->fileChanged());
        }
        QCOMPARE(d.dialogs.transcript().back().icon, platform::Icon::Error);
    }

    // Refused on Update with a message and the focus on the box; the file is not touched.
    void refusedOnUpdate_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("focus");
        QTest::newRow("margin not a number") << "BottomMargin"
                                             << "abc"
                                             << "BottomMargin";
        QTest::newRow("negative margin") << "RightMargin"
                                         << "-1"
                                         << "RightMargin";
        QTest::newRow("NaN margin") << "TopMargin"
                                    << "nan"
                                    << "TopMargin";
        QTest::newRow("left + right of 8 in") << "LeftMargin"
                                              << "7.50"
                                              << "LeftMargin";
        QTest::newRow("no body") << "BottomMargin"
                                 << "10.5"
                                 << "TopMargin";
        QTest::newRow("name outside Windows-1252") << "ReportName"
                                                   << "Ωmega"
                                                   << "ReportName";
        QTest::newRow("title outside Windows-1252") << "Title2"
                                                    << "Δ list"
                                                    << "Title2";
        QTest::newRow("13 lines") << "NumLines"
                                  << "13"
                                  << "NumLines";
    }
    void refusedOnUpdate()
    {
        QFETCH(QString, box);
        QFETCH(QString, text);
        ReportWindows d;
        const QByteArray before = d.bytes();
        auto w = d.open(0);
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->findChild<QLineEdit*>(box)->setText(text);
        w->UpdateButtonClick();
        QCOMPARE(d.bytes(), before);
        QVERIFY(!d.dialogs.transcript().empty());
        QTEST(QApplication::focusWidget()->objectName(), "focus");
        if (box == "ReportName")
            QVERIFY(d.lastMessage().contains("Report Name"));
        QCOMPARE(d.current.name, "Short Narrow Report");
    }

    // The entry is found by the stored name, whatever the user titled the fields.
    void partSelectsByStoredName()
    {
        ReportWindows d;
        d.titles[0] = "Author"; // the title of field 1 (Title)
        d.titles[1] = "Written by";
        ReportLine line;
        line[0] = {"Author", 2, 40, ""};
        line[1] = {kFiller, 0, 50, ""};
        TReportPart part(*d.services, line, false, 3, 1, 90, d.titles);
        QCOMPARE(part.FieldList->currentRow(), 1);
        QCOMPARE(part.FieldList->currentItem()->text(), "Written by");
        QCOMPARE(part.SelPartLabel->text(), "Line 3, Item 1");

        ReportLine totals;
        totals[0] = {"Low Market", 3, 150, ""};
        TReportPart totalsPart(*d.services, totals, true, kTotalsLine, 1, 90, d.titles);
        QCOMPARE(totalsPart.FieldList->currentRow(), 2);
        QCOMPARE(totalsPart.SelPartLabel->text(), "Totals Line, Item 1");
    }

    void partRefusals_data()
    {
        QTest::addColumn<QString>("kind"); // the radio checked
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("message");
        QTest::newRow("negative width") << "RadioFiller"
                                        << "-5"
                                        << ""
                                        << "Invalid width entered.  Please correct.";
        QTest::newRow("not a number") << "RadioFiller"
                                      << "x"
                                      << ""
                                      << "Invalid width entered.  Please correct.";
        QTest::newRow("field not chosen") << "RadioField"
                                          << "10"
                                          << ""
                                          << "No field has been selected";
        QTest::newRow("label outside Windows-1252") << "RadioLabel"
                                                    << "10"
                                                    << "Ω"
                                                    << "Label Name";
    }
    void partRefusals()
    {
        QFETCH(QString, kind);
        QFETCH(QString, width);
        QFETCH(QString, label);
        QFETCH(QString, message);
        ReportWindows d;
        ReportLine line;
        line[0] = {kLabel, 0, 30, "Old"};
        line[1] = {kFiller, 0, 60, ""};
        const ReportLine before = line;
        TReportPart part(*d.services, line, false, 1, 1, 90, d.titles);
        part.findChild<QRadioButton*>(kind)->click();
        part.FieldWidth->setText(width);
        part.LabelName->setText(label);
        part.OkButtonClick();
        QVERIFY(d.lastMessage().contains(message));
        QCOMPARE(line, before);
        QVERIFY(part.result() != QDialog::Accepted);
    }

    // A new report designed through the windows: a field, a label and the rest filler; saved last in the
    // list.
    void newReportThroughTheWindows()
    {
        ReportWindows d;
        TMyReport list;
        list.setServices(*d.services);
        QVERIFY(list.NewButton->isEnabled());
        QVERIFY(list.ModifyButton->isEnabled());
        whenShown([&](QWidget* modal) {
            auto* w = qobject_cast<TUserReport*>(modal);
            QVERIFY(w);
            QVERIFY(!w->DeleteButton->isEnabled());
            w->ReportName->setText("Mine");
            w->NumLines->setText("1");
            whenShown([&](QWidget* modal) {
                auto* layout = qobject_cast<TRepLayout*>(modal);
                QVERIFY(layout);
                // A drag from one box to another picks nothing; a click opens the part window.
                const LayoutGeometry& g = layout->layoutGeometry();
                const int y = g.bodyTop() + 2;
                QTest::mousePress(layout->LayoutArea, Qt::LeftButton, {}, QPoint(g.left() + 2, y));
                QTest::mouseRelease(layout->LayoutArea, Qt::LeftButton, {},
                                    QPoint(g.left() + 2, g.totalsTop() + 2));
                whenShown([&](QWidget* modal) {
                    auto* part = qobject_cast<TReportPart*>(modal);
                    QVERIFY(part);
                    part->RadioField->click();
                    part->FieldList->setCurrentRow(1);
                    part->FieldWidth->setText("40");
                    QTest::keyClick(part, Qt::Key_Return);
                });
                QTest::mouseClick(layout->LayoutArea, Qt::LeftButton, {}, QPoint(g.left() + 2, y));
                QCOMPARE(widths(layout->copy().lines[0]), (QList<int>{40, 50}));
                whenShown([](QWidget* modal) {
                    auto* part = qobject_cast<TReportPart*>(modal);
                    QVERIFY(part);
                    part->RadioLabel->click();
                    part->LabelName->setText("  Note  ");
                    part->FieldWidth->setText("0");
                    part->OkButtonClick();
                });
                QVERIFY(layout->EditPart({1, 2}));
                layout->OkButton->click();
            });
            w->SpecifyButton->click();
            QTest::keyClick(w, Qt::Key_Return);
        });
        list.NewButton->click();
        QCOMPARE(list.ReportBox->count(), 9);
        QCOMPARE(list.ReportBox->currentRow(), 8);
        const ReportDefinition saved = *ReportFile(d.services->reportFile).read(8);
        QCOMPARE(saved.name, "Mine");
        QCOMPARE(saved.lines[0][0].name, "Author");
        QCOMPARE(saved.lines[0][0].number, 2);
        QCOMPARE(saved.lines[0][1].name, kLabel);
        QCOMPARE(saved.lines[0][1].label, "Note");
        QCOMPARE(widths(saved.lines[0]), (QList<int>{40, 50}));
        QVERIFY(d.dialogs.problems().isEmpty());
    }

    // At the 800 screen size (factor 1.25) the boxes, the canvas and the window are scaled once.
    void layoutWindowScaled()
    {
        ReportWindows d;
        d.settings.windowSize = 800; // the offscreen screen is 800 x 600
        d.current = newDefinition();
        d.current.lineCount = 2;
        d.current.lines[1][0].width = 30;
        d.current.lines[1][1].width = 60;
        TRepLayout layout(*d.services, 90, true);
        layout.show();
        QCOMPARE(layout.LayoutArea->width(), 791);
        QVERIFY(layout.width() < 840);
        QCOMPARE(layout.CalcPosition({264, 118}), (LayoutPosition{2, 1}));
        QCOMPARE(layout.CalcPosition({265, 142}), (LayoutPosition{2, 2}));
        QCOMPARE(layout.CalcPosition({785, 468}), (LayoutPosition{kTotalsLine, 1}));
    }

    // Every underlined letter of a window is its own and leads somewhere; Escape closes it.
    void mnemonics()
    {
        ReportWindows d;
        d.current = newDefinition();
        ReportLine line = d.current.lines[0];
        TUserReport definition(*d.services, true, -1);
        TRepLayout layout(*d.services, 90, true);
        TReportPart part(*d.services, line, false, 1, 1, 90, d.titles);
        TReportFonts fonts(*d.services);
        for (QWidget* window : std::initializer_list<QWidget*>{&definition, &layout, &part, &fonts}) {
            QStringList letters;
            const auto take = [&](const QString& text, bool leads) {
                const QRegularExpressionMatch m = QRegularExpression("&([^&])").match(text);
                if (!m.hasMatch())
                    return;
                QVERIFY2(leads, qPrintable(text));
                const QString letter = m.captured(1).toLower();
                QVERIFY2(!letters.contains(letter), qPrintable(window->windowTitle() + ": " + text));
                letters << letter;
            };
            for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
                take(b->text(), true);
            for (QLabel* l : window->findChildren<QLabel*>())
                take(l->text(), l->buddy() != nullptr);
            for (QGroupBox* g : window->findChildren<QGroupBox*>())
                take(g->title(), !g->findChildren<QWidget*>().isEmpty());
            auto* dialog = qobject_cast<QDialog*>(window);
            QSignalSpy closed(dialog, &QDialog::rejected);
            QTest::keyClick(dialog, Qt::Key_Escape);
            QCOMPARE(closed.count(), 1);
        }
    }

    // The font dialog's answer is stored with whole points; the colour comes from its own button.
    void fonts()
    {
        ReportWindows d;
        d.current = newDefinition();
        TReportFonts fonts(*d.services);
        QFont chosen(QStringLiteral("Liberation Serif"));
        chosen.setPointSizeF(13.4);
        chosen.setItalic(true);
        d.dialogs.expectFont(chosen);
        fonts.BodyFontButton->click();
        d.dialogs.expectColor(QColor(0, 0, 255));
        fonts.FootnoteColorButton->click();
        QCOMPARE(d.current.fonts[2].name, "Liberation Serif");
        QCOMPARE(d.current.fonts[2].size, 13);
        QVERIFY(d.current.fonts[2].italic);
        QCOMPARE(fonts.BodyFont->text(), "Liberation Serif 13pt");
        QCOMPARE(d.current.fonts[4].colour, 0xFF0000);
        QVERIFY(d.dialogs.problems().isEmpty());
    }
};

REGISTER_TEST(TestReportDesignWindows)
#include "tst_reportdesignwindows.moc"
