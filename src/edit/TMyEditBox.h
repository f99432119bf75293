#pragma once

#include "settings/Fonts.h"
#include "settings/Settings.h"

#include <QDialog>
#include <QSize>

#include <functional>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace platform {
class Dialogs;
}

namespace edit {

class PickLists;

// What a dialog needs from the main window each time it is shown. The pointers may be
// null (that step is skipped) and must outlive the dialog.
struct DialogServices {
    double factor = 1.0;    // the screen-size scale factor
    QSize screen{640, 480}; // the chosen screen size the dialog is centred on
    const settings::SharedFonts* fonts = nullptr;
    const settings::ColorScheme* colors = nullptr; // the scheme of the dialog's window group
    // The distinct texts of a book field (by name) in the current database, for "Fill from
    // Books"; empty: the button is disabled.
    std::function<QStringList(const char* field)> fieldTexts;
};

// Opens the list maintenance window for list `list` (1-9) modally: the user edits a copy
// of the list, and OK puts it into `lists` (which emits changed(); nothing is written to
// the list file here). True when the user chose OK. For the nine List Maintenance menu
// items of the main window, which are disabled in browse mode; `colors` should be the
// Configure window group's scheme. Throws std::out_of_range for another list number.
bool maintainPickList(QWidget* parent, PickLists& lists, int list, platform::Dialogs& dialogs,
                      const DialogServices& services);

} // namespace edit

// The list maintenance window: a copy of one pick list to add entries to, delete them
// from or sort. `lists` and `dialogs` must outlive it.
class TMyEditBox : public QDialog {
    Q_OBJECT

public:
    // Fills the window for list `list` (1-9); throws std::out_of_range for another number.
    TMyEditBox(edit::PickLists& lists, int list, platform::Dialogs& dialogs,
               const edit::DialogServices& services, QWidget* parent = nullptr);

    int listNumber() const { return m_list; }
    // The entries as the window holds them now.
    QStringList items() const;

    void FormShow();
    void AddButtonClick();
    void DeleteButtonClick();
    void SortButtonClick();
    // Appends the texts the books hold in the list's field that the list lacks, sorted
    // ignoring case, and says how many.
    void FillButtonClick();
    void OkButtonClick();
    void CancelButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void applyColors();

    edit::PickLists& m_lists;
    platform::Dialogs& m_dialogs;
    edit::DialogServices m_services;
    int m_list;

    QLineEdit* AddInfo;
    QPushButton* AddButton;
    QListWidget* TheList;
    QPushButton* DeleteButton;
    QPushButton* SortButton;
    QPushButton* FillButton;
    QPushButton* OkButton;
    QPushButton* CancelButton;
};
