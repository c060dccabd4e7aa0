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

} // namespace

ShapeGeometry morphGeometry(const MorphShape &morph, double t)
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

    // Pair the records one by one. A MoveTo may sit on one side only, so each side
    // keeps its own pen; a line paired with a curve becomes a curve.
    std::vector<ShapeRecord> out;
    Point startPen, endPen, outPen;
    auto mix = [t](Point a, Point b) {
        return Point{static_cast<std::int32_t>(std::lround(lerp(a.x, b.x, t))),
                     static_cast<std::int32_t>(std::lround(lerp(a.y, b.y, t)))};
    };
    std::size_t j = 0;
    const auto &ends = morph.endRecords;
    for (std::size_t i = 0; i < morph.startRecords.size();) {
        const ShapeRecord &s = morph.startRecords[i];
        if (s.kind == ShapeRecord::Kind::StyleChange) {
            ShapeRecord r = s;
            r.newStyles = -1;
            if (s.hasMove)
                startPen = s.move;
            bool endMoved = false;
            if (j < ends.size() && ends[j].kind == ShapeRecord::Kind::StyleChange) {
                if (ends[j].hasMove)
                    endPen = ends[j].move;
                endMoved = ends[j].hasMove;
                ++j;
            }
            if (r.hasMove || endMoved) {
                r.hasMove = true;
                r.move = mix(startPen, endPen);
                outPen = r.move;
            }
            out.push_back(r);
            ++i;
            continue;
        }
        if (j < ends.size() && ends[j].kind == ShapeRecord::Kind::StyleChange) {
            if (ends[j].hasMove) {
                endPen = ends[j].move;
                ShapeRecord r;
                r.hasMove = true;
                r.move = mix(startPen, endPen);
                outPen = r.move;
                out.push_back(r);
            }
            ++j;
            continue;
        }
        if (j >= ends.size())
            break;
        const ShapeRecord &e = ends[j];
        auto edgePoints = [](const ShapeRecord &r, Point pen, Point &control, Point &anchor) {
            if (r.kind == ShapeRecord::Kind::Curve) {
                control = {addTwips(pen.x, r.cdx), addTwips(pen.y, r.cdy)};
                anchor = {addTwips(control.x, r.dx), addTwips(control.y, r.dy)};
            } else {
                anchor = {addTwips(pen.x, r.dx), addTwips(pen.y, r.dy)};
                control = {addTwips(pen.x, anchor.x) / 2, addTwips(pen.y, anchor.y) / 2};
            }
        };
        Point sc, sa, ec, ea;
        edgePoints(s, startPen, sc, sa);
        edgePoints(e, endPen, ec, ea);
        ShapeRecord r;
        Point anchor = mix(sa, ea);
        auto mixDelta = [t](std::int32_t a, std::int32_t b) {
            return static_cast<std::int32_t>(std::lround(lerp(a, b, t)));
        };
        if (s.kind == e.kind) {
            // Matching edges: their deltas are interpolated, as the records store them.
            r.kind = s.kind;
            r.cdx = mixDelta(s.cdx, e.cdx);
            r.cdy = mixDelta(s.cdy, e.cdy);
            r.dx = mixDelta(s.dx, e.dx);
            r.dy = mixDelta(s.dy, e.dy);
            anchor = {addTwips(outPen.x, r.cdx, r.dx), addTwips(outPen.y, r.cdy, r.dy)};
        } else {
            r.kind = ShapeRecord::Kind::Curve;
            Point control = mix(sc, ec);
            r.cdx = addTwips(control.x, -std::int64_t(outPen.x));
            r.cdy = addTwips(control.y, -std::int64_t(outPen.y));
            r.dx = addTwips(anchor.x, -std::int64_t(control.x));
            r.dy = addTwips(anchor.y, -std::int64_t(control.y));
        }
        out.push_back(r);
        outPen = anchor;
        startPen = sa;
        endPen = ea;
        ++i;
        ++j;
    }
    return buildGeometry(out, {set}, false);
}

} // namespace velmora::swf
