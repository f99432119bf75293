// Compiles arbitrary text as a key expression over a fixed table and evaluates
// it on a sound record, a deleted one and one full of damaged field bytes.
#include "dbase/DatabaseError.h"
#include "dbase/Expression.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

std::vector<dbase::Field> fields()
{
    using dbase::FieldType;
    std::vector<dbase::Field> f = {
        {"NAME", FieldType::Character, 20, 0, 1}, {"COST", FieldType::Numeric, 12, 2, 21},
        {"RATE", FieldType::Float, 20, 4, 33},    {"BOUGHT", FieldType::Date, 8, 0, 53},
        {"READ", FieldType::Logical, 1, 0, 61},   {"NOTES", FieldType::Memo, 10, 0, 62},
    };
    return f;
}

// Records of fields(): the flag, then each field's bytes cut or padded to its width.
std::vector<std::string> records()
{
    auto make = [](char flag, std::vector<std::string> values) {
        std::string record(1, flag);
        const auto f = fields();
        for (size_t i = 0; i < f.size(); ++i)
            record += values[i].substr(0, f[i].length) +
                      std::string(f[i].length - std::min<size_t>(values[i].size(), f[i].length), ' ');
        return record;
    };
    return {
        make(' ', {"Zola, \xE9mile", "       12.50", "      -0.0001234567", "20240229", "T", "0000000001"}),
        make('*', {"", "-99999999.99", "1e308", "99991231", "?", ""}),
        make('\0', {std::string(20, '\xFF'), "nan.inf", "-inf", std::string("0000\0\0\0\0", 8),
                    std::string(1, '\0'), std::string(10, '\0')}),
    };
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::vector<dbase::Field> table = fields();
    static const std::vector<std::string> kRecords = records();
    const std::string text(reinterpret_cast<const char*>(data), size);
    // The key decoders meet damaged index pages too.
    dbase::numericKeyValue(text);
    dbase::dateKeyValue(text);
    try {
        const dbase::Expression e = dbase::Expression::compile(text, table);
        for (const std::string& record : kRecords) {
            const dbase::Value v = e.evaluate(record.data());
            if (v.type != e.type() ||
                (v.type == dbase::ValueType::Character && v.text.size() > size_t(e.length())))
                __builtin_trap();
            if (e.key(record.data()).size() != static_cast<size_t>(e.length()))
                __builtin_trap();
        }
    } catch (const dbase::DatabaseError&) {
    }
    return 0;
}
