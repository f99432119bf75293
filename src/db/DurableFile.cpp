#include "DurableFile.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>

namespace db {
namespace {

constexpr std::size_t kBlockSize = std::size_t(1) << 20;

// The file a path finally names, links followed; the path itself when that cannot be worked out.
std::string resolved(const std::string& path)
{
    std::error_code error;
    std::filesystem::path real = std::filesystem::weakly_canonical(path, error);
    return error ? path : real.string();
}

} // namespace

bool sameFile(const std::string& a, const std::string& b)
{
    std::error_code error;
    if (resolved(a) == resolved(b))
        return std::filesystem::exists(a, error);
    return std::filesystem::equivalent(a, b, error) && !error;
}

std::uint64_t availableSpace(const std::string& directory)
{
    std::error_code error;
    std::filesystem::space_info space = std::filesystem::space(directory, error);
    if (error)
        throw dbase::IoError(directory, "examine the free space of", error.value());
    return space.available;
}

SameFileError::SameFileError(const std::string& source, const std::string& target)
    : dbase::DatabaseError("The file " + target + " is the file " + source + " itself.")
{
}

std::string temporaryPathFor(const std::string& target)
{
    return target + ".tmp";
}

void replaceFile(const std::string& target, const std::function<void(dbase::File& out)>& write,
                 dbase::FileSystem& fs)
{
    const std::string real = resolved(target);
    const std::string temporary = temporaryPathFor(real);
    try {
        {
            std::unique_ptr<dbase::File> out = fs.open(temporary, dbase::OpenMode::CreateReadWrite);
            write(*out);
            out->sync();
        }
        fs.rename(temporary, real);
    } catch (...) {
        try {
            fs.remove(temporary);
        } catch (const dbase::DatabaseError&) {
            // The failure that brought us here is the one to report.
        }
        throw;
    }
    fs.syncDirectory(dbase::directoryOf(real));
}

std::uint64_t copyFile(const std::string& source, const std::string& target, const CopyOptions& options,
                       dbase::FileSystem& fs)
{
    if (sameFile(source, target) || sameFile(source, temporaryPathFor(resolved(target))))
        throw SameFileError(source, target);
    std::unique_ptr<dbase::File> in = fs.open(source, dbase::OpenMode::ReadOnly);
    const std::uint64_t total = in->size();
    std::uint64_t copied = 0;
    replaceFile(
        target,
        [&](dbase::File& out) {
            // A small file needs no more than its size; one more byte finds its end.
            const auto block = static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, total + 1));
            std::unique_ptr<char[]> buffer(new char[block]);
            while (std::size_t got = in->readAt(copied, buffer.get(), block)) {
                for (const auto& [offset, value] : options.patches)
                    if (offset >= copied && offset < copied + got)
                        buffer[offset - copied] = value;
                out.writeAt(copied, buffer.get(), got);
                copied += got;
                if (options.progress)
                    options.progress(copied, total);
            }
            // Reads end at the end of the file, wherever that now is: a source that
            // changed under the copy, or a target that lost bytes, is no copy.
            if (copied != total || out.size() != total)
                throw dbase::DatabaseError("The copy of " + source + " has " + std::to_string(out.size()) +
                                           " bytes where the file had " + std::to_string(total) + ".");
        },
        fs);
    return copied;
}

void syncFile(const std::string& path, dbase::FileSystem& fs)
{
    fs.open(path, dbase::OpenMode::ReadOnly)->sync();
}

void removeFile(const std::string& path, dbase::FileSystem& fs)
{
    fs.remove(path);
    fs.syncDirectory(dbase::directoryOf(path));
}

} // namespace db
