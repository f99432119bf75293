#include "ColorScheme.h"

#include <array>
#include <limits>

namespace settings {
namespace {

constexpr int rgb(int red, int green, int blue)
{
    return red | (green << 8) | (blue << 16);
}

// The six colours a combination sets; the other seven follow from them.
struct ColorSet {
    const char* name;
    int background;
    int majorTitle;
    int minorTitle;
    int editBackground;
    int editText;
    int radioText;
};

// clang-format off
constexpr std::array<ColorSet, kColorSetCount> kColorSets{{
    {"Monochrome",       rgb(255, 255, 255), rgb(0, 0, 0),       rgb(0, 0, 0),       rgb(255, 255, 255), rgb(0, 0, 0),       rgb(0, 0, 0)},
    {"Gray Mist",        rgb(192, 192, 192), rgb(0, 0, 0),       rgb(0, 0, 0),       rgb(255, 255, 255), rgb(0, 0, 0),       rgb(0, 0, 0)},
    {"Midnight Black",   rgb(0, 0, 0),       rgb(192, 192, 192), rgb(255, 255, 255), rgb(127, 127, 127), rgb(0, 0, 0),       rgb(255, 255, 255)},
    {"Desert Sunset",    rgb(255, 255, 128), rgb(0, 0, 0),       rgb(0, 0, 0),       rgb(255, 255, 0),   rgb(0, 0, 0),       rgb(0, 0, 0)},
    {"Easter Pastel",    rgb(255, 128, 255), rgb(0, 0, 255),     rgb(0, 0, 0),       rgb(128, 0, 128),   rgb(0, 255, 255),   rgb(0, 0, 0)},
    {"Ocean Blue",       rgb(0, 255, 255),   rgb(255, 0, 0),     rgb(0, 0, 0),       rgb(255, 255, 255), rgb(0, 0, 128),     rgb(0, 0, 0)},
    {"Fiery Red",        rgb(255, 0, 0),     rgb(0, 0, 128),     rgb(0, 0, 0),       rgb(255, 255, 255), rgb(255, 0, 0),     rgb(0, 0, 0)},
    {"Christmas Season", rgb(0, 255, 0),     rgb(255, 255, 255), rgb(255, 0, 0),     rgb(255, 0, 0),     rgb(255, 255, 255), rgb(255, 0, 0)},
    {"Wine",             rgb(128, 0, 64),    rgb(255, 0, 0),     rgb(255, 0, 255),   rgb(128, 0, 128),   rgb(255, 0, 0),     rgb(255, 0, 255)},
    {"More Pastels",     rgb(0, 255, 128),   rgb(255, 0, 255),   rgb(128, 0, 128),   rgb(0, 255, 255),   rgb(0, 0, 255),     rgb(128, 0, 128)},
    {"Green Glow",       rgb(0, 0, 0),       rgb(0, 255, 0),     rgb(0, 255, 0),     rgb(0, 255, 0),     rgb(0, 0, 0),       rgb(0, 255, 0)},
    {"Camouflage",       rgb(128, 128, 0),   rgb(0, 128, 0),     rgb(127, 127, 127), rgb(0, 128, 128),   rgb(192, 192, 192), rgb(127, 127, 127)},
}};
// clang-format on

constexpr ColorScheme kDefaultScheme{rgb(192, 192, 192),
                                     0,
                                     0,
                                     rgb(255, 255, 255),
                                     0,
                                     rgb(255, 255, 255),
                                     0,
                                     rgb(255, 255, 255),
                                     0,
                                     rgb(192, 192, 192),
                                     0,
                                     rgb(192, 192, 192),
                                     0};

} // namespace

QString colorSetName(int entry)
{
    if (entry < 1 || entry > kColorSetCount)
        return {};
    return QString::fromLatin1(kColorSets[std::size_t(entry - 1)].name);
}

void applyColorSet(ColorScheme& scheme, int entry)
{
    if (entry < 1 || entry > kColorSetCount)
        return;
    const ColorSet& set = kColorSets[std::size_t(entry - 1)];
    auto put = [&scheme](SchemeColor which, int value) { scheme[std::size_t(which)] = value; };
    using C = SchemeColor;
    put(C::MainBackground, set.background);
    put(C::MajorTitle, set.majorTitle);
    put(C::MinorTitle, set.minorTitle);
    put(C::EditBackground, set.editBackground);
    put(C::EditText, set.editText);
    put(C::RadioText, set.radioText);
    put(C::ComboBackground, set.editBackground);
    put(C::ListBoxBackground, set.editBackground);
    put(C::ComboText, set.editText);
    put(C::ListBoxText, set.editText);
    put(C::RadioBackground, set.background);
    put(C::CheckBackground, set.background);
    put(C::CheckText, set.radioText);
}

int schemeColorFromFile(std::int64_t value, int fallback)
{
    if (value < 0 || value >= std::numeric_limits<std::int32_t>::max())
        return fallback;
    return int(value & 0xFFFFFF);
}

const ColorScheme& defaultColorScheme()
{
    return kDefaultScheme;
}

} // namespace settings
