#include "MemoryFile.h"
#include "TempDir.h"
#include "TestRegistry.h"
#include "dbase/DatabaseError.h"
#include "dbase/Expression.h"
#include "dbase/MdxFile.h"
#include "dbase/MdxScan.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <algorithm>
#include <numeric>
#include <random>
#include <set>

using dbase::IndexEntry;
using dbase::MdxFile;
using dbase::TagDefinition;
using dbase::ValueType;
using testing::MemoryFile;

namespace {

// The order a tag must have, worked out without the index code.
struct Order {
    ValueType type = ValueType::Character;
    bool descending = false;

    double value(const std::string& key) const
    {
        return type == ValueType::Numeric ? dbase::numericKeyValue(key) : dbase::dateKeyValue(key);
    }
    int keys(const std::string& a, const std::string& b) const
    {
        int result = 0;
        if (type == ValueType::Character)
            result = a.compare(b);
        else
            result = value(a) < value(b) ? -1 : (value(b) < value(a) ? 1 : 0);
        result = (result > 0) - (result < 0);
        return descending ? -result : result;
    }
    bool operator()(const IndexEntry& a, const IndexEntry& b) const
    {
        const int byKey = keys(a.key, b.key);
        return byKey != 0 ? byKey < 0 : a.recno < b.recno;
    }
};

using Model = std::set<IndexEntry, Order>;

TagDefinition definition(const std::string& name, ValueType type, int keyLength, bool descending = false,
                         bool unique = false)
{
    TagDefinition tag;
    tag.name = name;
    tag.expression = "UPPER(" + name + ")";
    tag.keyType = type;
    tag.keyLength = type == ValueType::Numeric ? 12 : (type == ValueType::Date ? 8 : keyLength);
    tag.descending = descending;
    tag.unique = unique;
    return tag;
}

// Keys drawn from `distinct` values, so duplicates are common; character
// keys include bytes above 0x7F, which must sort after the letters.
std::string randomKey(std::mt19937& random, ValueType type, int keyLength, int distinct)
{
    const auto pick = unsigned(random() % unsigned(distinct));
    if (type == ValueType::Numeric) {
        static const double special[] = {-1e9,  -1000.5, -1, -0.5, -0.001, 0,
                                         0.001, 0.5,     1,  2.25, 99.99,  1e12};
        return dbase::numericKey(pick < 12 ? special[pick] : (double(pick) - distinct / 2.0) / 4);
    }
    if (type == ValueType::Date)
        return dbase::dateKey(pick == 0 ? 0.0 : 2415021.0 + pick * 37);
    static const char letters[] = "ABCabc z\xE9\x80";
    std::string key;
    unsigned bits = pick * 2654435761u;
    for (unsigned k = 0, length = 1 + pick % 7; k < length; ++k, bits = bits * 69069u + 1)
        key += letters[(bits >> 16) % (sizeof letters - 1)];
    key.resize(std::size_t(keyLength), ' ');
    return key;
}

std::vector<IndexEntry> randomEntries(std::mt19937& random, ValueType type, int keyLength, int count,
                                      int distinct)
{
    std::vector<IndexEntry> entries;
    for (int i = 1; i <= count; ++i)
        entries.push_back({randomKey(random, type, keyLength, distinct), std::uint32_t(i)});
    std::shuffle(entries.begin(), entries.end(), random);
    return entries;
}

// What a tag built from `entries` holds: for a unique tag the first record of each key.
Model modelOf(const Order& order, const std::vector<IndexEntry>& entries, bool unique)
{
    Model all(order);
    all.insert(entries.begin(), entries.end());
    if (!unique)
        return all;
    Model kept(order);
    for (const IndexEntry& e : all)
        if (kept.empty() || order.keys(std::prev(kept.end())->key, e.key) != 0)
            kept.insert(kept.end(), e);
    return kept;
}

// Every entry of a tag, in tag order, found by stepping forward or backward.
std::vector<IndexEntry> walk(MdxFile& mdx, int tag, bool forward = true)
{
    std::vector<IndexEntry> out;
    for (auto e = forward ? mdx.first(tag) : mdx.last(tag); e && out.size() < 1000000;
         e = forward ? mdx.after(tag, *e) : mdx.before(tag, *e))
        out.push_back(*e);
    if (!forward)
        std::reverse(out.begin(), out.end());
    return out;
}

std::vector<std::uint32_t> recnos(const std::vector<IndexEntry>& entries)
{
    std::vector<std::uint32_t> out;
    for (const IndexEntry& e : entries)
        out.push_back(e.recno);
    return out;
}

// Empty when equal, else where the two first differ.
std::string mismatch(const std::vector<IndexEntry>& actual, const Model& expected)
{
    auto e = expected.begin();
    for (std::size_t i = 0; i < actual.size() && e != expected.end(); ++i, ++e)
        if (actual[i].key != e->key || actual[i].recno != e->recno)
            return "entry " + std::to_string(i) + " is record " + std::to_string(actual[i].recno) + ", not " +
                   std::to_string(e->recno);
    return actual.size() == expected.size()
               ? std::string()
               : std::to_string(actual.size()) + " entries, not " + std::to_string(expected.size());
}

#define COMPARE_ENTRIES(actual, expected)                                                                    \
    do {                                                                                                     \
        const std::string difference = mismatch(actual, expected);                                           \
        QVERIFY2(difference.empty(), difference.c_str());                                                    \
    } while (false)

struct Opened {
    std::unique_ptr<MemoryFile> bytes; // shares the bytes the MdxFile writes
    std::unique_ptr<MdxFile> mdx;
};

Opened createInMemory()
{
    auto file = std::make_unique<MemoryFile>();
    Opened opened{file->reopen(), nullptr};
    opened.mdx = MdxFile::create(std::move(file), "TEST");
    return opened;
}

std::unique_ptr<MdxFile> reopen(MemoryFile& bytes)
{
    return MdxFile::open(bytes.reopen());
}

std::uint32_t le32(const std::string& bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | std::uint8_t(bytes[offset + std::size_t(i)]);
    return value;
}

void put32(std::string& bytes, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + std::size_t(i)] = char(value >> (8 * i));
}

// The highest key under `page` of the first tag's tree, read from the file's
// bytes; adds to `wrong` every separator that is not the highest key below it
// and every interior node left with a single pointer.
std::string highestKey(const std::string& b, std::uint32_t page, int keyLength, std::string& wrong)
{
    const std::size_t node = std::size_t(page) * 512, item = std::size_t(keyLength + 7) / 4 * 4;
    const std::uint32_t count = le32(b, node);
    if (le32(b, node + 8 + count * item) == 0)
        return count ? b.substr(node + 8 + (count - 1) * item + 4, std::size_t(keyLength)) : std::string();
    if (count == 0)
        wrong += " page " + std::to_string(page) + " has one pointer";
    for (std::uint32_t i = 0; i < count; ++i)
        if (highestKey(b, le32(b, node + 8 + i * item), keyLength, wrong) !=
            b.substr(node + 8 + i * item + 4, std::size_t(keyLength)))
            wrong += " page " + std::to_string(page) + " item " + std::to_string(i);
    return highestKey(b, le32(b, node + 8 + count * item), keyLength, wrong);
}

// The most keys any interior node under `page` holds, read from the file's bytes.
std::uint32_t fullestInterior(const std::string& b, std::uint32_t page, int keyLength)
{
    const std::size_t node = std::size_t(page) * 512, item = std::size_t(keyLength + 7) / 4 * 4;
    const std::uint32_t count = le32(b, node);
    if (le32(b, node + 8 + count * item) == 0)
        return 0;
    std::uint32_t most = count;
    for (std::uint32_t i = 0; i <= count; ++i)
        most = std::max(most, fullestInterior(b, le32(b, node + 8 + i * item), keyLength));
    return most;
}

// Leaf pages of the first tag's tree in key order, read from the file's bytes.
void leafPages(const std::string& b, std::uint32_t page, int keyLength, std::vector<std::uint32_t>& out)
{
    const std::size_t node = std::size_t(page) * 512, item = std::size_t(keyLength + 7) / 4 * 4;
    const std::uint32_t count = le32(b, node);
    if (le32(b, node + 8 + count * item) == 0) {
        out.push_back(page);
        return;
    }
    for (std::uint32_t i = 0; i <= count; ++i)
        leafPages(b, le32(b, node + 8 + i * item), keyLength, out);
}

// Stores every run of equal keys within a leaf in descending record order,
// as another xBase engine does.
void reverseEqualKeys(std::string& b, int keyLength)
{
    const std::size_t header = std::size_t(le32(b, 544)) * 512, item = std::size_t(keyLength + 7) / 4 * 4;
    std::vector<std::uint32_t> leaves;
    leafPages(b, le32(b, header), keyLength, leaves);
    for (std::uint32_t page : leaves) {
        const std::size_t node = std::size_t(page) * 512;
        const std::uint32_t count = le32(b, node);
        for (std::uint32_t start = 0; start < count;) {
            std::uint32_t end = start + 1;
            while (end < count && b.compare(node + 12 + end * item, std::size_t(keyLength), b,
                                            node + 12 + start * item, std::size_t(keyLength)) == 0)
                ++end;
            std::vector<std::uint32_t> run;
            for (std::uint32_t i = start; i < end; ++i)
                run.push_back(le32(b, node + 8 + i * item));
            std::sort(run.rbegin(), run.rend());
            for (std::uint32_t i = start; i < end; ++i)
                put32(b, node + 8 + i * item, run[i - start]);
            start = end;
        }
    }
}

} // namespace

class MdxTest : public QObject {
    Q_OBJECT
private slots:
    void fixture();
    void layout();
    void build_data();
    void build();
    void randomChanges_data();
    void randomChanges();
    void deleteTagReusesSpace();
    void blocksWrittenPerInsert();
    void damaged_data();
    void damaged();
    void failedFlushKeepsLastFlushedState_data();
    void failedFlushKeepsLastFlushedState();
    void refusesBadTags_data();
    void refusesBadTags();
    void readByIndexDump();
    void bulkBuildMatchesInserts();
    void interiorNodesLeaveOneKeyFree_data();
    void interiorNodesLeaveOneKeyFree();
    void equalKeysInAnyRecordOrder();
    void tableNameInTheHeader_data();
    void tableNameInTheHeader();
    void tagWithLongerKeysIsListedAsUnusable();
    void tagNamesOtherEnginesWrite();
};

void MdxTest::fixture()
{
    const std::string path = std::string(SHELVANO_FIXTURES) + "/dbase4/TEST.MDX";
    if (!QFile::exists(QString::fromStdString(path)))
        QFAIL(("the dBase IV fixture is missing: " + path).c_str());
    auto mdx = MdxFile::open(dbase::defaultFileSystem().open(path, dbase::OpenMode::ReadOnly));
    QCOMPARE(mdx->tagCount(), 2);
    QCOMPARE(mdx->findTag("test2"), 1);
    const TagDefinition& first = mdx->tag(0);
    QCOMPARE(first.name, std::string("TEST1"));
    QCOMPARE(first.keyType, ValueType::Character);
    QCOMPARE(first.keyLength, 50);
    QCOMPARE(mdx->tag(1).expression, std::string("test2"));
    QCOMPARE(mdx->tag(1).keyType, ValueType::Numeric);

    QCOMPARE(recnos(walk(*mdx, 0)), (std::vector<std::uint32_t>{3, 1, 2}));
    QCOMPARE(recnos(walk(*mdx, 1, false)), (std::vector<std::uint32_t>{1, 3, 2}));
    QCOMPARE(recnos(mdx->verify(1)), (std::vector<std::uint32_t>{1, 3, 2}));
    QCOMPARE(dbase::numericKeyValue(mdx->last(1)->key), 20.0);
    QCOMPARE(mdx->seek(0, "test2")->recno, 2u);
    QCOMPARE(mdx->seek(1, dbase::numericKey(12))->recno, 3u);
    QVERIFY(!mdx->seek(1, dbase::numericKey(21)));
}

// The bytes other dBase programs read: header, tag table with its tree of
// names, tag header.
void MdxTest::layout()
{
    Opened file = createInMemory();
    MdxFile& mdx = *file.mdx;
    for (const char* name : {"M", "C", "X", "A"})
        mdx.addTag(definition(name, ValueType::Character, 20), {{std::string(20, 'k'), 1}});
    TagDefinition dated = definition("WHEN", ValueType::Date, 8, true, true);
    dated.forExpression = ".NOT. DELETED()";
    mdx.addTag(dated, {{dbase::dateKey(2451545), 7}});
    mdx.deleteTag(mdx.findTag("C"));
    mdx.flush();

    const std::string& b = file.bytes->bytes();
    QCOMPARE(int(b[0]), 2);
    QCOMPARE(b.substr(4, 5), std::string("TEST\0", 5));
    QCOMPARE(le32(b, 20), 0x04000002u); // 2 pages per block, 1024 bytes
    QCOMPARE(int(b[24]), 1);
    QCOMPARE(int(b[25]), 48);
    QCOMPARE(int(b[26]), 32);
    QCOMPARE(int(b[28]), 4);
    QCOMPARE(std::uint64_t(le32(b, 32)) * 512, std::uint64_t(b.size()));
    QCOMPARE(int(b[529]), 1);
    // Slots M, X, A, WHEN: M is the root with A left and X right; WHEN is left of X.
    const char* expectedLinks[] = {"\x03\x02\x00", "\x04\x00\x01", "\x00\x00\x01", "\x00\x00\x02"};
    for (int i = 0; i < 4; ++i) {
        const std::size_t slot = 544 + std::size_t(i) * 32;
        QCOMPARE(b.substr(slot + 16, 3), std::string(expectedLinks[i], 3));
        QCOMPARE(int(b[slot + 15]), 0x10);
        QCOMPARE(int(b[slot + 19]), 0x02);
    }
    QCOMPARE(b.substr(544 + 4 * 32, 32), std::string(32, '\0'));

    const std::size_t when = std::size_t(le32(b, 544 + 3 * 32)) * 512;
    QCOMPARE(b.substr(544 + 3 * 32 + 4, 5), std::string("WHEN\0", 5));
    QCOMPARE(int(std::uint8_t(b[when + 8])), 0x10 | 0x08 | 0x40);
    QCOMPARE(b[when + 9], 'D');
    QCOMPARE(le32(b, when + 12), (84u << 16) | 8u); // key length, keys per block
    QCOMPARE(le32(b, when + 16), (12u << 16) | 1u); // date marker, item length
    QCOMPARE(int(std::uint8_t(b[when + 23])), 0x40);
    QCOMPARE(b.substr(when + 24, 13), std::string("UPPER(WHEN)\0\0", 13));
    QCOMPARE(int(b[when + 245]), 1);
    QCOMPARE(b.substr(when + 762, 16), std::string(".NOT. DELETED()\0", 16));
    QCOMPARE(int(b[when + 246]), 1);
    const std::uint32_t root = le32(b, when);
    QCOMPARE(le32(b, when + 248), root);
    QCOMPARE(le32(b, when + 252), root);
    QCOMPARE(le32(b, when + 4), 2u);
    QCOMPARE(le32(b, std::size_t(root) * 512), 1u); // one key, record 7, then a zero pointer: a leaf
    QCOMPARE(le32(b, std::size_t(root) * 512 + 8), 7u);
    QCOMPARE(le32(b, std::size_t(root) * 512 + 8 + 12), 0u);
}

void MdxTest::build_data()
{
    QTest::addColumn<ValueType>("type");
    QTest::addColumn<int>("keyLength");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<bool>("unique");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("distinct");
    QTest::newRow("character") << ValueType::Character << 30 << false << false << 5000 << 400;
    QTest::newRow("character, long keys, deep")
        << ValueType::Character << 100 << false << false << 3000 << 3000;
    QTest::newRow("character descending") << ValueType::Character << 10 << true << false << 2000 << 50;
    QTest::newRow("character unique") << ValueType::Character << 10 << false << true << 3000 << 300;
    QTest::newRow("character unique descending") << ValueType::Character << 10 << true << true << 3000 << 300;
    QTest::newRow("numeric") << ValueType::Numeric << 12 << false << false << 4000 << 900;
    QTest::newRow("numeric descending") << ValueType::Numeric << 12 << true << false << 4000 << 900;
    QTest::newRow("numeric unique") << ValueType::Numeric << 12 << false << true << 4000 << 900;
    QTest::newRow("date") << ValueType::Date << 8 << false << false << 3000 << 500;
    QTest::newRow("date descending") << ValueType::Date << 8 << true << false << 3000 << 500;
    QTest::newRow("empty") << ValueType::Character << 10 << false << false << 0 << 1;
    QTest::newRow("one entry") << ValueType::Numeric << 12 << false << false << 1 << 1;
    QTest::newRow("one full leaf and one more") << ValueType::Character << 100 << false << false << 10 << 10;
}

void MdxTest::build()
{
    QFETCH(ValueType, type);
    QFETCH(int, keyLength);
    QFETCH(bool, descending);
    QFETCH(bool, unique);
    QFETCH(int, count);
    QFETCH(int, distinct);
    std::mt19937 random(count);
    const std::vector<IndexEntry> entries = randomEntries(random, type, keyLength, count, distinct);
    const Model model = modelOf({type, descending}, entries, unique);

    Opened file = createInMemory();
    const int tag = file.mdx->addTag(definition("KEY", type, keyLength, descending, unique), entries);
    COMPARE_ENTRIES(walk(*file.mdx, tag), model);
    COMPARE_ENTRIES(walk(*file.mdx, tag, false), model);
    file.mdx->flush();

    auto mdx = reopen(*file.bytes);
    QCOMPARE(mdx->tag(0).descending, descending);
    QCOMPARE(mdx->tag(0).unique, unique);
    QCOMPARE(mdx->tag(0).keyType, type);
    COMPARE_ENTRIES(mdx->verify(0), model);
    for (int i = 0; i < 50; ++i) {
        const std::string key = randomKey(random, type, keyLength, distinct + 5);
        const auto expected = std::find_if(model.begin(), model.end(), [&](const IndexEntry& e) {
            return Order{type, descending}.keys(e.key, key) >= 0;
        });
        const auto found =
            mdx->seek(0, type == ValueType::Character ? key.substr(0, key.find_last_not_of(' ') + 1) : key);
        QCOMPARE(bool(found), expected != model.end());
        if (found)
            QCOMPARE(found->recno, expected->recno);
    }
}

void MdxTest::randomChanges_data()
{
    QTest::addColumn<ValueType>("type");
    QTest::addColumn<int>("keyLength");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<bool>("unique");
    QTest::addColumn<int>("distinct");
    // 100-byte keys give 9 keys a node: deep trees, many splits and merges.
    QTest::newRow("long keys, many duplicates") << ValueType::Character << 100 << false << false << 40;
    QTest::newRow("long keys, few duplicates") << ValueType::Character << 100 << false << false << 100000;
    QTest::newRow("descending") << ValueType::Character << 60 << true << false << 200;
    QTest::newRow("unique") << ValueType::Character << 100 << false << true << 3000;
    QTest::newRow("numeric") << ValueType::Numeric << 12 << false << false << 500;
    QTest::newRow("date descending unique") << ValueType::Date << 8 << true << true << 2000;
}

void MdxTest::randomChanges()
{
    QFETCH(ValueType, type);
    QFETCH(int, keyLength);
    QFETCH(bool, descending);
    QFETCH(bool, unique);
    QFETCH(int, distinct);
    const Order order{type, descending};
    std::mt19937 random(unsigned(distinct + keyLength));
    std::vector<IndexEntry> initial = randomEntries(random, type, keyLength, 400, distinct);
    Model model = modelOf(order, initial, unique);
    Opened file = createInMemory();
    std::unique_ptr<MdxFile> mdx = std::move(file.mdx);
    mdx->addTag(definition("KEY", type, keyLength, descending, unique), initial);
    std::uint32_t nextRecno = 401;

    auto check = [&] {
        COMPARE_ENTRIES(walk(*mdx, 0), model);
        COMPARE_ENTRIES(walk(*mdx, 0, false), model);
        COMPARE_ENTRIES(mdx->verify(0), model);
        for (int i = 0; i < 20; ++i) {
            const IndexEntry probe{randomKey(random, type, keyLength, distinct),
                                   std::uint32_t(random() % nextRecno)};
            const auto next = model.upper_bound(probe);
            const auto after = mdx->after(0, probe);
            QCOMPARE(bool(after), next != model.end());
            if (after)
                QCOMPARE(after->recno, next->recno);
            const auto previous = model.lower_bound(probe);
            const auto sought = mdx->seek(0, probe.key);
            const auto atKey = model.lower_bound({probe.key, 0});
            QCOMPARE(bool(sought), atKey != model.end());
            if (sought)
                QCOMPARE(sought->recno, atKey->recno);
            const auto before = mdx->before(0, probe);
            QCOMPARE(bool(before), previous != model.begin());
            if (before)
                QCOMPARE(before->recno, std::prev(previous)->recno);
        }
    };
    auto checkBytes = [&] {
        mdx->flush();
        const std::string& b = file.bytes->bytes();
        std::string wrong;
        highestKey(b, le32(b, std::size_t(le32(b, 544)) * 512), mdx->tag(0).keyLength, wrong);
        QVERIFY2(wrong.empty(), ("badly formed nodes:" + wrong).c_str());
    };
    auto change = [&](bool insert) {
        if (insert) {
            const std::uint32_t recno =
                random() % 4 == 0 ? std::uint32_t(1 + random() % nextRecno) : nextRecno++;
            const IndexEntry entry{randomKey(random, type, keyLength, distinct), recno};
            mdx->insert(0, entry.key, entry.recno);
            const auto same = model.lower_bound({entry.key, 0});
            if (!unique || same == model.end() || order.keys(same->key, entry.key) != 0)
                model.insert(entry);
            return;
        }
        IndexEntry entry{randomKey(random, type, keyLength, distinct), std::uint32_t(random() % nextRecno)};
        if (!model.empty() && random() % 5 != 0)
            entry = *std::next(model.begin(), long(random() % model.size()));
        QCOMPARE(mdx->remove(0, entry.key, entry.recno), model.erase(entry) == 1);
    };

    for (int batch = 0; batch < 30; ++batch) {
        for (int i = 0; i < 150; ++i) {
            change(random() % 3 != 0);
            if (QTest::currentTestFailed())
                return;
        }
        check();
        if (QTest::currentTestFailed())
            return;
        if (batch % 10 == 9) {
            checkBytes();
            mdx = reopen(*file.bytes);
        }
    }
    // Down to nothing and up again: every merge and the root collapsing.
    while (!model.empty()) {
        change(false);
        if (model.size() % 300 == 0) {
            check();
            checkBytes();
        }
        if (QTest::currentTestFailed())
            return;
    }
    check();
    QVERIFY(!mdx->first(0));
    for (int i = 0; i < 200; ++i)
        change(true);
    mdx->flush();
    mdx = reopen(*file.bytes);
    check();
}

void MdxTest::deleteTagReusesSpace()
{
    std::mt19937 random(7);
    const auto entries = randomEntries(random, ValueType::Character, 40, 10000, 5000);
    Opened file = createInMemory();
    file.mdx->addTag(definition("STAYS", ValueType::Numeric, 12), {{dbase::numericKey(5), 1}});
    std::size_t sizeAfterFirst = 0;
    for (int cycle = 0; cycle < 20; ++cycle) {
        const int found = file.mdx->findTag("SORT");
        if (found >= 0)
            file.mdx->deleteTag(found);
        file.mdx->addTag(definition("SORT", ValueType::Character, 40, cycle % 2 == 1), entries);
        file.mdx->flush();
        if (cycle == 0)
            sizeAfterFirst = file.bytes->bytes().size();
        QVERIFY2(file.bytes->bytes().size() <= sizeAfterFirst, std::to_string(cycle).c_str());
    }
    auto mdx = reopen(*file.bytes);
    QCOMPARE(mdx->tagCount(), 2);
    QCOMPARE(mdx->verify(mdx->findTag("SORT")).size(), entries.size());
    QCOMPARE(mdx->verify(mdx->findTag("STAYS")).size(), std::size_t(1));
}

// Only the changed blocks are written: for most inserts the leaf alone, and
// nothing at all when nothing changed.
void MdxTest::blocksWrittenPerInsert()
{
    std::mt19937 random(3);
    Opened file = createInMemory();
    file.mdx->addTag(definition("KEY", ValueType::Character, 72), {});
    for (std::uint32_t i = 1; i <= 3000; ++i)
        file.mdx->insert(0, randomKey(random, ValueType::Character, 72, 100000), i);
    file.mdx->flush();
    MemoryFile::Shared& counters = file.bytes->shared();
    std::vector<std::uint64_t> writes;
    for (std::uint32_t i = 0; i < 301; ++i) {
        const std::uint64_t before = counters.writes;
        file.mdx->insert(0, randomKey(random, ValueType::Character, 72, 100000), 5000 + i);
        file.mdx->flush();
        writes.push_back(counters.writes - before);
    }
    std::sort(writes.begin(), writes.end());
    QCOMPARE(writes[150], std::uint64_t(1));
    // A split adds the new node, the parent and the file header (new end of
    // file); splits going further up add two blocks a level.
    const std::uint64_t total = std::accumulate(writes.begin(), writes.end(), std::uint64_t(0));
    qInfo("blocks written for 301 inserts: %llu, at most %llu for one", (unsigned long long)total,
          (unsigned long long)writes.back());
    QVERIFY2(total <= 301 * 2, std::to_string(total).c_str());
    QVERIFY2(writes.back() <= 9, std::to_string(writes.back()).c_str());
    const std::uint64_t before = counters.writes;
    file.mdx->flush();
    QCOMPARE(counters.writes, before);
}

void MdxTest::damaged_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("message");
    auto row = [](const char* name, const char* damage, const char* message) {
        QTest::newRow(name) << QString(damage) << QString(message);
    };
    row("truncated", "truncate", "beyond the end of the file");
    row("child pointing at the root", "cycle", "levels (a loop");
    row("key length 300", "keyLength", "keys of 300 bytes");
    row("child beyond the end", "childBeyond", "node at page 16777215 beyond the end of the file");
    row("too many keys in a node", "count", "holding 500 keys");
    row("keys out of order", "order", "out of order");
    row("48 tags", "tags", "48 tags");
    row("tag header beyond the end", "header", "has its header at page");
    row("shorter than a header", "short", "too short");
}

void MdxTest::damaged()
{
    QFETCH(QString, damage);
    QFETCH(QString, message);
    std::vector<IndexEntry> entries;
    for (std::uint32_t i = 1; i <= 2000; ++i)
        entries.push_back({std::to_string(100000 + i), i});
    Opened file = createInMemory();
    file.mdx->addTag(definition("TITLE", ValueType::Character, 50), entries);
    file.mdx->flush();
    std::string bytes = file.bytes->bytes();
    const std::size_t header = std::size_t(le32(bytes, 544)) * 512;
    const std::size_t root = std::size_t(le32(bytes, header)) * 512;
    const std::size_t firstLeaf = std::size_t(le32(bytes, header + 248)) * 512;
    if (damage == "truncate")
        bytes.resize(bytes.size() / 2);
    else if (damage == "cycle")
        put32(bytes, std::size_t(le32(bytes, root + 8)) * 512 + 8, std::uint32_t(root / 512));
    else if (damage == "keyLength")
        put32(bytes, header + 12, 300);
    else if (damage == "childBeyond")
        put32(bytes, root + 8, 0xFFFFFF);
    else if (damage == "count")
        put32(bytes, root, 500);
    else if (damage == "order")
        std::swap_ranges(bytes.begin() + long(firstLeaf) + 12, bytes.begin() + long(firstLeaf) + 62,
                         bytes.begin() + long(firstLeaf) + 12 + 17 * 56); // first and last key of a full leaf
    else if (damage == "tags")
        bytes[28] = 48;
    else if (damage == "header")
        put32(bytes, 544, 0x7FFFFFF);
    else if (damage == "short")
        bytes.resize(1000);

    const std::string path = "/memory/TEST.MDX";
    auto expectDamage = [&](const std::function<void(MdxFile&)>& read) {
        try {
            auto mdx = MdxFile::open(std::make_unique<MemoryFile>(path, bytes));
            read(*mdx);
            QFAIL("no damage found");
        } catch (const dbase::DatabaseError& error) {
            const QString text = QString::fromStdString(error.what());
            QVERIFY2(text.startsWith(QString::fromStdString("The index file " + path + " is damaged: ")),
                     error.what());
            QVERIFY2(text.contains(message), error.what());
        }
    };
    expectDamage([&](MdxFile& mdx) {
        walk(mdx, 0);
        walk(mdx, 0, false);
        mdx.verify(0);
    });
    // The quick leaf walk of the row map finds the same damage.
    expectDamage([](MdxFile& mdx) { scanTag(mdx, 0, [](std::uint32_t) { return true; }); });
}

void MdxTest::failedFlushKeepsLastFlushedState_data()
{
    QTest::addColumn<int>("budget");
    for (int budget : {0, 1, 1024, 5000, 40000})
        QTest::newRow(std::to_string(budget).c_str()) << budget;
}

// A full disk fails the writes that grow the file; those come first, so the
// blocks of the last flushed state are untouched when it happens. (A failure
// while rewriting blocks in place, which a full disk does not cause, can
// leave a mixed state.)
void MdxTest::failedFlushKeepsLastFlushedState()
{
    QFETCH(int, budget);
    std::mt19937 random(5);
    const auto entries = randomEntries(random, ValueType::Character, 20, 3000, 3000);
    Opened file = createInMemory();
    MdxFile& mdx = *file.mdx;
    mdx.addTag(definition("A", ValueType::Character, 20), entries);
    mdx.flush();
    const std::string flushed = file.bytes->bytes();

    for (int i = 0; i < 200; ++i)
        mdx.insert(0, randomKey(random, ValueType::Character, 20, 3000), 5000 + std::uint32_t(i));
    mdx.addTag(definition("B", ValueType::Numeric, 12),
               {{dbase::numericKey(1), 1}, {dbase::numericKey(-1), 2}});
    file.bytes->failWritesAfter(budget);
    QVERIFY_THROWS_EXCEPTION(dbase::IoError, mdx.flush());

    auto old = MdxFile::open(std::make_unique<MemoryFile>("/memory/OLD.MDX", file.bytes->bytes()));
    QCOMPARE(old->tagCount(), 1);
    COMPARE_ENTRIES(old->verify(0), modelOf({}, entries, false));
    QCOMPARE(file.bytes->bytes().substr(0, 2048), flushed.substr(0, 2048));

    file.bytes->failWritesAfter(-1);
    mdx.flush();
    auto now = reopen(*file.bytes);
    QCOMPARE(now->tagCount(), 2);
    QCOMPARE(now->verify(0).size(), entries.size() + 200);
    QCOMPARE(now->verify(1).size(), std::size_t(2));
    QVERIFY2(std::size_t(budget) < file.bytes->bytes().size() - flushed.size(),
             "the failure hit no growing write");
}

void MdxTest::refusesBadTags_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("keyLength");
    QTest::addColumn<QString>("message");
    QTest::newRow("name too long") << "ELEVENCHARS" << 10 << "tag name";
    QTest::newRow("name with a blank") << "A B" << 10 << "tag name";
    QTest::newRow("key too long") << "KEY" << 101 << "1 to 100";
    QTest::newRow("existing name, other case") << "existing" << 10 << "already has a tag named EXISTING";
}

void MdxTest::refusesBadTags()
{
    QFETCH(QString, name);
    QFETCH(int, keyLength);
    QFETCH(QString, message);
    Opened file = createInMemory();
    file.mdx->addTag(definition("EXISTING", ValueType::Character, 10), {});
    try {
        file.mdx->addTag(definition(name.toStdString(), ValueType::Character, keyLength), {{"x", 1}});
        QFAIL("the tag was added");
    } catch (const dbase::DatabaseError& error) {
        QVERIFY2(QString::fromStdString(error.what()).contains(message), error.what());
    }
    QCOMPARE(file.mdx->tagCount(), 1);
}

// Debian's Perl xBase reader walks the trees we write, including ones
// reshaped by inserts and removals, in the same order we do.
void MdxTest::readByIndexDump()
{
    const QString indexDump = QStandardPaths::findExecutable("index_dump");
    if (indexDump.isEmpty())
        QSKIP("index_dump (libdbd-xbase-perl) is not installed");
    TempDir dir;
    const std::string path = dir.path("BOOKS.MDX");
    std::mt19937 random(13);
    auto mdx =
        MdxFile::create(dbase::defaultFileSystem().open(path, dbase::OpenMode::CreateReadWrite), "BOOKS");
    mdx->addTag(definition("TITLE", ValueType::Character, 40),
                randomEntries(random, ValueType::Character, 40, 1500, 300));
    mdx->addTag(definition("PRICE", ValueType::Numeric, 12, true),
                randomEntries(random, ValueType::Numeric, 12, 1500, 300));
    for (int tag = 0; tag < 2; ++tag) {
        for (int i = 0; i < 800; ++i) {
            const auto e = mdx->seek(tag, randomKey(random, mdx->tag(tag).keyType, 40, 300));
            if (e && i % 2 == 0)
                mdx->remove(tag, e->key, e->recno);
            else
                mdx->insert(tag, randomKey(random, mdx->tag(tag).keyType, 40, 300), 2000 + std::uint32_t(i));
        }
    }
    mdx->flush();
    for (int tag = 0; tag < 2; ++tag) {
        QProcess process;
        process.start(indexDump,
                      {"--tag", QString::fromStdString(mdx->tag(tag).name), QString::fromStdString(path)});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 0);
        std::vector<std::uint32_t> theirs;
        for (const QByteArray& line : process.readAllStandardOutput().split('\n'))
            if (!line.isEmpty())
                theirs.push_back(line.mid(line.lastIndexOf(' ') + 1).toUInt());
        QCOMPARE(theirs, recnos(mdx->verify(tag)));
    }
}

// A tree built in one pass and one grown by single inserts, with their
// splits, must hold the same entries in the same order.
void MdxTest::bulkBuildMatchesInserts()
{
    constexpr int kCount = 20000;
    std::mt19937 random(17);
    std::vector<IndexEntry> entries = randomEntries(random, ValueType::Character, 72, kCount, 1 << 30);
    TempDir dir;
    auto mdx = MdxFile::create(
        dbase::defaultFileSystem().open(dir.path("BULK.MDX"), dbase::OpenMode::CreateReadWrite), "BULK");
    mdx->addTag(definition("BULK", ValueType::Character, 72), entries);
    mdx->addTag(definition("ONEBYONE", ValueType::Character, 72), {});
    for (const IndexEntry& e : entries)
        mdx->insert(1, e.key, e.recno);
    mdx->flush();
    std::vector<IndexEntry> bulk = mdx->verify(0), grown = mdx->verify(1);
    QCOMPARE(bulk.size(), std::size_t(kCount));
    QCOMPARE(recnos(grown), recnos(bulk));
    std::size_t walked = 0;
    for (auto e = mdx->first(1); e; e = mdx->after(1, *e))
        ++walked;
    QCOMPARE(walked, std::size_t(kCount));
}

void MdxTest::interiorNodesLeaveOneKeyFree_data()
{
    QTest::addColumn<int>("keyLength");
    QTest::addColumn<bool>("oneByOne");
    QTest::newRow("long keys, built at once") << 100 << false;
    QTest::newRow("long keys, inserted") << 100 << true;
    QTest::newRow("short keys, built at once") << 12 << false;
    QTest::newRow("short keys, inserted") << 12 << true;
}

// A node holding as many keys as the header's keys per block is a leaf to
// other readers (Free Pascal's TDbf), whatever its last pointer says.
void MdxTest::interiorNodesLeaveOneKeyFree()
{
    QFETCH(int, keyLength);
    QFETCH(bool, oneByOne);
    std::mt19937 random{unsigned(keyLength)};
    const auto entries = randomEntries(random, ValueType::Character, keyLength, 6000, 1 << 30);
    Opened file = createInMemory();
    file.mdx->addTag(definition("KEY", ValueType::Character, keyLength),
                     oneByOne ? std::vector<IndexEntry>() : entries);
    if (oneByOne) {
        for (const IndexEntry& e : entries)
            file.mdx->insert(0, e.key, e.recno);
        for (std::size_t i = 0; i < entries.size(); i += 3)
            file.mdx->remove(0, entries[i].key, entries[i].recno);
    }
    file.mdx->flush();
    const std::string& b = file.bytes->bytes();
    const std::size_t header = std::size_t(le32(b, 544)) * 512;
    const std::uint32_t perBlock = le32(b, header + 14) & 0xFFFF;
    const std::uint32_t fullest = fullestInterior(b, le32(b, header), keyLength);
    QVERIFY2(fullest > 0, "the tree has no interior node");
    QVERIFY2(fullest < perBlock, (std::to_string(fullest) + " keys in an interior node").c_str());
    QCOMPARE(file.mdx->verify(0).size(),
             oneByOne ? entries.size() - (entries.size() + 2) / 3 : entries.size());
}

// Equal keys stored in descending record order (another writer's habit):
// the tree is whole, every entry can be walked to, stepped from and removed.
void MdxTest::equalKeysInAnyRecordOrder()
{
    std::mt19937 random(23);
    const auto entries = randomEntries(random, ValueType::Character, 20, 3000, 12);
    Opened file = createInMemory();
    file.mdx->addTag(definition("AUTHOR", ValueType::Character, 20), entries);
    file.mdx->flush();
    std::string bytes = file.bytes->bytes();
    reverseEqualKeys(bytes, 20);
    QVERIFY(bytes != file.bytes->bytes());
    auto mdx = MdxFile::open(std::make_unique<MemoryFile>("/memory/FOREIGN.MDX", bytes));

    const std::vector<IndexEntry> stored = mdx->verify(0);
    QCOMPARE(stored.size(), entries.size());
    QVERIFY(stored[0].recno > stored[1].recno); // the patch took effect
    QCOMPARE(recnos(walk(*mdx, 0)), recnos(stored));
    QCOMPARE(recnos(walk(*mdx, 0, false)), recnos(stored));
    // Stepping from an entry the last call did not land on.
    for (std::size_t i = 1; i + 1 < stored.size(); i += 97) {
        mdx->first(0);
        const auto next = mdx->after(0, stored[i]);
        QVERIFY(next);
        QCOMPARE(next->recno, stored[i + 1].recno);
        mdx->first(0);
        const auto previous = mdx->before(0, stored[i]);
        QVERIFY(previous);
        QCOMPARE(previous->recno, stored[i - 1].recno);
    }
    std::size_t left = stored.size();
    for (std::size_t i = 0; i < stored.size(); i += 2, --left)
        QVERIFY2(mdx->remove(0, stored[i].key, stored[i].recno), std::to_string(i).c_str());
    QVERIFY(!mdx->remove(0, stored[1].key, 999999));
    mdx->insert(0, stored[0].key, 5000);
    QCOMPARE(mdx->verify(0).size(), left + 1);
    QCOMPARE(walk(*mdx, 0).size(), left + 1);
}

void MdxTest::tableNameInTheHeader_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("table");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("same name") << QByteArray("BOOKS") << "/data/BOOKS.DBF" << true;
    QTest::newRow("other case") << QByteArray("BOOKS") << "/data/books.dbf" << true;
    QTest::newRow("with the extension") << QByteArray("BOOKS.DBF") << "/data/Books.dbf" << true;
    QTest::newRow("no name stored") << QByteArray() << "/data/BOOKS.DBF" << true;
    QTest::newRow("longer than the header holds")
        << QByteArray("ABCDEFGHIJKLMNOP") << "/data/ABCDEFGHIJKLMNOPQ.DBF" << true;
    QTest::newRow("another table") << QByteArray("LOANS") << "/data/BOOKS.DBF" << false;
    QTest::newRow("a longer name") << QByteArray("BOOKS2") << "/data/BOOKS.DBF" << false;
    QTest::newRow("a shorter name") << QByteArray("BOOK") << "/data/BOOKS.DBF" << false;
}

// An index copied from another table is damaged for this one.
void MdxTest::tableNameInTheHeader()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, table);
    QFETCH(bool, accepted);
    Opened file = createInMemory();
    file.mdx->addTag(definition("TITLE", ValueType::Character, 10), {{"x", 1}});
    file.mdx->flush();
    std::string bytes = file.bytes->bytes();
    bytes.replace(4, 16, std::string(16, '\0'));
    bytes.replace(4, std::size_t(stored.size()), stored.toStdString());
    const std::string path = "/memory/INDEX.MDX";
    QCOMPARE(MdxFile::open(std::make_unique<MemoryFile>(path, bytes))->tagCount(), 1);
    try {
        auto mdx = MdxFile::open(std::make_unique<MemoryFile>(path, bytes), table.toStdString());
        QVERIFY2(accepted, "an index of another table was accepted");
        QCOMPARE(mdx->tableName(), stored.toStdString());
    } catch (const dbase::DatabaseError& error) {
        QVERIFY2(!accepted, error.what());
        QVERIFY2(QString(error.what()).contains("is damaged: it belongs to the table " + stored),
                 error.what());
    }
}

// A tag with keys longer than dBase IV allows, from another program, is
// listed as unusable; the other tags of the file work as before.
void MdxTest::tagWithLongerKeysIsListedAsUnusable()
{
    Opened file = createInMemory();
    file.mdx->addTag(definition("TITLE", ValueType::Character, 30), {{"b", 2}, {"a", 1}});
    file.mdx->addTag(definition("NOTES", ValueType::Character, 100), {{"n", 1}});
    file.mdx->flush();
    std::string bytes = file.bytes->bytes();
    const std::size_t header = std::size_t(le32(bytes, 544 + 32)) * 512;
    bytes[header + 12] = char(101); // key length 101, items of 108 bytes, 9 to a block
    bytes[header + 18] = char(108);
    QCOMPARE(int(bytes[header + 14]), 9);

    auto mdx = MdxFile::open(std::make_unique<MemoryFile>("/memory/LONG.MDX", bytes));
    QCOMPARE(mdx->tagCount(), 2);
    QVERIFY(mdx->tag(0).unusable.empty());
    QVERIFY2(QString::fromStdString(mdx->tag(1).unusable).contains("101 bytes"),
             mdx->tag(1).unusable.c_str());
    QCOMPARE(mdx->tag(1).name, std::string("NOTES"));
    QCOMPARE(recnos(walk(*mdx, 0)), (std::vector<std::uint32_t>{1, 2}));
    QVERIFY_THROWS_EXCEPTION(dbase::DatabaseError, mdx->first(1));
    QVERIFY_THROWS_EXCEPTION(dbase::DatabaseError, mdx->insert(1, "x", 3));
    QVERIFY_THROWS_EXCEPTION(dbase::DatabaseError, mdx->remove(1, std::string(101, 'n'), 1));
    QVERIFY_THROWS_EXCEPTION(dbase::DatabaseError, mdx->compareKeys(1, "a", "b"));
    mdx->deleteTag(1);
    mdx->flush();
    QCOMPARE(mdx->tagCount(), 1);

    bytes[header + 18] = char(56); // items too short for the keys: damage, not another format
    QVERIFY_THROWS_EXCEPTION(dbase::DatabaseError,
                             MdxFile::open(std::make_unique<MemoryFile>("/memory/LONG.MDX", bytes)));
}

// Names other xBase engines give their tags must survive a rebuild.
void MdxTest::tagNamesOtherEnginesWrite()
{
    Opened file = createInMemory();
    file.mdx->addTag(definition("_NULLFLAGS", ValueType::Character, 10), {{"x", 1}});
    file.mdx->addTag(definition("_1", ValueType::Character, 10), {{"y", 1}});
    file.mdx->flush();
    auto mdx = reopen(*file.bytes);
    QCOMPARE(mdx->tag(0).name, std::string("_NULLFLAGS"));
    QCOMPARE(mdx->findTag("_1"), 1);
    QVERIFY_THROWS_EXCEPTION(dbase::DatabaseError,
                             mdx->addTag(definition("1ST", ValueType::Character, 10), {}));
}

REGISTER_TEST(MdxTest)
#include "tst_mdx.moc"
