#include "BookReplace.h"

#include "db/BookDatabase.h"
#include "db/BookSchema.h"
#include "db/FieldText.h"
#include "dbase/DatabaseError.h"

#include <algorithm>
#include <charconv>
#include <chrono>

namespace db {
namespace {

using platform::Button;
using platform::Icon;

const QString kInUse = QStringLiteral(
    "Search and Replace requires exclusive use of the DBase File.  Make sure that the DBase File is not in "
    "use "
    "by another program  or that no other users are running the software or that no other copies of the "
    "software are in use.");
const QString kPleaseCorrect = QStringLiteral("  Please correct.");

enum class Kind { Text, Number, Date };

Kind kindOf(const dbase::Field& field)
{
    switch (field.type) {
    case dbase::FieldType::Numeric:
    case dbase::FieldType::Float:
        return Kind::Number;
    case dbase::FieldType::Date:
        return Kind::Date;
    default:
        return Kind::Text;
    }
}

// A decimal number with "." whatever the locale; nothing for anything else.
std::optional<double> decimal(const QString& text)
{
    const std::string bytes = text.trimmed().toStdString();
    std::string_view digits = bytes;
    if (!digits.empty() && digits.front() == '+')
        digits.remove_prefix(1);
    double value = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, std::chars_format::fixed);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return value;
}

// An untouched date box holds only its separators: no digit, no date.
std::optional<dbase::Date> dateOf(const QString& text, const DateText& dates)
{
    const QString trimmed = text.trimmed();
    if (std::none_of(trimmed.begin(), trimmed.end(), [](QChar c) { return c.isDigit(); }))
        return std::nullopt;
    return dates.read(trimmed);
}

// Only a-z change, so that the comparison means the same whatever the locale.
std::string upperAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return text;
}

std::int64_t nowMilliseconds()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The search-on state switched off for a walk over every book, and on again on every
// way out; it must end before the table is opened again, which reads the state.
class SearchPause {
public:
    SearchPause(const std::function<void(bool)>& setSearchOn, bool pause)
        : m_setSearchOn(setSearchOn), m_paused(pause && setSearchOn)
    {
        if (m_paused)
            m_setSearchOn(false);
    }
    ~SearchPause() { end(); }
    SearchPause(const SearchPause&) = delete;
    SearchPause& operator=(const SearchPause&) = delete;
    void end()
    {
        if (m_paused)
            m_setSearchOn(true);
        m_paused = false;
    }

private:
    const std::function<void(bool)>& m_setSearchOn;
    bool m_paused;
};

} // namespace

struct BookReplace::Target {
    int field = -1;
    Kind kind = Kind::Text;
    std::string search; // Text: upper-cased
    double searchNumber = 0;
    dbase::Date searchDate;
    std::string replacement; // Text and Number: as typed, trimmed
    dbase::Date replacementDate;
    bool confirm = false;
};

QString BookReplace::countText(std::uint64_t count)
{
    QString digits = QString::number(count);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(','));
    return digits;
}

BookReplace::BookReplace(BookTable& table, platform::Dialogs& dialogs, const DateText& dates, Hooks hooks,
                         dbase::FileSystem& fs)
    : m_table(table), m_dialogs(dialogs), m_dates(dates), m_hooks(std::move(hooks)), m_fs(fs)
{
}

std::optional<BookReplace::Refusal> BookReplace::check(const Request& request) const
{
    Target target;
    return convert(request, target);
}

std::optional<BookReplace::Refusal> BookReplace::convert(const Request& request, Target& target) const
{
    if (request.field < 0 || request.field >= int(m_table.fields().size()))
        return Refusal{QStringLiteral("No field has been selected."), Control::Field};
    target.field = request.field;
    target.kind = kindOf(m_table.fields()[std::size_t(request.field)]);
    target.confirm = request.confirm;
    const QString replacement = request.replacement.trimmed();
    switch (target.kind) {
    case Kind::Number: {
        const std::optional<double> search = decimal(request.search);
        if (!search)
            return Refusal{QStringLiteral("Invalid search value entered.  Please correct."), Control::Search};
        if (!decimal(replacement))
            return Refusal{QStringLiteral("Invalid replacement value entered.  Please correct."),
                           Control::Replacement};
        target.searchNumber = *search;
        break;
    }
    case Kind::Date: {
        const std::optional<dbase::Date> search = dateOf(request.search, m_dates);
        if (!search)
            return Refusal{QStringLiteral("Invalid search date entered.  Please correct."), Control::Search};
        const std::optional<dbase::Date> with = dateOf(replacement, m_dates);
        if (!with)
            return Refusal{QStringLiteral("Invalid replacement date entered.  Please correct."),
                           Control::Replacement};
        target.searchDate = *search;
        target.replacementDate = *with;
        return std::nullopt;
    }
    case Kind::Text:
        target.search = upperAscii(request.search.trimmed().toStdString());
        break;
    }
    if (std::optional<Refusal> refusal = checkReplacement(request, replacement))
        return refusal;
    target.replacement = replacement.toStdString();
    return std::nullopt;
}

// What the field cannot hold is refused here, before the first record changes.
std::optional<BookReplace::Refusal> BookReplace::checkReplacement(const Request& request,
                                                                  const QString& text) const
{
    const dbase::Field& field = m_table.fields()[std::size_t(request.field)];
    const QString name = title(request.field);
    const int typed = inputLength(request.field);
    if (kindOf(field) == Kind::Number) {
        if (typed > 0 && text.size() > typed)
            return Refusal{QStringLiteral("The replacement value \"%1\" is longer than the %2 characters %3 "
                                          "takes.")
                                   .arg(text)
                                   .arg(typed)
                                   .arg(name) +
                               kPleaseCorrect,
                           Control::Replacement};
        try {
            m_table.checkNumberText(request.field, text);
        } catch (const dbase::DatabaseError& error) {
            QString reason = QString::fromUtf8(error.what());
            reason.replace(QStringLiteral("the field ") + QString::fromStdString(field.name), name);
            return Refusal{reason + kPleaseCorrect, Control::Replacement};
        }
        return std::nullopt;
    }
    if (text.size() > field.length)
        return Refusal{QStringLiteral("The replacement text is longer than the %1 characters %2 holds.")
                               .arg(field.length)
                               .arg(name) +
                           kPleaseCorrect,
                       Control::Replacement};
    const QString bad = m_table.unstorableCharacter(text);
    if (!bad.isEmpty())
        return Refusal{QStringLiteral("The replacement text holds the character \"%1\", which the database "
                                      "(code page %2) cannot store.")
                               .arg(bad, m_table.codePageName()) +
                           kPleaseCorrect,
                       Control::Replacement};
    return std::nullopt;
}

BookReplace::Outcome BookReplace::run(const Request& request)
{
    m_counts = {};
    m_refusal.reset();
    if (m_table.path().empty())
        throw dbase::DatabaseError("No book database is open.");
    Target target;
    m_refusal = convert(request, target);
    if (m_refusal) {
        showError(m_refusal->message);
        return Outcome::Refused;
    }
    const bool searchOn = m_hooks.searchOn && m_hooks.searchOn();
    std::vector<bool> inSearch; // by record number; empty: every record
    if (request.searchOnly && searchOn) {
        inSearch.assign(std::size_t(m_table.physicalCount()) + 1, false);
        for (int row = 0; row < m_table.rowCount(); ++row)
            inSearch[m_table.recnoAt(row)] = true;
    }

    CommandGuard guard(m_table, m_hooks.command);
    const std::string path = guard.closeTable();
    std::unique_ptr<dbase::Table> exclusive;
    try {
        // The open is the test that no other program holds the file, and the hold for the run.
        exclusive = CommandGuard::openExclusive(path, false, m_fs);
    } catch (const dbase::DatabaseError&) {
        guard.restore();
        showError(kInUse);
        return Outcome::InUse;
    }
    SearchPause pause(m_hooks.setSearchOn, searchOn && inSearch.empty());
    guard.busy();
    tell(true);
    Outcome outcome = Outcome::Finished;
    QString failure;
    try {
        // A torn index would refuse every post, and its tags are rebuilt after the walk anyway.
        if (!exclusive->indexError().empty())
            exclusive->regenerateIndexes();
        exclusive->setOrder({});
        if (exclusive->hasTag(kOrderTag))
            exclusive->deleteTag(kOrderTag);
        if (!walk(*exclusive, target, inSearch))
            outcome = Outcome::Cancelled;
    } catch (const dbase::DatabaseError& error) {
        outcome = Outcome::Failed;
        failure = QString::fromUtf8(error.what());
    } catch (...) {
        restoreTag(path, exclusive, true);
        throw;
    }
    const QString tagLost = restoreTag(path, exclusive, outcome == Outcome::Failed);
    pause.end();
    const QString sort = m_hooks.sortString ? m_hooks.sortString().trimmed() : QString();
    guard.reopen(tagLost.isEmpty() && !sort.isEmpty() ? std::string(kOrderTag) : std::string());
    tell(true);

    QString notice;
    if (!tagLost.isEmpty())
        notice =
            QStringLiteral("\n\nThe sort order could not be set up again (%1), so the books are shown in "
                           "the order they were entered until the database is opened again.")
                .arg(tagLost);
    switch (outcome) {
    case Outcome::Failed:
        showError(QStringLiteral("Error in running search and replace.  Search and replace will be aborted.  "
                                 "%1\n\n%2 records had already been changed; they keep their new values.")
                      .arg(failure, countText(m_counts.changed)) +
                  notice);
        break;
    case Outcome::Cancelled:
        m_dialogs.message(QStringLiteral("Finished"),
                          QStringLiteral("Search and replace was cancelled.  %1 records had been changed.")
                                  .arg(countText(m_counts.changed)) +
                              notice,
                          Button::Ok, Button::Ok, Icon::Information);
        break;
    default:
        m_dialogs.message(QStringLiteral("Finished"),
                          QStringLiteral("Global Search and Replace Complete.") + notice, Button::Ok,
                          Button::Ok, Icon::Information);
    }
    return outcome;
}

// Visits every record in physical order; false when the user cancelled at a question.
bool BookReplace::walk(dbase::Table& table, const Target& target, const std::vector<bool>& inSearch)
{
    const int field = target.field;
    const auto matches = [&] {
        switch (target.kind) {
        case Kind::Number:
            return table.floating(field) == target.searchNumber;
        case Kind::Date:
            return table.date(field) == target.searchDate;
        default:
            return upperAscii(table.text(field)) == target.search;
        }
    };
    const auto write = [&] {
        table.edit();
        if (target.kind == Kind::Date)
            table.setDate(field, target.replacementDate);
        else
            table.setText(field, target.replacement);
        table.post();
    };
    // One batch: the header and the index are written once, at its end.
    table.beginBatch();
    try {
        for (table.first(); !table.eof(); table.next()) {
            const std::uint32_t recno = table.recno();
            if (!inSearch.empty() && (recno >= inSearch.size() || !inSearch[recno]))
                continue;
            if (matches()) {
                Button answer = Button::Yes;
                if (target.confirm) {
                    tell(true);
                    answer = m_dialogs.message(QStringLiteral("Confirm"),
                                               QStringLiteral("Item = \"%1\".  Change this record?")
                                                   .arg(QString::fromStdString(table.text(fields::Title))),
                                               Button::Yes | Button::No | Button::Cancel, Button::Yes,
                                               Icon::Question);
                }
                if (answer == Button::Cancel) {
                    table.endBatch();
                    return false;
                }
                if (answer == Button::Yes) {
                    write();
                    ++m_counts.changed;
                }
                ++m_counts.found;
            }
            ++m_counts.processed;
            tell(false);
        }
    } catch (...) {
        if (table.editing())
            table.cancel();
        try {
            table.endBatch(); // the records posted before the failure stay written
        } catch (const dbase::DatabaseError&) {
            // The failure that ended the walk is the one to report.
        }
        throw;
    }
    table.endBatch();
    return true;
}

// Makes the order tag again from the sort string; answers why when it cannot. After a
// failure the file is opened afresh, its index mended when our failed write tore it.
QString BookReplace::restoreTag(const std::string& path, std::unique_ptr<dbase::Table>& exclusive,
                                bool failed)
{
    const std::string sort =
        m_hooks.sortString ? m_hooks.sortString().trimmed().toStdString() : std::string();
    try {
        if (failed || !exclusive) {
            exclusive.reset();
            exclusive = CommandGuard::openExclusive(path, false, m_fs);
            if (!exclusive->indexError().empty())
                exclusive->regenerateIndexes();
        }
        if (!sort.empty() && !exclusive->hasTag(kOrderTag))
            exclusive->addTag(kOrderTag, sort);
        exclusive.reset();
        return {};
    } catch (const dbase::DatabaseError& error) {
        exclusive.reset();
        return QString::fromUtf8(error.what());
    }
}

void BookReplace::tell(bool force)
{
    if (!m_hooks.showCounts)
        return;
    const std::int64_t now = nowMilliseconds();
    if (!force && now - m_lastShown < 50)
        return;
    m_lastShown = now;
    m_hooks.showCounts(m_counts);
}

QString BookReplace::title(int field) const
{
    if (m_hooks.fieldTitle)
        return m_hooks.fieldTitle(field);
    if (field >= kBookFieldCount)
        return QString::fromStdString(m_table.fields()[std::size_t(field)].name);
    const std::string_view name = bookFields()[std::size_t(field)].title;
    return QString::fromLatin1(name.data(), qsizetype(name.size()));
}

void BookReplace::showError(const QString& text)
{
    m_dialogs.message(QStringLiteral("Error"), text, Button::Ok, Button::Ok, Icon::Error);
}

} // namespace db
