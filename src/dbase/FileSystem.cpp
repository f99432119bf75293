#include "FileSystem.h"

#include "DatabaseError.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dbase {

IoError::IoError(const std::string& path, const std::string& action, int errorNumber)
    : DatabaseError("Cannot " + action + " " + path + ": " + std::strerror(errorNumber) + "."),
      m_errno(errorNumber)
{
}

void File::readExact(std::uint64_t offset, void* buffer, std::size_t n)
{
    if (readAt(offset, buffer, n) != n)
        throw DatabaseError("The file " + path() + " is truncated: " + std::to_string(n) +
                            " bytes at offset " + std::to_string(offset) + " are missing.");
}

namespace {

class PosixFile final : public File {
public:
    PosixFile(std::string path, int fd) : File(std::move(path)), m_fd(fd) {}
    ~PosixFile() override { ::close(m_fd); }

    std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t n) override
    {
        auto* out = static_cast<char*>(buffer);
        std::size_t done = 0;
        while (done < n) {
            ssize_t got = ::pread(m_fd, out + done, n - done, static_cast<off_t>(offset + done));
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                throw IoError(path(), "read", errno);
            }
            if (got == 0)
                break;
            done += static_cast<std::size_t>(got);
        }
        return done;
    }

    void writeAt(std::uint64_t offset, const void* buffer, std::size_t n) override
    {
        const auto* in = static_cast<const char*>(buffer);
        std::size_t done = 0;
        while (done < n) {
            ssize_t put = ::pwrite(m_fd, in + done, n - done, static_cast<off_t>(offset + done));
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                throw IoError(path(), "write", errno);
            }
            if (put == 0)
                throw IoError(path(), "write", ENOSPC);
            done += static_cast<std::size_t>(put);
        }
    }

    std::uint64_t size() override { return stat().st_size; }

    void truncate(std::uint64_t size) override
    {
        if (::ftruncate(m_fd, static_cast<off_t>(size)) != 0)
            throw IoError(path(), "truncate", errno);
    }

    void sync() override
    {
        if (::fdatasync(m_fd) != 0)
            throw IoError(path(), "flush", errno);
    }

    FileStamp stamp() override
    {
        struct stat st = stat();
        return {static_cast<std::uint64_t>(st.st_size),
                static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                static_cast<std::uint64_t>(st.st_ino)};
    }

    bool tryLock(std::uint64_t start, std::uint64_t length, LockKind kind) override
    {
        return setLock(F_OFD_SETLK, start, length, kind == LockKind::Read ? F_RDLCK : F_WRLCK);
    }

    void lock(std::uint64_t start, std::uint64_t length, LockKind kind) override
    {
        setLock(F_OFD_SETLKW, start, length, kind == LockKind::Read ? F_RDLCK : F_WRLCK);
    }

    void unlock(std::uint64_t start, std::uint64_t length) override
    {
        setLock(F_OFD_SETLK, start, length, F_UNLCK);
    }

private:
    struct stat stat()
    {
        struct stat st {};
        if (::fstat(m_fd, &st) != 0)
            throw IoError(path(), "examine", errno);
        return st;
    }

    bool setLock(int command, std::uint64_t start, std::uint64_t length, short type)
    {
        struct flock fl {};
        fl.l_type = type;
        fl.l_whence = SEEK_SET;
        fl.l_start = static_cast<off_t>(start);
        fl.l_len = static_cast<off_t>(length);
        fl.l_pid = 0; // required by open-file-description locks
        while (::fcntl(m_fd, command, &fl) != 0) {
            if (errno == EINTR)
                continue;
            if (command == F_OFD_SETLK && (errno == EAGAIN || errno == EACCES))
                return false;
            throw IoError(path(), "lock", errno);
        }
        return true;
    }

    int m_fd;
};

class PosixFileSystem final : public FileSystem {
public:
    std::unique_ptr<File> open(const std::string& path, OpenMode mode) override
    {
        int flags = O_CLOEXEC;
        switch (mode) {
        case OpenMode::ReadOnly:
            flags |= O_RDONLY;
            break;
        case OpenMode::ReadWrite:
            flags |= O_RDWR;
            break;
        case OpenMode::CreateReadWrite:
            flags |= O_RDWR | O_CREAT | O_TRUNC;
            break;
        }
        int fd;
        do {
            fd = ::open(path.c_str(), flags, 0666);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0)
            throw IoError(path, mode == OpenMode::CreateReadWrite ? "create" : "open", errno);
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd);
            throw IoError(path, "open", EISDIR);
        }
        return std::make_unique<PosixFile>(path, fd);
    }

    bool exists(const std::string& path) override
    {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    }

    void rename(const std::string& from, const std::string& to) override
    {
        if (::rename(from.c_str(), to.c_str()) != 0)
            throw IoError(to, "replace", errno);
    }

    void remove(const std::string& path) override
    {
        if (::unlink(path.c_str()) != 0 && errno != ENOENT)
            throw IoError(path, "delete", errno);
    }

    void syncDirectory(const std::string& directory) override
    {
        int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return; // some file systems refuse; the rename itself already happened
        int result = ::fsync(fd);
        int error = errno;
        ::close(fd);
        // EINVAL and EROFS say the file system cannot sync a directory at all; anything
        // else (EIO, ENOSPC) means the rename may not be on the disk, which must be told.
        if (result != 0 && error != EINVAL && error != EROFS)
            throw IoError(directory, "flush", error);
    }
};

bool equalsIgnoringCase(const std::string& a, const char* b)
{
    std::size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 32);
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

FileSystem& defaultFileSystem()
{
    static PosixFileSystem fs;
    return fs;
}

std::string directoryOf(const std::string& path)
{
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string findFileIgnoringCase(const std::string& directory, const std::string& name, FileSystem& fs)
{
    std::string exact = directory + "/" + name;
    if (fs.exists(exact))
        return exact;
    DIR* dir = ::opendir(directory.c_str());
    if (!dir)
        return {};
    std::string found;
    while (dirent* entry = ::readdir(dir)) {
        // Several spellings of one name: the first in byte order, whatever the directory's order.
        if (equalsIgnoringCase(name, entry->d_name)) {
            std::string candidate = directory + "/" + entry->d_name;
            if ((found.empty() || candidate < found) && fs.exists(candidate))
                found = candidate;
        }
    }
    ::closedir(dir);
    return found;
}

} // namespace dbase
