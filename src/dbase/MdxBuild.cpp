// Building a tag's tree from all its entries at once, and walking a whole tree.
#include "MdxTree.h"

#include "DatabaseError.h"

#include <algorithm>
#include <cstring>

namespace dbase::mdx {

namespace {

// The children of one level of a tree being built, each a page and the
// highest key below it, written once and then read once in order. Kept in
// memory, or appended to the sorter's spill file when it has one, so that
// no level of a large tag is held whole.
class ChildList {
public:
    ChildList(File* file, std::uint64_t offset, std::size_t keyLength)
        : m_file(file), m_start(offset), m_end(offset), m_record(keyLength + 4)
    {
    }
    std::size_t size() const { return m_count; }
    std::uint64_t end() const { return m_end; }

    void push(std::uint32_t page, const std::uint8_t* highest)
    {
        const std::size_t at = m_buffer.size();
        m_buffer.resize(at + m_record);
        put32(m_buffer.data() + at, page);
        if (highest)
            std::memcpy(m_buffer.data() + at + 4, highest, m_record - 4);
        ++m_count;
        if (m_file && m_buffer.size() >= kPiece)
            writeOut();
    }
    void rewind()
    {
        if (m_file) {
            writeOut();
            std::vector<std::uint8_t>().swap(m_buffer);
        }
        m_read = m_start;
        m_at = 0;
    }
    // The next child: its page, and its highest key (valid until the next call).
    std::uint32_t next(const std::uint8_t*& highest)
    {
        if (m_file && m_at == m_buffer.size()) {
            const std::size_t n =
                std::size_t(std::min<std::uint64_t>(kPiece / m_record * m_record, m_end - m_read));
            m_buffer.resize(n);
            m_file->readExact(m_read, m_buffer.data(), n);
            m_read += n;
            m_at = 0;
        }
        const std::uint8_t* at = m_buffer.data() + m_at;
        m_at += m_record;
        highest = at + 4;
        return get32(at);
    }

private:
    static constexpr std::size_t kPiece = 64u << 10;
    void writeOut()
    {
        m_file->writeAt(m_end, m_buffer.data(), m_buffer.size());
        m_end += m_buffer.size();
        m_buffer.clear();
    }

    File* m_file;
    std::uint64_t m_start, m_end, m_read = 0;
    std::size_t m_record;
    std::size_t m_count = 0;
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_at = 0;
};

} // namespace

void MdxTree::build(KeySorter& keys)
{
    const int length = m_layout.keyLength;
    const int perLeaf = capacity(true);
    auto level = std::make_unique<ChildList>(keys.spillFile(), keys.spillEnd(), std::size_t(length));
    std::uint8_t* data = nullptr;
    int count = 0;
    const std::uint8_t* key = nullptr;
    std::uint32_t recno = 0;
    std::uint32_t page = 0;
    while (keys.next(key, recno)) {
        if (!data) {
            page = allocNode();
            data = m_pages.edit(page);
            count = 0;
        }
        std::uint8_t* at = item(data, count++);
        put32(at, recno);
        std::memcpy(at + 4, key, std::size_t(length));
        if (count == perLeaf) {
            put32(data, std::uint32_t(count));
            level->push(page, item(data, count - 1) + 4);
            m_pages.trim();
            data = nullptr;
        }
    }
    if (data || level->size() == 0) {
        if (!data) {
            page = allocNode();
            data = m_pages.edit(page);
            count = 0;
        }
        put32(data, std::uint32_t(count));
        level->push(page, count ? item(data, count - 1) + 4 : nullptr);
        m_pages.trim();
    }
    // Full interior nodes too, but never one with a single pointer: the last
    // node takes one from its neighbour when it would have only one.
    const std::size_t fan = std::size_t(capacity(false)) + 1;
    while (level->size() > 1) {
        const std::size_t groups = (level->size() + fan - 1) / fan;
        std::size_t last = level->size() - (groups - 1) * fan;
        std::size_t beforeLast = fan;
        if (last == 1) {
            --beforeLast;
            last = 2;
        }
        level->rewind();
        auto upper = std::make_unique<ChildList>(keys.spillFile(), level->end(), std::size_t(length));
        std::vector<std::uint8_t> highest(std::size_t(length), 0);
        for (std::size_t g = 0; g < groups; ++g) {
            const std::size_t size = g + 1 == groups ? last : g + 2 == groups ? beforeLast : fan;
            const std::uint32_t nodePage = allocNode();
            std::uint8_t* node = m_pages.edit(nodePage);
            put32(node, std::uint32_t(size - 1));
            for (std::size_t k = 0; k < size; ++k) {
                const std::uint8_t* childHighest = nullptr;
                const std::uint32_t childPage = level->next(childHighest);
                put32(item(node, int(k)), childPage);
                if (k + 1 < size)
                    std::memcpy(item(node, int(k)) + 4, childHighest, std::size_t(length));
                else
                    std::memcpy(highest.data(), childHighest, std::size_t(length));
            }
            upper->push(nodePage, highest.data());
            m_pages.trim();
        }
        level = std::move(upper);
    }
    level->rewind();
    const std::uint8_t* unused = nullptr;
    setRoot(level->next(unused));
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
