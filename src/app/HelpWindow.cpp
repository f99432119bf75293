#include "app/HelpWindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>

namespace {

const QString kHelpDir = QStringLiteral(":/help");

// The section names a page declares, as the browser itself reads them (an id or a named anchor).
QStringList sectionsOfPage(const QString& fileName)
{
    QFile file(kHelpDir + QLatin1Char('/') + fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QTextDocument document;
    document.setBaseUrl(QUrl(QStringLiteral("qrc:/help/")));
    document.setHtml(QString::fromUtf8(file.readAll()));
    QStringList sections;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it)
            sections += it.fragment().charFormat().anchorNames();
    }
    return sections;
}

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
    buttons->addStretch();
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_browser, 1);

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

    resize(720, 560);
}

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

QUrl HelpWindow::urlOfSection(const QString& anchor)
{
    if (m_pageOfSection.isEmpty()) {
        const QStringList pages = QDir(kHelpDir).entryList({QStringLiteral("*.html")}, QDir::Files);
        for (const QString& page : pages) {
            for (const QString& section : sectionsOfPage(page))
                m_pageOfSection.insert(section, page);
        }
    }
    auto found = m_pageOfSection.constFind(anchor);
    if (anchor.isEmpty() || found == m_pageOfSection.constEnd())
        return contentsUrl();
    QUrl url(QStringLiteral("qrc:/help/") + *found);
    url.setFragment(anchor);
    return url;
}
