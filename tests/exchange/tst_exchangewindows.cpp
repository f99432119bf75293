#include "ExchangeTestSupport.h"
#include "TestRegistry.h"
#include "exchange/TImportFormat.h"
#include "exchange/TMyExport.h"
#include "exchange/TMyImport.h"
#include "platform/ScriptedDialogs.h"

#include <QCheckBox>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

using platform::Button;

namespace {

// A data directory with a book database, a pick list and the services the windows take.
struct Setup {
    TempDir dir;
    QString base = QString::fromStdString(dir.dir());
    settings::Settings settings;
    platform::ScriptedDialogs dialogs;
    std::unique_ptr<settings::DateFormat> dates = formatOne();
    std::unique_ptr<db::BookTable> books;
    exchange::ExchangeServices services{settings, dialogs, *books, *dates};

    static std::unique_ptr<db::BookTable> prepare(const TempDir& dir)
    {
        makeBooks(dir.path("MASTER.DBF"), {"one", "two"});
        QDir(QString::fromStdString(dir.dir())).mkdir(QStringLiteral("sub"));
        return openBooks(dir.path("MASTER.DBF"));
    }
    Setup() : books(prepare(dir)), services{settings, dialogs, *books, *dates}
    {
        services.ownedFiles = [this] { return QStringList{base + "/MASTER.DBF"}; };
        services.searchOn = [] { return false; };
        services.currentYear = 2026;
    }
};

} // namespace

class TestExchangeWindows : public QObject {
    Q_OBJECT

private slots:
    // The open database is refused as an import source and as an export
    // target, whichever path reaches it, and stays as it was.
    void currentDatabaseRefused_data()
    {
        QTest::addColumn<bool>("exporting");
        QTest::addColumn<bool>("dbase");
        QTest::newRow("dBase import") << false << true;
        QTest::newRow("text export") << true << false;
        QTest::newRow("dBase export") << true << true;
    }
    void currentDatabaseRefused()
    {
        QFETCH(bool, exporting);
        QFETCH(bool, dbase);
        Setup s;
        const QByteArray before = fileBytes(s.dir.path("MASTER.DBF"));
        const QString path = s.base + "/sub/../MASTER.DBF";
        s.settings.importFileType = s.settings.exportFileType = dbase ? 2 : 1;
        if (exporting) {
            TMyExport window(s.services);
            window.FormShow();
            s.dialogs.expectSaveFile(path);
            window.StartExportButtonClick();
        } else {
            TImportFormat window(s.services);
            window.FormShow();
            s.dialogs.expectOpenFile(path);
            window.FileButtonClick();
        }
        QCOMPARE(s.dialogs.problems(), QStringList());
        QCOMPARE(s.dialogs.transcript().size(), std::size_t(1));
        QCOMPARE(s.dialogs.transcript()[0].caption, QStringLiteral("Error"));
        QVERIFY(s.dialogs.transcript()[0].text.startsWith(QStringLiteral("The file")));
        s.books.reset();
        QCOMPARE(fileBytes(s.dir.path("MASTER.DBF")), before);
    }

    // The order and flags chosen in the window are kept when it closes; Defaults asks first.
    void exportOrderRemembered()
    {
        Setup s;
        TMyExport window(s.services);
        window.FormShow();
        auto* grid = window.findChild<QTableWidget*>(QStringLiteral("ExportGrid"));
        grid->setCurrentCell(1, 0);
        window.UpButtonClick();
        window.ExportGridDblClick(0, 1);
        QCOMPARE(window.rowFields()[0], 1);
        window.findChild<QRadioButton*>(QStringLiteral("DBaseFile"))->click();
        window.ExitButtonClick();
        QCOMPARE(s.settings.fields[1].exportOrder, 1);
        QCOMPARE(s.settings.fields[0].exportOrder, 2);
        QVERIFY(!s.settings.fields[1].exported);
        QCOMPARE(s.settings.exportFileType, 2);

        TMyExport again(s.services);
        QCOMPARE(again.rowFields()[0], 1);
        QVERIFY(!again.exported(0));
        s.dialogs.expectQuestion(QStringLiteral("program defaults"), Button::Yes);
        again.DefaultsButtonClick();
        QCOMPARE(again.rowFields()[0], 0);
        QVERIFY(again.exported(0));
        QCOMPARE(s.dialogs.transcript().back().caption, QStringLiteral("Re-Order"));
    }

    // Header labels: a field's title while the viewer shows it, its field name otherwise.
    void headerLabels()
    {
        Setup s;
        s.settings.fields[8].display = false;
        s.settings.fields[0].title = QStringLiteral("Book Title");
        s.settings.exportFileType = 1;
        TMyExport window(s.services);
        window.FormShow();
        for (int row = 0; row < db::kBookFieldCount; ++row)
            if (window.rowFields()[std::size_t(row)] != 0 && window.rowFields()[std::size_t(row)] != 8)
                window.ExportGridDblClick(row, 1);
        s.dialogs.expectSaveFile(s.base + "/OUT.csv");
        window.StartExportButtonClick();
        QCOMPARE(s.dialogs.problems(), QStringList());
        QCOMPARE(s.dialogs.transcript().back().text, QStringLiteral("Export Complete."));
        QCOMPARE(fileBytes(s.dir.path("OUT.csv")).split('\r').value(0),
                 QByteArray("\xEF\xBB\xBF\"Book Title\",\"DESCRIPTIO\""));
    }

    // The import window end to end: a text file with a header, the first record skipped.
    void importWindow()
    {
        Setup s;
        writeFile(s.dir.path("IN.TXT"), "\"Title\",\"Author\"\r\n\"three\",\"Ann\"\r\n\"four\",\"Bo\"\r\n");
        s.settings.importFileType = 1;
        TImportFormat format(s.services);
        format.FormShow();
        format.showModal = [](QDialog& dialog) {
            auto& window = static_cast<TMyImport&>(dialog);
            QCOMPARE(window.fieldMap().nameAt(1), QStringLiteral("Author"));
            window.StartButtonClick();
        };
        s.dialogs.expectOpenFile(s.base + "/IN.TXT");
        format.FileButtonClick();
        QCOMPARE(s.dialogs.problems(), QStringList());
        QCOMPARE(format.imported(), 2);
        QCOMPARE(s.books->rowCount(), 4);
        QCOMPARE(s.dialogs.transcript().back().text, QStringLiteral("Import Complete."));
    }

    // Files that are no import source get one clear message and import nothing;
    // a table whose index is missing still imports.
    void badSources_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QByteArray binary;
        for (int i = 0; i < 4096; ++i)
            binary += char((i * 7919) % 251);
        QTest::newRow("binary text file") << "BIN.TXT" << binary << "The file selected does not appear";
        QTest::newRow("47 fields") << "WIDE.TXT" << QByteArray("\"a\",").repeated(46) + "\"z\""
                                   << "The file selected does not appear";
        QTest::newRow("damaged table") << "BAD.DBF" << binary << "";
        QTest::newRow("empty table file") << "EMPTY.DBF" << QByteArray() << "";
    }
    void badSources()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        Setup s;
        writeFile(s.dir.path(name.toLatin1().constData()), bytes);
        s.settings.importFileType = name.endsWith(QLatin1String(".DBF")) ? 2 : 1;
        TImportFormat window(s.services);
        window.FormShow();
        window.showModal = [](QDialog&) { QFAIL("no import window for a bad source"); };
        s.dialogs.expectOpenFile(s.base + "/" + name);
        window.FileButtonClick();
        QCOMPARE(s.dialogs.problems(), QStringList());
        QCOMPARE(s.dialogs.transcript().size(), std::size_t(1));
        QCOMPARE(s.dialogs.transcript()[0].caption, QStringLiteral("Error"));
        QVERIFY2(s.dialogs.transcript()[0].text.startsWith(message),
                 qPrintable(s.dialogs.transcript()[0].text));
        QCOMPARE(s.books->rowCount(), 2);
    }

    void missingIndexStillImports()
    {
        Setup s;
        makeBooks(s.dir.path("OTHER.DBF"), {"from elsewhere"});
        addTag(s.dir.path("OTHER.DBF"), "T", "TITLE");
        QVERIFY(QFile::remove(QString::fromStdString(s.dir.path("OTHER.MDX"))));
        s.settings.importFileType = 2;
        TImportFormat window(s.services);
        window.FormShow();
        window.showModal = [](QDialog& dialog) { static_cast<TMyImport&>(dialog).StartButtonClick(); };
        s.dialogs.expectOpenFile(s.base + "/OTHER.DBF");
        window.FileButtonClick();
        QCOMPARE(s.dialogs.problems(), QStringList());
        QCOMPARE(window.imported(), 1);
        QCOMPARE(s.books->rowCount(), 3);
    }

    // A table another program holds exclusively is refused with the engine's reason.
    void exclusiveSource()
    {
        Setup s;
        makeBooks(s.dir.path("HELD.DBF"), {"x"});
        auto held = dbase::Table::open(s.dir.path("HELD.DBF"), dbase::Access::Exclusive);
        s.settings.importFileType = 2;
        TImportFormat window(s.services);
        window.FormShow();
        window.showModal = [](QDialog&) { QFAIL("no import window for a held table"); };
        s.dialogs.expectOpenFile(s.base + "/HELD.DBF");
        window.FileButtonClick();
        QCOMPARE(s.dialogs.transcript().size(), std::size_t(1));
        QCOMPARE(s.dialogs.transcript()[0].caption, QStringLiteral("Error"));
        QVERIFY(s.dialogs.transcript()[0].text.contains(QStringLiteral("HELD.DBF")));
    }

    // Positions from a hand-edited settings file, with two fields in one place
    // and gaps, still give every field one row.
    void exportOrderNormalised()
    {
        Setup s;
        for (int field = 0; field < db::kBookFieldCount; ++field)
            s.settings.fields[std::size_t(field)].exportOrder = field < 2 ? 1 : 40 - field;
        TMyExport window(s.services);
        std::vector<int> fields = window.rowFields();
        QCOMPARE(fields[0], 0);
        QCOMPARE(fields[1], 1);
        QCOMPARE(fields[2], db::kBookFieldCount - 1);
        std::sort(fields.begin(), fields.end());
        for (int field = 0; field < db::kBookFieldCount; ++field)
            QCOMPARE(fields[std::size_t(field)], field);
    }
};

REGISTER_TEST(TestExchangeWindows)
#include "tst_exchangewindows.moc"
