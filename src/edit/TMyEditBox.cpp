#include "TMyEditBox.h"

#include "edit/PickLists.h"
#include "platform/Dialogs.h"
#include "settings/Scaling.h"
#include "settings/WindowLook.h"

#include <QApplication>
#include <QCollator>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QSet>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr QSize kDesignSize{262, 442};

QPushButton* makeButton(const QString& text, const QString& name, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    return button;
}

// Ascending alphabetical order ignoring case, as the list control of the system sorts.
void sortIgnoringCase(QStringList& entries)
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(entries.begin(), entries.end(),
                     [&collator](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
}

} // namespace

namespace edit {

bool maintainPickList(QWidget* parent, PickLists& lists, int list, platform::Dialogs& dialogs,
                      const DialogServices& services)
{
    TMyEditBox window(lists, list, dialogs, services, parent);
    return window.exec() == QDialog::Accepted;
}

} // namespace edit

TMyEditBox::TMyEditBox(edit::PickLists& lists, int list, platform::Dialogs& dialogs,
                       const edit::DialogServices& services, QWidget* parent)
    : QDialog(parent), m_lists(lists), m_dialogs(dialogs), m_services(services),
      m_list(edit::pickListInfo(list).number)
{
    setObjectName(QStringLiteral("TMyEditBox"));
    setModal(true);
    const edit::PickListInfo& info = edit::pickListInfo(list);
    setWindowTitle(QStringLiteral("Edit \"%1\" List").arg(QLatin1String(info.captionName)));

    AddInfo = new QLineEdit(this);
    AddInfo->setObjectName(QStringLiteral("AddInfo"));
    AddInfo->setMaxLength(info.maxEntryLength);
    AddButton = makeButton(QStringLiteral("&Add"), QStringLiteral("AddButton"), this);
    // Enter in the entry box adds the entry rather than closing the window.
    AddButton->setDefault(true);
    TheList = new QListWidget(this);
    TheList->setObjectName(QStringLiteral("TheList"));
    TheList->setSelectionMode(QAbstractItemView::SingleSelection);
    TheList->setUniformItemSizes(true); // long lists stay quick to fill
    TheList->addItems(lists.entries(list));
    DeleteButton = makeButton(QStringLiteral("&Delete"), QStringLiteral("DeleteButton"), this);
    SortButton = makeButton(QStringLiteral("&Sort"), QStringLiteral("SortButton"), this);
    FillButton = makeButton(QStringLiteral("&Fill from Books"), QStringLiteral("FillButton"), this);
    FillButton->setToolTip(QStringLiteral("Add the values the books of this database hold"));
    FillButton->setEnabled(static_cast<bool>(services.fieldTexts));
    OkButton = makeButton(QStringLiteral("&Ok"), QStringLiteral("OkButton"), this);
    CancelButton = makeButton(QStringLiteral("&Cancel"), QStringLiteral("CancelButton"), this);

    auto* entryRow = new QHBoxLayout;
    entryRow->addWidget(AddInfo, 1);
    entryRow->addWidget(AddButton);
    auto* buttons = new QGridLayout;
    buttons->addWidget(DeleteButton, 0, 0);
    buttons->addWidget(SortButton, 0, 1);
    buttons->addWidget(FillButton, 1, 0, 1, 2);
    buttons->addWidget(OkButton, 2, 0);
    buttons->addWidget(CancelButton, 2, 1);
    buttons->setVerticalSpacing(10);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addLayout(entryRow);
    layout->addWidget(TheList, 1);
    layout->addSpacing(4);
    layout->addLayout(buttons);
    resize(kDesignSize);

    connect(AddButton, &QPushButton::clicked, this, &TMyEditBox::AddButtonClick);
    connect(DeleteButton, &QPushButton::clicked, this, &TMyEditBox::DeleteButtonClick);
    connect(SortButton, &QPushButton::clicked, this, &TMyEditBox::SortButtonClick);
    connect(FillButton, &QPushButton::clicked, this, &TMyEditBox::FillButtonClick);
    connect(OkButton, &QPushButton::clicked, this, &TMyEditBox::OkButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TMyEditBox::CancelButtonClick);
}

QStringList TMyEditBox::items() const
{
    QStringList items;
    items.reserve(TheList->count());
    for (int row = 0; row < TheList->count(); ++row)
        items.append(TheList->item(row)->text());
    return items;
}

void TMyEditBox::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TMyEditBox::FormShow()
{
    if (m_services.fonts)
        settings::applyFonts(this, *m_services.fonts);
    settings::scaleAndCentre(this, m_services.factor, m_services.screen, false);
    applyColors();
    TheList->setFocus();
    if (TheList->count() > 0)
        TheList->setCurrentRow(0);
}

void TMyEditBox::applyColors()
{
    if (m_services.colors)
        settings::applyColorScheme(this, *m_services.colors, {.edits = {AddInfo}, .lists = {TheList}});
}

void TMyEditBox::AddButtonClick()
{
    const QString entry = AddInfo->text().trimmed();
    if (!entry.isEmpty())
        TheList->addItem(entry);
    AddInfo->clear();
    AddInfo->setFocus();
}

void TMyEditBox::DeleteButtonClick()
{
    const QList<QListWidgetItem*> selected = TheList->selectedItems();
    if (selected.isEmpty())
        return;
    const int row = TheList->row(selected.first());
    delete TheList->takeItem(row);
    if (TheList->count() > 0)
        TheList->setCurrentRow(std::min(row, TheList->count() - 1));
}

void TMyEditBox::SortButtonClick()
{
    m_dialogs.beep();
    const platform::Button answer = m_dialogs.message(
        QStringLiteral("Confirm"),
        QStringLiteral("Are you sure you want to sort the data?  Sorting cannot be undone."),
        platform::Button::Yes | platform::Button::No, platform::Button::No, platform::Icon::Question);
    if (answer != platform::Button::Yes)
        return;
    QStringList entries = items();
    sortIgnoringCase(entries);
    TheList->clear();
    TheList->addItems(entries);
}

void TMyEditBox::FillButtonClick()
{
    if (!m_services.fieldTexts)
        return;
    QStringList found;
    {
        // Reading every book takes seconds in a large catalogue.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        // The schema's names are literals, so the view's text ends with its NUL.
        found = m_services.fieldTexts(db::bookFields()[std::size_t(db::pickListField(m_list))].name.data());
    }
    QStringList held = items();
    QSet<QString> known(held.begin(), held.end());
    QStringList added;
    for (const QString& text : found) {
        const QString entry = edit::cleanEntry(text).left(AddInfo->maxLength());
        if (!entry.isEmpty() && !known.contains(entry)) {
            known.insert(entry);
            added.append(entry);
        }
    }
    sortIgnoringCase(added);
    TheList->addItems(added);
    if (!added.isEmpty())
        TheList->setCurrentRow(TheList->count() - int(added.size()));
    QString text = QStringLiteral("The list already holds every value the books hold.");
    if (added.size() == 1)
        text = QStringLiteral("1 value from the books was added at the end of the list.");
    else if (added.size() > 1)
        text =
            QStringLiteral("%1 values from the books were added at the end of the list.").arg(added.size());
    m_dialogs.message(QStringLiteral("Fill from Books"), text, platform::Button::Ok, platform::Button::Ok,
                      platform::Icon::Information);
}

void TMyEditBox::OkButtonClick()
{
    m_lists.setEntries(m_list, items());
    accept();
}

void TMyEditBox::CancelButtonClick()
{
    reject();
}
