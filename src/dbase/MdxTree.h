#pragma once

// Private to the .MDX sources: the B-tree of one tag.

#include "MdxFile.h"
#include "MdxPages.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace dbase::mdx {

// What the tree code needs of a tag, read from or written to its header block.
struct TagLayout {
    std::string name;
    std::uint32_t headerPage = 0;
    char type = 'C'; // 'C', 'N' or 'D'
    int keyLength = 0;
    int itemLength = 0;
    int keysPerBlock = 0;
    bool descending = false;
    bool unique = false;
};

// A key to look for (already at its full length) and a record number; 64
// bits so that "after record 0xFFFFFFFF" can be asked.
struct Probe {
    const std::uint8_t* key = nullptr;
    std::uint64_t order = 0; // numeric and date keys: orderedValue() of the key
    std::uint64_t recno = 0;
};

// Orders the keys of one tag: bytes for character keys, values for numbers
// and dates, reversed for descending tags.
class KeyOrder {
public:
    explicit KeyOrder(const TagLayout& layout)
        : m_type(layout.type), m_length(layout.keyLength), m_descending(layout.descending)
    {
    }
    // Numeric and date keys as an unsigned number in value order; 0 for character keys.
    std::uint64_t orderedValue(const std::uint8_t* key) const;
    Probe probe(const std::uint8_t* key, std::uint64_t recno) const
    {
        return {key, orderedValue(key), recno};
    }
    int compare(const std::uint8_t* stored, const Probe& probe) const;
    int compareEntry(const std::uint8_t* stored, std::uint32_t recno, const Probe& probe) const;

private:
    char m_type;
    int m_length;
    bool m_descending;
};

// A position in a tree: the page and item index at every level, leaf last.
// At an interior level the index is the child taken (count = the last pointer).
struct Path {
    struct Level {
        std::uint32_t page = 0;
        int index = 0;
    };
    std::array<Level, kMaxDepth> at;
    int depth = 0;
    Level& leaf() { return at[depth - 1]; }
    const Level& leaf() const { return at[depth - 1]; }
};

// Keys of a new tag sorted in tag order, ready to be written as leaves.
struct SortedKeys {
    std::vector<std::uint8_t> keys; // keyLength bytes each, in input order
    std::vector<std::uint32_t> recnos;
    std::vector<std::uint32_t> order; // indexes into keys/recnos in tag order
};

// Normalises, sorts and (for unique tags) thins the entries. Throws when a
// numeric or date key has the wrong length.
SortedKeys sortEntries(const std::string& path, const TagLayout& layout, std::vector<IndexEntry> entries);

// Operations on the tree of one tag. Cheap to make; holds no state of its
// own beyond references. Every node read is checked, and damage raises
// DatabaseError naming the file, the tag and the page.
class MdxTree {
public:
    MdxTree(MdxPages& pages, TagLayout& layout) : m_pages(pages), m_layout(layout), m_order(layout) {}

    const KeyOrder& order() const { return m_order; }

    // Positioning: each returns false when there is no such entry.
    bool first(Path& path);
    bool last(Path& path);
    // The first entry >= probe; when none, `path` is left just past the last entry.
    bool lowerBound(const Probe& probe, Path& path);
    bool advance(Path& path);
    bool retreat(Path& path); // also works from the position past the last entry
    IndexEntry entryAt(const Path& path);
    // The entry itself. Our trees keep equal keys in record order; other
    // writers store them in any order (descending seen), so when the search
    // by record number misses, the whole run of equal keys is looked through.
    bool locate(const std::uint8_t* key, std::uint32_t recno, Path& path);
    // Throws unless the entry at `path` sorts after (or before) the key of
    // `from`, and is not `from` itself: a walk over keys out of order must
    // end, not go round for ever. Equal keys may hold records in any order.
    void checkStep(const Path& path, const Probe& from, bool forward);

    void insert(const std::uint8_t* key, std::uint32_t recno);
    bool remove(const std::uint8_t* key, std::uint32_t recno);

    // Writes the tree of a new tag bottom-up and fills its header's root,
    // page count, key flag and first and last leaf.
    void build(const SortedKeys& keys);
    std::vector<IndexEntry> verify();
    // Every node page, for freeing the tag.
    std::vector<std::uint32_t> nodePages();

private:
    struct Node {
        const std::uint8_t* data;
        int count;
        bool leaf;
    };
    struct Walk;
    void visit(Walk& walk, std::uint32_t page, int depth, const std::string* low, const std::string* high);

    Node node(std::uint32_t page);
    std::uint8_t* editNode(std::uint32_t page);
    std::uint8_t* item(std::uint8_t* data, int index) const
    {
        return data + kNodeItems + index * m_layout.itemLength;
    }
    const std::uint8_t* item(const std::uint8_t* data, int index) const
    {
        return data + kNodeItems + index * m_layout.itemLength;
    }
    std::uint32_t child(const Node& n, int index) const { return get32(item(n.data, index)); }
    // Keys a node may hold: an interior node one fewer than the header's
    // count, as other readers take a node holding that many for a leaf.
    int capacity(bool leaf) const { return leaf ? m_layout.keysPerBlock : m_layout.keysPerBlock - 1; }

    const std::uint8_t* tagHeader();
    std::uint32_t root();
    void setRoot(std::uint32_t page);
    std::uint8_t* editTagHeader();
    std::uint32_t allocNode();
    void freeNode(std::uint32_t page);
    void finishChange();

    void descend(const Probe& probe, Path& path);
    bool separatorBelow(const Node& n, int index, const Probe& probe, int depth);
    int descendEdge(Path& path, std::uint32_t page, bool forward);
    bool stepLeaf(Path& path, bool forward);

    void insertAt(Path& path, int level, std::uint8_t* newItem);
    void writeNode(std::uint32_t page, const std::uint8_t* items, int count, std::uint32_t trailing);
    void removeItem(std::uint8_t* data, int index);
    void replaceMax(const Path& path, int level, const std::uint8_t* key);
    void rebalance(Path& path, int level);
    void removeChild(Path& path, int level);
    void mergeChildren(std::uint32_t parent, int index);
    void rotateInto(std::uint32_t parent, int index);
    void collapseRoot();

    [[noreturn]] void damaged(const std::string& what) const;
    [[noreturn]] void loop() const;

    MdxPages& m_pages;
    TagLayout& m_layout;
    KeyOrder m_order;
    bool m_reshaped = false; // nodes were added or freed
};

} // namespace dbase::mdx
