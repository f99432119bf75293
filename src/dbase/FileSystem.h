#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace dbase {

enum class LockKind { Read, Write };

// Identity of a file's contents as the kernel sees them: changes whenever the
// file is written or replaced.
struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileStamp&) const = default;
};

// One open file. All engine I/O goes through this interface so that tests can
// substitute files that fail part-way. Every call throws IoError on failure.
class File {
public:
    virtual ~File() = default;
    const std::string& path() const { return m_path; }

    // Reads up to n bytes at offset; returns the number read (fewer only at end of file).
    virtual std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t n) = 0;
    // Writes all n bytes at offset or throws.
    virtual void writeAt(std::uint64_t offset, const void* buffer, std::size_t n) = 0;
    virtual std::uint64_t size() = 0;
    virtual void truncate(std::uint64_t size) = 0;
    virtual void sync() = 0;
    virtual FileStamp stamp() = 0;

    // Byte-range locks owned by this open (open-file-description locks): they
    // conflict with other opens of the same file in this process too.
    virtual bool tryLock(std::uint64_t start, std::uint64_t length, LockKind kind) = 0;
    virtual void lock(std::uint64_t start, std::uint64_t length, LockKind kind) = 0; // waits
    virtual void unlock(std::uint64_t start, std::uint64_t length) = 0;

    // Reads exactly n bytes or throws a DatabaseError saying the file is truncated.
    void readExact(std::uint64_t offset, void* buffer, std::size_t n);

protected:
    explicit File(std::string path) : m_path(std::move(path)) {}

private:
    std::string m_path;
};

// A file that hands every call to another; stand-ins for tests override the
// calls they change.
class ForwardingFile : public File {
public:
    explicit ForwardingFile(std::unique_ptr<File> inner) : File(inner->path()), m_inner(std::move(inner)) {}
    std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t n) override
    {
        return m_inner->readAt(offset, buffer, n);
    }
    void writeAt(std::uint64_t offset, const void* buffer, std::size_t n) override
    {
        m_inner->writeAt(offset, buffer, n);
    }
    std::uint64_t size() override { return m_inner->size(); }
    void truncate(std::uint64_t size) override { m_inner->truncate(size); }
    void sync() override { m_inner->sync(); }
    FileStamp stamp() override { return m_inner->stamp(); }
    bool tryLock(std::uint64_t start, std::uint64_t length, LockKind kind) override
    {
        return m_inner->tryLock(start, length, kind);
    }
    void lock(std::uint64_t start, std::uint64_t length, LockKind kind) override
    {
        m_inner->lock(start, length, kind);
    }
    void unlock(std::uint64_t start, std::uint64_t length) override { m_inner->unlock(start, length); }

protected:
    File& inner() { return *m_inner; }

private:
    std::unique_ptr<File> m_inner;
};

enum class OpenMode {
    ReadOnly,
    ReadWrite,
    CreateReadWrite, // creates or truncates
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual std::unique_ptr<File> open(const std::string& path, OpenMode mode) = 0;
    virtual bool exists(const std::string& path) = 0;
    virtual void rename(const std::string& from, const std::string& to) = 0;
    virtual void remove(const std::string& path) = 0;
    // Flushes a directory so that a rename in it survives a crash.
    virtual void syncDirectory(const std::string& directory) = 0;
};

// The real file system (POSIX calls, open-file-description locks). Lives for the whole process.
FileSystem& defaultFileSystem();

// A file system that hands every call to the real one; stand-ins for tests and
// benchmarks override the calls they change.
class ForwardingFileSystem : public FileSystem {
public:
    std::unique_ptr<File> open(const std::string& path, OpenMode mode) override
    {
        return defaultFileSystem().open(path, mode);
    }
    bool exists(const std::string& path) override { return defaultFileSystem().exists(path); }
    void rename(const std::string& from, const std::string& to) override
    {
        defaultFileSystem().rename(from, to);
    }
    void remove(const std::string& path) override { defaultFileSystem().remove(path); }
    void syncDirectory(const std::string& directory) override
    {
        defaultFileSystem().syncDirectory(directory);
    }
};

// The directory part of a path (everything before the last '/'), "." when there is none.
std::string directoryOf(const std::string& path);

// The file in `directory` whose name equals `name` ignoring ASCII case; an exact match wins,
// else the first in byte order.
// Returns the full path, or an empty string when there is none. Files are
// checked through `fs`, so a table on another file system finds its own.
std::string findFileIgnoringCase(const std::string& directory, const std::string& name,
                                 FileSystem& fs = defaultFileSystem());

} // namespace dbase
