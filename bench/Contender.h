#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>

namespace bench {

// The result of one measurement: seconds of the timed part (per operation where
// the figure is an average) and, for the filtered walk, how many records matched.
struct Measurement {
    double seconds = 0;
    std::uint64_t matched = 0;
};

// Adds up the time between resume() and pause(), so that untimed work such as
// making the next batch of books can sit between timed stretches.
class Stopwatch {
public:
    void resume() { m_start = Clock::now(); }
    void pause() { m_total += Clock::now() - m_start; }
    double seconds() const { return std::chrono::duration<double>(m_total).count(); }

private:
    using Clock = std::chrono::steady_clock;
    Clock::time_point m_start;
    Clock::duration m_total{};
};

// What the books table is sorted on: author, title, publisher, cost.
inline constexpr const char* kTagName = "NEWINDEX";
inline constexpr const char* kTagExpression =
    "Upper(Left(Author,20))+Upper(Left(Title,20))+Upper(Left(Publisher,20))+STR(Cost,12,2)";
inline constexpr const char* kFilterWord = "River";
inline constexpr int kPostedEdits = 200;
inline constexpr int kFirstRows = 40;

// How many records the edit figure changes, and which: up to kPostedEdits
// different records spread over the middle quarter of a table of `records` records.
inline int editCount(std::uint32_t records)
{
    return static_cast<int>(std::min<std::uint32_t>(kPostedEdits, records));
}
inline std::uint32_t editedRecord(std::uint32_t records, int i)
{
    const std::uint32_t count = static_cast<std::uint32_t>(editCount(records));
    const std::uint32_t stride = std::max<std::uint32_t>(1, records / (4 * count));
    return (records - stride * count) / 2 + stride * static_cast<std::uint32_t>(i) + 1;
}

// One database under test. Every figure can be measured again: it first puts
// the files back into the state it needs, and times only the operation itself.
// The figures run in declaration order; each relies on the table left by append().
class Contender {
public:
    virtual ~Contender() = default;
    virtual Measurement append() = 0;       // create, add the tag, then add every book
    virtual Measurement buildTag() = 0;     // the tag on the filled table
    virtual Measurement openCount() = 0;    // open and exact count
    virtual Measurement firstRows() = 0;    // open, first kFirstRows titles in tag order
    virtual Measurement filteredWalk() = 0; // every title containing kFilterWord, in tag order
    virtual Measurement postEdits() = 0;    // seconds per posted CHECKOUT change
    virtual Measurement pack() = 0;         // removal of every 10th record, already marked deleted
};

} // namespace bench
