#include "reportengine/stream/RecordCodec.h"

#include "reportengine/stream/StreamError.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <type_traits>
#include <utility>

namespace reportengine::stream {

namespace {

// Which record shape a type is; the shapes share their field lists.
template <class T> inline constexpr bool isTextAt = false;
template <RecordCode C> inline constexpr bool isTextAt<TextAt<C>> = true;
template <class T> inline constexpr bool isFourPoints = false;
template <RecordCode C> inline constexpr bool isFourPoints<FourPoints<C>> = true;
template <class T> inline constexpr bool isRectShape = false;
template <RecordCode C> inline constexpr bool isRectShape<RectShape<C>> = true;
template <class T> inline constexpr bool isPointShape = false;
template <RecordCode C> inline constexpr bool isPointShape<PointShape<C>> = true;
template <class T> inline constexpr bool isPointList = false;
template <RecordCode C> inline constexpr bool isPointList<PointList<C>> = true;
template <class T> inline constexpr bool isGraphicInRect = false;
template <RecordCode C> inline constexpr bool isGraphicInRect<GraphicInRect<C>> = true;
template <class T> inline constexpr bool isSetting = false;
template <RecordCode C, class V> inline constexpr bool isSetting<Setting<C, V>> = true;

// The payload of every record, header and page start, in stream order. `io`
// is an Encoder (R const) or a Decoder.
template <class Io, class R> void fields(Io& io, R& r)
{
    using T = std::remove_const_t<R>;
    if constexpr (isTextAt<T>)
        io(r.y, r.text, r.x);
    else if constexpr (isFourPoints<T> || isPointList<T>)
        io(r.points);
    else if constexpr (isRectShape<T>)
        io(r.rect);
    else if constexpr (isPointShape<T>)
        io(r.point);
    else if constexpr (isGraphicInRect<T>)
        io(r.graphic, r.rect);
    else if constexpr (isSetting<T>)
        io(r.value);
    else if constexpr (std::is_same_v<T, BrushCopy>)
        io(r.graphic, r.destination, r.source, r.transparentColour);
    else if constexpr (std::is_same_v<T, CopyRect>)
        io(r.destination, r.value, r.source);
    else if constexpr (std::is_same_v<T, DrawGraphic>)
        io(r.graphic, r.position);
    else if constexpr (std::is_same_v<T, FloodFill>)
        io(r.point, r.colour, r.fillStyle);
    else if constexpr (std::is_same_v<T, PrintBitmap>)
        io(r.graphic, r.position, r.scaleX, r.scaleY);
    else if constexpr (std::is_same_v<T, RoundRect>)
        io(r.rect, r.cornerWidth, r.cornerHeight);
    else if constexpr (std::is_same_v<T, TextInRect>)
        io(r.clip, r.position, r.text);
    else if constexpr (std::is_same_v<T, SetWholeBrush>)
        io(r.colour, r.style, r.bitmap);
    else if constexpr (std::is_same_v<T, SetWholeFont>)
        io(r.name, r.colour, r.pitch, r.height, r.bold, r.italic, r.underline, r.strikeOut);
    else if constexpr (std::is_same_v<T, SetWholePen>)
        io(r.colour, r.mode, r.style, r.width);
    else if constexpr (std::is_same_v<T, ReportHeader>)
        io(r.pageCount, r.firstPage, r.lastPage, r.paperWidth, r.paperHeight, r.borderLeft, r.borderRight,
           r.borderTop, r.borderBottom, r.orientation, r.copies, r.paperSize, r.devicePaperWidth,
           r.devicePaperLength, r.deviceName);
    else if constexpr (std::is_same_v<T, PageStart>)
        io(r.previous, r.next, r.pageNumber, r.orientation);
    else
        static_assert(sizeof(T) == 0, "record type without a field list");
}

// The first and last byte value each enumeration may carry.
template <class E> constexpr std::pair<int, int> enumRange()
{
    if constexpr (std::is_same_v<E, BrushStyle>)
        return {0, 7};
    else if constexpr (std::is_same_v<E, PenStyle>)
        return {0, 6};
    else if constexpr (std::is_same_v<E, PenMode>)
        return {0, 15};
    else if constexpr (std::is_same_v<E, FontPitch> || std::is_same_v<E, Orientation>)
        return {0, 2};
    else if constexpr (std::is_same_v<E, BackgroundMode>)
        return {0, 1};
    else if constexpr (std::is_same_v<E, GraphicKind>)
        return {1, 4};
    else
        static_assert(sizeof(E) == 0, "enumeration without a range");
}

template <class E> bool inRange(E value)
{
    constexpr auto range = enumRange<E>();
    return int(value) >= range.first && int(value) <= range.second;
}

bool realAllowed(float value)
{
    return std::isfinite(value) && std::fabs(value) <= kMaxReal;
}

[[noreturn]] void refuse(const std::string& what)
{
    throw StreamError("The report cannot be recorded: " + what + ".", what);
}

class Encoder {
public:
    explicit Encoder(std::vector<std::uint8_t>& out) : m_out(out) {}

    template <class... T> void operator()(const T&... values) { (field(values), ...); }

private:
    void byte(std::uint8_t value) { m_out.push_back(value); }
    void field(std::int32_t value)
    {
        const auto bits = std::uint32_t(value);
        for (int shift = 0; shift < 32; shift += 8)
            byte(std::uint8_t(bits >> shift));
    }
    void field(float value)
    {
        if (!realAllowed(value))
            refuse("a number is not finite or too large");
        field(std::bit_cast<std::int32_t>(value));
    }
    void field(bool value) { byte(value ? 1 : 0); }
    template <class E>
    requires std::is_enum_v<E>
    void field(E value)
    {
        if (!inRange(value))
            refuse("a style or kind value is outside its table");
        byte(std::uint8_t(value));
    }
    void field(const std::string& text)
    {
        if (text.size() > kMaxTextBytes)
            refuse("a text is longer than 255 characters");
        byte(std::uint8_t(text.size()));
        m_out.insert(m_out.end(), text.begin(), text.end());
    }
    void field(const Point& p) { (*this)(p.x, p.y); }
    void field(const Rect& r) { (*this)(r.topLeft, r.bottomRight); }
    void field(const Graphic& g)
    {
        if (g.data.size() > std::size_t(std::numeric_limits<std::int32_t>::max()))
            refuse("a graphic is larger than 2 GiB");
        field(g.kind);
        field(std::int32_t(g.data.size()));
        m_out.insert(m_out.end(), g.data.begin(), g.data.end());
    }
    void field(const std::optional<Graphic>& g)
    {
        field(g.has_value());
        if (g)
            field(*g);
    }
    void field(const std::array<Point, 4>& points)
    {
        for (const Point& p : points)
            field(p);
    }
    void field(const std::vector<Point>& points)
    {
        if (points.size() > std::size_t(std::numeric_limits<std::int32_t>::max()))
            refuse("a polygon has too many points");
        field(std::int32_t(points.size()));
        for (const Point& p : points)
            field(p);
    }

    std::vector<std::uint8_t>& m_out;
};

class Decoder {
public:
    explicit Decoder(ByteSource& in) : m_in(in) {}

    template <class... T> void operator()(T&... values) { (field(values), ...); }

private:
    void field(std::int32_t& value) { value = m_in.int32(); }
    void field(float& value) { value = m_in.real(); }
    void field(bool& value)
    {
        const std::uint8_t b = m_in.byte();
        if (b > 1)
            m_in.fail("a flag is neither 0 nor 1");
        value = b == 1;
    }
    template <class E>
    requires std::is_enum_v<E>
    void field(E& value)
    {
        value = E(m_in.byte());
        if (!inRange(value))
            m_in.fail("a style or kind value is outside its table");
    }
    void field(std::string& text)
    {
        const std::size_t n = m_in.byte();
        if (n > m_in.remaining())
            m_in.fail("a text runs past the end");
        const std::uint8_t* p = m_in.take(n);
        text.assign(reinterpret_cast<const char*>(p), n);
    }
    void field(Point& p) { (*this)(p.x, p.y); }
    void field(Rect& r) { (*this)(r.topLeft, r.bottomRight); }
    void field(Graphic& g)
    {
        field(g.kind);
        const std::int32_t n = m_in.int32();
        if (n < 0 || std::size_t(n) > m_in.remaining())
            m_in.fail("a graphic's length is negative or runs past the end");
        const std::uint8_t* p = m_in.take(std::size_t(n));
        g.data.assign(p, p + n);
    }
    void field(std::optional<Graphic>& g)
    {
        bool present = false;
        field(present);
        g.reset();
        if (present)
            field(g.emplace());
    }
    void field(std::array<Point, 4>& points)
    {
        for (Point& p : points)
            field(p);
    }
    void field(std::vector<Point>& points)
    {
        const std::int32_t n = m_in.int32();
        if (n < 0 || std::size_t(n) > m_in.remaining() / 8)
            m_in.fail("a point count is negative or larger than the bytes left");
        points.resize(std::size_t(n));
        for (Point& p : points)
            field(p);
    }

    ByteSource& m_in;
};

template <class T> Record decodeAs(ByteSource& in)
{
    T record;
    Decoder decoder(in);
    fields(decoder, record);
    return record;
}

using DecodeFunction = Record (*)(ByteSource&);

template <std::size_t... I> constexpr std::array<DecodeFunction, 256> makeDecoders(std::index_sequence<I...>)
{
    std::array<DecodeFunction, 256> table{};
    ((table[std::size_t(std::variant_alternative_t<I, Record>::code)] =
          &decodeAs<std::variant_alternative_t<I, Record>>),
     ...);
    return table;
}

constexpr auto kDecoders = makeDecoders(std::make_index_sequence<std::variant_size_v<Record>>{});

template <class T> void encodeWhole(std::vector<std::uint8_t>& out, const T& value)
{
    const std::size_t before = out.size();
    try {
        out.push_back(std::uint8_t(T::code));
        Encoder encoder(out);
        fields(encoder, value);
    } catch (...) {
        out.resize(before);
        throw;
    }
}

} // namespace

void encodeText(std::vector<std::uint8_t>& out, RecordCode code, float y, std::string_view text, float x)
{
    // The checks of the record's fields in their order, before anything is appended.
    if (!realAllowed(y))
        refuse("a number is not finite or too large");
    if (text.size() > kMaxTextBytes)
        refuse("a text is longer than 255 characters");
    if (!realAllowed(x))
        refuse("a number is not finite or too large");
    const std::size_t at = out.size();
    out.resize(at + 1 + 4 + 1 + text.size() + 4);
    std::uint8_t* p = out.data() + at;
    const auto put = [&p](float value) {
        const auto bits = std::bit_cast<std::uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8)
            *p++ = std::uint8_t(bits >> shift);
    };
    *p++ = std::uint8_t(code);
    put(y);
    *p++ = std::uint8_t(text.size());
    p = std::copy(text.begin(), text.end(), p);
    put(x);
}

const std::uint8_t* ByteSource::take(std::size_t n)
{
    if (n > remaining())
        fail("the stream ends inside a record");
    const std::uint8_t* p = m_bytes.data() + m_pos;
    m_pos += n;
    return p;
}

std::uint8_t ByteSource::byte()
{
    return *take(1);
}

std::int32_t ByteSource::int32()
{
    const std::uint8_t* p = take(4);
    return std::int32_t(std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                        std::uint32_t(p[3]) << 24);
}

float ByteSource::real()
{
    const std::size_t at = m_pos;
    const float value = std::bit_cast<float>(int32());
    if (!realAllowed(value)) {
        m_pos = at;
        fail("a number is not finite or too large");
    }
    return value;
}

void ByteSource::fail(const char* what) const
{
    throw StreamError(kUnexpectedCode, std::string(what) + " at byte " + std::to_string(m_pos));
}

void encodeRecord(std::vector<std::uint8_t>& out, const Record& record)
{
    std::visit([&](const auto& r) { encodeWhole(out, r); }, record);
}

void encodeHeader(std::vector<std::uint8_t>& out, const ReportHeader& header)
{
    if (!(header.paperWidth > 0 && header.paperHeight > 0))
        refuse("the paper has no size");
    encodeWhole(out, header);
}

void encodePageStart(std::vector<std::uint8_t>& out, const PageStart& page)
{
    encodeWhole(out, page);
}

Record decodeRecord(ByteSource& in, std::uint8_t code)
{
    const DecodeFunction decode = kDecoders[code];
    if (!decode)
        in.fail("a code that may not stand inside a page");
    return decode(in);
}

ReportHeader decodeHeader(ByteSource& in)
{
    if (in.byte() != std::uint8_t(RecordCode::ReportHeader))
        in.fail("the stream does not start with a report header");
    ReportHeader header;
    Decoder decoder(in);
    fields(decoder, header);
    if (header.pageCount < 0)
        in.fail("the page count is negative");
    if (!(header.paperWidth > 0 && header.paperHeight > 0))
        in.fail("the paper has no size");
    return header;
}

PageStart decodePageStart(ByteSource& in)
{
    if (in.byte() != std::uint8_t(RecordCode::PageStart))
        in.fail("a page link does not point at a page start");
    PageStart page;
    Decoder decoder(in);
    fields(decoder, page);
    return page;
}

void putInt32(std::uint8_t* at, std::int32_t value)
{
    const auto bits = std::uint32_t(value);
    for (int i = 0; i < 4; ++i)
        at[i] = std::uint8_t(bits >> (8 * i));
}

} // namespace reportengine::stream
