#pragma once

// Byte-level encoding shared by the stream writer and reader: int = 4-byte
// little-endian signed, real = 4-byte IEEE single, text = length byte and
// bytes, point = x then y, graphic = kind byte, int length and the bytes.

#include "reportengine/stream/StreamRecords.h"

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

namespace reportengine::stream {

// Reads fields from a byte span; every read is checked against the bytes
// left and every value against what the format allows. Damage raises
// StreamError(kUnexpectedCode).
class ByteSource {
public:
    ByteSource(std::span<const std::uint8_t> bytes, std::size_t position) : m_bytes(bytes), m_pos(position) {}

    std::size_t position() const { return m_pos; }
    std::size_t remaining() const { return m_pos < m_bytes.size() ? m_bytes.size() - m_pos : 0; }

    std::uint8_t byte();
    std::int32_t int32();
    float real();
    // The next n bytes, valid as long as the span is.
    const std::uint8_t* take(std::size_t n);
    [[noreturn]] void fail(const char* what) const;

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_pos;
};

// Appends the record's code and payload. Values a reader would refuse (reals
// not finite or beyond kMaxReal, texts over 255 bytes, enum values outside
// their table, graphics over 2 GiB) raise StreamError and append nothing.
void encodeRecord(std::vector<std::uint8_t>& out, const Record& record);
void encodeHeader(std::vector<std::uint8_t>& out, const ReportHeader& header);
// What encodeRecord appends for a TextCentred, TextLeft or TextRight record
// (`code`), without building the record first: a report is mostly texts.
void encodeText(std::vector<std::uint8_t>& out, RecordCode code, float y, std::string_view text, float x);
void encodePageStart(std::vector<std::uint8_t>& out, const PageStart& page);

// Reads one record whose code byte has already been taken from `in`; a code
// that may not stand inside a page raises StreamError(kUnexpectedCode).
Record decodeRecord(ByteSource& in, std::uint8_t code);
// These read their code byte too.
ReportHeader decodeHeader(ByteSource& in);
PageStart decodePageStart(ByteSource& in);

void putInt32(std::uint8_t* at, std::int32_t value);

} // namespace reportengine::stream
