#include "MdxPages.h"

#include "DatabaseError.h"
#include "FileSystem.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <tuple>
#include <unordered_set>

namespace dbase::mdx {

void throwDamaged(const std::string& path, const std::string& what)
{
    throw DatabaseError("The index file " + path + " is damaged: " + what + ".");
}

void todayBytes(std::uint8_t* out)
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    out[0] = std::uint8_t(local.tm_year % 100);
    out[1] = std::uint8_t(local.tm_mon + 1);
    out[2] = std::uint8_t(local.tm_mday);
}

MdxPages::MdxPages(File& file, std::size_t maxBlocks)
    : m_file(file), m_maxBlocks(std::max<std::size_t>(maxBlocks, 64))
{
}

const std::string& MdxPages::path() const
{
    return m_file.path();
}

void MdxPages::loadHeader()
{
    dropAll();
    const std::uint64_t size = m_file.size();
    if (size < kHeaderBytes)
        throwDamaged(path(), "it is " + decimal(size) + " bytes long, too short for the header of an index");
    if (m_file.readAt(0, m_header.data(), kHeaderBytes) != kHeaderBytes)
        throwDamaged(path(), "its header could not be read in full");
    // The file's real length rules: the header's count of pages may be stale or damaged.
    const std::uint64_t pages = (size + kPageSize - 1) / kPageSize;
    m_diskPages = std::uint32_t(std::min<std::uint64_t>(pages, 0xFFFF0000u));
    m_endPage = std::max(m_diskPages, kHeaderPages);
    m_freeListChecked = get32(m_header.data() + file::freeHead) == 0;
    m_takenFree.clear();
}

void MdxPages::resetHeader()
{
    dropAll();
    m_header.fill(0);
    m_headerDirty = 0xF;
    m_diskPages = 0;
    m_endPage = kHeaderPages;
    freeListEnded();
}

std::uint8_t* MdxPages::editHeader(int offset, int length)
{
    for (int page = offset / int(kPageSize); page <= (offset + length - 1) / int(kPageSize); ++page)
        m_headerDirty |= 1u << page;
    return m_header.data() + offset;
}

MdxPages::Block* MdxPages::find(std::uint32_t page)
{
    Block* block = cached(page);
    if (block)
        block->used = ++m_clock;
    return block;
}

std::unique_ptr<MdxPages::Block> MdxPages::spareBlock()
{
    if (m_spare.empty())
        return std::make_unique<Block>();
    std::unique_ptr<Block> block = std::move(m_spare.back());
    m_spare.pop_back();
    return block;
}

MdxPages::Block* MdxPages::adopt(std::uint32_t page, std::unique_ptr<Block> block)
{
    if (page >= m_byPage.size())
        m_byPage.resize(std::max<std::size_t>(std::size_t(page) + 1, m_endPage), nullptr);
    block->used = ++m_clock;
    block->page = page;
    block->dirty = false;
    Block* raw = block.get();
    m_byPage[page] = raw;
    m_blocks.push_back(std::move(block));
    return raw;
}

// The block at `page`, read from the file when not cached; nullptr when the file ends first.
MdxPages::Block* MdxPages::load(std::uint32_t page)
{
    if (Block* block = find(page))
        return block;
    std::unique_ptr<Block> block = spareBlock();
    if (m_file.readAt(std::uint64_t(page) * kPageSize, block->data.data(), kBlockSize) != kBlockSize) {
        m_spare.push_back(std::move(block));
        return nullptr;
    }
    return adopt(page, std::move(block));
}

const std::uint8_t* MdxPages::read(std::uint32_t page)
{
    Block* block = load(page);
    return block ? block->data.data() : nullptr;
}

std::uint8_t* MdxPages::edit(std::uint32_t page)
{
    Block* block = load(page);
    if (!block)
        return nullptr;
    markDirty(*block);
    return block->data.data();
}

std::uint8_t* MdxPages::fresh(std::uint32_t page)
{
    Block* block = find(page);
    if (!block)
        block = adopt(page, spareBlock());
    block->data.fill(0);
    markDirty(*block);
    return block->data.data();
}

void MdxPages::markDirty(Block& block)
{
    if (!block.dirty) {
        block.dirty = true;
        m_dirty.push_back(block.page);
    }
}

// A free list read from the file is checked as it is used, not walked
// whole at the first allocation (tens of thousands of reads on a large
// index): a block that comes round again (a loop), lies outside the file,
// or a list whose end disagrees with its count, drops what is left of it.
// Dropping loses blocks for reuse but never hands out one still in use.
std::uint32_t MdxPages::takeFree()
{
    const std::uint32_t page = get32(m_header.data() + file::freeHead);
    if (page == 0)
        return 0;
    const std::uint32_t count = get32(m_header.data() + file::freeCount);
    const bool fresh = m_freeListChecked || m_takenFree.insert(page).second;
    const std::uint8_t* block = count > 0 && fresh && isBlockPage(page) ? read(page) : nullptr;
    const std::uint32_t next = block ? get32(block + kFreeLink) : 0;
    if (!block || (!m_freeListChecked && (next == 0) != (count == 1))) {
        put32(editHeader(file::freeHead, 4), 0);
        put32(editHeader(file::freeCount, 4), 0);
        freeListEnded();
        return 0;
    }
    put32(editHeader(file::freeHead, 4), next);
    put32(editHeader(file::freeCount, 4), count - 1);
    if (next == 0)
        freeListEnded();
    return page;
}

// Every block on the list from now on was put there by this open.
void MdxPages::freeListEnded()
{
    m_freeListChecked = true;
    std::unordered_set<std::uint32_t>().swap(m_takenFree);
}

std::uint32_t MdxPages::allocate()
{
    std::uint32_t page = takeFree();
    if (page != 0) {
        fresh(page);
        return page;
    }
    if (m_endPage > 0xFFFFFFFFu - 2 * kPagesPerBlock)
        throw DatabaseError("The index file " + path() + " has reached the largest size an index can have.");
    page = m_endPage;
    m_endPage += kPagesPerBlock;
    fresh(page);
    return page;
}

void MdxPages::release(std::uint32_t page)
{
    m_takenFree.erase(page);
    std::uint8_t* block = fresh(page);
    put32(block + kFreeLink, get32(m_header.data() + file::freeHead));
    put32(editHeader(file::freeHead, 4), page);
    put32(editHeader(file::freeCount, 4), get32(m_header.data() + file::freeCount) + 1);
}

void MdxPages::setLatePages(std::vector<std::uint32_t> pages)
{
    std::sort(pages.begin(), pages.end());
    m_latePages = std::move(pages);
}

void MdxPages::stampHeader()
{
    if (get32(m_header.data() + file::nextPage) != m_endPage)
        put32(editHeader(file::nextPage, 4), m_endPage);
    std::uint8_t today[3];
    todayBytes(today);
    if (std::memcmp(m_header.data() + file::updated, today, 3) != 0)
        std::memcpy(editHeader(file::updated, 3), today, 3);
}

void MdxPages::flush()
{
    if (m_dirty.empty() && m_headerDirty == 0)
        return;
    stampHeader();
    std::vector<std::uint32_t> pages = std::move(m_dirty);
    m_dirty.clear();
    // Blocks past the end of the file first: a disk that fills up then fails
    // before any block the last flushed state uses has changed.
    auto order = [this](std::uint32_t page) {
        const bool late = std::binary_search(m_latePages.begin(), m_latePages.end(), page);
        return std::make_tuple(page < m_diskPages, late, page);
    };
    std::sort(pages.begin(), pages.end(),
              [&](std::uint32_t a, std::uint32_t b) { return order(a) < order(b); });
    try {
        writeBlocks(pages);
    } catch (...) {
        for (std::uint32_t page : pages)
            if (cached(page)->dirty)
                m_dirty.push_back(page);
        throw;
    }
    writeHeader();
}

void MdxPages::writeBlocks(std::vector<std::uint32_t>& pages)
{
    constexpr std::size_t kMaxRun = 64;
    std::vector<std::uint8_t> buffer;
    for (std::size_t i = 0; i < pages.size();) {
        std::size_t run = 1;
        while (run < kMaxRun && i + run < pages.size() &&
               pages[i + run] == pages[i + run - 1] + kPagesPerBlock &&
               (pages[i + run] < m_diskPages) == (pages[i] < m_diskPages))
            ++run;
        const std::uint64_t offset = std::uint64_t(pages[i]) * kPageSize;
        ++m_writes; // counted before the write: one that fails may have stored part of it
        if (run == 1) {
            m_file.writeAt(offset, cached(pages[i])->data.data(), kBlockSize);
        } else {
            buffer.resize(run * kBlockSize);
            for (std::size_t k = 0; k < run; ++k)
                std::memcpy(buffer.data() + k * kBlockSize, cached(pages[i + k])->data.data(), kBlockSize);
            m_file.writeAt(offset, buffer.data(), buffer.size());
        }
        for (std::size_t k = 0; k < run; ++k)
            cached(pages[i + k])->dirty = false;
        m_diskPages = std::max(m_diskPages, pages[i + run - 1] + kPagesPerBlock);
        i += run;
    }
}

void MdxPages::writeHeader()
{
    if (m_headerDirty == 0)
        return;
    int first = 0;
    while (!(m_headerDirty & (1u << first)))
        ++first;
    int last = int(kHeaderPages) - 1;
    while (!(m_headerDirty & (1u << last)))
        --last;
    const std::uint32_t offset = first * kPageSize;
    ++m_writes;
    m_file.writeAt(offset, m_header.data() + offset, (last - first + 1) * kPageSize);
    m_headerDirty = 0;
    m_diskPages = std::max(m_diskPages, kHeaderPages);
}

void MdxPages::trim()
{
    if (m_blocks.size() <= m_maxBlocks)
        return;
    if (m_dirty.size() > m_maxBlocks / 2)
        flush();
    evictClean(m_maxBlocks * 3 / 4);
}

void MdxPages::evictClean(std::size_t target)
{
    if (m_blocks.size() <= target)
        return;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> clean;
    for (const auto& block : m_blocks)
        if (!block->dirty)
            clean.emplace_back(block->used, block->page);
    const std::size_t excess = std::min(clean.size(), m_blocks.size() - target);
    std::nth_element(clean.begin(), clean.begin() + excess, clean.end());
    for (std::size_t i = 0; i < excess; ++i)
        m_byPage[clean[i].second] = nullptr;
    // Those left without a page go to the spares (as many as the next
    // evictions free), the rest back to the allocator.
    const std::size_t keepSpare = m_maxBlocks / 4;
    std::size_t kept = 0;
    for (auto& block : m_blocks) {
        if (m_byPage[block->page] != block.get()) {
            if (m_spare.size() < keepSpare)
                m_spare.push_back(std::move(block));
        } else if (&m_blocks[kept] != &block) {
            m_blocks[kept++] = std::move(block);
        } else {
            ++kept;
        }
    }
    m_blocks.resize(kept);
}

void MdxPages::dropAll()
{
    m_blocks.clear();
    m_byPage.clear();
    m_spare.clear();
    m_dirty.clear();
    m_headerDirty = 0;
}

} // namespace dbase::mdx
