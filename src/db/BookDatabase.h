#pragma once

#include "db/BookTable.h"
#include "platform/Dialogs.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace db {

// The directory (with its trailing '/') of the absolute form of a database
// path, and its table name: the file name cut before its first ".". The table
// name is for display; the engine opens the exact file.
struct DatabaseName {
    QString directory;
    QString tableName;
};
DatabaseName splitDatabasePath(const QString& path);

// The production index of the table at `path` where the engine looks for it:
// the file name with ".MDX" for its last extension, in whatever letter case
// it exists; the upper-case name when there is none.
QString indexPathOf(const QString& path);

// The default database of the data directory: MASTER.DBF in whatever letter
// case it exists, else the upper-case name to create.
QString defaultDatabasePath(const QString& dataDir);

// Whether `fields` are the book record's 36 names in order, ignoring case;
// kinds and widths are not compared.
bool hasBookFields(const std::vector<dbase::Field>& fields);

inline constexpr int kMaxDatabasePathLength = 249;
inline constexpr const char* kOrderTag = "NewIndex";

// What the main window supplies. Every hook may be left empty.
struct DatabaseHooks {
    std::function<QString()> sortString; // the current sort string; empty: physical order
    std::function<bool()> searchOn;
    // Switches the search-on state off (flag, label, buttons). The switch of
    // database drops the record filter itself: the hook must not touch the table.
    std::function<void()> endSearch;
    std::function<void()> applyViewerConfig;
    std::function<void(const QString& previous, const QString& current)> updateRecentList;
    std::function<void(const QString& caption)> setCaption;
    std::function<void()> displayCount;
};

// The book database files and the switch from one database to another.
//
// A switch checks and opens the new database before the current one is given
// up, or opens the current one again: a database that cannot be opened —
// missing, damaged, held exclusively elsewhere — leaves the current one open
// and unchanged, and its engine error is thrown for the application's error
// display. Messages and file dialogs go through `dialogs`.
class BookDatabase {
public:
    // All references must outlive the BookDatabase.
    BookDatabase(BookTable& table, platform::Dialogs& dialogs, DatabaseHooks hooks,
                 dbase::FileSystem& fs = dbase::defaultFileSystem());

    const QString& currentPath() const { return m_currentPath; }
    const QString& indexPath() const { return m_indexPath; }

    // Creates the book table at `path`, replacing a file of that name, unless
    // another program uses it (then a message and false). Answers whether the
    // file exists afterwards.
    bool MakeNewDB(const QString& path);
    // Whether `path` is a book database; shows the refusal itself. Clears the
    // production-index flag first when the index file is missing.
    bool CheckDBaseFormat(const QString& path);
    // Writes 0 into byte 28 of the file. Does nothing when the file cannot be
    // opened for writing; a failing write throws dbase::IoError.
    void RemoveMDXByte(const QString& path);
    // Whether another program holds the table. Our own book table on that file
    // is closed for the test and opened again afterwards.
    bool DBaseInUse(const QString& path);

    void DoNew();
    void DoOpen();
    void OpenSaveFile(const QString& path);

    enum class StartUp {
        Opened,
        CannotCreate, // the default database could not be created; the reason was shown
        UserQuit,     // the user chose to quit rather than pick a database
    };
    // Chooses and opens the first database: `lastDatabase` when it exists,
    // else the data directory's MASTER.DBF, created when missing. When it is
    // not a book database the open dialog runs until one is chosen; a
    // cancelled dialog offers to quit.
    StartUp startUp(const QString& lastDatabase, const QString& dataDir);

private:
    // Rebuild: the "NewIndex" tag is made afresh whenever the file can be had
    // exclusively. KeepWhenFitting (start-up): a tag whose expression is the
    // sort string is used as it is.
    enum class TagStep { Rebuild, KeepWhenFitting };

    bool openFromDialog(); // false when the dialog was cancelled
    bool createDefault(const QString& path);
    void makeCurrent(const QString& path, TagStep step);
    void becomeCurrent(const QString& path, std::unique_ptr<dbase::Table> table);
    std::unique_ptr<dbase::Table> prepare(const std::string& path, TagStep step);
    bool setUpIndex(dbase::Table& table);
    void applyOrder(dbase::Table& table, bool declinedRebuild);
    bool orderTagFits(const dbase::Table& table) const;
    static bool hasUsableOrderTag(const dbase::Table& table);
    bool acceptablePath(const QString& path);
    bool recognisedAtStartUp(const QString& path);
    void reopenAfter(const std::string& failure);
    bool ownTableOn(const std::string& path) const;
    void endSearchIfOn(bool dropFilter);
    QString sortString() const;
    void showMessage(const QString& caption, const QString& text, platform::Icon icon);
    void showWarnings(const dbase::Table& table);
    void showWalkWarnings();
    void showNewWarnings(const std::vector<std::string>& found);
    void tellOfLostIndex();
    template <class Work> void thenDisplayCount(Work work);

    BookTable& m_table;
    platform::Dialogs& m_dialogs;
    DatabaseHooks m_hooks;
    dbase::FileSystem& m_fs;
    QString m_currentPath;
    QString m_indexPath;
    std::vector<std::string> m_repairWarnings; // from the exclusive open before the shared one
    std::vector<std::string> m_warningsShown;  // told of the current table
    bool m_lostIndexTold = false;              // the user knows why the current table lost its order
    QObject m_watch;                           // ends the watch on the table's signals with us
};

} // namespace db
