// Building a tag's tree from all its entries at once, and walking a whole tree.
#include "MdxTree.h"

#include "DatabaseError.h"

#include <algorithm>
#include <cstring>

namespace dbase::mdx {

namespace {

struct SortItem {
    std::uint64_t prefix; // sorts like the key's first bytes (or value), direction applied
    std::uint32_t recno;
    std::uint32_t index;
};

std::uint64_t bigEndianPrefix(const std::uint8_t* key, int length)
{
    std::uint64_t prefix = 0;
    for (int i = 0; i < 8; ++i)
        prefix = prefix << 8 | (i < length ? key[i] : 0);
    return prefix;
}

} // namespace

SortedKeys sortEntries(const std::string& path, const TagLayout& layout, std::vector<IndexEntry> entries)
{
    const std::size_t length = std::size_t(layout.keyLength);
    const std::size_t n = entries.size();
    SortedKeys sorted;
    sorted.keys.resize(n * length);
    sorted.recnos.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::string& key = entries[i].key;
        if (layout.type != 'C' && key.size() != length)
            throw DatabaseError("The key of record " + decimal(entries[i].recno) + " for tag " + layout.name +
                                " of the index file " + path + " is " + decimal(key.size()) +
                                " bytes long; the tag's keys have " + decimal(length) + ".");
        std::uint8_t* out = sorted.keys.data() + i * length;
        const std::size_t copied = std::min(key.size(), length);
        std::memcpy(out, key.data(), copied);
        std::memset(out + copied, ' ', length - copied);
        sorted.recnos[i] = entries[i].recno;
    }
    std::vector<IndexEntry>().swap(entries);

    const KeyOrder order(layout);
    const bool character = layout.type == 'C';
    const std::uint8_t* keys = sorted.keys.data();
    std::vector<SortItem> items(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t* key = keys + i * length;
        const std::uint64_t prefix =
            character ? bigEndianPrefix(key, layout.keyLength) : order.orderedValue(key);
        items[i] = {layout.descending ? ~prefix : prefix, sorted.recnos[i], std::uint32_t(i)};
    }
    // Character keys longer than 8 bytes: the rest of the key after the prefix.
    auto restCompare = [&](const SortItem& a, const SortItem& b) {
        if (!character || length <= 8)
            return 0;
        const int result = std::memcmp(keys + a.index * length + 8, keys + b.index * length + 8, length - 8);
        return layout.descending ? -result : result;
    };
    std::sort(items.begin(), items.end(), [&](const SortItem& a, const SortItem& b) {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix;
        const int rest = restCompare(a, b);
        return rest != 0 ? rest < 0 : a.recno < b.recno;
    });
    sorted.order.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0) {
            const SortItem& a = items[i - 1];
            const SortItem& b = items[i];
            const bool sameKey = a.prefix == b.prefix && restCompare(a, b) == 0;
            if (sameKey && (layout.unique || a.recno == b.recno))
                continue;
        }
        sorted.order.push_back(items[i].index);
    }
    return sorted;
}

void MdxTree::build(const SortedKeys& sorted)
{
    struct Child {
        std::uint32_t page;
        const std::uint8_t* highest;
    };
    const int length = m_layout.keyLength;
    const std::size_t perLeaf = std::size_t(capacity(true));
    const std::size_t n = sorted.order.size();
    std::vector<Child> level;
    level.reserve(n / perLeaf + 1);
    for (std::size_t start = 0; start < n || start == 0; start += perLeaf) {
        const std::size_t count = std::min(perLeaf, n - start);
        const std::uint32_t page = allocNode();
        std::uint8_t* data = m_pages.edit(page);
        put32(data, std::uint32_t(count));
        for (std::size_t k = 0; k < count; ++k) {
            const std::uint32_t index = sorted.order[start + k];
            std::uint8_t* at = item(data, int(k));
            put32(at, sorted.recnos[index]);
            std::memcpy(at + 4, sorted.keys.data() + std::size_t(index) * length, std::size_t(length));
        }
        level.push_back(
            {page,
             count ? sorted.keys.data() + std::size_t(sorted.order[start + count - 1]) * length : nullptr});
        m_pages.trim();
    }
    // Full interior nodes too, but never one with a single pointer: the last
    // node takes one from its neighbour when it would have only one.
    const std::size_t fan = std::size_t(capacity(false)) + 1;
    while (level.size() > 1) {
        const std::size_t groups = (level.size() + fan - 1) / fan;
        std::vector<std::size_t> sizes(groups, fan);
        sizes.back() = level.size() - (groups - 1) * fan;
        if (sizes.back() == 1) {
            --sizes[groups - 2];
            sizes.back() = 2;
        }
        std::vector<Child> upper;
        upper.reserve(groups);
        std::size_t start = 0;
        for (std::size_t size : sizes) {
            const std::uint32_t page = allocNode();
            std::uint8_t* data = m_pages.edit(page);
            put32(data, std::uint32_t(size - 1));
            for (std::size_t k = 0; k + 1 < size; ++k) {
                put32(item(data, int(k)), level[start + k].page);
                std::memcpy(item(data, int(k)) + 4, level[start + k].highest, std::size_t(length));
            }
            put32(item(data, int(size - 1)), level[start + size - 1].page);
            upper.push_back({page, level[start + size - 1].highest});
            start += size;
            m_pages.trim();
        }
        level = std::move(upper);
    }
    setRoot(level.front().page);
    finishChange();
}

struct MdxTree::Walk {
    std::vector<IndexEntry>* entries = nullptr;
    std::vector<std::uint32_t>* pages = nullptr;
    std::uint64_t visited = 0;
    std::uint64_t limit = 0;
    std::string lastKey;
    std::uint32_t lastRecno = 0;
};

// Depth first, checking every key against the separators above it and the
// entry before it. Nodes are looked up again after each child, as walking
// a child may evict blocks.
void MdxTree::visit(Walk& walk, std::uint32_t page, int depth, const std::string* low,
                    const std::string* high)
{
    if (depth >= kMaxDepth)
        loop();
    if (++walk.visited > walk.limit)
        damaged("has more nodes than the file has blocks (a loop in its tree)");
    if (walk.pages)
        walk.pages->push_back(page);
    const Node n = node(page);
    const auto length = std::size_t(m_layout.keyLength);
    if (n.leaf) {
        for (int i = 0; i < n.count; ++i) {
            const std::uint8_t* at = item(n.data, i);
            const std::uint32_t recno = get32(at);
            if ((low &&
                 m_order.compare(at + 4,
                                 m_order.probe(reinterpret_cast<const std::uint8_t*>(low->data()), 0)) < 0) ||
                (high &&
                 m_order.compare(at + 4,
                                 m_order.probe(reinterpret_cast<const std::uint8_t*>(high->data()), 0)) > 0))
                damaged("has a key at page " + decimal(page) + " outside the range its parent node gives");
            // Equal keys may come in any record order (other writers store them descending).
            const int order =
                walk.lastKey.empty()
                    ? -1
                    : m_order.compare(reinterpret_cast<const std::uint8_t*>(walk.lastKey.data()),
                                      m_order.probe(at + 4, recno));
            if (order > 0)
                damaged("has keys out of order at page " + decimal(page));
            if (order == 0 && walk.lastRecno == recno)
                damaged("holds record " + decimal(recno) + " twice under one key at page " + decimal(page));
            walk.lastKey.assign(reinterpret_cast<const char*>(at + 4), length);
            walk.lastRecno = recno;
            if (walk.entries)
                walk.entries->push_back({walk.lastKey, recno});
        }
        m_pages.trim();
        return;
    }
    for (int i = 0; i <= n.count; ++i) {
        const Node again = node(page);
        const std::string lower =
            i > 0 ? std::string(reinterpret_cast<const char*>(item(again.data, i - 1) + 4), length)
                  : std::string();
        const std::string upper =
            i < n.count ? std::string(reinterpret_cast<const char*>(item(again.data, i) + 4), length)
                        : std::string();
        visit(walk, child(again, i), depth + 1, i > 0 ? &lower : low, i < n.count ? &upper : high);
    }
}

std::vector<IndexEntry> MdxTree::verify()
{
    std::vector<IndexEntry> entries;
    Walk walk;
    walk.entries = &entries;
    walk.limit = m_pages.endPage() / kPagesPerBlock + 1;
    visit(walk, root(), 0, nullptr, nullptr);
    return entries;
}

std::vector<std::uint32_t> MdxTree::nodePages()
{
    std::vector<std::uint32_t> pages;
    Walk walk;
    walk.pages = &pages;
    walk.limit = m_pages.endPage() / kPagesPerBlock + 1;
    visit(walk, root(), 0, nullptr, nullptr);
    return pages;
}

} // namespace dbase::mdx
