// Feeds arbitrary bytes to the table engine. The input is a .DBF alone, or,
// when it starts with "DBF+", two 4-byte little-endian lengths (the .DBF and
// the .DBT parts) followed by the .DBF, the .DBT and, in the rest, the .MDX.
// "D" is no table version byte, so no real table is taken for that prefix.
// The table is named as its index says, so the index is taken as its own.
//
// The table is read read-only, then read and changed through a shared open
// (appends one by one and in a batch, edits that move keys, deletes: the
// B-tree inserts, removes and rebalances), then packed and re-indexed through
// an exclusive open, then read again. Each step has its own try, so a step that
// finds damage does not keep the ones after it from running; only
// DatabaseError may come out.
#include "MemoryFile.h"

#include "dbase/DatabaseError.h"
#include "dbase/Table.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr int kMaxSteps = 200;
std::string dbfPath;

template <class Step> void attempt(Step&& step)
{
    try {
        step();
    } catch (const dbase::DatabaseError&) {
    }
}

void read(dbase::Table& table)
{
    attempt([&] {
        int steps = 0;
        for (table.first(); !table.eof() && steps < kMaxSteps; table.next(), ++steps)
            for (int f = 0; f < static_cast<int>(table.fields().size()); ++f) {
                table.text(f);
                if (table.fields()[f].type == dbase::FieldType::Memo)
                    table.memo(f);
            }
    });
    attempt([&] { table.recordCount(); });
    for (const dbase::TagInfo& tag : table.tags()) {
        if (!tag.usable)
            continue;
        attempt([&] {
            table.setOrder(tag.name);
            int steps = 0;
            for (table.last(); !table.bof() && steps < kMaxSteps; table.prior(), ++steps)
                table.text(0);
        });
        attempt([&] { table.seek("A"); });
        attempt([&] { table.seek("42"); });
        attempt([&] { table.seek("20240229"); });
    }
    attempt([&] { table.setOrder(""); });
}

// Values that differ from record to record, so keys land all over each tag.
void fill(dbase::Table& table, int i)
{
    for (int f = 0; f < static_cast<int>(table.fields().size()); ++f) {
        std::string value;
        switch (table.fields()[f].type) {
        case dbase::FieldType::Character:
            value = std::string(1, char('A' + (i * 7) % 26)) + std::to_string((i * 37) % 101);
            break;
        case dbase::FieldType::Numeric:
        case dbase::FieldType::Float:
            value = std::to_string((i * 13) % 97 - 40) + (i % 3 ? ".5" : "");
            break;
        case dbase::FieldType::Date:
            value = std::to_string(1990 + i % 30) + (i % 12 < 9 ? "0" : "") + std::to_string(1 + i % 12) +
                    std::to_string(10 + i % 18);
            break;
        case dbase::FieldType::Logical:
            value = i % 2 ? "T" : "F";
            break;
        case dbase::FieldType::Memo:
            continue;
        }
        attempt([&] { table.setText(f, value); });
    }
}

void change(dbase::Table& table)
{
    attempt([&] {
        table.append();
        fill(table, 0);
        table.post();
    });
    attempt([&] {
        table.beginBatch();
        try {
            for (int i = 1; i <= 60; ++i) {
                table.append();
                fill(table, i);
                table.post();
            }
        } catch (...) {
            table.endBatch();
            throw;
        }
        table.endBatch();
    });
    attempt([&] {
        // New values for records spread over the table: each moves in every tag.
        int i = 61;
        for (table.first(); !table.eof() && i < 100; table.next(), ++i) {
            table.edit();
            fill(table, i * 5);
            table.post();
            table.next();
        }
    });
    attempt([&] {
        table.append();
        fill(table, 7);
        table.cancel();
        table.first();
        table.edit();
        fill(table, 8);
        table.cancel();
    });
    attempt([&] {
        // Enough deletes to empty leaves of a FOR .NOT. DELETED() tag, so its nodes merge.
        table.first();
        for (int i = 0; i < 150 && !table.eof(); ++i)
            table.deleteRecord();
    });
}

void run(MemoryFileSystem& fs)
{
    attempt([&] { read(*dbase::Table::openIgnoringIndex(dbfPath, dbase::Access::ReadOnly, fs)); });
    attempt([&] {
        auto table = dbase::Table::openIgnoringIndex(dbfPath, dbase::Access::Shared, fs);
        read(*table);
        change(*table);
        read(*table);
    });
    attempt([&] {
        auto table = dbase::Table::openIgnoringIndex(dbfPath, dbase::Access::Exclusive, fs);
        change(*table);
        attempt([&] { table->addTag("FUZZ", table->fields().at(0).name, ".NOT. DELETED()"); });
        attempt([&] {
            if (!table->tags().empty())
                table->deleteTag(table->tags().front().name);
        });
        attempt([&] { table->pack(); });
        attempt([&] { table->regenerateIndexes(); });
        read(*table);
    });
    attempt([&] { read(*dbase::Table::open(dbfPath, dbase::Access::Shared, fs)); });
}

std::uint32_t littleEndian(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// The name the index stores for its table (bytes 4-19), so that the table
// is given that name and its index is taken as its own; "T" when there is none.
std::string tableName(const std::string& mdx)
{
    std::string name;
    for (std::size_t i = 4; i < 20 && i < mdx.size() && mdx[i] != '\0' && mdx[i] != ' '; ++i)
        name.push_back(mdx[i]);
    if (name.size() > 4 &&
        (name.compare(name.size() - 4, 4, ".DBF") == 0 || name.compare(name.size() - 4, 4, ".dbf") == 0))
        name.resize(name.size() - 4);
    const bool plain = std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    });
    return name.empty() || !plain ? "T" : name;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    MemoryFileSystem fs;
    if (size >= 12 && std::memcmp(data, "DBF+", 4) == 0) {
        std::size_t rest = size - 12;
        const std::size_t dbfLength = std::min<std::size_t>(littleEndian(data + 4), rest);
        const std::size_t dbtLength = std::min<std::size_t>(littleEndian(data + 8), rest - dbfLength);
        const std::string mdx = input.substr(12 + dbfLength + dbtLength);
        const std::string base = "/fuzz/" + tableName(mdx);
        dbfPath = base + ".DBF";
        fs.put(dbfPath, input.substr(12, dbfLength));
        if (dbtLength > 0)
            fs.put(base + ".DBT", input.substr(12 + dbfLength, dbtLength));
        if (!mdx.empty())
            fs.put(base + ".MDX", mdx);
    } else {
        dbfPath = "/fuzz/T.DBF";
        fs.put(dbfPath, input);
    }
    run(fs);
    return 0;
}
