#include "reportengine/stream/StreamFile.h"

#include "reportengine/stream/StreamError.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

namespace reportengine::stream {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

[[noreturn]] void fileFailed(const char* action, const std::string& path, const std::string& reason)
{
    throw StreamError(std::string("Cannot ") + action + " the report file \"" + path + "\": " + reason + ".",
                      reason);
}

} // namespace

void saveStreamFile(const std::string& path, std::span<const std::uint8_t> bytes)
{
    FilePtr file(std::fopen(path.c_str(), "wb"));
    if (!file)
        fileFailed("write", path, std::strerror(errno));
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
        fileFailed("write", path, std::strerror(errno));
    // fclose flushes: its failure is a failed write too.
    if (std::fclose(file.release()) != 0)
        fileFailed("write", path, std::strerror(errno));
}

std::vector<std::uint8_t> loadStreamFile(const std::string& path)
{
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file)
        fileFailed("read", path, std::strerror(errno));
    if (std::fseek(file.get(), 0, SEEK_END) != 0)
        fileFailed("read", path, std::strerror(errno));
    const long size = std::ftell(file.get());
    if (size < 0)
        fileFailed("read", path, std::strerror(errno));
    if (size > std::numeric_limits<std::int32_t>::max())
        fileFailed("read", path, "it is larger than 2 GiB");
    std::rewind(file.get());
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
        fileFailed("read", path,
                   std::ferror(file.get()) ? std::strerror(errno) : "it changed while being read");
    return bytes;
}

} // namespace reportengine::stream
