#pragma once

// Private to the .MDX sources: the B-tree of one tag.

#include "MdxFile.h"
#include "MdxPages.h"

#include <array>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <thread>
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

// Where the keys of a tag being built go when they outgrow one sorted run;
// no file system means they all stay in memory.
struct SpillPlace {
    FileSystem* fs = nullptr;
    std::string path;
};

// Takes the entries of a new tag in any order and gives them back in tag
// order, thinned for unique tags. At most two runs of entries are held in
// memory: while one is filled, the full one before it is sorted and written
// to the spill file on a second thread; the runs are merged at the end.
// The spill file also holds the child lists of the tree build, and is
// removed when the sorter goes.
class KeySorter {
public:
    KeySorter(const std::string& indexPath, const TagLayout& layout, SpillPlace spill);
    ~KeySorter();
    KeySorter(const KeySorter&) = delete;
    KeySorter& operator=(const KeySorter&) = delete;

    // Throws when a numeric or date key has the wrong length.
    void add(std::string_view key, std::uint32_t recno);
    // Ends the adding; entries come out of next() from then on.
    void finish();
    // The next entry in tag order; `key` stays valid until the next call.
    bool next(const std::uint8_t*& key, std::uint32_t& recno);

    // The spill file when runs went to it (nullptr otherwise), and its first
    // offset past them, for scratch data of the build.
    File* spillFile() const { return m_spill.get(); }
    std::uint64_t spillEnd() const { return m_spillEnd; }

    // Bytes of memory a run may take; 0 restores the default. For tests.
    static void setRunBytes(std::size_t bytes);

private:
    struct Item {
        std::uint64_t prefix; // sorts like the key's first bytes (or value), direction applied
        std::uint32_t recno;
        std::uint32_t index;
    };
    // The entries of one run: keys in input order, items sorted once the run is.
    struct Batch {
        std::vector<std::uint8_t> keys; // keyLength bytes each
        std::vector<Item> items;
    };
    struct Run;
    std::uint64_t prefixOf(const std::uint8_t* key) const;
    int restCompare(const std::uint8_t* a, const std::uint8_t* b) const;
    bool less(const Item& a, const std::uint8_t* keyA, const Item& b, const std::uint8_t* keyB) const;
    void sortBatch(Batch& batch) const;
    void pack(const Batch& batch, const Item& item, std::uint8_t* out) const;
    std::vector<std::uint8_t> packed(const Batch& batch) const;
    void spillBatch(Batch& batch);
    void handOff();
    void awaitSorted();
    bool runBefore(std::size_t a, std::size_t b) const;
    void siftDown(std::size_t i);
    bool nextMerged(Item& item, const std::uint8_t*& key);
    bool repeated(const Item& item, const std::uint8_t* key);
    struct Merger;
    void refill(Run& run);
    void awaitRefill(std::size_t run);
    void mergeRuns();
    bool nextFromMerger(const std::uint8_t*& key, std::uint32_t& recno);

    std::string m_indexPath;
    TagLayout m_layout;
    KeyOrder m_order;
    SpillPlace m_place;
    std::size_t m_length;
    std::size_t m_runEntries;
    Batch m_filling;                  // the run being added to
    Batch m_sorting;                  // the full run before it, sorted and written by m_sorter
    std::thread m_sorter;             // joinable while it works on m_sorting
    bool m_handedOff = false;         // a run went to the sorting thread: the runs are merged
    std::exception_ptr m_sortFailure; // what stopped the sorting thread
    std::unique_ptr<File> m_spill;
    std::uint64_t m_spillEnd = 0;
    std::vector<Run> m_runs;
    std::vector<std::size_t> m_heap; // runs by their current entry, smallest first
    std::size_t m_next = 0;          // next item of the single run in memory
    bool m_merging = false;
    bool m_havePrevious = false;
    Item m_previous{};
    std::vector<std::uint8_t> m_previousKey;
    std::vector<std::uint8_t> m_current;
    std::unique_ptr<Merger> m_merger;      // while the runs are merged on a second thread
    const std::uint8_t* m_chunk = nullptr; // merged entries taken from it
    std::size_t m_chunkAt = 0, m_chunkEnd = 0;
    bool m_holdingChunk = false;
};

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

    // Writes the tree of a new tag bottom-up from the sorter's entries and
    // fills its header's root, page count, key flag and first and last leaf.
    void build(KeySorter& keys);
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
    // `rootMayBeLeaf` false: the caller walked down from an interior root.
    void finishChange(bool rootMayBeLeaf = true);

    void descend(const Probe& probe, Path& path);
    struct Edges {
        const std::uint8_t* low = nullptr; // items (record number, key); null when not known
        const std::uint8_t* high = nullptr;
    };
    Edges edges(const Node& n, int index, int depth);
    int searchEqual(const Node& n, int low, int high, const Probe& probe, int depth);
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
