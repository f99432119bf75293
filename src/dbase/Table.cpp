// The table object: its locks, batches, and what it tells about itself.
#include "Table.h"

#include "DatabaseError.h"
#include "TableImpl.h"

#include <exception>
#include <utility>

namespace dbase {

namespace {

std::string what(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "An unknown error occurred.";
    }
}

} // namespace

// ---------------------------------------------------------------- locking

OperationLock::OperationLock(Table::Impl& table, LockKind kind) : m_table(table)
{
    if (!table.sharedAccess() || table.batchDepth > 0) {
        if (table.stale)
            table.syncWithDisk();
        return;
    }
    table.dbf->lock(locks::kHeader, 1, kind);
    m_locked = true;
    try {
        table.syncWithDisk();
    } catch (...) {
        table.dbf->unlock(locks::kHeader, 1);
        throw;
    }
}

OperationLock::~OperationLock()
{
    if (m_locked) {
        try {
            m_table.dbf->unlock(locks::kHeader, 1);
        } catch (...) {
            // Closing the file releases the lock anyway.
        }
    }
}

void Table::beginBatch(BatchFailure onFailure)
{
    if (d->batchDepth == 0)
        d->requireWritable("change records");
    if (d->batchDepth++ > 0)
        return;
    if (d->sharedAccess()) {
        try {
            d->dbf->lock(locks::kHeader, 1, LockKind::Write);
            d->syncWithDisk();
        } catch (...) {
            --d->batchDepth;
            throw;
        }
    }
    d->beginTakeBack(onFailure == BatchFailure::TakeBackAppends);
}

void Table::endBatch()
{
    if (d->batchDepth == 0 || --d->batchDepth > 0)
        return;
    std::exception_ptr failure = std::exchange(d->batchFailure, nullptr);
    bool dirty = std::exchange(d->batchDirty, false);
    // The index goes first, so that a failure there comes before the header commits the records.
    const bool whole = d->batchStart.takeBackOnFailure;
    if (!failure && whole && !d->batchStart.abandoned)
        failure = d->flushBatchIndex();
    if (!failure && whole && !d->batchStart.abandoned)
        failure = d->syncBeforeCommit();
    if (d->batchStart.abandoned || (failure && d->batchStart.takeBackOnFailure)) {
        if (d->batchStart.abandoned)
            failure = nullptr; // the caller gave up for a reason it knows
        std::exception_ptr undone = d->takeBackBatch();
        if (d->sharedAccess())
            d->dbf->unlock(locks::kHeader, 1);
        if (failure && undone)
            throw DatabaseError(what(failure) + " " + what(undone));
        if (failure || undone)
            std::rethrow_exception(failure ? failure : undone);
        return;
    }
    // What succeeded is written even when a post failed: its records are on the disk.
    try {
        if ((dirty || failure) && !d->stale) {
            d->writeChanges();
            try {
                d->makeDurable(); // a batch's end is a point its changes survive a power cut from
            } catch (const DatabaseError& e) {
                // Synced before the commit: only the header's last write may not be on the disk yet.
                if (!whole)
                    throw;
                d->warnings.push_back(std::string("The changes to ") + d->path +
                                      " are saved, but could not be flushed to the disk: " + e.what());
            }
        }
        d->forgetBatchStart();
    } catch (...) {
        d->markIndexStale("the end of a batch of changes could not be written");
        d->stale = true;
        if (!failure)
            failure = std::current_exception();
    }
    if (d->sharedAccess())
        d->dbf->unlock(locks::kHeader, 1);
    if (failure)
        std::rethrow_exception(failure);
}

// ---------------------------------------------------------------- Table

Table::Table(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}
Table::~Table()
{
    // Closing is a point whose changes survive a power cut.
    try {
        if (d->unsynced && d->batchDepth == 0) {
            HeaderLock lock(*d->dbf, d->sharedAccess(), LockKind::Write);
            d->makeDurable();
        }
    } catch (const DatabaseError&) {
        // The changes are written; only their flush to the disk failed.
    }
}

const std::string& Table::path() const
{
    return d->path;
}
Access Table::access() const
{
    return d->access;
}
const std::vector<Field>& Table::fields() const
{
    return d->header.fields;
}
int Table::fieldIndex(const std::string& name) const
{
    return findField(d->header.fields, name);
}
std::uint8_t Table::languageDriver() const
{
    return d->header.languageDriver;
}
const std::string& Table::indexError() const
{
    return d->indexError;
}
const std::vector<std::string>& Table::warnings() const
{
    return d->warnings;
}
std::uint32_t Table::physicalCount() const
{
    return d->dataRecords;
}

std::vector<TagInfo> Table::tags() const
{
    std::vector<TagInfo> out;
    // An index that must be rebuilt offers no tags, as a damaged one does.
    if (!d->mdx || !d->indexError.empty())
        return out;
    for (int t = 0; t < d->mdx->tagCount(); ++t) {
        const TagDefinition& def = d->mdx->tag(t);
        out.push_back({def.name, def.expression, def.forExpression, def.descending, def.unique,
                       d->tagStates[t].usable()});
    }
    return out;
}

bool Table::hasTag(const std::string& name) const
{
    return d->mdx && d->indexError.empty() && d->mdx->findTag(name) >= 0;
}

std::string Table::order() const
{
    return d->orderName;
}

} // namespace dbase
