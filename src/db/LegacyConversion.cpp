#include "LegacyConversion.h"

#include "db/BookDatabase.h"
#include "db/DurableFile.h"
#include "dbase/DatabaseError.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <climits>

namespace db {
namespace {

using platform::Button;
using platform::Icon;

// Names at positions 2 … n of each old file; the first field is not carried over.
constexpr std::array<std::string_view, 14> kNamesV1{
    "TITLE", "AUTHOR",     "YEARPUB", "PUBLISHER", "CATEGORY", "WHEREPURCH", "COST",
    "VALUE", "DESCRIPTIO", "ISBN",    "RATING",    "PURCHDAY", "PURCHMONTH", "PURCHYEAR"};
constexpr std::array<std::string_view, 25> kNamesV2{
    "TITLE",   "AUTHOR",     "YEARPUB",  "PUBLISHER", "CATEGORY",   "WHEREPURCH", "COST",
    "VALUE",   "DESCRIPTIO", "ISBN",     "RATING",    "PURCHDATE",  "BOOKTYPE",   "CATALOGNUM",
    "SUB1",    "SUB2",       "CHECKOUT", "CHECKDATE", "CHECKPERSO", "VOLUME",     "ISSUE",
    "EDITION", "KEYWORDS",   "PAGES",    "LOCATION"};
// Old names whose values go into a book field of another name, or are read by a rule of their own.
constexpr std::array<std::pair<std::string_view, std::string_view>, 1> kRenamed{
    {{"CHECKPERSO", "CHECKNAME"}}};
constexpr std::array<std::string_view, 4> kByRule{"PAGES", "PURCHDAY", "PURCHMONTH", "PURCHYEAR"};

std::vector<std::string_view> namesOf(LegacyVersion version)
{
    if (version == LegacyVersion::V1)
        return {kNamesV1.begin(), kNamesV1.end()};
    return {kNamesV2.begin(), kNamesV2.end()};
}

// Position of the old field of that name; the unnamed first field is position 0.
int oldIndex(LegacyVersion version, std::string_view name)
{
    const auto names = namesOf(version);
    return static_cast<int>(std::find(names.begin(), names.end(), name) - names.begin()) + 1;
}

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool sameOnTenCharacters(std::string_view a, std::string_view b)
{
    a = a.substr(0, 10);
    b = b.substr(0, 10);
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return upper(x) == upper(y); });
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// A whole number of one to four digits and nothing else; -1 otherwise.
int digitsValue(std::string_view s)
{
    if (s.empty() || s.size() > 4)
        return -1;
    int value = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

bool isLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysIn(int month, int year)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

QString versionName(LegacyVersion version)
{
    return version == LegacyVersion::V1 ? QStringLiteral("1.X") : QStringLiteral("2.X");
}

QString fileName(const QString& path)
{
    return QFileInfo(path).fileName();
}

std::string native(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace

bool isLegacyBookFile(const std::vector<dbase::Field>& fields, LegacyVersion version)
{
    const auto names = namesOf(version);
    if (fields.size() != names.size() + 1)
        return false;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (!sameOnTenCharacters(fields[i + 1].name, names[i]))
            return false;
    return true;
}

long long legacyPages(std::string_view text)
{
    std::string digits;
    for (char c : trimmed(text))
        if (c != ',')
            digits += c;
    std::size_t i = 0;
    bool negative = false;
    if (i < digits.size() && (digits[i] == '-' || digits[i] == '+'))
        negative = digits[i++] == '-';
    long long value = 0;
    for (; i < digits.size() && digits[i] >= '0' && digits[i] <= '9'; ++i)
        value = std::min<long long>(value * 10 + (digits[i] - '0'), (long long)INT_MAX + 1);
    return negative ? -value : std::min<long long>(value, INT_MAX);
}

std::optional<dbase::Date> legacyPurchaseDate(std::string_view day, std::string_view month,
                                              std::string_view year)
{
    day = trimmed(day.substr(0, 4));
    month = trimmed(month.substr(0, 4));
    year = trimmed(year.substr(0, 4));
    if (day.empty() && month.empty() && year.empty())
        return dbase::Date{};
    static constexpr std::array<std::string_view, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    auto named = std::find(kMonths.begin(), kMonths.end(), month);
    int m = named != kMonths.end() ? static_cast<int>(named - kMonths.begin()) + 1 : digitsValue(month);
    int d = digitsValue(day);
    int y = digitsValue(year);
    if (y >= 0 && year.size() <= 2)
        y += 1900;
    if (m < 1 || m > 12 || y < 1 || d < 1 || d > daysIn(m, y))
        return std::nullopt;
    return dbase::Date{y, m, d};
}

// What stops a conversion before anything is written: the record and the engine's reason.
struct LegacyConversion::Problem {
    std::uint32_t record = 0;
    QString reason;
};

LegacyConversion::LegacyConversion(BookTable& table, platform::Dialogs& dialogs, dbase::FileSystem& fs)
    : m_table(table), m_dialogs(dialogs), m_fs(fs)
{
}

bool LegacyConversion::CheckDBaseFormatV1(const QString& path)
{
    return isVersion(path, LegacyVersion::V1);
}

bool LegacyConversion::CheckDBaseFormatV2(const QString& path)
{
    return isVersion(path, LegacyVersion::V2);
}

bool LegacyConversion::isVersion(const QString& path, LegacyVersion version)
{
    // Read-only, and past a missing index: the old file is never written to.
    auto old = dbase::Table::openIgnoringIndex(native(QFileInfo(path).absoluteFilePath()),
                                               dbase::Access::ReadOnly, m_fs);
    return isLegacyBookFile(old->fields(), version);
}

std::uint32_t LegacyConversion::CheckForConversion(const QString& dataDir, bool browse)
{
    m_added = 0;
    if (browse)
        return 0;
    offer(dataDir, LegacyVersion::V2);
    offer(dataDir, LegacyVersion::V1);
    return m_added;
}

void LegacyConversion::offer(const QString& dataDir, LegacyVersion version)
{
    const char* wanted = version == LegacyVersion::V1 ? "BLOG.DBF" : "B2LOG.DBF";
    const std::string found = dbase::findFileIgnoringCase(native(dataDir), wanted);
    if (found.empty())
        return;
    const QString path = QFile::decodeName(found.c_str());
    try {
        if (!isVersion(path, version))
            return;
    } catch (const dbase::DatabaseError& error) {
        showError(QString::fromStdString(error.what()));
        return;
    }
    const QString question =
        QStringLiteral(
            "A database from a previous version (%1) has been detected.  Would you like to convert "
            "it now?  NOTE: After conversion the old file will be deleted.  You may wish to make a "
            "copy of \"%2\" first.")
            .arg(versionName(version), fileName(path));
    if (m_dialogs.message(QStringLiteral("Convert"), question, Button::Yes | Button::No, Button::Yes,
                          Icon::Question) == Button::Yes)
        m_added += convert(path, version);
}

std::uint32_t LegacyConversion::convert(const QString& path, LegacyVersion version)
{
    const QString name = fileName(path);
    std::uint32_t added = 0;
    try {
        auto old = dbase::Table::openIgnoringIndex(native(path), dbase::Access::ReadOnly, m_fs);
        std::uint32_t badDates = 0;
        if (std::optional<Problem> problem = check(*old, version, badDates)) {
            showError(QStringLiteral("The database from a previous version \"%1\" was not converted: record "
                                     "%2 cannot be taken over.  %3  Nothing was added to the current "
                                     "database, and \"%1\" was kept.")
                          .arg(name)
                          .arg(problem->record)
                          .arg(problem->reason));
            return 0;
        }
        if (badDates > 0) {
            const QString question =
                QStringLiteral("%1 of the books in \"%2\" have a purchase date that is not a date.  Convert "
                               "them with an empty purchase date?  If you choose No, nothing is converted "
                               "and \"%2\" is kept.")
                    .arg(badDates)
                    .arg(name);
            if (m_dialogs.message(QStringLiteral("Convert"), question, Button::Yes | Button::No, Button::No,
                                  Icon::Question) != Button::Yes)
                return 0;
        }
        added = write(*old, version);
    } catch (const dbase::DatabaseError& error) {
        showError(
            QStringLiteral("The database from a previous version \"%1\" was not converted.  %2  Nothing "
                           "was added to the current database, and \"%1\" was kept.")
                .arg(name, QString::fromStdString(error.what())));
        return 0;
    }
    // Only once the books are on the device: a crash before then must find the old file still there.
    try {
        removeFile(native(path), m_fs);
    } catch (const dbase::DatabaseError& error) {
        showError(
            QStringLiteral("The database from a previous version \"%1\" was converted, but it could not be "
                           "deleted.  %2  Delete it, or it will be converted again at the next start.")
                .arg(name, QString::fromStdString(error.what())));
    }
    return added;
}

// Fills and drops a new record for every old one: the engine refuses what its
// fields cannot hold, without anything being written.
std::optional<LegacyConversion::Problem> LegacyConversion::check(dbase::Table& old, LegacyVersion version,
                                                                 std::uint32_t& badDates)
{
    dbase::Table& books = m_table.table();
    const Mapping map = mapping(version);
    for (old.first(); !old.eof(); old.next()) {
        books.append();
        try {
            if (!fill(old, map))
                ++badDates;
        } catch (const dbase::DatabaseError& error) {
            books.cancel();
            return Problem{old.recno(), QString::fromStdString(error.what())};
        }
        books.cancel();
    }
    return std::nullopt;
}

// Appends every old record under one write lock. A failure half-way (a full
// disk) takes the books already added back, so that no half conversion stays
// behind to be doubled by the next one.
std::uint32_t LegacyConversion::write(dbase::Table& old, LegacyVersion version)
{
    // Not waited for under the batch's header lock, which the walk completing the map may wait for.
    m_table.completeRows();
    dbase::Table& books = m_table.table();
    const Mapping map = mapping(version);
    std::uint32_t added = 0;
    books.beginBatch(dbase::BatchFailure::TakeBackAppends);
    try {
        for (old.first(); !old.eof(); old.next()) {
            books.append();
            fill(old, map);
            books.post();
            ++added;
        }
    } catch (const dbase::DatabaseError& error) {
        std::string undone;
        try {
            books.abandonBatch();
        } catch (const dbase::DatabaseError& again) {
            undone = std::string("  ") + again.what();
        }
        m_table.rebuild();
        throw dbase::DatabaseError(error.what() + undone);
    } catch (...) {
        // Any other failure (out of memory) must not leave the batch holding the write lock.
        try {
            books.abandonBatch();
            m_table.rebuild();
        } catch (...) {
            // The first failure is the one to tell.
        }
        throw;
    }
    books.endBatch();
    syncFile(books.path(), m_fs);
    const std::string index = native(indexPathOf(QFile::decodeName(books.path().c_str())));
    if (m_fs.exists(index))
        syncFile(index, m_fs);
    m_table.rebuild();
    return added;
}

LegacyConversion::Mapping LegacyConversion::mapping(LegacyVersion version)
{
    const dbase::Table& books = m_table.table();
    Mapping map;
    map.version = version;
    const auto names = namesOf(version);
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string_view name = names[i];
        if (std::find(kByRule.begin(), kByRule.end(), name) != kByRule.end())
            continue;
        for (const auto& [from, to] : kRenamed)
            if (name == from)
                name = to;
        map.copies.emplace_back(books.fieldIndex(std::string(name)), static_cast<int>(i) + 1);
    }
    map.pages = {books.fieldIndex("PAGES"), oldIndex(version, "PAGES")};
    map.date = books.fieldIndex("PURCHDATE");
    map.dateParts = {oldIndex(version, "PURCHDAY"), oldIndex(version, "PURCHMONTH"),
                     oldIndex(version, "PURCHYEAR")};
    return map;
}

// Sets the appended book record from the current old record. A 1.X purchase
// date that is no date stays empty, and the answer is false; check() counts those.
bool LegacyConversion::fill(const dbase::Table& old, const Mapping& map)
{
    dbase::Table& books = m_table.table();
    // Engine text carries numbers and dates by value: no display format takes part.
    for (const auto& [to, from] : map.copies)
        books.setText(to, old.text(from));
    if (map.version == LegacyVersion::V2) {
        books.setWhole(map.pages.first, legacyPages(old.text(map.pages.second)));
        return true;
    }
    std::optional<dbase::Date> date = legacyPurchaseDate(
        old.text(map.dateParts[0]), old.text(map.dateParts[1]), old.text(map.dateParts[2]));
    if (date && !date->isNull())
        books.setDate(map.date, *date);
    return date.has_value();
}

void LegacyConversion::showError(const QString& text)
{
    m_dialogs.message(QStringLiteral("Error"), text, Button::Ok, Button::Ok, Icon::Error);
}

} // namespace db
