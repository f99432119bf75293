#include "QtDialogs.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

#include <array>
#include <utility>
#include <vector>

namespace platform {
namespace {

struct ButtonInfo {
    Button button;
    QMessageBox::ButtonRole role;
};

// In the order the buttons appear in a Windows message box.
constexpr std::array<ButtonInfo, 7> kButtons{{
    {Button::Ok, QMessageBox::AcceptRole},
    {Button::Yes, QMessageBox::YesRole},
    {Button::No, QMessageBox::NoRole},
    {Button::Abort, QMessageBox::RejectRole},
    {Button::Retry, QMessageBox::AcceptRole},
    {Button::Ignore, QMessageBox::AcceptRole},
    {Button::Cancel, QMessageBox::RejectRole},
}};

QMessageBox::Icon messageIcon(Icon icon)
{
    switch (icon) {
    case Icon::Information:
        return QMessageBox::Information;
    case Icon::Warning:
        return QMessageBox::Warning;
    case Icon::Error:
        return QMessageBox::Critical;
    case Icon::Question:
        return QMessageBox::Question;
    case Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// Escape answers Cancel, else No, else the only button; a box with other choices cannot be escaped.
Button escapeButton(Buttons buttons)
{
    if (buttons & Button::Cancel)
        return Button::Cancel;
    if (buttons & Button::No)
        return Button::No;
    for (const ButtonInfo& info : kButtons)
        if (buttons == info.button)
            return info.button;
    return Button::None;
}

struct NamedColor {
    const char* name;
    QRgb rgb;
};

// The colours a font's text can take without a colour dialog, in the order Windows lists them.
constexpr std::array<NamedColor, 16> kFontColors{{
    {"Black", 0x000000},
    {"Maroon", 0x800000},
    {"Green", 0x008000},
    {"Olive", 0x808000},
    {"Navy", 0x000080},
    {"Purple", 0x800080},
    {"Teal", 0x008080},
    {"Gray", 0x808080},
    {"Silver", 0xC0C0C0},
    {"Red", 0xFF0000},
    {"Lime", 0x00FF00},
    {"Yellow", 0xFFFF00},
    {"Blue", 0x0000FF},
    {"Fuchsia", 0xFF00FF},
    {"Aqua", 0x00FFFF},
    {"White", 0xFFFFFF},
}};

QIcon swatch(const QColor& color, QSize size)
{
    QPixmap pixmap(size);
    pixmap.fill(color);
    QPainter painter(&pixmap);
    painter.setPen(Qt::darkGray);
    painter.drawRect(0, 0, size.width() - 1, size.height() - 1);
    return pixmap;
}

// The font dialog with a colour choice: QFontDialog, without its buttons, serves as the font
// chooser, and the colour list joins its effects box.
class FontColorDialog : public QDialog {
public:
    FontColorDialog(const QFont& font, const QColor& color, QWidget* parent);

    FontChoice choice() const { return {m_chooser->currentFont(), m_color}; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void addColourRow(QVBoxLayout* fallback);
    void colourActivated(int index);
    void showColour(const QColor& color);

    QFontDialog* m_chooser = nullptr;
    QComboBox* m_colours = nullptr;
    QWidget* m_sample = nullptr; // the chooser's sample text, drawn in the colour
    QColor m_color;
};

FontColorDialog::FontColorDialog(const QFont& font, const QColor& color, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Font"));
    m_chooser = new QFontDialog(font, this);
    m_chooser->setObjectName(QStringLiteral("FontChooser"));
    m_chooser->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    m_chooser->setWindowFlags(Qt::Widget);
    m_chooser->setSizeGripEnabled(false);
    m_chooser->layout()->setContentsMargins(0, 0, 0, 0);
    // Return in the chooser's lists accepts it, Escape rejects it; either answers for this dialog.
    connect(m_chooser, &QDialog::accepted, this, &QDialog::accept);
    connect(m_chooser, &QDialog::rejected, this, &QDialog::reject);
    m_chooser->installEventFilter(this);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_chooser, 1);
    addColourRow(layout);
    layout->addWidget(buttons);
    showColour(color);
}

// QFontDialog names none of its parts: the effects box is the group holding check boxes, the
// sample the line edit in the other group. Should they ever be missing, the colour list and a
// sample of its own go under the chooser.
void FontColorDialog::addColourRow(QVBoxLayout* fallback)
{
    QBoxLayout* effects = nullptr;
    for (QGroupBox* group : m_chooser->findChildren<QGroupBox*>()) {
        if (!group->findChildren<QCheckBox*>().isEmpty())
            effects = qobject_cast<QBoxLayout*>(group->layout());
        else if (auto* sample = group->findChild<QLineEdit*>())
            m_sample = sample;
    }
    m_colours = new QComboBox(this);
    m_colours->setObjectName(QStringLiteral("ColorCombo"));
    for (const NamedColor& named : kFontColors)
        m_colours->addItem(swatch(QColor(named.rgb), m_colours->iconSize()), QString::fromLatin1(named.name),
                           QColor(named.rgb));
    m_colours->addItem(QStringLiteral("Custom..."));
    connect(m_colours, &QComboBox::activated, this, &FontColorDialog::colourActivated);
    auto* label = new QLabel(QStringLiteral("&Color:"), this);
    label->setBuddy(m_colours);

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(m_colours, 1);
    if (effects) {
        effects->addLayout(row);
    } else {
        fallback->addLayout(row);
        auto* sample = new QLabel(QStringLiteral("AaBbYyZz"), this);
        sample->setAlignment(Qt::AlignCenter);
        sample->setFont(m_chooser->currentFont());
        connect(m_chooser, &QFontDialog::currentFontChanged, sample, &QLabel::setFont);
        fallback->addWidget(sample);
        m_sample = sample;
    }
}

bool FontColorDialog::eventFilter(QObject* watched, QEvent* event)
{
    // A Return the chooser's parts leave alone would end in the chooser; it means OK here too.
    if (watched == m_chooser && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            accept();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void FontColorDialog::colourActivated(int index)
{
    if (index != m_colours->count() - 1) {
        showColour(m_colours->itemData(index).value<QColor>());
        return;
    }
    const QColor chosen = QColorDialog::getColor(m_color, this);
    showColour(chosen.isValid() ? chosen : m_color);
}

// Selects `color` in the list, as the custom entry when it is none of the standard ones.
void FontColorDialog::showColour(const QColor& color)
{
    m_color = QColor(color.rgb()); // opaque and plain RGB, as a Windows colour is
    const int custom = int(kFontColors.size());
    int index = m_colours->findData(m_color);
    if (index < 0 || index == custom) {
        if (m_colours->count() == custom + 1)
            m_colours->insertItem(custom, QStringLiteral("Custom"));
        m_colours->setItemIcon(custom, swatch(m_color, m_colours->iconSize()));
        m_colours->setItemData(custom, m_color);
        index = custom;
    }
    m_colours->setCurrentIndex(index);
    if (m_sample) {
        QPalette palette = m_sample->palette();
        palette.setColor(QPalette::Text, m_color);
        palette.setColor(QPalette::WindowText, m_color);
        m_sample->setPalette(palette);
    }
}

} // namespace

QString QtDialogs::buttonText(Button button)
{
    switch (button) {
    case Button::Ok:
        return QStringLiteral("OK");
    case Button::Cancel:
        return QStringLiteral("Cancel");
    case Button::Yes:
        return QStringLiteral("&Yes");
    case Button::No:
        return QStringLiteral("&No");
    case Button::Abort:
        return QStringLiteral("&Abort");
    case Button::Retry:
        return QStringLiteral("&Retry");
    case Button::Ignore:
        return QStringLiteral("&Ignore");
    case Button::None:
        break;
    }
    return {};
}

QWidget* QtDialogs::dialogParent()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

Button QtDialogs::message(const QString& caption, const QString& text, Buttons buttons, Button defaultButton,
                          Icon icon)
{
    if (!buttons)
        buttons = Button::Ok;
    QMessageBox box(messageIcon(icon), caption, text, QMessageBox::NoButton, dialogParent());
    box.setTextFormat(Qt::PlainText); // texts hold paths and user values, never markup
    std::vector<std::pair<QAbstractButton*, Button>> added;
    for (const ButtonInfo& info : kButtons) {
        if (!(buttons & info.button))
            continue;
        QPushButton* pushButton = box.addButton(buttonText(info.button), info.role);
        added.emplace_back(pushButton, info.button);
        if (info.button == defaultButton || (defaultButton == Button::None && added.size() == 1))
            box.setDefaultButton(pushButton);
        if (info.button == escapeButton(buttons))
            box.setEscapeButton(pushButton);
    }
    box.exec();
    for (const auto& [pushButton, button] : added)
        if (box.clickedButton() == pushButton)
            return button;
    // Closed without a button (only possible when the box has an escape button).
    return escapeButton(buttons);
}

void QtDialogs::beep()
{
    QApplication::beep();
}

QString QtDialogs::runFileDialog(const FileDialogOptions& options, bool save)
{
    QFileDialog dialog(dialogParent(), options.title, options.startDirectory);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(options.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!options.filters.isEmpty())
        dialog.setNameFilters(options.filters);
    dialog.setDefaultSuffix(options.defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.promptOverwrite);
    if (!options.fileName.isEmpty())
        dialog.selectFile(options.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString QtDialogs::openFile(const FileDialogOptions& options)
{
    return runFileDialog(options, false);
}

QString QtDialogs::saveFile(const FileDialogOptions& options)
{
    return runFileDialog(options, true);
}

QString QtDialogs::chooseDirectory(const QString& title, const QString& startDirectory)
{
    return QFileDialog::getExistingDirectory(dialogParent(), title, startDirectory);
}

std::optional<QFont> QtDialogs::chooseFont(const QFont& initial)
{
    bool accepted = false;
    QFont chosen = QFontDialog::getFont(&accepted, initial, dialogParent());
    if (!accepted)
        return std::nullopt;
    return chosen;
}

std::optional<FontChoice> QtDialogs::chooseFontWithColor(const QFont& initial, const QColor& initialColor)
{
    FontColorDialog dialog(initial, initialColor, dialogParent());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.choice();
}

std::optional<QColor> QtDialogs::chooseColor(const QColor& initial)
{
    QColor chosen = QColorDialog::getColor(initial, dialogParent());
    if (!chosen.isValid())
        return std::nullopt;
    return chosen;
}

bool QtDialogs::printerSetup(QPrinter& printer)
{
    QPrintDialog dialog(&printer, dialogParent());
    dialog.setWindowTitle(QStringLiteral("Printer Setup"));
    // Setup chooses the printer and its settings; ranges and copies belong to printing itself.
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace platform
