#include "MemoFile.h"

#include "Bytes.h"

#include "DatabaseError.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace dbase {

namespace {

constexpr std::uint32_t kDbase3BlockSize = 512;
constexpr unsigned char kEndOfText = 0x1A;
constexpr unsigned char kBlockSignature[4] = {0xFF, 0xFF, 0x08, 0x00};

std::string decimal(std::uint64_t n)
{
    char text[24];
    return std::string(text, std::to_chars(text, text + sizeof text, n).ptr);
}

// The dBase IV block size from header bytes 20-21. dBase writes multiples of
// 64 (512 by default); anything else, zero included, means the header is not
// to be trusted and the default applies.
std::uint32_t dbase4BlockSize(File& file)
{
    unsigned char header[22];
    if (file.readAt(0, header, sizeof header) < sizeof header)
        return kDbase3BlockSize;
    const std::uint32_t size = header[20] | (header[21] << 8);
    return size != 0 && size % 64 == 0 ? size : kDbase3BlockSize;
}

} // namespace

MemoFile::MemoFile(std::unique_ptr<File> file, bool dbase4Layout, std::uint32_t blockSize)
    : m_file(std::move(file)), m_dbase4(dbase4Layout), m_blockSize(blockSize)
{
}

std::unique_ptr<MemoFile> MemoFile::open(std::unique_ptr<File> file, bool dbase4Layout)
{
    const std::uint32_t blockSize = dbase4Layout ? dbase4BlockSize(*file) : kDbase3BlockSize;
    return std::unique_ptr<MemoFile>(new MemoFile(std::move(file), dbase4Layout, blockSize));
}

std::string MemoFile::read(std::uint32_t block)
{
    if (block == 0)
        return {};
    const std::uint64_t offset = std::uint64_t(block) * m_blockSize;
    return m_dbase4 ? readDbase4(offset, block) : readDbase3(offset, block);
}

std::string MemoFile::readDbase3(std::uint64_t offset, std::uint32_t block)
{
    std::string text;
    std::size_t chunk = kDbase3BlockSize;
    for (;;) {
        const std::size_t start = text.size();
        text.resize(start + chunk);
        const std::size_t got = m_file->readAt(offset + start, text.data() + start, chunk);
        text.resize(start + got);
        if (got == 0 && start == 0)
            fail(block, "lies past the end of the file");
        const std::size_t end = text.find(static_cast<char>(kEndOfText), start);
        if (end != std::string::npos)
            text.resize(end);
        if (text.size() > kMaxMemoBytes)
            fail(block, "is longer than " + decimal(kMaxMemoBytes) + " bytes");
        // Without an end mark before the end of the file, the text runs to it.
        if (end != std::string::npos || got < chunk)
            return text;
        chunk = std::min<std::size_t>(chunk * 2, 64 * 1024);
    }
}

std::string MemoFile::readDbase4(std::uint64_t offset, std::uint32_t block)
{
    const std::uint64_t fileSize = m_file->size();
    if (offset >= fileSize)
        fail(block, "lies past the end of the file");
    unsigned char header[8];
    if (m_file->readAt(offset, header, sizeof header) < sizeof header)
        fail(block, "is cut off by the end of the file");
    if (std::memcmp(header, kBlockSignature, sizeof kBlockSignature) != 0)
        fail(block, "does not start with a memo header");
    const std::uint32_t length = get32(header + 4);
    if (length < sizeof header)
        fail(block, "has a length of " + decimal(length) + " bytes, less than its own header");
    const std::uint32_t textLength = length - sizeof header;
    if (textLength > kMaxMemoBytes)
        fail(block, "claims " + decimal(textLength) + " bytes, more than the " + decimal(kMaxMemoBytes) +
                        " a memo may hold");
    if (offset + length > fileSize)
        fail(block, "claims " + decimal(textLength) + " bytes, running past the end of the file");
    std::string text(textLength, '\0');
    if (m_file->readAt(offset + sizeof header, text.data(), textLength) < textLength)
        fail(block, "is cut off by the end of the file");
    return text;
}

void MemoFile::fail(std::uint32_t block, const std::string& what) const
{
    throw DatabaseError("The memo file " + m_file->path() + " is damaged: the memo at block " +
                        decimal(block) + " " + what + ".");
}

} // namespace dbase
