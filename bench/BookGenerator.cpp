#include "BookGenerator.h"

#include "BookWords.h"

#include <algorithm>
#include <charconv>
#include <span>
#include <stdexcept>
#include <string_view>

namespace bench {
namespace {

using namespace words;

using List = std::span<const std::string_view>;

// SplitMix64: small, fast and the same everywhere.
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E37'79B9'7F4A'7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58'476D'1CE4'E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D0'49BB'1331'11EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [0, n).
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    int between(int low, int high) { return low + below(high - low + 1); }
    bool percent(int p) { return below(100) < p; }
    std::string_view pick(List list)
    {
        return list[static_cast<std::size_t>(below(static_cast<int>(list.size())))];
    }

private:
    std::uint64_t m_state;
};

void appendNumber(std::string& out, long long value, int minDigits = 1)
{
    char buffer[24];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    (void)ec;
    for (int pad = minDigits - static_cast<int>(end - buffer); pad > 0; --pad)
        out.push_back('0');
    out.append(buffer, end);
}

void setMoney(std::string& out, long long cents)
{
    out.clear();
    appendNumber(out, cents / 100);
    out.push_back('.');
    appendNumber(out, cents % 100, 2);
}

void setDate(std::string& out, int year, Random& random)
{
    out.clear();
    appendNumber(out, year, 4);
    appendNumber(out, random.between(1, 12), 2);
    appendNumber(out, random.between(1, 28), 2);
}

void setPersonName(std::string& out, Random& random)
{
    out.assign(random.pick(kFirstNames));
    out.push_back(' ');
    out.append(random.pick(kSurnames));
}

void setTitle(std::string& out, Random& random)
{
    out.clear();
    switch (random.below(7)) {
    case 0:
    case 1:
        out.append("The ").append(random.pick(kAdjectives)).append(" ").append(random.pick(kNouns));
        break;
    case 2:
        out.append("The ").append(random.pick(kNouns)).append(" of ").append(random.pick(kPlaces));
        break;
    case 3:
        out.append(random.pick(kAdjectives)).append(" ").append(random.pick(kNouns));
        break;
    case 4:
        out.append(random.pick(kFirstNames)).append("'s ").append(random.pick(kNouns));
        break;
    case 5:
        out.append("The ").append(random.pick(kNouns)).append(" and the ").append(random.pick(kNouns));
        break;
    default:
        out.append("The ").append(random.pick(kNouns)).append(" of the ").append(random.pick(kAdjectives));
        out.append(" ").append(random.pick(kNouns));
        break;
    }
}

void setAuthor(std::string& out, Random& random)
{
    out.assign(random.pick(kSurnames)).append(", ").append(random.pick(kFirstNames));
    if (random.percent(20)) {
        out.push_back(' ');
        out.push_back(static_cast<char>('A' + random.below(26)));
        out.push_back('.');
    }
}

void setDescription(std::string& out, Random& random)
{
    out.assign(random.pick(kEditionNotes));
    if (random.percent(80))
        out.append(", ").append(random.pick(kJacketNotes));
    if (random.percent(40))
        out.append("; ").append(random.pick(kProvenance));
    else
        out.push_back('.');
}

// An ISBN-13 with a valid check digit, hyphenated as 978-G-PPP-TTTTT-C.
void setIsbn(std::string& out, Random& random)
{
    char digits[12] = {'9', '7', '8'};
    for (int i = 3; i < 12; ++i)
        digits[i] = static_cast<char>('0' + (i == 3 ? random.below(4) : random.below(10)));
    int sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += (digits[i] - '0') * (i % 2 ? 3 : 1);
    out.assign(digits, 3).append("-").append(digits + 3, 1).append("-").append(digits + 4, 3);
    out.append("-").append(digits + 7, 5).append("-");
    out.push_back(static_cast<char>('0' + (10 - sum % 10) % 10));
}

void setKeywords(std::string& out, Random& random)
{
    out.assign(random.pick(kKeywords));
    for (int extra = random.below(4); extra > 0; --extra)
        out.append(", ").append(random.pick(kKeywords));
}

void setLocation(std::string& out, Random& random)
{
    const std::string_view room = random.pick(kRooms);
    out.assign(room).append(room == "Box" ? " " : ", shelf ");
    appendNumber(out, random.between(1, 24));
}

void setDewey(std::string& out, Random& random)
{
    out.clear();
    appendNumber(out, random.between(0, 999), 3);
    out.push_back('.');
    appendNumber(out, random.between(0, 999), random.between(1, 3));
}

// Cuts `text` to at most `width` characters (UTF-8 code points), never inside one.
void fitWidth(std::string& text, int width)
{
    int characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            continue;
        if (++characters > width) {
            text.resize(i);
            return;
        }
    }
}

constexpr std::string_view kExpectedOrder[db::kBookFieldCount] = {
    "TITLE",      "AUTHOR",    "YEARPUB",   "PUBLISHER", "CATEGORY",  "WHEREPURCH", "COST",     "VALUE",
    "DESCRIPTIO", "ISBN",      "RATING",    "PURCHDATE", "BOOKTYPE",  "CATALOGNUM", "SUB1",     "SUB2",
    "CHECKOUT",   "CHECKDATE", "CHECKNAME", "VOLUME",    "ISSUE",     "EDITION",    "KEYWORDS", "PAGES",
    "LOCATION",   "CONDITION", "EDITOR",    "DEWEY",     "LOWMARKET", "HIGHMARKET", "USERDEF1", "USERDEF2",
    "USERDEF3",   "USERDEF4",  "USERDEF5",  "USERDEF6"};

} // namespace

BookGenerator::BookGenerator(std::uint64_t seed) : m_seed(seed)
{
    for (int i = 0; i < db::kBookFieldCount; ++i) {
        if (db::bookFields()[i].name != kExpectedOrder[i])
            throw std::logic_error("The book generator expects field " + std::string(kExpectedOrder[i]) +
                                   " at position " + std::to_string(i) + ".");
    }
}

void BookGenerator::generate(std::uint64_t index, BookRecord& book) const
{
    Random random(m_seed ^ (index * 0xD6E8'FEB8'6659'FD93ULL));
    auto& b = book;
    setTitle(b[0], random);
    setAuthor(b[1], random);
    // Skewed towards recent years, as collections are.
    const int year = 1850 + std::max(random.below(176), random.below(176));
    b[2].clear();
    appendNumber(b[2], year);
    b[3].assign(random.pick(kPublishers));
    b[4].assign(random.pick(kCategories));
    b[5].assign(random.percent(85) ? random.pick(kShops) : "");
    // Mostly cheap books with a long tail up to 500.00.
    const double u = static_cast<double>(random.next() >> 11) / static_cast<double>(1ULL << 53);
    const long long cents = 50 + static_cast<long long>(u * u * u * 49950.0);
    setMoney(b[6], cents);
    setMoney(b[7], cents * random.between(50, 300) / 100);
    setDescription(b[8], random);
    if (year >= 1970 && random.percent(90))
        setIsbn(b[9], random);
    else
        b[9].clear();
    b[10].assign(random.percent(80) ? random.pick(kRatings) : "");
    if (random.percent(90))
        setDate(b[11], random.between(std::max(year, 1975), 2025), random);
    else
        b[11].clear();
    b[12].assign(random.pick(kBookTypes));
    b[13].assign("SB-");
    appendNumber(b[13], static_cast<long long>(index + 1), 6);
    b[14].assign(random.percent(70) ? random.pick(kSubCodes) : "");
    b[15].assign(random.percent(30) ? random.pick(kSubCodes) : "");
    const bool out = random.percent(10);
    b[16].assign(out ? "Yes" : "No");
    if (out) {
        setDate(b[17], random.between(2023, 2025), random);
        setPersonName(b[18], random);
    } else {
        b[17].clear();
        b[18].clear();
    }
    b[19].clear();
    if (random.percent(10))
        appendNumber(b[19], random.between(1, 12));
    b[20].clear();
    if (random.percent(5))
        appendNumber(b[20], random.between(1, 52));
    b[21].assign(random.percent(75) ? random.pick(kEditions) : "");
    setKeywords(b[22], random);
    b[23].clear();
    if (random.percent(95))
        appendNumber(b[23], random.between(48, 1200));
    setLocation(b[24], random);
    b[25].assign(random.pick(kConditions));
    if (random.percent(15))
        setPersonName(b[26], random);
    else
        b[26].clear();
    setDewey(b[27], random);
    if (random.percent(70)) {
        const long long low = cents * random.between(40, 120) / 100;
        setMoney(b[28], low);
        setMoney(b[29], low + low * random.between(10, 150) / 100);
    } else {
        b[28].clear();
        b[29].clear();
    }
    static constexpr int kNotePercent[6] = {50, 30, 15, 5, 2, 0};
    for (int i = 0; i < 6; ++i)
        b[30 + i].assign(random.percent(kNotePercent[i]) ? random.pick(kNotes) : "");

    for (int i = 0; i < db::kBookFieldCount; ++i) {
        if (db::bookFields()[i].kind == dbase::FieldSpec::Kind::Character)
            fitWidth(b[i], db::bookFields()[i].width);
    }
}

void BookGenerator::generate(std::uint64_t first, std::vector<BookRecord>& books) const
{
    for (std::size_t i = 0; i < books.size(); ++i)
        generate(first + i, books[i]);
}

} // namespace bench
