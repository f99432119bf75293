#include "TestRegistry.h"
#include "app/AboutBox.h"
#include "app/HelpWindow.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QPushButton>
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
