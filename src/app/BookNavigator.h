#pragma once

#include <QWidget>
#include <array>

class QToolButton;

// The record navigator bar: ten buttons in one row that fill the bar's width.
// It knows nothing of the table; the main window acts on clicked() and tells it
// the table's state through setState().
class BookNavigator : public QWidget {
    Q_OBJECT

public:
    enum Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };
    static constexpr int kButtonCount = 10;

    explicit BookNavigator(QWidget* parent = nullptr);

    // Shows only the buttons in `shown`, in their fixed order.
    void setVisibleButtons(std::initializer_list<Button> shown);
    bool isButtonVisible(Button button) const;
    // Enables the buttons as the table allows: moving needs a record to move to,
    // post and cancel need a record being edited, and nothing else may happen then.
    void setState(bool atFirst, bool atLast, bool empty, bool editing, bool readOnly);
    QToolButton* button(Button button) const { return m_buttons[button]; }

signals:
    void clicked(BookNavigator::Button button);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeButtons();

    std::array<QToolButton*, kButtonCount> m_buttons{};
};
