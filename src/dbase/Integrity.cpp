#include "Integrity.h"

#include "Bytes.h"
#include "DatabaseError.h"
#include "DbfHeader.h"
#include "Expression.h"
#include "MdxFormat.h"
#include "Table.h"
#include "TableImpl.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <sstream>

namespace dbase {

namespace {

// A user reads the first of a kind; thousands of lines say no more than a count.
constexpr int kListedPerKind = 20;

constexpr std::uint8_t kEndMark = 0x1A;
constexpr std::size_t kChunk = 1 << 20;

std::string number(std::uint64_t n)
{
    return std::to_string(n);
}

class Findings {
public:
    explicit Findings(IntegrityReport& report) : m_report(report) {}

    void add(IntegrityFinding::Area area, std::string text, bool fixable, const std::string& kind = {})
    {
        if (!kind.empty() && ++m_counts[kind] > kListedPerKind)
            return;
        m_report.findings.push_back({area, std::move(text), fixable});
    }

    // Adds "... and N more" lines for kinds that were cut short.
    void finish(IntegrityFinding::Area area, const std::string& kind, const std::string& what, bool fixable)
    {
        int n = m_counts[kind];
        if (n > kListedPerKind)
            m_report.findings.push_back(
                {area, number(n - kListedPerKind) + " more " + what + " are not listed.", fixable});
    }

private:
    IntegrityReport& m_report;
    std::map<std::string, int> m_counts;
};

std::string indexPathFor(const std::string& path, FileSystem& fs)
{
    auto dot = path.rfind('.');
    auto slash = path.rfind('/');
    std::string base =
        dot == std::string::npos || (slash != std::string::npos && dot < slash) ? path : path.substr(0, dot);
    std::string wanted = base + ".MDX";
    std::string dir = directoryOf(wanted);
    std::string name = slash == std::string::npos ? wanted : wanted.substr(slash + 1);
    return findFileIgnoringCase(dir, name, fs);
}

bool validDate(std::string_view text)
{
    if (text.find_first_not_of(' ') == std::string_view::npos)
        return true;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    int year = (text[0] - '0') * 1000 + (text[1] - '0') * 100 + (text[2] - '0') * 10 + (text[3] - '0');
    int month = (text[4] - '0') * 10 + (text[5] - '0');
    int day = (text[6] - '0') * 10 + (text[7] - '0');
    if (year == 0 && month == 0 && day == 0)
        return true; // some writers store a blank date as zeros
    return julianDay(year, month, day) != 0;
}

bool validNumber(std::string_view text)
{
    auto begin = text.find_first_not_of(' ');
    if (begin == std::string_view::npos)
        return true;
    auto end = text.find_last_not_of(' ');
    std::string_view t = text.substr(begin, end - begin + 1);
    if (t.find_first_not_of('*') == std::string_view::npos)
        return true; // dBase's mark for a value too wide for the field
    std::size_t i = 0;
    if (t[i] == '-' || t[i] == '+')
        ++i;
    bool digits = false, point = false;
    for (; i < t.size(); ++i) {
        if (t[i] >= '0' && t[i] <= '9')
            digits = true;
        else if (t[i] == '.' && !point)
            point = true;
        else if ((t[i] == 'e' || t[i] == 'E') && digits && i + 1 < t.size())
            return validNumber(t.substr(i + 1).find_first_of("+-") == 0 ? t.substr(i + 2) : t.substr(i + 1));
        else
            return false;
    }
    return digits;
}

// Why `value` is not a readable value of `field`, or empty.
std::string valueFault(const Field& field, std::string_view value)
{
    switch (field.type) {
    case FieldType::Numeric:
    case FieldType::Float:
        return validNumber(value) ? std::string() : "is not a number";
    case FieldType::Date:
        return validDate(value) ? std::string() : "is not a date";
    case FieldType::Logical:
        return std::string_view("YyNnTtFf? ").find(value[0]) != std::string_view::npos
                   ? std::string()
                   : "is not a logical value";
    case FieldType::Memo:
        for (char c : value)
            if (c != ' ' && (c < '0' || c > '9'))
                return "is not a memo block number";
        return {};
    default:
        return {};
    }
}

std::string printable(std::string_view value)
{
    std::string out;
    for (char c : value) {
        auto u = static_cast<unsigned char>(c);
        out += u < 0x20 || u == 0x7F ? '?' : c;
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return "\"" + out + "\"";
}

// One tag of the index as its header describes it.
struct TagHeader {
    std::string name;
    std::uint32_t headerPage = 0;
    std::uint32_t root = 0;
    char keyType = 'C';
    int keyLength = 0;
    int keysPerBlock = 0;
    int itemLength = 0;
    bool descending = false;
    std::string expression;
    std::string forExpression;
};

struct Entry {
    std::string key;
    std::uint32_t recno = 0;
    bool operator<(const Entry& other) const
    {
        return key != other.key ? key < other.key : recno < other.recno;
    }
    bool operator==(const Entry& other) const = default;
};

int compareKeys(const TagHeader& tag, std::string_view a, std::string_view b)
{
    int c = 0;
    if (tag.keyType == 'N' || tag.keyType == 'F') {
        double x = numericKeyValue(a), y = numericKeyValue(b);
        c = x < y ? -1 : x > y ? 1 : 0;
    } else if (tag.keyType == 'D') {
        double x = dateKeyValue(a), y = dateKeyValue(b);
        c = x < y ? -1 : x > y ? 1 : 0;
    } else {
        c = a.compare(b);
        c = c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    return tag.descending ? -c : c;
}

class IndexChecker {
public:
    IndexChecker(File& file, const std::string& path, Findings& findings)
        : m_file(file), m_path(path), m_findings(findings), m_size(file.size())
    {
    }

    // Reads the header and tag table; false when the file cannot be read as an index.
    bool readHeader(std::vector<TagHeader>& tags)
    {
        std::uint8_t header[mdx::kHeaderBytes];
        if (m_size < mdx::kHeaderBytes || m_file.readAt(0, header, sizeof header) != sizeof header) {
            damaged("it is shorter than an index header");
            return false;
        }
        m_freeHead = get32(header + mdx::file::freeHead);
        m_freeCount = get32(header + mdx::file::freeCount);
        std::uint32_t inUse = get16(header + mdx::file::tagsInUse);
        if (inUse > mdx::kUsableTags) {
            damaged("its header counts " + number(inUse) + " tags");
            return false;
        }
        for (std::uint32_t i = 0; i < inUse; ++i) {
            const std::uint8_t* slot = header + mdx::kTagTable + i * mdx::kSlotLength;
            TagHeader tag;
            tag.headerPage = get32(slot + mdx::slot::headerPage);
            const char* name = reinterpret_cast<const char*>(slot + mdx::slot::name);
            tag.name.assign(name, strnlen(name, mdx::slot::nameLength));
            while (!tag.name.empty() && tag.name.back() == ' ')
                tag.name.pop_back();
            std::uint8_t block[mdx::kBlockSize];
            if (!readBlock(tag.headerPage, block)) {
                damaged("the header of tag " + tag.name + " lies outside the file (page " +
                        number(tag.headerPage) + ")");
                return false;
            }
            m_used.insert(tag.headerPage);
            tag.root = get32(block + mdx::tag::root);
            tag.keyType = static_cast<char>(block[mdx::tag::keyType]);
            tag.keyLength = get16(block + mdx::tag::keyLength);
            tag.keysPerBlock = get16(block + mdx::tag::keysPerBlock);
            tag.itemLength = get16(block + mdx::tag::itemLength);
            tag.descending = (block[mdx::tag::format] & mdx::tag::formatDescending) != 0;
            const char* expr = reinterpret_cast<const char*>(block + mdx::tag::expression);
            tag.expression.assign(expr, strnlen(expr, mdx::tag::expressionEnd - mdx::tag::expression));
            const char* cond = reinterpret_cast<const char*>(block + mdx::tag::forExpression);
            tag.forExpression.assign(cond, strnlen(cond, mdx::kBlockSize - mdx::tag::forExpression));
            if (tag.keyLength < 1 || tag.keyLength > mdx::kMaxKeyLength ||
                tag.itemLength < tag.keyLength + 4 || tag.keysPerBlock < 1 ||
                12 + tag.keysPerBlock * tag.itemLength > int(mdx::kBlockSize)) {
                damaged("the header of tag " + tag.name + " gives impossible key lengths");
                return false;
            }
            tags.push_back(tag);
        }
        return true;
    }

    // Every entry of the tag's leaves in tree order; faults of the tree are findings.
    std::vector<Entry> walk(const TagHeader& tag, bool& sound)
    {
        m_entries.clear();
        m_leafDepth = -1;
        m_sound = true;
        m_last.reset();
        m_outOfOrder = 0;
        visit(tag, tag.root, 0);
        if (m_outOfOrder > 0)
            fault(tag, number(m_outOfOrder) + " keys are out of order");
        sound = m_sound;
        return std::move(m_entries);
    }

    void checkFreeList()
    {
        std::uint32_t page = m_freeHead;
        std::uint32_t walked = 0;
        std::set<std::uint32_t> seen;
        while (page != 0) {
            std::uint8_t block[mdx::kBlockSize];
            if (!seen.insert(page).second) {
                m_findings.add(IntegrityFinding::Area::FreeList,
                               "The free list of " + m_path + " loops at page " + number(page) + ".", true);
                return;
            }
            if (m_used.count(page)) {
                m_findings.add(IntegrityFinding::Area::FreeList,
                               "The free list of " + m_path + " holds page " + number(page) +
                                   ", which a tag still uses.",
                               true);
                return;
            }
            if (!readBlock(page, block)) {
                m_findings.add(IntegrityFinding::Area::FreeList,
                               "The free list of " + m_path + " points outside the file (page " +
                                   number(page) + ").",
                               true);
                return;
            }
            ++walked;
            page = get32(block + mdx::kFreeLink);
        }
        if (walked != m_freeCount)
            m_findings.add(IntegrityFinding::Area::FreeList,
                           "The free list of " + m_path + " holds " + number(walked) +
                               " blocks; its header says " + number(m_freeCount) + ".",
                           true);
    }

private:
    bool readBlock(std::uint32_t page, std::uint8_t* block)
    {
        std::uint64_t offset = std::uint64_t(page) * mdx::kPageSize;
        return page >= mdx::kHeaderPages && offset + mdx::kBlockSize <= m_size &&
               m_file.readAt(offset, block, mdx::kBlockSize) == mdx::kBlockSize;
    }

    void damaged(const std::string& what)
    {
        m_findings.add(IntegrityFinding::Area::Index,
                       "The index " + m_path + " cannot be read: " + what + ".", true);
    }

    void fault(const TagHeader& tag, const std::string& what)
    {
        m_sound = false;
        m_findings.add(IntegrityFinding::Area::Index, "Tag " + tag.name + ": " + what + ".", true,
                       "tree " + tag.name);
    }

    // Returns the highest key of the subtree, for the separator check above it.
    std::optional<std::string> visit(const TagHeader& tag, std::uint32_t page, int depth)
    {
        std::uint8_t block[mdx::kBlockSize];
        if (depth > mdx::kMaxDepth) {
            fault(tag, "the tree is deeper than any index can be (a loop)");
            return std::nullopt;
        }
        if (!readBlock(page, block)) {
            fault(tag, "a node lies outside the file (page " + number(page) + ")");
            return std::nullopt;
        }
        if (!m_used.insert(page).second) {
            fault(tag, "page " + number(page) + " is used twice");
            return std::nullopt;
        }
        std::uint32_t count = get32(block);
        if (count > std::uint32_t(tag.keysPerBlock)) {
            fault(tag, "page " + number(page) + " counts " + number(count) + " keys");
            return std::nullopt;
        }
        auto item = [&](std::uint32_t i) { return block + mdx::kNodeItems + i * tag.itemLength; };
        auto keyAt = [&](std::uint32_t i) {
            return std::string(reinterpret_cast<const char*>(item(i) + 4), tag.keyLength);
        };
        bool leaf = get32(item(count)) == 0;
        if (leaf) {
            if (m_leafDepth < 0)
                m_leafDepth = depth;
            else if (m_leafDepth != depth)
                fault(tag, "leaf page " + number(page) + " is not as deep as the others");
            std::optional<std::string> highest;
            for (std::uint32_t i = 0; i < count; ++i) {
                Entry e{keyAt(i), get32(item(i))};
                if (m_last && compareKeys(tag, *m_last, e.key) > 0)
                    ++m_outOfOrder;
                m_last = e.key;
                highest = e.key;
                m_entries.push_back(std::move(e));
            }
            return highest;
        }
        if (count == 0 && depth > 0)
            fault(tag, "interior page " + number(page) + " has a single branch");
        std::optional<std::string> highest;
        for (std::uint32_t i = 0; i <= count; ++i) {
            std::optional<std::string> below = visit(tag, get32(item(i)), depth + 1);
            if (i < count && below && compareKeys(tag, *below, keyAt(i)) > 0)
                fault(tag, "a separator on page " + number(page) + " is lower than the keys below it");
            if (below)
                highest = below;
        }
        return highest;
    }

    File& m_file;
    std::string m_path;
    Findings& m_findings;
    std::uint64_t m_size;
    std::uint32_t m_freeHead = 0, m_freeCount = 0;
    std::set<std::uint32_t> m_used;
    std::vector<Entry> m_entries;
    int m_leafDepth = -1;
    bool m_sound = true;
    std::optional<std::string> m_last;
    std::uint64_t m_outOfOrder = 0;
};

// Holds the header lock for reading, as every reader of the engine does, so a
// writer waits until the check has read a consistent table and index.
class ReadLock {
public:
    explicit ReadLock(File& file) : m_file(file) { m_file.lock(locks::kHeader, 1, LockKind::Read); }
    ~ReadLock() { m_file.unlock(locks::kHeader, 1); }
    ReadLock(const ReadLock&) = delete;
    ReadLock& operator=(const ReadLock&) = delete;

private:
    File& m_file;
};

// Compares the index entries of one tag with the keys the records give.
void compareEntries(const TagHeader& tag, std::vector<Entry> stored, std::vector<Entry> expected,
                    Findings& findings)
{
    // Writers disagree on the digit count a numeric key records, and comparisons ignore it.
    if (tag.keyType == 'N' || tag.keyType == 'F')
        for (std::vector<Entry>* list : {&stored, &expected})
            for (Entry& e : *list)
                e.key = numericKey(numericKeyValue(e.key));
    std::sort(stored.begin(), stored.end());
    std::sort(expected.begin(), expected.end());
    std::vector<Entry> missing, extra;
    std::set_difference(expected.begin(), expected.end(), stored.begin(), stored.end(),
                        std::back_inserter(missing));
    std::set_difference(stored.begin(), stored.end(), expected.begin(), expected.end(),
                        std::back_inserter(extra));
    const std::string kind = "keys " + tag.name;
    for (const Entry& e : missing)
        findings.add(IntegrityFinding::Area::Index,
                     "Tag " + tag.name + ": record " + number(e.recno) + " has no key.", true, kind);
    for (const Entry& e : extra)
        findings.add(IntegrityFinding::Area::Index,
                     "Tag " + tag.name + ": a key for record " + number(e.recno) +
                         " matches no record's value.",
                     true, kind);
    findings.finish(IntegrityFinding::Area::Index, kind, "key faults of tag " + tag.name, true);
}

} // namespace

bool IntegrityReport::fixable() const
{
    return std::any_of(findings.begin(), findings.end(), [](const IntegrityFinding& f) { return f.fixable; });
}

std::string IntegrityReport::text() const
{
    std::ostringstream out;
    for (const std::string& repair : repairs)
        out << "Repaired: " << repair << '\n';
    for (const IntegrityFinding& finding : findings)
        out << (finding.fixable ? "Fault: " : "Fault (cannot be repaired): ") << finding.text << '\n';
    out << table << ": " << records << (records == 1 ? " record" : " records") << ", " << tags
        << (tags == 1 ? " tag" : " tags") << " checked; ";
    if (clean())
        out << "no faults found.\n";
    else
        out << findings.size() << (findings.size() == 1 ? " fault" : " faults") << " found.\n";
    return out.str();
}

IntegrityReport checkTable(const std::string& path, FileSystem& fs)
{
    IntegrityReport report;
    report.table = path;
    Findings findings(report);
    std::unique_ptr<File> dbf = fs.open(path, OpenMode::ReadOnly);
    ReadLock lock(*dbf);

    DbfHeader header;
    try {
        header = DbfHeader::read(*dbf);
    } catch (const DatabaseError& e) {
        findings.add(IntegrityFinding::Area::Table, e.what(), false);
        return report;
    }

    // The header and its descriptors.
    std::string descriptors(header.headerLength - 32, '\0');
    dbf->readAt(32, descriptors.data(), descriptors.size());
    std::size_t terminator = descriptors.find('\x0D');
    std::size_t expectedEnd = 32 + header.fields.size() * 32;
    if (terminator == std::string::npos || 32 + terminator != expectedEnd)
        findings.add(IntegrityFinding::Area::Table,
                     "The field descriptors of " + path + " do not end where the header says.", false);
    int fieldBytes = 1;
    for (const Field& f : header.fields)
        fieldBytes += f.length;
    if (fieldBytes != header.recordLength)
        findings.add(IntegrityFinding::Area::Table,
                     "The record length in the header of " + path + " (" + number(header.recordLength) +
                         ") differs from the fields' widths (" + number(fieldBytes) + ").",
                     false);

    // The header's count against the file's size.
    std::uint64_t size = dbf->size();
    std::uint64_t body = size > header.headerLength ? size - header.headerLength : 0;
    auto whole = static_cast<std::uint32_t>(std::min<std::uint64_t>(body / header.recordLength, UINT32_MAX));
    std::uint64_t rest = body - std::uint64_t(whole) * header.recordLength;
    report.records = whole;
    if (header.recordCount != whole)
        findings.add(IntegrityFinding::Area::Table,
                     "The header of " + path + " counts " + number(header.recordCount) +
                         " records; the file holds " + number(whole) + ".",
                     true);
    if (rest > 1 || (rest == 1 && whole > 0)) {
        std::uint8_t first = 0;
        dbf->readAt(header.headerLength + std::uint64_t(whole) * header.recordLength, &first, 1);
        if (rest > 1 || first != kEndMark)
            findings.add(IntegrityFinding::Area::Table,
                         "The file " + path + " ends in " + number(rest) +
                             " bytes of a record that was never completely written.",
                         true);
    }
    // A missing end mark is no fault: dBase IV itself was seen to leave it out.
    if (header.incomplete)
        findings.add(IntegrityFinding::Area::Table,
                     "A change to " + path + " was interrupted; its index must be rebuilt.", true);

    // The index: its tags and their keys recomputed from the records.
    std::vector<TagHeader> tags;
    std::vector<std::optional<Expression>> keys, conditions;
    std::vector<std::vector<Entry>> expected;
    std::unique_ptr<File> mdxFile;
    std::optional<IndexChecker> index;
    if (header.productionIndex) {
        report.index = indexPathFor(path, fs);
        if (report.index.empty()) {
            findings.add(IntegrityFinding::Area::Index,
                         "The index of " + path + " is missing; the tags it held are not known here.", false);
        } else {
            mdxFile = fs.open(report.index, OpenMode::ReadOnly);
            index.emplace(*mdxFile, report.index, findings);
            if (!index->readHeader(tags))
                tags.clear();
        }
    }
    report.tags = static_cast<int>(tags.size());
    for (const TagHeader& tag : tags) {
        try {
            keys.emplace_back(Expression::compile(tag.expression, header.fields));
            conditions.emplace_back(tag.forExpression.empty() ? std::nullopt
                                                              : std::optional(Expression::compile(
                                                                    tag.forExpression, header.fields)));
        } catch (const DatabaseError& e) {
            keys.emplace_back();
            conditions.emplace_back();
            findings.add(IntegrityFinding::Area::Index, "Tag " + tag.name + " cannot be checked: " + e.what(),
                         false);
        }
    }
    expected.resize(tags.size());

    // Every record: its deletion flag, its values, and its keys.
    const std::uint32_t perChunk = std::max<std::uint32_t>(1, kChunk / header.recordLength);
    std::string buffer;
    for (std::uint32_t first = 1; first <= whole; first += perChunk) {
        std::uint32_t n = std::min(perChunk, whole - first + 1);
        buffer.resize(std::size_t(n) * header.recordLength);
        std::uint64_t offset = header.headerLength + std::uint64_t(first - 1) * header.recordLength;
        if (dbf->readAt(offset, buffer.data(), buffer.size()) != buffer.size())
            throw DatabaseError("The table " + path + " could not be read to its end.");
        for (std::uint32_t i = 0; i < n; ++i) {
            const char* rec = buffer.data() + std::size_t(i) * header.recordLength;
            std::uint32_t recno = first + i;
            if (rec[0] != ' ' && rec[0] != '*')
                findings.add(IntegrityFinding::Area::Record,
                             "Record " + number(recno) + " has an unknown deletion mark.", false, "flag");
            for (const Field& f : header.fields) {
                std::string_view value(rec + f.offset, f.length);
                std::string why = valueFault(f, value);
                if (!why.empty())
                    findings.add(IntegrityFinding::Area::Record,
                                 "Record " + number(recno) + ", field " + f.name + ": " + printable(value) +
                                     " " + why + ".",
                                 false, "value");
            }
            for (std::size_t t = 0; t < tags.size(); ++t) {
                if (!keys[t] || (conditions[t] && !conditions[t]->evaluate(rec).logical))
                    continue;
                std::string key = keys[t]->key(rec);
                key.resize(tags[t].keyLength, tags[t].keyType == 'C' ? ' ' : '\0');
                expected[t].push_back({std::move(key), recno});
            }
        }
    }
    findings.finish(IntegrityFinding::Area::Record, "flag", "records with unknown deletion marks", false);
    findings.finish(IntegrityFinding::Area::Record, "value", "unreadable values", false);

    for (std::size_t t = 0; t < tags.size(); ++t) {
        bool sound = true;
        std::vector<Entry> stored = index->walk(tags[t], sound);
        if (keys[t])
            compareEntries(tags[t], std::move(stored), std::move(expected[t]), findings);
        findings.finish(IntegrityFinding::Area::Index, "tree " + tags[t].name,
                        "faults of tag " + tags[t].name, true);
    }
    if (index && !tags.empty())
        index->checkFreeList();
    return report;
}

IntegrityReport repairTable(const std::string& path, FileSystem& fs)
{
    IntegrityReport before = checkTable(path, fs);
    std::vector<std::string> repairs;
    {
        std::unique_ptr<File> dbf = fs.open(path, OpenMode::ReadWrite);
        if (!dbf->tryLock(locks::kOpenMarker, 1, LockKind::Write) ||
            !dbf->tryLock(locks::kTable, 2, LockKind::Write))
            throw DatabaseError("The table " + path +
                                " is in use by another program.  Close it there and repair again.");
        DbfHeader header = DbfHeader::read(*dbf);
        std::uint64_t size = dbf->size();
        std::uint64_t body = size > header.headerLength ? size - header.headerLength : 0;
        auto whole = static_cast<std::uint32_t>(body / header.recordLength);
        std::uint64_t end = header.headerLength + std::uint64_t(whole) * header.recordLength;
        std::uint8_t mark = 0;
        bool hasMark = size > end && dbf->readAt(end, &mark, 1) == 1 && mark == kEndMark;
        if (size > end + (hasMark ? 1 : 0)) {
            dbf->truncate(end);
            repairs.push_back("removed " + number(size - end - (hasMark ? 1 : 0)) +
                              " bytes of a record that was never completely written");
            hasMark = false;
        }
        // Only a table being mended anyway gets its end mark back.
        if (!hasMark && (!repairs.empty() || header.recordCount != whole)) {
            dbf->writeAt(end, &kEndMark, 1);
            repairs.push_back("wrote the end mark");
        }
        if (header.recordCount != whole) {
            std::uint8_t count[4];
            put32(count, whole);
            dbf->writeAt(4, count, sizeof count);
            repairs.push_back("set the record count from " + number(header.recordCount) + " to " +
                              number(whole));
        }
        if (!repairs.empty())
            dbf->sync();
        dbf->unlock(locks::kTable, 2);
        dbf->unlock(locks::kOpenMarker, 1);
    }

    bool indexWrong =
        std::any_of(before.findings.begin(), before.findings.end(), [](const IntegrityFinding& f) {
            return f.fixable &&
                   (f.area == IntegrityFinding::Area::Index || f.area == IntegrityFinding::Area::FreeList);
        });
    bool interrupted =
        std::any_of(before.findings.begin(), before.findings.end(), [](const IntegrityFinding& f) {
            return f.area == IntegrityFinding::Area::Table && f.fixable;
        });
    std::string rebuildFailure;
    if ((indexWrong || interrupted) && !before.index.empty()) {
        try {
            std::unique_ptr<Table> table = Table::openIgnoringIndex(path, Access::Exclusive, fs);
            std::vector<std::string> dropped = table->regenerateIndexes();
            repairs.push_back("rebuilt the index " + before.index);
            for (const std::string& tag : dropped)
                repairs.push_back("dropped tag " + tag + ", whose expression cannot be evaluated");
        } catch (const IoError&) {
            throw;
        } catch (const DatabaseError& e) {
            rebuildFailure = e.what();
        }
    }

    IntegrityReport after = checkTable(path, fs);
    after.repairs = std::move(repairs);
    if (!rebuildFailure.empty())
        after.findings.push_back(
            {IntegrityFinding::Area::Index, "The index could not be rebuilt: " + rebuildFailure, false});
    return after;
}

} // namespace dbase
