#include "TTipOfDay.h"

#include "settings/Scaling.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRandomGenerator>
#include <QShowEvent>
#include <QVBoxLayout>

#include <array>

namespace {

constexpr QSize kDesignSize(475, 241);

// clang-format off
constexpr std::array<const char*, TTipOfDay::kTipCount> kTips{
    "You can rename database fields to your liking.",
    "You can optionally edit data directly on the Main Window Viewer.",
    "You can choose to see only those database fields you desire in the Main Window Viewer.",
    "You can choose the order in which the database fields appear in the Main Window Viewer.",
    "You can select the font for edit boxes allowing for support of foreign language input.",
    "You can do a global search and replace on any database field.",
    "You can select numeric and currency formats for reports to either match your Windows setup or to be a U.S. format.",
    "You can choose from among several date formats to be used through out the program.",
    "You can sort your data by any database field and go four levels deep.",
    "You can maintain multiple databases and Shelvano will display the last five used in the menu for easy retrieval.",
    "You can easily import data from ASCII Delimited or DBase compatible files.",
    "You can export data to ASCII Delimited or DBase compatible files and choose which database fields to export and the order.",
    "When exporting data, you can limit the data to export by first doing a search.",
    "When printing a report, you can limit the data to print by first doing a search.",
    "You can preview reports, print reports to a text file or send them directly to the printer.",
    "You can design and build as many of your own report layouts as you like.",
    "You can choose to have speed buttons or large lettered buttons on the main window for quick program functions.",
    "You can choose among popular screen sizes allowing program windows to appear the size you prefer.",
    "You can choose the font style for text input, labels and buttons allowing for a more personal appearance.",
    "You can narrow the data that is displayed in the Main Window Viewer to just the result of a search.",
    "Logical OR searches can be performed: Find all records where the item = xxxx OR where the item = yyyy.",
    "User defined reports allow for Title Lines, Font Selection, Margin Settings, Page Numbers, Date On Pages and More.",
    "User defined reports allow for Column Headers, Vertical and Horizontal lines, Grouping of Data, Totals and More.",
    "A \"Browse Mode\" is available where a user has access to the data, but cannot change it.",
};
// clang-format on

} // namespace

QString TTipOfDay::tipText(int number)
{
    if (number < 1 || number > kTipCount)
        return {};
    return QString::fromLatin1(kTips[std::size_t(number - 1)]);
}

int TTipOfDay::randomTip()
{
    return int(QRandomGenerator::global()->bounded(kTipCount)) + 1;
}

TTipOfDay::TTipOfDay(bool& showTips, int firstTip, double scale, QSize screen, QWidget* parent)
    : QDialog(parent), m_showTips(showTips), m_scale(scale), m_screen(screen)
{
    setObjectName(QStringLiteral("TTipOfDay"));
    setWindowTitle(QStringLiteral("Tip of the Day"));
    setModal(true);

    // The panel is white on every desktop and in every colour scheme.
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setAutoFillBackground(true);
    QPalette white = panel->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    panel->setPalette(white);

    Picture = new QLabel(panel);
    Picture->setObjectName(QStringLiteral("Picture"));
    Picture->setPixmap(QPixmap(QStringLiteral(":/icons/tip.png")));
    Picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    Heading = new QLabel(QStringLiteral("Did you know?"), panel);
    Heading->setObjectName(QStringLiteral("Heading"));
    QFont bold = Heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.4);
    Heading->setFont(bold);
    TipComment = new QLabel(panel);
    TipComment->setObjectName(QStringLiteral("TipComment"));
    TipComment->setWordWrap(true);
    TipComment->setTextFormat(Qt::PlainText);
    TipComment->setAlignment(Qt::AlignTop | Qt::AlignLeft);

    ShowTips = new QCheckBox(QStringLiteral("&Show Tips at Startup"), this);
    ShowTips->setObjectName(QStringLiteral("ShowTips"));
    ShowTips->setChecked(showTips);
    NextTipButton = new QPushButton(QStringLiteral("&Next Tip"), this);
    NextTipButton->setObjectName(QStringLiteral("NextTipButton"));
    NextTipButton->setDefault(true);
    CloseButton = new QPushButton(QStringLiteral("&Close"), this);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    connect(NextTipButton, &QPushButton::clicked, this, &TTipOfDay::NextTipButtonClick);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* words = new QVBoxLayout;
    words->setSpacing(10);
    words->addWidget(Heading);
    words->addWidget(TipComment, 1);
    auto* inside = new QHBoxLayout(panel);
    inside->setContentsMargins(14, 14, 14, 14);
    inside->setSpacing(14);
    inside->addWidget(Picture);
    inside->addLayout(words, 1);
    auto* foot = new QHBoxLayout;
    foot->addWidget(ShowTips);
    foot->addStretch();
    foot->addWidget(NextTipButton);
    foot->addWidget(CloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->addWidget(panel, 1);
    layout->addLayout(foot);

    showTip(firstTip >= 1 && firstTip <= kTipCount ? firstTip : 1);
    resize(kDesignSize);
}

void TTipOfDay::showTip(int number)
{
    m_tip = number;
    TipComment->setText(tipText(number));
}

void TTipOfDay::NextTipButtonClick()
{
    showTip(m_tip % kTipCount + 1);
}

// Close, Escape and the frame's close button all end here.
void TTipOfDay::done(int result)
{
    m_showTips = ShowTips->isChecked();
    QDialog::done(result);
}

void TTipOfDay::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        settings::scaleAndCentre(this, m_scale, m_screen, false);
        setFixedSize(size());
    }
    QDialog::showEvent(event);
}
