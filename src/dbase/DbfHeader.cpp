#include "DbfHeader.h"

#include "Bytes.h"
#include "DatabaseError.h"

#include <cstring>
#include <ctime>
#include <set>

namespace dbase {

namespace {

[[noreturn]] void damaged(const File& file, const std::string& what)
{
    throw DatabaseError("The table " + file.path() + " is damaged: " + what + ".");
}

std::string upper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    return s;
}

} // namespace

bool DbfHeader::hasMemo() const
{
    for (const Field& f : fields)
        if (f.type == FieldType::Memo)
            return true;
    return false;
}

void DbfHeader::readCounters(const unsigned char* h)
{
    version = h[0];
    recordCount = get32(h + dbf::kRecordCount);
    // Only the documented value counts: other engines leave stray bytes here.
    incomplete = h[dbf::kIncomplete] == 0x01;
    changeCounter = get32(h + dbf::kChangeCounter);
    productionIndex = h[dbf::kProductionIndex] == 0x01;
    languageDriver = h[dbf::kLanguageDriver];
}

DbfHeader DbfHeader::read(File& file)
{
    unsigned char h[dbf::kHeaderSize];
    if (file.readAt(0, h, sizeof h) != sizeof h)
        damaged(file, "the file is shorter than a table header");
    DbfHeader header;
    header.readCounters(h);
    header.headerLength = get16(h + dbf::kHeaderLength);
    header.recordLength = get16(h + dbf::kRecordLength);
    switch (header.version & 0x07) {
    case 0x03:
    case 0x04:
        break;
    default:
        damaged(file, "it is not a dBase table (version byte " + std::to_string(header.version) + ")");
    }
    if (h[dbf::kEncrypted] == 0x01)
        damaged(file, "it is encrypted");
    if (header.headerLength < dbf::kHeaderSize + 1 || header.recordLength < 1)
        damaged(file, "the header gives impossible lengths");

    std::string descriptors(header.headerLength - dbf::kHeaderSize, '\0');
    if (file.readAt(dbf::kHeaderSize, descriptors.data(), descriptors.size()) != descriptors.size())
        damaged(file, "the field descriptors are cut short");

    int offset = 1;
    std::set<std::string> names;
    std::size_t pos = 0;
    for (; pos + 32 <= descriptors.size() && static_cast<unsigned char>(descriptors[pos]) != 0x0D;
         pos += 32) {
        const auto* d = reinterpret_cast<const unsigned char*>(descriptors.data() + pos);
        Field f;
        std::size_t nameLength = 0;
        while (nameLength < 11 && d[nameLength] != 0)
            ++nameLength;
        f.name = upper(std::string(reinterpret_cast<const char*>(d), nameLength));
        while (!f.name.empty() && f.name.back() == ' ')
            f.name.pop_back();
        if (f.name.empty())
            damaged(file, "field " + std::to_string(header.fields.size() + 1) + " has no name");
        for (char c : f.name)
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
                damaged(file,
                        "field " + std::to_string(header.fields.size() + 1) + " has an unreadable name");
        if (!names.insert(f.name).second)
            damaged(file, "the field name " + f.name + " occurs twice");
        f.type = static_cast<FieldType>(d[11]);
        f.length = d[16];
        f.decimals = d[17];
        switch (f.type) {
        case FieldType::Character:
            // Clipper-style wide character fields keep the high byte of the length in the decimals.
            if (f.decimals != 0 && f.length + f.decimals * 256 <= 65535) {
                f.length += f.decimals * 256;
                f.decimals = 0;
            }
            break;
        case FieldType::Numeric:
        case FieldType::Float:
            if (f.length == 0 || f.length > 20 || f.decimals >= f.length)
                damaged(file, "the numeric field " + f.name + " has an impossible width");
            break;
        case FieldType::Date:
            if (f.length != 8)
                damaged(file, "the date field " + f.name + " is not 8 characters wide");
            break;
        case FieldType::Logical:
            if (f.length != 1)
                damaged(file, "the logical field " + f.name + " is not 1 character wide");
            break;
        case FieldType::Memo:
            if (f.length != 10)
                damaged(file, "the memo field " + f.name + " is not 10 characters wide");
            break;
        default:
            damaged(file,
                    "the field " + f.name + " has the unknown type '" + std::string(1, char(d[11])) + "'");
        }
        if (f.length == 0)
            damaged(file, "the field " + f.name + " has no width");
        f.offset = offset;
        offset += f.length;
        header.fields.push_back(std::move(f));
    }
    if (header.fields.empty())
        damaged(file, "it has no fields");
    // The data starts at the header length: one that disagrees with where the
    // descriptors end would make every record read from the wrong place.
    if (pos < descriptors.size() && static_cast<unsigned char>(descriptors[pos]) == 0x0D) {
        std::size_t end = dbf::kHeaderSize + pos + 1;
        if (header.headerLength > end + dbf::kMaxHeaderPadding)
            damaged(file, "the header length " + std::to_string(header.headerLength) +
                              " does not match the field descriptors, which end at byte " +
                              std::to_string(end));
    }
    if (offset != header.recordLength)
        damaged(file, "the record length " + std::to_string(header.recordLength) +
                          " does not match the fields, which need " + std::to_string(offset));
    return header;
}

void DbfHeader::writeFixedPart(unsigned char* h) const
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    h[0] = version;
    h[1] = static_cast<unsigned char>(local.tm_year);
    h[2] = static_cast<unsigned char>(local.tm_mon + 1);
    h[3] = static_cast<unsigned char>(local.tm_mday);
    put32(h + dbf::kRecordCount, recordCount);
    put16(h + dbf::kHeaderLength, headerLength);
    put16(h + dbf::kRecordLength, recordLength);
    h[12] = h[13] = 0;
    h[dbf::kIncomplete] = incomplete ? 1 : 0;
    h[15] = 0;
    put32(h + dbf::kChangeCounter, changeCounter);
    std::memset(h + 20, 0, 8);
    h[dbf::kProductionIndex] = productionIndex ? 1 : 0;
    h[dbf::kLanguageDriver] = languageDriver;
    h[30] = h[31] = 0;
}

std::string DbfHeader::build(const std::vector<Field>& fields, std::uint8_t languageDriver,
                             std::uint8_t version)
{
    DbfHeader header;
    header.version = version;
    header.languageDriver = languageDriver;
    header.headerLength = static_cast<std::uint16_t>(dbf::kHeaderSize + 32 * fields.size() + 1);
    int length = 1;
    for (const Field& f : fields)
        length += f.length;
    header.recordLength = static_cast<std::uint16_t>(length);
    std::string bytes(header.headerLength, '\0');
    auto* h = reinterpret_cast<unsigned char*>(bytes.data());
    header.writeFixedPart(h);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        unsigned char* d = h + dbf::kHeaderSize + 32 * i;
        std::memcpy(d, fields[i].name.data(), fields[i].name.size());
        d[11] = static_cast<unsigned char>(fields[i].type);
        d[16] = static_cast<unsigned char>(fields[i].length);
        d[17] = static_cast<unsigned char>(fields[i].decimals);
    }
    h[header.headerLength - 1] = 0x0D;
    return bytes;
}

std::vector<Field> layoutFields(const std::vector<FieldSpec>& specs)
{
    if (specs.empty() || specs.size() > 255)
        throw DatabaseError("A table needs between 1 and 255 fields.");
    std::vector<Field> fields;
    std::set<std::string> names;
    int offset = 1;
    for (const FieldSpec& wanted : specs) {
        Field f;
        f.name = upper(wanted.name);
        bool nameOk = !f.name.empty() && f.name.size() <= 10 && f.name[0] >= 'A' && f.name[0] <= 'Z';
        for (char c : f.name)
            nameOk = nameOk && ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_');
        if (!nameOk)
            throw DatabaseError("\"" + wanted.name + "\" is not a valid dBase field name.");
        if (!names.insert(f.name).second)
            throw DatabaseError("The field name " + f.name + " occurs twice.");
        switch (wanted.kind) {
        case FieldSpec::Kind::Character:
            if (wanted.width < 1 || wanted.width > 254)
                throw DatabaseError("The character field " + f.name + " must be 1 to 254 characters wide.");
            f.type = FieldType::Character;
            f.length = wanted.width;
            break;
        case FieldSpec::Kind::Whole:
            f.type = FieldType::Numeric;
            f.length = kWholeWidth;
            break;
        case FieldSpec::Kind::Floating:
            f.type = FieldType::Numeric;
            f.length = kFloatingWidth;
            f.decimals = kFloatingDecimals;
            break;
        case FieldSpec::Kind::Date:
            f.type = FieldType::Date;
            f.length = 8;
            break;
        case FieldSpec::Kind::Logical:
            f.type = FieldType::Logical;
            f.length = 1;
            break;
        }
        f.offset = offset;
        offset += f.length;
        fields.push_back(std::move(f));
    }
    if (offset > 65535)
        throw DatabaseError("The fields are too wide for one dBase record.");
    return fields;
}

} // namespace dbase
