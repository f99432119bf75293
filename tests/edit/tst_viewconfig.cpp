#include "BookFixture.h"
#include "TempDir.h"
#include "TestRegistry.h"
#include "ViewerFixture.h"
#include "edit/TViewConfig.h"
#include "edit/ViewerOptions.h"
#include "platform/ProfileFile.h"
#include "platform/ScriptedDialogs.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

#include <set>

using platform::Button;

namespace {

constexpr int kTitle = 0, kAuthor = 1, kYearPub = 2, kCost = 6, kPurchDate = 11, kCheckOut = 16;

// The configuration window over its own settings, shown as the main window shows it.
struct Config {
    settings::Settings settings;
    settings::SharedFonts fonts = settings::makeSharedFonts(settings);
    platform::ScriptedDialogs dialogs;
    std::unique_ptr<TViewConfig> window;

    void open()
    {
        window = std::make_unique<TViewConfig>(settings, fonts, dialogs, 1.0, QSize(1280, 1024));
        window->show();
    }
    QTableWidget* grid(const char* name) { return window->findChild<QTableWidget*>(name); }
    void setCell(const char* name, int row, const QString& text) { grid(name)->item(row, 1)->setText(text); }
    // Closes as the frame's close button does; true when the window went away.
    bool close() { return window->close(); }
};

} // namespace

class TestViewConfig : public QObject {
    Q_OBJECT

private slots:
    // Titles are compared as they will be stored: cut to 20 characters, letter case counts.
    void closingNeedsDistinctTitles_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("shared"); // empty: the window closes
        QTest::newRow("distinct") << "Shelf"
                                  << "Room"
                                  << "";
        QTest::newRow("letter case") << "Shelf"
                                     << "shelf"
                                     << "";
        QTest::newRow("equal") << "Shelf"
                               << "Shelf"
                               << "Shelf";
        QTest::newRow("both empty") << ""
                                    << ""
                                    << "";
        QTest::newRow("equal after cutting") << "Date the book came 1"
                                             << "Date the book came 12"
                                             << "Date the book came 1";
    }
    void closingNeedsDistinctTitles()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, shared);
        const bool blocks = first == second || !shared.isEmpty();
        Config c;
        c.open();
        c.setCell("FieldNameGrid", 3, first);
        c.setCell("FieldNameGrid", 30, second);
        QCOMPARE(c.close(), !blocks);
        QCOMPARE(c.window->isVisible(), blocks);
        if (!blocks) {
            QCOMPARE(c.settings.fields[30].title, second.left(20));
            return;
        }
        QCOMPARE(c.dialogs.transcript().back().caption, "Error");
        QCOMPARE(c.dialogs.transcript().back().text,
                 QString("Two field names have the same name \"%1\".  Please change one.").arg(shared));
        QCOMPARE(c.window->findChild<QTabWidget*>()->currentIndex(), int(TViewConfig::NamesPage));
        QCOMPARE(c.grid("FieldNameGrid")->currentRow(), 30);
        QCOMPARE(c.settings.fields[3].title, "Publisher"); // nothing stored
        c.setCell("FieldNameGrid", 30, "Other");
        QVERIFY(c.close());
    }

    void widthRules_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("stored");
        QTest::newRow("zero") << "0" << 10;
        QTest::newRow("256") << "256" << 10;
        QTest::newRow("negative") << "-5" << 10;
        QTest::newRow("empty") << "" << 10;
        QTest::newRow("letters") << "wide" << 10;
        QTest::newRow("huge") << "99999999999999" << 10;
        QTest::newRow("digits then letters") << "12abc" << 12;
        QTest::newRow("blanks and sign") << "  +255 " << 255;
        QTest::newRow("one") << "1" << 1;
    }
    void widthRules()
    {
        QFETCH(QString, typed);
        QFETCH(int, stored);
        Config c;
        c.open();
        c.setCell("FieldWidthGrid", 5, typed);
        QVERIFY(c.close());
        QCOMPARE(c.settings.fields[5].width, stored);
        if (stored == 10)
            QCOMPARE(c.grid("FieldWidthGrid")->item(5, 1)->text(), "10");
    }

    // Shown fields, order, titles, look and fonts change the settings only when the window closes.
    void storesEveryPageOnClose()
    {
        Config c;
        c.settings.fields[kAuthor].order = 1; // Author first, then Title
        c.settings.fields[kTitle].order = 2;
        const settings::Settings before = c.settings;
        c.open();
        QTableWidget* order = c.grid("FieldOrderGrid");
        QCOMPARE(order->item(0, 0)->text(), "Author");
        c.window->FieldsToDisplayDblClick(kYearPub, 1);
        c.window->FieldsToDisplayDblClick(kCost, 1);
        c.window->FieldsToDisplayDblClick(kCost, 1);
        c.window->FieldsToDisplayDblClick(kCost, 0); // the fixed column does not switch
        c.setCell("FieldNameGrid", kTitle, "Book title that is too long");
        QCOMPARE(order->item(1, 0)->text(), "Book title that is t");
        order->setCurrentCell(0, 0);
        c.window->OrderUpClick(); // already first
        c.window->OrderDownClick();
        QCOMPARE(order->currentRow(), 1);
        c.window->findChild<QCheckBox*>("RowLines")->click();
        c.window->findChild<QRadioButton*>("TitleRight")->click();
        c.dialogs.expectColor(QColor(10, 20, 30));
        c.window->findChild<QPushButton*>("NewColorBUtton")->click();
        c.dialogs.expectFontWithColor(platform::FontChoice{QFont("Liberation Serif", 14), Qt::blue});
        c.window->findChild<QPushButton*>("TitleFontButton")->click();
        c.dialogs.expectFontWithColor(std::nullopt);
        c.window->findChild<QPushButton*>("NewFontButton")->click();
        QCOMPARE(c.window->findChild<QLineEdit*>("TitleFont")->text(), "14pt Liberation Serif");
        QCOMPARE(c.window->findChild<QLineEdit*>("GridFont")->text(), "10pt Arial");
        QCOMPARE(c.settings, before); // nothing yet
        QCOMPARE(c.fonts.gridTitle.family(), "Liberation Sans");

        c.window->findChild<QPushButton*>("ExitButton")->click();
        QVERIFY(!c.window->isVisible());
        QCOMPARE(c.dialogs.problems(), QStringList());
        QVERIFY(!c.settings.fields[kYearPub].display);
        QVERIFY(c.settings.fields[kCost].display);
        QCOMPARE(c.settings.fields[kTitle].title, "Book title that is t");
        QCOMPARE(c.settings.fields[kTitle].order, 1); // renamed and moved up
        QCOMPARE(c.settings.fields[kAuthor].order, 2);
        QVERIFY(!c.settings.rowLines);
        QCOMPARE(c.settings.gridTitleAlignment, 3);
        QCOMPARE(c.settings.gridCellColor, settings::windowsColor(QColor(10, 20, 30)));
        QCOMPARE(c.fonts.gridTitle.family(), "Liberation Serif");
    }

    // A grid font's colour is chosen with the font and reaches the settings as a Windows colour.
    void gridFontColour_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("title");
        QTest::newRow("title font") << "TitleFontButton" << true;
        QTest::newRow("cell font") << "NewFontButton" << false;
    }
    void gridFontColour()
    {
        QFETCH(QString, button);
        QFETCH(bool, title);
        Config c;
        c.open();
        c.dialogs.expectFontWithColor(platform::FontChoice{QFont("Liberation Mono", 11), QColor(255, 0, 0)});
        c.window->findChild<QPushButton*>(button)->click();
        const QColor& kept = title ? c.fonts.gridTitleColor : c.fonts.gridColor;
        QCOMPARE(kept, QColor(0, 0, 0)); // only closing stores it
        QVERIFY(c.close());
        QCOMPARE(c.dialogs.problems(), QStringList());
        settings::storeSharedFonts(c.fonts, c.settings); // as the program does before writing the file
        const settings::GridFontSettings& changed = title ? c.settings.gridTitleFont : c.settings.gridFont;
        const settings::GridFontSettings& other = title ? c.settings.gridFont : c.settings.gridTitleFont;
        QCOMPARE(changed.color, 255);
        QCOMPARE(changed.size, 11);
        QCOMPARE(other.color, 0);
    }

    void orderDefaultsAsksFirst()
    {
        Config c;
        std::swap(c.settings.fields[0].order, c.settings.fields[35].order);
        c.open();
        c.dialogs.expectQuestion("This will set the order of fields to the program defaults.  Continue?",
                                 Button::No);
        c.window->OrderDefaultsClick();
        QCOMPARE(c.grid("FieldOrderGrid")->item(0, 0)->text(), "User Defined 6");
        c.dialogs.expectQuestion("program defaults", Button::Yes);
        c.window->OrderDefaultsClick();
        QCOMPARE(c.dialogs.transcript().back().caption, "Re-Order");
        QCOMPARE(c.dialogs.transcript().back().defaultButton, Button::No);
        QVERIFY(c.close());
        for (int field = 0; field < db::kBookFieldCount; ++field)
            QCOMPARE(c.settings.fields[std::size_t(field)].order, field + 1);
    }

    // Positions as a settings file may hold them: every field gets one distinct position 1-36,
    // the first field claiming a position keeps it, the rest take the free ones in table order.
    void positionsNormalised_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("author");
        QTest::addColumn<QString>("others");
        QTest::addColumn<int>("titlePosition");
        QTest::addColumn<int>("authorPosition");
        QTest::newRow("as stored") << "2"
                                   << "1"
                                   << "" << 2 << 1;
        QTest::newRow("shared") << "2"
                                << "2"
                                << "" << 2 << 1;
        QTest::newRow("out of range") << "0"
                                      << "99"
                                      << "" << 1 << 2;
        QTest::newRow("all the same") << "5"
                                      << "5"
                                      << "5" << 5 << 1;
        QTest::newRow("not a number") << "x"
                                      << "-3"
                                      << "" << 1 << 2;
    }
    void positionsNormalised()
    {
        QFETCH(QString, title);
        QFETCH(QString, author);
        QFETCH(QString, others);
        QFETCH(int, titlePosition);
        QFETCH(int, authorPosition);
        platform::ProfileFile file;
        for (int field = 2; field < db::kBookFieldCount && !others.isEmpty(); ++field)
            file.setValue("Field Order", QString::fromUtf8(db::bookFields()[std::size_t(field)].key), others);
        file.setValue("Field Order", "Title", title);
        file.setValue("Field Order", "Author", author);
        settings::Settings s;
        s.read(file);
        const auto positions = edit::normalisedPositions(s);
        QCOMPARE(positions[kTitle], titlePosition);
        QCOMPARE(positions[kAuthor], authorPosition);
        const auto fields = edit::fieldsByPosition(s);
        QCOMPARE(std::set<int>(fields.begin(), fields.end()).size(), std::size_t(db::kBookFieldCount));
        QCOMPARE(fields[std::size_t(titlePosition - 1)], kTitle);
    }

    // Hidden fields leave the grid, the rest follow their positions under their titles,
    // widths count characters of the cell font, and the user cannot resize or move columns.
    void columnsFollowSettings()
    {
        Viewer v;
        QAbstractItemModelTester tester(&v.model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (auto& field : v.settings.fields)
            field.display = false;
        v.settings.fields[kTitle] = {"Book", true, 20, 3};
        v.settings.fields[kAuthor] = {"Writer", true, 10, 2};
        v.settings.fields[kYearPub].display = true;
        v.settings.fields[kYearPub].order = 1;
        v.settings.fields[kYearPub].width = 0; // a width out of range counts as 10
        v.apply();
        QCOMPARE(v.titles(), QStringList({"Year Pub", "Writer", "Book"}));
        QCOMPARE(v.model.data(v.model.index(1, 2)).toString(), "bravo");
        const int zero = QFontMetrics(v.fonts.grid).horizontalAdvance('0');
        QCOMPARE(v.grid.columnWidth(2) - v.grid.columnWidth(1), 10 * zero);
        QCOMPARE(v.grid.columnWidth(0), v.grid.columnWidth(1));
        QHeaderView* header = v.grid.horizontalHeader();
        QCOMPARE(header->sectionResizeMode(0), QHeaderView::Fixed);
        QVERIFY(!header->sectionsMovable());
        QVERIFY(v.grid.tabKeyNavigation());

        for (auto& field : v.settings.fields)
            field.display = false;
        v.apply();
        QCOMPARE(v.model.columnCount(), 0);
        v.settings.fields[kTitle].display = true; // back at its position
        v.settings.showGridTitles = v.settings.rowIndicator = false;
        v.apply();
        QCOMPARE(v.titles(), QStringList({"Book"}));
        QVERIFY(v.grid.horizontalHeader()->isHidden());
        QVERIFY(v.grid.verticalHeader()->isHidden());
    }

    // Equal titles, widths of 0 and 9999 and positions out of range still give every field one column.
    void badSettingsFileGivesWorkingGrid()
    {
        platform::ProfileFile file;
        for (int field = 0; field < db::kBookFieldCount; ++field) {
            const QString key = QString::fromUtf8(db::bookFields()[std::size_t(field)].key);
            file.setValue("Field Names", key, "Same");
            file.setValue("Field Width", key, field % 2 ? "0" : "9999");
            file.setValue("Field Order", key, QString::number(field * 7 - 40));
        }
        Viewer v;
        v.settings.read(file);
        v.apply();
        std::set<int> fields;
        for (int column = 0; column < v.model.columnCount(); ++column) {
            fields.insert(v.model.fieldAt(column));
            QCOMPARE(v.grid.columnWidth(column), v.grid.columnWidth(0));
        }
        QCOMPARE(int(fields.size()), db::kBookFieldCount);
        QCOMPARE(v.titles().count("Same"), db::kBookFieldCount);
        QCOMPARE(v.model.data(v.cell(2, kTitle)).toString(), "charlie");
    }

    // A new cell font gives every row its new height at once, without one resize signal per
    // row, and the scroll bar follows the taller rows.
    void rowHeightFollowsCellFont()
    {
        std::vector<std::string> titles;
        for (int i = 0; i < 60; ++i)
            titles.push_back("book " + std::to_string(i));
        Viewer v(titles);
        v.apply();
        v.grid.setCurrentIndex(v.model.index(25, 0));
        v.grid.verticalScrollBar()->setValue(20);
        QSignalSpy rowResized(v.grid.verticalHeader(), &QHeaderView::sectionResized);
        v.settings.gridFont.size *= 2;
        v.fonts = settings::makeSharedFonts(v.settings);
        v.apply();
        QCoreApplication::processEvents();
        const int height = QFontMetrics(v.fonts.grid).height() + 6;
        QCOMPARE(rowResized.count(), 0);
        QCOMPARE(v.grid.rowHeight(0), height);
        QCOMPARE(v.grid.rowHeight(59), height);
        QCOMPARE(v.grid.verticalScrollBar()->maximum(), 60 - v.grid.viewport()->height() / height);
        QCOMPARE(v.grid.rowAt(1), 20); // the same row on top
        QCOMPARE(v.grid.verticalHeader()->selectionModel(), v.grid.selectionModel());
        QCOMPARE(v.grid.currentIndex().row(), 25);
    }

    // The lines between rows and between columns switch on their own.
    void separateLines_data()
    {
        QTest::addColumn<bool>("rows");
        QTest::addColumn<bool>("columns");
        QTest::newRow("both") << true << true;
        QTest::newRow("rows only") << true << false;
        QTest::newRow("columns only") << false << true;
        QTest::newRow("none") << false << false;
    }
    void separateLines()
    {
        QFETCH(bool, rows);
        QFETCH(bool, columns);
        Viewer v;
        v.settings.rowLines = rows;
        v.settings.columnLines = columns;
        v.apply();
        const QImage image = v.grid.viewport()->grab().toImage();
        const QRect cell = v.grid.visualRect(v.model.index(1, 1)); // not the current row
        const QColor silver(192, 192, 192);
        const QColor right = image.pixelColor(cell.right(), cell.top() + 1);
        const QColor bottom = image.pixelColor(cell.left() + 2, cell.bottom());
        QCOMPARE(right == silver, !columns);
        QCOMPARE(bottom == silver, !rows);
        QCOMPARE(image.pixelColor(cell.right() - 1, cell.top() + 1), silver);
        QCOMPARE(image.pixelColor(cell.left() + 2, cell.bottom() - 1), silver);
    }

    // In browse mode nothing in the grid changes a book, whatever the settings say.
    void browseModeNeverEdits()
    {
        Viewer v;
        v.settings.fieldEditing = true;
        v.apply(true);
        const QModelIndex cell = v.cell(0, kTitle);
        QVERIFY(!(v.model.flags(cell) & Qt::ItemIsEditable));
        QVERIFY(!v.model.setData(cell, "changed"));
        v.grid.setCurrentIndex(cell);
        QTest::keyClick(&v.grid, Qt::Key_X);
        QTest::keyClick(&v.grid, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(v.stored(0, kTitle), "alpha");
        QCOMPARE(v.deletes, 0);
        v.apply(false);
        QTest::keyClick(&v.grid, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(v.deletes, 1);
    }

    // Typed text is stored as the record edit window stores it.
    void editsInTheGrid_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown"); // after the edit
        QTest::addColumn<QString>("message");
        QTest::newRow("title") << kTitle << "omega "
                               << "omega"
                               << "";
        QTest::newRow("date") << kPurchDate << " 7/4/96 "
                              << "7/4/96"
                              << "";
        QTest::newRow("no date") << kPurchDate << "  "
                                 << ""
                                 << "";
        QTest::newRow("impossible date") << kPurchDate << "31/2/96"
                                         << "1/1/01"
                                         << "Invalid purchase date specified.  Please correct.";
        QTest::newRow("money grouped") << kCost << "1.234,50"
                                       << "1234.5000"
                                       << "";
        QTest::newRow("money blank") << kCost << "  "
                                     << "0.0000"
                                     << "";
        QTest::newRow("money letters") << kCost << "12x"
                                       << ""
                                       << "Invalid cost specified.  Please correct.";
        QTest::newRow("year letters") << kYearPub << "abc"
                                      << ""
                                      << "*";
    }
    void editsInTheGrid()
    {
        QFETCH(int, field);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QString, message);
        Viewer v;
        v.settings.fieldEditing = true;
        v.hooks.readMoney = [](QString text) { // a decimal comma
            bool ok = false;
            double value = text.remove('.').replace(',', '.').toDouble(&ok);
            return ok ? std::optional<double>(value) : std::nullopt;
        };
        v.apply();
        QCOMPARE(v.model.setData(v.cell(0, field), typed), message.isEmpty());
        QCoreApplication::processEvents(); // refusals are reported from the event loop
        QCOMPARE(v.model.data(v.cell(0, field)).toString(), shown);
        QCOMPARE(v.messages.size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty() && message != "*")
            QCOMPARE(v.messages[0], message);
        QVERIFY(!v.table.table().editing());
    }

    // The pick-list editor neither changes the letter case of what is typed nor grows its list;
    // CHECKOUT switches between Yes and No.
    void editorsWriteTheTable()
    {
        Viewer v;
        v.settings.fieldEditing = true;
        v.settings.fields[kCheckOut].order = 1;
        v.settings.fields[kTitle].order = 17;
        v.apply();
        v.grid.activateWindow(); // typing goes to the focused editor, as it does for the user
        QVERIFY(QTest::qWaitForWindowActive(&v.grid));
        const QModelIndex author = v.cell(1, kAuthor);
        v.grid.setCurrentIndex(author);
        v.grid.edit(author);
        auto* combo = v.grid.viewport()->findChild<QComboBox*>();
        QVERIFY(combo);
        QVERIFY(combo->hasFocus());
        QCOMPARE(combo->count(), 2);
        combo->clearEditText();
        QTest::keyClicks(combo, "Smith");
        QTest::keyClick(combo, Qt::Key_Return);
        QCOMPARE(combo->count(), 2);       // nothing added to the list
        QCoreApplication::processEvents(); // the editor is closed from the event loop
        QCOMPARE(v.stored(1, kAuthor), "Smith");

        v.grid.setCurrentIndex(v.cell(2, kCheckOut));
        QTest::keyClick(&v.grid, Qt::Key_Space);
        QCOMPARE(v.stored(2, kCheckOut), "Yes");
        QTest::keyClick(&v.grid, Qt::Key_Space);
        QCOMPARE(v.stored(2, kCheckOut), "No");
        QCOMPARE(v.messages, QStringList());
    }
};

REGISTER_TEST(TestViewConfig)
#include "tst_viewconfig.moc"
