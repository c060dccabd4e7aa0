#include "controls/swf/shapereader.h"

#include "controls/swf/swfcodes.h"

#include <cmath>

namespace velmora::swf {

namespace {

struct BadStyle : std::runtime_error {
    using std::runtime_error::runtime_error;
};

Gradient readGradient(BitReader &in, int shapeVersion, bool focal)
{
    Gradient g;
    g.matrix = in.matrix();
    in.align();
    int spread = static_cast<int>(in.bits(2));
    g.spread = spread == 1 ? Spread::Reflect : spread == 2 ? Spread::Repeat : Spread::Pad;
    g.linearRgb = in.bits(2) == 1;
    int count = static_cast<int>(in.bits(4));
    for (int i = 0; i < count; ++i) {
        GradientStop s;
        s.ratio = in.u8();
        s.color = shapeVersion >= 3 ? in.rgba() : in.rgb();
        g.stops.push_back(s);
    }
    if (focal)
        g.focal = std::clamp(in.fixed8(), -0.98, 0.98);
    return g;
}

Cap capFrom(std::uint32_t v)
{
    return v == 1 ? Cap::None : v == 2 ? Cap::Square : Cap::Round;
}

int styleCount(BitReader &in)
{
    int n = in.u8();
    if (n == 0xFF)
        n = in.u16();
    return n;
}

// Reads the start and end values of one morph fill style.
std::pair<FillStyle, FillStyle> readMorphFill(BitReader &in)
{
    FillStyle s, e;
    const auto type = static_cast<FillStyleType>(in.u8());
    switch (type) {
    case FillStyleType::Solid:
        s.color = in.rgba();
        e.color = in.rgba();
        break;
    case FillStyleType::LinearGradient:
    case FillStyleType::RadialGradient:
    case FillStyleType::FocalRadialGradient: {
        s.type = e.type = type == FillStyleType::LinearGradient   ? FillStyle::Type::Linear
                          : type == FillStyleType::RadialGradient ? FillStyle::Type::Radial
                                                                  : FillStyle::Type::Focal;
        s.gradient.matrix = in.matrix();
        e.gradient.matrix = in.matrix();
        in.align();
        int spread = static_cast<int>(in.bits(2));
        s.gradient.spread = e.gradient.spread = spread == 1   ? Spread::Reflect
                                                : spread == 2 ? Spread::Repeat
                                                              : Spread::Pad;
        s.gradient.linearRgb = e.gradient.linearRgb = in.bits(2) == 1;
        int count = static_cast<int>(in.bits(4));
        for (int i = 0; i < count; ++i) {
            GradientStop a, b;
            a.ratio = in.u8();
            a.color = in.rgba();
            b.ratio = in.u8();
            b.color = in.rgba();
            s.gradient.stops.push_back(a);
            e.gradient.stops.push_back(b);
        }
        if (type == FillStyleType::FocalRadialGradient) {
            s.gradient.focal = std::clamp(in.fixed8(), -0.98, 0.98);
            e.gradient.focal = std::clamp(in.fixed8(), -0.98, 0.98);
        }
        break;
    }
    case FillStyleType::RepeatingBitmap:
    case FillStyleType::ClippedBitmap:
    case FillStyleType::NonSmoothedRepeatingBitmap:
    case FillStyleType::NonSmoothedClippedBitmap:
        s.type = e.type = FillStyle::Type::Bitmap;
        s.bitmapId = e.bitmapId = in.u16();
        s.bitmapMatrix = in.matrix();
        e.bitmapMatrix = in.matrix();
        s.repeat = e.repeat = (raw(type) & 1) == 0;
        s.smooth = e.smooth = type < FillStyleType::NonSmoothedRepeatingBitmap;
        break;
    default:
        throw BadStyle("unknown morph fill style type");
    }
    return {s, e};
}

std::pair<LineStyle, LineStyle> readMorphLine(BitReader &in, int morphVersion)
{
    LineStyle s, e;
    s.width = in.u16();
    e.width = in.u16();
    if (morphVersion == 1) {
        s.color = in.rgba();
        e.color = in.rgba();
        return {s, e};
    }
    in.align();
    s.startCap = capFrom(in.bits(2));
    std::uint32_t join = in.bits(2);
    s.join = join == 1 ? Join::Bevel : join == 2 ? Join::Miter : Join::Round;
    s.hasFill = in.flag();
    s.noHScale = in.flag();
    s.noVScale = in.flag();
    in.bits(1 + 5); // pixel hinting, reserved
    s.noClose = in.flag();
    s.endCap = capFrom(in.bits(2));
    if (join == 2)
        s.miterLimit = in.fixed8();
    LineStyle keep = s;
    if (s.hasFill) {
        auto [fs, fe] = readMorphFill(in);
        s.fill = fs;
        keep.fill = fe;
    } else {
        s.color = in.rgba();
        keep.color = in.rgba();
    }
    keep.width = e.width;
    return {s, keep};
}

} // namespace

FillStyle readFillStyle(BitReader &in, int shapeVersion)
{
    FillStyle f;
    const auto type = static_cast<FillStyleType>(in.u8());
    switch (type) {
    case FillStyleType::Solid:
        f.color = shapeVersion >= 3 ? in.rgba() : in.rgb();
        break;
    case FillStyleType::LinearGradient:
        f.type = FillStyle::Type::Linear;
        f.gradient = readGradient(in, shapeVersion, false);
        break;
    case FillStyleType::RadialGradient:
        f.type = FillStyle::Type::Radial;
        f.gradient = readGradient(in, shapeVersion, false);
        break;
    case FillStyleType::FocalRadialGradient:
        f.type = FillStyle::Type::Focal;
        f.gradient = readGradient(in, shapeVersion, true);
        break;
    case FillStyleType::RepeatingBitmap:
    case FillStyleType::ClippedBitmap:
    case FillStyleType::NonSmoothedRepeatingBitmap:
    case FillStyleType::NonSmoothedClippedBitmap:
        f.type = FillStyle::Type::Bitmap;
        f.bitmapId = in.u16();
        f.bitmapMatrix = in.matrix();
        f.repeat = (raw(type) & 1) == 0;
        f.smooth = type < FillStyleType::NonSmoothedRepeatingBitmap;
        break;
    default:
        throw BadStyle("unknown fill style type " + std::to_string(raw(type)));
    }
    return f;
}

LineStyle readLineStyle(BitReader &in, int shapeVersion)
{
    LineStyle l;
    l.width = in.u16();
    if (shapeVersion < 4) {
        l.color = shapeVersion >= 3 ? in.rgba() : in.rgb();
        return l;
    }
    in.align();
    l.startCap = capFrom(in.bits(2));
    std::uint32_t join = in.bits(2);
    l.join = join == 1 ? Join::Bevel : join == 2 ? Join::Miter : Join::Round;
    l.hasFill = in.flag();
    l.noHScale = in.flag();
    l.noVScale = in.flag();
    in.bits(1 + 5); // pixel hinting, reserved
    l.noClose = in.flag();
    l.endCap = capFrom(in.bits(2));
    if (join == 2)
        l.miterLimit = in.fixed8();
    if (l.hasFill)
        l.fill = readFillStyle(in, shapeVersion);
    else
        l.color = in.rgba();
    return l;
}

StyleSet readStyles(BitReader &in, int shapeVersion)
{
    StyleSet set;
    int fills = styleCount(in);
    set.fills.reserve(static_cast<std::size_t>(std::min<std::size_t>(fills, in.remaining())));
    for (int i = 0; i < fills; ++i)
        set.fills.push_back(readFillStyle(in, shapeVersion));
    int lines = styleCount(in);
    for (int i = 0; i < lines; ++i)
        set.lines.push_back(readLineStyle(in, shapeVersion));
    return set;
}

std::vector<ShapeRecord> readShapeRecords(BitReader &in, int shapeVersion, std::vector<StyleSet> &styleSets)
{
    // Each NewStyles record holds at least two bytes, so the data bounds the count.
    constexpr std::size_t kMaxStyleSets = 4096;
    std::vector<ShapeRecord> records;
    in.align();
    int fillBits = static_cast<int>(in.bits(4));
    int lineBits = static_cast<int>(in.bits(4));
    for (;;) {
        ShapeRecord r;
        if (in.flag()) {
            bool straight = in.flag();
            int n = static_cast<int>(in.bits(4)) + 2;
            if (straight) {
                r.kind = ShapeRecord::Kind::Line;
                if (in.flag()) {
                    r.dx = in.sbits(n);
                    r.dy = in.sbits(n);
                } else if (in.flag()) {
                    r.dy = in.sbits(n);
                } else {
                    r.dx = in.sbits(n);
                }
            } else {
                r.kind = ShapeRecord::Kind::Curve;
                r.cdx = in.sbits(n);
                r.cdy = in.sbits(n);
                r.dx = in.sbits(n);
                r.dy = in.sbits(n);
            }
            records.push_back(r);
            continue;
        }
        std::uint32_t flags = in.bits(5);
        if (flags == 0)
            break;
        if (flags & 0x01) {
            int n = static_cast<int>(in.bits(5));
            r.hasMove = true;
            r.move.x = in.sbits(n);
            r.move.y = in.sbits(n);
        }
        if (flags & 0x02)
            r.fill0 = static_cast<int>(in.bits(fillBits));
        if (flags & 0x04)
            r.fill1 = static_cast<int>(in.bits(fillBits));
        if (flags & 0x08)
            r.line = static_cast<int>(in.bits(lineBits));
        if (flags & 0x10) {
            // Accepted in every shape version: files in the wild use it in DefineShape too.
            if (styleSets.size() >= kMaxStyleSets)
                throw BadStyle("too many style sets");
            in.align();
            styleSets.push_back(readStyles(in, shapeVersion));
            r.newStyles = static_cast<int>(styleSets.size() - 1);
            fillBits = static_cast<int>(in.bits(4));
            lineBits = static_cast<int>(in.bits(4));
        }
        records.push_back(r);
    }
    in.align();
    return records;
}

MorphShape readMorphShape(BitReader &in, int morphVersion)
{
    MorphShape m;
    in.rect(); // start bounds
    in.rect(); // end bounds
    if (morphVersion == 2) {
        in.rect();
        in.rect();
        in.u8(); // flags
    }
    std::uint32_t endOffset = in.u32();
    std::size_t offsetBase = in.position();
    int fills = styleCount(in);
    for (int i = 0; i < fills; ++i)
        m.fills.push_back(readMorphFill(in));
    int lines = styleCount(in);
    for (int i = 0; i < lines; ++i)
        m.lines.push_back(readMorphLine(in, morphVersion));
    std::vector<StyleSet> unusedSets;
    m.startRecords = readShapeRecords(in, 3, unusedSets);
    std::size_t endAt = offsetBase + endOffset;
    if (endAt > in.position())
        in.skip(std::min(endAt - in.position(), in.remaining()));
    m.endRecords = readShapeRecords(in, 3, unusedSets);
    return m;
}

} // namespace velmora::swf
