#include "Table.h"

#include "Bytes.h"
#include "DatabaseError.h"
#include "MemoFile.h"
#include "TableImpl.h"
#include "Values.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <utility>

namespace dbase {

// ---------------------------------------------------------------- helpers

const char* RecordWindow::get(File& file, const DbfHeader& header, std::uint32_t recno, bool scan)
{
    bool forward = recno == m_last + 1;
    m_last = recno;
    if (recno >= m_first && recno < m_first + m_count)
        return m_buffer.data() + std::size_t(recno - m_first) * header.recordLength;
    std::uint32_t span = scan || forward ? std::max<std::uint32_t>(1, 65536 / header.recordLength) : 1;
    m_buffer.resize(std::size_t(span) * header.recordLength);
    std::uint64_t offset = header.headerLength + std::uint64_t(recno - 1) * header.recordLength;
    std::size_t got = file.readAt(offset, m_buffer.data(), m_buffer.size());
    m_first = recno;
    m_count = static_cast<std::uint32_t>(got / header.recordLength);
    if (m_count == 0)
        throw DatabaseError("The table " + file.path() + " is truncated: record " + std::to_string(recno) +
                            " is missing.");
    return m_buffer.data();
}

namespace {

class RawRecordView final : public RecordView {
public:
    RawRecordView(const Table::Impl& table, const char* rec) : m_table(table), m_rec(rec) {}
    int fieldCount() const override { return static_cast<int>(m_table.header.fields.size()); }
    const Field& field(int index) const override { return m_table.fieldAt(index); }
    int fieldIndex(const std::string& name) const override { return findField(m_table.header.fields, name); }
    std::string text(int index) const override { return m_table.fieldText(m_rec, index); }
    double number(int index) const override
    {
        const Field& f = m_table.fieldAt(index);
        return decodeNumber(std::string_view(m_rec + f.offset, f.length));
    }
    Date date(int index) const override
    {
        const Field& f = m_table.fieldAt(index);
        return decodeDate(std::string_view(m_rec + f.offset, f.length));
    }

private:
    const Table::Impl& m_table;
    const char* m_rec;
};

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

void Table::beginBatch()
{
    if (d->batchDepth == 0)
        d->requireWritable("change records");
    if (d->batchDepth++ > 0 || !d->sharedAccess())
        return;
    try {
        d->dbf->lock(locks::kHeader, 1, LockKind::Write);
        d->syncWithDisk();
    } catch (...) {
        --d->batchDepth;
        throw;
    }
}

void Table::endBatch()
{
    if (d->batchDepth == 0 || --d->batchDepth > 0)
        return;
    // What succeeded is written even when a post failed: its records are on the disk.
    std::exception_ptr failure = std::exchange(d->batchFailure, nullptr);
    bool dirty = std::exchange(d->batchDirty, false);
    try {
        if ((dirty || failure) && !d->stale) {
            d->writeChanges();
            d->makeDurable(); // a batch's end is a point its changes survive a power cut from
        }
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

// Files a pack or an index rebuild of ours left when it died. With the table
// to ourselves nobody can be writing them; on a full disk they hold the room
// the next rebuild needs.
void Table::Impl::removeStaleTemporaries()
{
    for (const std::string& name : {path + ".pack", indexPath() + ".rebuild"}) {
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
    if (fs.exists(dbt))
        return dbt;
    auto slash = dbt.rfind('/');
    return findFileIgnoringCase(slash == std::string::npos ? "." : dbt.substr(0, slash),
                                slash == std::string::npos ? dbt : dbt.substr(slash + 1));
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
    if (inFile <= header.recordCount)
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
    if (mdx && indexError.empty())
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

// ---------------------------------------------------------------- records

const Field& Table::Impl::fieldAt(int index) const
{
    if (index < 0 || index >= static_cast<int>(header.fields.size()))
        throw DatabaseError("The table " + path + " has no field number " + std::to_string(index + 1) + ".");
    return header.fields[index];
}

const char* Table::Impl::recordAt(std::uint32_t n, bool scan)
{
    return window.get(*dbf, header, n, scan);
}

void Table::Impl::buildAccepted()
{
    std::vector<std::uint8_t> result(std::size_t(dataRecords) + 1, 0);
    for (std::uint32_t n = 1; n <= dataRecords; ++n)
        result[n] = accepts(n, recordAt(n, true)) ? 1 : 0;
    accepted = std::move(result);
    acceptedValid = true;
}

void Table::Impl::noteAccepted(std::uint32_t n, const char* rec)
{
    if (!acceptedValid)
        return;
    if (accepted.size() <= n)
        accepted.resize(std::size_t(n) + 1, 0);
    accepted[n] = accepts(n, rec) ? 1 : 0;
}

bool Table::Impl::live(std::uint32_t n, const char* rec)
{
    if (rec[0] == ' ')
        return true;
    if (rec[0] == '*')
        return false;
    if (!oddFlagReported) {
        oddFlagReported = true;
        warnings.push_back("Record " + std::to_string(n) + " of the table " + path +
                           " has an unknown deletion mark (byte " +
                           std::to_string(static_cast<unsigned char>(rec[0])) +
                           "); it and any others like it are shown as not deleted.");
    }
    return true;
}

bool Table::Impl::accepts(std::uint32_t n, const char* rec)
{
    if (!live(n, rec))
        return false;
    if (!filter)
        return true;
    RawRecordView view(*this, rec);
    return filter(view);
}

bool Table::Impl::visible(std::uint32_t n)
{
    if (n < 1 || n > dataRecords)
        return false;
    if (!filter)
        return live(n, recordAt(n));
    if (!acceptedValid)
        buildAccepted();
    return n < accepted.size() && accepted[n];
}

std::string Table::Impl::tagKey(int tag, const char* rec) const
{
    return tagStates[tag].key->key(rec);
}

bool Table::Impl::inTag(int tag, const char* rec) const
{
    const TagState& s = tagStates[tag];
    return !s.condition || s.condition->evaluate(rec).logical;
}

void Table::Impl::load(std::uint32_t n)
{
    const char* rec = recordAt(n);
    record.assign(rec, header.recordLength);
    recno = n;
    if (order >= 0)
        key = tagKey(order, rec);
}

void Table::Impl::clearPosition(bool empty)
{
    recno = 0;
    key.clear();
    record.assign(header.recordLength, ' ');
    atBof = atEof = empty;
}

bool Table::Impl::moveFirst()
{
    if (order < 0) {
        for (std::uint32_t n = 1; n <= dataRecords; ++n)
            if (visible(n)) {
                load(n);
                return true;
            }
        return false;
    }
    for (auto e = mdx->first(order); e; e = mdx->after(order, *e))
        if (visible(e->recno)) {
            load(e->recno);
            key = e->key;
            return true;
        }
    return false;
}

bool Table::Impl::moveLast()
{
    if (order < 0) {
        for (std::uint32_t n = dataRecords; n >= 1; --n)
            if (visible(n)) {
                load(n);
                return true;
            }
        return false;
    }
    for (auto e = mdx->last(order); e; e = mdx->before(order, *e))
        if (visible(e->recno)) {
            load(e->recno);
            key = e->key;
            return true;
        }
    return false;
}

bool Table::Impl::moveNext()
{
    if (recno == 0)
        return moveFirst();
    if (order < 0) {
        for (std::uint32_t n = recno + 1; n <= dataRecords; ++n)
            if (visible(n)) {
                load(n);
                return true;
            }
        return false;
    }
    for (auto e = mdx->after(order, {key, recno}); e; e = mdx->after(order, *e))
        if (visible(e->recno)) {
            load(e->recno);
            key = e->key;
            return true;
        }
    return false;
}

bool Table::Impl::movePrior()
{
    if (recno == 0)
        return moveLast();
    if (order < 0) {
        for (std::uint32_t n = recno - 1; n >= 1; --n)
            if (visible(n)) {
                load(n);
                return true;
            }
        return false;
    }
    for (auto e = mdx->before(order, {key, recno}); e; e = mdx->before(order, *e))
        if (visible(e->recno)) {
            load(e->recno);
            key = e->key;
            return true;
        }
    return false;
}

std::uint32_t Table::Impl::countVisible()
{
    bool orderMatters = order >= 0 && (tagStates[order].condition || mdx->tag(order).unique);
    if (orderMatters) {
        std::uint32_t count = 0;
        for (auto e = mdx->first(order); e; e = mdx->after(order, *e))
            count += visible(e->recno) ? 1 : 0;
        return count;
    }
    if (filter) {
        if (!acceptedValid)
            buildAccepted();
        std::uint32_t count = 0;
        for (std::uint32_t n = 1; n <= dataRecords && n < accepted.size(); ++n)
            count += accepted[n];
        return count;
    }
    if (liveCount)
        return *liveCount;
    std::uint32_t count = 0;
    for (std::uint32_t n = 1; n <= dataRecords; ++n)
        count += live(n, recordAt(n, true)) ? 1 : 0;
    liveCount = count;
    return count;
}

// ---------------------------------------------------------------- values

std::string Table::Impl::fieldText(const char* rec, int index) const
{
    const Field& f = fieldAt(index);
    std::string_view raw(rec + f.offset, f.length);
    switch (f.type) {
    case FieldType::Character:
        return codePage->decode(trimRight(raw));
    case FieldType::Numeric:
    case FieldType::Float:
        return decodeNumberText(raw);
    case FieldType::Date: {
        Date d = decodeDate(raw);
        return d.isNull() ? std::string() : std::string(raw.substr(0, 8));
    }
    case FieldType::Logical:
        switch (raw[0]) {
        case 'T':
        case 't':
        case 'Y':
        case 'y':
            return "T";
        case 'F':
        case 'f':
        case 'N':
        case 'n':
            return "F";
        default:
            return {};
        }
    case FieldType::Memo:
        return decodeNumberText(raw);
    }
    return {};
}

std::string Table::Impl::encodeText(const Field& f, const std::string& utf8) const
{
    std::string bytes, bad;
    if (!codePage->encode(utf8, bytes, bad))
        throw DatabaseError("The character \"" + bad + "\" cannot be stored in the field " + f.name +
                            ": the table's code page (" + codePage->name() + ") has no such character.");
    bytes.resize(f.length, ' ');
    return bytes;
}

void Table::Impl::setFieldBytes(int index, const std::string& bytes)
{
    if (state == EditState::None)
        throw DatabaseError("The table " + path + " is not in edit or insert mode.");
    const Field& f = fieldAt(index);
    std::memcpy(record.data() + f.offset, bytes.data(), f.length);
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

void Table::setOrder(const std::string& tagName)
{
    OperationLock lock(*d, LockKind::Read);
    if (tagName.empty()) {
        d->order = -1;
        d->orderName.clear();
    } else {
        if (!d->indexError.empty())
            throw DatabaseError(d->indexError);
        int t = d->mdx ? d->mdx->findTag(tagName) : -1;
        if (t < 0)
            throw DatabaseError("The table " + d->path + " has no index tag " + tagName + ".");
        if (!d->tagStates[t].usable())
            throw DatabaseError("The index tag " + d->mdx->tag(t).name + " of " + d->path +
                                " cannot be used: " + d->tagStates[t].error);
        d->order = t;
        d->orderName = d->mdx->tag(t).name;
    }
    // Stay on the same record when it belongs to the new order.
    std::uint32_t keep = d->recno;
    if (keep && d->visible(keep) && (d->order < 0 || d->inTag(d->order, d->recordAt(keep)))) {
        d->load(keep);
        d->atBof = d->atEof = false;
    } else {
        bool found = d->moveFirst();
        if (!found)
            d->clearPosition(true);
        d->atBof = true;
        d->atEof = !found;
    }
}

void Table::first()
{
    if (d->state != EditState::None)
        post();
    OperationLock lock(*d, LockKind::Read);
    bool found = d->moveFirst();
    if (!found)
        d->clearPosition(true);
    d->atBof = true;
    d->atEof = !found;
}

void Table::last()
{
    if (d->state != EditState::None)
        post();
    OperationLock lock(*d, LockKind::Read);
    bool found = d->moveLast();
    if (!found)
        d->clearPosition(true);
    d->atEof = true;
    d->atBof = !found;
}

void Table::next()
{
    if (d->state != EditState::None)
        post();
    if (d->atEof && d->recno == 0)
        return;
    OperationLock lock(*d, LockKind::Read);
    if (d->recno == 0 || !d->moveNext()) {
        d->atEof = true;
        if (d->recno == 0)
            d->atBof = true;
        return;
    }
    d->atBof = false;
    d->atEof = false;
}

void Table::prior()
{
    if (d->state != EditState::None)
        post();
    if (d->atBof && d->recno == 0)
        return;
    OperationLock lock(*d, LockKind::Read);
    if (d->recno == 0 || !d->movePrior()) {
        d->atBof = true;
        if (d->recno == 0)
            d->atEof = true;
        return;
    }
    d->atBof = false;
    d->atEof = false;
}

bool Table::bof() const
{
    return d->atBof;
}
bool Table::eof() const
{
    return d->atEof;
}
std::uint32_t Table::recno() const
{
    return d->recno;
}

bool Table::seek(const std::string& value)
{
    if (d->order < 0)
        throw DatabaseError("The table " + d->path + " has no current index order to search in.");
    if (d->state != EditState::None)
        post();
    OperationLock lock(*d, LockKind::Read);
    const TagDefinition& def = d->mdx->tag(d->order);
    std::string probe;
    switch (def.keyType) {
    case ValueType::Numeric: {
        Field f{"KEY", FieldType::Numeric, 20, 8, 0};
        probe = numericKey(decodeNumber(encodeNumberText(f, value)));
        break;
    }
    case ValueType::Date: {
        Date date = decodeDate(value);
        probe = dateKey(date.isNull() ? 0 : julianDay(date.year, date.month, date.day));
        break;
    }
    default: {
        std::string bad;
        if (!d->codePage->encode(value, probe, bad))
            return false;
        if (static_cast<int>(probe.size()) > def.keyLength)
            probe.resize(def.keyLength);
        break;
    }
    }
    for (auto e = d->mdx->seek(d->order, probe); e; e = d->mdx->after(d->order, *e)) {
        if (d->visible(e->recno)) {
            d->load(e->recno);
            d->key = e->key;
            d->atBof = d->atEof = false;
            if (def.keyType == ValueType::Character)
                return e->key.compare(0, probe.size(), probe) == 0;
            return d->mdx->compareKeys(d->order, e->key, probe) == 0;
        }
    }
    d->atEof = true;
    return false;
}

bool Table::gotoBookmark(std::uint32_t recno)
{
    if (d->state != EditState::None)
        post();
    OperationLock lock(*d, LockKind::Read);
    if (!d->visible(recno))
        return false;
    if (d->order >= 0 && !d->inTag(d->order, d->recordAt(recno)))
        return false;
    d->load(recno);
    d->atBof = d->atEof = false;
    return true;
}

void Table::refresh()
{
    OperationLock lock(*d, LockKind::Read);
    d->dropCaches();
    if (d->state != EditState::None)
        return;
    if (d->recno && d->visible(d->recno)) {
        d->load(d->recno);
        return;
    }
    bool found = d->moveFirst();
    if (!found)
        d->clearPosition(true);
    d->atBof = true;
    d->atEof = !found;
}

std::uint32_t Table::recordCount()
{
    OperationLock lock(*d, LockKind::Read);
    return d->countVisible();
}

std::vector<std::uint32_t> Table::visibleRecords()
{
    OperationLock lock(*d, LockKind::Read);
    if (d->filter && !d->acceptedValid)
        d->buildAccepted();
    std::vector<std::uint8_t> live;
    if (!d->filter) {
        live.assign(std::size_t(d->dataRecords) + 1, 0);
        for (std::uint32_t n = 1; n <= d->dataRecords; ++n)
            live[n] = d->live(n, d->recordAt(n, true));
    }
    const std::vector<std::uint8_t>& ok = d->filter ? d->accepted : live;
    auto shown = [&](std::uint32_t n) { return n >= 1 && n <= d->dataRecords && n < ok.size() && ok[n]; };
    std::vector<std::uint32_t> out;
    if (d->order < 0) {
        for (std::uint32_t n = 1; n <= d->dataRecords; ++n)
            if (shown(n))
                out.push_back(n);
    } else {
        for (auto e = d->mdx->first(d->order); e; e = d->mdx->after(d->order, *e))
            if (shown(e->recno))
                out.push_back(e->recno);
    }
    return out;
}

void Table::setFilter(RecordFilter filter)
{
    d->filter = std::move(filter);
    d->acceptedValid = false;
    d->accepted.clear();
}

// ---------------------------------------------------------------- values

std::string Table::text(int field) const
{
    return d->fieldText(d->record.data(), field);
}
std::string Table::text(const std::string& field) const
{
    return text(fieldIndex(field) < 0 ? -1 : fieldIndex(field));
}

long long Table::whole(int field) const
{
    double v = floating(field);
    return static_cast<long long>(v < 0 ? v - 0.5 : v + 0.5);
}

double Table::floating(int field) const
{
    const Field& f = d->fieldAt(field);
    return decodeNumber(std::string_view(d->record.data() + f.offset, f.length));
}

Date Table::date(int field) const
{
    const Field& f = d->fieldAt(field);
    if (f.type != FieldType::Date)
        throw DatabaseError("The field " + f.name + " of " + d->path + " is not a date field.");
    return decodeDate(std::string_view(d->record.data() + f.offset, f.length));
}

bool Table::isBlank(int field) const
{
    const Field& f = d->fieldAt(field);
    return dbase::isBlank(std::string_view(d->record.data() + f.offset, f.length));
}

void Table::setText(int field, const std::string& value)
{
    const Field& f = d->fieldAt(field);
    switch (f.type) {
    case FieldType::Character:
        d->setFieldBytes(field, d->encodeText(f, value));
        break;
    case FieldType::Numeric:
    case FieldType::Float:
        d->setFieldBytes(field, encodeNumberText(f, value));
        break;
    case FieldType::Date:
        d->setFieldBytes(field, encodeDateText(f, value));
        break;
    case FieldType::Logical:
        d->setFieldBytes(field, encodeLogicalText(f, value));
        break;
    case FieldType::Memo:
        throw DatabaseError("The memo field " + f.name + " of " + d->path + " is read-only.");
    }
}

void Table::setText(const std::string& field, const std::string& value)
{
    int index = fieldIndex(field);
    if (index < 0)
        throw DatabaseError("The table " + d->path + " has no field " + field + ".");
    setText(index, value);
}

void Table::setWhole(int field, long long value)
{
    const Field& f = d->fieldAt(field);
    if (f.type != FieldType::Numeric && f.type != FieldType::Float)
        throw DatabaseError("The field " + f.name + " of " + d->path + " is not a numeric field.");
    d->setFieldBytes(field, encodeWhole(f, value));
}

void Table::setFloating(int field, double value)
{
    const Field& f = d->fieldAt(field);
    if (f.type != FieldType::Numeric && f.type != FieldType::Float)
        throw DatabaseError("The field " + f.name + " of " + d->path + " is not a numeric field.");
    d->setFieldBytes(field, encodeNumber(f, value));
}

void Table::setDate(int field, const Date& value)
{
    const Field& f = d->fieldAt(field);
    if (f.type != FieldType::Date)
        throw DatabaseError("The field " + f.name + " of " + d->path + " is not a date field.");
    d->setFieldBytes(field, encodeDate(f, value));
}

std::string Table::memo(int field) const
{
    const Field& f = d->fieldAt(field);
    if (f.type != FieldType::Memo)
        throw DatabaseError("The field " + f.name + " of " + d->path + " is not a memo field.");
    std::string number = decodeNumberText(std::string_view(d->record.data() + f.offset, f.length));
    if (number.empty() || number == "0")
        return {};
    if (!d->memoOpened) {
        d->memoOpened = true;
        std::string dbt = replaceExtension(d->path, ".DBT");
        auto slash = dbt.rfind('/');
        std::string found =
            findFileIgnoringCase(slash == std::string::npos ? "." : dbt.substr(0, slash),
                                 slash == std::string::npos ? dbt : dbt.substr(slash + 1), d->fs);
        if (!found.empty())
            d->memo = MemoFile::open(d->fs.open(found, OpenMode::ReadOnly), d->header.dbase4Memo());
    }
    if (!d->memo)
        return {};
    return d->codePage->decode(d->memo->read(static_cast<std::uint32_t>(decodeNumber(number))));
}

} // namespace dbase
