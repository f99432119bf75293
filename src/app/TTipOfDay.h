#pragma once

#include <QDialog>
#include <QSize>

class QCheckBox;
class QLabel;
class QPushButton;

// The tip of the day: one of 24 short hints, stepped through with Next Tip, and the
// choice whether the program shows them at start. However the window closes, the
// choice goes into the Show Tips setting. Built anew for each showing.
class TTipOfDay : public QDialog {
    Q_OBJECT

public:
    static constexpr int kTipCount = 24;

    // The text of tip `number` (1 ... 24); empty for any other number.
    static QString tipText(int number);
    // A tip drawn at random, for the first one a window shows.
    static int randomTip();

    // Shows tip `firstTip` (1 ... 24; any other number shows tip 1) and ticks the box
    // when `showTips` is on. `showTips` must outlive the window.
    TTipOfDay(bool& showTips, int firstTip, double scale, QSize screen, QWidget* parent = nullptr);

    int currentTip() const { return m_tip; }

    void NextTipButtonClick();
    void done(int result) override;

    QLabel* Picture = nullptr;
    QLabel* Heading = nullptr;
    QLabel* TipComment = nullptr;
    QCheckBox* ShowTips = nullptr;
    QPushButton* NextTipButton = nullptr;
    QPushButton* CloseButton = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showTip(int number);

    bool& m_showTips;
    const double m_scale;
    const QSize m_screen;
    int m_tip = 1;
};
