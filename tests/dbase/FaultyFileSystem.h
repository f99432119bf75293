#pragma once

// The real file system, except that writes fail once a budget of bytes is
// spent: the write that crosses it stores part of its bytes and then fails.
#include "dbase/DatabaseError.h"
#include "dbase/FileSystem.h"

#include <cerrno>
#include <cstdint>
#include <limits>
#include <memory>

class FaultyFileSystem : public dbase::FileSystem {
public:
    // Bytes that may still be written; negative = unlimited.
    std::int64_t budget = -1;
    int errorNumber = ENOSPC;

    std::unique_ptr<dbase::File> open(const std::string& path, dbase::OpenMode mode) override
    {
        return std::make_unique<FaultyFile>(*this, dbase::defaultFileSystem().open(path, mode));
    }
    bool exists(const std::string& path) override { return dbase::defaultFileSystem().exists(path); }
    void rename(const std::string& from, const std::string& to) override
    {
        spend(1, to);
        dbase::defaultFileSystem().rename(from, to);
    }
    void remove(const std::string& path) override { dbase::defaultFileSystem().remove(path); }
    void syncDirectory(const std::string& directory) override
    {
        dbase::defaultFileSystem().syncDirectory(directory);
    }

    // Returns how many of n bytes may be written, throwing when none may.
    std::size_t spend(std::size_t n, const std::string& path)
    {
        if (budget < 0)
            return n;
        if (budget == 0)
            throw dbase::IoError(path, "write", errorNumber);
        std::size_t allowed = std::min<std::size_t>(n, static_cast<std::size_t>(budget));
        budget -= static_cast<std::int64_t>(allowed);
        return allowed;
    }

private:
    class FaultyFile : public dbase::File {
    public:
        FaultyFile(FaultyFileSystem& fs, std::unique_ptr<dbase::File> inner)
            : dbase::File(inner->path()), m_fs(fs), m_inner(std::move(inner))
        {
        }
        std::size_t readAt(std::uint64_t o, void* b, std::size_t n) override
        {
            return m_inner->readAt(o, b, n);
        }
        void writeAt(std::uint64_t o, const void* b, std::size_t n) override
        {
            std::size_t allowed = m_fs.spend(n, path());
            m_inner->writeAt(o, b, allowed);
            if (allowed < n)
                throw dbase::IoError(path(), "write", m_fs.errorNumber);
        }
        std::uint64_t size() override { return m_inner->size(); }
        void truncate(std::uint64_t s) override { m_inner->truncate(s); }
        void sync() override { m_inner->sync(); }
        dbase::FileStamp stamp() override { return m_inner->stamp(); }
        bool tryLock(std::uint64_t s, std::uint64_t l, dbase::LockKind k) override
        {
            return m_inner->tryLock(s, l, k);
        }
        void lock(std::uint64_t s, std::uint64_t l, dbase::LockKind k) override { m_inner->lock(s, l, k); }
        void unlock(std::uint64_t s, std::uint64_t l) override { m_inner->unlock(s, l); }

    private:
        FaultyFileSystem& m_fs;
        std::unique_ptr<dbase::File> m_inner;
    };
};
