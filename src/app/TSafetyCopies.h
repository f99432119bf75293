#pragma once

#include "db/SafetyCopies.h"

#include <QDialog>

#include <functional>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QTreeWidget;

// Lists the safety copies kept at close, newest first, with the time each was
// taken, its database and its record count. Restore hands the chosen copy to
// `restore`; the window itself changes no file.
class TSafetyCopies : public QDialog {
    Q_OBJECT

public:
    // `restore` receives the copy and whether its pick lists are wanted too; it
    // answers whether the restore went through, which closes the window.
    using Restore = std::function<bool(const db::SafetyCopy& copy, bool withLists)>;

    TSafetyCopies(std::vector<db::SafetyCopy> copies, Restore restore,
                  std::function<void(const QString& keyword)> help, QWidget* parent = nullptr);

    void RestoreButtonClick();

    QTreeWidget* list() const { return m_list; }
    QCheckBox* listsBox() const { return m_lists; }

private:
    std::vector<db::SafetyCopy> m_copies;
    Restore m_restore;
    std::function<void(const QString&)> m_help;
    QTreeWidget* m_list = nullptr;
    QCheckBox* m_lists = nullptr;
    QPushButton* m_restoreButton = nullptr;
};
