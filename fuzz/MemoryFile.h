#pragma once

// A dbase::File held in memory, for fuzz targets and tests: reads and writes
// go to a std::string, locks always succeed.
#include "dbase/FileSystem.h"

#include <algorithm>
#include <cstring>
#include <string>

class MemoryFile : public dbase::File {
public:
    explicit MemoryFile(std::string contents, std::string path = "memory")
        : dbase::File(std::move(path)), m_data(std::move(contents))
    {
    }

    const std::string& contents() const { return m_data; }

    std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t n) override
    {
        if (offset >= m_data.size())
            return 0;
        const std::size_t count = std::min<std::uint64_t>(n, m_data.size() - offset);
        std::memcpy(buffer, m_data.data() + offset, count);
        return count;
    }
    void writeAt(std::uint64_t offset, const void* buffer, std::size_t n) override
    {
        if (offset + n > m_data.size())
            m_data.resize(offset + n, '\0');
        std::memcpy(m_data.data() + offset, buffer, n);
        ++m_writes;
    }
    std::uint64_t size() override { return m_data.size(); }
    void truncate(std::uint64_t size) override
    {
        m_data.resize(size, '\0');
        ++m_writes;
    }
    void sync() override {}
    // The write count stands in for the modification time.
    dbase::FileStamp stamp() override { return {m_data.size(), m_writes, 1}; }
    bool tryLock(std::uint64_t, std::uint64_t, dbase::LockKind) override { return true; }
    void lock(std::uint64_t, std::uint64_t, dbase::LockKind) override {}
    void unlock(std::uint64_t, std::uint64_t) override {}

private:
    std::string m_data;
    std::int64_t m_writes = 0;
};
