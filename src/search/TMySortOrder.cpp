#include "TMySortOrder.h"

#include "settings/Scaling.h"
#include "settings/WindowLook.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char* const kCaptions[4] = {"Primary Sort", "Secondary Sort", "Third Level Sort", "Fourth Level Sort"};

} // namespace

TMySortOrder::TMySortOrder(search::SortOrderChange& change, const settings::Settings& settings,
                           const settings::SharedFonts& fonts, double scale, QSize screen, QWidget* parent)
    : QDialog(parent), m_change(change), m_settings(settings), m_fonts(fonts), m_scale(scale),
      m_screen(screen)
{
    setObjectName(QStringLiteral("TMySortOrder"));
    setWindowTitle(QStringLiteral("Sort Order"));
    setModal(true);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(8);
    grid->setColumnStretch(1, 1);
    for (int i = 0; i < 4; ++i) {
        auto* label = new QLabel(QLatin1String(kCaptions[i]), this);
        label->setObjectName(QStringLiteral("LabelSort%1").arg(i + 1));
        auto* combo = new QComboBox(this);
        combo->setObjectName(QStringLiteral("ComboBox%1").arg(i + 1));
        combo->setMaxVisibleItems(16);
        combo->setMinimumContentsLength(20); // the longest field title
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        label->setBuddy(combo);
        grid->addWidget(label, i, 0);
        grid->addWidget(combo, i, 1);
        m_labels[static_cast<std::size_t>(i)] = label;
        m_combos[static_cast<std::size_t>(i)] = combo;
    }

    OkButton = new QPushButton(QStringLiteral("&Ok"), this);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    OkButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    connect(OkButton, &QPushButton::clicked, this, &TMySortOrder::OkButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TMySortOrder::CancelButtonClick);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 12);
    layout->addLayout(grid);
    layout->addSpacing(14);
    layout->addLayout(buttons);

    FormCreate();
}

// Position 0 is "<NONE>" and position n the n-th book field, so a list position is a level value.
void TMySortOrder::FormCreate()
{
    QStringList items{QStringLiteral("<NONE>")};
    for (const settings::FieldSettings& field : m_settings.fields)
        items << field.title;
    for (QComboBox* combo : m_combos) {
        combo->clear();
        combo->addItems(items);
    }
}

void TMySortOrder::showEvent(QShowEvent* event)
{
    FormShow();
    QDialog::showEvent(event);
}

void TMySortOrder::FormShow()
{
    settings::fitWindow(this, m_fonts, m_scale, m_screen);
    const std::array<int, 4>& levels = m_change.levels();
    for (std::size_t i = 0; i < 4; ++i) {
        const int level = levels[i];
        m_combos[i]->setCurrentIndex(level >= 0 && level < m_combos[i]->count() ? level : 0);
    }
    SetColors();
}

void TMySortOrder::OkButtonClick()
{
    std::array<int, 4> levels{};
    for (std::size_t i = 0; i < 4; ++i)
        levels[i] = std::max(0, m_combos[i]->currentIndex());
    if (m_change.apply(levels) == search::SortOrderChange::Outcome::Applied)
        accept();
}

void TMySortOrder::CancelButtonClick()
{
    reject();
}

void TMySortOrder::SetColors()
{
    settings::SchemedControls controls;
    controls.minorTitles = {m_labels.begin(), m_labels.end()};
    settings::applyColorScheme(this, m_settings.scheme(settings::WindowGroup::Configure), controls);
}
