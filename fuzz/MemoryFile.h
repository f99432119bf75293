#pragma once

// A dbase::File held in memory, for fuzz targets and tests: reads and writes
// go to a std::string, locks always succeed. MemoryFileSystem keeps such files
// by path; every open of one path shares its bytes, as opens of a disk file do.
#include "dbase/DatabaseError.h"
#include "dbase/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <string>

class MemoryFile : public dbase::File {
public:
    struct Bytes {
        std::string data;
        std::int64_t writes = 0; // stands in for the modification time
    };

    explicit MemoryFile(std::string contents, std::string path = "memory")
        : dbase::File(std::move(path)), m_bytes(std::make_shared<Bytes>())
    {
        m_bytes->data = std::move(contents);
    }
    MemoryFile(std::shared_ptr<Bytes> bytes, std::string path) : dbase::File(std::move(path)), m_bytes(bytes)
    {
    }

    const std::string& contents() const { return m_bytes->data; }

    std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t n) override
    {
        const std::string& data = m_bytes->data;
        if (offset >= data.size())
            return 0;
        const std::size_t count = std::min<std::uint64_t>(n, data.size() - offset);
        std::memcpy(buffer, data.data() + offset, count);
        return count;
    }
    void writeAt(std::uint64_t offset, const void* buffer, std::size_t n) override
    {
        std::string& data = m_bytes->data;
        if (offset + n > data.size())
            data.resize(offset + n, '\0');
        std::memcpy(data.data() + offset, buffer, n);
        ++m_bytes->writes;
    }
    std::uint64_t size() override { return m_bytes->data.size(); }
    void truncate(std::uint64_t size) override
    {
        m_bytes->data.resize(size, '\0');
        ++m_bytes->writes;
    }
    void sync() override {}
    dbase::FileStamp stamp() override { return {m_bytes->data.size(), m_bytes->writes, 1}; }
    bool tryLock(std::uint64_t, std::uint64_t, dbase::LockKind) override { return true; }
    void lock(std::uint64_t, std::uint64_t, dbase::LockKind) override {}
    void unlock(std::uint64_t, std::uint64_t) override {}

private:
    std::shared_ptr<Bytes> m_bytes;
};

class MemoryFileSystem : public dbase::FileSystem {
public:
    void put(const std::string& path, std::string bytes)
    {
        m_files[path] = std::make_shared<MemoryFile::Bytes>();
        m_files[path]->data = std::move(bytes);
    }
    // The bytes at `path`; empty when there is no such file.
    std::string bytes(const std::string& path) const
    {
        auto it = m_files.find(path);
        return it == m_files.end() ? std::string() : it->second->data;
    }

    std::unique_ptr<dbase::File> open(const std::string& path, dbase::OpenMode mode) override
    {
        auto it = m_files.find(path);
        if (mode == dbase::OpenMode::CreateReadWrite) {
            if (it == m_files.end())
                it = m_files.emplace(path, std::make_shared<MemoryFile::Bytes>()).first;
            it->second->data.clear();
            ++it->second->writes;
        } else if (it == m_files.end()) {
            throw dbase::IoError(path, "open", ENOENT);
        }
        return std::make_unique<MemoryFile>(it->second, path);
    }
    bool exists(const std::string& path) override { return m_files.count(path) != 0; }
    void rename(const std::string& from, const std::string& to) override
    {
        auto it = m_files.find(from);
        if (it == m_files.end())
            throw dbase::IoError(to, "replace", ENOENT);
        auto bytes = it->second;
        m_files.erase(it);
        m_files[to] = std::move(bytes);
    }
    void remove(const std::string& path) override { m_files.erase(path); }
    void syncDirectory(const std::string&) override {}

private:
    std::map<std::string, std::shared_ptr<MemoryFile::Bytes>> m_files;
};
