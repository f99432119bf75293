#pragma once

#include <QDialog>
#include <QSize>
#include <QStringList>

#include <optional>

class QLabel;
class QListWidget;
class QPushButton;

namespace settings {
struct SharedFonts;
}

// The search options window: chooses the comparison of a numeric or date row,
// or copies one pick-list value into a row's criterion. Made for one click on
// a "..." cell and shown modally; the search window applies the choice.
class TSearchOptions : public QDialog {
    Q_OBJECT

public:
    // `fonts` must outlive the window.
    TSearchOptions(const settings::SharedFonts& fonts, double scale, QSize screen, QWidget* parent = nullptr);

    // The row (1-36) and the field's display name.
    void setRow(int row, const QString& fieldTitle);
    int row() const { return m_row; }
    // A numeric or date row: the four operators, the row's option (1-4) selected.
    void showOperators(int option);
    // A pick-list row: its entries in their order, none selected.
    void showValues(const QStringList& values);

    // After OK: the option chosen for a numeric or date row (nullopt when none
    // is selected), the value chosen for a pick-list row (nullopt when none).
    std::optional<int> chosenOption() const { return m_option; }
    std::optional<QString> chosenValue() const { return m_value; }

    void FormShow();
    void OkButtonClick();
    void CancelButtonClick();

    QLabel* FieldNameLabel;
    QListWidget* ListBox1;
    QPushButton* OkButton;
    QPushButton* CancelButton;

protected:
    void showEvent(QShowEvent* event) override;

private:
    const settings::SharedFonts& m_fonts;
    double m_scale;
    QSize m_screen;
    int m_row = 0;
    bool m_operators = false;
    std::optional<int> m_option;
    std::optional<QString> m_value;
};
