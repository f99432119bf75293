#pragma once

#include "db/BookTable.h"
#include "db/CommandGuard.h"
#include "platform/Dialogs.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace db {

class DateText;

// Sets one book field to a new value in every record whose value in that field
// equals a given one: character fields compared whole and without regard to the
// case of a-z, numbers by value (blank reads as 0), dates by date.
//
// Everything is checked before the first write: the texts against the field's
// kind, the replacement against its width, decimals and the table's code page.
// The run holds the file for our use alone, walks it in physical order with the
// order tag "NewIndex" dropped (so a changed sort field moves no record under
// the walk) and puts back, on every way out, the tag, the search and the book
// table open shared with its viewer options.
class BookReplace {
public:
    struct Request {
        int field = -1; // position in the book record; -1: none chosen
        QString search; // as typed; blanks around it do not count
        QString replacement;
        bool confirm = false;    // ask before each change
        bool searchOnly = false; // only the records of the search that is on
    };

    struct Counts {
        std::uint64_t processed = 0; // records visited
        std::uint64_t found = 0;     // records that matched, changed or not
        std::uint64_t changed = 0;   // records written
    };

    // The control a refusal sends the user back to.
    enum class Control { Field, Search, Replacement };
    struct Refusal {
        QString message;
        Control control;
    };

    struct Hooks {
        CommandHooks command;                // viewer options, record count, hourglass, errors
        std::function<QString()> sortString; // the current sort string; empty: physical order
        std::function<bool()> searchOn;
        // Switches the search-on state (flag, label, button) without touching the table.
        std::function<void(bool on)> setSearchOn;
        // The counters, at most every 50 ms during a run, before each question and at its end.
        std::function<void(const Counts&)> showCounts;
        // The title a field is shown by; the book record's default titles when empty.
        std::function<QString(int field)> fieldTitle;
    };

    enum class Outcome { Refused, InUse, Finished, Cancelled, Failed };

    // The references must outlive the object; `fs` serves the exclusive opens.
    BookReplace(BookTable& table, platform::Dialogs& dialogs, const DateText& dates, Hooks hooks,
                dbase::FileSystem& fs = dbase::defaultFileSystem());

    // What stops `request` before anything is touched; nothing when it may run.
    // The book table must be open.
    std::optional<Refusal> check(const Request& request) const;

    // Checks, then runs `request`, telling the user the outcome; a refusal is also
    // kept in lastRefusal(). Throws DatabaseError when no book table was ever open
    // and lets through a failure to open the table again (it is then left closed).
    Outcome run(const Request& request);

    const Counts& counts() const { return m_counts; }
    // `count` with "," between groups of three digits, whatever the locale: "12,345".
    static QString countText(std::uint64_t count);
    const std::optional<Refusal>& lastRefusal() const { return m_refusal; }

private:
    struct Target; // the request converted for the walk

    std::optional<Refusal> convert(const Request& request, Target& target) const;
    std::optional<Refusal> checkReplacement(const Request& request, const QString& text) const;
    bool walk(dbase::Table& table, const Target& target, const std::vector<bool>& inSearch);
    QString restoreTag(const std::string& path, std::unique_ptr<dbase::Table>& exclusive, bool failed);
    void tell(bool force);
    QString title(int field) const;
    void showError(const QString& text);

    BookTable& m_table;
    platform::Dialogs& m_dialogs;
    const DateText& m_dates;
    Hooks m_hooks;
    dbase::FileSystem& m_fs;
    Counts m_counts;
    std::optional<Refusal> m_refusal;
    std::int64_t m_lastShown = 0; // steady-clock milliseconds of the last showCounts
};

} // namespace db
