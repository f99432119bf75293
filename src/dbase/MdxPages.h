#pragma once

// Private to the .MDX sources: the blocks of an index file, cached, and
// the header with the free list.

#include "MdxFormat.h"

#include <array>
#include <cstdint>
#include <memory>
#include <unordered_set>
#include <vector>

namespace dbase {

class File;

namespace mdx {

// A bounded cache of the 1024-byte blocks of one file plus its 2048-byte
// header. Changes stay in memory until flush(). Pointers handed out stay
// valid until the next trim() or dropAll(); nothing else evicts.
class MdxPages {
public:
    // 16 MB, measured at a million books (a 129 MB index): appending one key
    // at a time cost 11.9 s of processor time with 16 MB of blocks, 11.7 with
    // 32, 11.0 with 64 and 8.8 with the whole index cached (leaves are missed
    // either way, the upper levels fit in any); with the keys going in as
    // sorted sweeps (MdxFile::insertLater) 8 and 16 MB read the same blocks.
    explicit MdxPages(File& file, std::size_t maxBlocks = 16384);

    const std::string& path() const;

    // Reads the header and the file size; throws when the file is shorter than a header.
    void loadHeader();
    // Starts an empty file: zeroed header, nothing on disk counted.
    void resetHeader();
    const std::uint8_t* header() const { return m_header.data(); }
    // The header bytes [offset, offset + length) for changing; they are written on flush().
    std::uint8_t* editHeader(int offset, int length);

    // First page after the last block in use (counting blocks not yet written).
    std::uint32_t endPage() const { return m_endPage; }
    // Whether a block may start at `page`: after the header and inside the file.
    bool isBlockPage(std::uint32_t page) const
    {
        return page >= kHeaderPages && page <= m_endPage && m_endPage - page >= kPagesPerBlock;
    }

    // The block at `page` (a block page); nullptr when the file ends before it does.
    const std::uint8_t* read(std::uint32_t page);
    std::uint8_t* edit(std::uint32_t page);
    // The block at `page` zero-filled, without reading it.
    std::uint8_t* fresh(std::uint32_t page);

    // A zero-filled block taken from the free list, else from the end of the file.
    std::uint32_t allocate();
    // Puts the block on the free list: its word at 4 links to the next free block.
    void release(std::uint32_t page);

    // Blocks written after all others in flush() (tag headers), so that a
    // failed flush leaves them describing complete trees more often.
    void setLatePages(std::vector<std::uint32_t> pages);
    // Writes the changed blocks, those past the end of the file first, then the header.
    void flush();
    // Keeps the cache within its bound; may flush when too much is unwritten.
    void trim();
    // Forgets every cached block and change.
    void dropAll();
    // Writes to the file so far, flushes of trim() included.
    std::uint64_t writes() const { return m_writes; }

private:
    // The bookkeeping shares the first cache line with the block's key count.
    struct alignas(64) Block {
        std::uint64_t used = 0;
        std::uint32_t page = 0;
        bool dirty = false;
        alignas(16) std::array<std::uint8_t, kBlockSize> data;
    };
    Block* find(std::uint32_t page);
    Block* cached(std::uint32_t page) const { return page < m_byPage.size() ? m_byPage[page] : nullptr; }
    Block* load(std::uint32_t page);
    Block* adopt(std::uint32_t page, std::unique_ptr<Block> block);
    std::unique_ptr<Block> spareBlock();
    void markDirty(Block& block);
    std::uint32_t takeFree();
    void freeListEnded();
    void stampHeader();
    void writeBlocks(std::vector<std::uint32_t>& pages);
    void writeHeader();
    void evictClean(std::size_t target);

    File& m_file;
    std::size_t m_maxBlocks;
    // The cached blocks in no order, and the same by page for the lookups
    // on every step down a tree: an index into a table of pointers is far
    // cheaper than a hash lookup, and the table costs 8 bytes per 512 of
    // index file (1 MB for a million-book tag).
    std::vector<std::unique_ptr<Block>> m_blocks;
    std::vector<Block*> m_byPage;
    // Evicted blocks kept for the next misses, sparing an allocation per block read.
    std::vector<std::unique_ptr<Block>> m_spare;
    std::array<std::uint8_t, kHeaderBytes> m_header{};
    unsigned m_headerDirty = 0;         // bit per header page
    std::vector<std::uint32_t> m_dirty; // pages of the dirty blocks
    std::uint64_t m_clock = 0;
    std::uint64_t m_writes = 0;
    std::uint32_t m_endPage = kHeaderPages;
    std::uint32_t m_diskPages = 0; // pages the file holds on disk
    std::vector<std::uint32_t> m_latePages;
    bool m_freeListChecked = true;                 // every block on the free list was put there by us
    std::unordered_set<std::uint32_t> m_takenFree; // taken from a list read from the file, until it ends
};

} // namespace mdx
} // namespace dbase
