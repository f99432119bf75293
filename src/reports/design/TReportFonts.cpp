#include "reports/design/TReportFonts.h"

#include "platform/Dialogs.h"
#include "reports/design/ReportFontChoice.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>

using namespace reports;

TReportFonts::TReportFonts(ReportServices& services, QWidget* parent)
    : QDialog(parent), m_services(services), m_look(designLook(services.settings))
{
    setObjectName(QStringLiteral("TReportFonts"));
    setWindowTitle(QStringLiteral("Report Fonts"));
    setModal(true);
    struct Row {
        QLineEdit*& edit;
        QPushButton*& font;
        QPushButton*& colour;
        const char* editName;
        const char* fontName;
        const char* colourName;
        QString caption;
    };
    const Row rows[] = {
        {TitleFont, TitleFontButton, TitleColorButton, "TitleFont", "TitleFontButton", "TitleColorButton",
         QStringLiteral("&Titles Font")},
        {ColumnFont, ColumnFontButton, ColumnColorButton, "ColumnFont", "ColumnFontButton",
         "ColumnColorButton", QStringLiteral("&Column Header Font")},
        {BodyFont, BodyFontButton, BodyColorButton, "BodyFont", "BodyFontButton", "BodyColorButton",
         QStringLiteral("Report &Body Font")},
        {FootnoteFont, FootnoteFontButton, FootnoteColorButton, "FootnoteFont", "FootnoteFontButton",
         "FootnoteColorButton", QStringLiteral("&Footnote Font")},
    };
    auto* grid = new QGridLayout(this);
    for (int i = 0; i < 4; ++i) {
        const Row& row = rows[i];
        row.edit = new QLineEdit(this);
        row.edit->setObjectName(QString::fromLatin1(row.editName));
        row.edit->setReadOnly(true);
        row.edit->setFocusPolicy(Qt::NoFocus);
        row.edit->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 30);
        row.font = new QPushButton(QStringLiteral("New Font"), this);
        row.font->setObjectName(QString::fromLatin1(row.fontName));
        row.colour = new QPushButton(QStringLiteral("Colour"), this);
        row.colour->setObjectName(QString::fromLatin1(row.colourName));
        auto* label = new QLabel(row.caption, this);
        label->setBuddy(row.font); // the letter opens the font dialog's button
        grid->addWidget(label, i * 2, 0, 1, 3);
        grid->addWidget(row.edit, i * 2 + 1, 0);
        grid->addWidget(row.font, i * 2 + 1, 1);
        grid->addWidget(row.colour, i * 2 + 1, 2);
        m_edits[std::size_t(i)] = row.edit;
        m_colours[std::size_t(i)] = row.colour;
        connect(row.font, &QPushButton::clicked, this, [this, i] { NewFontClick(i); });
        connect(row.colour, &QPushButton::clicked, this, [this, i] { ColorClick(i); });
        refresh(i);
    }
    OkButton = new QPushButton(QStringLiteral("&Ok"), this);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    OkButton->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OkButton);
    grid->addLayout(buttons, 8, 0, 1, 3);
    grid->setColumnStretch(0, 1);
    resize(420, 260);
    connect(OkButton, &QPushButton::clicked, this, &TReportFonts::OkButtonClick);
    connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, this, [this] {
        if (m_services.showHelp)
            m_services.showHelp(QStringLiteral("Report Fonts"));
    });
}

void TReportFonts::showEvent(QShowEvent* event)
{
    if (!m_shown) {
        m_shown = true;
        applyLook(this, m_look);
    }
    QDialog::showEvent(event);
}

ReportFontBlock& TReportFonts::block(int i)
{
    static constexpr std::size_t blocks[] = {0, 1, 2, 4}; // font 4 is unused
    return m_services.current.fonts[blocks[i]];
}

void TReportFonts::refresh(int i)
{
    const ReportFontBlock& b = block(i);
    m_edits[std::size_t(i)]->setText(blockText(b));
    QPixmap swatch(12, 12);
    swatch.fill(blockColour(b));
    m_colours[std::size_t(i)]->setIcon(swatch);
}

void TReportFonts::NewFontClick(int i)
{
    ReportFontBlock& b = block(i);
    const std::optional<QFont> chosen = m_services.dialogs.chooseFont(blockFont(b));
    if (!chosen)
        return;
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QString refusal = storeChosenFont(*chosen, screen ? screen->logicalDotsPerInch() : 96.0, b);
    if (!refusal.isEmpty())
        m_services.dialogs.message(QStringLiteral("Error"), refusal, platform::Button::Ok,
                                   platform::Button::Ok, platform::Icon::Warning);
    refresh(i);
}

void TReportFonts::ColorClick(int i)
{
    ReportFontBlock& b = block(i);
    if (const std::optional<QColor> colour = m_services.dialogs.chooseColor(blockColour(b))) {
        b.colour = windowsColour(*colour);
        refresh(i);
    }
}

void TReportFonts::OkButtonClick()
{
    accept();
}
