#include "MdxFile.h"

#include "DatabaseError.h"
#include "MdxTree.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace dbase {

using namespace mdx;

namespace {

std::string cString(const std::uint8_t* text, std::size_t limit)
{
    std::size_t length = 0;
    while (length < limit && text[length] != 0)
        ++length;
    return std::string(reinterpret_cast<const char*>(text), length);
}

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

bool sameIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return upper(x) == upper(y); });
}

// Other xBase engines begin tag names with an underscore too, and a rebuild
// must be able to write back every name it read.
bool validTagName(const std::string& name)
{
    if (name.empty() || name.size() > std::size_t(kMaxTagName) ||
        !((name[0] >= 'A' && name[0] <= 'Z') || name[0] == '_'))
        return false;
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'; });
}

// A key at the full length of its tag, on the stack.
struct Key {
    std::array<std::uint8_t, kMaxKeyLength> bytes;
    const std::uint8_t* data() const { return bytes.data(); }
};

} // namespace

struct MdxFile::Impl {
    struct Tag {
        TagDefinition definition;
        TagLayout layout;
    };
    // Where the last navigation call landed, so that walking on from there
    // needs no descent while the tree is unchanged.
    struct Cursor {
        int tag = -1;
        std::uint64_t modifications = 0;
        Path path;
        std::string key;
        std::uint32_t recno = 0;
    };

    explicit Impl(std::unique_ptr<File> f) : file(std::move(f)), pages(*file) {}

    const std::string& path() const { return file->path(); }
    void load();
    std::string tableName() const;
    void checkTableName() const;
    Tag readTag(int slotIndex);
    Tag& checked(int index);
    MdxTree tree(int index);
    void refuseUnusable(const Tag& tag) const;
    Key normalize(const Tag& tag, std::string_view key) const;
    void writeTagHeader(const Tag& tag);
    void writeSlot(int index);
    void linkNames();
    void tagsChanged();
    bool cursorAt(int tag, const IndexEntry& entry) const;
    int findTag(std::string_view name) const;
    int addTag(const TagDefinition& definition, const std::function<void(const EntrySink&)>& feed,
               SpillPlace spill);
    std::optional<IndexEntry> land(int tag, const Path& path, bool found);
    void drain();

    // An entry of insertLater() not yet in its tree; its key is in pendingKeys.
    struct Pending {
        std::uint64_t order; // KeyOrder::orderedValue() of the key
        std::uint32_t tag;
        std::uint32_t recno;
        std::uint32_t offset;
    };

    std::unique_ptr<File> file;
    std::string tablePath; // checked against the header's table name on every load
    MdxPages pages;
    std::vector<Tag> tags;
    std::uint64_t modifications = 0;
    Cursor cursor;
    std::vector<Pending> pending;
    std::vector<std::uint8_t> pendingKeys;
    // Why the trees in memory cannot be trusted: a change stopped half-way
    // (a split without its parent's entry) loses keys if built on or flushed.
    std::string torn;
    void refuseTorn() const
    {
        if (!torn.empty())
            throw DatabaseError(torn);
    }
    template <class Change> auto changeTree(Change&& change)
    {
        try {
            return change();
        } catch (const std::exception& e) {
            torn = "The index file " + path() + " must be rebuilt: a change to it stopped half-way (" +
                   e.what() + ").";
            throw;
        }
    }
};

namespace {

// Entries insertLater() may hold before they go into the trees. At a million
// books a sweep of this many random keys of 72 bytes touches about half as
// many leaves as keys, where one insert at a time read and wrote nearly one
// leaf each; the memory is about what the same number of keys take in blocks.
constexpr std::size_t kPendingBytes = 16u << 20;

} // namespace

// Puts the waiting entries into their trees, tag by tag in key order (equal
// keys in the order they came, so a unique tag keeps the same one). When a
// write fails, those not yet in stay waiting; when a tree's change itself
// stops half-way, nothing is done with the index until it is read again.
void MdxFile::Impl::drain()
{
    refuseTorn();
    if (pending.empty())
        return;
    // Sorted on the first sixteen bytes of each key (its value for numbers
    // and dates) held beside it, the whole keys compared only when those tie.
    struct Sorted {
        std::uint64_t prefix[2];
        std::uint32_t tag;
        std::uint32_t index;
    };
    std::vector<Sorted> sorted(pending.size());
    for (std::uint32_t i = 0; i < sorted.size(); ++i) {
        const Pending& entry = pending[i];
        const TagLayout& layout = tags[entry.tag].layout;
        std::uint64_t prefix[2] = {entry.order, 0};
        if (layout.type == 'C') {
            const std::uint8_t* key = pendingKeys.data() + entry.offset;
            prefix[0] = 0;
            for (int k = 0; k < 16; ++k)
                prefix[k / 8] = prefix[k / 8] << 8 | (k < layout.keyLength ? key[k] : 0);
        }
        if (layout.descending) {
            prefix[0] = ~prefix[0];
            prefix[1] = ~prefix[1];
        }
        sorted[i] = {{prefix[0], prefix[1]}, entry.tag, i};
    }
    std::sort(sorted.begin(), sorted.end(), [&](const Sorted& a, const Sorted& b) {
        if (a.tag != b.tag)
            return a.tag < b.tag;
        if (a.prefix[0] != b.prefix[0])
            return a.prefix[0] < b.prefix[0];
        if (a.prefix[1] != b.prefix[1])
            return a.prefix[1] < b.prefix[1];
        const Pending& x = pending[a.index];
        const Pending& y = pending[b.index];
        const int order =
            KeyOrder(tags[a.tag].layout)
                .compare(pendingKeys.data() + x.offset, {pendingKeys.data() + y.offset, y.order, 0});
        return order != 0 ? order < 0 : a.index < b.index;
    });
    std::size_t done = 0;
    try {
        while (done < sorted.size()) {
            const Pending& entry = pending[sorted[done].index];
            MdxTree into = tree(int(entry.tag));
            changeTree([&] { into.insert(pendingKeys.data() + entry.offset, entry.recno); });
            ++done; // in its tree, whatever the trim below does
            ++modifications;
            pages.trim();
        }
    } catch (...) {
        std::vector<Pending> left;
        for (std::size_t i = done; i < sorted.size(); ++i)
            left.push_back(pending[sorted[i].index]);
        pending = std::move(left);
        throw;
    }
    pending.clear();
    pendingKeys.clear();
}

void MdxFile::Impl::load()
{
    tags.clear();
    tagsChanged();
    pages.loadHeader();
    const std::uint8_t* header = pages.header();
    if (header[file::version] != 2)
        throw DatabaseError("The file " + path() + " is not a dBase IV index: its first byte is " +
                            decimal(header[file::version]) + ", not 2.");
    const unsigned blockSize = get16(header + file::blockSize);
    if (blockSize != kBlockSize || get16(header + file::pagesPerBlock) != kPagesPerBlock)
        throw DatabaseError("The index file " + path() + " uses blocks of " + decimal(blockSize) +
                            " bytes; only blocks of 1024 bytes are supported.");
    if (header[file::slotLength] != kSlotLength)
        throwDamaged(path(),
                     "its tag table has slots of " + decimal(header[file::slotLength]) + " bytes, not 32");
    const unsigned count = get16(header + file::tagsInUse);
    if (count > unsigned(kUsableTags))
        throwDamaged(path(), "its header lists " + decimal(count) + " tags where at most 47 fit");
    std::vector<Tag> loaded;
    for (unsigned i = 0; i < count; ++i) {
        loaded.push_back(readTag(int(i)));
        for (unsigned k = 0; k < i; ++k)
            if (loaded[k].layout.headerPage == loaded[i].layout.headerPage)
                throwDamaged(path(), "tags " + loaded[k].layout.name + " and " + loaded[i].layout.name +
                                         " share their header");
    }
    checkTableName();
    tags = std::move(loaded);
    tagsChanged();
}

std::string MdxFile::Impl::tableName() const
{
    std::string name = cString(pages.header() + file::baseName, file::baseNameLength);
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    return name;
}

void MdxFile::Impl::checkTableName() const
{
    if (tablePath.empty())
        return;
    const std::string stored = tableName();
    std::string table = tablePath.substr(tablePath.rfind('/') + 1);
    table = table.substr(0, table.rfind('.'));
    // A header holds 16 characters of the name; some writers add the extension.
    const std::string_view wanted = std::string_view(table).substr(0, file::baseNameLength);
    if (stored.empty() || sameIgnoringCase(stored, wanted) ||
        (wanted.size() + 4 <= stored.size() && sameIgnoringCase(stored.substr(0, wanted.size()), wanted) &&
         sameIgnoringCase(stored.substr(wanted.size()), ".DBF")))
        return;
    throwDamaged(path(), "it belongs to the table " + stored + ", not to " + table);
}

MdxFile::Impl::Tag MdxFile::Impl::readTag(int slotIndex)
{
    const std::uint8_t* entry = pages.header() + kTagTable + slotIndex * kSlotLength;
    Tag tag;
    std::string name = cString(entry + slot::name, slot::nameLength);
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    if (name.empty())
        throwDamaged(path(), "entry " + decimal(slotIndex + 1) + " of its tag table has no name");
    tag.layout.name = name;
    auto damaged = [&](const std::string& what) { throwDamaged(path(), "tag " + name + " " + what); };

    const std::uint32_t page = get32(entry + slot::headerPage);
    const std::uint8_t* header = pages.isBlockPage(page) ? pages.read(page) : nullptr;
    if (!header)
        damaged("has its header at page " + decimal(page) + " beyond the end of the file");
    char type = char(header[tag::keyType]);
    if (type == 'F')
        type = 'N'; // float fields index as numbers
    if (type != 'C' && type != 'N' && type != 'D')
        damaged("has keys of the unknown type " + decimal(std::uint8_t(type)));
    const int keyLength = get16(header + tag::keyLength);
    const int itemLength = get16(header + tag::itemLength);
    const int perBlock = get16(header + tag::keysPerBlock);
    const bool itemsFit = itemLength >= keyLength + 4 && itemLength <= keyLength + 11 && perBlock >= 3 &&
                          perBlock * itemLength <= kBlockPayload;
    // Longer keys than dBase IV allows, in a header that is otherwise whole:
    // another program's tag, listed but not used.
    if (keyLength > kMaxKeyLength && type == 'C' && itemsFit)
        tag.definition.unusable =
            "its keys have " + decimal(keyLength) + " bytes, more than the 100 dBase IV allows";
    else if (keyLength < 1 || keyLength > kMaxKeyLength)
        damaged("has keys of " + decimal(keyLength) + " bytes where at most 100 are possible");
    if ((type == 'N' && keyLength != 12) || (type == 'D' && keyLength != 8))
        damaged("has " + std::string(type == 'N' ? "numeric" : "date") + " keys of " + decimal(keyLength) +
                " bytes");
    if (itemLength < keyLength + 4 || itemLength > keyLength + 11)
        damaged("has items of " + decimal(itemLength) + " bytes for keys of " + decimal(keyLength));
    if (perBlock < 3 || perBlock * itemLength > kBlockPayload)
        damaged("claims " + decimal(perBlock) + " keys per block with items of " + decimal(itemLength) +
                " bytes");
    const std::uint32_t root = get32(header + tag::root);
    if (!pages.isBlockPage(root))
        damaged("has its root node at page " + decimal(root) + " beyond the end of the file");

    tag.layout.headerPage = page;
    tag.layout.type = type;
    tag.layout.keyLength = keyLength;
    tag.layout.itemLength = itemLength;
    tag.layout.keysPerBlock = perBlock;
    tag.layout.descending = header[tag::format] & tag::formatDescending;
    tag.layout.unique = (header[tag::format] & tag::formatUnique) || header[tag::uniqueFlag] != 0;
    TagDefinition& definition = tag.definition;
    definition.name = name;
    definition.expression = cString(header + tag::expression, tag::expressionEnd - tag::expression);
    if (header[tag::hasFor])
        definition.forExpression = cString(header + tag::forExpression, kBlockSize - tag::forExpression);
    definition.keyType = ValueType(type);
    definition.keyLength = keyLength;
    definition.descending = tag.layout.descending;
    definition.unique = tag.layout.unique;
    return tag;
}

MdxTree MdxFile::Impl::tree(int index)
{
    Tag& tag = checked(index);
    refuseUnusable(tag);
    return MdxTree(pages, tag.layout);
}

void MdxFile::Impl::refuseUnusable(const Tag& tag) const
{
    if (!tag.definition.unusable.empty())
        throw DatabaseError("The tag " + tag.layout.name + " of the index file " + path() +
                            " cannot be used: " + tag.definition.unusable + ".");
}

MdxFile::Impl::Tag& MdxFile::Impl::checked(int index)
{
    if (index < 0 || std::size_t(index) >= tags.size())
        throw DatabaseError("The index file " + path() + " has no tag number " +
                            (index < 0 ? std::string("below 0") : decimal(std::uint64_t(index))) + ".");
    return tags[std::size_t(index)];
}

Key MdxFile::Impl::normalize(const Tag& tag, std::string_view key) const
{
    refuseUnusable(tag); // its keys would not fit a Key
    const auto length = std::size_t(tag.layout.keyLength);
    if (tag.layout.type != 'C' && key.size() != length)
        throw DatabaseError("A key of " + decimal(key.size()) + " bytes was given for tag " +
                            tag.layout.name + " of the index file " + path() + ", whose keys have " +
                            decimal(length) + " bytes.");
    Key out;
    const std::size_t copied = std::min(key.size(), length);
    std::memcpy(out.bytes.data(), key.data(), copied);
    std::memset(out.bytes.data() + copied, ' ', length - copied);
    return out;
}

void MdxFile::Impl::writeTagHeader(const Tag& tag)
{
    const TagDefinition& definition = tag.definition;
    const TagLayout& layout = tag.layout;
    std::uint8_t* header = pages.fresh(layout.headerPage);
    header[tag::format] = std::uint8_t(tag::formatBase | (layout.descending ? tag::formatDescending : 0) |
                                       (layout.unique ? tag::formatUnique : 0));
    header[tag::keyType] = std::uint8_t(layout.type);
    put16(header + tag::keyLength, std::uint16_t(layout.keyLength));
    put16(header + tag::keysPerBlock, std::uint16_t(layout.keysPerBlock));
    put16(header + tag::secondaryType, layout.type == 'D' ? 1 : 0);
    put16(header + tag::itemLength, std::uint16_t(layout.itemLength));
    header[tag::uniqueFlag] = layout.unique ? tag::formatUnique : 0;
    std::memcpy(header + tag::expression, definition.expression.data(), definition.expression.size());
    if (!definition.forExpression.empty()) {
        header[tag::hasFor] = 1;
        std::memcpy(header + tag::forExpression, definition.forExpression.data(),
                    definition.forExpression.size());
    }
}

void MdxFile::Impl::writeSlot(int index)
{
    const Tag& tag = tags[std::size_t(index)];
    std::uint8_t* entry = pages.editHeader(kTagTable + index * kSlotLength, kSlotLength);
    std::memset(entry, 0, kSlotLength);
    put32(entry + slot::headerPage, tag.layout.headerPage);
    std::memcpy(entry + slot::name, tag.layout.name.data(), tag.layout.name.size());
    entry[slot::format] = tag::formatBase;
    entry[slot::marker] = 0x02;
    entry[slot::keyType] = std::uint8_t(tag.layout.type);
}

// The slots form a binary search tree of tag names, built as dBase does by
// inserting the tags in slot order; links count slots from 1, 0 for none.
void MdxFile::Impl::linkNames()
{
    std::vector<std::array<std::uint8_t, 3>> links(tags.size(), {0, 0, 0});
    for (std::size_t i = 1; i < tags.size(); ++i) {
        std::size_t at = 0;
        for (;;) {
            const int side = tags[i].layout.name < tags[at].layout.name ? 0 : 1;
            if (links[at][side] == 0) {
                links[at][side] = std::uint8_t(i + 1);
                links[i][2] = std::uint8_t(at + 1);
                break;
            }
            at = links[at][side] - 1u;
        }
    }
    for (std::size_t i = 0; i < tags.size(); ++i) {
        const int offset = kTagTable + int(i) * kSlotLength + slot::left;
        if (std::memcmp(pages.header() + offset, links[i].data(), 3) != 0)
            std::memcpy(pages.editHeader(offset, 3), links[i].data(), 3);
    }
    put16(pages.editHeader(file::tagsInUse, 2), std::uint16_t(tags.size()));
}

void MdxFile::Impl::tagsChanged()
{
    std::vector<std::uint32_t> headers;
    for (const Tag& tag : tags)
        headers.push_back(tag.layout.headerPage);
    pages.setLatePages(std::move(headers));
    ++modifications;
}

bool MdxFile::Impl::cursorAt(int tag, const IndexEntry& entry) const
{
    return cursor.tag == tag && cursor.modifications == modifications && cursor.recno == entry.recno &&
           cursor.key == entry.key;
}

std::optional<IndexEntry> MdxFile::Impl::land(int tag, const Path& path, bool found)
{
    if (!found) {
        cursor.tag = -1;
        pages.trim();
        return std::nullopt;
    }
    IndexEntry entry = tree(tag).entryAt(path);
    cursor.tag = tag;
    cursor.modifications = modifications;
    cursor.path = path;
    cursor.key = entry.key;
    cursor.recno = entry.recno;
    pages.trim();
    return entry;
}

MdxFile::MdxFile(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}
MdxFile::~MdxFile() = default;

std::unique_ptr<MdxFile> MdxFile::open(std::unique_ptr<File> file, const std::string& tablePath)
{
    auto impl = std::make_unique<Impl>(std::move(file));
    impl->tablePath = tablePath;
    impl->load();
    return std::unique_ptr<MdxFile>(new MdxFile(std::move(impl)));
}

std::unique_ptr<MdxFile> MdxFile::create(std::unique_ptr<File> file, const std::string& tableBaseName)
{
    auto impl = std::make_unique<Impl>(std::move(file));
    impl->file->truncate(0);
    MdxPages& pages = impl->pages;
    pages.resetHeader();
    std::uint8_t* header = pages.editHeader(0, kHeaderBytes);
    header[file::version] = 2;
    todayBytes(header + file::created);
    std::memcpy(header + file::baseName, tableBaseName.data(),
                std::min<std::size_t>(tableBaseName.size(), file::baseNameLength));
    put16(header + file::pagesPerBlock, kPagesPerBlock);
    put16(header + file::blockSize, kBlockSize);
    header[file::production] = 1;
    header[file::slotCount] = kTagSlots;
    header[file::slotLength] = kSlotLength;
    put32(header + file::nextPage, kHeaderPages);
    todayBytes(header + file::updated);
    header[file::marker] = 1;
    pages.flush();
    return std::unique_ptr<MdxFile>(new MdxFile(std::move(impl)));
}

const std::string& MdxFile::path() const
{
    return d->path();
}

std::string MdxFile::tableName() const
{
    return d->tableName();
}

int MdxFile::tagCount() const
{
    return int(d->tags.size());
}

const TagDefinition& MdxFile::tag(int index) const
{
    return d->checked(index).definition;
}

int MdxFile::findTag(std::string_view name) const
{
    return d->findTag(name);
}

int MdxFile::Impl::findTag(std::string_view name) const
{
    for (std::size_t i = 0; i < tags.size(); ++i)
        if (sameIgnoringCase(tags[i].definition.name, name))
            return int(i);
    return -1;
}

namespace {

// Checks a new tag and brings it to the form it is stored in.
TagDefinition checkedDefinition(const std::string& path, TagDefinition definition)
{
    std::transform(definition.name.begin(), definition.name.end(), definition.name.begin(), upper);
    const std::string& name = definition.name;
    auto refuse = [&](const std::string& why) {
        throw DatabaseError("The tag " + name + " cannot be added to the index file " + path + ": " + why +
                            ".");
    };
    if (!validTagName(name))
        refuse("a tag name has 1 to 10 letters, digits or underscores and begins with a letter");
    if (definition.expression.empty() ||
        definition.expression.size() >= std::size_t(tag::expressionEnd - tag::expression))
        refuse("its key expression must have 1 to 219 characters");
    if (definition.forExpression.size() >= std::size_t(kBlockSize - tag::forExpression))
        refuse("its FOR expression must have at most 261 characters");
    if (definition.expression.find('\0') != std::string::npos ||
        definition.forExpression.find('\0') != std::string::npos)
        refuse("its expressions contain a NUL character");
    switch (definition.keyType) {
    case ValueType::Character:
        if (definition.keyLength < 1 || definition.keyLength > kMaxKeyLength)
            refuse("its keys would have " + decimal(std::uint64_t(std::max(definition.keyLength, 0))) +
                   " bytes where an index allows 1 to 100");
        break;
    case ValueType::Numeric:
    case ValueType::Date: {
        const int length = definition.keyType == ValueType::Numeric ? 12 : 8;
        if (definition.keyLength != 0 && definition.keyLength != length)
            refuse("its keys must have " + decimal(std::uint64_t(length)) + " bytes");
        definition.keyLength = length;
        break;
    }
    default:
        refuse("a dBase IV index cannot hold logical keys");
    }
    return definition;
}

} // namespace

int MdxFile::addTag(const TagDefinition& definition, std::vector<IndexEntry> entries)
{
    d->drain();
    return d->addTag(definition,
                     [&](const EntrySink& add) {
                         for (const IndexEntry& entry : entries)
                             add(entry.key, entry.recno);
                     },
                     {});
}

int MdxFile::addTag(const TagDefinition& definition, const std::function<void(const EntrySink&)>& feed,
                    FileSystem& fs, const std::string& spillPath)
{
    d->drain();
    return d->addTag(definition, feed, {&fs, spillPath});
}

void MdxFile::setSortRunBytes(std::size_t bytes)
{
    KeySorter::setRunBytes(bytes);
}

int MdxFile::Impl::addTag(const TagDefinition& definition, const std::function<void(const EntrySink&)>& feed,
                          SpillPlace spill)
{
    Tag tag;
    tag.definition = checkedDefinition(path(), definition);
    if (findTag(tag.definition.name) >= 0)
        throw DatabaseError("The index file " + path() + " already has a tag named " + tag.definition.name +
                            ".");
    if (tags.size() >= std::size_t(kUsableTags))
        throw DatabaseError("The index file " + path() + " already holds 47 tags, the most it can hold.");
    TagLayout& layout = tag.layout;
    layout.name = tag.definition.name;
    layout.type = char(tag.definition.keyType);
    layout.keyLength = tag.definition.keyLength;
    layout.itemLength = (layout.keyLength + 4 + 3) / 4 * 4;
    layout.keysPerBlock = kBlockPayload / layout.itemLength;
    layout.descending = tag.definition.descending;
    layout.unique = tag.definition.unique;
    KeySorter sorter(path(), layout, std::move(spill));
    feed([&](std::string_view key, std::uint32_t recno) { sorter.add(key, recno); });
    sorter.finish();

    // Listed only once complete: a failure on the way loses blocks, not the file.
    layout.headerPage = pages.allocate();
    writeTagHeader(tag);
    MdxTree(pages, layout).build(sorter);
    tags.push_back(std::move(tag));
    const int index = int(tags.size()) - 1;
    tagsChanged();
    writeSlot(index);
    linkNames();
    pages.trim();
    return index;
}

void MdxFile::deleteTag(int index)
{
    d->drain();
    const std::uint32_t headerPage = d->checked(index).layout.headerPage;
    std::vector<std::uint32_t> nodes;
    // A damaged tag must still be deletable so that it can be built again;
    // its blocks are then lost to reuse rather than risked. A block reached
    // twice, or holding a tag header, counts as damage too.
    try {
        nodes = d->tree(index).nodePages();
    } catch (const IoError&) {
        throw;
    } catch (const DatabaseError&) {
        nodes.clear();
    }
    std::sort(nodes.begin(), nodes.end());
    const bool shared = std::adjacent_find(nodes.begin(), nodes.end()) != nodes.end() ||
                        std::any_of(d->tags.begin(), d->tags.end(), [&](const Impl::Tag& t) {
                            return std::binary_search(nodes.begin(), nodes.end(), t.layout.headerPage);
                        });
    if (shared)
        nodes.clear();
    // Each freed block is written with its link: kept within the cache's bound.
    for (std::uint32_t page : nodes) {
        d->pages.release(page);
        d->pages.trim();
    }
    d->pages.release(headerPage);
    d->tags.erase(d->tags.begin() + index);
    for (int i = index; i < tagCount(); ++i)
        d->writeSlot(i);
    std::memset(d->pages.editHeader(kTagTable + tagCount() * kSlotLength, kSlotLength), 0, kSlotLength);
    d->linkNames();
    d->tagsChanged();
    d->pages.trim();
}

void MdxFile::insert(int tag, std::string_view key, std::uint32_t recno)
{
    d->drain();
    const Key normal = d->normalize(d->checked(tag), key);
    MdxTree tree = d->tree(tag);
    d->changeTree([&] { tree.insert(normal.data(), recno); });
    ++d->modifications;
    d->pages.trim();
}

void MdxFile::insertLater(int tag, std::string_view key, std::uint32_t recno)
{
    const Impl::Tag& t = d->checked(tag);
    const Key normal = d->normalize(t, key);
    const auto length = std::size_t(t.layout.keyLength);
    if (d->pendingKeys.size() + length + (d->pending.size() + 1) * sizeof(Impl::Pending) > kPendingBytes)
        d->drain();
    const KeyOrder order(t.layout);
    d->pending.push_back(
        {order.orderedValue(normal.data()), std::uint32_t(tag), recno, std::uint32_t(d->pendingKeys.size())});
    d->pendingKeys.insert(d->pendingKeys.end(), normal.data(), normal.data() + length);
}

void MdxFile::dropLater(std::uint32_t firstRecno)
{
    std::vector<Impl::Pending> kept;
    std::vector<std::uint8_t> keys;
    for (const Impl::Pending& entry : d->pending) {
        if (entry.recno >= firstRecno)
            continue;
        const auto length = std::size_t(d->tags[entry.tag].layout.keyLength);
        const std::uint8_t* key = d->pendingKeys.data() + entry.offset;
        kept.push_back({entry.order, entry.tag, entry.recno, std::uint32_t(keys.size())});
        keys.insert(keys.end(), key, key + length);
    }
    d->pending = std::move(kept);
    d->pendingKeys = std::move(keys);
}

bool MdxFile::remove(int tag, std::string_view key, std::uint32_t recno)
{
    d->drain();
    const Key normal = d->normalize(d->checked(tag), key);
    MdxTree tree = d->tree(tag);
    const bool removed = d->changeTree([&] { return tree.remove(normal.data(), recno); });
    if (removed)
        ++d->modifications;
    d->pages.trim();
    return removed;
}

std::optional<IndexEntry> MdxFile::first(int tag)
{
    d->drain();
    Path path;
    const bool found = d->tree(tag).first(path);
    return d->land(tag, path, found);
}

std::optional<IndexEntry> MdxFile::last(int tag)
{
    d->drain();
    Path path;
    const bool found = d->tree(tag).last(path);
    return d->land(tag, path, found);
}

std::optional<IndexEntry> MdxFile::after(int tag, const IndexEntry& entry)
{
    d->drain();
    MdxTree tree = d->tree(tag);
    const Key from = d->normalize(d->checked(tag), entry.key);
    Path path;
    bool found;
    if (d->cursorAt(tag, entry)) {
        path = d->cursor.path;
        found = tree.advance(path);
    } else if (tree.locate(from.data(), entry.recno, path)) {
        found = tree.advance(path);
    } else {
        found = tree.lowerBound(tree.order().probe(from.data(), std::uint64_t(entry.recno) + 1), path);
    }
    if (found)
        tree.checkStep(path, tree.order().probe(from.data(), entry.recno), true);
    return d->land(tag, path, found);
}

std::optional<IndexEntry> MdxFile::before(int tag, const IndexEntry& entry)
{
    d->drain();
    MdxTree tree = d->tree(tag);
    const Key from = d->normalize(d->checked(tag), entry.key);
    const Probe probe = tree.order().probe(from.data(), entry.recno);
    Path path;
    if (d->cursorAt(tag, entry))
        path = d->cursor.path;
    else if (!tree.locate(from.data(), entry.recno, path))
        tree.lowerBound(probe, path);
    const bool found = tree.retreat(path);
    if (found)
        tree.checkStep(path, probe, false);
    return d->land(tag, path, found);
}

std::optional<IndexEntry> MdxFile::seek(int tag, std::string_view key)
{
    d->drain();
    MdxTree tree = d->tree(tag);
    const Key normal = d->normalize(d->checked(tag), key);
    Path path;
    const bool found = tree.lowerBound(tree.order().probe(normal.data(), 0), path);
    return d->land(tag, path, found);
}

std::vector<IndexEntry> MdxFile::verify(int tag)
{
    d->drain();
    std::vector<IndexEntry> entries = d->tree(tag).verify();
    d->pages.trim();
    return entries;
}

void MdxFile::flush()
{
    d->drain();
    d->pages.flush();
}

void MdxFile::sync()
{
    d->drain();
    d->pages.flush();
    d->file->sync();
}

void MdxFile::invalidate()
{
    // Waiting entries are changes not flushed: forgotten with the cache.
    d->pending.clear();
    d->pendingKeys.clear();
    d->torn.clear();
    d->load();
}

std::uint64_t MdxFile::writeCount() const
{
    return d->pages.writes();
}

MdxPages& MdxFile::pages()
{
    d->drain();
    return d->pages;
}

TagLayout& MdxFile::layout(int tag)
{
    Impl::Tag& t = d->checked(tag);
    d->refuseUnusable(t);
    return t.layout;
}

int MdxFile::compareKeys(int tag, std::string_view a, std::string_view b) const
{
    const Impl::Tag& t = d->checked(tag);
    const Key left = d->normalize(t, a);
    const Key right = d->normalize(t, b);
    const KeyOrder order(t.layout);
    return order.compare(left.data(), order.probe(right.data(), 0));
}

} // namespace dbase
