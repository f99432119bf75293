// The command line, driven as a separate process the way a script would.
#include "MaintenanceFixture.h"
#include "TestRegistry.h"

#include "app/TMain.h"
#include "platform/Screen.h"
#include "reports/TMyReport.h"
#include "reports/TReportForm.h"

#include <QApplication>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

namespace {

struct Result {
    int status = -1;
    QString out, err;
};

// One program folder: a data directory with MASTER.DBF and its own settings.
struct Folder {
    TempDir data, config;

    Folder()
    {
        const std::string master = data.path("MASTER.DBF");
        makeBooks(master, {"Emma", "Kim"});
        addRecord(master, {{"TITLE", "Quoted \"Tales\", Vol. 1"},
                           {"AUTHOR", "Smith, Anne"},
                           {"YEARPUB", "1999"},
                           {"COST", "12.5"},
                           {"PURCHDATE", "20240229"}});
        QFile input(file("IN.TXT"));
        if (input.open(QIODevice::WriteOnly))
            input.write("\"Persuasion\"\r\n");
    }

    Result run(QStringList arguments) const
    {
        arguments << "--data-dir" << QString::fromStdString(data.dir()) << "--config-dir"
                  << QString::fromStdString(config.dir());
        QProcess process;
        process.start(SHELVANO_PROGRAM, arguments);
        process.waitForFinished(120000);
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }
    QString file(const char* name) const { return QString::fromStdString(data.path(name)); }
};

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int pdfPages(const QString& pdf)
{
    QProcess info;
    info.start("pdfinfo", {pdf});
    if (!info.waitForFinished(30000))
        return -1;
    const QRegularExpressionMatch m =
        QRegularExpression("Pages:\\s+(\\d+)").match(QString::fromUtf8(info.readAllStandardOutput()));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void importThenExportGivesTheInputBack()
    {
        Folder first, second;
        const QString exported = first.file("books.txt");
        Result out = first.run({"export", exported});
        QVERIFY2(out.status == 0, qPrintable(out.err));
        QVERIFY(out.out.contains("3 records exported"));

        // Into an empty database: the program creates MASTER.DBF afresh.
        QVERIFY(QFile::remove(second.file("MASTER.DBF")));
        QFile::remove(second.file("MASTER.MDX"));
        Result in = second.run({"import", exported, "--skip-first"});
        QVERIFY2(in.status == 0, qPrintable(in.err));
        QVERIFY(in.out.contains("3 records added"));
        const QString again = second.file("again.txt");
        QCOMPARE(second.run({"export", again}).status, 0);
        QVERIFY(bytesOf(exported).contains("\"Quoted \"\"Tales\"\", Vol. 1\",\"Smith, Anne\",\"1999\""));
        QCOMPARE(bytesOf(again), bytesOf(exported));
    }

    // The text file equals the report list's own text output; the PDF has its pages.
    void reportMatchesTheWindow()
    {
        Folder folder;
        const QString text = folder.file("narrow.txt"), pdf = folder.file("narrow.pdf");
        Result result = folder.run({"report", "short narrow report", "--text", text});
        QVERIFY2(result.status == 0, qPrintable(result.err));
        QCOMPARE(folder.run({"report", "Short Narrow Report", "--pdf", pdf}).status, 0);
        QCOMPARE(pdfPages(pdf), 1);

        platform::ScriptedDialogs dialogs;
        platform::FixedScreen screen{QSize(1280, 1024)};
        TMain main(dialogs, screen, platform::AppPaths{folder.data.dir(), folder.config.dir(), {}}, false);
        QVERIFY(main.startUp());
        TMyReport list;
        list.setServices(*main.reportServices());
        list.ReportBox->setCurrentRow(0);
        QTimer::singleShot(0, [] {
            for (int i = 0; i < 1000; ++i) {
                if (auto* status = qobject_cast<TReportForm*>(QApplication::activeModalWidget())) {
                    while (status->BitBtn1->text() != "OK")
                        QTest::qWait(10);
                    status->BitBtn1Click();
                    return;
                }
                QTest::qWait(10);
            }
        });
        const QString windowText = folder.file("window.txt");
        list.DoIt(reports::OutputMode::TextFile, windowText);
        QVERIFY(!bytesOf(windowText).isEmpty());
        QCOMPARE(bytesOf(text), bytesOf(windowText));
    }

    void checkFindsAndRepairs()
    {
        Folder folder;
        const QString master = folder.file("MASTER.DBF");
        QCOMPARE(folder.run({"check"}).status, 0);
        QFile file(master);
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.seek(4);
        file.write(QByteArray("\x09\x00\x00\x00", 4)); // nine records claimed, three there
        file.close();
        Result found = folder.run({"check", master});
        QCOMPARE(found.status, 1);
        QVERIFY2(found.out.contains("counts 9 records"), qPrintable(found.out));
        Result repaired = folder.run({"check", master, "--repair"});
        QVERIFY2(repaired.status == 0, qPrintable(repaired.out + repaired.err));
        QVERIFY(repaired.out.contains("Repaired: set the record count from 9 to 3"));
        QCOMPARE(columnOf(master.toStdString(), "TITLE").size(), 3);
    }

    // Without a readable index file the engine does not know the tags; a book table's order tag is
    // made again from the sort order.
    void repairMakesTheBookTagAgain_data()
    {
        QTest::addColumn<bool>("removed");
        QTest::newRow("index missing") << true;
        QTest::newRow("index unreadable") << false;
    }
    void repairMakesTheBookTagAgain()
    {
        QFETCH(bool, removed);
        Folder folder;
        QCOMPARE(folder.run({"reindex"}).status, 0);
        const QString master = folder.file("MASTER.DBF"), index = folder.file("MASTER.MDX");
        if (removed)
            QVERIFY(QFile::remove(index));
        else
            patchFile(index.toStdString(), 0, QByteArray(600, '\x7f'));
        QCOMPARE(folder.run({"check", master}).status, 1);
        Result repaired = folder.run({"check", master, "--repair"});
        QVERIFY2(repaired.status == 0, qPrintable(repaired.out + repaired.err));
        QVERIFY2(repaired.out.contains("made the book order tag NewIndex afresh"), qPrintable(repaired.out));
        QCOMPARE(folder.run({"check", master}).status, 0);
        auto table = dbase::Table::open(master.toStdString());
        QVERIFY(table->hasTag("NewIndex"));
        QCOMPARE(table->recordCount(), 3u);
    }

    // The repair refused (another program has the table): the findings are still printed, nothing changes.
    void refusedRepairStillReports()
    {
        Folder folder;
        const QString master = folder.file("MASTER.DBF");
        patchFile(master.toStdString(), 4, QByteArray("\x09\x00\x00\x00", 4));
        const QByteArray before = bytesOf(master);
        HeldTable held(master.toStdString(), "shared");
        Result result = folder.run({"check", master, "--repair"});
        QCOMPARE(result.status, 1);
        QVERIFY2(result.out.contains("counts 9 records"), qPrintable(result.out));
        QVERIFY2(result.err.contains("could not be repaired"), qPrintable(result.err));
        QCOMPARE(bytesOf(master), before);
    }

    void exitStatuses_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("help") << QStringList{"import", "--help"} << 0 << "";
        QTest::newRow("unknown option") << QStringList{"export", "x.txt", "--bogus"} << 2 << "Unknown option";
        QTest::newRow("option of another command")
            << QStringList{"pack", "--pdf", "x"} << 2 << "does not take";
        QTest::newRow("missing argument") << QStringList{"import"} << 2 << "Usage: shelvano import";
        QTest::newRow("both outputs")
            << QStringList{"report", "Full Report", "--pdf", "a", "--text", "b"} << 2 << "one of --pdf";
        QTest::newRow("bad map") << QStringList{"import", "IN.TXT", "--map", "1,2"} << 2 << "--map gives 2";
        QTest::newRow("map beyond the fields")
            << QStringList{"import", "IN.TXT", "--map", "37"} << 2 << "not a book field";
        QTest::newRow("missing file")
            << QStringList{"import", "/nonexistent/books.txt"} << 1 << "does not exist";
        QTest::newRow("missing database")
            << QStringList{"check", "/nonexistent/X.DBF"} << 1 << "does not exist";
        QTest::newRow("unknown report")
            << QStringList{"report", "Nope", "--text", "r.txt"} << 1 << "no report named";
        QTest::newRow("unknown command") << QStringList{"bogus"} << 2 << "\"bogus\" is not a command";
        QTest::newRow("bad format") << QStringList{"export", "x.txt", "--format", "pdf"} << 2
                                    << "text or dbase";
        QTest::newRow("bad field") << QStringList{"export", "x.txt", "--fields", "TITLE,SHOE"} << 2
                                   << "\"SHOE\"";
        QTest::newRow("restore of another kind") << QStringList{"restore", "IN.TXT"} << 2 << "restore takes";
        QTest::newRow("own file as target")
            << QStringList{"export", "SHVBOOK.URP"} << 1 << "program's own files";
    }
    void exitStatuses()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, message);
        Folder folder;
        // Relative names are taken in the data directory, as a script run there would.
        for (QString& argument : arguments)
            if (argument == "IN.TXT" || argument == "SHVBOOK.URP")
                argument = folder.file(qPrintable(argument));
        const QByteArray before = bytesOf(folder.file("MASTER.DBF"));
        Result result = folder.run(arguments);
        QCOMPARE(result.status, status);
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        QCOMPARE(bytesOf(folder.file("MASTER.DBF")), before);
        // A command not understood opens nothing, so the database gets no index made for it.
        if (status == 2)
            QVERIFY(!QFile::exists(folder.file("MASTER.MDX")));
    }

    // The database, the lists and the reports are backed up in one go, told of once.
    void backupTellsOfItsSuccessOnce()
    {
        Folder folder;
        TempDir target;
        Result result = folder.run({"backup", QString::fromStdString(target.dir())});
        QVERIFY2(result.status == 0, qPrintable(result.err));
        QCOMPARE(result.err.count("Backup completed successfully."), 1);
        QVERIFY(QFile::exists(QString::fromStdString(target.path("MASTER.DBF"))));
    }

    void databaseHeldElsewhereIsRefused()
    {
        Folder folder;
        const QByteArray before = bytesOf(folder.file("MASTER.DBF"));
        HeldTable held(folder.data.path("MASTER.DBF"), "exclusive");
        const QString input = folder.file("IN.TXT");
        Result result = folder.run({"import", input});
        QCOMPARE(result.status, 1);
        QVERIFY(!result.err.isEmpty());
        QCOMPARE(bytesOf(folder.file("MASTER.DBF")), before);
    }
};

REGISTER_TEST(TestCommandLine)
#include "tst_cli.moc"
