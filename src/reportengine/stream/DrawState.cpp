#include "reportengine/stream/DrawState.h"

#include <type_traits>

namespace reportengine::stream {

namespace {

template <class... F> struct Overloaded : F... {
    using F::operator()...;
};
template <class... F> Overloaded(F...) -> Overloaded<F...>;

} // namespace

RecordCode codeOf(const Record& record)
{
    return std::visit([](const auto& r) { return std::decay_t<decltype(r)>::code; }, record);
}

bool applyRecord(DrawState& state, const Record& record)
{
    auto& brush = state.brush;
    auto& font = state.font;
    auto& pen = state.pen;
    bool applied = true;
    const Overloaded apply{
        [&](const SetBackgroundMode& r) { state.backgroundMode = r.value; },
        [&](const SetBackgroundColour& r) { state.backgroundColour = r.value; },
        [&](const SetScaleX& r) { state.scaleX = r.value; },
        [&](const SetScaleY& r) { state.scaleY = r.value; },
        [&](const SetBrushColour& r) { brush.colour = r.value; },
        [&](const SetBrushStyle& r) { brush.style = r.value; },
        [&](const SetBrushBitmap& r) { brush.bitmap = r.value; },
        [&](const SetWholeBrush& r) {
            brush = {r.colour, r.style, r.bitmap};
        },
        [&](const SetFontName& r) { font.name = r.value; },
        [&](const SetFontColour& r) { font.colour = r.value; },
        [&](const SetFontPitch& r) { font.pitch = r.value; },
        [&](const SetFontHeight& r) { font.height = r.value; },
        [&](const SetBold& r) { font.bold = r.value; },
        [&](const SetUnderline& r) { font.underline = r.value; },
        [&](const SetItalic& r) { font.italic = r.value; },
        [&](const SetStrikeOut& r) { font.strikeOut = r.value; },
        [&](const SetWholeFont& r) {
            font = {r.name, r.colour, r.pitch, r.height, r.bold, r.italic, r.underline, r.strikeOut};
        },
        [&](const SetPenColour& r) { pen.colour = r.value; },
        [&](const SetPenMode& r) { pen.mode = r.value; },
        [&](const SetPenStyle& r) { pen.style = r.value; },
        [&](const SetPenWidth& r) { pen.width = r.value; },
        [&](const SetWholePen& r) {
            pen = {r.colour, r.mode, r.style, r.width};
        },
        [&](const auto&) { applied = false; },
    };
    std::visit(apply, record);
    return applied;
}

} // namespace reportengine::stream
