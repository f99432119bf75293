#include "TextSource.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace exchange {
namespace {

constexpr std::size_t kBlock = 64 * 1024;

// Windows-1252 bytes 0x80..0x9F; the rest of the high half is Latin-1. The
// five unused bytes keep their own number, a C1 control the reader drops.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::runtime_error fileError(const std::string& path, const char* action)
{
    return std::runtime_error("Cannot " + std::string(action) + " " + path + ": " + std::strerror(errno));
}

// A streaming UTF-8 check: fed byte by byte, remembers a sequence cut by the block end.
class Utf8Check {
public:
    bool feed(unsigned char b)
    {
        if (m_needed == 0) {
            if (b < 0x80)
                return true;
            if (b >= 0xC2 && b <= 0xDF) {
                m_needed = 1;
                m_low = 0x80, m_high = 0xBF;
            } else if (b >= 0xE0 && b <= 0xEF) {
                m_needed = 2;
                m_low = b == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
                m_high = b == 0xED ? 0x9F : 0xBF; // no surrogates
            } else if (b >= 0xF0 && b <= 0xF4) {
                m_needed = 3;
                m_low = b == 0xF0 ? 0x90 : 0x80;
                m_high = b == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
            } else {
                return false;
            }
            return true;
        }
        if (b < m_low || b > m_high)
            return false;
        m_low = 0x80, m_high = 0xBF;
        --m_needed;
        return true;
    }
    bool complete() const { return m_needed == 0; }

private:
    int m_needed = 0;
    unsigned char m_low = 0x80, m_high = 0xBF;
};

} // namespace

FileByteSource::FileByteSource(const std::string& path) : m_path(path)
{
    m_file = std::fopen(path.c_str(), "rb");
    if (!m_file)
        throw fileError(path, "open");
}

FileByteSource::~FileByteSource()
{
    std::fclose(m_file);
}

std::size_t FileByteSource::read(char* buffer, std::size_t n)
{
    std::size_t got = std::fread(buffer, 1, n, m_file);
    if (got < n && std::ferror(m_file))
        throw fileError(m_path, "read");
    return got;
}

void FileByteSource::rewind()
{
    if (std::fseek(m_file, 0, SEEK_SET) != 0)
        throw fileError(m_path, "read");
    std::clearerr(m_file);
}

std::size_t MemoryByteSource::read(char* buffer, std::size_t n)
{
    std::size_t got = std::min(n, m_bytes.size() - m_position);
    std::memcpy(buffer, m_bytes.data() + m_position, got);
    m_position += got;
    return got;
}

DetectedEncoding detectEncoding(ByteSource& source)
{
    source.rewind();
    std::vector<char> buffer(kBlock);
    std::size_t got = source.read(buffer.data(), buffer.size());
    auto byte = [&](std::size_t i) { return i < got ? static_cast<unsigned char>(buffer[i]) : -1; };
    DetectedEncoding result;
    if (byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF)
        result = {TextEncoding::Utf8, 3};
    else if (byte(0) == 0xFF && byte(1) == 0xFE)
        result = {TextEncoding::Utf16LE, 2};
    else if (byte(0) == 0xFE && byte(1) == 0xFF)
        result = {TextEncoding::Utf16BE, 2};
    if (result.bomLength > 0) {
        source.rewind();
        return result;
    }
    Utf8Check check;
    bool valid = true;
    while (valid && got > 0) {
        for (std::size_t i = 0; i < got && valid; ++i)
            valid = check.feed(static_cast<unsigned char>(buffer[i]));
        got = valid ? source.read(buffer.data(), buffer.size()) : 0;
    }
    source.rewind();
    return {valid && check.complete() ? TextEncoding::Utf8 : TextEncoding::Windows1252, 0};
}

CharDecoder::CharDecoder(ByteSource& source, DetectedEncoding encoding)
    : m_source(source), m_encoding(encoding.encoding), m_buffer(kBlock)
{
    for (std::size_t i = 0; i < encoding.bomLength; ++i)
        byteAt();
}

bool CharDecoder::fill()
{
    m_position = 0;
    m_size = m_source.read(m_buffer.data(), m_buffer.size());
    return m_size > 0;
}

int CharDecoder::byteAt()
{
    if (m_position == m_size && !fill())
        return -1;
    return static_cast<unsigned char>(m_buffer[m_position++]);
}

char32_t CharDecoder::next()
{
    int b = byteAt();
    if (b < 0)
        return kEnd;
    switch (m_encoding) {
    case TextEncoding::Windows1252:
        return b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : static_cast<char32_t>(b);
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: {
        auto unit = [&](int first) -> int {
            int second = byteAt();
            if (second < 0)
                return -1;
            return m_encoding == TextEncoding::Utf16LE ? first | second << 8 : first << 8 | second;
        };
        int u = unit(b);
        if (u < 0)
            return kEnd; // an odd last byte
        if (u >= 0xDC00 && u <= 0xDFFF)
            return 0xFFFD;
        if (u < 0xD800 || u > 0xDBFF)
            return static_cast<char32_t>(u);
        int first = byteAt();
        int low = first < 0 ? -1 : unit(first);
        if (low < 0xDC00 || low > 0xDFFF)
            return 0xFFFD; // the unit after a lone high surrogate is lost with it
        return 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (static_cast<char32_t>(low) - 0xDC00);
    }
    case TextEncoding::Utf8:
        break;
    }
    if (b < 0x80)
        return static_cast<char32_t>(b);
    int extra = b >= 0xF0 && b <= 0xF4 ? 3 : b >= 0xE0 && b <= 0xEF ? 2 : b >= 0xC2 && b <= 0xDF ? 1 : -1;
    if (extra < 0)
        return 0xFFFD;
    char32_t c = static_cast<char32_t>(b & (0x3F >> extra));
    for (int i = 0; i < extra; ++i) {
        if (m_position == m_size && !fill())
            return 0xFFFD;
        unsigned char next = static_cast<unsigned char>(m_buffer[m_position]);
        if ((next & 0xC0) != 0x80)
            return 0xFFFD; // the byte starts the next character
        ++m_position;
        c = c << 6 | (next & 0x3F);
    }
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) ||
        c < (extra == 1   ? 0x80u
             : extra == 2 ? 0x800u
                          : 0x10000u))
        return 0xFFFD;
    return c;
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | c >> 6));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | c >> 12));
        out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | c >> 18));
        out.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

} // namespace exchange
