#include "controls/swf/morphgeometry.h"

#include "controls/swf/shapereader.h"

#include <cmath>

namespace velmora::swf {

namespace {

Rgba lerp(Rgba a, Rgba b, double t)
{
    // Truncated, not rounded: the player the movies were made for does so.
    auto ch = [t](int x, int y) { return static_cast<std::uint8_t>(std::floor(x + (y - x) * t)); };
    return {ch(a.r, b.r), ch(a.g, b.g), ch(a.b, b.b), ch(a.a, b.a)};
}

double lerp(double a, double b, double t)
{
    return a + (b - a) * t;
}

Matrix lerp(const Matrix &a, const Matrix &b, double t)
{
    return {lerp(a.a, b.a, t), lerp(a.b, b.b, t),   lerp(a.c, b.c, t),
            lerp(a.d, b.d, t), lerp(a.tx, b.tx, t), lerp(a.ty, b.ty, t)};
}

FillStyle lerp(const FillStyle &a, const FillStyle &b, double t)
{
    FillStyle f = a;
    f.color = lerp(a.color, b.color, t);
    f.gradient.matrix = lerp(a.gradient.matrix, b.gradient.matrix, t);
    f.gradient.focal = lerp(a.gradient.focal, b.gradient.focal, t);
    for (std::size_t i = 0; i < f.gradient.stops.size() && i < b.gradient.stops.size(); ++i) {
        f.gradient.stops[i].ratio = static_cast<std::uint8_t>(
            std::lround(lerp(a.gradient.stops[i].ratio, b.gradient.stops[i].ratio, t)));
        f.gradient.stops[i].color = lerp(a.gradient.stops[i].color, b.gradient.stops[i].color, t);
    }
    f.bitmapMatrix = lerp(a.bitmapMatrix, b.bitmapMatrix, t);
    return f;
}

Point mix(Point a, Point b, double t)
{
    return {static_cast<std::int32_t>(std::lround(lerp(a.x, b.x, t))),
            static_cast<std::int32_t>(std::lround(lerp(a.y, b.y, t)))};
}

std::int32_t mixDelta(std::int32_t a, std::int32_t b, double t)
{
    return static_cast<std::int32_t>(std::lround(lerp(a, b, t)));
}

// Every fill and line style, interpolated pair by pair.
StyleSet morphStyles(const MorphShape &morph, double t)
{
    StyleSet set;
    for (const auto &[s, e] : morph.fills)
        set.fills.push_back(lerp(s, e, t));
    for (const auto &[s, e] : morph.lines) {
        LineStyle l = s;
        l.width = static_cast<std::uint16_t>(std::lround(lerp(s.width, e.width, t)));
        l.color = lerp(s.color, e.color, t);
        l.fill = lerp(s.fill, e.fill, t);
        set.lines.push_back(l);
    }
    return set;
}

// Where an edge drawn from `pen` bends and ends; a line bends at its middle.
void edgePoints(const ShapeRecord &r, Point pen, Point &control, Point &anchor)
{
    if (r.kind == ShapeRecord::Kind::Curve) {
        control = {addTwips(pen.x, r.cdx), addTwips(pen.y, r.cdy)};
        anchor = {addTwips(control.x, r.dx), addTwips(control.y, r.dy)};
    } else {
        anchor = {addTwips(pen.x, r.dx), addTwips(pen.y, r.dy)};
        control = {addTwips(pen.x, anchor.x) / 2, addTwips(pen.y, anchor.y) / 2};
    }
}

// The pen of each side, and that of the shape being made.
struct Pens {
    Point start, end, out;
};

// The edge between a start edge and its end edge; moves the pens to their ends.
ShapeRecord morphEdge(const ShapeRecord &s, const ShapeRecord &e, Pens &pens, double t)
{
    Point sc, sa, ec, ea;
    edgePoints(s, pens.start, sc, sa);
    edgePoints(e, pens.end, ec, ea);
    ShapeRecord r;
    Point anchor = mix(sa, ea, t);
    if (s.kind == e.kind) {
        // Matching edges: their deltas are interpolated, as the records store them.
        r.kind = s.kind;
        r.cdx = mixDelta(s.cdx, e.cdx, t);
        r.cdy = mixDelta(s.cdy, e.cdy, t);
        r.dx = mixDelta(s.dx, e.dx, t);
        r.dy = mixDelta(s.dy, e.dy, t);
        anchor = {addTwips(pens.out.x, r.cdx, r.dx), addTwips(pens.out.y, r.cdy, r.dy)};
    } else {
        // A line paired with a curve becomes a curve.
        r.kind = ShapeRecord::Kind::Curve;
        const Point control = mix(sc, ec, t);
        r.cdx = addTwips(control.x, -std::int64_t(pens.out.x));
        r.cdy = addTwips(control.y, -std::int64_t(pens.out.y));
        r.dx = addTwips(anchor.x, -std::int64_t(control.x));
        r.dy = addTwips(anchor.y, -std::int64_t(control.y));
    }
    pens = {sa, ea, anchor};
    return r;
}

} // namespace

ShapeGeometry morphGeometry(const MorphShape &morph, double t)
{
    // Pair the records one by one. A MoveTo may sit on one side only, so each side
    // keeps its own pen.
    std::vector<ShapeRecord> out;
    Pens pens;
    std::size_t j = 0;
    const auto &ends = morph.endRecords;
    for (std::size_t i = 0; i < morph.startRecords.size();) {
        const ShapeRecord &s = morph.startRecords[i];
        if (s.kind == ShapeRecord::Kind::StyleChange) {
            ShapeRecord r = s;
            r.newStyles = -1;
            if (s.hasMove)
                pens.start = s.move;
            bool endMoved = false;
            if (j < ends.size() && ends[j].kind == ShapeRecord::Kind::StyleChange) {
                if (ends[j].hasMove)
                    pens.end = ends[j].move;
                endMoved = ends[j].hasMove;
                ++j;
            }
            if (r.hasMove || endMoved) {
                r.hasMove = true;
                r.move = mix(pens.start, pens.end, t);
                pens.out = r.move;
            }
            out.push_back(r);
            ++i;
            continue;
        }
        if (j < ends.size() && ends[j].kind == ShapeRecord::Kind::StyleChange) {
            if (ends[j].hasMove) {
                pens.end = ends[j].move;
                ShapeRecord r;
                r.hasMove = true;
                r.move = mix(pens.start, pens.end, t);
                pens.out = r.move;
                out.push_back(r);
            }
            ++j;
            continue;
        }
        if (j >= ends.size())
            break;
        out.push_back(morphEdge(s, ends[j], pens, t));
        ++i;
        ++j;
    }
    return buildGeometry(out, {morphStyles(morph, t)}, false);
}

} // namespace velmora::swf
