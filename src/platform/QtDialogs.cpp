#include "QtDialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>
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
