#include "reports/design/TUserReport.h"

#include "platform/Dialogs.h"
#include "reports/ReportFile.h"
#include "reports/design/DesignRules.h"
#include "reports/design/ReportFontChoice.h"
#include "reports/design/TRepLayout.h"
#include "reports/design/TReportFonts.h"
#include "settings/NumberText.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace reports;
using platform::Button;

namespace {

const QString kRename = QStringLiteral(
    "Report Title has changed!  Do you wish to save this as a new report?   (YES saves as new report.  NO "
    "overwrites old report.  CANCEL aborts.)");

template <typename T> T* named(T* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLineEdit* edit(QWidget* parent, const char* name, int maxLength)
{
    auto* e = named(new QLineEdit(parent), name);
    e->setMaxLength(maxLength);
    return e;
}

// Margins and line counts read the U.S. way whatever the numeric format.
QString usNumber(double value, int decimals)
{
    return settings::NumberText().grouped(0, decimals, value);
}

} // namespace

TUserReport::TUserReport(ReportServices& services, bool isNew, int position, QWidget* parent)
    : QDialog(parent), m_services(services), m_definition(services.current),
      m_look(designLook(services.settings)), m_new(isNew), m_position(isNew ? -1 : position)
{
    setObjectName(QStringLiteral("TUserReport"));
    setWindowTitle(QStringLiteral("Report Definition"));
    setModal(true);
    buildControls();
    FormShow();
}

TUserReport::~TUserReport()
{
    // An edit losing the focus while the window goes would call its exit handler on a half-destroyed window.
    for (QLineEdit* e : {ReportName, NumLines, TopMargin, BottomMargin, LeftMargin, RightMargin})
        disconnect(e, nullptr, this, nullptr);
}

void TUserReport::buildControls()
{
    ReportName = edit(this, "ReportName", 30);
    auto* nameBox = new QGroupBox(QStringLiteral("Report &Name"), this);
    (new QVBoxLayout(nameBox))->addWidget(ReportName);

    Chars90 = named(new QRadioButton(QStringLiteral("&90 Chars"), this), "Chars90");
    Chars120 = named(new QRadioButton(QStringLiteral("12&0 Chars"), this), "Chars120");
    Chars150 = named(new QRadioButton(QStringLiteral("1&50 Chars"), this), "Chars150");
    auto* widthBox = new QGroupBox(QStringLiteral("Report Width"), this);
    auto* widthLayout = new QHBoxLayout(widthBox);
    for (QRadioButton* radio : {Chars90, Chars120, Chars150})
        widthLayout->addWidget(radio);

    Title1 = edit(this, "Title1", 80);
    Title2 = edit(this, "Title2", 80);
    Title3 = edit(this, "Title3", 80);
    auto* titlesBox = new QGroupBox(QStringLiteral("Report &Titles"), this);
    auto* titlesLayout = new QVBoxLayout(titlesBox);
    for (QLineEdit* title : {Title1, Title2, Title3})
        titlesLayout->addWidget(title);

    auto* fontsBox = new QGroupBox(QStringLiteral("Report Fonts"), this);
    auto* fontsLayout = new QFormLayout(fontsBox);
    const auto fontEdit = [&](QLineEdit*& member, const char* name, const QString& caption) {
        member = named(new QLineEdit(fontsBox), name);
        member->setReadOnly(true);
        member->setFocusPolicy(Qt::NoFocus);
        fontsLayout->addRow(caption, member);
    };
    fontEdit(TitleLineFont, "TitleLineFont", QStringLiteral("Title Lines"));
    fontEdit(ColumnHeaderFont, "ColumnHeaderFont", QStringLiteral("Column Headers"));
    fontEdit(RepBodyDataFont, "RepBodyDataFont", QStringLiteral("Report Body"));
    fontEdit(FootnoteFont, "FootnoteFont", QStringLiteral("Footnotes"));
    SetFonts = named(new QPushButton(QStringLiteral("Set &Fonts"), fontsBox), "SetFonts");
    fontsLayout->addRow(QString(), SetFonts);

    const auto check = [this](QCheckBox*& member, const char* name, const QString& caption) {
        member = named(new QCheckBox(caption, this), name);
    };
    check(Level1Group, "Level1Group", QStringLiteral("Group by Level &1 Sort"));
    check(Level2Group, "Level2Group", QStringLiteral("Group by Level &2 Sort"));
    check(ColumnHeaders, "ColumnHeaders", QStringLiteral("Colu&mn Headers"));
    check(HorzLines, "HorzLines", QStringLiteral("Hori&zontal Lines"));
    check(VertLines, "VertLines", QStringLiteral("&Vertical Lines"));
    check(DateOnPage, "DateOnPage", QStringLiteral("Date On P&ages"));
    check(PageNumbers, "PageNumbers", QStringLiteral("Pa&ge Numbers"));
    check(LandOrient, "LandOrient", QStringLiteral("Print &Landscape"));
    check(UseTotals, "UseTotals", QStringLiteral("Use T&otals"));
    auto* optionsBox = new QGroupBox(QStringLiteral("Report Options"), this);
    auto* optionsLayout = new QGridLayout(optionsBox);
    const QCheckBox* order[] = {Level1Group, Level2Group, ColumnHeaders, HorzLines, VertLines,
                                DateOnPage,  PageNumbers, LandOrient,    UseTotals};
    for (int i = 0; i < 9; ++i)
        optionsLayout->addWidget(const_cast<QCheckBox*>(order[i]), i % 5, i / 5);

    NumLines = edit(this, "NumLines", 2);
    NumLines->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    auto* numLinesLabel = new QLabel(QStringLiteral("Number of L&ines"), this);
    numLinesLabel->setBuddy(NumLines);
    SpecifyButton = named(new QPushButton(QStringLiteral("&Specify Report Content"), this), "SpecifyButton");
    auto* linesRow = new QHBoxLayout;
    linesRow->addWidget(numLinesLabel);
    linesRow->addWidget(NumLines);
    linesRow->addStretch(1);
    optionsLayout->addLayout(linesRow, 4, 1);
    optionsLayout->addWidget(SpecifyButton, 5, 0, 1, 2);

    auto* marginsBox = new QGroupBox(QStringLiteral("Margins (in inches)"), this);
    auto* marginsLayout = new QGridLayout(marginsBox);
    const auto margin = [&](QLineEdit*& member, const char* name, const QString& caption, int column) {
        member = edit(marginsBox, name, 5);
        member->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 12);
        auto* label = new QLabel(caption, marginsBox);
        label->setBuddy(member);
        marginsLayout->addWidget(label, 0, column * 2);
        marginsLayout->addWidget(member, 0, column * 2 + 1);
    };
    margin(TopMargin, "TopMargin", QStringLiteral("To&p"), 0);
    margin(BottomMargin, "BottomMargin", QStringLiteral("&Bottom"), 1);
    margin(LeftMargin, "LeftMargin", QStringLiteral("L&eft"), 2);
    margin(RightMargin, "RightMargin", QStringLiteral("&Right"), 3);

    UpdateButton = named(new QPushButton(QStringLiteral("&Update"), this), "UpdateButton");
    CancelButton = named(new QPushButton(QStringLiteral("&Cancel"), this), "CancelButton");
    DeleteButton = named(new QPushButton(QStringLiteral("&Delete"), this), "DeleteButton");
    HelpButton = named(new QPushButton(QStringLiteral("&Help"), this), "HelpButton");
    UpdateButton->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : {UpdateButton, CancelButton, DeleteButton, HelpButton})
        buttons->addWidget(b);

    auto* grid = new QGridLayout(this);
    grid->addWidget(nameBox, 0, 0);
    grid->addWidget(widthBox, 0, 1);
    grid->addWidget(titlesBox, 1, 0, 1, 2);
    grid->addWidget(fontsBox, 2, 0);
    grid->addWidget(optionsBox, 2, 1);
    grid->addWidget(marginsBox, 3, 0, 1, 2);
    grid->addLayout(buttons, 4, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(2, 1); // room to spare goes to the fonts and options
    resize(600, 440);

    connect(ReportName, &QLineEdit::editingFinished, this, &TUserReport::ReportNameExit);
    for (QLineEdit* e : {NumLines, TopMargin, BottomMargin, LeftMargin, RightMargin})
        connect(e, &QLineEdit::editingFinished, this, &TUserReport::NumLinesExit);
    connect(Level1Group, &QCheckBox::clicked, this, &TUserReport::Level1GroupClick);
    connect(Chars90, &QRadioButton::clicked, this, &TUserReport::Chars90Click);
    connect(Chars120, &QRadioButton::clicked, this, &TUserReport::Chars120Click);
    connect(Chars150, &QRadioButton::clicked, this, &TUserReport::Chars150Click);
    connect(SetFonts, &QPushButton::clicked, this, &TUserReport::SetFontsClick);
    connect(SpecifyButton, &QPushButton::clicked, this, &TUserReport::SpecifyButtonClick);
    connect(UpdateButton, &QPushButton::clicked, this, &TUserReport::UpdateButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TUserReport::CancelButtonClick);
    connect(DeleteButton, &QPushButton::clicked, this, &TUserReport::DeleteButtonClick);
    connect(HelpButton, &QPushButton::clicked, this, [this] {
        if (m_services.showHelp)
            m_services.showHelp(QStringLiteral("Report Definition"));
    });
}

void TUserReport::showEvent(QShowEvent* event)
{
    if (!m_shown) {
        m_shown = true;
        applyLook(this, m_look);
        ReportName->setFocus();
    }
    QDialog::showEvent(event);
}

void TUserReport::FormShow()
{
    const ReportDefinition& d = m_definition;
    ReportName->setText(QString::fromStdString(d.name));
    Title1->setText(QString::fromStdString(d.titles[0]));
    Title2->setText(QString::fromStdString(d.titles[1]));
    Title3->setText(QString::fromStdString(d.titles[2]));
    (d.width == 150 ? Chars150 : d.width == 120 ? Chars120 : Chars90)->setChecked(true);
    TopMargin->setText(usNumber(d.marginTop, 2));
    BottomMargin->setText(usNumber(d.marginBottom, 2));
    LeftMargin->setText(usNumber(d.marginLeft, 2));
    RightMargin->setText(usNumber(d.marginRight, 2));
    NumLines->setText(usNumber(d.lineCount, 0));
    Level1Group->setChecked(d.groupLevel1);
    Level2Group->setChecked(d.groupLevel1 && d.groupLevel2);
    Level2Group->setEnabled(d.groupLevel1);
    ColumnHeaders->setChecked(d.columnHeaders);
    HorzLines->setChecked(d.horizontalLines);
    VertLines->setChecked(d.verticalLines);
    DateOnPage->setChecked(d.dateOnPages);
    PageNumbers->setChecked(d.pageNumbers);
    LandOrient->setChecked(d.landscape);
    UseTotals->setChecked(d.useTotals);
    enableLineOptions(d.lineCount);
    DeleteButton->setEnabled(!m_new);
    RefreshFonts();
    m_openingName = d.name;
    ReportName->setFocus();
}

void TUserReport::RefreshFonts()
{
    TitleLineFont->setText(blockText(m_definition.fonts[0]));
    ColumnHeaderFont->setText(blockText(m_definition.fonts[1]));
    RepBodyDataFont->setText(blockText(m_definition.fonts[2]));
    FootnoteFont->setText(blockText(m_definition.fonts[4]));
}

int TUserReport::checkedWidth() const
{
    return Chars150->isChecked() ? 150 : Chars120->isChecked() ? 120 : 90;
}

void TUserReport::enableLineOptions(int lines)
{
    // Box lines and column headers only suit single-line reports; disabled ones keep their values.
    for (QCheckBox* box : {ColumnHeaders, HorzLines, VertLines})
        box->setEnabled(lines < 2);
}

void TUserReport::ReportNameExit()
{
    // A new report takes its name too, so the layout window can show it before the first save.
    m_definition.name = ReportName->text().trimmed().toStdString();
    if (!m_new)
        DeleteButton->setEnabled(m_definition.name == m_openingName);
}

void TUserReport::NumLinesExit()
{
    const std::optional<int> lines = readWholeNumber(NumLines->text().toStdString());
    if (!lines)
        return;
    m_definition.lineCount = *lines;
    NumLines->setText(QString::number(*lines));
    enableLineOptions(*lines);
}

bool TUserReport::NumLinesOk()
{
    const std::optional<int> lines = readWholeNumber(NumLines->text().toStdString());
    if (!lines || *lines < 0 || *lines > kMaxLines) {
        m_services.dialogs.beep();
        m_services.dialogs.message(
            QStringLiteral("Notice"),
            QStringLiteral("Number of lines must be in range of 0 to 12.  Please correct."), Button::Ok,
            Button::Ok, platform::Icon::Warning);
        NumLines->setFocus();
        return false;
    }
    m_definition.lineCount = *lines;
    NumLines->setText(QString::number(*lines));
    return true;
}

void TUserReport::Level1GroupClick()
{
    Level2Group->setEnabled(Level1Group->isChecked());
}

void TUserReport::SpecifyButtonClick()
{
    if (!NumLinesOk())
        return;
    TRepLayout layout(m_services, checkedWidth(), UseTotals->isChecked(), this);
    layout.exec();
}

void TUserReport::SetFontsClick()
{
    TReportFonts fonts(m_services, this);
    fonts.exec();
    RefreshFonts();
}

void TUserReport::switchTo(int width)
{
    const WidthSwitch change = widthSwitch(m_definition.width, width);
    if (!change.changes)
        return;
    if (change.question) {
        m_services.dialogs.beep();
        if (m_services.dialogs.message(QStringLiteral("Warning"), QString::fromLatin1(change.question),
                                       Button::Yes | Button::No, Button::No,
                                       platform::Icon::Warning) != Button::Yes) {
            // Checked again without a click, so no handler runs a second time.
            (m_definition.width == 150   ? Chars150
             : m_definition.width == 120 ? Chars120
                                         : Chars90)
                ->setChecked(true);
            return;
        }
    }
    switchWidth(m_definition, width);
    RefreshFonts();
    if (change.notice)
        m_services.dialogs.message(QStringLiteral("Notice"), QString::fromLatin1(change.notice), Button::Ok,
                                   Button::Ok, platform::Icon::Information);
}

void TUserReport::Chars90Click()
{
    switchTo(90);
}

void TUserReport::Chars120Click()
{
    switchTo(120);
}

void TUserReport::Chars150Click()
{
    switchTo(150);
}

void TUserReport::refuse(QWidget* control, const QString& text)
{
    m_services.dialogs.beep();
    m_services.dialogs.message(QStringLiteral("Error"), text, Button::Ok, Button::Ok,
                               platform::Icon::Warning);
    control->setFocus();
}

bool TUserReport::checkTexts()
{
    const std::pair<QLineEdit*, QString> texts[] = {{ReportName, QStringLiteral("Report Name")},
                                                    {Title1, QStringLiteral("first Report Title")},
                                                    {Title2, QStringLiteral("second Report Title")},
                                                    {Title3, QStringLiteral("third Report Title")}};
    for (const auto& [control, caption] : texts)
        if (const std::optional<std::string> bad = unholdableCharacter(control->text().toStdString())) {
            refuse(control, QStringLiteral("The %1 has the character \"%2\", which the report file cannot "
                                           "hold.  Please correct.")
                                .arg(caption, QString::fromStdString(*bad)));
            return false;
        }
    return true;
}

bool TUserReport::checkMargins()
{
    QLineEdit* const boxes[] = {TopMargin, BottomMargin, LeftMargin, RightMargin};
    std::array<std::optional<double>, 4> margins;
    for (std::size_t i = 0; i < margins.size(); ++i)
        margins[i] = readNumber(boxes[i]->text().toStdString());
    if (const std::optional<MarginProblem> problem =
            reports::checkMargins(margins, LandOrient->isChecked())) {
        refuse(boxes[std::size_t(problem->margin)], QString::fromStdString(problem->message));
        return false;
    }
    return true;
}

void TUserReport::SaveOutVars()
{
    ReportDefinition& d = m_definition;
    d.lineCount = *readWholeNumber(NumLines->text().toStdString());
    d.marginTop = *readNumber(TopMargin->text().toStdString());
    d.marginBottom = *readNumber(BottomMargin->text().toStdString());
    d.marginLeft = *readNumber(LeftMargin->text().toStdString());
    d.marginRight = *readNumber(RightMargin->text().toStdString());
    d.name = ReportName->text().trimmed().left(30).toStdString();
    d.titles[0] = Title1->text().trimmed().left(80).toStdString();
    d.titles[1] = Title2->text().trimmed().left(80).toStdString();
    d.titles[2] = Title3->text().trimmed().left(80).toStdString();
    d.width = checkedWidth();
    d.groupLevel1 = Level1Group->isChecked();
    d.groupLevel2 = d.groupLevel1 && Level2Group->isChecked();
    d.columnHeaders = ColumnHeaders->isChecked();
    d.horizontalLines = HorzLines->isChecked();
    d.verticalLines = VertLines->isChecked();
    d.dateOnPages = DateOnPage->isChecked();
    d.pageNumbers = PageNumbers->isChecked();
    d.landscape = LandOrient->isChecked();
    d.useTotals = UseTotals->isChecked();
}

void TUserReport::UpdateButtonClick()
{
    // Everything is checked before the definition changes, so a refusal leaves it as it was.
    if (!NumLinesOk() || !checkTexts() || !checkMargins())
        return;
    SaveOutVars();
    const bool wasNew = m_new;
    if (!m_new && m_definition.name != m_openingName) {
        m_services.dialogs.beep();
        const Button answer = m_services.dialogs.message(QStringLiteral("Warning"), kRename,
                                                         Button::Yes | Button::No | Button::Cancel,
                                                         Button::None, platform::Icon::Error);
        if (answer == Button::Cancel)
            return;
        if (answer == Button::Yes)
            m_new = true;
    }
    if (save())
        accept();
    else
        m_new = wasNew;
}

bool TUserReport::save()
{
    ReportFile file(m_services.reportFile);
    try {
        if (m_new) {
            m_position = file.append({m_definition});
            m_new = false;
            m_openingName = m_definition.name;
        } else {
            file.overwrite(m_position, m_definition, m_openingName);
        }
        m_fileChanged = true;
        return true;
    } catch (const ReportChangedError& e) {
        m_fileChanged = true; // the list no longer matches the file
        m_position = -1;
        refuse(UpdateButton, QString::fromUtf8(e.what()));
    } catch (const dbase::DatabaseError& e) {
        refuse(UpdateButton, QString::fromUtf8(e.what()));
    } catch (const DefinitionError& e) {
        refuse(UpdateButton, QString::fromUtf8(e.what()));
    }
    return false;
}

void TUserReport::DeleteButtonClick()
{
    m_services.dialogs.beep();
    if (m_services.dialogs.message(
            QStringLiteral("Warning"), QStringLiteral("Are you sure you want to delete this report?"),
            Button::Yes | Button::No, Button::No, platform::Icon::Question) != Button::Yes)
        return;
    try {
        ReportFile(m_services.reportFile).remove(m_position, m_openingName);
    } catch (const dbase::DatabaseError& e) {
        m_fileChanged = true;
        m_position = -1;
        refuse(DeleteButton, QString::fromUtf8(e.what()));
        return;
    }
    m_fileChanged = true;
    m_position = -1;
    accept();
}

void TUserReport::CancelButtonClick()
{
    reject();
}
