#pragma once

// The real file system, except that writes fail once a budget of bytes is
// spent: the write that crosses it stores part of its bytes and then fails.
#include "dbase/DatabaseError.h"
#include "dbase/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <memory>

class FaultyFileSystem : public dbase::ForwardingFileSystem {
public:
    // Bytes that may still be written; negative = unlimited.
    std::int64_t budget = -1;
    int errorNumber = ENOSPC;

    std::unique_ptr<dbase::File> open(const std::string& path, dbase::OpenMode mode) override
    {
        return std::make_unique<FaultyFile>(*this, dbase::defaultFileSystem().open(path, mode));
    }
    void rename(const std::string& from, const std::string& to) override
    {
        spend(1, to);
        dbase::defaultFileSystem().rename(from, to);
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
    class FaultyFile : public dbase::ForwardingFile {
    public:
        FaultyFile(FaultyFileSystem& fs, std::unique_ptr<dbase::File> inner)
            : ForwardingFile(std::move(inner)), m_fs(fs)
        {
        }
        void writeAt(std::uint64_t o, const void* b, std::size_t n) override
        {
            std::size_t allowed = m_fs.spend(n, path());
            inner().writeAt(o, b, allowed);
            if (allowed < n)
                throw dbase::IoError(path(), "write", m_fs.errorNumber);
        }

    private:
        FaultyFileSystem& m_fs;
    };
};

// A disk with `room` bytes free: a write that would grow the files past it
// stores what fits and fails (ENOSPC), while overwriting bytes costs nothing
// and cutting or removing a file gives its bytes back, as on a real disk.
class FullDisk : public dbase::ForwardingFileSystem {
public:
    explicit FullDisk(std::int64_t free) : room(free) {}
    std::int64_t room;

    std::unique_ptr<dbase::File> open(const std::string& path, dbase::OpenMode mode) override
    {
        return std::make_unique<DiskFile>(*this, dbase::defaultFileSystem().open(path, mode));
    }
    void rename(const std::string& from, const std::string& to) override
    {
        if (exists(to))
            remove(to);
        dbase::defaultFileSystem().rename(from, to);
    }
    void remove(const std::string& path) override
    {
        room += static_cast<std::int64_t>(
            dbase::defaultFileSystem().open(path, dbase::OpenMode::ReadOnly)->size());
        dbase::defaultFileSystem().remove(path);
    }

private:
    class DiskFile : public dbase::ForwardingFile {
    public:
        DiskFile(FullDisk& disk, std::unique_ptr<dbase::File> inner)
            : ForwardingFile(std::move(inner)), m_disk(disk)
        {
        }
        void writeAt(std::uint64_t o, const void* b, std::size_t n) override
        {
            const std::uint64_t size = inner().size();
            const std::uint64_t fits =
                size + static_cast<std::uint64_t>(std::max<std::int64_t>(m_disk.room, 0));
            const std::size_t allowed =
                static_cast<std::size_t>(std::min<std::uint64_t>(n, fits > o ? fits - o : 0));
            if (allowed > 0)
                inner().writeAt(o, b, allowed);
            m_disk.room -= static_cast<std::int64_t>(std::max(size, o + allowed) - size);
            if (allowed < n)
                throw dbase::IoError(path(), "write", ENOSPC);
        }
        void truncate(std::uint64_t s) override
        {
            const std::uint64_t size = inner().size();
            inner().truncate(s);
            m_disk.room += static_cast<std::int64_t>(size) - static_cast<std::int64_t>(s);
        }

    private:
        FullDisk& m_disk;
    };
};

#include <dirent.h>
#include <fstream>
#include <iterator>
#include <map>
#include <sys/stat.h>

// The real file system in one directory, with the power going off at a chosen
// operation, as LevelDB's fault-injection tests do it. It remembers each
// file's contents as of its last sync and the directory's names as of its
// last directory sync; from the cut on every call fails, and restore() leaves
// on the disk what a machine that lost power would find: every write since a
// file's last sync gone, and every creation, rename or removal since the
// directory's last sync undone. With keepUnsynced the cut is a killed process
// instead: the page cache survives and restore() changes nothing.
class PowerLossFileSystem : public dbase::FileSystem {
public:
    // The operation (write, truncation, sync, creation, rename, removal,
    // directory sync; counted from 0) at which the power fails; -1 never.
    long cutAt = -1;
    long operations = 0;
    bool keepUnsynced = false;

    // Takes the files now in `directory` as being on the disk.
    explicit PowerLossFileSystem(std::string directory) : m_directory(std::move(directory))
    {
        if (DIR* dir = ::opendir(m_directory.c_str())) {
            while (dirent* entry = ::readdir(dir)) {
                const std::string path = m_directory + "/" + entry->d_name;
                if (dbase::defaultFileSystem().exists(path))
                    m_live[path] = std::make_shared<Node>(Node{readFile(path)});
            }
            ::closedir(dir);
        }
        m_durable = m_live;
    }

    bool dead() const { return cutAt >= 0 && operations > cutAt; }

    // Puts the directory back as the power cut left it. Call it once every
    // file opened through this object is closed.
    void restore()
    {
        if (keepUnsynced)
            return;
        for (const auto& [path, node] : m_live)
            dbase::defaultFileSystem().remove(path);
        for (const auto& [path, node] : m_durable)
            std::ofstream(path, std::ios::binary | std::ios::trunc) << node->synced;
    }

    std::unique_ptr<dbase::File> open(const std::string& path, dbase::OpenMode mode) override
    {
        if (mode == dbase::OpenMode::CreateReadWrite)
            step(path);
        else if (dead())
            throw dbase::IoError(path, "open", EIO);
        auto inner = dbase::defaultFileSystem().open(path, mode);
        auto& node = m_live[path];
        if (!node)
            node = std::make_shared<Node>(); // new: nothing of it on the disk yet
        return std::make_unique<File>(*this, std::move(inner), node);
    }
    bool exists(const std::string& path) override { return dbase::defaultFileSystem().exists(path); }
    void rename(const std::string& from, const std::string& to) override
    {
        step(to);
        dbase::defaultFileSystem().rename(from, to);
        m_live[to] = m_live[from];
        m_live.erase(from);
    }
    void remove(const std::string& path) override
    {
        step(path);
        dbase::defaultFileSystem().remove(path);
        m_live.erase(path);
    }
    void syncDirectory(const std::string& directory) override
    {
        step(directory);
        dbase::defaultFileSystem().syncDirectory(directory);
        if (directory == m_directory)
            m_durable = m_live;
    }

private:
    struct Node {
        std::string synced; // the contents as of the last sync
    };

    static std::string readFile(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    void step(const std::string& path)
    {
        if (cutAt >= 0 && operations++ >= cutAt)
            throw dbase::IoError(path, "write", EIO);
        if (cutAt < 0)
            ++operations;
    }

    class File : public dbase::ForwardingFile {
    public:
        File(PowerLossFileSystem& fs, std::unique_ptr<dbase::File> inner, std::shared_ptr<Node> node)
            : ForwardingFile(std::move(inner)), m_fs(fs), m_node(std::move(node))
        {
        }
        std::size_t readAt(std::uint64_t o, void* b, std::size_t n) override
        {
            if (m_fs.dead())
                throw dbase::IoError(path(), "read", EIO);
            return ForwardingFile::readAt(o, b, n);
        }
        void writeAt(std::uint64_t o, const void* b, std::size_t n) override
        {
            m_fs.step(path());
            ForwardingFile::writeAt(o, b, n);
        }
        void truncate(std::uint64_t s) override
        {
            m_fs.step(path());
            ForwardingFile::truncate(s);
        }
        void sync() override
        {
            m_fs.step(path());
            ForwardingFile::sync();
            m_node->synced.resize(inner().size());
            inner().readAt(0, m_node->synced.data(), m_node->synced.size());
        }

    private:
        PowerLossFileSystem& m_fs;
        std::shared_ptr<Node> m_node;
    };

    std::string m_directory;
    std::map<std::string, std::shared_ptr<Node>> m_live;    // the names as the directory has them now
    std::map<std::string, std::shared_ptr<Node>> m_durable; // as of its last sync
};
