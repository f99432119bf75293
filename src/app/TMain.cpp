#include "TMain.h"

#include "app/AboutBox.h"
#include "app/GridTitles.h"
#include "app/HelpWindow.h"
#include "app/MainLayout.h"
#include "app/MaintenanceCommands.h"
#include "app/TColorConfig.h"
#include "app/TTipOfDay.h"
#include "app/TSearchAndReplace.h"
#include "db/BookGridModel.h"
#include "db/BookSchema.h"
#include "db/FieldValues.h"
#include "edit/TMyEdit.h"
#include "edit/TMyEditBox.h"
#include "edit/TMyLocateDialog.h"
#include "edit/TViewConfig.h"
#include "edit/ViewerOptions.h"
#include "platform/Dialogs.h"
#include "platform/Intl.h"
#include "platform/MenuShortcuts.h"
#include "platform/ProfileFile.h"
#include "platform/Screen.h"
#include "reports/ReportFile.h"
#include "reports/TMyReport.h"
#include "search/SortOrderChange.h"
#include "search/SortString.h"
#include "search/TMySearch.h"
#include "search/TMySortOrder.h"
#include "settings/Scaling.h"
#include "settings/WindowLook.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <set>

namespace {

using Command = TMain::Command;
using platform::Button;
using platform::Icon;

const QString kAppTitle = QStringLiteral("Shelvano Books 95");
const char* const kSettingsFileName = "SHVBOOK.INI";

QString latin(const char* text)
{
    return text ? QString::fromLatin1(text) : QString();
}

} // namespace

// One command: its menu item, and its lettered and speed buttons where it has them.
struct TMain::CommandDesign {
    Command command;
    const char* name; // the menu item's object name
    const char* caption;
    const char* shortcut;
    const char* speedHint; // null: no speed button
    const char* icon;
    const char* letteredName; // null: no lettered button
    const char* letteredCaption;
    bool available;      // false until the window behind the command exists
    bool browseDisabled; // unavailable in browse mode
};

const std::vector<TMain::CommandDesign>& TMain::commandDesigns()
{
    // clang-format off
    static const std::vector<CommandDesign> designs = {
        {Command::New, "MenuNew", "&New Database", "Ctrl+W", "New Database", "new-database", nullptr, nullptr, true, false},
        {Command::Open, "MenuOpen", "&Open Database", "Ctrl+O", "Open Database", "open-database", nullptr, nullptr, true, false},
        {Command::Update, "MenuUpdate", "&Update Database", "Ctrl+Z", nullptr, nullptr, nullptr, nullptr, true, false},
        {Command::BackUp, "MenuBackUp", "&Back Up Data", "Ctrl+B", nullptr, nullptr, nullptr, nullptr, true, true},
        {Command::Restore, "MenuRestore", "&Restore Data", "Ctrl+Y", nullptr, nullptr, nullptr, nullptr, true, true},
        {Command::Print, "MenuPrint", "&Print", "Ctrl+P", nullptr, nullptr, nullptr, nullptr, true, false},
        {Command::PrinterSetup, "MenuPrinterSetup", "Printer &Setup", "Ctrl+U", nullptr, nullptr, nullptr, nullptr, true, false},
        {Command::Exit, "MenuExit", "E&xit", "Ctrl+X", nullptr, nullptr, "ButtonExit", "E&xit", true, false},
        {Command::Add, "MenuAdd", "&Add", "Ctrl+A", "Add Record", "add-record", "AddButton", "&Add", true, true},
        {Command::Edit, "MenuEdit", "&Edit", "Ctrl+E", "Edit Record", "edit-record", "EditButton", "&Edit", true, false},
        {Command::Copy, "MenuCopy", "&Copy", "Ctrl+C", "Copy Record", "copy-record", "CopyButton", "&Copy", true, true},
        {Command::Delete, "MenuDelete", "&Delete", "Ctrl+D", "Delete Record", "delete-record", "DeleteButton", "&Delete", true, true},
        {Command::Import, "MenuImport", "&Import", "Ctrl+M", "Import Records", "import-records", nullptr, nullptr, true, true},
        {Command::Export, "MenuExport", "E&xport", "Ctrl+T", "Export Records", "export-records", nullptr, nullptr, true, false},
        {Command::Search, "MenuSearch", "&Search (Query)", "Ctrl+S", "Search Records", "search-records", "SearchButton", "&Search", true, false},
        {Command::EndSearch, "MenuEndSearch", "&End Search", "Ctrl+I", "End Search", "end-search", "EndSearchButton", "E&nd Srch", true, false},
        {Command::Locate, "MenuLocate", "&Locate", "Ctrl+L", "Locate Record", "locate-record", nullptr, nullptr, true, false},
        {Command::LocateNext, "MenuLocateNext", "Locate &Next", "Ctrl+N", "Locate Next Record", "locate-next", nullptr, nullptr, true, false},
        {Command::Reports, "MenuReports", "&Reports", "Ctrl+R", "Reports", "reports", "ReportsButton", "&Reports", true, false},
        {Command::Viewer, "MenuViewer", "&Viewer", "Ctrl+V", "Viewer Configuration", "viewer-configuration", "ViewerButton", "&Viewer", true, true},
        {Command::SortOrder, "MenuSortOrder", "Sort &Order", "Ctrl+Q", "Set Sorting Order", "sort-order", nullptr, nullptr, true, false},
        {Command::ColorMain, "MenuColorMain", "&Main Window Color", "Ctrl+F4", nullptr, nullptr, nullptr, nullptr, true, false},
        {Command::ColorEdit, "MenuColorEdit", "&Edit Window Color", "Ctrl+F5", nullptr, nullptr, nullptr, nullptr, true, false},
        {Command::ColorSearch, "MenuColorSearch", "&Search Window Color", "Ctrl+F6", nullptr, nullptr, nullptr, nullptr, true, false},
        {Command::ColorReport, "MenuColorReport", "&Report Window Color", "Ctrl+F7", nullptr, nullptr, nullptr, nullptr, true, false},
        {Command::ColorConfigure, "MenuColorConfigure", "&Configure Window Color", "Ctrl+F8", nullptr, nullptr, nullptr, nullptr, true, false},
        {Command::ColorAll, "MenuColorAll", "&ALL Windows Color", "Ctrl+F9", "Color Setup", "color-setup", nullptr, nullptr, true, false},
        {Command::LabelFont, "MenuLabelFont", "&Label Font", "Shift+F8", nullptr, nullptr, nullptr, nullptr, true, false},
        {Command::EditFont, "MenuEditFont", "&Edit Font", "Shift+F9", nullptr, nullptr, nullptr, nullptr, true, false},
        {Command::ButtonFont, "MenuButtonFont", "&Button Font", "Shift+F10", nullptr, nullptr, nullptr, nullptr, true, false},
        {Command::SearchReplace, "MenuSearchReplace", "&Search and Replace", "Ctrl+F", nullptr, nullptr, nullptr, nullptr, true, true},
        {Command::RebuildIndexes, "MenuRebuild", "&Rebuild Indexes", nullptr, nullptr, nullptr, nullptr, nullptr, true, false},
        {Command::Pack, "MenuPack", "&Pack Database", nullptr, nullptr, nullptr, nullptr, nullptr, true, true},
        {Command::Help, "MenuContents", "&Contents", "Ctrl+H", "Help", "help", "HelpButton", "He&lp", true, false},
        {Command::Tips, "MenuTips", "&Review \"Tips of the Day\"", nullptr, nullptr, nullptr, nullptr, nullptr, true, false},
        {Command::About, "MenuAbout", "&About", nullptr, nullptr, nullptr, nullptr, nullptr, true, false},
    };
    // clang-format on
    return designs;
}

TMain::TMain(platform::Dialogs& dialogs, platform::Screen& screen, const platform::AppPaths& paths,
             bool browse, QWidget* parent)
    : QMainWindow(parent), m_dialogs(dialogs), m_screen(screen), m_paths(paths), m_browse(browse),
      m_settings(QDir::currentPath()), m_pickLists(paths.dataDir)
{
    setObjectName(QStringLiteral("TMain"));
    setWindowTitle(kAppTitle);
    m_database = std::make_unique<db::BookDatabase>(m_table, m_dialogs, databaseHooks());
    createActions();
    createMenus();
    createClient();
    connectTable();
    // Menu shortcuts must win over the keys a focused line edit or grid would take.
    new platform::MenuShortcuts(this);
}

TMain::~TMain() = default;

void TMain::setWindows(TMyEdit* edit, TMyReport* report, TMySearch* search)
{
    m_editWindow = edit;
    m_reportWindow = report;
    m_searchWindow = search;
}

QAction* TMain::action(Command command) const
{
    return m_actions[static_cast<std::size_t>(command)];
}

// ------------------------------------------------------------------ building

void TMain::createActions()
{
    const auto& designs = commandDesigns();
    m_actions.assign(designs.size(), nullptr);
    for (const CommandDesign& design : designs) {
        Q_ASSERT(&design - designs.data() == static_cast<std::ptrdiff_t>(design.command));
        auto* item = new QAction(latin(design.caption), this);
        item->setObjectName(latin(design.name));
        if (design.shortcut)
            item->setShortcut(QKeySequence(latin(design.shortcut)));
        if (design.icon)
            item->setIcon(QIcon(QStringLiteral(":/icons/%1.png").arg(latin(design.icon))));
        item->setToolTip(design.speedHint ? latin(design.speedHint) : QString());
        item->setEnabled(design.available);
        item->setIconVisibleInMenu(false);
        m_actions[static_cast<std::size_t>(design.command)] = item;
    }
    auto on = [this](Command command, auto handler) {
        connect(action(command), &QAction::triggered, this,
                [this, handler] { runCommand([this, handler] { (this->*handler)(); }); });
    };
    on(Command::New, &TMain::DoNew);
    on(Command::Open, &TMain::DoOpen);
    on(Command::PrinterSetup, &TMain::DoPrinterSetup);
    on(Command::Add, &TMain::DoAdd);
    on(Command::Edit, &TMain::DoEdit);
    on(Command::Copy, &TMain::DoCopy);
    on(Command::Delete, &TMain::DoDelete);
    on(Command::Search, &TMain::DoSearch);
    on(Command::Reports, &TMain::DoReports);
    on(Command::Viewer, &TMain::DoViewer);
    on(Command::Import, &TMain::DoImport);
    on(Command::Export, &TMain::DoExport);
    on(Command::SortOrder, &TMain::DoSortOrder);
    on(Command::SearchReplace, &TMain::DoSearchReplace);
    on(Command::Locate, &TMain::DoLocate);
    on(Command::LocateNext, &TMain::DoLocateNext);
    on(Command::Print, &TMain::DoReports);
    on(Command::EndSearch, &TMain::DoEndSearch);
    on(Command::Help, &TMain::DoHelp);
    on(Command::About, &TMain::DoAbout);
    on(Command::Tips, &TMain::DoTips);
    const Command colorCommands[] = {Command::ColorMain,   Command::ColorEdit,      Command::ColorSearch,
                                     Command::ColorReport, Command::ColorConfigure, Command::ColorAll};
    for (int target = 1; target <= 6; ++target)
        connect(action(colorCommands[target - 1]), &QAction::triggered, this,
                [this, target] { runCommand([this, target] { DoColor(target); }); });
    // Maintenance, backup and restore work on the window's state as it is when chosen.
    auto maintenance = [this](void (MaintenanceCommands::*command)()) {
        return [this, command] { runCommand([this, command] { (maintenanceCommands().*command)(); }); };
    };
    connect(action(Command::Update), &QAction::triggered, this, maintenance(&MaintenanceCommands::DoUpdate));
    connect(action(Command::BackUp), &QAction::triggered, this, maintenance(&MaintenanceCommands::DoBackup));
    connect(action(Command::Restore), &QAction::triggered, this,
            maintenance(&MaintenanceCommands::DoRestore));
    connect(action(Command::RebuildIndexes), &QAction::triggered, this,
            maintenance(&MaintenanceCommands::DoRebuild));
    connect(action(Command::Pack), &QAction::triggered, this, maintenance(&MaintenanceCommands::DoPack));
    connect(action(Command::Exit), &QAction::triggered, this, &QWidget::close);
    connect(action(Command::LabelFont), &QAction::triggered, this,
            [this] { runCommand([this] { DoFont(&settings::SharedFonts::label); }); });
    connect(action(Command::EditFont), &QAction::triggered, this,
            [this] { runCommand([this] { DoFont(&settings::SharedFonts::edit); }); });
    connect(action(Command::ButtonFont), &QAction::triggered, this,
            [this] { runCommand([this] { DoFont(&settings::SharedFonts::button); }); });
}

void TMain::createMenus()
{
    QMenuBar* bar = menuBar();
    auto add = [this](QMenu* menu, std::initializer_list<Command> commands) {
        for (Command command : commands)
            menu->addAction(action(command));
    };
    auto menu = [bar](const char* name, const char* caption) {
        QMenu* m = bar->addMenu(latin(caption));
        m->setObjectName(latin(name));
        return m;
    };

    QMenu* file = menu("MenuFile", "&File");
    add(file, {Command::New, Command::Open, Command::Update, Command::BackUp, Command::Restore,
               Command::Print, Command::PrinterSetup, Command::Exit});
    addSafetyCopyItems(file);
    m_exitSeparator = file->addSeparator();
    m_exitSeparator->setObjectName(QStringLiteral("MenuExitSep"));
    for (int i = 0; i < 5; ++i) {
        QAction* item = file->addAction(QStringLiteral("&%1").arg(i + 1));
        item->setObjectName(QStringLiteral("MenuLastFile%1").arg(i + 1));
        connect(item, &QAction::triggered, this, [this, i] { runCommand([this, i] { DoRecentFile(i); }); });
        m_recentItems[static_cast<std::size_t>(i)] = item;
    }

    add(menu("MenuRecords", "&Records"),
        {Command::Add, Command::Edit, Command::Copy, Command::Delete, Command::Import, Command::Export});
    add(menu("MenuNavigate", "Navi&gate"), {Command::Search, Command::EndSearch, Command::Locate,
                                            Command::LocateNext, Command::Reports, Command::Viewer});

    QMenu* options = menu("MenuOptions", "&Options");
    add(options, {Command::SortOrder});
    QMenu* sizes = options->addMenu(QStringLiteral("Screen Si&ze"));
    sizes->setObjectName(QStringLiteral("MenuScreenSize"));
    QActionGroup* sizeGroup = choiceGroup(QStringLiteral("ScreenSizeGroup"));
    const char* sizeCaptions[] = {"640 x 480", "800 x 600", "1024 x 768", "1280 x 1024"};
    for (int i = 0; i < 4; ++i) {
        QAction* item = sizes->addAction(latin(sizeCaptions[i]));
        item->setObjectName(QStringLiteral("Menu%1").arg(settings::kScreenSizes[i]));
        item->setCheckable(true);
        sizeGroup->addAction(item);
        item->setShortcut(QKeySequence(Qt::SHIFT | static_cast<Qt::Key>(Qt::Key_F1 + i)));
        const int size = settings::kScreenSizes[i];
        connect(item, &QAction::triggered, this,
                [this, size] { runCommand([this, size] { DoScreenSize(size); }); });
        m_screenSizeItems[static_cast<std::size_t>(i)] = item;
    }
    QMenu* access = options->addMenu(QStringLiteral("&Screen Access"));
    access->setObjectName(QStringLiteral("MenuScreenAccess"));
    QActionGroup* accessGroup = choiceGroup(QStringLiteral("AccessGroup"));
    const char* accessCaptions[] = {"&Speed Buttons", "&Lettered Buttons", "&None"};
    const char* accessNames[] = {"MenuSpeedButtons", "MenuLetteredButtons", "MenuNoButtons"};
    for (int i = 0; i < 3; ++i) {
        QAction* item = access->addAction(latin(accessCaptions[i]));
        item->setObjectName(latin(accessNames[i]));
        item->setCheckable(true);
        accessGroup->addAction(item);
        item->setShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_F1 + i)));
        connect(item, &QAction::triggered, this,
                [this, i] { runCommand([this, i] { DoAccessMode(i + 1); }); });
        m_accessItems[static_cast<std::size_t>(i)] = item;
    }
    QMenu* colors = options->addMenu(QStringLiteral("&Color"));
    colors->setObjectName(QStringLiteral("MenuColor"));
    add(colors, {Command::ColorMain, Command::ColorEdit, Command::ColorSearch, Command::ColorReport,
                 Command::ColorConfigure, Command::ColorAll});
    m_maintainMenu = options->addMenu(QStringLiteral("List &Maintenance"));
    m_maintainMenu->setObjectName(QStringLiteral("MenuMaintain"));
    for (const edit::PickListInfo& info : edit::pickListInfos()) {
        QAction* item = m_maintainMenu->addAction(latin(info.menuText));
        item->setObjectName(latin(info.menuItem));
        const int list = info.number;
        connect(item, &QAction::triggered, this,
                [this, list] { runCommand([this, list] { DoMaintainList(list); }); });
    }

    QMenu* currency = options->addMenu(QStringLiteral("C&urrency Format"));
    currency->setObjectName(QStringLiteral("MenuCurrency"));
    QMenu* numeric = options->addMenu(QStringLiteral("&Numeric Format"));
    numeric->setObjectName(QStringLiteral("MenuNumeric"));
    const char* currencyCaptions[] = {"&U.S. Dollars", "&Windows Setting"};
    const char* numericCaptions[] = {"&U.S. Format", "&Windows Setting"};
    QActionGroup* currencyGroup = choiceGroup(QStringLiteral("CurrencyGroup"));
    QActionGroup* numericGroup = choiceGroup(QStringLiteral("NumericGroup"));
    for (int i = 0; i < 2; ++i) {
        QAction* money = currency->addAction(latin(currencyCaptions[i]));
        money->setObjectName(QStringLiteral("MenuCurrency%1").arg(i + 1));
        money->setCheckable(true);
        currencyGroup->addAction(money);
        connect(money, &QAction::triggered, this, [this, i] { DoCurrencyFormat(i + 1); });
        m_currencyItems[static_cast<std::size_t>(i)] = money;
        QAction* number = numeric->addAction(latin(numericCaptions[i]));
        number->setObjectName(QStringLiteral("MenuNumeric%1").arg(i + 1));
        number->setCheckable(true);
        numericGroup->addAction(number);
        connect(number, &QAction::triggered, this, [this, i] { DoNumericFormat(i + 1); });
        m_numericItems[static_cast<std::size_t>(i)] = number;
    }
    QMenu* dates = options->addMenu(QStringLiteral("&Date Format"));
    dates->setObjectName(QStringLiteral("MenuDateFormat"));
    m_leadingZerosItem = dates->addAction(QStringLiteral("&Leading Zeros"));
    m_leadingZerosItem->setObjectName(QStringLiteral("MenuLeadingZeros"));
    m_leadingZerosItem->setCheckable(true);
    connect(m_leadingZerosItem, &QAction::triggered, this,
            [this] { runCommand([this] { DoLeadingZeros(); }); });
    dates->addSeparator();
    const char* dateCaptions[] = {"mm/dd/yy",   "mm-dd-yy",   "mm.dd.yy",   "dd/mm/yy",
                                  "dd-mm-yy",   "dd.mm.yy",   "mm/dd/yyyy", "mm-dd-yyyy",
                                  "mm.dd.yyyy", "dd/mm/yyyy", "dd-mm-yyyy", "dd.mm.yyyy"};
    QActionGroup* dateGroup = choiceGroup(QStringLiteral("DateFormatGroup"));
    for (int i = 0; i < 12; ++i) {
        QAction* item = dates->addAction(latin(dateCaptions[i]));
        item->setObjectName(QStringLiteral("MenuDate%1").arg(i + 1));
        item->setCheckable(true);
        dateGroup->addAction(item);
        connect(item, &QAction::triggered, this,
                [this, i] { runCommand([this, i] { DoDateFormat(i + 1); }); });
        m_dateItems[static_cast<std::size_t>(i)] = item;
    }
    options->addSeparator();
    add(options, {Command::LabelFont, Command::EditFont, Command::ButtonFont});

    add(menu("MenuTools", "&Tools"), {Command::SearchReplace, Command::RebuildIndexes, Command::Pack});
    add(menu("MenuHelp", "&Help"), {Command::Help, Command::Tips, Command::About});
}

// One exclusive choice of the menu: its items show as radio items, one ticked at most.
QActionGroup* TMain::choiceGroup(const QString& name)
{
    auto* group = new QActionGroup(this);
    group->setObjectName(name);
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    return group;
}

void TMain::createClient()
{
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("Client"));
    setCentralWidget(m_client);
    m_client->installEventFilter(this); // resizing re-applies the layout

    // The frame first, so that the grid and the labels lie on top of it.
    m_viewerBevel = new QFrame(m_client);
    m_viewerBevel->setObjectName(QStringLiteral("ViewerBevel"));
    m_viewerBevel->setFrameStyle(QFrame::Box | QFrame::Sunken);

    createSpeedPanel();
    createLetteredButtons();

    m_navigatorLabel = new QLabel(QStringLiteral("Navigation Controls"), m_client);
    m_navigatorLabel->setObjectName(QStringLiteral("NavigatorLabel"));
    m_navigatorLabel->setAlignment(Qt::AlignCenter);
    m_navigator = new BookNavigator(m_client);
    connect(m_navigator, &BookNavigator::clicked, this, [this](BookNavigator::Button button) {
        if (button == BookNavigator::Cancel)
            cancelGridEdit(); // before anything writes the cell being edited
        else
            runCommand([this, button] { NavigatorClick(button); });
    });

    m_countLabel = new QLabel(QStringLiteral("0"), m_client);
    m_countLabel->setObjectName(QStringLiteral("CountLabel"));
    m_countLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QFont bold = m_countLabel->font();
    bold.setBold(true);
    m_countLabel->setFont(bold);
    m_count2Label = new QLabel(QStringLiteral("Books"), m_client);
    m_count2Label->setObjectName(QStringLiteral("Count2Label"));
    m_count2Label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_searchOnLabel = new QLabel(QStringLiteral("SEARCH ON"), m_client);
    m_searchOnLabel->setObjectName(QStringLiteral("SearchOnLabel"));
    m_searchOnLabel->setFont(bold);
    m_searchOnLabel->setStyleSheet(QStringLiteral("color: #c00000;"));

    m_viewerLabel = new QLabel(QStringLiteral("Book Viewer"), m_client);
    m_viewerLabel->setObjectName(QStringLiteral("ViewerLabel"));
    m_viewerLabel->setAlignment(Qt::AlignCenter);
    QFont title = m_viewerLabel->font();
    title.setPointSize(12);
    title.setBold(true);
    m_viewerLabel->setFont(title);

    createViewer();
    createPickCombos();
    DisableEndSearch();
}

// The grid's drop-down editors for the nine pick-list fields: hidden until the grid edits one.
void TMain::createPickCombos()
{
    for (const edit::PickListInfo& info : edit::pickListInfos()) {
        auto* combo = new QComboBox(m_client);
        combo->setObjectName(latin(info.mainCombo));
        const int field = db::pickListField(info.number);
        edit::setUpPickCombo(combo, db::bookFields()[static_cast<std::size_t>(field)].width);
        combo->hide();
        m_pickCombos[static_cast<std::size_t>(info.number - 1)] = combo;
    }
    connect(&m_pickLists, &edit::PickLists::changed, this, [this](int list) {
        edit::loadPickCombo(m_pickCombos[static_cast<std::size_t>(list - 1)], m_pickLists.entries(list));
    });
}

void TMain::loadPickCombos()
{
    for (int list = 1; list <= edit::kPickListCount; ++list)
        edit::loadPickCombo(m_pickCombos[static_cast<std::size_t>(list - 1)], m_pickLists.entries(list));
}

void TMain::createSpeedPanel()
{
    m_speedPanel = new QFrame(m_client);
    m_speedPanel->setObjectName(QStringLiteral("SpeedPanel"));
    m_speedPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    // Groups: database, records, exchange, finding, output and set-up, help.
    const Command order[] = {Command::New,     Command::Open,      Command::Add,       Command::Edit,
                             Command::Copy,    Command::Delete,    Command::Import,    Command::Export,
                             Command::Search,  Command::EndSearch, Command::Locate,    Command::LocateNext,
                             Command::Reports, Command::Viewer,    Command::SortOrder, Command::ColorAll,
                             Command::Help};
    const std::set<Command> groupStarts = {Command::Add, Command::Import, Command::Search, Command::Reports,
                                           Command::Help};
    int left = 3;
    for (Command command : order) {
        if (groupStarts.count(command))
            left += 3;
        auto* button = new QToolButton(m_speedPanel);
        const CommandDesign& design = commandDesigns()[static_cast<std::size_t>(command)];
        button->setObjectName(QStringLiteral("Speed") + latin(design.name).mid(4));
        button->setDefaultAction(action(command));
        button->setAutoRaise(true);
        button->setIconSize(QSize(20, 20));
        button->setFocusPolicy(Qt::NoFocus);
        button->setGeometry(left, 3, 24, 24);
        left += 24;
    }
}

void TMain::createLetteredButtons()
{
    // Four framed groups of two rows: records, searching, output, leaving.
    const QRect bevels[] = {{4, 6, 143, 72}, {151, 6, 74, 72}, {229, 6, 74, 72}, {307, 6, 74, 72}};
    for (int i = 0; i < 4; ++i) {
        auto* bevel = new QFrame(m_client);
        bevel->setObjectName(QStringLiteral("Bevel%1").arg(i + 1));
        bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
        bevel->setGeometry(bevels[i]);
        m_bevels.push_back(bevel);
    }
    struct Place {
        Command command;
        int left;
        int top;
    };
    const Place places[] = {{Command::Add, 9, 12},       {Command::Edit, 77, 12},
                            {Command::Copy, 9, 45},      {Command::Delete, 77, 45},
                            {Command::Search, 156, 12},  {Command::EndSearch, 156, 45},
                            {Command::Reports, 234, 12}, {Command::Viewer, 234, 45},
                            {Command::Help, 312, 12},    {Command::Exit, 312, 45}};
    for (const Place& place : places) {
        const CommandDesign& design = commandDesigns()[static_cast<std::size_t>(place.command)];
        auto* button = new QPushButton(latin(design.letteredCaption), m_client);
        button->setObjectName(latin(design.letteredName));
        button->setGeometry(place.left, place.top, 64, 27);
        button->setAutoDefault(false);
        QAction* item = action(place.command);
        connect(button, &QPushButton::clicked, item, &QAction::trigger);
        auto follow = [button, item] { button->setEnabled(item->isEnabled()); };
        connect(item, &QAction::changed, button, follow);
        follow();
        m_letteredButtons.push_back(button);
    }
}

void TMain::createViewer()
{
    m_grid = new QTableView(m_client);
    m_grid->setObjectName(QStringLiteral("ViewerGrid"));
    m_grid->setHorizontalHeader(new GridTitles(m_grid));
    m_model = new db::BookGridModel(
        m_table, m_dateFormat,
        [this](const QString& message) {
            m_dialogs.message(QStringLiteral("Error"), message, Button::Ok, Button::Ok, Icon::Error);
        },
        this);
    m_grid->setModel(m_model);
    // Over the grid's empty rows, so that a new user sees where to begin.
    m_emptyHint = new QLabel(m_grid->viewport());
    m_emptyHint->setObjectName(QStringLiteral("EmptyHint"));
    m_emptyHint->setAlignment(Qt::AlignCenter);
    m_emptyHint->setWordWrap(true);
    m_emptyHint->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_emptyHint->hide();
    m_grid->viewport()->installEventFilter(this);
    // Headers, selection by rows or cells, editing and fonts follow the viewer options
    // (SetViewerOptions), applied before the grid is first shown.
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setWordWrap(false);
    connect(m_grid, &QTableView::doubleClicked, this, [this] {
        if (action(Command::Edit)->isEnabled())
            action(Command::Edit)->trigger();
    });
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (m_syncing || !current.isValid())
                    return;
                runCommand([this, row = current.row()] {
                    // The highlighted row and the current record never part: a move that fails
                    // or finds the record gone puts the grid back on the table's record.
                    bool moved = false;
                    try {
                        moved = m_table.gotoRow(row);
                    } catch (...) {
                        syncGridToTable(m_table.currentRow());
                        throw;
                    }
                    if (!moved || m_table.currentRow() != row)
                        syncGridToTable(m_table.currentRow());
                    updateNavigator();
                });
            });
}

void TMain::connectTable()
{
    connect(&m_table, &db::BookTable::currentRowChanged, this, &TMain::syncGridToTable);
    connect(&m_table, &db::BookTable::resetDone, this, [this] {
        syncGridToTable(m_table.currentRow());
        updateEmptyHint();
    });
    connect(&m_table, &db::BookTable::rowInserted, this, &TMain::updateEmptyHint);
    connect(&m_table, &db::BookTable::rowRemoved, this, &TMain::updateEmptyHint);
    connect(&m_table, &db::BookTable::rowsCompleted, this, &TMain::DisplayCount);
}

void TMain::updateEmptyHint()
{
    // Only an empty catalogue: a search that finds nothing is ended, so it never shows here.
    // Nor a map whose walk failed: the error was shown, and the books may all be there.
    const bool empty =
        m_table.isOpen() && !m_table.hasFilter() && m_table.rowsKnown() == 0 && !m_table.mapFailed();
    if (empty) {
        m_emptyHint->setText(m_browse
                                 ? QStringLiteral("This catalogue has no books yet.")
                                 : QStringLiteral("No books yet: choose Add (Ctrl+A) to type in your first "
                                                  "book, or Import (Ctrl+M) to bring books in from a file."));
        QPalette palette = m_emptyHint->palette();
        palette.setColor(QPalette::WindowText, m_grid->palette().color(QPalette::Text));
        m_emptyHint->setPalette(palette);
        m_emptyHint->setFont(m_grid->font());
        placeEmptyHint();
    }
    m_emptyHint->setVisible(empty);
}

void TMain::placeEmptyHint()
{
    const QRect area = m_grid->viewport()->rect();
    const int margin = 8;
    const int height = m_emptyHint->heightForWidth(area.width() - 2 * margin);
    m_emptyHint->setGeometry(margin, margin, area.width() - 2 * margin,
                             std::max(height, m_emptyHint->sizeHint().height()));
}

void TMain::syncGridToTable(int row)
{
    if (m_syncing)
        return;
    m_syncing = true;
    QModelIndex current = m_grid->currentIndex();
    if (row < 0) {
        m_grid->selectionModel()->clear();
    } else if (!current.isValid() || current.row() != row) {
        QModelIndex index = m_model->index(row, current.isValid() ? current.column() : 0);
        m_grid->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                             QItemSelectionModel::Rows);
        m_grid->scrollTo(index);
    }
    m_syncing = false;
    // Moving the selection may have committed a cell editor, which moves the table back to
    // that cell's record: follow it, so that the grid shows the record commands act on.
    if (m_table.currentRow() != row && m_table.currentRow() >= 0 &&
        m_grid->currentIndex().row() != m_table.currentRow())
        syncGridToTable(m_table.currentRow());
    else
        updateNavigator();
}

void TMain::updateNavigator()
{
    const int row = m_table.currentRow();
    // Until the map is complete there are more rows than it holds: none of them is the last.
    const int last = m_table.rowsComplete() ? m_table.rowCount() - 1 : m_table.rowsKnown();
    const bool editing = m_table.isOpen() && m_table.editing();
    const bool readOnly = m_browse || !m_table.isOpen() || m_table.readOnly();
    m_navigator->setState(row <= 0, row >= last, last < 0, editing, readOnly);
    // Insert and Edit open the edit window; Post and Cancel end an edit in a grid cell.
    m_navigator->button(BookNavigator::Insert)->setEnabled(!editing && action(Command::Add)->isEnabled());
    m_navigator->button(BookNavigator::Edit)
        ->setEnabled(!editing && last >= 0 && action(Command::Edit)->isEnabled());
    const bool cellEditing = m_settings.fieldEditing && !m_browse;
    m_navigator->button(BookNavigator::Post)->setEnabled(cellEditing);
    m_navigator->button(BookNavigator::Cancel)->setEnabled(cellEditing);
}

// ------------------------------------------------------------------ start-up

MaintenanceCommands TMain::maintenanceCommands()
{
    return MaintenanceCommands(
        {m_table, *m_database, m_dialogs, m_settings, m_fonts, m_scale, m_screen.size(),
         QFile::decodeName(m_paths.dataDir.string().c_str()), settingsPath(), this,
         [this] { return BuildSortString(m_settings.sortOrder); }, [this] { SetViewerOptions(); },
         [this] { DisplayCount(); }, [this] { m_pickLists.saveAll(); },
         [this] {
             loadPickListsReporting();
             loadPickCombos();
         },
         [this](const QString& keyword) { showHelp(keyword); }});
}

db::DatabaseHooks TMain::databaseHooks()
{
    db::DatabaseHooks hooks;
    hooks.sortString = [this] { return BuildSortString(m_settings.sortOrder); };
    hooks.searchOn = [this] { return m_searchOn; };
    hooks.endSearch = [this] { DisableEndSearch(); };
    hooks.applyViewerConfig = [this] { SetViewerOptions(); };
    hooks.updateRecentList = [this](const QString& previous, const QString& current) {
        DoLastFiles(previous, current);
    };
    hooks.setCaption = [this](const QString& caption) { setWindowTitle(caption); };
    hooks.displayCount = [this] { DisplayCount(); };
    return hooks;
}

std::filesystem::path TMain::settingsPath() const
{
    std::filesystem::path found = platform::findFileIgnoringCase(m_paths.configDir, kSettingsFileName);
    return found.empty() ? m_paths.configDir / kSettingsFileName : found;
}

void TMain::readSettings()
{
    try {
        m_settings.read(platform::ProfileFile::load(settingsPath()));
    } catch (const platform::ProfileError& error) {
        // Starting with the defaults beats not starting; the user learns why.
        m_dialogs.message(QStringLiteral("Warning"),
                          QString::fromStdString(error.what()) +
                              QStringLiteral("  The program starts with its default settings."),
                          Button::Ok, Button::Ok, Icon::Warning);
    }
}

bool TMain::startUp()
{
    readSettings();
    // Every field gets one distinct column position, so none can vanish from the viewer.
    const auto positions = edit::normalisedPositions(m_settings);
    for (std::size_t field = 0; field < positions.size(); ++field)
        m_settings.fields[field].order = positions[field];
    m_fonts = settings::makeSharedFonts(m_settings);

    const QSize screen = m_screen.size();
    settings::WindowGeometry geometry = settings::keepOnScreen(m_settings.mainWindow, screen);
    resize(geometry.width, geometry.height);
    move(geometry.left, geometry.top);

    m_dateFormat.apply(m_settings.dateFormat, m_settings.dateLeadingZeros);
    m_numberText = settings::NumberText(platform::Intl::fromProcessLocale(), m_settings.currencyFormat,
                                        m_settings.numericFormat);
    tickFormats();
    loadPickListsReporting();

    const QString dataDir = QFile::decodeName(m_paths.dataDir.string().c_str());
    switch (m_database->startUp(m_startDatabase.isEmpty() ? m_settings.lastDatabase : m_startDatabase, dataDir)) {
    case db::BookDatabase::StartUp::Opened:
        break;
    case db::BookDatabase::StartUp::CannotCreate:
        m_exitCode = 1;
        return false;
    case db::BookDatabase::StartUp::UserQuit:
        m_exitCode = 0;
        return false;
    }
    m_settings.lastDatabase = m_database->currentPath();
    startReports();
    // Books of the program's earlier versions found in the data directory; never in browse mode.
    maintenanceCommands().CheckForConversion(m_browse);

    // A stored mode the window does not know changes nothing, so the window starts in mode 1's
    // layout; the setting is written back as it was read.
    const int stored = m_settings.buttonBar;
    m_settings.buttonBar = mainlayout::forMode(stored, {}) ? stored : mainlayout::SpeedButtons;
    SetButtonBar();
    m_settings.buttonBar = stored;
    tickAccessMode(); // an unknown mode ticks nothing
    m_scale = settings::scaleFactor(m_settings.windowSize, screen);
    tickScreenSize();
    SetMenuLastFiles();
    m_locate =
        std::make_unique<TMyLocateDialog>(LocateServices{m_table, m_dialogs, m_dateFormat, m_settings,
                                                         m_fonts, m_screen, [this] { return m_scale; }},
                                          QString(m_numberText.decimalSeparator()));
    if (m_browse)
        applyBrowseMode();
    return true;
}

// The report file, made with the built-in reports when missing, the reports of
// an older report file added to it, and what the report list works with.
void TMain::startReports()
{
    const std::string dataDir = m_paths.dataDir.string();
    std::string reportFile = dataDir + "/" + reports::kReportFileName;
    try {
        reportFile = reports::ensureReportFile(dataDir);
        reports::ReportFile file(reportFile);
        // Browse mode changes no file. An older file converted before but left in
        // place (it could not be deleted) is not converted again.
        const std::string remembered = m_settings.convertedOldReports.toStdString();
        const reports::OldReportConversion old =
            m_browse ? reports::OldReportConversion{}
                     : reports::convertOldReports(dataDir, file,
                                                  reports::parseRememberedConversion(remembered));
        if (!m_browse) {
            const std::string now = reports::rememberedConversion(old, remembered);
            if (now != remembered) {
                m_settings.convertedOldReports = QString::fromStdString(now);
                writeSettings();
            }
        }
        if (!old.message.empty())
            m_dialogs.message(QStringLiteral("Reports"), QString::fromStdString(old.message),
                              platform::Button::Ok, platform::Button::Ok, platform::Icon::Warning);
    } catch (const dbase::DatabaseError& e) {
        m_dialogs.message(QStringLiteral("Error"), QString::fromUtf8(e.what()), platform::Button::Ok,
                          platform::Button::Ok, platform::Icon::Error);
    }
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    m_reportServices = std::make_unique<reports::ReportServices>(reports::ReportServices{
        m_dialogs, m_table, m_settings, m_numberText, m_dateFormat, *m_printer, m_currentReport, reportFile,
        [this] { return m_searchOn; }, [this] { return m_settings.sortOrder; },
        [this] {
            QStringList titles;
            for (const settings::FieldSettings& field : m_settings.fields)
                titles << field.title;
            return titles;
        },
        [this](const QString& keyword) { showHelp(keyword); },
        [this] {
            // The text report never replaces the database, its index, the settings or a list file.
            const QString table = m_database->currentPath();
            QStringList own{table, table.left(table.size() - 4) + QStringLiteral(".MDX"),
                            table.left(table.size() - 4) + QStringLiteral(".mdx"),
                            QFile::decodeName(m_paths.configDir.string().c_str()) +
                                QStringLiteral("/SHVBOOK.INI")};
            const QDir data(QFile::decodeName(m_paths.dataDir.string().c_str()));
            for (const QString& list :
                 data.entryList({QStringLiteral("*.LST"), QStringLiteral("*.lst")}, QDir::Files))
                own << data.filePath(list);
            return own;
        }});
    if (m_reportWindow)
        m_reportWindow->setServices(*m_reportServices);
}

void TMain::applyBrowseMode()
{
    for (const CommandDesign& design : commandDesigns())
        if (design.browseDisabled)
            action(design.command)->setEnabled(false);
    m_maintainMenu->setEnabled(false);
    m_navigator->setVisibleButtons(
        {BookNavigator::First, BookNavigator::Prior, BookNavigator::Next, BookNavigator::Last});
    m_rememberedFieldEditing = m_settings.fieldEditing;
    m_settings.fieldEditing = false;
}

void TMain::tickAccessMode()
{
    // Unticking goes item by item: an exclusive group lets the program untick its last item.
    for (int i = 0; i < 3; ++i)
        m_accessItems[static_cast<std::size_t>(i)]->setChecked(m_settings.buttonBar == i + 1);
}

void TMain::tickScreenSize()
{
    const int ticked = settings::tickedScreenSize(m_settings.windowSize, m_screen.size());
    for (int i = 0; i < 4; ++i)
        m_screenSizeItems[static_cast<std::size_t>(i)]->setChecked(settings::kScreenSizes[i] == ticked);
}

void TMain::tickFormats()
{
    for (int i = 0; i < 12; ++i)
        m_dateItems[static_cast<std::size_t>(i)]->setChecked(m_dateFormat.number() == i + 1);
    m_leadingZerosItem->setChecked(m_dateFormat.leadingZeros());
    for (int i = 0; i < 2; ++i) {
        m_currencyItems[static_cast<std::size_t>(i)]->setChecked(m_settings.currencyFormat == i + 1);
        m_numericItems[static_cast<std::size_t>(i)]->setChecked(m_settings.numericFormat == i + 1);
    }
}

// ------------------------------------------------------------------ showing and closing

void TMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (event->spontaneous())
        return; // the window coming back from minimised is not a new showing
    settings::applyFonts(this, m_fonts);
    SetViewerOptions();
    SetColors();
    loadPickCombos();
    DisplayCount();
    if (m_tipAtFirstShow) {
        m_tipAtFirstShow = false;
        // After the start-up dialogs and once the window is up; never again in this run.
        QTimer::singleShot(0, this, [this] {
            if (m_settings.showTips)
                DoTips();
        });
    }
}

void TMain::SetColors()
{
    settings::applyColorScheme(m_client, m_settings.scheme(settings::WindowGroup::Main),
                               {.majorTitles = {m_viewerLabel}, .minorTitles = {m_navigatorLabel}});
}

void TMain::DoColor(int target)
{
    TColorConfig window(m_settings, target, m_dialogs, m_fonts, m_scale, m_screen.size(), this);
    window.exec();
    if (window.mainSchemeChanged())
        SetColors();
}

void TMain::DoTips()
{
    TTipOfDay window(m_settings.showTips, TTipOfDay::randomTip(), m_scale, m_screen.size(), this);
    window.exec();
}

void TMain::closeEvent(QCloseEvent* event)
{
    DisableEndSearch();
    keepSafetyCopy();
    const QRect frame = frameGeometry();
    m_settings.mainWindow = {frame.left(), frame.top(), width(), height()};
    settings::storeSharedFonts(m_fonts, m_settings);
    writeSettings();
    if (m_help)
        m_help->close();
    event->accept();
}

bool TMain::writeSettings()
{
    const std::filesystem::path path = settingsPath();
    auto refuse = [this](const QString& why) {
        m_dialogs.message(QStringLiteral("Error"),
                          QStringLiteral("Your settings could not be saved.  ") + why, Button::Ok, Button::Ok,
                          Icon::Error);
        return false;
    };
    platform::ProfileFile profile;
    try {
        // Sections and keys this program does not know are kept.
        profile = platform::ProfileFile::load(path);
    } catch (const platform::ProfileError& error) {
        // A file that exists but cannot be read holds the user's settings: never write over it.
        return refuse(QString::fromUtf8(error.what()) + QStringLiteral("  The file has been left as it is."));
    }
    // Browse mode switches grid editing off for this run only; the file keeps the user's choice.
    settings::Settings stored = m_settings;
    if (m_browse)
        stored.fieldEditing = m_rememberedFieldEditing;
    stored.write(profile);
    try {
        profile.save(path);
        return true;
    } catch (const platform::ProfileError& error) {
        return refuse(QString::fromUtf8(error.what()));
    }
}

// ------------------------------------------------------------------ layout

void TMain::SetButtonBar()
{
    const int mode = m_settings.buttonBar;
    std::optional<mainlayout::Layout> layout = mainlayout::forMode(mode, m_client->size());
    if (!layout)
        return;
    m_layoutMode = mode;
    tickAccessMode();
    for (QPushButton* button : m_letteredButtons)
        button->setVisible(layout->letteredButtons);
    for (QFrame* bevel : m_bevels)
        bevel->setVisible(layout->letteredButtons);
    m_speedPanel->setVisible(layout->speedPanel);
    m_speedPanel->setEnabled(layout->speedPanel);
    m_navigatorLabel->setVisible(layout->navigationLabel);
    m_navigatorLabel->setGeometry(layout->navigator.left(), layout->navigationLabelTop,
                                  layout->navigator.width(), m_navigatorLabel->sizeHint().height());
    m_navigator->setGeometry(layout->navigator);
    setMinimumWidth(mainlayout::minimumClientWidth(mode));
    applyFrame();
}

void TMain::applyFrame()
{
    const int mode = m_layoutMode;
    const QSize client = m_client->size();
    std::optional<mainlayout::Frame> frame = mainlayout::frameFor(mode, client);
    if (!frame)
        return;
    if (frame->navigatorLeft)
        m_navigator->move(*frame->navigatorLeft, m_navigator->y());
    m_speedPanel->setGeometry(0, 0, client.width(), 31);
    const int labelHeight = m_countLabel->sizeHint().height();
    m_countLabel->setGeometry(10, frame->countTop, 64, labelHeight);
    m_count2Label->setGeometry(10, frame->booksTop, 64, m_count2Label->sizeHint().height());
    m_searchOnLabel->setGeometry(80, frame->searchOnTop, m_searchOnLabel->sizeHint().width(),
                                 m_searchOnLabel->sizeHint().height());
    m_viewerBevel->setGeometry(frame->gridFrame);
    m_grid->setGeometry(frame->grid);
    const QSize title = m_viewerLabel->sizeHint();
    m_viewerLabel->setGeometry((client.width() - title.width()) / 2, frame->gridTitleTop, title.width(),
                               title.height());
}

bool TMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_client && event->type() == QEvent::Resize) {
        applyFrame();
        return false;
    }
    if (m_grid && watched == m_grid->viewport() && event->type() == QEvent::Resize) {
        placeEmptyHint();
        return false;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ------------------------------------------------------------------ state

void TMain::DisplayCount()
{
    // The count waits for the whole map: blank until it is complete (rowsCompleted).
    const bool counted = !m_table.isOpen() || m_table.rowsComplete();
    m_countLabel->setText(counted ? QString::number(m_table.isOpen() ? m_table.rowCount() : 0) : QString());
    updateNavigator();
    updateEmptyHint();
}

void TMain::EnableEndSearch()
{
    action(Command::EndSearch)->setEnabled(true);
    m_searchOn = true;
    m_searchOnLabel->setVisible(true);
}

void TMain::DisableEndSearch()
{
    action(Command::EndSearch)->setEnabled(false);
    m_searchOn = false;
    m_searchOnLabel->setVisible(false);
}

void TMain::DoEndSearch()
{
    DisableEndSearch();
    m_table.close();
    m_table.setFilter({});
    m_table.reopen();
    SetViewerOptions();
    DisplayCount();
}

bool TMain::DBaseInUse(const QString& path)
{
    return m_database->DBaseInUse(path);
}

void TMain::SetViewerOptions()
{
    edit::ViewerHooks hooks;
    hooks.pickList = [this](int list) { return m_pickLists.entries(list); };
    hooks.readMoney = [this](const QString& text) { return m_numberText.readMoney(text); };
    hooks.writeMoney = [this](double value) { return m_numberText.money(1, value); };
    hooks.deleteRecord = [this] {
        if (action(Command::Delete)->isEnabled())
            runCommand([this] { DoDelete(); });
    };
    edit::applyViewerOptions(*m_grid, *m_model, m_settings, m_fonts, m_browse, hooks);
    for (QComboBox* combo : m_pickCombos)
        combo->setFont(m_fonts.grid);
    updateEmptyHint(); // in the grid's new font and colours
}

void TMain::DoViewer()
{
    TViewConfig window(m_settings, m_fonts, m_dialogs, m_scale, m_screen.size(), this);
    window.setHelp([this](const QString& keyword) { showHelp(keyword); });
    window.exec();
    SetViewerOptions();
}

void TMain::DoSortOrder()
{
    search::SortOrderChange change(m_table, m_settings.sortOrder, m_dialogs,
                                   {[this](const QString& path) { return DBaseInUse(path); },
                                    [this] {
                                        settings::storeSharedFonts(m_fonts, m_settings);
                                        writeSettings();
                                    },
                                    [this] { SetViewerOptions(); }});
    TMySortOrder window(change, m_settings, m_fonts, m_scale, m_screen.size(), this);
    window.exec();
    DisplayCount();
}

void TMain::DoSearchReplace()
{
    db::BookReplace::Hooks hooks;
    hooks.command.applyViewerOptions = [this] { SetViewerOptions(); };
    hooks.command.displayCount = [this] { DisplayCount(); };
    hooks.command.setBusy = [](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
    hooks.command.reportError = [this](const QString& text) {
        m_dialogs.message(QStringLiteral("Error"), text, Button::Ok, Button::Ok, Icon::Error);
    };
    hooks.sortString = [this] { return BuildSortString(m_settings.sortOrder); };
    hooks.searchOn = [this] { return m_searchOn; };
    // The flag alone: ending the search through DoEndSearch would reopen the table shared.
    hooks.setSearchOn = [this](bool on) { on ? EnableEndSearch() : DisableEndSearch(); };
    TSearchAndReplace window({m_table, m_dialogs, m_settings, m_dateFormat, m_fonts, m_scale, m_screen.size(),
                              std::move(hooks), [this](const QString& keyword) { showHelp(keyword); }},
                             this);
    window.exec();
    DisplayCount();
}

void TMain::DoLocate()
{
    m_locate->Locate(this);
}

void TMain::DoLocateNext()
{
    m_locate->LocateNext(this);
}

void TMain::SetMenuLastFiles()
{
    const RecentFiles& files = m_settings.lastFiles;
    const bool any = std::any_of(files.begin(), files.end(), [](const QString& f) { return !f.isEmpty(); });
    m_exitSeparator->setVisible(any);
    for (int i = 0; i < 5; ++i) {
        QAction* item = m_recentItems[static_cast<std::size_t>(i)];
        const QString& path = files[static_cast<std::size_t>(i)];
        item->setVisible(any && !path.isEmpty());
        item->setText(recentCaption(i, path));
    }
}

void TMain::DoLastFiles(const QString& previousPath, const QString& newPath)
{
    pushRecent(m_settings.lastFiles, previousPath, newPath);
    m_settings.lastDatabase = newPath;
    SetMenuLastFiles();
}

void TMain::runCommand(const std::function<void()>& command)
{
    commitGridEdit();
    try {
        command();
    } catch (...) {
        std::exception_ptr error = std::current_exception();
        reopenIfClosed();
        std::rethrow_exception(error);
    }
    reopenIfClosed();
}

// A cell being edited in the grid is written before any command runs, so that no
// command reads the old value, moves away from it or throws the typed text away.
void TMain::commitGridEdit()
{
    const QModelIndex index = m_grid->currentIndex();
    QWidget* editor = index.isValid() ? m_grid->indexWidget(index) : nullptr;
    if (!editor)
        return;
    QAbstractItemDelegate* delegate = m_grid->itemDelegateForIndex(index);
    emit delegate->commitData(editor);
    emit delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
    if (m_table.currentRow() != index.row())
        syncGridToTable(m_table.currentRow());
}

void TMain::cancelGridEdit()
{
    const QModelIndex index = m_grid->currentIndex();
    if (QWidget* editor = index.isValid() ? m_grid->indexWidget(index) : nullptr)
        emit m_grid->itemDelegateForIndex(index)->closeEditor(editor,
                                                              QAbstractItemDelegate::RevertModelCache);
}

void TMain::reopenIfClosed()
{
    if (m_table.isOpen() || m_table.path().empty())
        return;
    try {
        m_table.reopen();
        SetViewerOptions();
        DisplayCount();
    } catch (const std::exception& error) {
        m_dialogs.message(QStringLiteral("Error"),
                          QStringLiteral("The book table could not be opened again.  ") +
                              QString::fromUtf8(error.what()),
                          Button::Ok, Button::Ok, Icon::Error);
    }
}

// ------------------------------------------------------------------ commands

void TMain::DoNew()
{
    m_database->DoNew();
}

void TMain::DoOpen()
{
    m_database->DoOpen();
}

void TMain::DoRecentFile(int index)
{
    const QString path = m_settings.lastFiles[static_cast<std::size_t>(index)];
    if (!path.isEmpty())
        m_database->OpenSaveFile(path);
}

void TMain::DoAdd()
{
    m_editMode = edit::EditMode::Add;
    if (m_editWindow)
        m_editWindow->exec();
    DisplayCount();
}

void TMain::DoEdit()
{
    m_editMode = edit::EditMode::Change;
    if (m_editWindow)
        m_editWindow->exec();
    DisplayCount();
}

void TMain::DoCopy()
{
    m_editMode = edit::EditMode::Copy;
    if (m_editWindow)
        m_editWindow->exec();
    DisplayCount();
}

void TMain::DoSearch()
{
    if (m_searchWindow)
        m_searchWindow->exec();
    DisplayCount();
}

void TMain::DoReports()
{
    if (m_reportWindow)
        m_reportWindow->exec();
}

void TMain::DoDelete()
{
    // A deleted book is gone for good: No is the safe default.
    m_dialogs.beep();
    if (m_dialogs.message(QStringLiteral("Confirm"), QStringLiteral("Delete this record?"),
                          Button::Yes | Button::No, Button::No, Icon::Question) == Button::Yes &&
        m_table.currentRow() >= 0)
        m_table.deleteCurrent();
    DisplayCount();
}

void TMain::DoPrinterSetup()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>();
    m_dialogs.printerSetup(*m_printer);
}

void TMain::DoHelp()
{
    if (!m_help)
        m_help = new HelpWindow(this);
    m_help->showContents();
}

void TMain::showHelp(const QString& keyword)
{
    if (!m_help)
        m_help = new HelpWindow(this);
    m_help->showKeyword(keyword);
}

void TMain::DoAbout()
{
    AboutBox box(this);
    settings::fitWindow(&box, m_fonts, m_scale, m_screen.size());
    box.exec();
}

void TMain::DoScreenSize(int size)
{
    settings::ScreenSizeChoice choice =
        settings::chooseScreenSize(size, m_screen.size(), m_settings.windowSize);
    if (choice.outcome == settings::ScreenSizeChoice::Outcome::Refused)
        m_dialogs.message(QStringLiteral("Error"), choice.error, Button::Ok, Button::Ok, Icon::Error);
    m_scale = settings::scaleFactor(m_settings.windowSize, m_screen.size());
    tickScreenSize();
}

void TMain::DoAccessMode(int mode)
{
    m_settings.buttonBar = mode;
    SetButtonBar();
}

void TMain::DoFont(QFont settings::SharedFonts::*font)
{
    std::optional<QFont> chosen = m_dialogs.chooseFont(m_fonts.*font);
    if (!chosen)
        return;
    m_fonts.*font = *chosen;
    settings::applyFonts(this, m_fonts);
    SetViewerOptions(); // the grid keeps its own fonts, not the edit font
    applyFrame();       // labels may have grown
}

void TMain::DoDateFormat(int number)
{
    if (m_dateFormat.choose(number)) {
        m_settings.dateFormat = number;
        m_model->refreshAll();
    }
    tickFormats();
}

void TMain::DoLeadingZeros()
{
    m_dateFormat.toggleLeadingZeros();
    m_settings.dateLeadingZeros = m_dateFormat.leadingZeros();
    m_model->refreshAll();
    tickFormats();
}

void TMain::DoCurrencyFormat(int style)
{
    m_settings.currencyFormat = style;
    m_numberText.setCurrencyFormat(style);
    tickFormats();
}

void TMain::DoNumericFormat(int style)
{
    m_settings.numericFormat = style;
    m_numberText.setNumericFormat(style);
    tickFormats();
}

void TMain::DoMaintainList(int list)
{
    edit::DialogServices services{
        m_scale, screenSize(), &m_fonts, &m_settings.scheme(settings::WindowGroup::Configure), {}};
    if (m_table.isOpen())
        services.fieldTexts = [this](const char* field) {
            return db::distinctFieldTexts(m_table.path(), field);
        };
    // The lists belong to the installation: what the user confirmed is on disk at once. Cancel
    // writes nothing, and no other list's file is touched.
    if (edit::maintainPickList(this, m_pickLists, list, m_dialogs, services))
        m_pickLists.saveList(list);
}

QSize TMain::screenSize() const
{
    return m_screen.size();
}

void TMain::loadPickListsReporting()
{
    try {
        m_pickLists.loadAll();
    } catch (const edit::PickListError& error) {
        m_dialogs.message(QStringLiteral("Error"), QString::fromUtf8(error.what()), Button::Ok, Button::Ok,
                          Icon::Error);
    }
}

void TMain::NavigatorClick(BookNavigator::Button button)
{
    switch (button) {
    case BookNavigator::First:
        m_table.gotoRow(0);
        break;
    case BookNavigator::Prior:
        m_table.gotoRow(std::max(0, m_table.currentRow() - 1));
        break;
    case BookNavigator::Next:
        m_table.gotoRow(std::min(m_table.rowCount() - 1, m_table.currentRow() + 1));
        break;
    case BookNavigator::Last:
        m_table.gotoRow(m_table.rowCount() - 1);
        break;
    case BookNavigator::Insert:
        // A new book is typed in the edit window: a blank record with no row would be
        // saved as an empty book by the next move.
        DoAdd();
        break;
    case BookNavigator::Delete:
        DoDelete();
        break;
    case BookNavigator::Edit:
        DoEdit();
        break;
    case BookNavigator::Post:
        break; // runCommand has written the cell being edited
    case BookNavigator::Cancel:
        cancelGridEdit();
        break;
    case BookNavigator::Refresh:
        m_table.rebuild();
        break;
    }
    syncGridToTable(m_table.currentRow());
    DisplayCount();
}
