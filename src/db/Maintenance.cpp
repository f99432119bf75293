#include "Maintenance.h"

#include "db/BookDatabase.h"
#include "db/DurableFile.h"
#include "dbase/DatabaseError.h"
#include "dbase/Integrity.h"

#include <QFile>
#include <QFileInfo>
#include <filesystem>

namespace db {
namespace {

using platform::Button;
using platform::Icon;

const QString kPackQuestion = QStringLiteral(
    "Deleted items are not permanently removed from the database until packing occurs.  Packing simply "
    "removes them to free up space.  Continue?");
const QString kPackInUse = QStringLiteral(
    "Unable to pack table.  Packing requires exclusive use of the DBase File.  Make sure that the DBase File "
    "is not in use by another program  or that no other users are running the software or that no other "
    "copies of the software are in use.");
const QString kRebuildQuestion = QStringLiteral(
    "It is possible for your index files to become corrupted.  As a result, some items may not show up in "
    "the viewer or in reports.  This will rebuild your index files correctly.  Continue?");
const QString kRebuildInUse = QStringLiteral(
    "Unable to reindex table.  Reindexing requires exclusive use of the DBase File.  Make sure that the "
    "DBase "
    "File is not in use by another program  or that no other users are running the software or that no other "
    "copies of the software are in use.");

std::uint64_t sizeOf(const std::string& path)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

} // namespace

Maintenance::Maintenance(BookTable& table, platform::Dialogs& dialogs, Hooks hooks, dbase::FileSystem& fs)
    : m_table(table), m_dialogs(dialogs), m_hooks(std::move(hooks)), m_fs(fs)
{
}

bool Maintenance::MenuPackClick()
{
    return run(Work::Pack);
}

bool Maintenance::MenuRebuildClick()
{
    return run(Work::Rebuild);
}

void Maintenance::MenuUpdateDatabaseClick()
{
    // Reopening walks the file again under the same search, order and record.
    CommandGuard guard(m_table, m_hooks.command);
    guard.closeTable();
}

bool Maintenance::run(Work work)
{
    const bool pack = work == Work::Pack;
    if (m_dialogs.message(QStringLiteral("Confirm"), pack ? kPackQuestion : kRebuildQuestion,
                          Button::Yes | Button::No, Button::Yes, Icon::Question) != Button::Yes)
        return false;
    if (m_table.path().empty())
        throw dbase::DatabaseError("No book database is open.");

    CommandGuard guard(m_table, m_hooks.command);
    const std::string path = guard.closeTable();
    std::unique_ptr<dbase::Table> exclusive;
    try {
        // Held for the whole work: the open is the test that nobody else uses the file.
        exclusive = CommandGuard::openExclusive(path, false, m_fs);
    } catch (const dbase::IoError& error) {
        // Not another program's hold but the system's refusal (a read-only medium): its reason is the news.
        guard.restore();
        showError((pack ? QStringLiteral("Unable to pack table.  ")
                        : QStringLiteral("Unable to reindex table.  ")) +
                  QString::fromUtf8(error.what()));
        return false;
    } catch (const dbase::DatabaseError&) {
        guard.restore();
        showError(pack ? kPackInUse : kRebuildInUse);
        return false;
    }
    if (pack && !roomToPack(path)) {
        exclusive.reset();
        guard.restore();
        showError(QStringLiteral("There is not enough room on the drive of the database to pack it.  Packing "
                                 "writes a second copy of the database and its index beside them.  Please "
                                 "free up space and try again."));
        return false;
    }
    guard.busy();
    QString notice;
    try {
        if (pack)
            exclusive->pack();
        notice = rebuild(*exclusive, pack);
    } catch (const dbase::DatabaseError& error) {
        exclusive.reset();
        guard.restore();
        showError((pack ? QStringLiteral("Unable to pack table.  ")
                        : QStringLiteral("Unable to reindex table.  ")) +
                  QString::fromUtf8(error.what()));
        return false;
    }
    exclusive.reset();
    // Checked before anyone else can open the file, so what it finds is what the rebuild left.
    const QString faults = remainingFaults(path);
    guard.restore();
    // Packing renumbers the records: no row may stay on a number that now means another book.
    if (pack && m_table.isOpen() && m_table.rowCount() > 0)
        m_table.gotoRow(0);
    if (!notice.isEmpty())
        m_dialogs.message(QStringLiteral("Notice"), notice, Button::Ok, Button::Ok, Icon::Information);
    if (!faults.isEmpty())
        m_dialogs.message(QStringLiteral("Warning"), faults, Button::Ok, Button::Ok, Icon::Warning);
    return true;
}

// What the integrity check still finds once the work is done, as a message; empty when sound.
QString Maintenance::remainingFaults(const std::string& path)
{
    dbase::IntegrityReport report;
    try {
        report = dbase::checkTable(path, m_fs);
    } catch (const dbase::DatabaseError& error) {
        return QStringLiteral("The database could not be checked afterwards: %1")
            .arg(QString::fromUtf8(error.what()));
    }
    if (report.clean())
        return {};
    QStringList lines;
    for (const dbase::IntegrityFinding& finding : report.findings)
        lines << QString::fromStdString(finding.text);
    return QStringLiteral("The work is done, but the check of the database afterwards still finds "
                          "faults that it cannot mend:\n\n%1")
        .arg(lines.join(QLatin1Char('\n')));
}

// Free space for the packed copy, written beside the table and its index before it replaces them.
bool Maintenance::roomToPack(const std::string& path)
{
    const std::string directory = dbase::directoryOf(path);
    const std::uint64_t needed =
        sizeOf(path) + sizeOf(QFile::encodeName(indexPathOf(QFile::decodeName(path.c_str()))).toStdString());
    const std::uint64_t free =
        m_hooks.availableSpace ? m_hooks.availableSpace(directory) : availableSpace(directory);
    return free >= needed;
}

// Writes every tag afresh (a pack already has) and makes sure the order tag is
// there; answers what the user must hear of tags that were lost.
QString Maintenance::rebuild(dbase::Table& table, bool packed)
{
    const bool unreadable = !table.indexError().empty();
    std::vector<std::string> dropped;
    if (!packed || unreadable)
        dropped = table.regenerateIndexes();
    const std::string sort =
        m_hooks.sortString ? m_hooks.sortString().trimmed().toStdString() : std::string();
    if (!sort.empty() && !table.hasTag(kOrderTag))
        table.addTag(kOrderTag, sort);
    QString notice;
    if (unreadable)
        notice =
            QStringLiteral("The index file of the database could not be read, so it was made anew.  Only "
                           "the tag of the sort order could be made again; any other tags it held are "
                           "lost.  ");
    if (!dropped.empty()) {
        QStringList names;
        for (const std::string& name : dropped)
            names << QString::fromStdString(name);
        notice += QStringLiteral("These index tags could not be rebuilt, because their expressions cannot be "
                                 "evaluated, and were removed: %1.")
                      .arg(names.join(QStringLiteral(", ")));
    }
    return notice.trimmed();
}

void Maintenance::showError(const QString& text)
{
    m_dialogs.message(QStringLiteral("Error"), text, Button::Ok, Button::Ok, Icon::Error);
}

} // namespace db
