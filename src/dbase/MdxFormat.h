#pragma once

// Private to the .MDX sources: the layout of a dBase IV multiple index file
// and the little helpers every part of it uses.
//
// FILE LAYOUT
//
// The file is addressed in 512-byte pages; every tree node and tag header is
// a 1024-byte block (two pages) starting at a page number >= 4. Integers are
// little-endian.
//
//   pages 0-3   file header (offsets in namespace file below): version 2,
//               the table's base name (bytes 4-19, NUL-padded, at most 16
//               characters), block geometry, the count of tags in use, the
//               first unused page, the free-list head and length; then from
//               byte 544 the tag table, 32 bytes a slot (namespace slot):
//               header page, name, key type, and the links of a binary tree
//               of tag names that dBase keeps (built by inserting the tags
//               in slot order).
//   tag header  one block per tag (namespace tag): root page, pages used,
//               key format (descending, unique), key type, key length, keys
//               per block, item length, key expression, FOR expression, the
//               "has keys" flag and the first and last leaf.
//   node        one block: key count (4 bytes), a zero word (the free-list
//               link once the block is freed), then `count` items of a
//               4-byte pointer and a key padded to the item length. In an
//               interior node the pointers are child pages and one more
//               pointer, for the keys above the last separator, follows the
//               last item; in a leaf the pointers are record numbers and the
//               word after the last item is 0.
//
// Keys: character keys blank-padded to the key length and compared bytewise;
// numeric keys 12 bytes of dBase BCD (see Keys.cpp); date keys the Julian day
// as an 8-byte double. A descending tag reverses the comparison.
//
// INVARIANTS (what this engine writes; what it accepts is looser, below)
//
//   1. Every leaf is at the same depth. A node is a leaf when the word after
//      its last item is 0.
//   2. A leaf holds at most `keys per block` items; an interior node at most
//      one fewer. Free Pascal's TDbf takes any node holding the full count for
//      a leaf, whatever its last pointer says, so a full interior node would
//      hide its subtrees from it.
//   3. No interior node has a single pointer (count 0); an empty leaf exists
//      only as the root of an empty tag.
//   4. A separator key is the highest key of the subtree on its left; it
//      carries no record number. Keys in a leaf and across leaves ascend in
//      tag order, and equal keys sit in ascending record order.
//   5. The tag header's root, pages used, "has keys" flag and first and last
//      leaf describe the tree as it is after every change.
//   6. Freed blocks form a singly linked list through the word at offset 4,
//      headed at file byte 36, its length at byte 40. A list read from a file
//      is walked once before first use; one that loops or leaves the file is
//      dropped (its blocks are lost to reuse, never handed out twice).
//   7. Changes stay in memory until a flush, which writes the blocks past the
//      old end of the file first, then changed blocks in place, tag headers
//      after those, and the file header last: a disk that fills up fails
//      before any block of the last flushed state has changed.
//
// WHAT IS ACCEPTED FROM OTHER WRITERS
//
//   - Equal keys in any record order (another engine stores them descending):
//     walks check key order only, and finding one entry looks through the run
//     of equal keys when the search by record number misses.
//   - Interior nodes filled to `keys per block`, zero first/last leaf fields,
//     zero tag-name tree links, "F" for numeric key types.
//   - Tag names beginning with an underscore.
//   - A tag whose keys are longer than the 100 bytes dBase IV allows, with an
//     otherwise sound header: listed as unusable, never read or written; the
//     other tags work.
//   - A header naming no table. One naming another table (compared without
//     case, an added ".DBF" allowed) makes the whole index damaged.
//   Anything else out of range (counts beyond a block, pages beyond the file,
//   loops, keys out of order) is damage, reported by DatabaseError naming the
//   file, the tag and the page.

#include "Bytes.h"

#include <charconv>
#include <cstdint>
#include <string>

namespace dbase::mdx {

inline constexpr std::uint32_t kPageSize = 512;
inline constexpr std::uint32_t kBlockSize = 1024;
inline constexpr std::uint32_t kPagesPerBlock = 2;
// Page 0 and the tag table (bytes 544 to 2047) come before any block.
inline constexpr std::uint32_t kHeaderPages = 4;
inline constexpr std::uint32_t kHeaderBytes = kHeaderPages * kPageSize;

inline constexpr int kTagSlots = 48;
inline constexpr int kUsableTags = 47; // the 48th slot would overlap page 4
inline constexpr int kSlotLength = 32;
inline constexpr int kTagTable = 544;
inline constexpr int kMaxKeyLength = 100;
inline constexpr int kMaxTagName = 10;
// Deeper trees than this only arise from loops: a tree of 9-key nodes
// this deep would hold more keys than a 4 GB file.
inline constexpr int kMaxDepth = 32;

// File header (page 0).
namespace file {
inline constexpr int version = 0;
inline constexpr int created = 1;
inline constexpr int baseName = 4;
inline constexpr int baseNameLength = 16;
inline constexpr int pagesPerBlock = 20;
inline constexpr int blockSize = 22;
inline constexpr int production = 24;
inline constexpr int slotCount = 25;
inline constexpr int slotLength = 26;
inline constexpr int tagsInUse = 28;
inline constexpr int nextPage = 32;
inline constexpr int freeHead = 36;
inline constexpr int freeCount = 40;
inline constexpr int updated = 44;
inline constexpr int marker = 529; // 0x01 in every file dBase writes
} // namespace file

// One 32-byte slot of the tag table.
namespace slot {
inline constexpr int headerPage = 0;
inline constexpr int name = 4;
inline constexpr int nameLength = 11;
inline constexpr int format = 15;
inline constexpr int left = 16; // slots of the binary tree of names, counted from 1
inline constexpr int right = 17;
inline constexpr int parent = 18;
inline constexpr int marker = 19;
inline constexpr int keyType = 20;
} // namespace slot

// Tag header block.
namespace tag {
inline constexpr int root = 0;
inline constexpr int pagesUsed = 4;
inline constexpr int format = 8;
inline constexpr int keyType = 9;
inline constexpr int keyLength = 12;
inline constexpr int keysPerBlock = 14;
inline constexpr int secondaryType = 16;
inline constexpr int itemLength = 18;
inline constexpr int uniqueFlag = 23;
inline constexpr int expression = 24;
inline constexpr int expressionEnd = 244; // exclusive; room for the NUL included
inline constexpr int hasFor = 245;
inline constexpr int hasKeys = 246;
inline constexpr int firstLeaf = 248;
inline constexpr int lastLeaf = 252;
inline constexpr int forExpression = 762;

inline constexpr std::uint8_t formatBase = 0x10;
inline constexpr std::uint8_t formatDescending = 0x08;
inline constexpr std::uint8_t formatUnique = 0x40;
} // namespace tag

// Node: key count, a zero word (the free-list link once freed), then items of
// a 4-byte pointer and the key; interior nodes end with one more pointer.
inline constexpr int kNodeItems = 8;
inline constexpr int kFreeLink = 4;
inline constexpr int kBlockPayload = kBlockSize - 12;

using dbase::get16;
using dbase::get32;
using dbase::put16;
using dbase::put32;

inline std::string decimal(std::uint64_t value)
{
    char text[24];
    auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

// Throws DatabaseError("The index file <path> is damaged: <what>.").
[[noreturn]] void throwDamaged(const std::string& path, const std::string& what);

// Today's date as the three bytes dBase writes: two-digit year, month, day.
void todayBytes(std::uint8_t* out);

} // namespace dbase::mdx
