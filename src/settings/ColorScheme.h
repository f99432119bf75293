#pragma once

#include "settings/Settings.h"

#include <QString>

#include <cstdint>

namespace settings {

// The twelve predefined colour combinations, numbered 1 to 12; entry 0 is the blank
// entry at the head of the list, which stands for no combination.
inline constexpr int kColorSetCount = 12;

// The name of combination `entry` (1 ... 12); empty for 0 and any other number.
QString colorSetName(int entry);

// Sets the six colours combination `entry` names in `scheme` and derives the other
// seven from them. The blank entry and numbers outside 1 ... 12 change nothing.
void applyColorSet(ColorScheme& scheme, int entry);

// The colour a scheme keeps for a number read from the settings file: the low three
// bytes (red, green, blue) of a value that fits a Windows colour value, else `fallback`.
// A negative value (a system colour of another program) or one too large for 32 bits
// has no colour of ours in it.
int schemeColorFromFile(std::int64_t value, int fallback);

// The thirteen colours every scheme starts with.
const ColorScheme& defaultColorScheme();

} // namespace settings
