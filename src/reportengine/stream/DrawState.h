#pragma once

// The canvas state a stream carries: every page starts by recording all of
// it, later records change single items. The defaults are the state before a
// report selects anything: black clear brush; 10-point Arial, black, default
// pitch, no style; black solid copy-mode pen of the thinnest width; scales
// 100 %; transparent text background on white.

#include "reportengine/stream/StreamRecords.h"

namespace reportengine::stream {

struct BrushState {
    std::int32_t colour = 0;
    BrushStyle style = BrushStyle::Clear;
    std::optional<Graphic> bitmap;
    bool operator==(const BrushState&) const = default;
};

struct FontState {
    std::string name = "Arial";
    std::int32_t colour = 0;
    FontPitch pitch = FontPitch::Default;
    float height = 10.0f / 72.0f; // character height, inches
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    bool operator==(const FontState&) const = default;
};

struct PenState {
    std::int32_t colour = 0;
    PenMode mode = PenMode::Copy;
    PenStyle style = PenStyle::Solid;
    float width = 0; // inches; 0 is the thinnest line the device draws
    bool operator==(const PenState&) const = default;
};

struct DrawState {
    BrushState brush;
    FontState font;
    PenState pen;
    float scaleX = 100;
    float scaleY = 100;
    BackgroundMode backgroundMode = BackgroundMode::Transparent;
    std::int32_t backgroundColour = rgb(255, 255, 255);
    bool operator==(const DrawState&) const = default;
};

// Applies a state record to `state`; returns false (and leaves it alone) for
// a drawing record. Players keep their canvas in step with this.
bool applyRecord(DrawState& state, const Record& record);

} // namespace reportengine::stream
