// Reading many records by number at once, as a grid reads a screenful.
#include "DatabaseError.h"
#include "TableImpl.h"

#include <utility>

namespace dbase {
namespace {

// The position a batch of reads leaves: the current record again.
class PositionKeeper {
public:
    explicit PositionKeeper(Table::Impl& table)
        : m_table(table), m_recno(table.recno), m_key(table.key), m_record(table.record), m_bof(table.atBof),
          m_eof(table.atEof)
    {
    }
    ~PositionKeeper()
    {
        Table::Impl& t = m_table;
        t.recno = m_recno;
        t.key = std::move(m_key);
        t.record = std::move(m_record);
        t.atBof = m_bof;
        t.atEof = m_eof;
    }
    PositionKeeper(const PositionKeeper&) = delete;
    PositionKeeper& operator=(const PositionKeeper&) = delete;

    // Takes the current record's bytes as the file holds them now, as a return to it
    // by bookmark would; one that has gone keeps what was read before.
    void refresh()
    {
        Table::Impl& t = m_table;
        if (m_recno == 0 || !t.visible(m_recno))
            return;
        const char* rec = t.recordAt(m_recno);
        if (t.order >= 0 && !t.inTag(t.order, rec))
            return;
        m_record.assign(rec, t.header.recordLength);
        if (t.order >= 0)
            m_key = t.tagKey(t.order, rec);
    }

private:
    Table::Impl& m_table;
    std::uint32_t m_recno;
    std::string m_key;
    std::string m_record;
    bool m_bof, m_eof;
};

} // namespace

void Table::readRecords(const std::vector<std::uint32_t>& recnos, const RecordVisitor& visit)
{
    if (d->state != EditState::None)
        throw DatabaseError("The table " + d->path + " cannot read other records while one is being edited.");
    if (recnos.empty())
        return;
    OperationLock lock(*d, LockKind::Read);
    PositionKeeper keeper(*d);
    for (std::size_t i = 0; i < recnos.size(); ++i) {
        const std::uint32_t n = recnos[i];
        if (!d->visible(n))
            continue;
        const char* rec = d->recordAt(n);
        if (d->order >= 0 && !d->inTag(d->order, rec))
            continue;
        // The visitor reads values only, so the record's key in the order is not worked out.
        d->record.assign(rec, d->header.recordLength);
        d->recno = n;
        d->atBof = d->atEof = false;
        visit(i, *this);
    }
    keeper.refresh();
}

} // namespace dbase
