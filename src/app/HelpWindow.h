#pragma once

#include <QRect>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <memory>

class HelpSearch;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QTextBrowser;

// The program's manual, an HTML book inside the program (":/help/"). One window per main
// window: it is shown non-modally and raised when asked for again; while a modal window is
// open it comes up modal itself, since a modal window blocks input to every other window.
// Each time it appears it is centred on its parent window and kept on the parent's screen.
// A search box finds words across the pages: the sections holding them are listed beside
// the page, Enter opens the first, and the words are marked on the page shown.
class HelpWindow : public QWidget {
    Q_OBJECT

public:
    explicit HelpWindow(QWidget* parent = nullptr);
    ~HelpWindow() override;

    // Opens the manual's first page and shows and raises the window.
    void showContents();
    // Opens the section of a window's help keyword ("Input Window", letter case ignored);
    // a keyword the manual has no section for opens the first page.
    void showKeyword(const QString& keyword);
    QUrl currentUrl() const;

    // The section name a keyword is filed under: lower case, each run of other characters
    // than letters and digits one hyphen ("Input Window" -> "input-window").
    static QString anchorFor(const QString& keyword);
    // The manual's first page.
    static QUrl contentsUrl();
    // Where a window of frame size `frame` goes: centred on `owner`, then moved (and, when
    // larger, shrunk) to lie wholly inside `screen`. All three in screen coordinates.
    static QRect placement(QSize frame, const QRect& owner, const QRect& screen);

private:
    void open(const QUrl& url);
    void present();
    void place();
    QUrl urlOfSection(const QString& anchor);
    const HelpSearch& manual();
    void listHits();
    void openHit(QListWidgetItem* item);
    void openFirstHit();
    void markWords();

    QTextBrowser* m_browser;
    QLineEdit* m_searchBox;
    QListWidget* m_hits;
    std::unique_ptr<HelpSearch> m_manual; // read on first use
};
