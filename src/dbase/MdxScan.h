#pragma once

// Read-only walks over the leaves of a tag, for building row maps of whole
// tables: record numbers in tag order without a key string per entry.
#include "MdxFile.h"

#include <cstdint>
#include <functional>

namespace dbase {

// Calls `visit` with the record number of each entry of `tag` in tag order
// until it returns false. Checks the order of the keys as MdxFile::after()
// does and raises the same DatabaseError on damage. The block cache is
// trimmed leaf by leaf, so the walk keeps no more of the index in memory
// than any other navigation.
void scanTag(MdxFile& index, int tag, const std::function<bool(std::uint32_t recno)>& visit);

} // namespace dbase
