// Aliased scan conversion: every pixel decided by its centre, checked against an exact
// integer point-in-polygon test; ties; hostile coordinates; masks.
#include "controls/swf/penoutline.h"
#include "controls/swf/scanfill.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

namespace velmora::swf {
namespace {

using Twips = std::pair<long long, long long>;

QPainterPath polygon(const std::vector<Twips> &corners, Qt::FillRule rule)
{
    QPainterPath path;
    path.setFillRule(rule);
    path.moveTo(corners[0].first / 20.0, corners[0].second / 20.0);
    for (std::size_t i = 1; i < corners.size(); ++i)
        path.lineTo(corners[i].first / 20.0, corners[i].second / 20.0);
    return path;
}

// Winding number of the polygon around the centre of pixel (x, y), in exact integer
// arithmetic on twips (a centre is at 20x + 10): no rounding can decide a pixel here.
int windingAt(const std::vector<Twips> &corners, int x, int y)
{
    const long long px = 20LL * x + 10, py = 20LL * y + 10;
    int winding = 0;
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const auto [x0, y0] = corners[i];
        const auto [x1, y1] = corners[(i + 1) % corners.size()];
        const long long side = (x1 - x0) * (py - y0) - (px - x0) * (y1 - y0);
        if (y0 <= py && py < y1 && side > 0)
            ++winding;
        else if (y1 <= py && py < y0 && side < 0)
            --winding;
    }
    return winding;
}

std::set<std::pair<int, int>> pixelsOf(const std::vector<Span> &spans)
{
    std::set<std::pair<int, int>> pixels;
    for (const Span &s : spans)
        for (int x = s.x0; x < s.x1; ++x)
            pixels.insert({x, s.y});
    return pixels;
}

TEST(ScanFill, EveryPixelIsDecidedByItsCentreExactly)
{
    // A star whose long, shallow edges pass within a fraction of a twip of many pixel
    // centres (where a fill on a 1/64-pixel grid misplaces pixels), self-crossing so
    // that the two fill rules differ in its middle.
    const std::vector<Twips> star = {{61, 13}, {1931, 1187}, {7, 803}, {1913, 21}, {977, 1999}};
    const QRect clip(0, 0, 100, 100);
    for (const Qt::FillRule rule : {Qt::OddEvenFill, Qt::WindingFill}) {
        std::set<std::pair<int, int>> expected;
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 100; ++x) {
                const int w = windingAt(star, x, y);
                if (rule == Qt::WindingFill ? w != 0 : w % 2 != 0)
                    expected.insert({x, y});
            }
        EXPECT_EQ(pixelsOf(scanConvert(polygon(star, rule), clip)), expected)
            << (rule == Qt::WindingFill ? "winding" : "even-odd");
    }
}

TEST(ScanFill, ACentreOnAnEdgeGoesToTheAreaOnItsRightOrBelow)
{
    // A square from centre (1.5, 1.5) to centre (3.5, 3.5): its left and top edges take
    // the pixels they pass through, its right and bottom edges leave theirs.
    const auto spans =
        scanConvert(polygon({{30, 30}, {70, 30}, {70, 70}, {30, 70}}, Qt::OddEvenFill), QRect(0, 0, 10, 10));
    EXPECT_EQ(spans, (std::vector<Span>{{1, 1, 3}, {2, 1, 3}}));
}

TEST(ScanFill, HostileCoordinatesCostOnlyTheClip)
{
    // A curve and a triangle over ±2^30 twips, far beyond any stage, cut down to the
    // clip without work or memory growing with their size.
    QPainterPath path;
    path.moveTo(-5e7, -5e7);
    path.quadTo(5e7, -5e7, 5e7, 5e7);
    path.lineTo(-5e7, 5e7);
    const auto spans = scanConvert(path, QRect(0, 0, 64, 64));
    EXPECT_EQ(pixelsOf(spans).size(), 64u * 64u);
    // Beyond what an int holds, as the fuzzer's movies reach.
    QPainterPath huge;
    huge.addRect(QRectF(QPointF(-3e10, -3e10), QPointF(3e10, 3e10)));
    EXPECT_EQ(pixelsOf(scanConvert(huge, QRect(0, 0, 64, 64))).size(), 64u * 64u);
}

TEST(ScanFill, AMaskLetsThroughThePixelsAFillCovers)
{
    const std::vector<Twips> star = {{61, 13}, {1931, 1187}, {7, 803}, {1913, 21}, {977, 1999}};
    const QPainterPath path = polygon(star, Qt::WindingFill);
    const QRect clip(0, 0, 100, 100);
    std::set<std::pair<int, int>> inRegion;
    for (const QRect &r : aliasedRegion(path, clip))
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                inRegion.insert({x, y});
    EXPECT_EQ(inRegion, pixelsOf(scanConvert(path, clip)));
}

TEST(PenOutline, EachEndOfAStrokeHasItsOwnCap)
{
    // A 6 px pen from (10, 10) to (30, 10): rows 7-12 have their centres within it.
    QPainterPath line;
    line.moveTo(10, 10);
    line.lineTo(30, 10);
    auto spansWith = [&](Cap start, Cap end) {
        LineStyle style;
        style.startCap = start;
        style.endCap = end;
        return scanConvert(penOutline(line, style, 6, kCurveFlatness), QRect(0, 0, 64, 64), EdgeGrid::Exact);
    };
    std::vector<Span> flatThenSquare;
    for (int y = 7; y <= 12; ++y)
        flatThenSquare.push_back({y, 10, 33});
    EXPECT_EQ(spansWith(Cap::None, Cap::Square), flatThenSquare);
    // A round start reaches 3 px back on the centre line, less towards the pen's edge.
    const std::vector<Span> round = spansWith(Cap::Round, Cap::None);
    ASSERT_EQ(round.size(), 6u);
    EXPECT_EQ(round[3], (Span{10, 7, 30}));
    EXPECT_EQ(round[0], (Span{7, 8, 30}));
}

TEST(PenOutline, ACurvedLineIsCutIntoEqualStepsByItsBend)
{
    // A quadratic whose chords stray 20 px from it at the middle: 14 equal steps keep
    // them within the flatness (13 would not).
    const QPointF from(10, 40), control(30, 0), to(50, 40);
    QPainterPath curve;
    curve.moveTo(from);
    curve.quadTo(control, to);
    QPainterPath cut;
    cut.moveTo(from);
    for (int k = 1; k <= 14; ++k) {
        const double t = k / 14.0, u = 1 - t;
        cut.lineTo(u * u * from + 2 * t * u * control + t * t * to);
    }
    LineStyle style;
    style.join = Join::Miter;
    const QRect clip(0, 0, 64, 64);
    EXPECT_EQ(scanConvert(penOutline(curve, style, 3, kCurveFlatness), clip, EdgeGrid::Exact),
              scanConvert(penOutline(cut, style, 3, kCurveFlatness), clip, EdgeGrid::Exact));
}

} // namespace
} // namespace velmora::swf
