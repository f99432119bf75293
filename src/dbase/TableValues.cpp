// Field values of the current record: decoding, encoding and memo texts.
#include "DatabaseError.h"
#include "MemoFile.h"
#include "TableImpl.h"
#include "Values.h"

#include <cmath>
#include <cstring>

namespace dbase {

const Field& Table::Impl::fieldAt(int index) const
{
    if (index < 0 || index >= static_cast<int>(header.fields.size()))
        throw DatabaseError("The table " + path + " has no field number " + std::to_string(index + 1) + ".");
    return header.fields[index];
}

// ---------------------------------------------------------------- values

std::string Table::Impl::fieldText(const char* rec, int index) const
{
    const Field& f = fieldAt(index);
    std::string_view raw(rec + f.offset, f.length);
    switch (f.type) {
    case FieldType::Character:
        return codePage->decode(trimRight(raw));
    case FieldType::Numeric:
    case FieldType::Float:
        return decodeNumberText(raw);
    case FieldType::Date: {
        Date d = decodeDate(raw);
        return d.isNull() ? std::string() : std::string(raw.substr(0, 8));
    }
    case FieldType::Logical:
        switch (raw[0]) {
        case 'T':
        case 't':
        case 'Y':
        case 'y':
            return "T";
        case 'F':
        case 'f':
        case 'N':
        case 'n':
            return "F";
        default:
            return {};
        }
    case FieldType::Memo:
        return decodeNumberText(raw);
    }
    return {};
}

std::string Table::Impl::encodeText(const Field& f, const std::string& utf8) const
{
    std::string bytes, bad;
    if (!codePage->encode(utf8, bytes, bad))
        throw DatabaseError("The character \"" + bad + "\" cannot be stored in the field " + f.name +
                            ": the table's code page (" + codePage->name() + ") has no such character.");
    bytes.resize(f.length, ' ');
    return bytes;
}

void Table::Impl::setFieldBytes(int index, const std::string& bytes)
{
    if (state == EditState::None)
        throw DatabaseError("The table " + path + " is not in edit or insert mode.");
    const Field& f = fieldAt(index);
    std::memcpy(record.data() + f.offset, bytes.data(), f.length);
}

// ---------------------------------------------------------------- values

std::string Table::text(int field) const
{
    return d->fieldText(d->record.data(), field);
}
std::string Table::text(const std::string& field) const
{
    return text(fieldIndex(field) < 0 ? -1 : fieldIndex(field));
}

long long Table::whole(int field) const
{
    double v = floating(field);
    return static_cast<long long>(v < 0 ? v - 0.5 : v + 0.5);
}

double Table::floating(int field) const
{
    const Field& f = d->fieldAt(field);
    return decodeNumber(std::string_view(d->record.data() + f.offset, f.length));
}

Date Table::date(int field) const
{
    const Field& f = d->fieldAt(field);
    if (f.type != FieldType::Date)
        throw DatabaseError("The field " + f.name + " of " + d->path + " is not a date field.");
    return decodeDate(std::string_view(d->record.data() + f.offset, f.length));
}

bool Table::isBlank(int field) const
{
    const Field& f = d->fieldAt(field);
    return dbase::isBlank(std::string_view(d->record.data() + f.offset, f.length));
}

void Table::setText(int field, const std::string& value)
{
    const Field& f = d->fieldAt(field);
    switch (f.type) {
    case FieldType::Character:
        d->setFieldBytes(field, d->encodeText(f, value));
        break;
    case FieldType::Numeric:
    case FieldType::Float:
        d->setFieldBytes(field, encodeNumberText(f, value));
        break;
    case FieldType::Date:
        d->setFieldBytes(field, encodeDateText(f, value));
        break;
    case FieldType::Logical:
        d->setFieldBytes(field, encodeLogicalText(f, value));
        break;
    case FieldType::Memo:
        throw DatabaseError("The memo field " + f.name + " of " + d->path + " is read-only.");
    }
}

void Table::setText(const std::string& field, const std::string& value)
{
    int index = fieldIndex(field);
    if (index < 0)
        throw DatabaseError("The table " + d->path + " has no field " + field + ".");
    setText(index, value);
}

void Table::setWhole(int field, long long value)
{
    const Field& f = d->fieldAt(field);
    if (f.type != FieldType::Numeric && f.type != FieldType::Float)
        throw DatabaseError("The field " + f.name + " of " + d->path + " is not a numeric field.");
    d->setFieldBytes(field, encodeWhole(f, value));
}

void Table::setFloating(int field, double value)
{
    const Field& f = d->fieldAt(field);
    if (f.type != FieldType::Numeric && f.type != FieldType::Float)
        throw DatabaseError("The field " + f.name + " of " + d->path + " is not a numeric field.");
    d->setFieldBytes(field, encodeNumber(f, value));
}

void Table::setDate(int field, const Date& value)
{
    const Field& f = d->fieldAt(field);
    if (f.type != FieldType::Date)
        throw DatabaseError("The field " + f.name + " of " + d->path + " is not a date field.");
    d->setFieldBytes(field, encodeDate(f, value));
}

std::string Table::memo(int field) const
{
    const Field& f = d->fieldAt(field);
    if (f.type != FieldType::Memo)
        throw DatabaseError("The field " + f.name + " of " + d->path + " is not a memo field.");
    std::string number = decodeNumberText(std::string_view(d->record.data() + f.offset, f.length));
    if (number.empty() || number == "0")
        return {};
    if (!d->memoOpened) {
        d->memoOpened = true;
        std::string found = d->memoPath();
        if (!found.empty())
            d->memo = MemoFile::open(d->fs.open(found, OpenMode::ReadOnly), d->header.dbase4Memo());
    }
    if (!d->memo)
        return {};
    // A damaged record may hold any number here: only a whole one in range names a block.
    const double block = decodeNumber(number);
    if (!(block >= 1 && block <= 4294967295.0) || block != std::floor(block))
        throw DatabaseError("The memo field " + f.name + " of record " + std::to_string(d->recno) + " of " +
                            d->path + " holds \"" + number + "\", which is no memo block number.");
    return d->codePage->decode(d->memo->read(static_cast<std::uint32_t>(block)));
}

} // namespace dbase
