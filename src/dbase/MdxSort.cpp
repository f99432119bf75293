// Sorting the entries of a new tag in bounded memory: sorted runs spilled to
// a temporary file and merged.
#include "DatabaseError.h"
#include "MdxTree.h"

#include <algorithm>
#include <array>
#include <bit>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <system_error>
#include <utility>

namespace dbase::mdx {

namespace {

// About 75,000 entries of the longest keys a run, two runs in memory at
// once. Measured on a million books: 8 MB and 24 MB runs sort in the same
// time, and the build's peak stays near 35 MB with the block cache.
constexpr std::size_t kDefaultRunBytes = 8u << 20;
std::size_t runBytes = kDefaultRunBytes;

// Spill writes and merge reads go in pieces of about this size.
constexpr std::size_t kTransferBytes = 256u << 10;
constexpr std::size_t kLeastMergeBuffer = 16u << 10;
// The merged entries go to the tree's build in pieces of about this size.
constexpr std::size_t kChunkBytes = 32u << 10;

// Thrown in the merging thread when the sorter is going away.
struct MergeStopped {};

// Eight bytes as a number that orders like the bytes do.
std::uint64_t bigEndianWord(const std::uint8_t* bytes)
{
    std::uint64_t word;
    std::memcpy(&word, bytes, 8);
    if constexpr (std::endian::native == std::endian::little)
        word = __builtin_bswap64(word);
    return word;
}

std::uint64_t bigEndianPrefix(const std::uint8_t* key, std::size_t length)
{
    if (length >= 8)
        return bigEndianWord(key);
    std::uint64_t prefix = 0;
    for (std::size_t i = 0; i < 8; ++i)
        prefix = prefix << 8 | (i < length ? key[i] : 0);
    return prefix;
}

} // namespace

// A sorted run in the spill file, read a buffer at a time during the merge;
// the last run stays whole in its buffer.
struct KeySorter::Run {
    std::uint64_t offset = 0; // next unread byte in the file
    std::uint64_t end = 0;
    std::vector<std::uint8_t> buffer;
    std::size_t at = 0, filled = 0;
    Item item{}; // the current entry; its key is at buffer + at
};

// The merging thread and what it hands over: merged entries in a ring of
// chunks, and a run whose buffer it waits to have read again. The thread
// writing the tree does those reads, so that only one thread ever uses the
// file system.
struct KeySorter::Merger {
    static constexpr std::size_t kChunks = 4;
    static constexpr std::size_t kNone = SIZE_MAX;
    std::mutex mutex;
    std::condition_variable changed;
    std::array<std::vector<std::uint8_t>, kChunks> chunks; // records of key and record number
    std::uint64_t produced = 0, consumed = 0;              // chunks filled, chunks given back
    std::size_t wanted = kNone;
    bool done = false, stop = false;
    std::exception_ptr failure;
    std::thread thread;
};

void KeySorter::setRunBytes(std::size_t bytes)
{
    runBytes = bytes ? bytes : kDefaultRunBytes;
}

KeySorter::KeySorter(const std::string& indexPath, const TagLayout& layout, SpillPlace spill)
    : m_indexPath(indexPath), m_layout(layout), m_order(m_layout), m_place(std::move(spill)),
      m_length(std::size_t(layout.keyLength)),
      m_runEntries(std::max<std::size_t>(runBytes / (m_length + sizeof(Item)), 2)), m_previousKey(m_length)
{
    if (!m_place.fs) {
        m_runEntries = SIZE_MAX;
        return;
    }
    // Reserved, not touched: only what a run uses becomes resident, and no
    // growth ever holds two copies.
    m_filling.keys.reserve(m_runEntries * m_length);
    m_filling.items.reserve(m_runEntries);
}

KeySorter::~KeySorter()
{
    if (m_merger) {
        {
            std::lock_guard lock(m_merger->mutex);
            m_merger->stop = true;
        }
        m_merger->changed.notify_all();
        if (m_merger->thread.joinable())
            m_merger->thread.join();
    }
    // The sorting thread works on this object's memory, even when adding failed.
    if (m_sorter.joinable())
        m_sorter.join();
    if (!m_spill)
        return;
    m_spill.reset();
    try {
        m_place.fs->remove(m_place.path);
    } catch (const DatabaseError&) {
        // The next exclusive open removes it.
    }
}

std::uint64_t KeySorter::prefixOf(const std::uint8_t* key) const
{
    const std::uint64_t prefix =
        m_layout.type == 'C' ? bigEndianPrefix(key, m_length) : m_order.orderedValue(key);
    return m_layout.descending ? ~prefix : prefix;
}

// Character keys longer than 8 bytes: the rest of the key after the prefix,
// eight bytes at a time, as keys sharing a prefix mostly differ soon after it.
int KeySorter::restCompare(const std::uint8_t* a, const std::uint8_t* b) const
{
    if (m_layout.type != 'C' || m_length <= 8)
        return 0;
    std::size_t at = 8;
    int result = 0;
    for (; at + 8 <= m_length; at += 8) {
        const std::uint64_t wordA = bigEndianWord(a + at), wordB = bigEndianWord(b + at);
        if (wordA != wordB) {
            result = wordA < wordB ? -1 : 1;
            break;
        }
    }
    if (result == 0 && at < m_length)
        result = std::memcmp(a + at, b + at, m_length - at);
    return m_layout.descending ? -result : result;
}

bool KeySorter::less(const Item& a, const std::uint8_t* keyA, const Item& b, const std::uint8_t* keyB) const
{
    if (a.prefix != b.prefix)
        return a.prefix < b.prefix;
    const int rest = restCompare(keyA, keyB);
    return rest != 0 ? rest < 0 : a.recno < b.recno;
}

void KeySorter::add(std::string_view key, std::uint32_t recno)
{
    if (m_layout.type != 'C' && key.size() != m_length)
        throw DatabaseError("The key of record " + decimal(recno) + " for tag " + m_layout.name +
                            " of the index file " + m_indexPath + " is " + decimal(key.size()) +
                            " bytes long; the tag's keys have " + decimal(m_length) + ".");
    if (m_filling.items.size() == m_runEntries)
        handOff();
    const std::size_t at = m_filling.keys.size();
    m_filling.keys.resize(at + m_length);
    std::uint8_t* out = m_filling.keys.data() + at;
    const std::size_t copied = std::min(key.size(), m_length);
    std::memcpy(out, key.data(), copied);
    std::memset(out + copied, ' ', m_length - copied);
    m_filling.items.push_back({prefixOf(out), recno, std::uint32_t(m_filling.items.size())});
}

void KeySorter::sortBatch(Batch& batch) const
{
    const std::uint8_t* keys = batch.keys.data();
    const std::size_t length = m_length;
    std::sort(batch.items.begin(), batch.items.end(), [&](const Item& a, const Item& b) {
        return less(a, keys + a.index * length, b, keys + b.index * length);
    });
}

// An entry as the spill file holds it: its key, then its record number.
void KeySorter::pack(const Batch& batch, const Item& item, std::uint8_t* out) const
{
    std::memcpy(out, batch.keys.data() + std::size_t(item.index) * m_length, m_length);
    put32(out + m_length, item.recno);
}

// A sorted run laid out in memory as the spill file would hold it.
std::vector<std::uint8_t> KeySorter::packed(const Batch& batch) const
{
    const std::size_t record = m_length + 4;
    std::vector<std::uint8_t> out(batch.items.size() * record);
    for (std::size_t i = 0; i < batch.items.size(); ++i)
        pack(batch, batch.items[i], out.data() + i * record);
    return out;
}

// Sorts a full run and appends it to the spill file, a piece at a time.
void KeySorter::spillBatch(Batch& batch)
{
    sortBatch(batch);
    const std::size_t record = m_length + 4;
    std::vector<std::uint8_t> piece(std::max<std::size_t>(kTransferBytes / record, 1) * record);
    Run run;
    run.offset = m_spillEnd;
    std::size_t filled = 0;
    for (std::size_t i = 0; i < batch.items.size(); ++i) {
        pack(batch, batch.items[i], piece.data() + filled);
        filled += record;
        if (filled == piece.size() || i + 1 == batch.items.size()) {
            m_spill->writeAt(m_spillEnd, piece.data(), filled);
            m_spillEnd += filled;
            filled = 0;
        }
    }
    run.end = m_spillEnd;
    m_runs.push_back(std::move(run));
    batch.items.clear();
    batch.keys.clear();
}

// A full run goes to the sorting thread, which sorts it and writes it to the
// spill file while the next one fills. The file is opened here, so that the
// file system is only ever asked for files by one thread.
void KeySorter::handOff()
{
    awaitSorted();
    if (!m_spill)
        m_spill = m_place.fs->open(m_place.path, OpenMode::CreateReadWrite);
    std::swap(m_filling, m_sorting);
    m_filling.keys.reserve(m_runEntries * m_length);
    m_filling.items.reserve(m_runEntries);
    m_handedOff = true;
    try {
        m_sorter = std::thread([this] {
            try {
                spillBatch(m_sorting);
            } catch (...) {
                m_sortFailure = std::current_exception(); // raised where the run is awaited
            }
        });
    } catch (const std::system_error&) {
        spillBatch(m_sorting); // no thread to be had: done here instead
    }
}

void KeySorter::awaitSorted()
{
    if (m_sorter.joinable())
        m_sorter.join();
    if (m_sortFailure)
        std::rethrow_exception(std::exchange(m_sortFailure, nullptr));
}

void KeySorter::finish()
{
    if (!m_handedOff) {
        sortBatch(m_filling);
        return;
    }
    // The last run is sorted here while the thread finishes the one before,
    // and is merged from memory, laid out once the other run's memory is given back.
    sortBatch(m_filling);
    awaitSorted();
    m_sorting = Batch();
    Run last;
    last.buffer = packed(m_filling);
    m_filling = Batch();
    m_merging = true;
    m_current.resize(m_length);
    const std::size_t record = m_length + 4;
    const std::size_t share = std::max(runBytes / m_runs.size(), kLeastMergeBuffer);
    const std::size_t records = std::max<std::size_t>(std::min(share, kTransferBytes) / record, 1);
    for (Run& run : m_runs) {
        run.buffer.resize(records * record);
        refill(run);
    }
    if (!last.buffer.empty()) {
        last.filled = last.buffer.size();
        m_runs.push_back(std::move(last));
    }
    for (std::size_t r = 0; r < m_runs.size(); ++r) {
        Run& run = m_runs[r];
        run.at = 0;
        const std::uint8_t* key = run.buffer.data();
        run.item = {prefixOf(key), get32(key + m_length), 0};
        m_heap.push_back(r);
    }
    for (std::size_t i = m_heap.size(); i-- > 0;)
        siftDown(i);
    // Merged on a second thread while this one writes the tree.
    m_merger = std::make_unique<Merger>();
    try {
        m_merger->thread = std::thread([this] { mergeRuns(); });
    } catch (const std::system_error&) {
        m_merger.reset(); // no thread to be had: merged here instead
    }
}

void KeySorter::refill(Run& run)
{
    const std::size_t n = std::size_t(std::min<std::uint64_t>(run.buffer.size(), run.end - run.offset));
    m_spill->readExact(run.offset, run.buffer.data(), n);
    run.offset += n;
    run.filled = n;
    run.at = 0;
}

// In the merging thread: has the run's next buffer read by the thread taking the entries.
void KeySorter::awaitRefill(std::size_t run)
{
    Merger& m = *m_merger;
    std::unique_lock lock(m.mutex);
    m.wanted = run;
    m.changed.notify_all();
    m.changed.wait(lock, [&] { return m.stop || m.wanted == Merger::kNone; });
    if (m.stop)
        throw MergeStopped{};
}

void KeySorter::mergeRuns()
{
    Merger& m = *m_merger;
    const std::size_t record = m_length + 4;
    const std::size_t chunkBytes = std::max<std::size_t>(kChunkBytes / record, 1) * record;
    try {
        for (bool more = true; more;) {
            std::vector<std::uint8_t>* chunk = nullptr;
            {
                std::unique_lock lock(m.mutex);
                m.changed.wait(lock, [&] { return m.stop || m.produced - m.consumed < Merger::kChunks; });
                if (m.stop)
                    return;
                chunk = &m.chunks[m.produced % Merger::kChunks];
            }
            chunk->resize(chunkBytes);
            std::size_t filled = 0;
            Item item{};
            const std::uint8_t* key = nullptr;
            while (filled < chunkBytes && (more = nextMerged(item, key))) {
                if (repeated(item, key))
                    continue;
                std::memcpy(chunk->data() + filled, key, m_length);
                put32(chunk->data() + filled + m_length, item.recno);
                filled += record;
            }
            chunk->resize(filled);
            std::lock_guard lock(m.mutex);
            ++m.produced;
            m.done = !more;
            m.changed.notify_all();
        }
    } catch (const MergeStopped&) {
    } catch (...) {
        std::lock_guard lock(m.mutex);
        m.failure = std::current_exception();
        m.changed.notify_all();
    }
}

// The next merged entry, reading a run's buffer again whenever the merging thread asks.
bool KeySorter::nextFromMerger(const std::uint8_t*& key, std::uint32_t& recno)
{
    Merger& m = *m_merger;
    while (m_chunkAt == m_chunkEnd) {
        std::unique_lock lock(m.mutex);
        if (m_holdingChunk) {
            ++m.consumed;
            m_holdingChunk = false;
            m.changed.notify_all();
        }
        m.changed.wait(lock, [&] {
            return m.failure || m.wanted != Merger::kNone || m.produced > m.consumed || m.done;
        });
        if (m.failure)
            std::rethrow_exception(m.failure);
        if (m.wanted != Merger::kNone) {
            Run& run = m_runs[m.wanted];
            lock.unlock();
            refill(run);
            lock.lock();
            m.wanted = Merger::kNone;
            m.changed.notify_all();
        } else if (m.produced > m.consumed) {
            const std::vector<std::uint8_t>& chunk = m.chunks[m.consumed % Merger::kChunks];
            m_chunk = chunk.data();
            m_chunkAt = 0;
            m_chunkEnd = chunk.size();
            m_holdingChunk = true;
        } else {
            return false;
        }
    }
    key = m_chunk + m_chunkAt;
    recno = get32(key + m_length);
    m_chunkAt += m_length + 4;
    return true;
}

bool KeySorter::runBefore(std::size_t a, std::size_t b) const
{
    const Run& x = m_runs[a];
    const Run& y = m_runs[b];
    return less(x.item, x.buffer.data() + x.at, y.item, y.buffer.data() + y.at);
}

// Moves the run at heap position `i` down to where its current entry belongs.
void KeySorter::siftDown(std::size_t i)
{
    const std::size_t size = m_heap.size();
    for (;;) {
        std::size_t least = i;
        const std::size_t left = 2 * i + 1, right = left + 1;
        if (left < size && runBefore(m_heap[left], m_heap[least]))
            least = left;
        if (right < size && runBefore(m_heap[right], m_heap[least]))
            least = right;
        if (least == i)
            return;
        std::swap(m_heap[i], m_heap[least]);
        i = least;
    }
}

// The smallest entry of all runs; its key is copied, as the run's buffer moves on.
bool KeySorter::nextMerged(Item& item, const std::uint8_t*& key)
{
    if (m_heap.empty())
        return false;
    const std::size_t index = m_heap.front();
    Run& run = m_runs[index];
    item = run.item;
    std::memcpy(m_current.data(), run.buffer.data() + run.at, m_length);
    key = m_current.data();
    const std::size_t record = m_length + 4;
    run.at += record;
    if (run.at == run.filled && run.offset < run.end) {
        if (m_merger)
            awaitRefill(index);
        else
            refill(run);
    }
    if (run.at == run.filled) {
        std::vector<std::uint8_t>().swap(run.buffer);
        m_heap.front() = m_heap.back();
        m_heap.pop_back();
    } else {
        const std::uint8_t* now = run.buffer.data() + run.at;
        run.item = {prefixOf(now), get32(now + m_length), 0};
    }
    if (!m_heap.empty())
        siftDown(0);
    return true;
}

// A unique tag keeps the first of equal keys; an entry given twice is kept once.
bool KeySorter::repeated(const Item& item, const std::uint8_t* key)
{
    const bool same = m_havePrevious && (m_layout.unique || item.recno == m_previous.recno) &&
                      item.prefix == m_previous.prefix && restCompare(m_previousKey.data(), key) == 0;
    m_havePrevious = true;
    m_previous = item;
    std::memcpy(m_previousKey.data(), key, m_length);
    return same;
}

bool KeySorter::next(const std::uint8_t*& key, std::uint32_t& recno)
{
    if (m_merger)
        return nextFromMerger(key, recno);
    for (;;) {
        Item item{};
        if (m_merging) {
            if (!nextMerged(item, key))
                return false;
        } else {
            if (m_next == m_filling.items.size())
                return false;
            item = m_filling.items[m_next++];
            key = m_filling.keys.data() + std::size_t(item.index) * m_length;
        }
        if (!repeated(item, key)) {
            recno = item.recno;
            return true;
        }
    }
}

} // namespace dbase::mdx
