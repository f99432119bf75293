// Feeds arbitrary bytes as a .DBT memo file and reads its blocks in both layouts.
#include "MemoryFile.h"
#include "dbase/DatabaseError.h"
#include "dbase/MemoFile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace {

void readAll(const std::string& bytes, bool dbase4Layout)
{
    auto memo = dbase::MemoFile::open(std::make_unique<MemoryFile>(bytes, "FUZZ.DBT"), dbase4Layout);
    // Every block that could start in the file, one past it, and the largest block numbers.
    const std::uint32_t last = static_cast<std::uint32_t>(std::min<std::size_t>(bytes.size() / 64 + 1, 1024));
    const std::uint32_t extra[] = {0xFFFFFFFFu, 0x80000000u, 0x00800000u};
    auto readOne = [&](std::uint32_t block) {
        try {
            const std::string text = memo->read(block);
            if (text.size() > bytes.size())
                __builtin_trap(); // a memo can only hold bytes of the file
        } catch (const dbase::DatabaseError&) {
        }
    };
    for (std::uint32_t block = 0; block <= last; ++block)
        readOne(block);
    for (std::uint32_t block : extra)
        readOne(block);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    readAll(bytes, false);
    readAll(bytes, true);
    return 0;
}
