#pragma once

// Reads a table's records from the first to the last on a second thread, a
// piece at a time, and prepares each piece there (a tag build computes its keys)
// while the caller works on the piece before: building a tag over a million
// books spent most of its time reading records and computing keys.
#include "FileSystem.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace dbase {

class RecordPrefetch {
public:
    struct Piece {
        std::uint32_t first = 0; // record number of the piece's first record
        std::uint32_t count = 0;
        const char* bytes = nullptr; // valid until the next call of next()
        std::size_t slot = 0;        // which of kSlots buffers holds it
        bool prepared = false;       // prepared on the reading thread; else the caller's to do
    };
    static constexpr std::size_t kSlots = 3;
    // Runs on the reading thread for every other piece read, before the caller
    // has it; the caller prepares the others, so that both processors share the work.
    using Prepare = std::function<void(const Piece&)>;

    // `dataStart` is where record 1 begins; `records` are read, `length` bytes each.
    RecordPrefetch(File& file, std::uint64_t dataStart, std::size_t length, std::uint32_t records,
                   Prepare prepare = {});
    ~RecordPrefetch();
    RecordPrefetch(const RecordPrefetch&) = delete;
    RecordPrefetch& operator=(const RecordPrefetch&) = delete;

    // Bytes read at a time (whole records, at least one); 0 for the default. For tests.
    static void setPieceBytes(std::size_t bytes);

    // The next piece; false after the last. Throws what reading threw, a
    // truncated file among it.
    bool next(Piece& piece);

private:
    void run();
    // `onReader`: called on the reading thread, which then prepares every other piece.
    void readPiece(std::size_t slot, std::uint32_t first, bool onReader);

    File& m_file;
    const std::uint64_t m_dataStart;
    const std::size_t m_length;
    const std::uint32_t m_records;
    const std::uint32_t m_perPiece;
    const Prepare m_prepare;

    std::array<std::vector<char>, kSlots> m_buffers;
    std::array<Piece, kSlots> m_pieces;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::uint64_t m_produced = 0, m_consumed = 0; // pieces read, pieces given back
    bool m_holding = false;                       // the caller has piece m_consumed
    bool m_done = false, m_stop = false;
    std::exception_ptr m_failure;
    std::thread m_thread;
    std::uint32_t m_nextFirst = 1; // the next piece to read when there is no thread
};

} // namespace dbase
