#pragma once

#include "edit/EditRecord.h"

#include <QDialog>

#include <array>
#include <functional>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace db {
class BookTable;
}
namespace platform {
class Dialogs;
class Screen;
enum class Button : unsigned;
} // namespace platform
namespace settings {
class DateFormat;
class NumberText;
struct Settings;
struct SharedFonts;
} // namespace settings

namespace edit {
class PickLists;
}

// The record edit window: five pages of boxes for one book, copied from the book table
// when the window opens or moves and written back only on Update. Created once at start
// and shown modally for Add, Edit and Copy, after the main window sets the edit mode.
//
// The window sees every key first: Enter never reaches a box or a button, it moves the
// focus along the boxes of all five pages. Every way of closing (Exit, Update & Exit,
// Escape, the frame's close button) asks before unsaved changes are lost, except in
// browse mode, and saves the pick lists.
class TMyEdit : public QDialog {
    Q_OBJECT

public:
    // What the window takes from the main window. The references must outlive the
    // window. Nothing here is used before the window is first shown, so it can be made
    // before a database is open.
    struct Services {
        platform::Dialogs& dialogs;
        db::BookTable& table;
        const settings::Settings& settings; // field titles, edit window colours
        const settings::DateFormat& dates;
        const settings::NumberText& numbers;
        edit::PickLists& pickLists; // entries added on update; saved whenever the window closes
        const settings::SharedFonts& fonts;
        const platform::Screen& screen;
        std::function<double()> scaleFactor; // empty: 1.0
        // The program-wide edit mode (both required): a new record, the current record, or a copy of it.
        std::function<edit::EditMode()> editMode;
        std::function<void(edit::EditMode mode)> setEditMode;
        bool browse = false;
        std::function<void(const QString& keyword)> showHelp; // may be empty
        std::function<void()> displayCount;                   // after each update; may be empty
    };

    explicit TMyEdit(const Services& services, QWidget* parent = nullptr);
    ~TMyEdit() override;

    // Handlers.
    void FormShow();
    void UpdateExitButtonClick();
    void UpdateButtonClick();
    void ClearButtonClick();
    void CancelButtonClick(); // Exit
    void PrevButtonClick();
    void NextButtonClick();
    void MenuNewClick();
    void MenuCopyRecordClick();
    void MenuCutClick();
    void MenuCopyClick();
    void MenuPasteClick();
    void MenuDeleteClick();
    void MenuHelpClick();
    void CheckOutClick();
    void BlankPurchDateClick();
    void BlankCheckOutClick();

    // The Update operation: checks, pick-list entries, the record written. False (with
    // the reason shown) when nothing was written.
    bool Update();
    void LoadRecord();
    void ClearWindow();
    void TakeSnapshot();
    bool DataChanged() const;

    // The values on screen, and the box of a book field (the check box for CHECKOUT).
    edit::EditValues values() const;
    QWidget* box(int field) const { return m_boxes.at(std::size_t(field)); }
    QLabel* label(int field) const { return m_labels.at(std::size_t(field)); }

    QTabWidget* Notebook;
    QLineEdit* Title;
    QComboBox* Author;
    QComboBox* Publisher;
    QLineEdit* Editor;
    QComboBox* BookType;
    QLineEdit* Volume;
    QLineEdit* Issue;
    QLineEdit* YearPub;
    QLineEdit* Edition;
    QLineEdit* Pages;
    QLineEdit* PurchDate;
    QPushButton* BlankPurchDate;
    QComboBox* WherePurch;
    QLineEdit* Catalog;
    QLineEdit* SubCat1;
    QLineEdit* SubCat2;
    QLineEdit* Dewey;
    QLineEdit* ISBN;
    QComboBox* Category;
    QLineEdit* KeyWords;
    QComboBox* PersRating;
    QComboBox* Location;
    QLineEdit* Cost;
    QLineEdit* Value;
    QLineEdit* LowMarket;
    QLineEdit* HighMarket;
    QCheckBox* CheckOut;
    QLineEdit* CheckDate;
    QPushButton* BlankCheckOut;
    QComboBox* CheckName;
    QComboBox* Condition;
    QLineEdit* Description;
    std::array<QLineEdit*, 6> UserDef{};
    std::array<QLabel*, 4> FootCaptions{}; // WarrantyItem, WorthItem, LibraryItem, OtherItem

    QPushButton* UpdateExitButton;
    QPushButton* UpdateButton;
    QPushButton* ClearButton;
    QPushButton* CancelButton;
    QPushButton* PrevButton;
    QPushButton* NextButton;

    QAction* MenuNew;
    QAction* MenuCopyRecord;
    QAction* MenuClear;
    QAction* MenuUpdate;
    QAction* MenuUpdateExit;
    QAction* MenuPrevious;
    QAction* MenuNext;
    QAction* MenuExit;
    QAction* MenuCut;
    QAction* MenuCopy;
    QAction* MenuPaste;
    QAction* MenuDelete;
    QAction* MenuHelp;

public slots:
    void reject() override; // Escape and the frame's close button: the Exit command
    void done(int result) override;
    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createBoxes();
    void createPages();
    void createButtons();
    void createMenu();
    void applyBrowseMode();
    void applyDateFormat();
    void applyColors();
    void setValues(const edit::EditValues& values);
    void refreshTitleEcho();
    void showStartOfBoxes();
    void leaveMoneyBox(QLineEdit* box);
    void moveAlongChain(QWidget* from);
    void move(int step);
    void showBookAfterLeaving();
    void showBox(int field);
    void focusTitle();
    QLineEdit* clipboardTarget() const;
    QComboBox* pickCombo(int list) const;
    platform::Button ask(const QString& question, bool withCancel);
    void error(const QString& text);
    edit::EditMode editMode() const;
    void setEditMode(edit::EditMode mode);
    QString fieldTitle(int field) const; // as the user stored it, even empty
    QString titleInMessages(int field) const;

    Services m_services;
    edit::EditRecord m_record;
    std::array<QWidget*, db::kBookFieldCount> m_boxes{};
    std::array<QLabel*, db::kBookFieldCount> m_labels{}; // none for CHECKOUT
    std::array<int, db::kBookFieldCount> m_pages{};
    QString m_savedCheckDate; // the check-out pair kept while the box is cleared
    QString m_savedCheckName;
    QString m_datePattern; // of the date format the date boxes follow; empty before the first
    QChar m_dateSeparator = u'/';
};
