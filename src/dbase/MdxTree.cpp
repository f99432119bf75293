#include "MdxTree.h"

#include "DatabaseError.h"
#include "Expression.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace dbase::mdx {

namespace {

// The bits of a double as an unsigned number that sorts like the value;
// -0 is taken as 0 and every NaN as one value above infinity.
std::uint64_t orderedBits(double value)
{
    if (value == 0)
        value = 0;
    if (std::isnan(value))
        value = std::numeric_limits<double>::quiet_NaN();
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return (bits >> 63) ? ~bits : bits | (std::uint64_t(1) << 63);
}

int sign(std::uint64_t a, std::uint64_t b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

} // namespace

std::uint64_t KeyOrder::orderedValue(const std::uint8_t* key) const
{
    const auto* text = reinterpret_cast<const char*>(key);
    if (m_type == 'N')
        return orderedBits(numericKeyValue(std::string_view(text, std::size_t(m_length))));
    if (m_type == 'D')
        return orderedBits(dateKeyValue(std::string_view(text, std::size_t(m_length))));
    return 0;
}

int KeyOrder::compare(const std::uint8_t* stored, const Probe& probe) const
{
    int result = m_type == 'C' ? std::memcmp(stored, probe.key, std::size_t(m_length))
                               : sign(orderedValue(stored), probe.order);
    return m_descending ? -result : result;
}

int KeyOrder::compareEntry(const std::uint8_t* stored, std::uint32_t recno, const Probe& probe) const
{
    const int result = compare(stored, probe);
    return result != 0 ? result : sign(recno, probe.recno);
}

void MdxTree::damaged(const std::string& what) const
{
    throwDamaged(m_pages.path(), "tag " + m_layout.name + " " + what);
}

void MdxTree::loop() const
{
    damaged("has more than " + decimal(kMaxDepth) + " levels (a loop in its tree)");
}

MdxTree::Node MdxTree::node(std::uint32_t page)
{
    if (page < kHeaderPages)
        damaged("has a node at page " + decimal(page) + ", inside the header");
    const std::uint8_t* data = m_pages.isBlockPage(page) ? m_pages.read(page) : nullptr;
    if (!data)
        damaged("has a node at page " + decimal(page) + " beyond the end of the file");
    const std::uint32_t count = get32(data);
    if (count > std::uint32_t(m_layout.keysPerBlock))
        damaged("has a node at page " + decimal(page) + " holding " + decimal(count) + " keys where " +
                decimal(m_layout.keysPerBlock) + " fit");
    const int n = int(count);
    return {data, n, get32(item(data, n)) == 0};
}

std::uint8_t* MdxTree::editNode(std::uint32_t page)
{
    node(page);
    return m_pages.edit(page);
}

const std::uint8_t* MdxTree::tagHeader()
{
    const std::uint8_t* header = m_pages.read(m_layout.headerPage);
    if (!header)
        damaged("has its header beyond the end of the file");
    return header;
}

std::uint32_t MdxTree::root()
{
    return get32(tagHeader() + tag::root);
}

std::uint8_t* MdxTree::editTagHeader()
{
    tagHeader();
    return m_pages.edit(m_layout.headerPage);
}

void MdxTree::setRoot(std::uint32_t page)
{
    put32(editTagHeader() + tag::root, page);
}

std::uint32_t MdxTree::allocNode()
{
    m_reshaped = true;
    const std::uint32_t page = m_pages.allocate();
    std::uint8_t* header = editTagHeader();
    put32(header + tag::pagesUsed, get32(header + tag::pagesUsed) + kPagesPerBlock);
    return page;
}

void MdxTree::freeNode(std::uint32_t page)
{
    m_reshaped = true;
    m_pages.release(page);
    std::uint8_t* header = editTagHeader();
    const std::uint32_t used = get32(header + tag::pagesUsed);
    put32(header + tag::pagesUsed, used >= kPagesPerBlock ? used - kPagesPerBlock : 0);
}

// Keeps the key flag and the first and last leaf of the header in step
// with the tree; they can only change when nodes came or went, or when the
// root is a leaf.
void MdxTree::finishChange(bool rootMayBeLeaf)
{
    if (!m_reshaped && (!rootMayBeLeaf || !node(root()).leaf))
        return;
    Path path;
    const bool any = first(path);
    const std::uint32_t firstLeaf = path.leaf().page;
    last(path);
    const std::uint32_t lastLeaf = path.leaf().page;
    const std::uint8_t* header = tagHeader();
    if (header[tag::hasKeys] == std::uint8_t(any) && get32(header + tag::firstLeaf) == firstLeaf &&
        get32(header + tag::lastLeaf) == lastLeaf)
        return;
    std::uint8_t* edit = editTagHeader();
    edit[tag::hasKeys] = std::uint8_t(any);
    put32(edit + tag::firstLeaf, firstLeaf);
    put32(edit + tag::lastLeaf, lastLeaf);
}

// --- Positioning ---

// The lowest and highest entries under child `index` of an interior node:
// both when the child is a leaf, else the highest alone (from its last leaf).
MdxTree::Edges MdxTree::edges(const Node& n, int index, int depth)
{
    Edges found;
    std::uint32_t page = child(n, index);
    for (int level = depth + 1;; ++level) {
        if (level >= kMaxDepth)
            loop();
        const Node below = node(page);
        if (below.leaf) {
            if (below.count == 0)
                return found; // unknown: look inside, the leaf level moves on if need be
            found.high = item(below.data, below.count - 1);
            if (level == depth + 1)
                found.low = item(below.data, 0);
            return found;
        }
        page = child(below, below.count);
    }
}

// The first child of an interior node, among [low, high) whose separators
// equal the probe's key, holding an entry >= probe (`high` when none does).
// Separators carry no record number, so the entries under a child decide.
// Equal keys ascend by record number, so across a wide run the search looks
// at both ends first and then interpolates on the record number, halving
// instead after a step that hardly narrowed the run (a skewed spread). A
// leaf whose entries enclose the probe ends the search at once.
int MdxTree::searchEqual(const Node& n, int low, int high, const Probe& probe, int depth)
{
    auto sameKey = [&](const std::uint8_t* at) { return m_order.compare(at + 4, probe) == 0; };
    const bool wide = high - low > 8;
    bool lowSeen = false, highSeen = false, bisect = false;
    std::uint64_t lowRecno = 0, highRecno = 0; // of entries with the key below and at or above the probe
    while (low < high) {
        const int span = high - low;
        int guess = low + span / 2;
        bool interpolated = false;
        if (wide && !lowSeen) {
            guess = low;
        } else if (wide && !highSeen) {
            guess = high - 1;
        } else if (wide && !bisect && highRecno > lowRecno && probe.recno > lowRecno) {
            const std::uint64_t step =
                (probe.recno - lowRecno) * std::uint64_t(span) / (highRecno - lowRecno + 1);
            guess = low + int(std::min<std::uint64_t>(step, std::uint64_t(span - 1)));
            interpolated = true;
        }
        const bool atLow = guess == low;
        const bool atHigh = guess == high - 1;
        const Edges e = edges(n, guess, depth);
        if (!e.high) {
            high = guess;
            highSeen = highSeen || atHigh;
        } else if (m_order.compareEntry(e.high + 4, get32(e.high), probe) < 0) {
            low = guess + 1;
            lowSeen = lowSeen || atLow;
            if (sameKey(e.high))
                lowRecno = std::max<std::uint64_t>(lowRecno, get32(e.high));
        } else if (e.low && m_order.compareEntry(e.low + 4, get32(e.low), probe) <= 0) {
            return guess;
        } else {
            high = guess;
            highSeen = highSeen || atHigh;
            const std::uint8_t* above = e.low && sameKey(e.low) ? e.low : e.high;
            if (sameKey(above))
                highRecno = get32(above);
        }
        bisect = interpolated && (high - low) * 4 > span * 3;
    }
    return low;
}

void MdxTree::descend(const Probe& probe, Path& path)
{
    path.depth = 0;
    std::uint32_t page = root();
    for (;;) {
        if (path.depth == kMaxDepth)
            loop();
        const Node n = node(page);
        // The binary search below jumps across the block: ask for all of it
        // at once rather than one cache miss after another.
        const int bytes = kNodeItems + n.count * m_layout.itemLength;
        for (int offset = 64; offset < bytes; offset += 64)
            __builtin_prefetch(n.data + offset);
        int low = 0, high = n.count;
        if (n.leaf) {
            while (low < high) {
                const int middle = (low + high) / 2;
                const std::uint8_t* at = item(n.data, middle);
                if (m_order.compareEntry(at + 4, get32(at), probe) < 0)
                    low = middle + 1;
                else
                    high = middle;
            }
        } else {
            // By key first: separators below the probe's key, then those equal to it.
            while (low < high) {
                const int middle = (low + high) / 2;
                if (m_order.compare(item(n.data, middle) + 4, probe) < 0)
                    low = middle + 1;
                else
                    high = middle;
            }
            int equalEnd = low;
            high = n.count;
            // Most probes fall between two separators: none equals the key.
            if (low < n.count && m_order.compare(item(n.data, low) + 4, probe) > 0)
                high = low;
            while (equalEnd < high) {
                const int middle = (equalEnd + high) / 2;
                if (m_order.compare(item(n.data, middle) + 4, probe) <= 0)
                    equalEnd = middle + 1;
                else
                    high = middle;
            }
            if (low < equalEnd)
                low = searchEqual(n, low, equalEnd, probe, path.depth);
        }
        path.at[path.depth++] = {page, low};
        if (n.leaf)
            return;
        page = child(n, low);
    }
}

// Goes down from `page` (at level path.depth) along the first or last
// pointers to a leaf; returns the leaf's key count.
int MdxTree::descendEdge(Path& path, std::uint32_t page, bool forward)
{
    for (;;) {
        if (path.depth == kMaxDepth)
            loop();
        const Node n = node(page);
        if (n.leaf) {
            path.at[path.depth++] = {page, forward ? 0 : n.count - 1};
            return n.count;
        }
        const int index = forward ? 0 : n.count;
        path.at[path.depth++] = {page, index};
        page = child(n, index);
    }
}

// Moves to the nearest entry of the next (or previous) non-empty leaf;
// leaves `path` alone and returns false when there is none.
bool MdxTree::stepLeaf(Path& path, bool forward)
{
    Path trial = path;
    std::uint32_t emptyLeaves = 0;
    for (;;) {
        int level = trial.depth - 1;
        for (;;) {
            if (--level < 0)
                return false;
            const int count = node(trial.at[level].page).count;
            int& index = trial.at[level].index;
            if (forward ? index < count : index > 0) {
                index += forward ? 1 : -1;
                break;
            }
        }
        trial.depth = level + 1;
        const std::uint32_t below = child(node(trial.at[level].page), trial.at[level].index);
        if (descendEdge(trial, below, forward) > 0) {
            path = trial;
            return true;
        }
        if (++emptyLeaves > m_pages.endPage() / kPagesPerBlock)
            loop();
    }
}

bool MdxTree::first(Path& path)
{
    path.depth = 0;
    return descendEdge(path, root(), true) > 0 || stepLeaf(path, true);
}

bool MdxTree::last(Path& path)
{
    path.depth = 0;
    return descendEdge(path, root(), false) > 0 || stepLeaf(path, false);
}

bool MdxTree::lowerBound(const Probe& probe, Path& path)
{
    descend(probe, path);
    return path.leaf().index < node(path.leaf().page).count || stepLeaf(path, true);
}

bool MdxTree::advance(Path& path)
{
    Path::Level& leaf = path.leaf();
    if (leaf.index + 1 < node(leaf.page).count) {
        ++leaf.index;
        return true;
    }
    return stepLeaf(path, true);
}

bool MdxTree::retreat(Path& path)
{
    Path::Level& leaf = path.leaf();
    if (leaf.index > 0) {
        // From the position past a leaf's last key (where lowerBound() stops
        // when nothing follows), the step back lands on that key.
        leaf.index = std::min(leaf.index, node(leaf.page).count) - 1;
        if (leaf.index >= 0)
            return true;
    }
    return stepLeaf(path, false);
}

IndexEntry MdxTree::entryAt(const Path& path)
{
    const Node n = node(path.leaf().page);
    const std::uint8_t* at = item(n.data, path.leaf().index);
    return {std::string(reinterpret_cast<const char*>(at + 4), std::size_t(m_layout.keyLength)), get32(at)};
}

void MdxTree::checkStep(const Path& path, const Probe& from, bool forward)
{
    const std::uint8_t* at = item(node(path.leaf().page).data, path.leaf().index);
    const int order = m_order.compare(at + 4, from);
    if (forward ? order < 0 : order > 0)
        damaged("has keys out of order at page " + decimal(path.leaf().page));
    if (order == 0 && get32(at) == from.recno)
        damaged("holds record " + decimal(from.recno) + " twice under one key at page " +
                decimal(path.leaf().page));
}

bool MdxTree::locate(const std::uint8_t* key, std::uint32_t recno, Path& path)
{
    const Probe exact = m_order.probe(key, recno);
    if (lowerBound(exact, path)) {
        const std::uint8_t* at = item(node(path.leaf().page).data, path.leaf().index);
        if (m_order.compareEntry(at + 4, get32(at), exact) == 0)
            return true;
    }
    // A leaf at a time: the run may be long (a blank key on most records).
    const Probe anyRecord = m_order.probe(key, 0);
    if (!lowerBound(anyRecord, path))
        return false;
    for (;;) {
        const Node n = node(path.leaf().page);
        for (int& i = path.leaf().index; i < n.count; ++i) {
            const std::uint8_t* at = item(n.data, i);
            if (m_order.compare(at + 4, anyRecord) != 0)
                return false;
            if (get32(at) == recno)
                return true;
        }
        if (!stepLeaf(path, true))
            return false;
    }
}

// --- Insertion ---

void MdxTree::insert(const std::uint8_t* key, std::uint32_t recno)
{
    Path path;
    if (m_layout.unique) {
        const Probe anyRecord = m_order.probe(key, 0);
        if (lowerBound(anyRecord, path) &&
            m_order.compare(item(node(path.leaf().page).data, path.leaf().index) + 4, anyRecord) == 0)
            return;
    }
    const Probe probe = m_order.probe(key, recno);
    descend(probe, path);
    const Node leaf = node(path.leaf().page);
    if (path.leaf().index < leaf.count &&
        m_order.compareEntry(item(leaf.data, path.leaf().index) + 4,
                             get32(item(leaf.data, path.leaf().index)), probe) == 0)
        return;
    std::uint8_t newItem[kBlockSize] = {};
    put32(newItem, recno);
    std::memcpy(newItem + 4, key, std::size_t(m_layout.keyLength));
    insertAt(path, path.depth - 1, newItem);
    // Without a split the root is the one the descent began at.
    finishChange(path.depth == 1);
}

void MdxTree::writeNode(std::uint32_t page, const std::uint8_t* items, int count, std::uint32_t trailing)
{
    std::uint8_t* data = m_pages.fresh(page);
    put32(data, std::uint32_t(count));
    std::memcpy(data + kNodeItems, items, std::size_t(count) * m_layout.itemLength);
    put32(item(data, count), trailing);
}

// Puts `newItem` at path.at[level].index, splitting full nodes on the way up.
// A split keeps the upper half in the old page so the parent's pointer to it
// stays right; the lower half goes to a new page inserted before it.
void MdxTree::insertAt(Path& path, int level, std::uint8_t* newItem)
{
    const int length = m_layout.itemLength;
    for (;; --level) {
        const Path::Level at = path.at[level];
        const Node n = node(at.page);
        std::uint8_t* data = m_pages.edit(at.page);
        if (n.count < capacity(n.leaf)) {
            std::uint8_t* place = item(data, at.index);
            std::memmove(place + length, place, std::size_t(n.count - at.index) * length + 4);
            std::memcpy(place, newItem, std::size_t(length));
            put32(data, std::uint32_t(n.count + 1));
            return;
        }
        // All items plus the new one, and the trailing pointer.
        std::uint8_t all[2 * kBlockSize];
        const int total = n.count + 1;
        std::memcpy(all, item(data, 0), std::size_t(at.index) * length);
        std::memcpy(all + at.index * length, newItem, std::size_t(length));
        std::memcpy(all + (at.index + 1) * length, item(data, at.index),
                    std::size_t(n.count - at.index) * length);
        const std::uint32_t trailing = get32(item(data, n.count));
        // Appending at either end (keys arriving in order) leaves the old node full.
        int lower;
        if (n.leaf)
            lower = at.index == n.count ? n.count : (at.index == 0 ? 1 : total / 2);
        else
            lower = at.index == n.count ? total - 2 : (at.index == 0 ? 1 : (total - 1) / 2);
        const std::uint32_t lowerPage = allocNode();
        std::uint8_t separator[kBlockSize] = {};
        put32(separator, lowerPage);
        if (n.leaf) {
            std::memcpy(separator + 4, all + (lower - 1) * length + 4, std::size_t(length - 4));
            writeNode(lowerPage, all, lower, 0);
            writeNode(at.page, all + lower * length, total - lower, 0);
        } else {
            std::memcpy(separator + 4, all + lower * length + 4, std::size_t(length - 4));
            writeNode(lowerPage, all, lower, get32(all + lower * length));
            writeNode(at.page, all + (lower + 1) * length, total - lower - 1, trailing);
        }
        std::memcpy(newItem, separator, std::size_t(length));
        if (level == 0) {
            const std::uint32_t newRoot = allocNode();
            writeNode(newRoot, newItem, 1, at.page);
            setRoot(newRoot);
            return;
        }
    }
}

// --- Removal ---

bool MdxTree::remove(const std::uint8_t* key, std::uint32_t recno)
{
    Path path;
    if (!locate(key, recno, path))
        return false;
    const Node leaf = node(path.leaf().page);
    std::uint8_t* data = m_pages.edit(path.leaf().page);
    removeItem(data, path.leaf().index);
    const int count = leaf.count - 1;
    if (count > 0 && path.leaf().index == count)
        replaceMax(path, path.depth - 1, item(data, count - 1) + 4);
    rebalance(path, path.depth - 1);
    collapseRoot();
    finishChange();
    return true;
}

// Removes item `index` (pointer and key); a trailing pointer moves down with the rest.
void MdxTree::removeItem(std::uint8_t* data, int index)
{
    const int length = m_layout.itemLength;
    const int count = int(get32(data));
    if (index < 0 || index >= count || count > m_layout.keysPerBlock)
        damaged("changed under a removal (a node shared by two parents)");
    std::uint8_t* place = item(data, index);
    std::memmove(place, place + length, std::size_t(count - 1 - index) * length + 4);
    std::memset(item(data, count - 1) + 4, 0, std::size_t(length));
    put32(data, std::uint32_t(count - 1));
}

// The highest key under path.at[level] is now `key`: fix the separator that names it.
void MdxTree::replaceMax(const Path& path, int level, const std::uint8_t* key)
{
    std::uint8_t copy[kMaxKeyLength];
    std::memcpy(copy, key, std::size_t(m_layout.keyLength));
    for (int up = level - 1; up >= 0; --up) {
        const Path::Level& at = path.at[up];
        const Node n = node(at.page);
        if (at.index < n.count) {
            if (std::memcmp(item(n.data, at.index) + 4, copy, std::size_t(m_layout.keyLength)) != 0)
                std::memcpy(item(m_pages.edit(at.page), at.index) + 4, copy, std::size_t(m_layout.keyLength));
            return;
        }
    }
}

// Drops emptied nodes and merges small ones with a neighbour, upwards from `level`.
void MdxTree::rebalance(Path& path, int level)
{
    const int small = std::max(1, m_layout.keysPerBlock / 4);
    for (; level > 0; --level) {
        const Path::Level at = path.at[level];
        const Node n = node(at.page);
        if (n.leaf && n.count == 0) {
            removeChild(path, level - 1);
            freeNode(at.page);
            continue;
        }
        if (n.count >= small)
            return;
        const std::uint32_t parentPage = path.at[level - 1].page;
        const Node parent = node(parentPage);
        if (parent.count == 0)
            return;
        const int index = path.at[level - 1].index;
        const int left = index < parent.count ? index : index - 1;
        const Node a = node(child(parent, left));
        const Node b = node(child(parent, left + 1));
        if (a.leaf != b.leaf)
            return; // uneven depths from another writer: leave them be
        if (a.count + b.count + (a.leaf ? 0 : 1) <= capacity(a.leaf)) {
            const std::uint32_t gone = child(parent, left + 1);
            mergeChildren(parentPage, left);
            freeNode(gone);
            continue;
        }
        if (!n.leaf && n.count == 0)
            rotateInto(parentPage, index);
        return;
    }
}

// Takes the pointer path.at[level].index out of that node. A node losing
// its only child becomes an empty leaf, which the next level up removes.
void MdxTree::removeChild(Path& path, int level)
{
    const Path::Level at = path.at[level];
    std::uint8_t* data = editNode(at.page);
    const int count = int(get32(data));
    if (count == 0) {
        put32(item(data, 0), 0);
    } else if (at.index < count) {
        removeItem(data, at.index);
    } else {
        // The last pointer goes: the one before it takes its place, and its key
        // becomes the highest of this node.
        std::uint8_t highest[kMaxKeyLength];
        std::memcpy(highest, item(data, count - 1) + 4, std::size_t(m_layout.keyLength));
        const std::uint32_t previous = get32(item(data, count - 1));
        std::memset(item(data, count - 1), 0, std::size_t(m_layout.itemLength) + 4);
        put32(item(data, count - 1), previous);
        put32(data, std::uint32_t(count - 1));
        path.at[level].index = count - 1;
        replaceMax(path, level, highest);
    }
}

// Joins children `index` and `index + 1` into the page of the first.
void MdxTree::mergeChildren(std::uint32_t parentPage, int index)
{
    const int length = m_layout.itemLength;
    const Node parent = node(parentPage);
    const std::uint32_t leftPage = child(parent, index);
    const std::uint32_t rightPage = child(parent, index + 1);
    std::uint8_t all[2 * kBlockSize];
    const Node a = node(leftPage);
    int count = a.count;
    std::memcpy(all, item(a.data, 0), std::size_t(count) * length);
    if (!a.leaf) {
        put32(all + count * length, child(a, a.count));
        std::memcpy(all + count * length + 4, item(parent.data, index) + 4, std::size_t(length - 4));
        ++count;
    }
    const Node b = node(rightPage);
    std::memcpy(all + count * length, item(b.data, 0), std::size_t(b.count) * length);
    count += b.count;
    writeNode(leftPage, all, count, b.leaf ? 0 : child(b, b.count));
    std::uint8_t* data = m_pages.edit(parentPage);
    put32(item(data, index + 1), leftPage);
    removeItem(data, index);
}

// An interior child left with a single pointer borrows one from a full neighbour.
void MdxTree::rotateInto(std::uint32_t parentPage, int index)
{
    const int length = m_layout.itemLength;
    const Node parent = node(parentPage);
    const std::uint32_t page = child(parent, index);
    const std::uint32_t only = child(node(page), 0);
    std::uint8_t items[2 * kBlockSize] = {};
    std::uint8_t* up = item(m_pages.edit(parentPage), index < parent.count ? index : index - 1);
    if (index < parent.count) {
        std::uint8_t* right = editNode(child(parent, index + 1));
        put32(items, only);
        std::memcpy(items + 4, up + 4, std::size_t(length - 4));
        writeNode(page, items, 1, get32(item(right, 0)));
        std::memcpy(up + 4, item(right, 0) + 4, std::size_t(length - 4));
        removeItem(right, 0);
    } else {
        std::uint8_t* left = editNode(child(parent, index - 1));
        const int count = int(get32(left));
        if (count == 0)
            damaged("changed under a removal (a node shared by two parents)");
        put32(items, get32(item(left, count)));
        std::memcpy(items + 4, up + 4, std::size_t(length - 4));
        writeNode(page, items, 1, only);
        std::memcpy(up + 4, item(left, count - 1) + 4, std::size_t(length - 4));
        const std::uint32_t previous = get32(item(left, count - 1));
        std::memset(item(left, count - 1), 0, std::size_t(length) + 4);
        put32(item(left, count - 1), previous);
        put32(left, std::uint32_t(count - 1));
    }
}

void MdxTree::collapseRoot()
{
    for (int level = 0; level < kMaxDepth; ++level) {
        const std::uint32_t page = root();
        const Node n = node(page);
        if (n.leaf || n.count > 0)
            return;
        setRoot(child(n, 0));
        freeNode(page);
    }
}

} // namespace dbase::mdx
