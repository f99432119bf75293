#pragma once

// The rules of the design windows that are not widgets: width switches, the
// margins' check, numbers as typed, and text the report file can hold. Qt-free.

#include "reports/definition/ReportDefinition.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace reports {

// What a change of the report width asks, sets and says.
struct WidthSwitch {
    bool changes = false;           // false when the report already has that width
    const char* question = nullptr; // asked first (caption "Warning", No the default); null: nothing asked
    int bodyFontSize = 0;           // font 3's new size
    const char* notice = nullptr;   // said afterwards (caption "Notice"); null: nothing said
};

// The switch of a report `from` one width to another (90, 120 or 150): 90
// asks from 120 or 150, 120 asks only from 150, 150 never asks.
WidthSwitch widthSwitch(int from, int to);
// Carries out a switch the user agreed to: the width, lines 1..n normalised
// to it, and the body font's size.
void switchWidth(ReportDefinition& definition, int to);

// A number typed in the U.S. style whatever the numeric format: blanks around
// it ignored, "," between digit groups allowed, "." as the decimal point.
// Nullopt for anything else, and for empty text.
std::optional<double> readNumber(std::string_view text);
// A whole number, with an optional sign; nullopt for anything else or beyond int.
std::optional<int> readWholeNumber(std::string_view text);

// Margins, in inches: top, bottom, left, right.
enum class Margin { Top, Bottom, Left, Right };

struct MarginProblem {
    Margin margin;       // the box to put the focus on
    std::string message; // for the user, caption "Error"
};

// Nullopt when the margins leave a body on any Letter or A4 page: each is a
// finite number of 0 or more (nullopt stands for text that is not a number),
// left + right stay under 8 inches, and top + bottom under 8 inches in
// landscape and under 10.5 in portrait.
std::optional<MarginProblem> checkMargins(const std::array<std::optional<double>, 4>& margins,
                                          bool landscape);

// The first character of `utf8` that a string of the report file cannot hold
// (one outside Windows-1252, or a control character), as UTF-8; nullopt when
// it can hold all of them.
std::optional<std::string> unholdableCharacter(std::string_view utf8);

} // namespace reports
