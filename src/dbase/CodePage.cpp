#include "CodePage.h"

#include <algorithm>
#include <cstring>

namespace dbase {

namespace {

// Unicode of bytes 0x80..0xFF, from the code pages' published mapping tables.
constexpr char16_t kCp437[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, // 80
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, // 88
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, // 90
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, // 98
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, // A0
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, // A8
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, // B0
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, // B8
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, // C8
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, // D0
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, // D8
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, // E0
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, // E8
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, // F0
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0, // F8
};

constexpr char16_t kCp850[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, // 80
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, // 88
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, // 90
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192, // 98
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, // A0
    0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, // A8
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0, // B0
    0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510, // B8
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3, // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4, // C8
    0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE, // D0
    0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580, // D8
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE, // E0
    0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4, // E8
    0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8, // F0
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0, // F8
};

// The five bytes Windows-1252 leaves undefined (81 8D 8F 90 9D) read as the C1
// controls of the same number, so that any byte decodes and encodes back.
constexpr char16_t kWindows1252[128] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98
    0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7, // A0
    0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF, // A8
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7, // B0
    0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF, // B8
    0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7, // C0
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF, // C8
    0x00D0, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7, // D0
    0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF, // D8
    0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7, // E0
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF, // E8
    0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7, // F0
    0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF, // F8
};

constexpr char32_t kInvalid = 0xFFFFFFFF;

// Position of the first byte >= 0x80, or the size when there is none.
std::size_t firstNonAscii(std::string_view s)
{
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, s.data() + i, 8);
        if (word & 0x8080808080808080ULL)
            break;
    }
    while (i < s.size() && static_cast<unsigned char>(s[i]) < 0x80)
        ++i;
    return i;
}

// Reads the multi-byte UTF-8 character that starts at `i` and sets `length` to its
// size. Invalid input (overlong forms, surrogates, beyond U+10FFFF, cut short)
// returns kInvalid with `length` covering the bad bytes, at least one.
char32_t readUtf8(std::string_view s, std::size_t i, std::size_t& length)
{
    const auto lead = static_cast<unsigned char>(s[i]);
    std::size_t continuations = 0;
    char32_t codePoint = 0;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the next byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        continuations = 1;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        continuations = 2;
        codePoint = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        continuations = 3;
        codePoint = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    }
    length = 1;
    if (continuations == 0)
        return kInvalid;
    for (std::size_t k = 0; k < continuations; ++k, ++length) {
        if (i + length >= s.size())
            return kInvalid;
        const auto c = static_cast<unsigned char>(s[i + length]);
        if (c < low || c > high)
            return kInvalid;
        low = 0x80;
        high = 0xBF;
        codePoint = (codePoint << 6) | (c & 0x3F);
    }
    return codePoint;
}

} // namespace

CodePage::CodePage(const char* name, const char16_t* high128) : m_name(name)
{
    for (int i = 0; i < 128; ++i) {
        const char16_t c = high128[i] != 0 ? high128[i] : static_cast<char16_t>(0x80 + i);
        Utf8& u = m_utf8[i];
        if (c < 0x800) {
            u.bytes[0] = static_cast<char>(0xC0 | (c >> 6));
            u.bytes[1] = static_cast<char>(0x80 | (c & 0x3F));
            u.bytes[2] = 0;
            u.length = 2;
        } else {
            u.bytes[0] = static_cast<char>(0xE0 | (c >> 12));
            u.bytes[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            u.bytes[2] = static_cast<char>(0x80 | (c & 0x3F));
            u.length = 3;
        }
        m_bytes[i] = {c, static_cast<std::uint8_t>(0x80 + i)};
    }
    std::sort(std::begin(m_bytes), std::end(m_bytes),
              [](const ByteOf& a, const ByteOf& b) { return a.codePoint < b.codePoint; });
}

const CodePage& CodePage::cp437()
{
    static const CodePage page("CP437", kCp437);
    return page;
}

const CodePage& CodePage::cp850()
{
    static const CodePage page("CP850", kCp850);
    return page;
}

const CodePage& CodePage::windows1252()
{
    static const CodePage page("Windows-1252", kWindows1252);
    return page;
}

const CodePage& CodePage::forLanguageDriver(std::uint8_t id)
{
    switch (id) {
    case 0x01: // U.S. MS-DOS
    case 0x09: // Dutch OEM
    case 0x0B: // Finnish OEM
    case 0x0D: // French OEM
    case 0x0F: // German OEM
    case 0x11: // Italian OEM
    case 0x15: // Swedish OEM
    case 0x18: // Spanish OEM
    case 0x19: // English OEM (Britain)
    case 0x1B: // English OEM (U.S.), written by dBase IV
        return cp437();
    case 0x02: // International MS-DOS
    case 0x0A: // Dutch OEM (secondary)
    case 0x0E: // French OEM (secondary)
    case 0x10: // German OEM (secondary)
    case 0x12: // Italian OEM (secondary)
    case 0x14: // Spanish OEM (secondary)
    case 0x16: // Swedish OEM (secondary)
    case 0x1A: // English OEM (Britain) (secondary)
    case 0x1D: // French OEM (secondary)
    case 0x25: // Portuguese OEM (secondary)
    case 0x37: // English OEM (U.S.) (secondary)
        return cp850();
    default: // 0x03, 0x57, 0x58, 0x59 (Windows ANSI), 0x00 and ids of pages we lack
        return windows1252();
    }
}

std::string CodePage::decode(std::string_view bytes) const
{
    std::size_t i = firstNonAscii(bytes);
    if (i == bytes.size())
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + (bytes.size() - i));
    out.append(bytes.data(), i);
    for (; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else {
            const Utf8& u = m_utf8[c - 0x80];
            out.append(u.bytes, u.length);
        }
    }
    return out;
}

int CodePage::byteFor(char32_t codePoint) const
{
    if (codePoint > 0xFFFF)
        return -1;
    const auto it = std::lower_bound(std::begin(m_bytes), std::end(m_bytes), codePoint,
                                     [](const ByteOf& e, char32_t cp) { return e.codePoint < cp; });
    return it != std::end(m_bytes) && it->codePoint == codePoint ? it->byte : -1;
}

bool CodePage::encode(std::string_view utf8, std::string& out, std::string& badCharacter) const
{
    std::size_t i = firstNonAscii(utf8);
    out.assign(utf8.data(), i);
    if (i == utf8.size())
        return true;
    out.reserve(utf8.size());
    while (i < utf8.size()) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        std::size_t length = 0;
        const char32_t codePoint = readUtf8(utf8, i, length);
        const int byte = codePoint == kInvalid ? -1 : byteFor(codePoint);
        if (byte < 0) {
            badCharacter.assign(utf8.substr(i, length));
            return false;
        }
        out.push_back(static_cast<char>(byte));
        i += length;
    }
    return true;
}

} // namespace dbase
