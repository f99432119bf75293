#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dbase {

// A single-byte code page of a dBase table, chosen by the header's language
// driver byte. The engine's API speaks UTF-8; conversion happens here.
// Bytes 0x00..0x7F are ASCII in every page.
class CodePage {
public:
    // The code page for a language driver id. Unknown ids and 0x00 read as
    // Windows-1252, the code page of the tables this program writes.
    static const CodePage& forLanguageDriver(std::uint8_t id);
    static const CodePage& windows1252();
    static const CodePage& cp437();
    static const CodePage& cp850();

    const char* name() const { return m_name; }
    // Decodes bytes to UTF-8. Never fails: every byte has a meaning.
    std::string decode(std::string_view bytes) const;
    // Encodes UTF-8 text into `out` (replacing its contents). Returns false and
    // sets `badCharacter` (the offending character as UTF-8, or the bad bytes
    // for invalid UTF-8) when a character has no byte in this code page.
    bool encode(std::string_view utf8, std::string& out, std::string& badCharacter) const;

    // `high128` holds the Unicode of bytes 0x80..0xFF (all below U+10000, no two
    // alike); 0 stands for the C1 control of the byte's own number. `name`
    // must outlive the code page.
    CodePage(const char* name, const char16_t* high128);
    CodePage(const CodePage&) = delete;
    CodePage& operator=(const CodePage&) = delete;

private:
    struct Utf8 {
        char bytes[3];
        std::uint8_t length;
    };
    struct ByteOf {
        char16_t codePoint;
        std::uint8_t byte;
    };
    // The byte for a code point of U+0080 or above, or -1 when this page has none.
    int byteFor(char32_t codePoint) const;

    const char* m_name;
    Utf8 m_utf8[128];    // UTF-8 of bytes 0x80..0xFF
    ByteOf m_bytes[128]; // the high bytes sorted by code point, for encoding
};

} // namespace dbase
