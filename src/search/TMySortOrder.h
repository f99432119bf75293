#pragma once

#include "search/SortOrderChange.h"
#include "settings/Fonts.h"
#include "settings/Settings.h"

#include <QDialog>
#include <QSize>
#include <array>

class QComboBox;
class QLabel;
class QPushButton;

// The sort order window: four levels, each a book field or "<NONE>". Ok makes
// the chosen order current through a SortOrderChange and closes the window when
// it took; a refusal or failure leaves it open. Created for each use and shown modally.
class TMySortOrder : public QDialog {
    Q_OBJECT

public:
    // `change` and `settings` must outlive the window. The settings give
    // the field titles and the configuration windows' colours.
    TMySortOrder(search::SortOrderChange& change, const settings::Settings& settings,
                 const settings::SharedFonts& fonts, double scale, QSize screen, QWidget* parent = nullptr);

    void FormCreate();
    void OkButtonClick();
    void CancelButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void SetColors();

    search::SortOrderChange& m_change;
    const settings::Settings& m_settings;
    settings::SharedFonts m_fonts;
    double m_scale;
    QSize m_screen;

    std::array<QLabel*, 4> m_labels{};    // LabelSort1 ... LabelSort4
    std::array<QComboBox*, 4> m_combos{}; // ComboBox1 ... ComboBox4
    QPushButton* OkButton = nullptr;
    QPushButton* CancelButton = nullptr;
};
