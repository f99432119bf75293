// Opening a table, and repairing what a writer that died left behind.
#include "Bytes.h"
#include "DatabaseError.h"
#include "TableImpl.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace dbase {

namespace {

std::string replaceExtension(const std::string& path, const char* ext)
{
    auto slash = path.rfind('/');
    auto dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return path + ext;
    return path.substr(0, dot) + ext;
}

bool lowerCaseExtension(const std::string& path)
{
    auto dot = path.rfind('.');
    return dot != std::string::npos && dot + 1 < path.size() && path[dot + 1] >= 'a' && path[dot + 1] <= 'z';
}

} // namespace

// ---------------------------------------------------------------- opening

std::string Table::Impl::indexPath() const
{
    std::string wanted = replaceExtension(path, lowerCaseExtension(path) ? ".mdx" : ".MDX");
    auto slash = wanted.rfind('/');
    std::string dir = slash == std::string::npos ? "." : wanted.substr(0, slash == 0 ? 1 : slash);
    std::string name = slash == std::string::npos ? wanted : wanted.substr(slash + 1);
    std::string found = findFileIgnoringCase(dir, name, fs);
    return found.empty() ? wanted : found;
}

void Table::Impl::openTableFile()
{
    if (access == Access::ReadOnly) {
        dbf = fs.open(path, OpenMode::ReadOnly);
        return;
    }
    try {
        dbf = fs.open(path, OpenMode::ReadWrite);
    } catch (const IoError& e) {
        // A table on a CD, a write-protected stick or a share we may only read
        // can still be shown; an exclusive open is asked for in order to change it.
        if (access != Access::Shared || (e.errorNumber() != EROFS && e.errorNumber() != EACCES))
            throw;
        dbf = fs.open(path, OpenMode::ReadOnly);
        access = Access::ReadOnly;
        warnings.push_back("The table " + path + " cannot be changed (" + e.what() +
                           ") It is open read-only.");
    }
}

void Table::Impl::openFiles(const std::string& p, Access a, bool tolerateIndexDamage)
{
    path = p;
    access = a;
    openTableFile();
    if (access == Access::Exclusive) {
        if (!dbf->tryLock(locks::kOpenMarker, 1, LockKind::Write) ||
            !dbf->tryLock(locks::kTable, 2, LockKind::Write) ||
            !dbf->tryLock(locks::kTableRange, locks::kTableRangeLength, LockKind::Write))
            throw DatabaseError("The table " + path + " is in use and cannot be opened for exclusive use.");
        holdsExclusive = true;
        removeStaleTemporaries(); // before anything else needs room on the disk
    } else if (!dbf->tryLock(locks::kOpenMarker, 1, LockKind::Read)) {
        throw DatabaseError("The table " + path + " is opened for exclusive use by another program.");
    }

    // Read the table's header and its index as one state: a writer holds the
    // header lock for the whole of its change, so a read under it is never torn.
    bool evidence = false;
    {
        HeaderLock lock(*dbf, access != Access::Exclusive, LockKind::Read);
        header = DbfHeader::read(*dbf);
        headerBytes.resize(header.headerLength);
        dbf->readExact(0, headerBytes.data(), headerBytes.size());
        codePage = &CodePage::forLanguageDriver(header.languageDriver);
        stamp = dbf->stamp();
        checkFileSize();
        openIndex(tolerateIndexDamage);
        evidence = writeRefusal.empty() && crashEvidence();
        if (!evidence && writeRefusal.empty() && access != Access::ReadOnly)
            removeStaleBatchNote();
        // Under this lock no writer of ours is half-way, so whole records past
        // the count are a dead writer's: show them, as a writer adopts them.
        std::uint32_t inFile = recordsInFile(stamp.size);
        dataRecords = writeRefusal.empty() ? std::max(header.recordCount, inFile) : inFile;
        if (evidence && access == Access::ReadOnly && (header.incomplete || inFile > header.recordCount))
            markIndexStale("a change to the table was interrupted and the index may not hold it");
    }

    if (!writeRefusal.empty()) {
        if (access == Access::Exclusive)
            throw DatabaseError(writeRefusal);
        warnings.push_back(writeRefusal);
    }
    if (evidence && access != Access::ReadOnly) {
        bool upgraded = access == Access::Shared && upgradeToExclusive();
        try {
            recoverFromCrash();
            if (holdsExclusive)
                repairIndexAfterCrash(tolerateIndexDamage);
        } catch (...) {
            if (upgraded)
                downgradeToShared();
            throw;
        }
        if (upgraded)
            downgradeToShared();
        if (crashPending)
            markIndexStale("a change to the table was interrupted, and another program has it open");
    }
    if (!tolerateIndexDamage && !indexError.empty())
        throw DatabaseError(indexError);
    noteMissingMemo();
}

// Writing past a count the file cannot hold, or cutting the file to match a
// count that lies, destroys records: such a table is only read.
void Table::Impl::checkFileSize()
{
    writeRefusal.clear();
    if (stamp.size >= endOfData())
        return;
    writeRefusal = "The table " + path + " is damaged and cannot be changed: its header promises " +
                   std::to_string(header.recordCount) + " records of " + std::to_string(header.recordLength) +
                   " bytes after " + std::to_string(header.headerLength) + " bytes of header (" +
                   std::to_string(endOfData()) + " bytes), but the file has " + std::to_string(stamp.size) +
                   " bytes. Its records can be read and copied to a new table.";
}

bool Table::Impl::crashEvidence() const
{
    // One byte past the data is the end mark; none at all is fine too.
    return header.incomplete || stamp.size > endOfData() + 1;
}

// Takes the locks of an exclusive open while this shared open is the only
// open of the table, to repair it at once. False when anyone else has it open.
bool Table::Impl::upgradeToExclusive()
{
    if (!dbf->tryLock(locks::kOpenMarker, 1, LockKind::Write))
        return false;
    if (!dbf->tryLock(locks::kTable, 2, LockKind::Write)) {
        dbf->tryLock(locks::kOpenMarker, 1, LockKind::Read);
        return false;
    }
    if (!dbf->tryLock(locks::kTableRange, locks::kTableRangeLength, LockKind::Write)) {
        dbf->unlock(locks::kTable, 2);
        dbf->tryLock(locks::kOpenMarker, 1, LockKind::Read);
        return false;
    }
    holdsExclusive = true;
    removeStaleTemporaries();
    return true;
}

void Table::Impl::downgradeToShared()
{
    holdsExclusive = false;
    try {
        dbf->unlock(locks::kTableRange, locks::kTableRangeLength);
        dbf->unlock(locks::kTable, 2);
        dbf->tryLock(locks::kOpenMarker, 1, LockKind::Read); // turns our write lock back into a read lock
    } catch (const DatabaseError&) {
        // The locks go with the file when it is closed.
    }
}

// Files a pack, an index rebuild or a tag's sort of ours left when it died. With the table
// to ourselves nobody can be writing them; on a full disk they hold the room
// the next rebuild needs.
void Table::Impl::removeStaleTemporaries()
{
    for (const std::string& name : {path + ".pack", indexPath() + ".rebuild", indexPath() + ".sort"}) {
        try {
            if (fs.exists(name))
                fs.remove(name);
        } catch (const DatabaseError&) {
            // Left for the next exclusive open.
        }
    }
}

void Table::Impl::repairIndexAfterCrash(bool tolerateIndexDamage)
{
    if (!crashPending)
        return;
    try {
        std::vector<std::string> dropped = rebuildIndex();
        for (const std::string& tag : dropped)
            warnings.push_back(
                "The index tag " + tag + " of the table " + path +
                " was dropped when the index was rebuilt: its expression cannot be evaluated.");
        beginChange();
        crashPending = false;
        endChange();
    } catch (const IoError& e) {
        crashPending = true;
        if (!tolerateIndexDamage)
            throw;
        markIndexStale(std::string("it could not be rebuilt: ") + e.what());
    }
}

// From now on this open neither walks, seeks nor writes through the index:
// it may lack records or point at records that moved. The program offers a
// rebuild when it sees indexError().
void Table::Impl::markIndexStale(const std::string& why)
{
    if (!header.productionIndex)
        return;
    crashPending = true;
    if (!indexError.empty())
        return;
    indexError = "The index of the table " + path + " must be rebuilt: " + why + ".";
    order = -1;
    orderName.clear();
}

void Table::Impl::noteMissingMemo()
{
    if (header.hasMemo() && memoPath().empty())
        warnings.push_back("The memo file of the table " + path + " (" + replaceExtension(path, ".DBT") +
                           ") is missing; its memo texts are shown empty.");
}

std::string Table::Impl::memoPath() const
{
    std::string dbt = replaceExtension(path, ".DBT");
    auto slash = dbt.rfind('/');
    return findFileIgnoringCase(slash == std::string::npos ? "." : dbt.substr(0, slash),
                                slash == std::string::npos ? dbt : dbt.substr(slash + 1), fs);
}

std::uint32_t Table::Impl::recordsInFile(std::uint64_t size) const
{
    if (size <= header.headerLength)
        return 0;
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>((size - header.headerLength) / header.recordLength, UINT32_MAX));
}

std::uint64_t Table::Impl::endOfData() const
{
    return header.headerLength + std::uint64_t(header.recordCount) * header.recordLength;
}

void Table::Impl::openIndex(bool tolerateDamage)
{
    mdx.reset();
    tagStates.clear();
    indexError.clear();
    if (!header.productionIndex)
        return;
    std::string ip = indexPath();
    try {
        if (!fs.exists(ip))
            throw DatabaseError("The index file " + ip + " of the table " + path + " is missing.");
        auto file = fs.open(ip, access == Access::ReadOnly ? OpenMode::ReadOnly : OpenMode::ReadWrite);
        try {
            mdx = MdxFile::open(std::move(file), path);
        } catch (const IoError&) {
            throw;
        } catch (const DatabaseError& e) {
            throw DatabaseError("The index of the table " + path + " is damaged and must be rebuilt. " +
                                e.what());
        }
    } catch (const DatabaseError& e) {
        if (!tolerateDamage)
            throw;
        indexError = e.what();
        mdx.reset();
        return;
    }
    compileTags();
}

void Table::Impl::compileTags()
{
    tagStates.clear();
    if (!mdx)
        return;
    for (int t = 0; t < mdx->tagCount(); ++t) {
        TagState state;
        const TagDefinition& def = mdx->tag(t);
        if (!def.unusable.empty()) {
            state.error = "The index tag " + def.name + " cannot be used: " + def.unusable + ".";
            tagStates.push_back(std::move(state));
            continue;
        }
        try {
            state.key = Expression::compile(def.expression, header.fields);
            if (!def.forExpression.empty())
                state.condition = Expression::compile(def.forExpression, header.fields);
        } catch (const DatabaseError& e) {
            state.key.reset();
            state.error = e.what();
        }
        tagStates.push_back(std::move(state));
    }
}

// A writer that died leaves the incomplete byte set, or whole records past
// the header's count, or part of a record. Judge that only under the write
// lock: a live writer holds it. Nothing but a torn last record is ever cut.
void Table::Impl::recoverFromCrash()
{
    HeaderLock lock(*dbf, !holdsExclusive, LockKind::Write);
    unsigned char h[dbf::kHeaderSize];
    dbf->readExact(0, h, sizeof h);
    header.readCounters(h);
    stamp = dbf->stamp();
    checkFileSize();
    if (!writeRefusal.empty()) {
        dataRecords = recordsInFile(stamp.size);
        warnings.push_back(writeRefusal);
        return;
    }
    if (!crashEvidence())
        return; // another open repaired it meanwhile
    crashPending = crashPending || (header.incomplete && header.productionIndex);
    const bool markWas = header.incomplete;
    const std::uint32_t countWas = header.recordCount;
    cutUnfinishedBatch();
    std::uint32_t inFile = recordsInFile(stamp.size);
    adoptUnfinishedAppends(inFile);
    std::uint64_t torn = stamp.size - endOfData();
    if (torn > 1) {
        dbf->truncate(endOfData());
        const char mark = static_cast<char>(dbf::kEndMark);
        dbf->writeAt(endOfData(), &mark, 1);
        warnings.push_back("The last record of the table " + path + " was only partly written (" +
                           std::to_string(torn) + " of " + std::to_string(header.recordLength) +
                           " bytes) by a program that stopped; that part was removed.");
    }
    dataRecords = header.recordCount;
    if (torn > 1 || countWas != header.recordCount || markWas != crashPending) {
        header.incomplete = crashPending;
        writeChanges();
    }
    stamp = dbf->stamp();
    ownWrite = false;
}

// Records written in full past the header's count belong to appends that died
// before updating the count: keep them, and give every tag their keys (an
// entry may already be there when the index was written before the crash).
void Table::Impl::adoptUnfinishedAppends(std::uint32_t inFile)
{
    if (inFile <= header.recordCount || cutUnfinishedBatch())
        return;
    window.clear();
    // A change marked incomplete may have left the index torn: it is rebuilt
    // whole, so do not build on it.
    bool tagsUsable = !crashPending && indexError.empty() && (mdx || !header.productionIndex);
    for (const TagState& s : tagStates)
        tagsUsable = tagsUsable && s.usable();
    try {
        for (std::uint32_t n = header.recordCount + 1; tagsUsable && n <= inFile; ++n) {
            const char* rec = recordAt(n, true);
            for (int t = 0; t < static_cast<int>(tagStates.size()); ++t) {
                if (!inTag(t, rec))
                    continue;
                std::string k = tagKey(t, rec);
                mdx->remove(t, k, n);
                mdx->insert(t, k, n);
            }
        }
    } catch (const IoError&) {
        throw;
    } catch (const DatabaseError&) {
        tagsUsable = false; // a damaged tree: the rebuild will mend it
        if (mdx)
            mdx->invalidate();
    }
    crashPending = crashPending || !tagsUsable;
    header.recordCount = inFile;
    dataRecords = inFile;
    liveCount.reset();
    acceptedValid = false;
}

void Table::Impl::dropCaches()
{
    window.clear();
    acceptedValid = false;
    liveCount.reset();
    // Inside a batch we hold the write lock, so the file is as we left it
    // and the cache holds the batch's changes not yet written.
    if (mdx && indexError.empty() && batchDepth == 0)
        mdx->invalidate();
}

void Table::Impl::syncWithDisk()
{
    unsigned char h[dbf::kHeaderSize];
    dbf->readExact(0, h, sizeof h);
    DbfHeader fresh = header;
    fresh.readCounters(h);
    FileStamp now = dbf->stamp();
    bool countersSame =
        fresh.changeCounter == header.changeCounter && fresh.recordCount == header.recordCount;
    if (!stale && countersSame && (now == stamp || ownWrite)) {
        stamp = now;
        ownWrite = false;
        return;
    }
    stale = false;
    ownWrite = false;
    std::uint16_t headerLength = get16(h + dbf::kHeaderLength);
    std::uint16_t recordLength = get16(h + dbf::kRecordLength);
    if (headerLength != header.headerLength || recordLength != header.recordLength)
        throw DatabaseError("The table " + path + " was restructured by another program; open it again.");
    bool hadIndex = header.productionIndex;
    header.readCounters(h);
    header.productionIndex = hadIndex || header.productionIndex;
    stamp = now;
    checkFileSize();
    // Under the header lock a mark or whole records past the count are a dead
    // writer's: show its records, and stop trusting the index.
    std::uint32_t inFile = recordsInFile(now.size);
    dataRecords = writeRefusal.empty() ? std::max(header.recordCount, inFile) : inFile;
    if (header.incomplete || (writeRefusal.empty() && inFile > header.recordCount))
        markIndexStale("another program stopped in the middle of a change");
    dropCaches();
    if (!mdx && header.productionIndex && hadIndex == false)
        openIndex(true);
}

// ---------------------------------------------------------------- Table

std::unique_ptr<Table> Table::open(const std::string& path, Access access, FileSystem& fs)
{
    auto impl = std::make_unique<Impl>(fs);
    impl->openFiles(path, access, false);
    impl->clearPosition(false);
    std::unique_ptr<Table> table(new Table(std::move(impl)));
    table->first();
    return table;
}

std::unique_ptr<Table> Table::openIgnoringIndex(const std::string& path, Access access, FileSystem& fs)
{
    auto impl = std::make_unique<Impl>(fs);
    impl->openFiles(path, access, true);
    impl->clearPosition(false);
    std::unique_ptr<Table> table(new Table(std::move(impl)));
    table->first();
    return table;
}

} // namespace dbase
