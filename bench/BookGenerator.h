#pragma once

#include "db/BookSchema.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// The 36 values of one book in the order of db::bookFields(), as the engine takes
// them: UTF-8 text, numbers as plain decimal text, dates as YYYYMMDD, "" for blank.
using BookRecord = std::array<std::string, db::kBookFieldCount>;

// Positions in BookRecord of the fields the benchmark touches by itself.
inline constexpr int kTitleField = 0;
inline constexpr int kCheckoutField = 16;

// Makes realistic books without any outside data: titles from word lists
// ("The Silent River"), authors as "Surname, Firstname", prices, dates, ISBNs
// and notes, some with accented letters that Windows-1252 holds. Every value
// fits its field's width. Book `index` depends only on the seed and the index,
// so any book can be made again on its own and the results do not depend on the
// platform's random number library.
class BookGenerator {
public:
    static constexpr std::uint64_t kDefaultSeed = 0x5EE1'BA57'B00C'5EEDULL;

    // Throws std::logic_error when db::bookFields() is not the field order this generator fills.
    explicit BookGenerator(std::uint64_t seed = kDefaultSeed);

    // Fills `book` with book number `index` (counting from 0); reuses its strings' storage.
    void generate(std::uint64_t index, BookRecord& book) const;
    // Fills books[i] with book number first + i for every element of `books`.
    void generate(std::uint64_t first, std::vector<BookRecord>& books) const;

private:
    std::uint64_t m_seed;
};

} // namespace bench
