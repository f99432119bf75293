#include "TestRegistry.h"
#include "app/AboutBox.h"
#include "app/HelpSearch.h"
#include "app/HelpWindow.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
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
            if (format.isImageFormat())
                targets.links << format.toImageFormat().name();
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

// The keywords the program's windows open the manual at, read from the calls in the sources:
// a call of help, m_help, showHelp or showKeyword whose argument is a string literal, or a
// name the same file defines with literals (a constant or a table of them). A call passing
// on a parameter of its own is a forwarder. Any other call counts as unresolved.
struct KeywordScan {
    QStringList keywords;
    QStringList unresolved;
};

QString withoutComments(QString code)
{
    static const QRegularExpression comment(QStringLiteral("(?<![:\\\\])//[^\\n]*"));
    return code.remove(comment);
}

QStringList literalsIn(const QString& code)
{
    static const QRegularExpression literal(QStringLiteral("\"((?:[^\"\\\\]|\\\\.)*)\""));
    QStringList found;
    for (const auto& match : literal.globalMatch(code))
        found << match.captured(1);
    return found;
}

KeywordScan scanKeywords(const QString& sourceTree)
{
    static const QRegularExpression call(QStringLiteral("\\b(?:m_)?(?:showHelp|help|showKeyword)\\s*\\("));
    static const QRegularExpression number(QStringLiteral("^\\s*\\d+\\s*$"));
    static const QRegularExpression name(QStringLiteral("\\b[A-Za-z_]\\w*\\b"));
    static const QRegularExpression declaration(QStringLiteral("^\\s*(const\\s+)?QString\\s*&\\s*\\w+\\s*$"));
    KeywordScan scan;
    QDirIterator files(sourceTree, {"*.cpp", "*.h"}, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        if (path.contains("/app/HelpWindow.") || path.contains("/app/HelpSearch."))
            continue;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString code = withoutComments(QString::fromUtf8(file.readAll()));
        for (const auto& match : call.globalMatch(code)) {
            qsizetype end = match.capturedEnd();
            for (int depth = 1; end < code.size() && depth > 0; ++end)
                depth += code[end] == '(' ? 1 : code[end] == ')' ? -1 : 0;
            const QString argument = code.mid(match.capturedEnd(), end - 1 - match.capturedEnd());
            if (argument.trimmed().isEmpty() || declaration.match(argument).hasMatch() ||
                number.match(argument).hasMatch())
                continue; // a declaration, or a call without a keyword (QCommandLineParser's exit code)
            if (QStringList literals = literalsIn(argument); !literals.isEmpty()) {
                scan.keywords << literals.first();
                continue;
            }
            bool resolved = false;
            for (const auto& word : name.globalMatch(argument)) {
                const QRegularExpression definition("\\b" + word.captured() +
                                                    "\\s*(\\[\\s*\\d*\\s*\\])?\\s*=([^;]*);");
                const QStringList literals = literalsIn(definition.match(code).captured(2));
                if (!literals.isEmpty()) {
                    scan.keywords << literals;
                    resolved = true;
                    break;
                }
                if (code.contains(
                        QRegularExpression("(QString\\s*&|>)\\s*" + word.captured() + "\\s*[,)]"))) {
                    resolved = true; // passes on a keyword it was given
                    break;
                }
            }
            if (!resolved)
                scan.unresolved << path.section('/', -2) + ": " + argument.simplified();
        }
    }
    scan.keywords.removeDuplicates();
    scan.keywords.sort();
    return scan;
}

const KeywordScan& programKeywords()
{
    static const KeywordScan scan = scanKeywords(QStringLiteral(SHELVANO_SOURCE_TREE));
    return scan;
}

} // namespace

class TestHelpWindow : public QObject {
    Q_OBJECT

private slots:
    void keywordOpensItsSection_data()
    {
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<QString>("anchor");
        // Every keyword a window of the program opens the manual at.
        for (const QString& keyword : programKeywords().keywords)
            QTest::newRow(qPrintable(keyword)) << keyword << HelpWindow::anchorFor(keyword);
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

    // The scan must see the calls it is meant to check, so that a window's new keyword
    // cannot slip past it unread.
    void keywordScanReadsTheCalls()
    {
        const KeywordScan& scan = programKeywords();
        QVERIFY2(scan.unresolved.isEmpty(), qPrintable(scan.unresolved.join("; ")));
        for (const char* known : {"Input Window", "Viewer Configuration Names", "Search Window",
                                  "Export Window", "Backup and Restore", "Report Window"})
            QVERIFY2(scan.keywords.contains(known), known);
        const KeywordScan sample =
            scanKeywords(QStringLiteral(SHELVANO_SOURCE_TREE "/../tests/app/helpscan"));
        QCOMPARE(sample.keywords,
                 QStringList({"Constant Window", "Literal Window", "Table One", "Table Two"}));
        QCOMPARE(sample.unresolved, QStringList({"helpscan/sample.cpp: mystery"}));
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

    // A keyword opens the page that declares its name; a name on two pages would open either.
    void everySectionNameIsDeclaredOnce()
    {
        QHash<QString, QString> pageOf;
        QStringList twice;
        const HelpSearch manual;
        for (const HelpSearch::Section& section : manual.sections()) {
            for (const QString& name : section.names) {
                if (pageOf.contains(name) && pageOf[name] != section.page)
                    twice << name + " (" + pageOf[name] + ", " + section.page + ")";
                pageOf.insert(name, section.page);
            }
        }
        QVERIFY2(twice.isEmpty(), qPrintable(twice.join(", ")));
        QCOMPARE(manual.pageOf("report-status-screen"), QString("reports.html")); // a name inside a section
    }

    void search_data()
    {
        QTest::addColumn<QString>("words");
        QTest::addColumn<QString>("first"); // the first hit, page#section; empty for none
        QTest::addColumn<int>("hits");
        QTest::newRow("two words of one section") << "midnight black"
                                                  << "colors.html#predefined-color-combinations" << 1;
        QTest::newRow("letter case and punctuation ignored")
            << "  MIDNIGHT, Black!"
            << "colors.html#predefined-color-combinations" << 1;
        QTest::newRow("one word") << "crontab"
                                  << "commandline.html#command-line-examples" << 1;
        QTest::newRow("part of a word") << "syncth"
                                        << "trouble.html#sharing-a-database" << 1;
        QTest::newRow("words of different sections") << "crontab syncthing"
                                                     << "" << 0;
        QTest::newRow("unknown word") << "zqxv"
                                      << "" << 0;
        QTest::newRow("no words") << " - , "
                                  << "" << 0;
    }

    void search()
    {
        QFETCH(QString, words);
        QFETCH(QString, first);
        QFETCH(int, hits);
        const QList<HelpSearch::Hit> found = HelpSearch().find(words);
        QCOMPARE(found.size(), hits);
        if (hits > 0)
            QCOMPARE(found.first().url, QUrl("qrc:/help/" + first));
    }

    void searchRanksByOccurrences()
    {
        const QList<HelpSearch::Hit> many = HelpSearch().find("database");
        QVERIFY(many.size() > 10);
        for (qsizetype i = 1; i < many.size(); ++i)
            QVERIFY(many[i - 1].count >= many[i].count); // the most occurrences first
    }

    void searchBoxListsOpensAndMarks()
    {
        HelpWindow help;
        help.showContents();
        auto* box = help.findChild<QLineEdit*>("SearchBox");
        auto* results = help.findChild<QListWidget*>("SearchResults");
        auto* browser = help.findChild<QTextBrowser*>("HelpBrowser");
        QVERIFY(box && results && browser);
        QVERIFY(!results->isVisible());
        QTest::keyClicks(box, "Crontab");
        QVERIFY(results->isVisible());
        QCOMPARE(results->count(), 1);
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(help.currentUrl(), QUrl("qrc:/help/commandline.html#command-line-examples"));
        const QList<QTextEdit::ExtraSelection> marks = browser->extraSelections();
        QCOMPARE(marks.size(), 1);
        QCOMPARE(marks.first().cursor.selectedText(), QString("crontab"));
        box->clear();
        QVERIFY(!results->isVisible());
        QVERIFY(browser->extraSelections().isEmpty());
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
