#pragma once

#include "Expression.h"
#include "FileSystem.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dbase {

namespace mdx {
class MdxPages;
struct TagLayout;
} // namespace mdx

struct IndexEntry {
    std::string key;
    std::uint32_t recno = 0;
};

// What a tag is: its name and expressions as written in the tag header.
struct TagDefinition {
    std::string name; // at most 10 characters, stored upper case
    std::string expression;
    std::string forExpression; // empty for none
    ValueType keyType = ValueType::Character;
    int keyLength = 0; // bytes; 12 for numeric, 8 for date keys
    bool descending = false;
    bool unique = false;
    // Why the engine cannot use this tag (a file from another program may
    // hold keys longer than dBase IV allows); empty when it can.
    std::string unusable;
};

// A dBase IV multiple index file (.MDX): a header, a table of up to 47 tags
// and one B-tree per tag, in 512-byte pages and 1024-byte blocks. Keys are
// passed already encoded (see Expression::key). Pages are cached (bounded);
// writes stay in the cache until flush(). The caller serialises access with
// other programs (locks) and calls invalidate() when another program changed
// the file. Any structural damage found raises DatabaseError naming the file.
class MdxFile {
public:
    // With `tablePath`, an index whose header names another table is damaged
    // (an index copied from elsewhere); a header naming none is accepted.
    static std::unique_ptr<MdxFile> open(std::unique_ptr<File> file, const std::string& tablePath = {});
    static std::unique_ptr<MdxFile> create(std::unique_ptr<File> file, const std::string& tableBaseName);
    ~MdxFile();

    const std::string& path() const;
    int tagCount() const;
    const TagDefinition& tag(int index) const;
    int findTag(std::string_view name) const; // ASCII case ignored; -1 when absent

    // The table named in the header (upper case as stored, blanks and NULs dropped).
    std::string tableName() const;

    // Adds a tag holding `entries` (any order). Returns its index. Throws when
    // the name exists, the table of tags is full or the key is too long.
    // Navigation and changes on a tag listed as unusable throw DatabaseError.
    int addTag(const TagDefinition& definition, std::vector<IndexEntry> entries);
    // The same for a tag of any size: `feed` hands every entry to the function
    // it is given. Entries beyond what memory holds are sorted in runs spilled
    // to the file `spillPath` of `fs`, which is removed before this returns.
    using EntrySink = std::function<void(std::string_view key, std::uint32_t recno)>;
    int addTag(const TagDefinition& definition, const std::function<void(const EntrySink&)>& feed,
               FileSystem& fs, const std::string& spillPath);
    // Bytes of memory one sorted run of a tag being added may take; 0 restores the default. For tests.
    static void setSortRunBytes(std::size_t bytes);
    // Removes the tag; its pages go to the free list for reuse. Indexes of later tags shift down.
    void deleteTag(int index);

    void insert(int tag, std::string_view key, std::uint32_t recno);
    // As insert(), but the entry may wait in memory (a bounded amount) until
    // the next other call on this object needs the trees; the waiting entries
    // then go in key order, so that a run of appends with keys in any order
    // reads and writes each block once for all its new keys, not once per key.
    void insertLater(int tag, std::string_view key, std::uint32_t recno);
    // Forgets the waiting entries of records numbered `firstRecno` and up (appends taken back).
    void dropLater(std::uint32_t firstRecno);
    // Returns false when the entry is not in the tag.
    bool remove(int tag, std::string_view key, std::uint32_t recno);

    // Positioning in tag order (equal keys in record-number order). Each call
    // stands alone, so the tree may change between calls.
    std::optional<IndexEntry> first(int tag);
    std::optional<IndexEntry> last(int tag);
    std::optional<IndexEntry> after(int tag, const IndexEntry& entry);
    std::optional<IndexEntry> before(int tag, const IndexEntry& entry);
    // The first entry whose key is >= `key` (a prefix of a character key compares as blank-padded).
    std::optional<IndexEntry> seek(int tag, std::string_view key);

    // Walks the whole tree of a tag checking structure and order; returns the
    // entries in order. Throws DatabaseError on damage.
    std::vector<IndexEntry> verify(int tag);

    // Writes the changed blocks, the header last. Changes not flushed are
    // lost when the object is destroyed.
    void flush();
    // flush(), then waits until the file is on the disk.
    void sync();
    // Forgets the cache and reads the file again. After a change to a tree
    // that failed half-way every other call throws DatabaseError until this.
    void invalidate();
    // Writes made to the file by this object so far: unchanged means the file is as it was.
    std::uint64_t writeCount() const;
    // Ordering of two keys of a tag, honouring its type and direction.
    int compareKeys(int tag, std::string_view a, std::string_view b) const;

    // The blocks and the layout of a usable tag, for read-only walks over its
    // leaves (MdxScan.h). layout() throws as navigation does.
    mdx::MdxPages& pages();
    mdx::TagLayout& layout(int tag);

private:
    struct Impl;
    explicit MdxFile(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
};

} // namespace dbase
