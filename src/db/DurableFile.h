#pragma once

#include "dbase/DatabaseError.h"
#include "dbase/FileSystem.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace db {

// Whether `a` and `b` name one file by identity (device and inode), whatever the
// spelling: symbolic links, "." and "..", bind mounts, a second letter case on a
// case-folding file system. False when either does not exist.
bool sameFile(const std::string& a, const std::string& b);

// Bytes that an ordinary user may still write on the file system holding
// `directory` (the root reserve is not counted). Throws dbase::IoError.
std::uint64_t availableSpace(const std::string& directory);

// A copy refused because its target is its source: copying a file onto itself
// would empty it before the first byte was read.
class SameFileError : public dbase::DatabaseError {
public:
    SameFileError(const std::string& source, const std::string& target);
};

// The file a replacement of `target` is written to first: its name with ".tmp"
// added, in the same directory, so that the final rename stays on one file system.
std::string temporaryPathFor(const std::string& target);

// Writes a new version of `target`: `write` fills the temporary file beside it,
// which is then flushed to the device, renamed over `target`, and the directory
// flushed, so that after a crash either the old or the new file is there. A
// symbolic link as `target` is followed: the file it points to is replaced.
// When anything throws (`write` included), the temporary file is removed and
// `target` is left as it was; the error goes on.
void replaceFile(const std::string& target, const std::function<void(dbase::File& out)>& write,
                 dbase::FileSystem& fs = dbase::defaultFileSystem());

struct CopyOptions {
    // Bytes of the copy that differ from the source, by offset: a header flag cleared, for instance.
    std::vector<std::pair<std::uint64_t, char>> patches;
    // Told the bytes copied so far and the source's size after each block; may throw to cancel.
    std::function<void(std::uint64_t copied, std::uint64_t total)> progress;
};

// Copies `source` over `target` the way replaceFile() replaces a file, in blocks
// of at most 1 MiB (one buffer, whatever the size), and answers the bytes copied.
// Throws SameFileError when `target` is `source` by identity, dbase::IoError when
// a read, write or flush fails (a full disk among them), and DatabaseError when
// the bytes written differ from the source's size; `target` is then unchanged.
std::uint64_t copyFile(const std::string& source, const std::string& target, const CopyOptions& options = {},
                       dbase::FileSystem& fs = dbase::defaultFileSystem());

// Flushes a file's data to the device. Throws dbase::IoError.
void syncFile(const std::string& path, dbase::FileSystem& fs = dbase::defaultFileSystem());

// Deletes `path` and flushes its directory, so that the deletion is as durable as
// the data that replaced it. A file already gone is not an error.
void removeFile(const std::string& path, dbase::FileSystem& fs = dbase::defaultFileSystem());

} // namespace db
