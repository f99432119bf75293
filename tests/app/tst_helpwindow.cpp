#include "TestRegistry.h"
#include "app/AboutBox.h"
#include "app/HelpWindow.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>

namespace {

// The anchors and link targets of one document, as the text browser reads them.
struct Targets {
    QSet<QString> anchors;
    QStringList links;
};

Targets targetsOf(const QTextDocument& document)
{
    Targets targets;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            QTextCharFormat format = it.fragment().charFormat();
            for (const QString& name : format.anchorNames())
                targets.anchors.insert(name);
            if (!format.anchorHref().isEmpty())
                targets.links << format.anchorHref();
        }
    }
    return targets;
}

Targets targetsOfPage(const QString& fileName)
{
    QFile file(":/help/" + fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QTextDocument document;
    document.setBaseUrl(QUrl("qrc:/help/"));
    document.setHtml(QString::fromUtf8(file.readAll()));
    return targetsOf(document);
}

} // namespace

class TestHelpWindow : public QObject {
    Q_OBJECT

private slots:
    void keywordOpensItsSection_data()
    {
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<QString>("anchor");
        // Every keyword the windows' Help buttons use.
        const QStringList keywords = {"Input Window",
                                      "Viewer Configuration Title",
                                      "Viewer Configuration Look",
                                      "Viewer Configuration Show",
                                      "Viewer Configuration Widths",
                                      "Viewer Configuration Order",
                                      "Viewer Configuration Names",
                                      "Search Window",
                                      "Import Window",
                                      "Export Window",
                                      "Backup and Restore",
                                      "Report Window",
                                      "User Defined Reports"};
        for (const QString& keyword : keywords)
            QTest::newRow(qPrintable(keyword)) << keyword << keyword.toLower().replace(' ', '-');
        QTest::newRow("letter case ignored") << "INPUT window"
                                             << "input-window";
    }

    void keywordOpensItsSection()
    {
        QFETCH(QString, keyword);
        QFETCH(QString, anchor);
        HelpWindow help;
        help.showKeyword(keyword);
        QCOMPARE(help.currentUrl().fragment(), anchor);
        QVERIFY(help.isVisible());
        auto* browser = help.findChild<QTextBrowser*>("HelpBrowser");
        QVERIFY(browser);
        QVERIFY2(targetsOf(*browser->document()).anchors.contains(anchor),
                 qPrintable(help.currentUrl().toString()));
    }

    void unknownKeywordOpensContents_data()
    {
        QTest::addColumn<QString>("keyword");
        QTest::newRow("unknown") << "Tip of the Day Window";
        QTest::newRow("empty") << "";
        QTest::newRow("punctuation only") << " - ";
    }

    void unknownKeywordOpensContents()
    {
        QFETCH(QString, keyword);
        HelpWindow help;
        help.showKeyword("Search Window");
        help.showKeyword(keyword);
        QCOMPARE(help.currentUrl(), HelpWindow::contentsUrl());
    }

    // A link to a missing page or section shows an empty page or the top of the wrong one.
    void everyLinkOfTheManualResolves()
    {
        const QStringList pages = QDir(":/help").entryList({"*.html"}, QDir::Files);
        QVERIFY(pages.contains("index.html"));
        QStringList broken;
        for (const QString& page : pages) {
            const QUrl base("qrc:/help/" + page);
            for (const QString& link : targetsOfPage(page).links) {
                QUrl target = base.resolved(QUrl(link));
                if (target.scheme() != "qrc")
                    continue;
                QString file = ":" + target.path();
                bool ok = QFile::exists(file);
                if (ok && !target.fragment().isEmpty())
                    ok = targetsOfPage(file.section('/', -1)).anchors.contains(target.fragment());
                if (!ok)
                    broken << page + " -> " + link;
            }
        }
        QVERIFY2(broken.isEmpty(), qPrintable(broken.join(", ")));
    }

    void historyKeys()
    {
        HelpWindow help;
        help.showContents();
        QVERIFY(QTest::qWaitForWindowActive(&help));
        help.showKeyword("Report Window");
        QTest::keyClick(&help, Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(help.currentUrl(), HelpWindow::contentsUrl());
        QTest::keyClick(&help, Qt::Key_Right, Qt::AltModifier);
        QCOMPARE(help.currentUrl().fragment(), QString("report-window"));
        QTest::keyClick(&help, Qt::Key_Home);
        QCOMPARE(help.currentUrl(), HelpWindow::contentsUrl());
    }

    // A modal window blocks every other window; the manual opened from one must not be blocked.
    void openedFromModalWindowIsUsable()
    {
        QWidget main;
        HelpWindow help(&main);
        help.showContents();
        QCOMPARE(help.windowModality(), Qt::NonModal);
        QDialog dialog(&main);
        dialog.setModal(true);
        dialog.show();
        help.showKeyword("Input Window");
        QCOMPARE(QApplication::activeModalWidget(), &help);
        help.close();
        dialog.close();
        help.showContents();
        QCOMPARE(help.windowModality(), Qt::NonModal);
    }

    // Centred on the main window, then kept wholly on the screen, shrunk when it is larger.
    void placement_data()
    {
        QTest::addColumn<QSize>("frame");
        QTest::addColumn<QRect>("owner");
        QTest::addColumn<QRect>("placed");
        const QSize help(720, 560);
        QTest::newRow("centred") << help << QRect(100, 100, 1000, 800) << QRect(240, 220, 720, 560);
        QTest::newRow("past the right and bottom")
            << help << QRect(1000, 700, 260, 300) << QRect(560, 464, 720, 560);
        QTest::newRow("past the left and top")
            << help << QRect(-200, -100, 300, 200) << QRect(0, 0, 720, 560);
        QTest::newRow("larger than the screen")
            << QSize(1400, 1100) << QRect(0, 0, 640, 480) << QRect(0, 0, 1280, 1024);
        QTest::newRow("no owner") << help << QRect() << QRect(280, 232, 720, 560);
    }

    void placement()
    {
        QFETCH(QSize, frame);
        QFETCH(QRect, owner);
        QFETCH(QRect, placed);
        QCOMPARE(HelpWindow::placement(frame, owner, QRect(0, 0, 1280, 1024)), placed);
        // A screen that does not start at the origin, as a second screen does.
        QCOMPARE(HelpWindow::placement(frame, owner.translated(1280, 0), QRect(1280, 0, 1280, 1024)),
                 placed.translated(1280, 0));
    }

    // Regression: the manual opened wherever the window system put it, partly off the screen.
    void opensOverItsMainWindow()
    {
        QWidget main;
        const QRect screen = main.screen()->availableGeometry();
        main.setGeometry(screen.adjusted(20, 20, -20, -20));
        main.show();
        HelpWindow help(&main);
        help.showContents();
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        QVERIFY(screen.contains(help.frameGeometry()));
        QVERIFY(qAbs(help.frameGeometry().center().x() - main.frameGeometry().center().x()) <= 1);
        QVERIFY(qAbs(help.frameGeometry().center().y() - main.frameGeometry().center().y()) <= 1);
        help.close();
        main.move(screen.right() - 100, screen.bottom() - 100); // mostly off the screen
        help.showKeyword("Search Window");
        QVERIFY(screen.contains(help.frameGeometry()));
    }

    void aboutBox()
    {
        AboutBox about;
        QCOMPARE(about.windowTitle(), QString("About Shelvano Books 95"));
        QVERIFY(about.isModal());
        about.show();
        auto* ok = about.findChild<QPushButton*>("OkButton");
        QVERIFY(ok);
        QTest::mouseClick(ok, Qt::LeftButton);
        QVERIFY(!about.isVisible());
        QCOMPARE(about.result(), int(QDialog::Accepted));
    }
};

REGISTER_TEST(TestHelpWindow)
#include "tst_helpwindow.moc"
