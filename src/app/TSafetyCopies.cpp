#include "app/TSafetyCopies.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

TSafetyCopies::TSafetyCopies(std::vector<db::SafetyCopy> copies, Restore restore,
                             std::function<void(const QString& keyword)> help, QWidget* parent)
    : QDialog(parent), m_copies(std::move(copies)), m_restore(std::move(restore)), m_help(std::move(help))
{
    setObjectName(QStringLiteral("SafetyCopies"));
    setWindowTitle(QStringLiteral("Restore Safety Copy"));
    auto* layout = new QVBoxLayout(this);

    auto* intro = new QLabel(
        m_copies.empty()
            ? QStringLiteral("No safety copies have been kept yet.  A copy of the database and its lists is "
                             "kept each time the program closes after a change.")
            : QStringLiteral(
                  "A copy of the database and its lists is kept each time the program closes after a "
                  "change; the newest five of each database are kept.  Choose the copy to restore:"),
        this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("CopyList"));
    m_list->setRootIsDecorated(false);
    m_list->setAllColumnsShowFocus(true);
    m_list->setHeaderLabels({QStringLiteral("Taken"), QStringLiteral("Database"), QStringLiteral("Records")});
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    for (const db::SafetyCopy& copy : m_copies) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, copy.made.toString(QStringLiteral("yyyy-MM-dd  HH:mm:ss")));
        item->setText(1, QFileInfo(copy.source).fileName());
        item->setToolTip(1, copy.source);
        item->setText(2, english.toString(copy.records));
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    }
    // The database's name takes the room left beside the time and the count.
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_list->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_list->header()->setStretchLastSection(false);
    m_list->setMinimumSize(460, 180);
    layout->addWidget(m_list, 1);

    m_lists = new QCheckBox(QStringLiteral("Also restore the &pick lists of this copy"), this);
    m_lists->setObjectName(QStringLiteral("RestoreLists"));
    layout->addWidget(m_lists);

    auto* buttons = new QDialogButtonBox(this);
    m_restoreButton = buttons->addButton(QStringLiteral("&Restore"), QDialogButtonBox::AcceptRole);
    m_restoreButton->setObjectName(QStringLiteral("RestoreButton"));
    QPushButton* cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    QPushButton* helpButton = buttons->addButton(QStringLiteral("&Help"), QDialogButtonBox::HelpRole);
    helpButton->setObjectName(QStringLiteral("HelpButton"));
    layout->addWidget(buttons);

    m_restoreButton->setEnabled(!m_copies.empty());
    m_restoreButton->setDefault(true);
    if (!m_copies.empty())
        m_list->setCurrentItem(m_list->topLevelItem(0));
    connect(m_restoreButton, &QPushButton::clicked, this, &TSafetyCopies::RestoreButtonClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(helpButton, &QPushButton::clicked, this, [this] {
        if (m_help)
            m_help(QStringLiteral("Safety Copies"));
    });
    connect(m_list, &QTreeWidget::itemActivated, this, &TSafetyCopies::RestoreButtonClick);
    resize(sizeHint().expandedTo(QSize(520, 320)));
}

void TSafetyCopies::RestoreButtonClick()
{
    const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
    if (row < 0 || row >= static_cast<int>(m_copies.size()))
        return;
    if (m_restore && m_restore(m_copies[std::size_t(row)], m_lists->isChecked()))
        accept();
}
