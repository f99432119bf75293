#pragma once

#include "FileSystem.h"

#include <cstdint>
#include <memory>
#include <string>

namespace dbase {

// Read-only access to the memo texts of a dBase .DBT file.
//
// Two layouts: dBase III (tables of version 0x83) keeps a memo in 512-byte
// blocks ending at the first 0x1A byte or the end of the file; dBase IV
// (version 0x8B) starts each memo with FF FF 08 00 and a length, in blocks
// of the size given in the file header.
class MemoFile {
public:
    // Takes ownership of `file`. Never fails on a damaged header: damage shows
    // when a memo is read.
    static std::unique_ptr<MemoFile> open(std::unique_ptr<File> file, bool dbase4Layout);

    // The raw bytes of the memo starting at `block`, in the table's code page;
    // empty for block 0. Throws DatabaseError naming the file when the memo
    // lies past the end of the file, its header is damaged or it is longer
    // than kMaxMemoBytes.
    std::string read(std::uint32_t block);

    const std::string& path() const { return m_file->path(); }
    std::uint32_t blockSize() const { return m_blockSize; }

    static constexpr std::uint32_t kMaxMemoBytes = 16 * 1024 * 1024;

private:
    MemoFile(std::unique_ptr<File> file, bool dbase4Layout, std::uint32_t blockSize);
    std::string readDbase3(std::uint64_t offset, std::uint32_t block);
    std::string readDbase4(std::uint64_t offset, std::uint32_t block);
    [[noreturn]] void fail(std::uint32_t block, const std::string& what) const;

    std::unique_ptr<File> m_file;
    bool m_dbase4;
    std::uint32_t m_blockSize;
};

} // namespace dbase
