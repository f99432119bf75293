#include "BookNavigator.h"

#include <QIcon>
#include <QResizeEvent>
#include <QToolButton>

namespace {

struct ButtonDesign {
    const char* name;
    const char* icon;
    const char* hint;
};

constexpr ButtonDesign kDesign[BookNavigator::kButtonCount] = {
    {"First", "nav-first", "First record"},    {"Prior", "nav-prior", "Prior record"},
    {"Next", "nav-next", "Next record"},       {"Last", "nav-last", "Last record"},
    {"Insert", "nav-insert", "Insert record"}, {"Delete", "nav-delete", "Delete record"},
    {"Edit", "nav-edit", "Edit record"},       {"Post", "nav-post", "Post edit"},
    {"Cancel", "nav-cancel", "Cancel edit"},   {"Refresh", "nav-refresh", "Refresh data"},
};

} // namespace

BookNavigator::BookNavigator(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("MyNavigator"));
    for (int i = 0; i < kButtonCount; ++i) {
        auto* button = new QToolButton(this);
        button->setObjectName(QStringLiteral("Navigator") + QLatin1String(kDesign[i].name));
        button->setIcon(QIcon(QStringLiteral(":/icons/%1.png").arg(QLatin1String(kDesign[i].icon))));
        button->setToolTip(QLatin1String(kDesign[i].hint));
        button->setAccessibleName(QLatin1String(kDesign[i].hint));
        button->setFocusPolicy(Qt::NoFocus); // the grid keeps the focus, as the keys move it anyway
        connect(button, &QToolButton::clicked, this, [this, i] { emit clicked(static_cast<Button>(i)); });
        m_buttons[static_cast<std::size_t>(i)] = button;
    }
}

void BookNavigator::setVisibleButtons(std::initializer_list<Button> shown)
{
    for (QToolButton* button : m_buttons)
        button->setVisible(false);
    for (Button b : shown)
        m_buttons[b]->setVisible(true);
    placeButtons();
}

bool BookNavigator::isButtonVisible(Button button) const
{
    return !m_buttons[button]->isHidden();
}

void BookNavigator::setState(bool atFirst, bool atLast, bool empty, bool editing, bool readOnly)
{
    const bool browsing = !editing;
    m_buttons[First]->setEnabled(browsing && !atFirst);
    m_buttons[Prior]->setEnabled(browsing && !atFirst);
    m_buttons[Next]->setEnabled(browsing && !atLast);
    m_buttons[Last]->setEnabled(browsing && !atLast);
    m_buttons[Insert]->setEnabled(browsing && !readOnly);
    m_buttons[Delete]->setEnabled(browsing && !readOnly && !empty);
    m_buttons[Edit]->setEnabled(browsing && !readOnly && !empty);
    m_buttons[Post]->setEnabled(editing);
    m_buttons[Cancel]->setEnabled(editing);
    m_buttons[Refresh]->setEnabled(browsing);
}

void BookNavigator::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeButtons();
}

// The visible buttons share the width; the first ones take the pixels left over.
void BookNavigator::placeButtons()
{
    int shown = 0;
    for (QToolButton* button : m_buttons)
        shown += button->isHidden() ? 0 : 1;
    if (shown == 0)
        return;
    const int base = width() / shown;
    int extra = width() % shown;
    int left = 0;
    for (QToolButton* button : m_buttons) {
        if (button->isHidden())
            continue;
        int w = base + (extra-- > 0 ? 1 : 0);
        button->setGeometry(left, 0, w, height());
        left += w;
    }
}
