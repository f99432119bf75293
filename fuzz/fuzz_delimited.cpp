// Feeds arbitrary bytes as a delimited text file: decides the encoding, reads
// the first line and then every record with the field count it gave (or 46).
// No field may keep more than 255 characters and no record more than its
// count of fields, whatever the input.
#include "exchange/DelimitedReader.h"
#include "exchange/TextSource.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

std::size_t characters(const std::string& utf8)
{
    std::size_t count = 0;
    for (char c : utf8)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    exchange::MemoryByteSource source(std::string_view(reinterpret_cast<const char*>(data), size));
    const exchange::DetectedEncoding encoding = exchange::detectEncoding(source);
    int fieldCount = exchange::DelimitedReader::kMaxFields;
    {
        exchange::CharDecoder chars(source, encoding);
        exchange::DelimitedReader reader(chars);
        exchange::DelimitedReader::FirstLine line = reader.readFirstLine();
        check(line.values.size() <= exchange::DelimitedReader::kMaxFields);
        if (line.error == exchange::DelimitedReader::FirstLineError::None)
            fieldCount = static_cast<int>(line.values.size());
    }
    source.rewind();
    exchange::CharDecoder chars(source, encoding);
    exchange::DelimitedReader reader(chars);
    std::vector<std::string> fields;
    long long records = 0;
    while (reader.readRecord(fieldCount, fields)) {
        check(fields.size() == static_cast<std::size_t>(fieldCount));
        for (const std::string& field : fields) {
            check(characters(field) <= exchange::DelimitedReader::kMaxFieldLength);
            check(field.find('\r') == std::string::npos && field.find('\n') == std::string::npos);
        }
        // Every record ends a line, so there are never more records than bytes.
        check(++records <= static_cast<long long>(size));
    }
    return 0;
}
