#pragma once

// Bytes of a delimited text file and the characters they decode to. Plain
// C++ without Qt, so that the fuzz target can drive it directly.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace exchange {

// Where the bytes come from. read() throws std::runtime_error (carrying the
// path and the system's reason) when the file cannot be read.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to n bytes into `buffer`; 0 only at the end.
    virtual std::size_t read(char* buffer, std::size_t n) = 0;
    // Back to the first byte, for the next pass over the file.
    virtual void rewind() = 0;
};

class FileByteSource final : public ByteSource {
public:
    // Throws std::runtime_error when the file cannot be opened.
    explicit FileByteSource(const std::string& path);
    ~FileByteSource() override;
    FileByteSource(const FileByteSource&) = delete;
    FileByteSource& operator=(const FileByteSource&) = delete;
    std::size_t read(char* buffer, std::size_t n) override;
    void rewind() override;

private:
    std::string m_path;
    std::FILE* m_file = nullptr;
};

// Reads from bytes that the caller keeps alive.
class MemoryByteSource final : public ByteSource {
public:
    explicit MemoryByteSource(std::string_view bytes) : m_bytes(bytes) {}
    std::size_t read(char* buffer, std::size_t n) override;
    void rewind() override { m_position = 0; }

private:
    std::string_view m_bytes;
    std::size_t m_position = 0;
};

enum class TextEncoding { Utf8, Utf16LE, Utf16BE, Windows1252 };

struct DetectedEncoding {
    TextEncoding encoding = TextEncoding::Utf8;
    std::size_t bomLength = 0;
};

// A byte-order mark decides; else a file that is valid UTF-8 from its first
// byte to its last is UTF-8; else Windows-1252. Reads the whole source and
// leaves it rewound.
DetectedEncoding detectEncoding(ByteSource& source);

// Decodes a source character by character, a block at a time, so that a file
// of any size takes a fixed amount of memory. Bytes that do not decode give
// U+FFFD; Windows-1252's five unused bytes give the C1 control of their number.
class CharDecoder {
public:
    static constexpr char32_t kEnd = 0xFFFFFFFFu;

    // Starts after the byte-order mark; `source` must outlive the decoder.
    CharDecoder(ByteSource& source, DetectedEncoding encoding);
    char32_t next(); // kEnd once the bytes are used up

private:
    bool fill();  // false at the end of the source
    int byteAt(); // the next byte, or -1 at the end

    ByteSource& m_source;
    TextEncoding m_encoding;
    std::vector<char> m_buffer;
    std::size_t m_position = 0;
    std::size_t m_size = 0;
};

// Appends the UTF-8 form of `c` to `out`.
void appendUtf8(std::string& out, char32_t c);

} // namespace exchange
