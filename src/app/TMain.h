#pragma once

#include "app/BookNavigator.h"
#include "app/RecentList.h"
#include "db/BookDatabase.h"
#include "db/BookTable.h"
#include "edit/EditRecord.h"
#include "edit/PickLists.h"
#include "platform/AppPaths.h"
#include "reports/ReportServices.h"
#include "reports/definition/ReportDefinition.h"
#include "settings/DateFormat.h"
#include "settings/Fonts.h"
#include "settings/NumberText.h"
#include "settings/Settings.h"

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>
#include <vector>

namespace exchange {
struct ExchangeServices;
}

class QAction;
class QActionGroup;
class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class QPrinter;
class QPushButton;
class QTableView;
class QToolButton;
class HelpWindow;
class TMyEdit;
class TMyLocateDialog;
class TMyReport;
class TMySearch;
class MaintenanceCommands;

namespace db {
class BookGridModel;
}
namespace platform {
class Dialogs;
class Screen;
} // namespace platform

// The main window: the book table, the viewer grid, every command, and the
// program-wide state (search on, browse mode, edit mode, the settings). It
// owns the book table; the other windows work on it through this window.
class TMain : public QMainWindow {
    Q_OBJECT

public:
    // Every command of the window, shared by its menu item, lettered button and speed button.
    enum class Command {
        New,
        Open,
        Update,
        BackUp,
        Restore,
        Print,
        PrinterSetup,
        Exit,
        Add,
        Edit,
        Copy,
        Delete,
        Import,
        Export,
        Search,
        EndSearch,
        Locate,
        LocateNext,
        Reports,
        Viewer,
        SortOrder,
        ColorMain,
        ColorEdit,
        ColorSearch,
        ColorReport,
        ColorConfigure,
        ColorAll,
        LabelFont,
        EditFont,
        ButtonFont,
        SearchReplace,
        RebuildIndexes,
        Pack,
        Help,
        Tips,
        About,
    };

    // `dialogs` and `screen` must outlive the window. Nothing is read or opened
    // until startUp().
    TMain(platform::Dialogs& dialogs, platform::Screen& screen, const platform::AppPaths& paths, bool browse,
          QWidget* parent = nullptr);
    ~TMain() override;

    // The start-up work, before the window is first shown: settings, formats, the
    // database, the layout. False when the program has to end; exitCode() says how.
    bool startUp();
    int exitCode() const { return m_exitCode; }

    // The three other windows that live for the whole run.
    void setWindows(TMyEdit* edit, TMyReport* report, TMySearch* search);

    // Operations the other windows use.
    void DisplayCount();
    void EnableEndSearch();
    void DisableEndSearch();
    void DoEndSearch();
    bool DBaseInUse(const QString& path);
    void SetViewerOptions();
    void SetMenuLastFiles();
    void DoLastFiles(const QString& previousPath, const QString& newPath);
    void SetButtonBar();

    // The commands.
    void DoNew();
    void DoOpen();
    void DoAdd();
    void DoEdit();
    void DoCopy();
    void DoDelete();
    void DoSearch();
    void DoReports();
    void DoViewer();
    void DoSortOrder();
    void DoSearchReplace();
    void DoImport();
    void DoExport();
    void DoLocate();
    void DoLocateNext();
    void DoPrinterSetup();
    void DoHelp();
    // Opens the manual at `keyword`, for the Help buttons of the other windows.
    void showHelp(const QString& keyword);
    void DoAbout();
    // The colour configuration window for target 1 to 5 (one window group) or 6 (all).
    void DoColor(int target);
    void DoTips();
    // Paints the window in the main window's colour scheme.
    void SetColors();
    // Shows the tip of the day after the window's first showing, when Show Tips is on;
    // the program asks this once, before it shows the window.
    void showTipAfterFirstShow() { m_tipAtFirstShow = true; }
    void DoScreenSize(int size);
    void DoAccessMode(int mode);
    void DoFont(QFont settings::SharedFonts::*font);
    void DoDateFormat(int number);
    void DoLeadingZeros();
    void DoCurrencyFormat(int style);
    void DoNumericFormat(int style);
    void DoRecentFile(int index);
    void DoMaintainList(int list);
    // Safety copies (TMainSafety.cpp): kept at close after a change, restored from the File menu.
    void keepSafetyCopy();
    void DoRestoreSafetyCopy();
    QString safetyCopyFolder() const; // empty: none are kept
    void NavigatorClick(BookNavigator::Button button);

    // State other windows and tests read.
    db::BookTable& bookTable() { return m_table; }
    db::BookDatabase& database() { return *m_database; }
    settings::Settings& settings() { return m_settings; }
    const settings::DateFormat& dateFormat() const { return m_dateFormat; }
    const settings::NumberText& numberText() const { return m_numberText; }
    edit::PickLists& pickLists() { return m_pickLists; }
    platform::Dialogs& dialogs() { return m_dialogs; }
    QSize screenSize() const;
    settings::SharedFonts& fonts() { return m_fonts; }
    double scaleFactor() const { return m_scale; }
    bool searchOn() const { return m_searchOn; }
    bool browseMode() const { return m_browse; }
    edit::EditMode editMode() const { return m_editMode; }
    void setEditMode(edit::EditMode mode) { m_editMode = mode; }
    QAction* action(Command command) const;
    HelpWindow* helpWindow() const { return m_help; }
    // For the command line: the database to open instead of the one the settings name.
    void setStartDatabase(const QString& path) { m_startDatabase = path; }
    reports::ReportServices* reportServices() { return m_reportServices.get(); }

    // Runs a command; when it ends with the book table closed (an error half-way
    // through), the table is opened again before the error goes on.
    void runCommand(const std::function<void()>& command);

    // Writes the whole settings file; shows why when it cannot. False on failure.
    bool writeSettings();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct CommandDesign;
    static const std::vector<CommandDesign>& commandDesigns();

    void createActions();
    void createMenus();
    void addSafetyCopyItems(QMenu* file);
    void createClient();
    void createSpeedPanel();
    void createLetteredButtons();
    void createViewer();
    void connectTable();
    void applyLayout();
    void applyFrame();
    void startReports();
    void applyBrowseMode();
    void tickAccessMode();
    void tickScreenSize();
    QActionGroup* choiceGroup(const QString& name);
    void tickFormats();
    void readSettings();
    void createPickCombos();
    void loadPickCombos();
    void loadPickListsReporting();
    void syncGridToTable(int row);
    void updateNavigator();
    void updateEmptyHint();
    void placeEmptyHint();
    void reopenIfClosed();
    void commitGridEdit();
    void cancelGridEdit();
    std::filesystem::path settingsPath() const;
    exchange::ExchangeServices exchangeServices(); // for the import and export windows
    db::DatabaseHooks databaseHooks();
    MaintenanceCommands maintenanceCommands();

    platform::Dialogs& m_dialogs;
    platform::Screen& m_screen;
    platform::AppPaths m_paths;
    const bool m_browse;

    settings::Settings m_settings;
    settings::DateFormat m_dateFormat;
    settings::SharedFonts m_fonts;
    settings::NumberText m_numberText;
    edit::PickLists m_pickLists;
    double m_scale = 1.0;
    bool m_searchOn = false;
    edit::EditMode m_editMode = edit::EditMode::None;
    bool m_rememberedFieldEditing = false;
    int m_exitCode = 0;
    int m_layoutMode = 1; // the access mode last laid out; a stored mode outside 1-3 keeps it

    QString m_startDatabase;
    db::BookTable m_table;
    std::unique_ptr<db::BookDatabase> m_database;
    db::BookGridModel* m_model = nullptr;
    std::unique_ptr<QPrinter> m_printer;
    reports::ReportDefinition m_currentReport; // the one current report definition of every report window
    std::unique_ptr<reports::ReportServices> m_reportServices;
    std::unique_ptr<TMyLocateDialog> m_locate;

    QPointer<TMyEdit> m_editWindow;
    QPointer<TMyReport> m_reportWindow;
    QPointer<TMySearch> m_searchWindow;
    HelpWindow* m_help = nullptr;

    std::vector<QAction*> m_actions; // by Command
    std::array<QAction*, 4> m_screenSizeItems{};
    std::array<QAction*, 3> m_accessItems{};
    std::array<QAction*, 12> m_dateItems{};
    QAction* m_leadingZerosItem = nullptr;
    std::array<QAction*, 2> m_currencyItems{};
    std::array<QAction*, 2> m_numericItems{};
    QMenu* m_maintainMenu = nullptr;
    QAction* m_exitSeparator = nullptr;
    std::array<QAction*, 5> m_recentItems{};

    QWidget* m_client = nullptr;
    QFrame* m_speedPanel = nullptr;
    std::vector<QPushButton*> m_letteredButtons;
    std::vector<QFrame*> m_bevels;
    QLabel* m_navigatorLabel = nullptr;
    BookNavigator* m_navigator = nullptr;
    QLabel* m_countLabel = nullptr;
    QLabel* m_count2Label = nullptr;
    QLabel* m_searchOnLabel = nullptr;
    QFrame* m_viewerBevel = nullptr;
    QLabel* m_viewerLabel = nullptr;
    QTableView* m_grid = nullptr;
    QLabel* m_emptyHint = nullptr; // shown over the grid while the catalogue has no books
    std::array<QComboBox*, edit::kPickListCount> m_pickCombos{};
    bool m_syncing = false;
    bool m_tipAtFirstShow = false;
};
