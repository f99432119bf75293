// Feeds arbitrary bytes to the table reader: the input is a .DBF, optionally
// followed by an .MDX (a 4-byte little-endian length of the .DBF part comes first
// when the top bit of the first byte is set). Opens, walks, reads every field,
// walks every tag, then appends and edits a record; only DatabaseError may come out.
#include "MemoryFile.h"

#include "dbase/DatabaseError.h"
#include "dbase/Table.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>

namespace {

class MemoryFileSystem : public dbase::FileSystem {
public:
    std::map<std::string, std::string> files;

    std::unique_ptr<dbase::File> open(const std::string& path, dbase::OpenMode mode) override
    {
        auto it = files.find(path);
        if (it == files.end() && mode != dbase::OpenMode::CreateReadWrite)
            throw dbase::IoError(path, "open", ENOENT);
        std::string contents = mode == dbase::OpenMode::CreateReadWrite ? std::string() : it->second;
        return std::make_unique<MemoryFile>(contents, path);
    }
    bool exists(const std::string& path) override { return files.count(path) != 0; }
    void rename(const std::string& from, const std::string& to) override
    {
        files[to] = files[from];
        files.erase(from);
    }
    void remove(const std::string& path) override { files.erase(path); }
    void syncDirectory(const std::string&) override {}
};

void exercise(dbase::Table& table)
{
    int steps = 0;
    for (table.first(); !table.eof() && steps < 200; table.next(), ++steps)
        for (int f = 0; f < static_cast<int>(table.fields().size()); ++f) {
            table.text(f);
            if (table.fields()[f].type == dbase::FieldType::Memo)
                table.memo(f);
        }
    table.recordCount();
    for (const dbase::TagInfo& tag : table.tags()) {
        if (!tag.usable)
            continue;
        table.setOrder(tag.name);
        steps = 0;
        for (table.last(); !table.bof() && steps < 200; table.prior(), ++steps)
            table.text(0);
        table.seek("A");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string input(reinterpret_cast<const char*>(data), size);
    std::string dbfBytes = input, mdxBytes;
    if (size >= 4 && (data[0] & 0x80)) {
        std::uint32_t split;
        std::memcpy(&split, data, 4);
        split &= 0x7FFFFFFF;
        split = std::min<std::uint32_t>(split, static_cast<std::uint32_t>(size - 4));
        dbfBytes = input.substr(4, split);
        mdxBytes = input.substr(4 + split);
    }
    // The directory scan for the index finds nothing in memory, so give both names directly.
    MemoryFileSystem fs;
    fs.files["/fuzz/T.DBF"] = dbfBytes;
    if (!mdxBytes.empty())
        fs.files["/fuzz/T.MDX"] = mdxBytes;
    try {
        auto table = dbase::Table::openIgnoringIndex("/fuzz/T.DBF", dbase::Access::Shared, fs);
        exercise(*table);
        table->append();
        for (int f = 0; f < static_cast<int>(table->fields().size()); ++f)
            if (table->fields()[f].type != dbase::FieldType::Memo)
                table->setText(f, "");
        table->post();
        table->first();
        table->edit();
        table->post();
        table->deleteRecord();
    } catch (const dbase::DatabaseError&) {
    }
    return 0;
}
