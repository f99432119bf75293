#pragma once

// Private state of Table, shared by its source files.
#include "CodePage.h"
#include "DbfHeader.h"
#include "Expression.h"
#include "MdxFile.h"
#include "MemoFile.h"
#include "Table.h"

#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dbase {

// Lock regions other dBase engines use, so their locks and ours see each other.
namespace locks {
inline constexpr std::uint64_t kTable = 4026531838ULL; // 2 bytes; the second is the header/append lock
inline constexpr std::uint64_t kHeader = 4026531839ULL;
inline constexpr std::uint64_t kTableRange = 3026531838ULL;
inline constexpr std::uint64_t kTableRangeLength = 1000000000ULL;
// Held (read) by every open of ours for its lifetime; an exclusive open write-locks it.
inline constexpr std::uint64_t kOpenMarker = 4026531840ULL;
} // namespace locks

struct TagState {
    std::optional<Expression> key;
    std::optional<Expression> condition; // FOR expression
    std::string error;                   // why the tag cannot be evaluated
    bool usable() const { return key.has_value(); }
};

// Records read from the file: a whole window of about 64 KiB at a time when
// access runs forward in physical order (walks, scans), a single record when
// it jumps about (walks in index order), so neither costs more than it needs.
// A walk over a million books took 0.6 s of CPU with 16 KiB windows and
// 0.31-0.37 s with 64 KiB, 256 KiB or 1 MiB ones: 64 KiB is enough.
class RecordWindow {
public:
    void clear() { m_count = 0; }
    // Pointer to the record's bytes, valid until the next call or clear().
    // `scan` asks for read-ahead whatever the access pattern so far.
    const char* get(File& file, const DbfHeader& header, std::uint32_t recno, bool scan);
    bool holds(std::uint32_t recno) const { return recno >= m_first && recno - m_first < m_count; }

private:
    std::string m_buffer;
    std::uint32_t m_first = 0;
    std::uint32_t m_count = 0;
    std::uint32_t m_last = 0;
};

enum class EditState { None, Edit, Append };

struct Table::Impl {
    Impl(FileSystem& f) : fs(f) {}

    FileSystem& fs;
    std::string path;
    Access access = Access::Shared;
    std::unique_ptr<File> dbf;
    DbfHeader header;
    std::string headerBytes; // header and descriptors exactly as on disk
    const CodePage* codePage = nullptr;
    FileStamp stamp;
    std::uint32_t dataRecords = 0; // records the file really holds (header count clamped to its size)

    std::unique_ptr<MdxFile> mdx;
    std::vector<TagState> tagStates;
    std::string indexError;
    int order = -1; // tag index of the current order; -1 physical
    std::string orderName;

    std::uint32_t recno = 0;
    std::string key; // key of the current record in the current order
    bool atBof = true, atEof = true;
    std::string record; // current record bytes
    EditState state = EditState::None;
    std::string original; // the record as it was when editing began
    RecordFilter filter;

    RecordWindow window;
    // Whether each record passes the deletion test and the filter, by record
    // number; built by one sequential scan the first time a filter is asked,
    // kept up to date by our own changes, dropped on setFilter and on others' changes.
    std::vector<std::uint8_t> accepted;
    bool acceptedValid = false;
    bool batchDirty = false; // changes of a batch not yet flushed
    std::optional<std::uint32_t> liveCount;
    std::unique_ptr<MemoFile> memo;
    bool memoOpened = false;
    bool crashPending = false;   // a writer died mid-change: indexes need a rebuild
    bool stale = false;          // a change of ours failed half-way: re-read everything from disk
    int batchDepth = 0;          // > 0 while a batch holds the write lock
    bool ownWrite = false;       // the file's stamp changed by our own last write
    bool holdsExclusive = false; // every lock of an exclusive open is ours (an exclusive open, or a repair)
    std::exception_ptr batchFailure; // the first write that failed inside the current batch
    std::string writeRefusal;        // why this table must not be written; empty when it may
    // Where the current batch began, so that its appends can be taken back (TableTakeBack.cpp).
    struct BatchStart {
        std::uint32_t records = 0;      // records the table held before the batch
        bool indexTrusted = false;      // the index held their keys and no others
        const MdxFile* index = nullptr; // the index then, and its blocks written so far
        std::uint64_t indexWrites = 0;
        bool indexFlushed = false;   // the batch's end tried to write the index
        bool changedInPlace = false; // a key of a record it did not append changed
        bool takeBackOnFailure = false;
        bool abandoned = false;
        bool noted = false; // NAME.batch says where it began, for a crash half-way
    } batchStart;
    std::vector<std::string> warnings;
    bool oddFlagReported = false;

    // --- opening ---
    void openFiles(const std::string& path, Access access, bool tolerateIndexDamage);
    void openIndex(bool tolerateDamage);
    void compileTags();
    std::string indexPath() const; // existing production index, or where to create one

    void openTableFile();
    void checkFileSize();
    void noteMissingMemo();
    std::string memoPath() const; // existing .DBT, or empty

    // --- consistency with other programs ---
    bool sharedAccess() const { return !holdsExclusive; }
    void syncWithDisk();
    void dropCaches();
    bool crashEvidence() const;
    void recoverFromCrash();
    void adoptUnfinishedAppends(std::uint32_t recordsInFile);
    void repairIndexAfterCrash(bool tolerateIndexDamage);
    bool upgradeToExclusive();
    void downgradeToShared();
    void removeStaleTemporaries();
    void markIndexStale(const std::string& why);
    std::uint32_t recordsInFile(std::uint64_t fileSize) const;
    std::uint64_t endOfData() const;

    // --- records ---
    const char* recordAt(std::uint32_t n, bool scan = false);
    bool live(std::uint32_t n, const char* rec); // not marked deleted; notes an unknown mark once
    void buildAccepted();
    void noteAccepted(std::uint32_t n, const char* rec);
    bool visible(std::uint32_t n);
    bool accepts(std::uint32_t n, const char* rec);
    std::string tagKey(int tag, const char* rec) const;
    bool inTag(int tag, const char* rec) const;
    void load(std::uint32_t n);
    void clearPosition(bool empty);

    // --- navigation (no locking) ---
    bool moveFirst();
    bool moveLast();
    bool moveNext();
    bool movePrior();
    bool moveNextInWindow();
    std::uint32_t countVisible();

    // --- writing (callers hold the write lock) ---
    void requireWritable(const char* what) const;
    void requireExclusive(const char* what) const;
    void beginChange();
    void endChange();
    void writeChanges();
    void makeDurable();
    bool unsynced = false; // written since the last makeDurable()
    void writeHeader();
    void noteWriteFailure();
    // Runs a multi-step change of a record in place; when it fails half-way
    // the index is marked for a rebuild and every cache is re-read from disk.
    template <class Change> void change(Change&& work)
    {
        try {
            beginChange();
            work();
            endChange();
        } catch (...) {
            markIndexStale("a change to a record failed half-way");
            crashPending = true;
            if (batchDepth > 0) { // the batch's own count stays: the disk has not got it yet
                window.clear();
                acceptedValid = false;
                liveCount.reset();
            } else
                stale = true;
            noteWriteFailure();
            throw;
        }
    }
    void writeRecord(std::uint32_t n, const std::string& bytes, bool append);
    void maintainTags(std::uint32_t n, const char* before, const char* after);
    void appendLocked();
    void takeBackAppend(std::uint32_t count, bool keysTouched, bool headerTried);
    void beginTakeBack(bool takeBackOnFailure);
    bool dropKeysOfFailedAppend(std::uint32_t n);
    std::exception_ptr flushBatchIndex();
    std::exception_ptr syncBeforeCommit();
    std::exception_ptr takeBackBatch();
    bool indexUntouched(const BatchStart& begun);
    void noteBatchStart();
    void forgetBatchStart();
    bool cutUnfinishedBatch();
    void removeStaleBatchNote();
    void postLocked();
    int buildTag(MdxFile& index, const TagDefinition& definition, int tag);
    std::uint32_t copyLiveRecords(File& out);
    std::vector<std::string> rebuildIndex();

    // --- values ---
    const Field& fieldAt(int index) const;
    std::string fieldText(const char* rec, int index) const;
    void setFieldBytes(int index, const std::string& bytes);
    std::string encodeText(const Field& f, const std::string& utf8) const;
};

// Holds the header lock for a scope when `active` (a shared or read-only open).
class HeaderLock {
public:
    HeaderLock(File& file, bool active, LockKind kind) : m_file(file), m_active(active)
    {
        if (active)
            file.lock(locks::kHeader, 1, kind);
    }
    ~HeaderLock()
    {
        if (m_active) {
            try {
                m_file.unlock(locks::kHeader, 1);
            } catch (...) {
                // Closing the file releases the lock anyway.
            }
        }
    }
    HeaderLock(const HeaderLock&) = delete;
    HeaderLock& operator=(const HeaderLock&) = delete;

private:
    File& m_file;
    bool m_active;
};

// RAII lock on the header byte for one operation of a shared open; in
// exclusive mode nobody else can write and no lock is taken.
class OperationLock {
public:
    OperationLock(Table::Impl& table, LockKind kind);
    ~OperationLock();
    OperationLock(const OperationLock&) = delete;
    OperationLock& operator=(const OperationLock&) = delete;

private:
    Table::Impl& m_table;
    bool m_locked = false;
};

} // namespace dbase
