#include "TColorConfig.h"

#include "platform/Dialogs.h"
#include "settings/ColorScheme.h"
#include "settings/WindowLook.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

using settings::SchemeColor;
constexpr QSize kDesignSize(618, 415);
constexpr int kAllGroups = 6;

int validTarget(int target)
{
    return target >= 1 && target <= settings::kWindowGroupCount ? target : kAllGroups;
}

} // namespace

TColorConfig::TColorConfig(settings::Settings& settings, int target, platform::Dialogs& dialogs,
                           const settings::SharedFonts& fonts, double scale, QSize screen, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_target(validTarget(target)), m_dialogs(dialogs),
      m_fonts(fonts), m_scale(scale), m_screen(screen),
      m_work(settings.colorSchemes[std::size_t(m_target == kAllGroups ? 0 : m_target - 1)])
{
    setObjectName(QStringLiteral("TColorConfig"));
    setWindowTitle(QStringLiteral("Color Configuration"));
    setModal(true);
    createControls();
    resize(kDesignSize);
}

QPushButton* TColorConfig::colorButton(const char* name, const QString& caption, SchemeColor which)
{
    auto* button = new QPushButton(caption, this);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, which] { pickColor(which); });
    return button;
}

QGroupBox* TColorConfig::group(const char* name, const QString& caption, QWidget* sample,
                               std::initializer_list<QPushButton*> buttons)
{
    auto* box = new QGroupBox(caption, this);
    box->setObjectName(QLatin1String(name));
    auto* layout = new QVBoxLayout(box);
    layout->setSpacing(6);
    if (sample)
        layout->addWidget(sample);
    layout->addStretch();
    for (QPushButton* button : buttons)
        layout->addWidget(button);
    return box;
}

void TColorConfig::createControls()
{
    using C = SchemeColor;
    MainBack = colorButton("MainBack", QStringLiteral("Background"), C::MainBackground);
    MajorTitles = colorButton("MajorTitles", QStringLiteral("Major Titles"), C::MajorTitle);
    MinorTitles = colorButton("MinorTitles", QStringLiteral("Minor Titles"), C::MinorTitle);
    RadioText = colorButton("RadioText", QStringLiteral("Text"), C::RadioText);
    RadioBack = colorButton("RadioBack", QStringLiteral("Background"), C::RadioBackground);
    CheckText = colorButton("CheckText", QStringLiteral("Text"), C::CheckText);
    CheckBack = colorButton("CheckBack", QStringLiteral("Background"), C::CheckBackground);
    EditBoxText = colorButton("EditBoxText", QStringLiteral("Text"), C::EditText);
    EditBoxBack = colorButton("EditBoxBack", QStringLiteral("Background"), C::EditBackground);
    ComboText = colorButton("ComboText", QStringLiteral("Text"), C::ComboText);
    ComboBack = colorButton("ComboBack", QStringLiteral("Background"), C::ComboBackground);
    ListText = colorButton("ListText", QStringLiteral("Text"), C::ListBoxText);
    ListBack = colorButton("ListBack", QStringLiteral("Background"), C::ListBoxBackground);

    RadioButton = new QRadioButton(QStringLiteral("Radio Button"), this);
    RadioButton->setObjectName(QStringLiteral("RadioButton"));
    RadioButton->setChecked(true);
    CheckBox = new QCheckBox(QStringLiteral("Check Box"), this);
    CheckBox->setObjectName(QStringLiteral("CheckBox"));
    CheckBox->setChecked(true);
    EditBox = new QLineEdit(QStringLiteral("Sample Text"), this);
    EditBox->setObjectName(QStringLiteral("EditBox"));
    ComboBox = new QComboBox(this);
    ComboBox->setObjectName(QStringLiteral("ComboBox"));
    ComboBox->setEditable(true);
    ComboBox->addItem(QStringLiteral("ComboBox"));
    ListBox = new QListWidget(this);
    ListBox->setObjectName(QStringLiteral("ListBox"));
    ListBox->addItems({QStringLiteral("Sample Text"), QStringLiteral("Sample Text")});
    ListBox->setFixedHeight(ListBox->sizeHintForRow(0) * 2 + 2 * ListBox->frameWidth() + 4);

    WindowGroup =
        group("WindowGroup", QStringLiteral("Window"), nullptr, {MainBack, MajorTitles, MinorTitles});
    RadioGroup = group("RadioGroup", QStringLiteral("Radio Button"), RadioButton, {RadioText, RadioBack});
    CheckGroup = group("CheckGroup", QStringLiteral("Check Box"), CheckBox, {CheckText, CheckBack});
    EditGroup = group("EditGroup", QStringLiteral("Edit Box"), EditBox, {EditBoxText, EditBoxBack});
    ComboGroup = group("ComboGroup", QStringLiteral("Combo Box"), ComboBox, {ComboText, ComboBack});
    ListGroup = group("ListGroup", QStringLiteral("List Box"), ListBox, {ListText, ListBack});

    PredefinedLabel = new QLabel(QStringLiteral("Predefined Color Combinations"), this);
    PredefinedLabel->setObjectName(QStringLiteral("PredefinedLabel"));
    ColorSets = new QComboBox(this);
    ColorSets->setObjectName(QStringLiteral("ColorSets"));
    ColorSets->addItem(QString());
    for (int entry = 1; entry <= settings::kColorSetCount; ++entry)
        ColorSets->addItem(settings::colorSetName(entry));
    ColorSets->setMaxVisibleItems(settings::kColorSetCount + 1);
    ColorSets->setMinimumContentsLength(18);
    PredefinedLabel->setBuddy(ColorSets);
    connect(ColorSets, &QComboBox::activated, this, &TColorConfig::ColorSetsChange);

    Ok = new QPushButton(QStringLiteral("&Ok"), this);
    Ok->setObjectName(QStringLiteral("Ok"));
    Ok->setDefault(true);
    Cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    Cancel->setObjectName(QStringLiteral("Cancel"));
    connect(Ok, &QPushButton::clicked, this, &TColorConfig::OkClick);
    connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* groups = new QGridLayout;
    groups->setSpacing(10);
    QGroupBox* const order[] = {WindowGroup, RadioGroup, CheckGroup, EditGroup, ComboGroup, ListGroup};
    for (int i = 0; i < 6; ++i)
        groups->addWidget(order[i], i / 3, i % 3);
    auto* predefined = new QVBoxLayout;
    predefined->setSpacing(4);
    predefined->addWidget(PredefinedLabel);
    predefined->addWidget(ColorSets);
    auto* foot = new QHBoxLayout;
    foot->addLayout(predefined);
    foot->addStretch();
    foot->addWidget(Ok, 0, Qt::AlignBottom);
    foot->addWidget(Cancel, 0, Qt::AlignBottom);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 12);
    layout->addLayout(groups, 1);
    layout->addSpacing(8);
    layout->addLayout(foot);
}

void TColorConfig::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        settings::fitWindow(this, m_fonts, m_scale, m_screen);
        setFixedSize(size()); // a fixed dialog, at its scaled size
        paintSamples();
    }
    QDialog::showEvent(event);
}

// The dialog is its own sample: it wears the working copy.
void TColorConfig::paintSamples()
{
    settings::applyColorScheme(
        this, m_work,
        {.majorTitles = {WindowGroup, RadioGroup, CheckGroup, EditGroup, ComboGroup, ListGroup},
         .minorTitles = {PredefinedLabel},
         .edits = {EditBox},
         .combos = {ComboBox, ColorSets},
         .lists = {ListBox},
         .radios = {RadioButton},
         .checks = {CheckBox}});
}

void TColorConfig::pickColor(SchemeColor which)
{
    int& value = m_work[std::size_t(which)];
    const std::optional<QColor> chosen = m_dialogs.chooseColor(settings::colorFromWindows(value));
    if (!chosen || !chosen->isValid())
        return;
    value = settings::windowsColor(*chosen);
    paintSamples();
}

void TColorConfig::ColorSetsChange(int entry)
{
    if (entry < 1)
        return; // the blank entry stands for no combination
    settings::applyColorSet(m_work, entry);
    paintSamples();
}

void TColorConfig::OkClick()
{
    if (m_target == kAllGroups)
        m_settings.colorSchemes.fill(m_work);
    else
        m_settings.colorSchemes[std::size_t(m_target - 1)] = m_work;
    accept();
}
