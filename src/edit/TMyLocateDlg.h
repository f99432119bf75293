#pragma once

#include "db/Locator.h"
#include "settings/Fonts.h"
#include "settings/Settings.h"

#include <QDialog>
#include <QSize>
#include <functional>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace platform {
class Dialogs;
}

// The locate dialog: the field, the value and the kind of match. Its First and
// Next buttons run the search through the function the owner installs; a
// search that finds closes the dialog as accepted, one that does not says so
// and leaves it open. Built anew for each locate.
class TMyLocateDlg : public QDialog {
    Q_OBJECT

public:
    // A field as offered: its display label and the table's field name.
    using FieldLabel = std::pair<QString, std::string>;
    using Search = std::function<bool(const db::LocateQuery& query, db::Locator::From from)>;

    // `dialogs` must outlive the window.
    explicit TMyLocateDlg(platform::Dialogs& dialogs, QWidget* parent = nullptr);

    // Offers `fields` in the order given; the first is selected until setQuery() chooses another.
    void setFields(const std::vector<FieldLabel>& fields);
    // Selects the label of query.field and shows its value; a field not offered leaves
    // the selection alone and the value box empty.
    void setQuery(const db::LocateQuery& query);
    // The field (empty when the selected label names none), value, match type and case.
    db::LocateQuery query() const;
    // Next (true) or First is the button Enter presses.
    void setNextDefault(bool next);
    void setSearch(Search search) { m_search = std::move(search); }
    // What showing applies: the user's fonts, the configuration windows' colours, the scale.
    void setLook(const settings::SharedFonts& fonts, const settings::ColorScheme& colors, double scale,
                 QSize screen);

    void FirstButtonClick();
    void NextButtonClick();
    void FieldNameComboBoxChange();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void runSearch(db::Locator::From from, const QString& notFound);
    void restoreDefaultButton();
    void SetColors();

    platform::Dialogs& m_dialogs;
    Search m_search;
    std::vector<FieldLabel> m_fields;
    bool m_nextDefault = true;
    settings::SharedFonts m_fonts;
    settings::ColorScheme m_colors{};
    bool m_hasLook = false;
    double m_scale = 1.0;
    QSize m_screen{640, 480};

    QGroupBox* GroupBox3 = nullptr;
    QComboBox* FieldNameComboBox = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLineEdit* SearchValue = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QCheckBox* CaseSensitiveCheckBox = nullptr;
    QRadioButton* ExactMatchBtn = nullptr;
    QRadioButton* PartialMatchStartBtn = nullptr;
    QRadioButton* PartialMatchAnyBtn = nullptr;
    QPushButton* FirstButton = nullptr;
    QPushButton* NextButton = nullptr;
    QPushButton* BitBtn1 = nullptr;
};
