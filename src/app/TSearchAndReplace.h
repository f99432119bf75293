#pragma once

#include "db/BookReplace.h"
#include "settings/DateFormat.h"
#include "settings/Fonts.h"
#include "settings/Settings.h"

#include <QDialog>
#include <QSize>
#include <array>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// What the main window hands to the search and replace window. The references
// must outlive the window.
struct SearchReplaceServices {
    db::BookTable& table;
    platform::Dialogs& dialogs;
    const settings::Settings& settings; // field titles, the configuration windows' colours
    const settings::DateFormat& dates;
    const settings::SharedFonts& fonts;
    double scale = 1.0;
    QSize screen;
    db::BookReplace::Hooks hooks; // the window adds the counters' display
    std::function<void(const QString& keyword)> showHelp;
    dbase::FileSystem* fs = nullptr; // the real one when null
};

// The search and replace window: a field, the value to look for and the one to
// put in its place, over the entire database or the books of the search, with
// or without a question per book. The run itself is db::BookReplace; the window
// shows its counters while it runs and closes when it has finished. Created for
// each use and shown modally.
class TSearchAndReplace : public QDialog {
    Q_OBJECT

public:
    explicit TSearchAndReplace(SearchReplaceServices services, QWidget* parent = nullptr);
    ~TSearchAndReplace() override;

    void FieldBoxChange(int index);
    void StartButtonClick();
    void CancelButtonClick();
    void HelpButtonClick();

    bool running() const { return m_running; }

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override; // nothing closes the window during a run

private:
    void FormShow();
    void setRunning(bool on);
    void showCounts(const db::BookReplace::Counts& counts);

    SearchReplaceServices m_services;
    std::unique_ptr<db::BookReplace> m_replace;
    bool m_running = false;

    QComboBox* FieldBox = nullptr;
    QLineEdit* SearchText = nullptr;
    QLineEdit* ReplaceText = nullptr;
    QCheckBox* ConfirmBox = nullptr;
    QRadioButton* EntireDatabase = nullptr;
    QRadioButton* SearchOnly = nullptr;
    QWidget* m_scope = nullptr; // the panel of the two above
    QPushButton* StartButton = nullptr;
    QPushButton* CancelButton = nullptr;
    QPushButton* HelpButton = nullptr;
    std::vector<QWidget*> m_titles;
    std::array<QLabel*, 3> m_counters{}; // processed, found, changed
};
