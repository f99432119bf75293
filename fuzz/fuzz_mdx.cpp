// Arbitrary bytes as a .MDX file: opening, walking, searching, checking and
// changing every tag may only ever end in DatabaseError.
#include "MemoryFile.h"
#include "dbase/DatabaseError.h"
#include "dbase/MdxFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr int kMaxSteps = 5000;

void exercise(dbase::MdxFile& mdx, int tag)
{
    int steps = 0;
    for (auto e = mdx.first(tag); e && steps < kMaxSteps; e = mdx.after(tag, *e))
        ++steps;
    steps = 0;
    for (auto e = mdx.last(tag); e && steps < kMaxSteps; e = mdx.before(tag, *e))
        ++steps;
    const std::string key(std::size_t(mdx.tag(tag).keyLength), 'M');
    mdx.seek(tag, key);
    mdx.verify(tag);
    // Changes on a tree that passed verify() must keep it whole.
    for (std::uint32_t recno = 1; recno <= 40; ++recno)
        mdx.insert(tag, key, recno);
    for (std::uint32_t recno = 1; recno <= 40; recno += 2)
        mdx.remove(tag, key, recno);
    mdx.verify(tag);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        auto file = std::make_unique<MemoryFile>(std::string(reinterpret_cast<const char*>(data), size),
                                                 "/fuzz/FUZZ.MDX");
        const MemoryFile& written = *file;
        auto mdx = dbase::MdxFile::open(std::move(file));
        for (int tag = 0; tag < mdx->tagCount(); ++tag) {
            try {
                exercise(*mdx, tag);
            } catch (const dbase::DatabaseError&) {
                // Damage found in one tag; the others are still walked.
            }
        }
        try {
            // Freeing a tag and reusing its blocks, over whatever free list the file has.
            if (mdx->tagCount() > 0)
                mdx->deleteTag(0);
            dbase::TagDefinition tag;
            tag.name = "FUZZ";
            tag.expression = "FUZZ";
            tag.keyLength = 10;
            std::vector<dbase::IndexEntry> entries;
            for (std::uint32_t recno = 1; recno <= 300; ++recno)
                entries.push_back({std::string(1, char('A' + recno % 26)), recno});
            mdx->verify(mdx->addTag(tag, std::move(entries)));
        } catch (const dbase::DatabaseError&) {
        }
        mdx->flush();
        // What was written reads back (damage it inherited may still be found).
        auto reread =
            dbase::MdxFile::open(std::make_unique<MemoryFile>(written.contents(), "/fuzz/AGAIN.MDX"));
        for (int tag = 0; tag < reread->tagCount(); ++tag) {
            try {
                reread->verify(tag);
            } catch (const dbase::DatabaseError&) {
            }
        }
    } catch (const dbase::DatabaseError&) {
    }
    return 0;
}
