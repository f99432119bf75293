#pragma once

// A dbase::File over bytes in memory. Copies made with reopen() share the
// bytes, so a test can write through one and read through another, or keep
// a snapshot with bytes(). Writes can be made to fail part-way like a full disk.
// In namespace testing: fuzz/MemoryFile.h has a simpler ::MemoryFile.
#include "dbase/DatabaseError.h"
#include "dbase/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

namespace testing {

class MemoryFile : public dbase::File {
public:
    struct Shared {
        std::string bytes;
        std::int64_t budget = -1; // bytes that may still be written; negative: no limit
        std::uint64_t writes = 0; // writeAt calls that stored something
        std::uint64_t written = 0;
        std::int64_t changes = 0;
        std::int64_t reads = -1; // reads that may still be made; negative: no limit
    };

    explicit MemoryFile(std::string path = "/memory/TEST.MDX", std::string bytes = {})
        : dbase::File(std::move(path)), m_shared(std::make_shared<Shared>())
    {
        m_shared->bytes = std::move(bytes);
    }

    std::unique_ptr<MemoryFile> reopen() const
    {
        return std::unique_ptr<MemoryFile>(new MemoryFile(path(), m_shared));
    }
    std::string& bytes() { return m_shared->bytes; }
    Shared& shared() { return *m_shared; }
    // The next writes store `bytes` more bytes, then fail with ENOSPC (the
    // write crossing the limit stores its first part). Negative: no limit.
    void failWritesAfter(std::int64_t bytes) { m_shared->budget = bytes; }

    std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t n) override
    {
        if (m_shared->reads == 0)
            throw dbase::IoError(path(), "read", EIO);
        if (m_shared->reads > 0)
            --m_shared->reads;
        const std::string& data = m_shared->bytes;
        if (offset >= data.size())
            return 0;
        const std::size_t count = std::min<std::uint64_t>(n, data.size() - offset);
        std::memcpy(buffer, data.data() + offset, count);
        return count;
    }

    void writeAt(std::uint64_t offset, const void* buffer, std::size_t n) override
    {
        std::size_t allowed = n;
        if (m_shared->budget >= 0)
            allowed = std::min<std::size_t>(n, std::size_t(m_shared->budget));
        if (allowed > 0) {
            std::string& data = m_shared->bytes;
            if (data.size() < offset + allowed)
                data.resize(offset + allowed, '\0');
            std::memcpy(data.data() + offset, buffer, allowed);
            ++m_shared->writes;
            m_shared->written += allowed;
            ++m_shared->changes;
            if (m_shared->budget >= 0)
                m_shared->budget -= std::int64_t(allowed);
        }
        if (allowed < n)
            throw dbase::IoError(path(), "write", ENOSPC);
    }

    std::uint64_t size() override { return m_shared->bytes.size(); }
    void truncate(std::uint64_t size) override
    {
        m_shared->bytes.resize(size, '\0');
        ++m_shared->changes;
    }
    void sync() override {}
    dbase::FileStamp stamp() override { return {m_shared->bytes.size(), m_shared->changes, 1}; }
    bool tryLock(std::uint64_t, std::uint64_t, dbase::LockKind) override { return true; }
    void lock(std::uint64_t, std::uint64_t, dbase::LockKind) override {}
    void unlock(std::uint64_t, std::uint64_t) override {}

private:
    MemoryFile(std::string path, std::shared_ptr<Shared> shared)
        : dbase::File(std::move(path)), m_shared(std::move(shared))
    {
    }
    std::shared_ptr<Shared> m_shared;
};

} // namespace testing
