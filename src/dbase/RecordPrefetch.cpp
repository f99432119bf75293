#include "RecordPrefetch.h"

#include "DatabaseError.h"

#include <algorithm>
#include <string>
#include <system_error>

namespace dbase {
namespace {

// Large enough that a piece costs one read call, small enough that three stay
// well inside a tag build's memory bound.
constexpr std::size_t kDefaultPieceBytes = std::size_t(1) << 20;
std::size_t pieceBytes = kDefaultPieceBytes;

} // namespace

void RecordPrefetch::setPieceBytes(std::size_t bytes)
{
    pieceBytes = bytes ? bytes : kDefaultPieceBytes;
}

RecordPrefetch::RecordPrefetch(File& file, std::uint64_t dataStart, std::size_t length, std::uint32_t records,
                               Prepare prepare)
    : m_file(file), m_dataStart(dataStart), m_length(length), m_records(records),
      m_perPiece(static_cast<std::uint32_t>(std::max<std::size_t>(1, pieceBytes / length))),
      m_prepare(std::move(prepare))
{
    for (std::vector<char>& buffer : m_buffers)
        buffer.resize(std::size_t(m_perPiece) * m_length);
    try {
        m_thread = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        // No thread to be had: next() reads each piece itself.
    }
}

RecordPrefetch::~RecordPrefetch()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void RecordPrefetch::readPiece(std::size_t slot, std::uint32_t first, bool onReader)
{
    const std::uint32_t want = std::min(m_perPiece, m_records - first + 1);
    const std::size_t got = m_file.readAt(m_dataStart + std::uint64_t(first - 1) * m_length,
                                          m_buffers[slot].data(), std::size_t(want) * m_length);
    const auto whole = static_cast<std::uint32_t>(got / m_length);
    if (whole < want)
        throw DatabaseError("The table " + m_file.path() + " is truncated: record " +
                            std::to_string(first + whole) + " is missing.");
    m_pieces[slot] = {first, want, m_buffers[slot].data(), slot, false};
    // The first piece is the caller's, which has nothing else to do yet.
    if (m_prepare && onReader && (first - 1) / m_perPiece % 2 == 1) {
        m_prepare(m_pieces[slot]);
        m_pieces[slot].prepared = true;
    }
}

void RecordPrefetch::run()
{
    try {
        for (std::uint32_t first = 1; first <= m_records; first += m_perPiece) {
            std::size_t slot = 0;
            {
                std::unique_lock lock(m_mutex);
                // The slot the caller holds is not given back yet, so it is never overwritten.
                m_changed.wait(lock, [&] { return m_stop || m_produced - m_consumed < kSlots; });
                if (m_stop)
                    return;
                slot = std::size_t(m_produced % kSlots);
            }
            readPiece(slot, first, true);
            {
                std::lock_guard lock(m_mutex);
                ++m_produced;
            }
            m_changed.notify_all();
            if (m_records - first < m_perPiece)
                break;
        }
    } catch (...) {
        std::lock_guard lock(m_mutex);
        m_failure = std::current_exception();
    }
    {
        std::lock_guard lock(m_mutex);
        m_done = true;
    }
    m_changed.notify_all();
}

bool RecordPrefetch::next(Piece& piece)
{
    if (!m_thread.joinable()) {
        if (m_nextFirst > m_records || m_records == 0)
            return false;
        readPiece(0, m_nextFirst, false);
        piece = m_pieces[0];
        m_nextFirst += piece.count;
        return true;
    }
    std::unique_lock lock(m_mutex);
    if (m_holding) {
        ++m_consumed;
        m_holding = false;
        m_changed.notify_all();
    }
    m_changed.wait(lock, [&] { return m_produced > m_consumed || m_done; });
    if (m_produced > m_consumed) {
        piece = m_pieces[std::size_t(m_consumed % kSlots)];
        m_holding = true;
        return true;
    }
    if (m_failure)
        std::rethrow_exception(m_failure);
    return false;
}

} // namespace dbase
