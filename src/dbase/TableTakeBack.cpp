// Taking back the records a batch appended, when it fails or its caller
// gives up: an import is whole or leaves nothing behind.
//
// Inside a batch the header on the disk keeps the count the batch began
// with (it is written once, at the end), and the incomplete mark is set when
// the table has an index. So the appended records are past the count the
// whole time: cutting them off is safe at any step, and a crash half-way
// leaves whole records past the count, which the next open adopts as after
// any crash. Their keys are taken out of the tags in memory, read from the
// records before these are cut; the index is then flushed and the header
// written with the old count and the mark cleared. When the disk refuses
// even that, the records are still cut where it can be done and the index
// is left for a rebuild, as after any failed change.
#include "DatabaseError.h"
#include "TableImpl.h"

#include <algorithm>

namespace dbase {

namespace {

// Records whose keys are read before they are cut: the cut gives their room
// back to a full disk before the index needs room for its changed blocks.
constexpr std::uint32_t kChunk = 4096;

struct TakenKey {
    int tag;
    std::uint32_t recno;
    std::string key;
};

} // namespace

void Table::abandonBatch()
{
    if (d->batchDepth == 0)
        return;
    if (d->state == EditState::Append)
        cancel();
    d->batchStart.abandoned = true;
    endBatch();
}

void Table::Impl::beginTakeBack(bool takeBackOnFailure)
{
    batchStart = {};
    batchStart.records = std::max(header.recordCount, dataRecords);
    batchStart.indexTrusted = mdx && indexError.empty() && !crashPending;
    batchStart.takeBackOnFailure = takeBackOnFailure;
    if (batchStart.indexTrusted) {
        try {
            batchStart.indexStamp = fs.open(mdx->path(), OpenMode::ReadOnly)->stamp();
        } catch (const DatabaseError&) {
            // Then its keys are taken out one by one.
        }
    }
}

// Whether the index file is as the batch found it: nothing flushed its cache
// since (a block cache holds thousands of changes before it flushes, far longer
// than a tick of the file's clock), so forgetting the cache takes every key back.
bool Table::Impl::indexUntouched(const BatchStart& begun)
{
    if (!begun.indexStamp || begun.indexFlushed)
        return false;
    try {
        return fs.open(mdx->path(), OpenMode::ReadOnly)->stamp() == *begun.indexStamp;
    } catch (const DatabaseError&) {
        return false;
    }
}

// A post that failed inside a batch after its keys went into the tags: the
// keys come out again, so the index stays whole. Outside a batch the header
// and the index may have stored them already, so the index is rebuilt instead.
bool Table::Impl::dropKeysOfFailedAppend(std::uint32_t n)
{
    if (batchDepth == 0 || !mdx || !indexError.empty() || crashPending)
        return false;
    try {
        for (int t = 0; t < static_cast<int>(tagStates.size()); ++t)
            if (inTag(t, record.data()))
                mdx->remove(t, tagKey(t, record.data()), n); // false when it never got in
        return true;
    } catch (...) {
        return false;
    }
}

std::exception_ptr Table::Impl::flushBatchIndex()
{
    batchStart.indexFlushed = true;
    if (!mdx || !indexError.empty() || crashPending)
        return nullptr;
    try {
        mdx->flush();
        return nullptr;
    } catch (...) {
        return std::current_exception();
    }
}

namespace {

std::string reason(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "an unknown error";
    }
}

} // namespace

std::exception_ptr Table::Impl::takeBackBatch()
{
    const std::uint32_t start = batchStart.records;
    const bool trusted = batchStart.indexTrusted;
    const std::string order = orderName; // a rebuild below brings the order back
    bool keysOut = trusted && mdx && indexError.empty() && !crashPending;
    std::exception_ptr failure, indexFailure;
    bool keyByKey = keysOut;
    if (keysOut && indexUntouched(batchStart)) {
        keyByKey = false;
        try {
            mdx->invalidate();
        } catch (...) {
            keysOut = false;
            indexFailure = std::current_exception();
        }
    }
    batchStart = {};
    std::vector<TakenKey> keys;
    try {
        while (header.recordCount > start) {
            const std::uint32_t last = header.recordCount;
            const std::uint32_t first = last - std::min(last - start, kChunk) + 1;
            keys.clear();
            window.clear();
            for (std::uint32_t n = first; keyByKey && keysOut && n <= last; ++n) {
                const char* rec = recordAt(n, true);
                for (int t = 0; t < static_cast<int>(tagStates.size()); ++t)
                    if (inTag(t, rec))
                        keys.push_back({t, n, tagKey(t, rec)});
            }
            header.recordCount = first - 1;
            dataRecords = std::min(dataRecords, header.recordCount);
            dbf->truncate(endOfData());
            try {
                for (const TakenKey& k : keys)
                    mdx->remove(k.tag, k.key, k.recno);
            } catch (...) {
                keysOut = false;
                indexFailure = std::current_exception();
            }
        }
        // A failed post of the batch cut its record already; the end mark goes back on.
        dbf->truncate(endOfData());
        const char mark = static_cast<char>(dbf::kEndMark);
        dbf->writeAt(endOfData(), &mark, 1);
        if (keysOut && (indexFailure = flushBatchIndex()))
            keysOut = false;
        if (!keysOut)
            markIndexStale("the records of an unfinished batch could not be taken out of it");
        writeHeader();
        makeDurable();
        stamp = dbf->stamp();
    } catch (...) {
        // What is left past the count is adopted by the next open, as after a crash.
        markIndexStale("the records of an unfinished batch could not be taken out of it");
        stale = true;
        failure = std::current_exception();
    }
    window.clear();
    acceptedValid = false;
    liveCount.reset();
    // With the table to ourselves the index is rebuilt at once, from the records now on the disk.
    if (!failure && trusted && !indexError.empty()) {
        bool upgraded = false;
        try {
            upgraded = !holdsExclusive && upgradeToExclusive();
            if (holdsExclusive) {
                orderName = order;
                repairIndexAfterCrash(true);
            }
        } catch (const DatabaseError&) {
            // Left for the next open that has the table to itself.
        }
        if (upgraded)
            downgradeToShared();
    }
    if (recno > header.recordCount) {
        try {
            if (!moveFirst())
                clearPosition(true);
        } catch (const DatabaseError&) {
            clearPosition(false);
        }
    }
    if (failure)
        return std::make_exception_ptr(DatabaseError(
            "The records added to " + path + " could not all be taken back (" + reason(failure) +
            "). Those it could not remove stay in the table; its index is rebuilt when the table is next "
            "opened by its only user."));
    if (trusted && !indexError.empty())
        return std::make_exception_ptr(DatabaseError(
            "The records added to " + path + " were taken back, but its index could not be written (" +
            (indexFailure ? reason(indexFailure) : indexError) +
            "). The index is rebuilt when the table is next opened by its only user."));
    return nullptr;
}

} // namespace dbase
