#pragma once

// The records of a recorded report stream, one plain struct per record code.
// Positions and lengths are inches from the paper's top-left corner, stored
// as IEEE single reals; colours are Windows colour values 0x00BBGGRR; texts
// are the recorded bytes (Windows-1252), at most 255 per record.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace reportengine::stream {

enum class RecordCode : std::uint8_t {
    Arc = 1,
    BrushCopy = 2,
    Chord = 3,
    CopyRect = 4,
    DrawGraphic = 5,
    FocusRect = 6,
    Ellipse = 7,
    FillRect = 8,
    FloodFill = 9,
    FrameRect = 10,
    LineTo = 11,
    MoveTo = 12,
    Pie = 13,
    Polygon = 14,
    Polyline = 15,
    PrintBitmap = 16,
    PrintBitmapRect = 17,
    Rectangle = 18,
    TabRectangle = 19,
    RoundRect = 20,
    StretchGraphic = 21,
    TextInRect = 22,
    TextCentred = 23,
    TextLeft = 24,
    TextRight = 25,
    BackgroundMode = 26,
    BackgroundColour = 27,
    ScaleX = 28,
    ScaleY = 29,
    RawPrinterData = 30,
    WholeBrush = 40,
    BrushColour = 41,
    BrushStyle = 42,
    BrushBitmap = 43,
    WholeFont = 50,
    FontName = 51,
    FontColour = 52,
    FontPitch = 53,
    FontHeight = 54,
    Bold = 55,
    Underline = 56,
    Italic = 57,
    StrikeOut = 58,
    WholePen = 70,
    PenColour = 71,
    PenMode = 72,
    PenStyle = 73,
    PenWidth = 74,
    PageStart = 80,
    ReportHeader = 81,
    PageEnd = 82,
};

// The byte values below are what a stream carries; never renumber them.
enum class BrushStyle : std::uint8_t {
    Solid = 0,
    Clear = 1,
    Horizontal = 2,
    Vertical = 3,
    FDiagonal = 4,
    BDiagonal = 5,
    Cross = 6,
    DiagCross = 7
};
enum class PenStyle : std::uint8_t {
    Solid = 0,
    Dash = 1,
    Dot = 2,
    DashDot = 3,
    DashDotDot = 4,
    Clear = 5,
    InsideFrame = 6
};
enum class PenMode : std::uint8_t {
    Black = 0,
    White = 1,
    Nop = 2,
    Not = 3,
    Copy = 4,
    NotCopy = 5,
    MergePenNot = 6,
    MaskPenNot = 7,
    MergeNotPen = 8,
    MaskNotPen = 9,
    Merge = 10,
    NotMerge = 11,
    Mask = 12,
    NotMask = 13,
    Xor = 14,
    NotXor = 15
};
enum class FontPitch : std::uint8_t { Default = 0, Variable = 1, Fixed = 2 };
enum class BackgroundMode : std::uint8_t { Transparent = 0, Opaque = 1 };
enum class Orientation : std::uint8_t { Portrait = 0, Landscape = 1, Default = 2 };
enum class GraphicKind : std::uint8_t { Bitmap = 1, Metafile = 2, Icon = 3, Other = 4 };

constexpr std::int32_t rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    return std::int32_t(red) | std::int32_t(green) << 8 | std::int32_t(blue) << 16;
}

struct Point {
    float x = 0;
    float y = 0;
    bool operator==(const Point&) const = default;
};

struct Rect {
    Point topLeft;
    Point bottomRight;
    bool operator==(const Rect&) const = default;
};

// A picture in its own file format.
struct Graphic {
    GraphicKind kind = GraphicKind::Bitmap;
    std::vector<std::uint8_t> data;
    bool operator==(const Graphic&) const = default;
};

// Record shapes shared by several codes; the code keeps the types apart.
template <RecordCode C> struct TextAt {
    static constexpr RecordCode code = C;
    float y = 0; // baseline
    std::string text;
    float x = 0; // centre, left end or right end
    bool operator==(const TextAt&) const = default;
};
template <RecordCode C> struct FourPoints {
    static constexpr RecordCode code = C;
    std::array<Point, 4> points;
    bool operator==(const FourPoints&) const = default;
};
template <RecordCode C> struct RectShape {
    static constexpr RecordCode code = C;
    Rect rect;
    bool operator==(const RectShape&) const = default;
};
template <RecordCode C> struct PointShape {
    static constexpr RecordCode code = C;
    Point point;
    bool operator==(const PointShape&) const = default;
};
template <RecordCode C> struct PointList {
    static constexpr RecordCode code = C;
    std::vector<Point> points;
    bool operator==(const PointList&) const = default;
};
template <RecordCode C> struct GraphicInRect {
    static constexpr RecordCode code = C;
    Graphic graphic;
    Rect rect;
    bool operator==(const GraphicInRect&) const = default;
};
// A state record carrying one value.
template <RecordCode C, class T> struct Setting {
    static constexpr RecordCode code = C;
    T value{};
    bool operator==(const Setting&) const = default;
};

using Arc = FourPoints<RecordCode::Arc>;
using Chord = FourPoints<RecordCode::Chord>;
using Pie = FourPoints<RecordCode::Pie>;
using FocusRect = RectShape<RecordCode::FocusRect>;
using Ellipse = RectShape<RecordCode::Ellipse>;
using FillRect = RectShape<RecordCode::FillRect>;
using FrameRect = RectShape<RecordCode::FrameRect>;
using Rectangle = RectShape<RecordCode::Rectangle>;
using TabRectangle = RectShape<RecordCode::TabRectangle>; // drawn one dot larger on every side
using LineTo = PointShape<RecordCode::LineTo>;
using MoveTo = PointShape<RecordCode::MoveTo>;
using Polygon = PointList<RecordCode::Polygon>;
using Polyline = PointList<RecordCode::Polyline>;
using PrintBitmapRect = GraphicInRect<RecordCode::PrintBitmapRect>;
using StretchGraphic = GraphicInRect<RecordCode::StretchGraphic>;
using TextCentred = TextAt<RecordCode::TextCentred>;
using TextLeft = TextAt<RecordCode::TextLeft>;
using TextRight = TextAt<RecordCode::TextRight>;

struct BrushCopy {
    static constexpr RecordCode code = RecordCode::BrushCopy;
    Graphic graphic;
    Rect destination;
    Rect source;
    std::int32_t transparentColour = 0;
    bool operator==(const BrushCopy&) const = default;
};
// Read only: players accept it, the recorder never writes it.
struct CopyRect {
    static constexpr RecordCode code = RecordCode::CopyRect;
    Rect destination;
    std::int32_t value = 0;
    Rect source;
    bool operator==(const CopyRect&) const = default;
};
struct DrawGraphic {
    static constexpr RecordCode code = RecordCode::DrawGraphic;
    Graphic graphic;
    Point position;
    bool operator==(const DrawGraphic&) const = default;
};
struct FloodFill {
    static constexpr RecordCode code = RecordCode::FloodFill;
    Point point;
    std::int32_t colour = 0;
    std::int32_t fillStyle = 0; // 0 surface, 1 border
    bool operator==(const FloodFill&) const = default;
};
struct PrintBitmap {
    static constexpr RecordCode code = RecordCode::PrintBitmap;
    Graphic graphic;
    Point position;
    float scaleX = 1;
    float scaleY = 1;
    bool operator==(const PrintBitmap&) const = default;
};
struct RoundRect {
    static constexpr RecordCode code = RecordCode::RoundRect;
    Rect rect;
    float cornerWidth = 0;
    float cornerHeight = 0;
    bool operator==(const RoundRect&) const = default;
};
struct TextInRect {
    static constexpr RecordCode code = RecordCode::TextInRect;
    Rect clip;
    Point position;
    std::string text;
    bool operator==(const TextInRect&) const = default;
};

using SetBackgroundMode = Setting<RecordCode::BackgroundMode, BackgroundMode>;
using SetBackgroundColour = Setting<RecordCode::BackgroundColour, std::int32_t>;
using SetScaleX = Setting<RecordCode::ScaleX, float>; // percent
using SetScaleY = Setting<RecordCode::ScaleY, float>;
using RawPrinterData = Setting<RecordCode::RawPrinterData, std::string>;
using SetBrushColour = Setting<RecordCode::BrushColour, std::int32_t>;
using SetBrushStyle = Setting<RecordCode::BrushStyle, BrushStyle>;
using SetBrushBitmap = Setting<RecordCode::BrushBitmap, std::optional<Graphic>>;
using SetFontName = Setting<RecordCode::FontName, std::string>;
using SetFontColour = Setting<RecordCode::FontColour, std::int32_t>;
using SetFontPitch = Setting<RecordCode::FontPitch, FontPitch>;
using SetFontHeight = Setting<RecordCode::FontHeight, float>; // character height, inches, ScaleY applied
using SetBold = Setting<RecordCode::Bold, bool>;
using SetUnderline = Setting<RecordCode::Underline, bool>;
using SetItalic = Setting<RecordCode::Italic, bool>;
using SetStrikeOut = Setting<RecordCode::StrikeOut, bool>;
using SetPenColour = Setting<RecordCode::PenColour, std::int32_t>;
using SetPenMode = Setting<RecordCode::PenMode, PenMode>;
using SetPenStyle = Setting<RecordCode::PenStyle, PenStyle>;
using SetPenWidth = Setting<RecordCode::PenWidth, float>; // inches, before ScaleX and zoom

// The whole-brush, -font and -pen records are read only.
struct SetWholeBrush {
    static constexpr RecordCode code = RecordCode::WholeBrush;
    std::int32_t colour = 0;
    BrushStyle style = BrushStyle::Solid;
    std::optional<Graphic> bitmap;
    bool operator==(const SetWholeBrush&) const = default;
};
struct SetWholeFont {
    static constexpr RecordCode code = RecordCode::WholeFont;
    std::string name;
    std::int32_t colour = 0;
    FontPitch pitch = FontPitch::Default;
    float height = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    bool operator==(const SetWholeFont&) const = default;
};
struct SetWholePen {
    static constexpr RecordCode code = RecordCode::WholePen;
    std::int32_t colour = 0;
    PenMode mode = PenMode::Copy;
    PenStyle style = PenStyle::Solid;
    float width = 0;
    bool operator==(const SetWholePen&) const = default;
};

// Every record that may stand inside a page.
using Record =
    std::variant<Arc, BrushCopy, Chord, CopyRect, DrawGraphic, FocusRect, Ellipse, FillRect, FloodFill,
                 FrameRect, LineTo, MoveTo, Pie, Polygon, Polyline, PrintBitmap, PrintBitmapRect, Rectangle,
                 TabRectangle, RoundRect, StretchGraphic, TextInRect, TextCentred, TextLeft, TextRight,
                 SetBackgroundMode, SetBackgroundColour, SetScaleX, SetScaleY, RawPrinterData, SetWholeBrush,
                 SetBrushColour, SetBrushStyle, SetBrushBitmap, SetWholeFont, SetFontName, SetFontColour,
                 SetFontPitch, SetFontHeight, SetBold, SetUnderline, SetItalic, SetStrikeOut, SetWholePen,
                 SetPenColour, SetPenMode, SetPenStyle, SetPenWidth>;

RecordCode codeOf(const Record& record);

// Record 81, first in every stream. The header is 55 bytes plus the device name.
struct ReportHeader {
    static constexpr RecordCode code = RecordCode::ReportHeader;
    std::int32_t pageCount = 0; // pages output; written 0 and filled in at the end
    std::int32_t firstPage = 1;
    std::int32_t lastPage = 0;
    float paperWidth = 8.5f; // inches
    float paperHeight = 11;
    float borderLeft = 0; // unprintable borders, inches
    float borderRight = 0;
    float borderTop = 0;
    float borderBottom = 0;
    Orientation orientation = Orientation::Portrait;
    std::int32_t copies = 1;
    std::int32_t paperSize = 0; // printer device settings, or 0 with no printer
    std::int32_t devicePaperWidth = 0;
    std::int32_t devicePaperLength = 0;
    std::string deviceName; // may be empty
    bool operator==(const ReportHeader&) const = default;
};

// Record 80, first in every page. Links are absolute stream positions of the
// neighbouring pages' record 80, 0 for none.
struct PageStart {
    static constexpr RecordCode code = RecordCode::PageStart;
    std::int32_t previous = 0;
    std::int32_t next = 0;
    std::int32_t pageNumber = 0;
    Orientation orientation = Orientation::Portrait;
    bool operator==(const PageStart&) const = default;
};

inline constexpr std::size_t kHeaderFixedSize = 55;
inline constexpr std::size_t kPageStartSize = 14;
inline constexpr std::size_t kMaxTextBytes = 255;
// Reals beyond this magnitude (inches or percent) are taken for damage, so a
// player can multiply them by resolutions and zoom without overflowing.
inline constexpr float kMaxReal = 1.0e6f;

} // namespace reportengine::stream
