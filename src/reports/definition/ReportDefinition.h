#pragma once

// One report definition: a stored layout of up to twelve lines of fields,
// labels and blank space per book, with fonts, titles, margins and totals.
// The record is a fixed 20,622-byte block exchanged with copies of the
// program on Windows, so its codec is byte-exact: little-endian integers,
// IEEE doubles, Windows-1252 strings of a length byte and n bytes. Qt-free.
//
// Strings here are UTF-8. Decoding sanitises every value that could drive
// generation off its rails (see sanitise()); encoding refuses text that
// Windows-1252 cannot hold.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

namespace reports {

inline constexpr std::size_t kDefinitionSize = 20'622;
inline constexpr std::size_t kOldDefinitionSize = 19'831;
inline constexpr int kMaxLines = 12;
inline constexpr int kItemsPerLine = 20;
inline constexpr int kFieldCount = 36; // report field numbers 1..36
inline constexpr int kTotalCount = 4;  // total numbers 1..4: Cost, Value, Low Market, High Market
inline constexpr int kMaxItemWidth = 150;
inline constexpr int kReservedSize = 498;

inline constexpr const char* kFiller = "<FILLER>";
inline constexpr const char* kLabel = "<LABEL>";

struct ReportFontBlock {
    std::string name; // at most 50 characters
    int size = 10;    // points
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    std::int32_t colour = 0; // Windows colour value 0x00BBGGRR
    bool operator==(const ReportFontBlock&) const = default;
};

struct ReportItem {
    enum class Kind { Filler, Label, Field };
    std::string name = kFiller; // "<FILLER>", "<LABEL>" or a field's name (30 characters)
    int number = 0;             // field number 1..36, or on the totals line the total number 1..4
    int width = 0;              // characters; the line ends before the first item of width ≤ 0
    std::string label;          // a label's text (40 characters)

    Kind kind() const;
    bool operator==(const ReportItem&) const = default;
};

using ReportLine = std::array<ReportItem, kItemsPerLine>;

struct ReportDefinition {
    std::string name; // 30 characters
    int width = 90;   // characters: 90, 120 or 150
    // Fonts 1 titles, 2 column headers, 3 body, 4 unused, 5 page footer.
    std::array<ReportFontBlock, 5> fonts;
    bool columnHeaders = true;
    bool pageNumbers = true;
    bool landscape = false;
    bool dateOnPages = true;
    bool useTotals = true;
    int lineCount = 1; // 0..12
    ReportLine totals;
    double marginTop = 0.5; // inches
    double marginBottom = 0.5;
    double marginLeft = 0.5;
    double marginRight = 0.5;
    bool verticalLines = true;
    bool horizontalLines = true;
    std::array<std::string, 3> titles; // 80 characters each
    std::array<ReportLine, kMaxLines> lines;
    bool groupLevel1 = true;
    bool groupLevel2 = false;
    std::array<std::uint8_t, kReservedSize> reserved{}; // kept as read when a record is rewritten

    bool operator==(const ReportDefinition&) const = default;

    // The items of a line up to the first of width ≤ 0.
    std::span<const ReportItem> used(const ReportLine& line) const;
};

// Text that the record cannot hold: a character outside Windows-1252, or a
// string longer than its field.
class DefinitionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using DefinitionBytes = std::array<std::uint8_t, kDefinitionSize>;

// Decodes a record and sanitises it; never fails, whatever the bytes.
ReportDefinition decodeDefinition(std::span<const std::uint8_t, kDefinitionSize> bytes);
// The record of a definition: zeros after each string's length, flags 0/1,
// the reserved bytes as kept. Throws DefinitionError for text it cannot hold.
DefinitionBytes encodeDefinition(const ReportDefinition& definition);
// The name alone, for listing: bytes 0..30 of a record.
std::string decodeName(std::span<const std::uint8_t> nameField);

// A record of the older 19,831-byte format made into a definition: its name,
// width, flags, line count, titles and items; Courier New fonts (10 points on
// a 90-character report, else 8) with bold titles, headers and footers;
// portrait, date on, margins 0.5, no box lines, grouped on level 1 only.
ReportDefinition decodeOldDefinition(std::span<const std::uint8_t, kOldDefinitionSize> bytes);

// Makes a definition safe to generate from, whatever a hostile or damaged
// file held: line count 0..12; width 90 unless 90, 120 or 150; a field item
// numbered outside 1..36 (on the totals line outside 1..4) becomes a filler;
// item widths 0..150; font sizes 10 unless 1..144; margins that are not
// finite or negative 0.5.
void sanitise(ReportDefinition& definition);

// A new report: width 90, Courier New 10 with bold on fonts 1, 2 and 5, every
// line and the totals line a single filler of width 150.
ReportDefinition newDefinition();

} // namespace reports
