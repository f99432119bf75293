#include "reports/design/DesignRules.h"

#include "dbase/CodePage.h"
#include "reports/design/LineNormaliser.h"

#include <charconv>
#include <cmath>

namespace reports {

namespace {

constexpr double kMaxSideMargins = 8.0; // the narrowest paper is 8.27 in wide
constexpr double kMaxLandscapeEnds = 8.0;
constexpr double kMaxPortraitEnds = 10.5; // Letter is 11 in high

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

} // namespace

WidthSwitch widthSwitch(int from, int to)
{
    WidthSwitch s;
    s.changes = from != to;
    if (!s.changes)
        return s;
    switch (to) {
    case 90:
        s.question = "Switching to 90 characters from 120 or 150 will truncate the current defined lines.  "
                     "In addition, the font size will be reset to a 10 point as a default.  Are you sure you "
                     "wish to do this?";
        s.bodyFontSize = 10;
        break;
    case 120:
        if (from == 150)
            s.question = "Switching to 120 characters from 150 will truncate the current defined lines.  In "
                         "addition, the font size will be reset to a 8 point as a default.  Are you sure you "
                         "wish to do this?";
        s.bodyFontSize = 8;
        s.notice = "The Report Body font size has been set to a 8 Point default size as.";
        break;
    default:
        s.bodyFontSize = 6;
        s.notice = "The Report Body font size has been set to a 6 Point default size as a result of "
                   "switching to 150 characters per line.";
        break;
    }
    return s;
}

void switchWidth(ReportDefinition& definition, int to)
{
    definition.width = to;
    normaliseLines(definition);
    definition.fonts[2].size = widthSwitch(0, to).bodyFontSize;
}

std::optional<double> readNumber(std::string_view text)
{
    text = trimmed(text);
    std::string digits;
    for (const char c : text)
        if (c != ',')
            digits += c;
    if (digits.empty() || digits.front() == ',' || digits.front() == '+')
        return std::nullopt;
    double value = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, std::chars_format::fixed);
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return value;
}

std::optional<int> readWholeNumber(std::string_view text)
{
    text = trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<MarginProblem> checkMargins(const std::array<std::optional<double>, 4>& margins, bool landscape)
{
    static const char* const names[] = {"top", "bottom", "left", "right"};
    for (std::size_t i = 0; i < margins.size(); ++i)
        if (!margins[i] || !std::isfinite(*margins[i]) || *margins[i] < 0)
            return MarginProblem{Margin(i), std::string("The ") + names[i] +
                                                " margin must be a number of inches, 0 or more.  "
                                                "Please correct."};
    if (*margins[2] + *margins[3] >= kMaxSideMargins)
        return MarginProblem{Margin::Left, "The left and right margins together must be less than 8 "
                                           "inches.  Please correct."};
    const double ends = landscape ? kMaxLandscapeEnds : kMaxPortraitEnds;
    if (*margins[0] + *margins[1] >= ends)
        return MarginProblem{Margin::Top, std::string("The top and bottom margins together must be less "
                                                      "than ") +
                                              (landscape ? "8 inches in landscape" : "10.5 inches") +
                                              ", or no room is left for the report body.  Please correct."};
    return std::nullopt;
}

std::optional<std::string> unholdableCharacter(std::string_view utf8)
{
    std::string bytes;
    std::string bad;
    if (!dbase::CodePage::windows1252().encode(utf8, bytes, bad))
        return bad;
    // Control characters, C1 included, never go into a name, title, label or font name.
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x20 || c == 0x7F)
            return std::string(1, char(c));
        if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) < 0xA0)
            return std::string(utf8.substr(i, 2));
    }
    return std::nullopt;
}

} // namespace reports
