// Changes to a table: records, tags, pack and index rebuilds.
//
// How a change reaches the disk, and what a crash at any point leaves
// ------------------------------------------------------------------------
// The record count in the header is the commit point of an append; byte 14
// of the header (the incomplete mark, 0x01) says the index may not match the
// records. A shared open holds the header lock byte (locks::kHeader) for
// writing from the first step to the last, so no reader of ours ever sees a
// change half-way; whatever a reader finds under that lock was left by a
// writer that died.
//
// One change (post, delete), in this order:
//   1. When the change touches an index: set the mark (one byte). Appends to
//      a table without an index are not marked; a whole record past the count
//      says all the next open needs.
//   2. Write the record. An append writes the record and the end mark (0x1A)
//      in one write, past the last record.
//   3. Change the index in its page cache; a full cache may write pages early.
//   4. Flush the index.
//   5. Write the 32-byte header: the new count, the change counter (bytes
//      16-19, so other opens notice) plus one, and the mark cleared, unless
//      the index is known to need a rebuild (crashPending), when it stays set.
// A batch does step 1 at its first change, 2 and 3 for every post, and 4 and
// 5 once at endBatch(). A post that fails inside a batch is remembered:
// endBatch() still does 4 and 5 for the posts that succeeded, then throws it.
//
// When one of our own writes fails: an append takes its record back (the old
// count back on the disk first, when step 5 may have stored the new one; then
// the file is cut to the old end and the end mark rewritten), so no reader
// sees part of a record. A failed edit or delete may have torn its record in
// place; the mark stays set and the index is left for a rebuild.
//
// Pack: the live records go to NAME.DBF.pack, marked incomplete when the
// table has an index, synced, renamed over the table; then the index is
// rebuilt in NAME.MDX.rebuild, synced, renamed over the index, and the mark
// cleared. A crash leaves the old table and index, or the new table marked
// for a rebuild; a failure removes the temporary file, and an exclusive open
// removes any a dead pack or rebuild left.
//
// A killed process leaves every write in the page cache; a power cut keeps
// only what was synced. The sync points (makeDurable(): a batch's end, close,
// pack, index rebuild) flush the records first and the index after, with the
// mark set between, so a cut there leaves a table that rebuilds its index.
//
// After a crash (Table.cpp, when opening and when noticing another's change):
// whole records past the count are kept (given their keys when no mark was
// set), a torn last record is the only thing ever cut (with a warning), and a
// file shorter than its count promises is never cut or written. A set mark
// means the index is rebuilt at once when every lock of an exclusive open can
// be had (an exclusive open, or a shared open that is alone); otherwise the
// open reports indexError() and neither walks, seeks nor writes the index.
#include "DatabaseError.h"
#include "RecordPrefetch.h"
#include "TableImpl.h"
#include "Values.h"

#include <array>
#include <cstring>
#include <exception>

namespace dbase {

namespace {

std::string fileName(const std::string& path)
{
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string baseName(const std::string& path)
{
    std::string name = fileName(path);
    auto dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// Takes every lock an exclusive open holds, on a file about to replace the table.
void lockExclusively(File& file)
{
    if (!file.tryLock(locks::kOpenMarker, 1, LockKind::Write) ||
        !file.tryLock(locks::kTable, 2, LockKind::Write) ||
        !file.tryLock(locks::kTableRange, locks::kTableRangeLength, LockKind::Write))
        throw DatabaseError("Cannot lock the new file " + file.path() + ".");
}

} // namespace

// ---------------------------------------------------------------- transactions

void Table::Impl::requireWritable(const char* what) const
{
    if (access == Access::ReadOnly)
        throw DatabaseError("The table " + path + " is open read-only; cannot " + what + ".");
    if (!writeRefusal.empty())
        throw DatabaseError(writeRefusal);
    for (std::size_t t = 0; t < tagStates.size(); ++t)
        if (!tagStates[t].usable())
            throw DatabaseError("Cannot " + std::string(what) + " in " + path + ": the index tag " +
                                mdx->tag(static_cast<int>(t)).name + " cannot be kept up to date (" +
                                tagStates[t].error + "). Rebuild the indexes first.");
    if (!indexError.empty())
        throw DatabaseError("Cannot " + std::string(what) + " in " + path +
                            " while its index is damaged. Rebuild the indexes first.");
}

void Table::Impl::requireExclusive(const char* what) const
{
    if (access != Access::Exclusive)
        throw DatabaseError("Cannot " + std::string(what) + ": the table " + path +
                            " must be opened for exclusive use.");
    // Taking back a batch's appends undoes its key changes, not a new set of tags or records.
    if (batchDepth > 0)
        throw DatabaseError("Cannot " + std::string(what) + " in " + path +
                            " while a batch of changes is under way on it.");
}

// Marks a multi-step change in the header's incomplete-transaction byte, so
// that a crash half-way is noticed by the next writer.
void Table::Impl::beginChange()
{
    if (header.incomplete)
        return;
    const unsigned char one = 1;
    dbf->writeAt(dbf::kIncomplete, &one, 1);
    header.incomplete = true;
    unsynced = true;
}

void Table::Impl::endChange()
{
    // Inside a batch the index and the header are written once, at its end;
    // the incomplete mark set by beginChange() covers the time between.
    if (batchDepth > 0) {
        batchDirty = true;
        return;
    }
    writeChanges();
}

// The index first, then the header that counts the records it indexes. An
// index that cannot be written is left for a rebuild, and the count is still
// written: the records are on the disk.
void Table::Impl::writeChanges()
{
    std::exception_ptr indexFailure;
    if (mdx && !crashPending) {
        try {
            mdx->flush();
        } catch (const DatabaseError& e) {
            indexFailure = std::current_exception();
            markIndexStale(std::string("it could not be written: ") + e.what());
        }
    }
    writeHeader();
    if (indexFailure)
        std::rethrow_exception(indexFailure);
}

void Table::Impl::writeHeader()
{
    header.incomplete = crashPending;
    ++header.changeCounter;
    unsigned char h[dbf::kHeaderSize];
    std::memcpy(h, headerBytes.data(), sizeof h);
    header.writeFixedPart(h);
    dbf->writeAt(0, h, sizeof h);
    std::memcpy(headerBytes.data(), h, sizeof h);
    ownWrite = true; // the next check adopts the new stamp instead of taking it for another program's write
    unsynced = true;
}

// Inside a batch the caller may go on after a failed post; endBatch() reports it.
void Table::Impl::noteWriteFailure()
{
    if (batchDepth > 0 && !batchFailure)
        batchFailure = std::current_exception();
}

// Puts every change so far on the disk. The index gets there while the data
// file's incomplete mark is on the disk, and the mark is cleared only after
// both, so a power cut between the two syncs leaves a table whose index is
// rebuilt, never one whose index silently disagrees with its records.
void Table::Impl::makeDurable()
{
    if (!unsynced || access == Access::ReadOnly)
        return;
    const bool mark = mdx && !header.incomplete && !crashPending && !stale;
    const unsigned char one = 1, zero = 0;
    if (mark)
        dbf->writeAt(dbf::kIncomplete, &one, 1);
    dbf->sync();
    if (mdx) {
        mdx->sync();
        if (mark) {
            dbf->writeAt(dbf::kIncomplete, &zero, 1);
            dbf->sync();
        }
    }
    unsynced = false;
}

void Table::Impl::writeRecord(std::uint32_t n, const std::string& bytes, bool append)
{
    std::uint64_t offset = header.headerLength + std::uint64_t(n - 1) * header.recordLength;
    if (append) {
        // Kept between appends: a fresh copy of every record cost an allocation each.
        thread_local std::string withMark;
        withMark.assign(bytes);
        withMark.push_back(static_cast<char>(dbf::kEndMark));
        dbf->writeAt(offset, withMark.data(), withMark.size());
    } else {
        dbf->writeAt(offset, bytes.data(), bytes.size());
    }
    window.clear();
    unsynced = true;
}

void Table::Impl::maintainTags(std::uint32_t n, const char* before, const char* after)
{
    for (int t = 0; t < static_cast<int>(tagStates.size()); ++t) {
        bool wasIn = before && inTag(t, before);
        bool isIn = after && inTag(t, after);
        std::string oldKey = wasIn ? tagKey(t, before) : std::string();
        std::string newKey = isIn ? tagKey(t, after) : std::string();
        if (wasIn && isIn && oldKey == newKey)
            continue;
        if (before && batchDepth > 0)
            batchStart.changedInPlace = true; // forgetting the index cache would undo this too
        if (wasIn)
            mdx->remove(t, oldKey, n);
        // Appends inside a batch: their keys may wait and go in sorted, the
        // index being flushed only at the batch's end anyway.
        if (isIn && !before && batchDepth > 0)
            mdx->insertLater(t, newKey, n);
        else if (isIn)
            mdx->insert(t, newKey, n);
    }
}

void Table::Impl::appendLocked()
{
    if (sharedAccess())
        adoptUnfinishedAppends(recordsInFile(stamp.size));
    const std::uint32_t count = header.recordCount;
    const std::uint32_t n = count + 1;
    // Without an index a record past the header's count tells the next open
    // all it needs; with one, a flush cut short may leave a torn tree.
    if (mdx)
        beginChange();
    bool keysTouched = false, headerTried = false;
    try {
        writeRecord(n, record, true);
        header.recordCount = n;
        keysTouched = true;
        maintainTags(n, nullptr, record.data());
        headerTried = batchDepth == 0;
        endChange();
    } catch (...) {
        takeBackAppend(count, keysTouched, headerTried);
        noteWriteFailure();
        throw;
    }
    dataRecords = n;
    noteAccepted(n, record.data());
    if (liveCount)
        ++*liveCount;
    recno = n;
}

// A post that failed must leave no trace: no part of a record after the last
// one for other readers to trip over. The index may hold the record's keys
// by now: inside a batch they come out again, else it is left for a rebuild.
// Best effort: the disk may refuse this too.
void Table::Impl::takeBackAppend(std::uint32_t count, bool keysTouched, bool headerTried)
{
    header.recordCount = count;
    dataRecords = std::min(dataRecords, count);
    if (keysTouched && !dropKeysOfFailedAppend(count + 1))
        markIndexStale("a record could not be added to it");
    window.clear();
    acceptedValid = false;
    liveCount.reset();
    // A header write that failed may have stored the new count: only cut the
    // record once the old count is back on the disk.
    bool countSafe = !headerTried;
    if (batchDepth == 0 || headerTried) {
        try {
            writeHeader();
            countSafe = true;
        } catch (const DatabaseError&) {
        }
    }
    if (!countSafe)
        return;
    try {
        dbf->truncate(endOfData());
        const char mark = static_cast<char>(dbf::kEndMark);
        dbf->writeAt(endOfData(), &mark, 1);
        stamp = dbf->stamp();
    } catch (const DatabaseError&) {
        // The next open cuts what is left of it.
    }
}

void Table::Impl::postLocked()
{
    if (state == EditState::Append) {
        appendLocked();
    } else {
        std::string onDisk(recordAt(recno), header.recordLength);
        if (onDisk[0] == '*' && original[0] != '*')
            throw DatabaseError("Record " + std::to_string(recno) + " of " + path +
                                " was deleted by another user or program since you began editing it.");
        if (onDisk != original)
            throw DatabaseError("Record " + std::to_string(recno) + " of " + path +
                                " was changed by another user or program since you began editing it.");
        if (onDisk == record) {
            state = EditState::None;
            return;
        }
        change([&] {
            writeRecord(recno, record, false);
            maintainTags(recno, onDisk.data(), record.data());
        });
        noteAccepted(recno, record.data());
    }
    state = EditState::None;
    if (order >= 0)
        key = tagKey(order, record.data());
}

// ---------------------------------------------------------------- records

void Table::append()
{
    if (d->state != EditState::None)
        post();
    d->requireWritable("add a record");
    d->original.clear();
    d->record.assign(d->header.recordLength, ' ');
    d->state = EditState::Append;
}

void Table::edit()
{
    if (d->state != EditState::None)
        return;
    d->requireWritable("edit a record");
    if (d->recno == 0)
        throw DatabaseError("There is no current record to edit in " + d->path + ".");
    d->original = d->record;
    d->state = EditState::Edit;
}

bool Table::editing() const
{
    return d->state != EditState::None;
}

void Table::post()
{
    if (d->state == EditState::None)
        return;
    d->requireWritable("save the record");
    OperationLock lock(*d, LockKind::Write);
    d->postLocked();
    d->atBof = d->atEof = false;
}

void Table::cancel()
{
    if (d->state == EditState::None)
        return;
    bool appending = d->state == EditState::Append;
    d->state = EditState::None;
    if (!appending) {
        d->record = d->original;
        return;
    }
    if (d->recno == 0) {
        d->clearPosition(d->atBof && d->atEof);
        return;
    }
    OperationLock lock(*d, LockKind::Read);
    if (d->recno <= d->dataRecords)
        d->load(d->recno);
}

void Table::deleteRecord()
{
    if (d->state == EditState::Append) {
        cancel();
        return;
    }
    d->state = EditState::None;
    d->requireWritable("delete a record");
    if (d->recno == 0)
        throw DatabaseError("There is no current record to delete in " + d->path + ".");
    {
        OperationLock lock(*d, LockKind::Write);
        std::uint32_t n = d->recno;
        std::string onDisk(d->recordAt(n), d->header.recordLength);
        if (onDisk[0] != '*') {
            std::string marked = onDisk;
            marked[0] = '*';
            d->change([&] {
                d->writeRecord(n, marked, false);
                d->maintainTags(n, onDisk.data(), marked.data());
            });
            d->noteAccepted(n, marked.data());
            if (d->liveCount)
                --*d->liveCount;
        }
        // Move on to the next visible record, else the previous one.
        d->record = onDisk;
        d->record[0] = '*';
        if (d->moveNext()) {
            d->atBof = d->atEof = false;
            return;
        }
        d->recno = n;
        if (d->movePrior()) {
            d->atEof = true;
            d->atBof = false;
            return;
        }
        d->clearPosition(true);
    }
}

// ---------------------------------------------------------------- creating

void Table::create(const std::string& path, const std::vector<FieldSpec>& specs, FileSystem& fs)
{
    std::vector<Field> fields = layoutFields(specs);
    std::string bytes = DbfHeader::build(fields, dbf::kWindows1252Driver, 0x03);
    bytes.push_back(static_cast<char>(dbf::kEndMark));
    // Never truncate a table that someone has open.
    std::unique_ptr<File> file;
    if (fs.exists(path)) {
        file = fs.open(path, OpenMode::ReadWrite);
        if (!file->tryLock(locks::kOpenMarker, 1, LockKind::Write) ||
            !file->tryLock(locks::kTable, 2, LockKind::Write))
            throw DatabaseError("The table " + path + " is in use and cannot be replaced.");
        file->truncate(0);
    } else {
        file = fs.open(path, OpenMode::CreateReadWrite);
    }
    file->writeAt(0, bytes.data(), bytes.size());
    file->sync();
    // An index, or a batch's note, left by an earlier table of this name would describe other records.
    auto impl = std::make_unique<Impl>(fs);
    impl->path = path;
    for (const std::string& stale : {impl->indexPath(), path + ".batch"})
        if (fs.exists(stale))
            fs.remove(stale);
}

// ---------------------------------------------------------------- tags

// Reads the records in file order and adds the tag's entries through the
// index, which sorts them in bounded memory beside the index file.
int Table::Impl::buildTag(MdxFile& index, const TagDefinition& definition, int tag)
{
    // The keys of a piece of records, computed on the reading thread (the key
    // and condition expressions are immutable); the sizes say which are in the tag.
    struct PieceKeys {
        std::string bytes;                  // kept keys, `room` bytes apart
        std::vector<std::uint32_t> sizes;   // kNotInTag for a record the condition leaves out
        std::vector<std::string> oversized; // keys longer than `room`, in record order
    };
    constexpr std::uint32_t kNotInTag = 0xFFFFFFFFu;
    const std::size_t room = std::size_t(std::max(definition.keyLength, 1));
    std::array<PieceKeys, RecordPrefetch::kSlots> keys;
    auto prepare = [&](const RecordPrefetch::Piece& piece) {
        PieceKeys& out = keys[piece.slot];
        out.bytes.resize(std::size_t(piece.count) * room);
        out.sizes.assign(piece.count, kNotInTag);
        out.oversized.clear();
        for (std::uint32_t i = 0; i < piece.count; ++i) {
            const char* rec = piece.bytes + std::size_t(i) * header.recordLength;
            if (!inTag(tag, rec))
                continue;
            std::string key = tagKey(tag, rec);
            out.sizes[i] = static_cast<std::uint32_t>(key.size());
            if (key.size() <= room)
                std::memcpy(out.bytes.data() + std::size_t(i) * room, key.data(), key.size());
            else
                out.oversized.push_back(std::move(key));
        }
    };
    auto feed = [&](const MdxFile::EntrySink& add) {
        RecordPrefetch ahead(*dbf, header.headerLength, header.recordLength, dataRecords, prepare);
        for (RecordPrefetch::Piece piece; ahead.next(piece);) {
            if (!piece.prepared)
                prepare(piece);
            const PieceKeys& in = keys[piece.slot];
            std::size_t nextOversized = 0;
            for (std::uint32_t i = 0; i < piece.count; ++i) {
                const std::uint32_t size = in.sizes[i];
                if (size == kNotInTag)
                    continue;
                if (size <= room)
                    add(std::string_view(in.bytes.data() + std::size_t(i) * room, size), piece.first + i);
                else
                    add(in.oversized[nextOversized++], piece.first + i);
            }
        }
    };
    return index.addTag(definition, feed, fs, indexPath() + ".sort");
}

void Table::addTag(const std::string& name, const std::string& expression, const std::string& forExpression,
                   bool descending, bool unique)
{
    d->requireExclusive("add an index tag");
    if (d->state != EditState::None)
        post();
    if (!d->indexError.empty())
        throw DatabaseError("Cannot add the index tag " + name + " to " + d->path +
                            " while its index is damaged. Rebuild the indexes first.");
    Expression key = Expression::compile(expression, d->header.fields);
    std::optional<Expression> condition;
    if (!forExpression.empty())
        condition = Expression::compile(forExpression, d->header.fields);
    if (key.type() == ValueType::Logical)
        throw DatabaseError("The index expression \"" + expression +
                            "\" gives a logical value; keys must be text, "
                            "numbers or dates.");
    if (key.type() == ValueType::Character && key.length() > 100)
        throw DatabaseError("The index expression \"" + expression + "\" gives keys of " +
                            std::to_string(key.length()) + " characters; at most 100 are allowed.");
    if (name.empty() || name.size() > 10)
        throw DatabaseError("The index tag name \"" + name + "\" must have 1 to 10 characters.");

    d->beginChange();
    if (!d->mdx) {
        std::string ip = d->indexPath();
        d->mdx = MdxFile::create(d->fs.open(ip, OpenMode::CreateReadWrite), baseName(d->path));
        d->header.productionIndex = true;
        d->headerBytes[dbf::kProductionIndex] = 1;
    }
    TagDefinition def;
    def.name = name;
    for (char& c : def.name)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    def.expression = expression;
    def.forExpression = forExpression;
    def.keyType = key.type();
    def.keyLength = key.type() == ValueType::Character ? key.length()
                    : key.type() == ValueType::Numeric ? 12
                                                       : 8;
    def.descending = descending;
    def.unique = unique;
    TagState state;
    state.key = std::move(key);
    state.condition = std::move(condition);
    d->tagStates.push_back(std::move(state));
    try {
        int tag = static_cast<int>(d->tagStates.size()) - 1;
        d->buildTag(*d->mdx, def, tag);
    } catch (...) {
        d->tagStates.pop_back();
        throw;
    }
    d->endChange();
}

void Table::deleteTag(const std::string& name)
{
    d->requireExclusive("delete an index tag");
    if (!d->indexError.empty())
        throw DatabaseError("Cannot delete the index tag " + name + " from " + d->path +
                            " while its index is damaged. Rebuild the indexes first.");
    int t = d->mdx ? d->mdx->findTag(name) : -1;
    if (t < 0)
        throw DatabaseError("The table " + d->path + " has no index tag " + name + ".");
    if (d->order == t) {
        d->order = -1;
        d->orderName.clear();
    } else if (d->order > t) {
        --d->order;
    }
    d->beginChange();
    d->mdx->deleteTag(t);
    d->tagStates.erase(d->tagStates.begin() + t);
    d->endChange();
}

// ---------------------------------------------------------------- pack and rebuild

// Writes every usable tag afresh into a new index file beside the old one and
// renames it into place. Returns the names of tags that had to be dropped.
std::vector<std::string> Table::Impl::rebuildIndex()
{
    std::vector<std::string> dropped;
    if (!header.productionIndex)
        return dropped;
    std::vector<TagDefinition> definitions;
    std::vector<TagState> states;
    if (mdx) {
        for (int t = 0; t < mdx->tagCount(); ++t) {
            if (tagStates[t].usable()) {
                definitions.push_back(mdx->tag(t));
                states.push_back(std::move(tagStates[t]));
            } else {
                dropped.push_back(mdx->tag(t).name);
            }
        }
    }
    std::string finalPath = indexPath();
    std::string temporary = finalPath + ".rebuild";
    dbf->sync(); // the records the new index describes reach the disk before it does
    try {
        auto fresh = MdxFile::create(fs.open(temporary, OpenMode::CreateReadWrite), baseName(path));
        tagStates = std::move(states);
        for (std::size_t t = 0; t < definitions.size(); ++t)
            buildTag(*fresh, definitions[t], static_cast<int>(t));
        fresh->sync(); // on the disk before it replaces the old index
        fresh.reset();
        mdx.reset();
        fs.rename(temporary, finalPath);
    } catch (...) {
        // On a full disk the half-built file would keep the disk full.
        try {
            fs.remove(temporary);
        } catch (const DatabaseError&) {
        }
        throw;
    }
    fs.syncDirectory(directoryOf(finalPath));
    mdx = MdxFile::open(fs.open(finalPath, OpenMode::ReadWrite));
    indexError.clear();
    compileTags();
    if (!orderName.empty())
        order = mdx->findTag(orderName);
    if (order < 0)
        orderName.clear();
    return dropped;
}

std::vector<std::string> Table::regenerateIndexes()
{
    d->requireExclusive("rebuild the indexes");
    if (d->state != EditState::None)
        post();
    d->beginChange();
    std::vector<std::string> dropped = d->rebuildIndex();
    d->crashPending = false;
    d->endChange();
    d->makeDurable();
    d->window.clear();
    first();
    return dropped;
}

// Writes the header and the records not marked deleted to `out`, in large
// blocks; returns how many were kept.
std::uint32_t Table::Impl::copyLiveRecords(File& out)
{
    out.writeAt(0, headerBytes.data(), headerBytes.size());
    std::uint64_t offset = headerBytes.size();
    std::uint32_t kept = 0;
    std::string buffer;
    buffer.reserve(1 << 20);
    window.clear();
    for (std::uint32_t n = 1; n <= dataRecords; ++n) {
        const char* rec = recordAt(n, true);
        if (rec[0] == '*')
            continue;
        buffer.append(rec, header.recordLength);
        ++kept;
        if (buffer.size() >= (1u << 20)) {
            out.writeAt(offset, buffer.data(), buffer.size());
            offset += buffer.size();
            buffer.clear();
        }
    }
    buffer.push_back(static_cast<char>(dbf::kEndMark));
    out.writeAt(offset, buffer.data(), buffer.size());
    return kept;
}

void Table::pack()
{
    d->requireExclusive("pack the table");
    if (d->state != EditState::None)
        post();
    Impl& t = *d;
    std::string temporary = t.path + ".pack";
    auto out = t.fs.open(temporary, OpenMode::CreateReadWrite);
    DbfHeader packed = t.header;
    unsigned char h[dbf::kHeaderSize];
    try {
        lockExclusively(*out);
        packed.recordCount = t.copyLiveRecords(*out);
        // Marked incomplete until its index has been rebuilt.
        packed.incomplete = t.header.productionIndex;
        ++packed.changeCounter;
        std::memcpy(h, t.headerBytes.data(), sizeof h);
        packed.writeFixedPart(h);
        out->writeAt(0, h, sizeof h);
        out->sync();
        t.fs.rename(temporary, t.path);
    } catch (...) {
        // A failed pack leaves the table as it was and nothing beside it.
        out.reset();
        try {
            t.fs.remove(temporary);
        } catch (const DatabaseError&) {
        }
        throw;
    }
    t.fs.syncDirectory(directoryOf(t.path));

    // The new file carries our locks already; the old one goes.
    t.dbf = std::move(out);
    t.header = packed;
    std::memcpy(t.headerBytes.data(), h, sizeof h);
    t.dataRecords = packed.recordCount;
    t.liveCount = packed.recordCount;
    t.acceptedValid = false;
    t.window.clear();
    t.stamp = t.dbf->stamp();
    if (t.header.productionIndex) {
        // Until the rebuild is done the old index points at the old record numbers.
        t.crashPending = true;
        try {
            t.rebuildIndex();
        } catch (const DatabaseError& e) {
            t.markIndexStale(std::string("it could not be rebuilt after the pack: ") + e.what());
            throw;
        }
        t.crashPending = false;
        t.endChange();
        t.makeDurable();
    }
    first();
}

} // namespace dbase
