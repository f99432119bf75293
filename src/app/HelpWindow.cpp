#include "app/HelpWindow.h"

#include "app/HelpSearch.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>

namespace {

QPushButton* makeButton(const QString& text, QStyle::StandardPixmap icon, const QString& tip, QWidget* parent)
{
    auto* button = new QPushButton(parent->style()->standardIcon(icon), text, parent);
    button->setToolTip(tip);
    button->setAutoDefault(false);
    return button;
}

} // namespace

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Shelvano Books 95 Help"));

    auto* backButton = makeButton(QStringLiteral("&Back"), QStyle::SP_ArrowBack,
                                  QStringLiteral("The page shown before (Alt+Left)"), this);
    backButton->setObjectName(QStringLiteral("BackButton"));
    auto* forwardButton = makeButton(QStringLiteral("&Forward"), QStyle::SP_ArrowForward,
                                     QStringLiteral("The page shown after (Alt+Right)"), this);
    forwardButton->setObjectName(QStringLiteral("ForwardButton"));
    auto* contentsButton = makeButton(QStringLiteral("&Contents"), QStyle::SP_DirHomeIcon,
                                      QStringLiteral("The first page of the manual (Home)"), this);
    contentsButton->setObjectName(QStringLiteral("ContentsButton"));
    auto* closeButton = new QPushButton(QStringLiteral("Close"), this);
    closeButton->setObjectName(QStringLiteral("CloseButton"));
    closeButton->setToolTip(QStringLiteral("Close the manual (Esc)"));
    closeButton->setAutoDefault(false);

    m_searchBox = new QLineEdit(this);
    m_searchBox->setObjectName(QStringLiteral("SearchBox"));
    m_searchBox->setPlaceholderText(QStringLiteral("Words to find"));
    m_searchBox->setClearButtonEnabled(true);
    m_searchBox->setToolTip(
        QStringLiteral("Find pages that hold all these words; Enter opens the first (Ctrl+F)"));
    auto* searchLabel = new QLabel(QStringLiteral("&Search:"), this);
    searchLabel->setBuddy(m_searchBox);

    m_hits = new QListWidget(this);
    m_hits->setObjectName(QStringLiteral("SearchResults"));
    m_hits->setToolTip(QStringLiteral("The sections holding the words; click one to read it"));
    m_hits->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff); // long labels end in "..."
    m_hits->setTextElideMode(Qt::ElideRight);
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    m_browser->setOpenExternalLinks(true);
    m_browser->document()->setDocumentMargin(12);
    backButton->setEnabled(false);
    forwardButton->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(backButton);
    buttons->addWidget(forwardButton);
    buttons->addWidget(contentsButton);
    buttons->addSpacing(12);
    buttons->addWidget(searchLabel);
    buttons->addWidget(m_searchBox, 1);
    buttons->addSpacing(12);
    buttons->addWidget(closeButton);
    auto* splitter = new QSplitter(this);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(m_hits);
    splitter->addWidget(m_browser);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({260, 540});
    m_hits->hide(); // until a search has words
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(splitter, 1);

    connect(m_searchBox, &QLineEdit::textChanged, this, &HelpWindow::listHits);
    connect(m_searchBox, &QLineEdit::returnPressed, this, &HelpWindow::openFirstHit);
    connect(m_hits, &QListWidget::itemActivated, this, &HelpWindow::openHit);
    connect(m_hits, &QListWidget::itemClicked, this, &HelpWindow::openHit);
    connect(m_browser, &QTextBrowser::sourceChanged, this, &HelpWindow::markWords);
    connect(backButton, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(forwardButton, &QPushButton::clicked, m_browser, &QTextBrowser::forward);
    connect(contentsButton, &QPushButton::clicked, this, [this] { open(contentsUrl()); });
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(m_browser, &QTextBrowser::backwardAvailable, backButton, &QPushButton::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forwardButton, &QPushButton::setEnabled);

    // Window-wide keys, so they work whichever control has the focus.
    auto addKey = [this](QKeyCombination key, auto slot) {
        connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, this, slot);
    };
    addKey(Qt::ALT | Qt::Key_Left, [this] { m_browser->backward(); });
    addKey(Qt::ALT | Qt::Key_Right, [this] { m_browser->forward(); });
    addKey(QKeyCombination(Qt::Key_Home), [this] { open(contentsUrl()); });
    addKey(QKeyCombination(Qt::Key_Escape), [this] { close(); });
    addKey(Qt::CTRL | Qt::Key_F, [this] {
        m_searchBox->setFocus();
        m_searchBox->selectAll();
    });

    resize(820, 580);
}

HelpWindow::~HelpWindow() = default;

void HelpWindow::showContents()
{
    open(contentsUrl());
    present();
}

void HelpWindow::showKeyword(const QString& keyword)
{
    open(urlOfSection(anchorFor(keyword)));
    present();
}

QUrl HelpWindow::currentUrl() const
{
    return m_browser->source();
}

QString HelpWindow::anchorFor(const QString& keyword)
{
    QString anchor;
    for (QChar c : keyword.toLower()) {
        if ((c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
            (c >= QLatin1Char('0') && c <= QLatin1Char('9')))
            anchor += c;
        else if (!anchor.isEmpty() && !anchor.endsWith(QLatin1Char('-')))
            anchor += QLatin1Char('-');
    }
    if (anchor.endsWith(QLatin1Char('-')))
        anchor.chop(1);
    return anchor;
}

QUrl HelpWindow::contentsUrl()
{
    return QUrl(QStringLiteral("qrc:/help/index.html"));
}

void HelpWindow::open(const QUrl& url)
{
    m_browser->setSource(url);
    m_browser->setFocus();
}

void HelpWindow::present()
{
    // A modal window blocks every window that is not its own child, the manual included;
    // opened from one, the manual is modal itself so that it can be read and closed.
    QWidget* modal = QApplication::activeModalWidget();
    Qt::WindowModality wanted = modal == nullptr ? Qt::NonModal : Qt::ApplicationModal;
    if (modal == this)
        wanted = windowModality();
    if (wanted != windowModality()) {
        hide();
        setWindowModality(wanted);
    }
    const bool appearing = !isVisible();
    if (appearing)
        place();
    const QSize decoration = frameGeometry().size() - size();
    if (isMinimized())
        showNormal();
    else
        show();
    if (appearing && frameGeometry().size() - size() != decoration)
        place(); // the frame's size is known now

    raise();
    activateWindow();
}

QRect HelpWindow::placement(QSize frame, const QRect& owner, const QRect& screen)
{
    QRect placed(QPoint(0, 0), frame.boundedTo(screen.size()));
    placed.moveCenter(owner.isValid() ? owner.center() : screen.center());
    placed.moveLeft(std::clamp(placed.left(), screen.left(), screen.right() - placed.width() + 1));
    placed.moveTop(std::clamp(placed.top(), screen.top(), screen.bottom() - placed.height() + 1));
    return placed;
}

void HelpWindow::place()
{
    QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    const QScreen* screen = owner ? owner->screen() : this->screen();
    if (!screen)
        return;
    // The window manager's frame is known once the window has been shown; before, it counts as none.
    const QSize decoration = frameGeometry().size() - size();
    const QRect frame =
        placement(size() + decoration, owner ? owner->frameGeometry() : QRect(), screen->availableGeometry());
    resize(frame.size() - decoration);
    move(frame.topLeft());
}

const HelpSearch& HelpWindow::manual()
{
    if (!m_manual)
        m_manual = std::make_unique<HelpSearch>();
    return *m_manual;
}

QUrl HelpWindow::urlOfSection(const QString& anchor)
{
    const QString page = anchor.isEmpty() ? QString() : manual().pageOf(anchor);
    if (page.isEmpty())
        return contentsUrl();
    QUrl url(QStringLiteral("qrc:/help/") + page);
    url.setFragment(anchor);
    return url;
}

void HelpWindow::listHits()
{
    m_hits->clear();
    const QString words = m_searchBox->text();
    if (HelpSearch::wordsOf(words).isEmpty()) {
        m_hits->hide();
        markWords();
        return;
    }
    const QList<HelpSearch::Hit> hits = manual().find(words);
    for (const HelpSearch::Hit& hit : hits) {
        auto* item = new QListWidgetItem(hit.label, m_hits);
        item->setData(Qt::UserRole, hit.url);
        item->setToolTip(hit.label);
    }
    if (hits.isEmpty()) {
        auto* none = new QListWidgetItem(QStringLiteral("No page holds all these words."), m_hits);
        none->setFlags(Qt::NoItemFlags); // says so, and leads nowhere
    }
    m_hits->show();
    markWords();
}

void HelpWindow::openHit(QListWidgetItem* item)
{
    const QUrl url = item->data(Qt::UserRole).toUrl();
    if (!url.isEmpty())
        open(url);
}

void HelpWindow::openFirstHit()
{
    listHits();
    const QUrl first = m_hits->count() > 0 ? m_hits->item(0)->data(Qt::UserRole).toUrl() : QUrl();
    if (first.isEmpty())
        return;
    m_hits->setCurrentRow(0);
    m_browser->setSource(first);
}

void HelpWindow::markWords()
{
    // Every occurrence of the searched words on the page shown, as a yellow marker.
    QList<QTextEdit::ExtraSelection> marks;
    QTextCharFormat marker;
    marker.setBackground(QColor(255, 230, 110));
    QTextDocument* document = m_browser->document();
    for (const QString& word : HelpSearch::wordsOf(m_searchBox->text())) {
        for (QTextCursor found = document->find(word); !found.isNull(); found = document->find(word, found))
            marks << QTextEdit::ExtraSelection{found, marker};
    }
    m_browser->setExtraSelections(marks);
}
