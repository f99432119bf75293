// Sorting the entries of a new tag in bounded memory: sorted runs spilled to
// a temporary file and merged.
#include "DatabaseError.h"
#include "MdxTree.h"

#include <algorithm>
#include <cstring>

namespace dbase::mdx {

namespace {

// About 75,000 entries of the longest keys a run. Measured on a million
// books: 8 MB and 24 MB runs sort in the same time, and the block cache,
// not the run, then sets the build's peak (28 MB).
constexpr std::size_t kDefaultRunBytes = 8u << 20;
std::size_t runBytes = kDefaultRunBytes;

// Spill writes and merge reads go in pieces of about this size.
constexpr std::size_t kTransferBytes = 256u << 10;
constexpr std::size_t kLeastMergeBuffer = 16u << 10;

std::uint64_t bigEndianPrefix(const std::uint8_t* key, std::size_t length)
{
    std::uint64_t prefix = 0;
    for (std::size_t i = 0; i < 8; ++i)
        prefix = prefix << 8 | (i < length ? key[i] : 0);
    return prefix;
}

} // namespace

// A sorted run in the spill file, read a buffer at a time during the merge.
struct KeySorter::Run {
    std::uint64_t offset = 0; // next unread byte in the file
    std::uint64_t end = 0;
    std::vector<std::uint8_t> buffer;
    std::size_t at = 0, filled = 0;
    Item item{}; // the current entry; its key is at buffer + at
};

void KeySorter::setRunBytes(std::size_t bytes)
{
    runBytes = bytes ? bytes : kDefaultRunBytes;
}

KeySorter::KeySorter(const std::string& indexPath, const TagLayout& layout, SpillPlace spill)
    : m_indexPath(indexPath), m_layout(layout), m_order(m_layout), m_place(std::move(spill)),
      m_length(std::size_t(layout.keyLength)),
      m_runEntries(std::max<std::size_t>(runBytes / (m_length + sizeof(Item)), 2))
{
    if (!m_place.fs) {
        m_runEntries = SIZE_MAX;
        return;
    }
    // Reserved, not touched: only what a run uses becomes resident, and no
    // growth ever holds two copies.
    m_keys.reserve(m_runEntries * m_length);
    m_items.reserve(m_runEntries);
}

KeySorter::~KeySorter()
{
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

// Character keys longer than 8 bytes: the rest of the key after the prefix.
int KeySorter::restCompare(const std::uint8_t* a, const std::uint8_t* b) const
{
    if (m_layout.type != 'C' || m_length <= 8)
        return 0;
    const int result = std::memcmp(a + 8, b + 8, m_length - 8);
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
    if (m_items.size() == m_runEntries)
        spillRun();
    const std::size_t at = m_keys.size();
    m_keys.resize(at + m_length);
    std::uint8_t* out = m_keys.data() + at;
    const std::size_t copied = std::min(key.size(), m_length);
    std::memcpy(out, key.data(), copied);
    std::memset(out + copied, ' ', m_length - copied);
    m_items.push_back({prefixOf(out), recno, std::uint32_t(m_items.size())});
}

void KeySorter::sortRun()
{
    const std::uint8_t* keys = m_keys.data();
    const std::size_t length = m_length;
    std::sort(m_items.begin(), m_items.end(), [&](const Item& a, const Item& b) {
        return less(a, keys + a.index * length, b, keys + b.index * length);
    });
}

// Writes the run in memory to the spill file as sorted records of key and record number.
void KeySorter::spillRun()
{
    if (m_items.empty())
        return;
    sortRun();
    if (!m_spill)
        m_spill = m_place.fs->open(m_place.path, OpenMode::CreateReadWrite);
    const std::size_t record = m_length + 4;
    std::vector<std::uint8_t> out;
    out.reserve(std::max(kTransferBytes / record, std::size_t(1)) * record);
    Run run;
    run.offset = m_spillEnd;
    for (const Item& item : m_items) {
        const std::size_t at = out.size();
        out.resize(at + record);
        std::memcpy(out.data() + at, m_keys.data() + std::size_t(item.index) * m_length, m_length);
        put32(out.data() + at + m_length, item.recno);
        if (out.size() + record > out.capacity()) {
            m_spill->writeAt(m_spillEnd, out.data(), out.size());
            m_spillEnd += out.size();
            out.clear();
        }
    }
    m_spill->writeAt(m_spillEnd, out.data(), out.size());
    m_spillEnd += out.size();
    run.end = m_spillEnd;
    m_runs.push_back(std::move(run));
    m_items.clear();
    m_keys.clear();
}

void KeySorter::finish()
{
    if (m_runs.empty()) {
        sortRun();
        return;
    }
    spillRun();
    std::vector<Item>().swap(m_items);
    std::vector<std::uint8_t>().swap(m_keys);
    m_merging = true;
    const std::size_t record = m_length + 4;
    const std::size_t share = std::max(runBytes / m_runs.size(), kLeastMergeBuffer);
    const std::size_t records = std::max<std::size_t>(std::min(share, kTransferBytes) / record, 1);
    auto later = [this](std::size_t a, std::size_t b) {
        return less(m_runs[b].item, m_runs[b].buffer.data() + m_runs[b].at, m_runs[a].item,
                    m_runs[a].buffer.data() + m_runs[a].at);
    };
    for (std::size_t r = 0; r < m_runs.size(); ++r) {
        Run& run = m_runs[r];
        run.buffer.resize(records * record);
        run.at = run.filled = 0;
        const std::size_t n = std::size_t(std::min<std::uint64_t>(run.buffer.size(), run.end - run.offset));
        m_spill->readExact(run.offset, run.buffer.data(), n);
        run.offset += n;
        run.filled = n;
        const std::uint8_t* key = run.buffer.data();
        run.item = {prefixOf(key), get32(key + m_length), 0};
        m_heap.push_back(r);
    }
    std::make_heap(m_heap.begin(), m_heap.end(), later);
}

// The smallest entry of all runs; its key is copied, as the run's buffer moves on.
bool KeySorter::nextMerged(Item& item, const std::uint8_t*& key)
{
    if (m_heap.empty())
        return false;
    auto later = [this](std::size_t a, std::size_t b) {
        return less(m_runs[b].item, m_runs[b].buffer.data() + m_runs[b].at, m_runs[a].item,
                    m_runs[a].buffer.data() + m_runs[a].at);
    };
    std::pop_heap(m_heap.begin(), m_heap.end(), later);
    Run& run = m_runs[m_heap.back()];
    item = run.item;
    m_current.assign(run.buffer.data() + run.at, run.buffer.data() + run.at + m_length);
    key = m_current.data();
    const std::size_t record = m_length + 4;
    run.at += record;
    if (run.at == run.filled && run.offset < run.end) {
        const std::size_t n = std::size_t(std::min<std::uint64_t>(run.buffer.size(), run.end - run.offset));
        m_spill->readExact(run.offset, run.buffer.data(), n);
        run.offset += n;
        run.filled = n;
        run.at = 0;
    }
    if (run.at == run.filled) {
        std::vector<std::uint8_t>().swap(run.buffer);
        m_heap.pop_back();
        return true;
    }
    const std::uint8_t* now = run.buffer.data() + run.at;
    run.item = {prefixOf(now), get32(now + m_length), 0};
    std::push_heap(m_heap.begin(), m_heap.end(), later);
    return true;
}

bool KeySorter::next(const std::uint8_t*& key, std::uint32_t& recno)
{
    for (;;) {
        Item item{};
        if (m_merging) {
            if (!nextMerged(item, key))
                return false;
        } else {
            if (m_next == m_items.size())
                return false;
            item = m_items[m_next++];
            key = m_keys.data() + std::size_t(item.index) * m_length;
        }
        // A unique tag keeps the first of equal keys; an entry given twice is kept once.
        const bool repeated = m_havePrevious && item.prefix == m_previous.prefix &&
                              restCompare(m_previousKey.data(), key) == 0 &&
                              (m_layout.unique || item.recno == m_previous.recno);
        m_havePrevious = true;
        m_previous = item;
        m_previousKey.assign(key, key + m_length);
        if (!repeated) {
            recno = item.recno;
            return true;
        }
    }
}

} // namespace dbase::mdx
