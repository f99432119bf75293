#include "SortOrderChange.h"

#include "db/BookDatabase.h"
#include "dbase/DatabaseError.h"
#include "platform/Dialogs.h"
#include "search/SortString.h"

#include <QFile>

namespace search {
namespace {

const QString kInUse = QStringLiteral(
    "Creating a new sort order requires exclusive use of the DBase File.  Make sure that the DBase File is "
    "not in use by another program  or that no other users are running the software or that no other copies "
    "of the software are in use.");
const QString kFailed = QStringLiteral("Error in implementing sort order.  New sort order not implemented.");

bool sameName(const std::string& a, const std::string& b)
{
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

std::optional<dbase::TagInfo> orderTag(const dbase::Table& table)
{
    for (const dbase::TagInfo& tag : table.tags())
        if (sameName(tag.name, db::kOrderTag))
            return tag;
    return std::nullopt;
}

bool sameTag(const std::optional<dbase::TagInfo>& a, const std::optional<dbase::TagInfo>& b)
{
    if (!a || !b)
        return !a && !b;
    return a->expression == b->expression && a->forExpression == b->forExpression &&
           a->descending == b->descending && a->unique == b->unique;
}

} // namespace

SortOrderChange::SortOrderChange(db::BookTable& table, std::array<int, 4>& levels, platform::Dialogs& dialogs,
                                 SortOrderHooks hooks, dbase::FileSystem& fs)
    : m_table(table), m_levels(levels), m_dialogs(dialogs), m_hooks(std::move(hooks)), m_fs(fs)
{
}

SortOrderChange::Outcome SortOrderChange::apply(const std::array<int, 4>& newLevels)
{
    const std::string path = m_table.path();
    if (path.empty())
        throw dbase::DatabaseError("No book database is open.");
    // Opened again shared on every way out, in the order of the outcome where it has one.
    db::CommandHooks reopening;
    reopening.applyViewerOptions = m_hooks.applyViewerOptions;
    db::CommandGuard guard(m_table, reopening);
    guard.closeTable();
    if (m_hooks.inUse(QFile::decodeName(path.c_str()))) {
        showError(kInUse);
        guard.reopen(std::nullopt);
        return Outcome::InUse;
    }

    const std::array<int, 4> oldLevels = m_levels;
    const std::string sort = BuildSortString(newLevels).toStdString();
    bool changedFile = false;
    try {
        m_levels = newLevels;
        makeTag(path, sort, changedFile);
    } catch (const dbase::DatabaseError&) {
        m_levels = oldLevels;
        const QString notRestored = changedFile ? restoreTag(path, m_oldTag) : QString();
        showError(kFailed);
        if (!notRestored.isEmpty())
            showError(
                QStringLiteral("The previous sort order could not be put back either: %1  It will be set "
                               "up again the next time the database is opened.")
                    .arg(notRestored));
        guard.reopen(std::nullopt);
        return Outcome::Failed;
    } catch (...) {
        m_levels = oldLevels;
        throw;
    }
    if (m_hooks.writeSettings)
        m_hooks.writeSettings();
    guard.reopen(sort.empty() ? std::string() : std::string(db::kOrderTag));
    return Outcome::Applied;
}

// `changedFile` turns true before the first change to the index file, so that a
// failure knows whether there is anything to put back.
void SortOrderChange::makeTag(const std::string& path, const std::string& sort, bool& changedFile)
{
    auto table = db::CommandGuard::openExclusive(path, true, m_fs);
    m_oldTag = orderTag(*table);
    table->setOrder({});
    if (sort.empty())
        return; // physical order; the tag stays for another program that may rely on it
    changedFile = true;
    if (m_oldTag) // an index without the tag has nothing to delete
        table->deleteTag(db::kOrderTag);
    table->addTag(db::kOrderTag, sort);
    table->setOrder(db::kOrderTag);
}

// Puts the tag back as it was before the change; answers why when it cannot.
QString SortOrderChange::restoreTag(const std::string& path, const std::optional<dbase::TagInfo>& old)
{
    try {
        // Our own failed write may have left the index torn: it is ours to mend.
        auto table = db::CommandGuard::openExclusive(path, false, m_fs);
        if (!table->indexError().empty())
            table->regenerateIndexes();
        std::optional<dbase::TagInfo> now = orderTag(*table);
        if (sameTag(now, old))
            return {};
        table->setOrder({});
        if (now)
            table->deleteTag(db::kOrderTag);
        if (old)
            table->addTag(db::kOrderTag, old->expression, old->forExpression, old->descending, old->unique);
        return {};
    } catch (const dbase::DatabaseError& error) {
        return QString::fromStdString(error.what());
    }
}

void SortOrderChange::showError(const QString& text)
{
    m_dialogs.message(QStringLiteral("Error"), text, platform::Button::Ok, platform::Button::Ok,
                      platform::Icon::Error);
}

} // namespace search
