// Moving about a table: records as read from the file, visibility, and the
// walks in physical and index order.
#include "DatabaseError.h"
#include "MdxScan.h"
#include "TableImpl.h"
#include "Values.h"

#include <algorithm>

namespace dbase {

// ---------------------------------------------------------------- record window

const char* RecordWindow::get(File& file, const DbfHeader& header, std::uint32_t recno, bool scan)
{
    bool forward = recno == m_last + 1;
    m_last = recno;
    if (recno >= m_first && recno < m_first + m_count)
        return m_buffer.data() + std::size_t(recno - m_first) * header.recordLength;
    std::uint32_t span = scan || forward ? std::max<std::uint32_t>(1, 65536 / header.recordLength) : 1;
    m_buffer.resize(std::size_t(span) * header.recordLength);
    std::uint64_t offset = header.headerLength + std::uint64_t(recno - 1) * header.recordLength;
    std::size_t got = file.readAt(offset, m_buffer.data(), m_buffer.size());
    m_first = recno;
    m_count = static_cast<std::uint32_t>(got / header.recordLength);
    if (m_count == 0)
        throw DatabaseError("The table " + file.path() + " is truncated: record " + std::to_string(recno) +
                            " is missing.");
    return m_buffer.data();
}

namespace {

[[noreturn]] void truncated(const File& file, std::uint32_t recno)
{
    throw DatabaseError("The table " + file.path() + " is truncated: record " + std::to_string(recno) +
                        " is missing.");
}

// Whole-table scans read this much at a time into a buffer of their own,
// leaving the record window alone. For the deletion marks of a million books
// (1 GB) the kernel's copy is nearly all of the 0.2 s of processor time,
// with 64 KiB reads as with 1 MiB ones; larger reads only make fewer calls.
constexpr std::size_t kScanBytes = std::size_t(1) << 20;

// Shows `visit` every record from the first, read in large sequential reads;
// stops when `visit` returns false. Returns whether it saw them all.
template <class Visit> bool scanRecords(Table::Impl& t, Visit&& visit)
{
    const std::size_t length = t.header.recordLength;
    const std::size_t perRead = std::max<std::size_t>(1, kScanBytes / length);
    std::vector<char> buffer(perRead * length);
    for (std::uint32_t n = 1; n <= t.dataRecords;) {
        const std::size_t want = std::min<std::size_t>(perRead, std::size_t(t.dataRecords - n) + 1);
        const std::uint64_t offset = t.header.headerLength + std::uint64_t(n - 1) * length;
        const std::size_t got = t.dbf->readAt(offset, buffer.data(), want * length) / length;
        if (got == 0)
            truncated(*t.dbf, n);
        for (std::size_t i = 0; i < got; ++i)
            if (!visit(n + std::uint32_t(i), buffer.data() + i * length))
                return false;
        n += std::uint32_t(got);
    }
    return true;
}

class RawRecordView final : public RecordView {
public:
    RawRecordView(const Table::Impl& table, const char* rec) : m_table(table), m_rec(rec) {}
    int fieldCount() const override { return static_cast<int>(m_table.header.fields.size()); }
    const Field& field(int index) const override { return m_table.fieldAt(index); }
    int fieldIndex(const std::string& name) const override { return findField(m_table.header.fields, name); }
    std::string text(int index) const override { return m_table.fieldText(m_rec, index); }
    double number(int index) const override
    {
        const Field& f = m_table.fieldAt(index);
        return decodeNumber(std::string_view(m_rec + f.offset, f.length));
    }
    Date date(int index) const override
    {
        const Field& f = m_table.fieldAt(index);
        return decodeDate(std::string_view(m_rec + f.offset, f.length));
    }

private:
    const Table::Impl& m_table;
    const char* m_rec;
};

} // namespace

// ---------------------------------------------------------------- records

const char* Table::Impl::recordAt(std::uint32_t n, bool scan)
{
    return window.get(*dbf, header, n, scan);
}

void Table::Impl::buildAccepted()
{
    std::vector<std::uint8_t> result(std::size_t(dataRecords) + 1, 0);
    scanRecords(*this, [&](std::uint32_t n, const char* rec) {
        result[n] = accepts(n, rec) ? 1 : 0;
        return true;
    });
    accepted = std::move(result);
    acceptedValid = true;
}

void Table::Impl::noteAccepted(std::uint32_t n, const char* rec)
{
    if (!acceptedValid)
        return;
    if (accepted.size() <= n)
        accepted.resize(std::size_t(n) + 1, 0);
    accepted[n] = accepts(n, rec) ? 1 : 0;
}

bool Table::Impl::live(std::uint32_t n, const char* rec)
{
    if (rec[0] == ' ')
        return true;
    if (rec[0] == '*')
        return false;
    if (!oddFlagReported) {
        oddFlagReported = true;
        warnings.push_back("Record " + std::to_string(n) + " of the table " + path +
                           " has an unknown deletion mark (byte " +
                           std::to_string(static_cast<unsigned char>(rec[0])) +
                           "); it and any others like it are shown as not deleted.");
    }
    return true;
}

bool Table::Impl::accepts(std::uint32_t n, const char* rec)
{
    if (!live(n, rec))
        return false;
    if (!filter)
        return true;
    RawRecordView view(*this, rec);
    return filter(view);
}

bool Table::Impl::visible(std::uint32_t n)
{
    if (n < 1 || n > dataRecords)
        return false;
    if (!filter)
        return live(n, recordAt(n));
    if (!acceptedValid)
        buildAccepted();
    return n < accepted.size() && accepted[n];
}

std::string Table::Impl::tagKey(int tag, const char* rec) const
{
    return tagStates[tag].key->key(rec);
}

bool Table::Impl::inTag(int tag, const char* rec) const
{
    const TagState& s = tagStates[tag];
    return !s.condition || s.condition->evaluate(rec).logical;
}

void Table::Impl::load(std::uint32_t n)
{
    const char* rec = recordAt(n);
    record.assign(rec, header.recordLength);
    recno = n;
    if (order >= 0)
        key = tagKey(order, rec);
}

void Table::Impl::clearPosition(bool empty)
{
    recno = 0;
    key.clear();
    record.assign(header.recordLength, ' ');
    atBof = atEof = empty;
}

bool Table::Impl::moveFirst()
{
    if (order < 0) {
        for (std::uint32_t n = 1; n <= dataRecords; ++n)
            if (visible(n)) {
                load(n);
                return true;
            }
        return false;
    }
    for (auto e = mdx->first(order); e; e = mdx->after(order, *e))
        if (visible(e->recno)) {
            load(e->recno);
            key = e->key;
            return true;
        }
    return false;
}

bool Table::Impl::moveLast()
{
    if (order < 0) {
        for (std::uint32_t n = dataRecords; n >= 1; --n)
            if (visible(n)) {
                load(n);
                return true;
            }
        return false;
    }
    for (auto e = mdx->last(order); e; e = mdx->before(order, *e))
        if (visible(e->recno)) {
            load(e->recno);
            key = e->key;
            return true;
        }
    return false;
}

bool Table::Impl::moveNext()
{
    if (recno == 0)
        return moveFirst();
    if (order < 0) {
        for (std::uint32_t n = recno + 1; n <= dataRecords; ++n)
            if (visible(n)) {
                load(n);
                return true;
            }
        return false;
    }
    for (auto e = mdx->after(order, {key, recno}); e; e = mdx->after(order, *e))
        if (visible(e->recno)) {
            load(e->recno);
            key = e->key;
            return true;
        }
    return false;
}

// The next visible record in physical order when it is already in the
// record window, which was read under the lock after checking for other
// writers: a walk checks again once per window, not once per record.
bool Table::Impl::moveNextInWindow()
{
    if (order >= 0 || recno == 0 || stale || (filter && !acceptedValid))
        return false;
    for (std::uint32_t n = recno + 1; n <= dataRecords && window.holds(n); ++n)
        if (visible(n)) {
            load(n);
            return true;
        }
    return false;
}

bool Table::Impl::movePrior()
{
    if (recno == 0)
        return moveLast();
    if (order < 0) {
        for (std::uint32_t n = recno - 1; n >= 1; --n)
            if (visible(n)) {
                load(n);
                return true;
            }
        return false;
    }
    for (auto e = mdx->before(order, {key, recno}); e; e = mdx->before(order, *e))
        if (visible(e->recno)) {
            load(e->recno);
            key = e->key;
            return true;
        }
    return false;
}

std::uint32_t Table::Impl::countVisible()
{
    bool orderMatters = order >= 0 && (tagStates[order].condition || mdx->tag(order).unique);
    if (orderMatters) {
        std::uint32_t count = 0;
        for (auto e = mdx->first(order); e; e = mdx->after(order, *e))
            count += visible(e->recno) ? 1 : 0;
        return count;
    }
    if (filter) {
        if (!acceptedValid)
            buildAccepted();
        std::uint32_t count = 0;
        for (std::uint32_t n = 1; n <= dataRecords && n < accepted.size(); ++n)
            count += accepted[n];
        return count;
    }
    if (liveCount)
        return *liveCount;
    std::uint32_t count = 0;
    for (std::uint32_t n = 1; n <= dataRecords; ++n)
        count += live(n, recordAt(n, true)) ? 1 : 0;
    liveCount = count;
    return count;
}

void Table::setOrder(const std::string& tagName)
{
    OperationLock lock(*d, LockKind::Read);
    if (tagName.empty()) {
        d->order = -1;
        d->orderName.clear();
    } else {
        if (!d->indexError.empty())
            throw DatabaseError(d->indexError);
        int t = d->mdx ? d->mdx->findTag(tagName) : -1;
        if (t < 0)
            throw DatabaseError("The table " + d->path + " has no index tag " + tagName + ".");
        if (!d->tagStates[t].usable())
            throw DatabaseError("The index tag " + d->mdx->tag(t).name + " of " + d->path +
                                " cannot be used: " + d->tagStates[t].error);
        d->order = t;
        d->orderName = d->mdx->tag(t).name;
    }
    // Stay on the same record when it belongs to the new order.
    std::uint32_t keep = d->recno;
    if (keep && d->visible(keep) && (d->order < 0 || d->inTag(d->order, d->recordAt(keep)))) {
        d->load(keep);
        d->atBof = d->atEof = false;
    } else {
        bool found = d->moveFirst();
        if (!found)
            d->clearPosition(true);
        d->atBof = true;
        d->atEof = !found;
    }
}

void Table::first()
{
    if (d->state != EditState::None)
        post();
    OperationLock lock(*d, LockKind::Read);
    bool found = d->moveFirst();
    if (!found)
        d->clearPosition(true);
    d->atBof = true;
    d->atEof = !found;
}

void Table::last()
{
    if (d->state != EditState::None)
        post();
    OperationLock lock(*d, LockKind::Read);
    bool found = d->moveLast();
    if (!found)
        d->clearPosition(true);
    d->atEof = true;
    d->atBof = !found;
}

void Table::next()
{
    if (d->state != EditState::None)
        post();
    if (d->atEof && d->recno == 0)
        return;
    if (d->moveNextInWindow()) {
        d->atBof = false;
        d->atEof = false;
        return;
    }
    OperationLock lock(*d, LockKind::Read);
    if (d->recno == 0 || !d->moveNext()) {
        d->atEof = true;
        if (d->recno == 0)
            d->atBof = true;
        return;
    }
    d->atBof = false;
    d->atEof = false;
}

void Table::prior()
{
    if (d->state != EditState::None)
        post();
    if (d->atBof && d->recno == 0)
        return;
    OperationLock lock(*d, LockKind::Read);
    if (d->recno == 0 || !d->movePrior()) {
        d->atBof = true;
        if (d->recno == 0)
            d->atEof = true;
        return;
    }
    d->atBof = false;
    d->atEof = false;
}

bool Table::bof() const
{
    return d->atBof;
}
bool Table::eof() const
{
    return d->atEof;
}
std::uint32_t Table::recno() const
{
    return d->recno;
}

bool Table::seek(const std::string& value)
{
    if (d->order < 0)
        throw DatabaseError("The table " + d->path + " has no current index order to search in.");
    if (d->state != EditState::None)
        post();
    OperationLock lock(*d, LockKind::Read);
    const TagDefinition& def = d->mdx->tag(d->order);
    std::string probe;
    switch (def.keyType) {
    case ValueType::Numeric: {
        Field f{"KEY", FieldType::Numeric, 20, 8, 0};
        probe = numericKey(decodeNumber(encodeNumberText(f, value)));
        break;
    }
    case ValueType::Date: {
        Date date = decodeDate(value);
        probe = dateKey(date.isNull() ? 0 : julianDay(date.year, date.month, date.day));
        break;
    }
    default: {
        std::string bad;
        if (!d->codePage->encode(value, probe, bad))
            return false;
        if (static_cast<int>(probe.size()) > def.keyLength)
            probe.resize(def.keyLength);
        break;
    }
    }
    for (auto e = d->mdx->seek(d->order, probe); e; e = d->mdx->after(d->order, *e)) {
        if (d->visible(e->recno)) {
            d->load(e->recno);
            d->key = e->key;
            d->atBof = d->atEof = false;
            if (def.keyType == ValueType::Character)
                return e->key.compare(0, probe.size(), probe) == 0;
            return d->mdx->compareKeys(d->order, e->key, probe) == 0;
        }
    }
    d->atEof = true;
    return false;
}

bool Table::gotoBookmark(std::uint32_t recno)
{
    if (d->state != EditState::None)
        post();
    OperationLock lock(*d, LockKind::Read);
    if (!d->visible(recno))
        return false;
    if (d->order >= 0 && !d->inTag(d->order, d->recordAt(recno)))
        return false;
    d->load(recno);
    d->atBof = d->atEof = false;
    return true;
}

void Table::refresh()
{
    OperationLock lock(*d, LockKind::Read);
    d->dropCaches();
    if (d->state != EditState::None)
        return;
    if (d->recno && d->visible(d->recno)) {
        d->load(d->recno);
        return;
    }
    bool found = d->moveFirst();
    if (!found)
        d->clearPosition(true);
    d->atBof = true;
    d->atEof = !found;
}

std::uint32_t Table::recordCount()
{
    OperationLock lock(*d, LockKind::Read);
    return d->countVisible();
}

std::vector<std::uint32_t> Table::visibleRecords()
{
    return visibleRecords([] { return true; });
}

std::vector<std::uint32_t> Table::visibleRecords(const std::function<bool()>& carryOn)
{
    OperationLock lock(*d, LockKind::Read);
    // How often the walks ask carryOn: rarely enough to cost nothing.
    constexpr std::uint32_t kAskEvery = 16384;
    std::uint32_t steps = 0;
    auto goOn = [&] { return ++steps % kAskEvery != 0 || carryOn(); };
    // One bit a record: the tag walk looks records up in random order, and a
    // million bits stay in the processor's cache where a million bytes do not.
    std::vector<bool> ok(std::size_t(d->dataRecords) + 1, false);
    if (d->filter) {
        if (!d->acceptedValid)
            d->buildAccepted();
        for (std::uint32_t n = 1; n <= d->dataRecords && n < d->accepted.size(); ++n)
            ok[n] = d->accepted[n] != 0;
    } else {
        bool whole = scanRecords(*d, [&](std::uint32_t n, const char* rec) {
            ok[n] = d->live(n, rec);
            return goOn();
        });
        if (!whole)
            return {};
    }
    auto shown = [&](std::uint32_t n) { return n >= 1 && n <= d->dataRecords && ok[n]; };
    std::vector<std::uint32_t> out;
    out.reserve(d->dataRecords);
    if (d->order < 0) {
        for (std::uint32_t n = 1; n <= d->dataRecords; ++n)
            if (shown(n))
                out.push_back(n);
        return out;
    }
    bool whole = true;
    scanTag(*d->mdx, d->order, [&](std::uint32_t n) {
        if (shown(n))
            out.push_back(n);
        return whole = goOn();
    });
    if (!whole)
        return {};
    return out;
}

Table::VisiblePrefix Table::firstVisibleRecords(std::size_t count, std::size_t examine)
{
    OperationLock lock(*d, LockKind::Read);
    VisiblePrefix prefix;
    std::size_t examined = 0;
    auto take = [&](std::uint32_t n) {
        if (prefix.records.size() == count || examined++ == examine)
            return false;
        if (d->visible(n))
            prefix.records.push_back(n);
        return true;
    };
    if (d->order < 0) {
        std::uint32_t n = 1;
        while (n <= d->dataRecords && take(n))
            ++n;
        prefix.complete = n > d->dataRecords;
    } else {
        bool stopped = false;
        scanTag(*d->mdx, d->order, [&](std::uint32_t n) { return !(stopped = !take(n)); });
        prefix.complete = !stopped;
    }
    return prefix;
}

void Table::setFilter(RecordFilter filter)
{
    d->filter = std::move(filter);
    d->acceptedValid = false;
    d->accepted.clear();
}

} // namespace dbase
