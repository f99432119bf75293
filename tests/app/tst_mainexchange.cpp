#include "TempDir.h"
#include "TestRegistry.h"
#include "app/TMain.h"
#include "exchange/TImportFormat.h"
#include "exchange/TMyExport.h"
#include "exchange/TMyImport.h"
#include "platform/Screen.h"
#include "platform/ScriptedDialogs.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QTest>
#include <QTimer>

namespace {

// Runs `step` on the modal window of type W once the command has opened it.
template <class W> void whenOpen(const std::function<void(W&)>& step)
{
    QTimer::singleShot(0, [step] {
        auto* window = qobject_cast<W*>(QApplication::activeModalWidget());
        QVERIFY(window);
        step(*window);
        if (window->isVisible())
            window->reject();
    });
}

} // namespace

class TestMainExchange : public QObject {
    Q_OBJECT

private slots:
    // Records > Import and Records > Export run their windows on the open
    // database; the settings file and the database itself are refused as targets.
    void importThenExport()
    {
        TempDir data, config;
        platform::ScriptedDialogs dialogs;
        platform::FixedScreen screen(QSize(1280, 1024));
        TMain main(dialogs, screen, platform::AppPaths{data.dir(), config.dir(), {}}, false);
        QVERIFY(main.startUp());
        QFile in(QString::fromStdString(data.path("IN.TXT")));
        QVERIFY(in.open(QIODevice::WriteOnly));
        in.write("\"Title\",\"Author\"\r\n\"Dune\",\"Herbert\"\r\n\"Emma\",\"Austen\"\r\n");
        in.close();
        auto* import = main.findChild<QAction*>(QStringLiteral("MenuImport"));
        auto* exportItem = main.findChild<QAction*>(QStringLiteral("MenuExport"));
        QVERIFY(import->isEnabled());
        QVERIFY(exportItem->isEnabled());

        main.settings().importFileType = 1;
        dialogs.expectOpenFile(QString::fromStdString(data.path("IN.TXT")));
        whenOpen<TImportFormat>([](TImportFormat& format) {
            format.showModal = [](QDialog& window) { static_cast<TMyImport&>(window).StartButtonClick(); };
            format.FileButtonClick();
        });
        import->trigger();
        QCOMPARE(main.bookTable().rowCount(), 2);

        const QString database = main.database().currentPath();
        dialogs.expectSaveFile(database);
        dialogs.expectSaveFile(QString::fromStdString(data.path("OUT.TXT")));
        whenOpen<TMyExport>([](TMyExport& window) {
            window.StartExportButtonClick(); // refused: the open database
            window.StartExportButtonClick();
        });
        exportItem->trigger();
        QCOMPARE(dialogs.problems(), QStringList());
        QFile out(QString::fromStdString(data.path("OUT.TXT")));
        QVERIFY(out.open(QIODevice::ReadOnly));
        QVERIFY(out.readAll().contains("\"Dune\",\"Herbert\""));
        QCOMPARE(main.bookTable().rowCount(), 2);
        bool refused = false;
        for (const auto& message : dialogs.transcript())
            refused |= message.caption == QLatin1String("Error") &&
                       message.text.contains(QLatin1String("open database"));
        QVERIFY(refused);
    }
};

REGISTER_TEST(TestMainExchange)
#include "tst_mainexchange.moc"
