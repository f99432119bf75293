#pragma once

#include "Field.h"
#include "FileSystem.h"

#include <cstdint>
#include <string>
#include <vector>

namespace dbase {

// Offsets inside the 32-byte table header.
namespace dbf {
inline constexpr int kHeaderSize = 32;
inline constexpr int kRecordCount = 4;
inline constexpr int kHeaderLength = 8;
inline constexpr int kRecordLength = 10;
inline constexpr int kIncomplete = 14;    // 0x01 while a change is under way; other values mean nothing
inline constexpr int kEncrypted = 15;     // 0x01 when the records are encrypted
inline constexpr int kChangeCounter = 16; // 4 bytes of the multi-user area: bumped by every write of ours
inline constexpr int kProductionIndex = 28;
inline constexpr int kLanguageDriver = 29;
inline constexpr std::uint8_t kEndMark = 0x1A;
// Bytes real files carry between the descriptors' terminator and the data:
// Visual FoxPro's 263-byte backlink, and the stray byte some dBase III writers add.
inline constexpr std::size_t kMaxHeaderPadding = 264;
inline constexpr std::uint8_t kWindows1252Driver = 0x03;
} // namespace dbf

// The parsed header and field descriptors of a .DBF.
struct DbfHeader {
    std::uint8_t version = 0x03;
    std::uint32_t recordCount = 0;
    std::uint16_t headerLength = 0;
    std::uint16_t recordLength = 0;
    bool incomplete = false;
    bool productionIndex = false;
    std::uint8_t languageDriver = 0;
    std::uint32_t changeCounter = 0;
    std::vector<Field> fields;

    bool hasMemo() const;
    bool dbase4Memo() const { return version == 0x8B || version == 0x8E; }

    // Reads and checks the header; throws DatabaseError naming the file and the damage.
    static DbfHeader read(File& file);
    // Fixed part only, for re-reading the counters under a lock.
    void readCounters(const unsigned char* header32);
    // Builds the bytes of a new table's header and descriptors (with the 0x0D terminator).
    static std::string build(const std::vector<Field>& fields, std::uint8_t languageDriver,
                             std::uint8_t version);
    // The 32-byte fixed part as it stands now, dated today.
    void writeFixedPart(unsigned char* header32) const;
};

// Lays out fields for a new table from the caller's specifications, checking names and widths.
std::vector<Field> layoutFields(const std::vector<FieldSpec>& specs);

} // namespace dbase
