// Taking back the records a batch appended, when it fails or its caller
// gives up: an import is whole or leaves nothing behind.
//
// Inside a batch the header on the disk keeps the count the batch began
// with (it is written once, at the end), and the incomplete mark is set when
// the table has an index. So the appended records are past the count the
// whole time, and cutting them off is safe at any step. Their keys come out
// of the tags too: those still waiting to go in are dropped, the index cache
// is forgotten when the batch only appended and nothing of it reached the
// file, else each key is taken out, read from its record before the record
// is cut. Tags, packs and rebuilds are refused inside a batch. The index is then flushed and the header
// written with the old count and the mark cleared. When the disk refuses even that, the records are still cut
// where it can be done and the index is left for a rebuild, as after any failed change.
//
// A program killed half-way leaves NAME.batch beside the table, saying the
// count and change counter the batch began with; the next open finding the
// header still at both cuts the batch's records off instead of keeping them
// as a crashed single append's. A writable open that finds no crash removes
// a NAME.batch left behind, so that it cannot match a later header.
#include "Bytes.h"
#include "DatabaseError.h"
#include "TableImpl.h"

#include <algorithm>
#include <cstring>
#include <utility>

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
    if (takeBackOnFailure)
        noteBatchStart();
    if (batchStart.indexTrusted) {
        batchStart.index = mdx.get();
        batchStart.indexWrites = mdx->writeCount();
    }
}

// A batch that must be whole or not at all leaves NAME.batch beside the table
// while it runs: the header's count and change counter when it began. The
// header keeps both on the disk until the batch's end, so a writer that died
// half-way is known by them, and the records past that count are its batch's.
void Table::Impl::noteBatchStart()
{
    if (dataRecords > header.recordCount)
        return; // records of a writer that died before are past the count already
    unsigned char bytes[8];
    try {
        // The header as the disk holds it, which the next open compares: after a
        // header write that failed, the copy in memory may differ.
        unsigned char h[dbf::kHeaderSize];
        dbf->readExact(0, h, sizeof h);
        std::memcpy(bytes, h + dbf::kRecordCount, 4);
        std::memcpy(bytes + 4, h + dbf::kChangeCounter, 4);
        auto file = fs.open(path + ".batch", OpenMode::CreateReadWrite);
        file->writeAt(0, bytes, sizeof bytes);
        file->sync();
        fs.syncDirectory(directoryOf(path));
        batchStart.noted = true;
    } catch (const DatabaseError&) {
        // On a full disk the batch fails soon and takes its records back while it runs.
        batchStart.noted = true;
        forgetBatchStart();
    }
}

void Table::Impl::forgetBatchStart()
{
    if (!std::exchange(batchStart.noted, false))
        return;
    try {
        fs.remove(path + ".batch");
    } catch (const DatabaseError&) {
        // Its count no longer matches the header's: it is ignored and removed by the next repair.
    }
}

// Under the write lock, outside a batch of ours: the records past the count
// belong to a batch that died half-way when NAME.batch matches the header; they go.
bool Table::Impl::cutUnfinishedBatch()
{
    const std::string name = path + ".batch";
    if (batchDepth > 0 || access == Access::ReadOnly || !fs.exists(name))
        return false;
    unsigned char bytes[8] = {};
    bool matches = false;
    try {
        matches = fs.open(name, OpenMode::ReadOnly)->readAt(0, bytes, sizeof bytes) == sizeof bytes &&
                  get32(bytes) == header.recordCount && get32(bytes + 4) == header.changeCounter;
        const std::uint32_t cut =
            std::max(recordsInFile(dbf->size()), header.recordCount) - header.recordCount;
        if (matches) {
            dbf->truncate(endOfData());
            const char mark = static_cast<char>(dbf::kEndMark);
            dbf->writeAt(endOfData(), &mark, 1);
            stamp = dbf->stamp();
            dataRecords = header.recordCount;
            window.clear();
            acceptedValid = false;
            liveCount.reset();
            if (cut > 0)
                warnings.push_back(
                    "An import into the table " + path + " stopped half-way when its program ended; the " +
                    std::to_string(cut) +
                    " records it had added were removed, so the table holds what it held before.");
        }
        fs.remove(name);
    } catch (const DatabaseError&) {
        // Tried again by the next open.
    }
    return matches;
}

// Under the header lock of a writable open that found no crash: a batch of
// ours holds the write lock from before it writes NAME.batch until after it
// removes it, so one found now was left behind (a kill after the batch's end
// was written, a failed removal) and could match a restored or new table.
void Table::Impl::removeStaleBatchNote()
{
    const std::string name = path + ".batch";
    try {
        if (fs.exists(name))
            fs.remove(name);
    } catch (const DatabaseError&) {
        // Tried again by the next open.
    }
}

// Whether the index file is as the batch found it and the batch only appended:
// nothing of the cache reached the file, so forgetting it takes every key back
// and nothing else.
bool Table::Impl::indexUntouched(const BatchStart& begun)
{
    return begun.index && begun.index == mdx.get() && !begun.indexFlushed && !begun.changedInPlace &&
           mdx->writeCount() == begun.indexWrites;
}

// A post that failed inside a batch after its keys went into the tags: the
// keys come out again, so the index stays whole. Outside a batch the header
// and the index may have stored them already, so the index is rebuilt instead.
bool Table::Impl::dropKeysOfFailedAppend(std::uint32_t n)
{
    if (batchDepth == 0 || !mdx || !indexError.empty() || crashPending)
        return false;
    try {
        mdx->dropLater(n);
        for (int t = 0; t < static_cast<int>(tagStates.size()); ++t)
            if (inTag(t, record.data()))
                mdx->remove(t, tagKey(t, record.data()), n); // false when it never got in
        return true;
    } catch (...) {
        return false;
    }
}

// Before the header commits a batch that must be whole, its records and index
// are on the disk: a sync that fails after the commit would report a failed
// import whose books are in the table.
std::exception_ptr Table::Impl::syncBeforeCommit()
{
    try {
        dbf->sync();
        if (mdx && indexError.empty() && !crashPending)
            mdx->sync();
        return nullptr;
    } catch (...) {
        return std::current_exception();
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
    const bool noted = batchStart.noted;
    const std::string order = orderName; // a rebuild below brings the order back
    bool keysOut = trusted && mdx && indexError.empty() && !crashPending;
    std::exception_ptr failure, indexFailure;
    if (keysOut)
        mdx->dropLater(start + 1); // the keys still waiting are all the batch's: none need go in
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
        batchStart.noted = noted;
        forgetBatchStart();
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
