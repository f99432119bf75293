#pragma once

#include "db/BookSchema.h"
#include "dbase/DatabaseError.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>

#include <array>
#include <filesystem>
#include <string>

class QComboBox;

namespace edit {

inline constexpr int kPickListCount = db::kPickListCount;

// One of the nine pick lists, numbered 1-9 in this order: Author, Location, Where
// purchased, Category, Publisher, Rating, Book type, Check-out person, Condition. The
// book field each offers values for is db::pickListField(number).
struct PickListInfo {
    int number;
    const char* fileName;    // in the data directory; created in this case, found in any
    const char* editCombo;   // object name of its combo box in the record edit window
    const char* mainCombo;   // object name of its combo box in the main window
    const char* menuItem;    // object name of its List Maintenance menu item
    const char* menuText;    // that item's text, with its & mnemonic
    const char* captionName; // the list's name in the maintenance window's caption
    int maxEntryLength;      // longest entry typed in the maintenance window
};

const std::array<PickListInfo, kPickListCount>& pickListInfos();
// Throws std::out_of_range for a number outside 1-9.
const PickListInfo& pickListInfo(int list);

// A list file that cannot be read or written; names the file and the system's reason.
class PickListError : public dbase::DatabaseError {
public:
    PickListError(const std::filesystem::path& path, const std::string& action, const std::string& reason);
    // One error for several: the messages in turn, the path and reason of the first.
    PickListError(const PickListError& first, const std::string& message);
    const std::filesystem::path& path() const { return m_path; }
    const std::string& reason() const { return m_reason; }

private:
    std::filesystem::path m_path;
    std::string m_reason;
};

// An entry as the lists keep it: tabs become blanks, other control characters and
// byte order marks are dropped, blanks around it are removed. Empty means "no entry".
QString cleanEntry(const QString& text);

// The entries of a list file: UTF-16 when it starts with a UTF-16 byte order mark,
// UTF-8 when the whole file is valid UTF-8 (a byte order mark is dropped), otherwise
// Windows-1252. Lines end at CR LF, LF or CR; each line is cut to its first 255
// characters and cleaned as above; lines left empty are skipped. Never fails: any
// bytes give some list.
QStringList parsePickList(const QByteArray& bytes);

// The bytes of a list file: one entry per line, each line ended by CR LF, no byte
// order mark. Windows-1252 when every entry has a character there, so that programs
// reading the Windows code page read it; UTF-8 otherwise. Windows-1252 text that would
// also be valid UTF-8 (such as "Ã©") is written as UTF-8, so parsePickList() gives back
// exactly the cleaned entries of any list whose entries fit in 255 characters.
QByteArray serialisePickList(const QStringList& entries);

// The nine pick lists of the installation, shared by every window that offers them:
// the main window creates one and hands it by reference to the record edit window and
// the maintenance window. Lists are kept in file order, new entries at the end.
class PickLists : public QObject {
    Q_OBJECT

public:
    // The lists are empty until loadAll(); nothing is read or written here.
    explicit PickLists(std::filesystem::path dataDir, QObject* parent = nullptr);

    // Reads the nine files in list order, replacing what is held. A missing file gives
    // an empty list, and so does a file that cannot be opened, which is then never
    // written over (see saveAll). A list whose file fails while being read keeps what it
    // held and is never written over either. Reads every file, then throws PickListError
    // when any could not be read; the message names each such file with its reason,
    // path() and reason() give the first. Emits changed() per list read.
    void loadAll();
    // Writes every list changed since it was loaded or saved, and every list whose file
    // does not exist, each to a temporary file renamed over the old one; a list whose
    // file existed but could not be opened or read when loaded is left alone, so its
    // contents are never lost. Tries every list, then throws PickListError when any could
    // not be written or, having been changed, was left alone; the message names each such
    // file with its reason, path() and reason() give the first.
    void saveAll();
    // Writes list `list` alone, when it changed since it was loaded or saved, as saveAll
    // does; no other file is written or created. Throws PickListError when it cannot be
    // written or, its file having been unreadable when loaded, is left alone.
    void saveList(int list);

    const QStringList& entries(int list) const;
    // Replaces list `list` by the cleaned, non-empty `entries`, in their order.
    void setEntries(int list, const QStringList& entries);
    // Appends the cleaned `text` unless it is empty or the list already holds it exactly
    // (letter case counts: "Smith" is not "smith"). True when it was appended.
    bool add(int list, const QString& text);

    // The file of list `list`: the existing one whatever the case of its name, else the
    // upper-case name in the data directory.
    std::filesystem::path filePath(int list) const;

signals:
    // List `list` (1-9) now holds other entries.
    void changed(int list);

private:
    struct List {
        QStringList entries;
        bool unreadable = false; // the file existed but could not be opened or read when loaded
        bool dirty = false;      // changed since loaded or saved
    };
    List& at(int list);
    const List& at(int list) const;
    void load(int list);
    void save(int list) const;

    std::filesystem::path m_dataDir;
    std::array<List, kPickListCount> m_lists;
};

// Makes `combo` an editable pick-list combo box that keeps the user's text as typed: its
// completer suggests entries in a popup with letter case counting (Qt's default would
// complete "smith" into "Smith" and, on Enter or leaving the box, select "Smith"), and
// nothing typed is inserted into its list. The user can type at most `maxLength`
// characters (0: no limit); a longer text set or chosen is kept whole. A long entry does
// not widen the box.
void setUpPickCombo(QComboBox* combo, int maxLength);
// Fills `combo` with `entries`, keeping the text in its edit box, without signals.
void loadPickCombo(QComboBox* combo, const QStringList& entries);

} // namespace edit
