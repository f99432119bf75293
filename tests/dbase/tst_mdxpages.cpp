// The block cache of an index file when the file is many times its bound:
// blocks evicted, read back and their memory reused must keep their bytes.
// Entries put in to go in later must be there for whatever looks next.
#include "MemoryFile.h"
#include "TestRegistry.h"

#include "dbase/DatabaseError.h"
#include "dbase/Expression.h"
#include "dbase/MdxFile.h"
#include "dbase/MdxPages.h"

#include <QTest>
#include <algorithm>
#include <map>
#include <random>

using namespace dbase;
using namespace dbase::mdx;
using testing::MemoryFile;

namespace {

std::uint8_t pattern(std::uint32_t page, int round, std::size_t at)
{
    return std::uint8_t(page * 7 + std::uint32_t(round) * 31 + at);
}

void stamp(std::uint8_t* block, std::uint32_t page, int round)
{
    for (std::size_t i = 0; i < kBlockSize; ++i)
        block[i] = pattern(page, round, i);
}

bool holds(const std::uint8_t* block, std::uint32_t page, int round)
{
    for (std::size_t i = 0; i < kBlockSize; ++i)
        if (block[i] != pattern(page, round, i))
            return false;
    return true;
}

// A character tag of 100-byte keys, nine to a block.
TagDefinition wideTag(const char* name)
{
    TagDefinition tag;
    tag.name = name;
    tag.expression = "X";
    tag.keyLength = 100;
    return tag;
}

} // namespace

class MdxPagesTest : public QObject {
    Q_OBJECT

private slots:
    void blocksKeepTheirBytesThroughEviction_data()
    {
        QTest::addColumn<int>("cacheBlocks");
        QTest::addColumn<int>("blocks");
        QTest::newRow("the smallest cache, ten times over") << 64 << 640;
        QTest::newRow("a cache just short of the file") << 300 << 320;
    }

    // Every block is written, read back in a shuffled order, half of them
    // changed, and read back again, trimming after each step as the tree
    // code does; the file ends up holding the last bytes of every block.
    void blocksKeepTheirBytesThroughEviction()
    {
        QFETCH(int, cacheBlocks);
        QFETCH(int, blocks);
        MemoryFile file;
        MdxPages pages(file, std::size_t(cacheBlocks));
        pages.resetHeader();
        std::vector<std::uint32_t> order;
        for (int i = 0; i < blocks; ++i) {
            const std::uint32_t page = pages.allocate();
            stamp(pages.edit(page), page, 0);
            order.push_back(page);
            pages.trim();
        }
        QVERIFY(file.shared().writes > 0);              // the bound made it write early
        QCOMPARE(pages.writes(), file.shared().writes); // so a batch knows the file changed
        std::vector<int> round(std::size_t(blocks), 0);
        std::mt19937 random(7);
        for (int pass = 1; pass <= 2; ++pass) {
            std::shuffle(order.begin(), order.end(), random);
            for (std::size_t i = 0; i < order.size(); ++i) {
                const std::uint32_t page = order[i];
                const std::size_t n = (page - kHeaderPages) / kPagesPerBlock;
                const std::uint8_t* block = pages.read(page);
                QVERIFY(block);
                QVERIFY2(holds(block, page, round[n]), qPrintable("page " + QString::number(page)));
                if (i % 2 == 0) {
                    stamp(pages.edit(page), page, pass);
                    round[n] = pass;
                }
                pages.trim();
            }
        }
        pages.flush();
        for (std::uint32_t page : order) {
            const std::size_t n = (page - kHeaderPages) / kPagesPerBlock;
            const auto* onDisk =
                reinterpret_cast<const std::uint8_t*>(file.bytes().data()) + page * kPageSize;
            QVERIFY2(holds(onDisk, page, round[n]), qPrintable("page " + QString::number(page)));
        }
        // A block the file ends before is refused each time, not left cached half-read.
        const std::uint32_t beyond = pages.endPage() + 64;
        QVERIFY(!pages.read(beyond));
        QVERIFY(!pages.read(beyond));
    }

    void laterInsertsAreThereForTheNextLook_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("descending");
        QTest::addColumn<bool>("unique");
        QTest::newRow("text") << int(ValueType::Character) << false << false;
        QTest::newRow("text, unique") << int(ValueType::Character) << false << true;
        QTest::newRow("numbers, descending, unique") << int(ValueType::Numeric) << true << true;
    }

    // Keys with repeats come in with record numbers out of order; a seek half
    // way sees those put in so far, and the whole tag ends up as one insert()
    // at a time would leave it: every entry, or for a unique tag the first
    // record given for each key.
    void laterInsertsAreThereForTheNextLook()
    {
        QFETCH(int, type);
        QFETCH(bool, descending);
        QFETCH(bool, unique);
        const bool numeric = ValueType(type) == ValueType::Numeric;
        auto mdx = MdxFile::create(std::make_unique<MemoryFile>(), "TEST");
        TagDefinition tag;
        tag.name = "T";
        tag.expression = "X";
        tag.keyType = ValueType(type);
        tag.keyLength = numeric ? 12 : 10;
        tag.descending = descending;
        tag.unique = unique;
        mdx->addTag(tag, std::vector<IndexEntry>{});
        std::mt19937 random(11);
        std::vector<std::uint32_t> recnos(3000);
        for (std::uint32_t i = 0; i < recnos.size(); ++i)
            recnos[i] = i + 1;
        std::shuffle(recnos.begin(), recnos.end(), random);
        std::map<double, std::uint32_t> firstFor; // the record a unique tag keeps, by value
        std::vector<std::pair<double, std::uint32_t>> all;
        for (std::size_t i = 0; i < recnos.size(); ++i) {
            const double value = double(random() % 700);
            const std::string key = numeric ? numericKey(value) : std::to_string(int(value) + 1000000000);
            mdx->insertLater(0, key, recnos[i]);
            firstFor.emplace(value, recnos[i]);
            all.emplace_back(value, recnos[i]);
            if (i == recnos.size() / 2) {
                const auto found = mdx->seek(0, key);
                QVERIFY(found);
                QCOMPARE(found->key, key);
            }
        }
        std::vector<std::pair<double, std::uint32_t>> expected;
        if (unique)
            expected.assign(firstFor.begin(), firstFor.end());
        else
            expected = all;
        std::sort(expected.begin(), expected.end());
        if (descending)
            std::stable_sort(expected.begin(), expected.end(),
                             [](const auto& a, const auto& b) { return a.first > b.first; });
        std::vector<std::pair<double, std::uint32_t>> stored;
        for (const IndexEntry& entry : mdx->verify(0))
            stored.emplace_back(numeric ? numericKeyValue(entry.key) : std::stod(entry.key) - 1000000000,
                                entry.recno);
        QCOMPARE(stored, expected);
    }

    // A disk that fills while the waiting entries go in: the flush fails, the
    // entries not yet in keep waiting, and the next flush puts in every one.
    void laterInsertsOutlastAFailedWrite()
    {
        auto owned = std::make_unique<MemoryFile>();
        MemoryFile& file = *owned;
        auto mdx = MdxFile::create(std::move(owned), "TEST");
        mdx->addTag(wideTag("T"), std::vector<IndexEntry>{}); // more blocks than the cache holds
        constexpr std::uint32_t kEntries = 200000;
        for (std::uint32_t n = 1; n <= kEntries; ++n)
            mdx->insertLater(0, std::to_string((n * 7919u) % kEntries + 1000000), n);
        file.failWritesAfter(0);
        QVERIFY_THROWS_EXCEPTION(IoError, mdx->flush());
        file.failWritesAfter(-1);
        mdx->flush();
        const std::vector<IndexEntry> entries = mdx->verify(0);
        QCOMPARE(entries.size(), std::size_t(kEntries));
    }

    // A read failing between the split of a full root leaf and the new root
    // above it: the tree in memory lacks half the leaf, so nothing builds on
    // it or writes it until the index is read again.
    void changeStoppedHalfWayIsNotBuiltOn()
    {
        auto owned = std::make_unique<MemoryFile>();
        MemoryFile& file = *owned;
        auto mdx = MdxFile::create(std::move(owned), "TEST");
        std::vector<IndexEntry> full;
        for (std::uint32_t n = 1; n <= 9; ++n)
            full.push_back({std::to_string(n), n});
        mdx->addTag(wideTag("T"), full);
        mdx->addTag(wideTag("GONE"), std::vector<IndexEntry>{});
        mdx->deleteTag(1); // its two blocks on the free list, read from the file when taken
        mdx->flush();
        auto reopened = file.reopen();
        MemoryFile::Shared& disk = reopened->shared(); // outlives the file first made
        mdx = MdxFile::open(std::move(reopened));
        disk.reads = 2; // the leaf and the first free block
        QVERIFY_THROWS_EXCEPTION(IoError, mdx->insert(0, "99", 10));
        disk.reads = -1;
        QVERIFY_THROWS_EXCEPTION(DatabaseError, mdx->flush());
        QVERIFY_THROWS_EXCEPTION(DatabaseError, mdx->insert(0, "99", 10));
        mdx->invalidate();
        QCOMPARE(mdx->verify(0).size(), std::size_t(9));
    }
};

REGISTER_TEST(MdxPagesTest)
#include "tst_mdxpages.moc"
