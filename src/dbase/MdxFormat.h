#pragma once

// Private to the .MDX sources: the layout of a dBase IV multiple index file
// and the little helpers every part of it uses.

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
