// Aliased scan conversion: every pixel decided by its centre, checked against an exact
// integer point-in-polygon test on the player's device grid; ties; curves cut as the
// player cut them; hostile coordinates; masks.
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
// arithmetic on the 1/256-pixel grid the corners are held to (a twip is 12.8 steps, a
// centre at 256x + 128): no rounding of the arithmetic can decide a pixel here.
int windingAt(const std::vector<Twips> &corners, int x, int y)
{
    const auto onGrid = [](long long twips) { return (twips * 64 + 2) / 5; }; // positive twips
    const long long px = 256LL * x + 128, py = 256LL * y + 128;
    int winding = 0;
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const long long x0 = onGrid(corners[i].first), y0 = onGrid(corners[i].second);
        const long long x1 = onGrid(corners[(i + 1) % corners.size()].first),
                        y1 = onGrid(corners[(i + 1) % corners.size()].second);
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

TEST(ScanFill, ASlopedEdgeNearACentreFallsWhereTheGridPutsIt)
{
    // Two letter stems of a movie, running down to the left. The first passes 0.005 twip
    // left of the centre of pixel (8, 2), which the player leaves out of the letter on
    // its right; the second passes through the centre of pixel (4, 19), which the player
    // gives to the letter on its left.
    const auto right = pixelsOf(scanConvert(
        polygon({{177, 3}, {400, 3}, {400, 419}, {115, 419}}, Qt::WindingFill), QRect(0, 0, 32, 32)));
    EXPECT_FALSE(right.count({8, 2}));
    EXPECT_TRUE(right.count({9, 2}));
    const auto left = pixelsOf(scanConvert(
        polygon({{0, 16}, {142, 16}, {12, 951}, {0, 951}}, Qt::WindingFill), QRect(0, 0, 32, 64)));
    EXPECT_TRUE(left.count({4, 19}));
    EXPECT_FALSE(left.count({5, 19}));
}

TEST(ScanFill, ACurveIsCutInWholeTwipsByItsBend)
{
    // Quadratics from the reference movies, each closed by lines through the corner below
    // its end, and a pixel by the curve that the reference images decide: a circle's 45°
    // arc of bend (29.5, -73.5) twips, cut in six steps, leaves (35, 104) outside the
    // circle (seven steps take it in); a letter's corner of bend (4, -7.25), in three (its
    // bend in whole twips is (4, -8)), gives (146, 239) to the letter (two steps leave it
    // out); another of bend (1.25, 7.5), in two with the middle rounded to the twip,
    // leaves (191, 46) out of its letter (three steps, or the middle unrounded, take it).
    struct Curve {
        Twips from, control, to;
        int steps;
        std::pair<int, int> pixel;
        bool closedOff; // the pixel lies between the curve and the corner
    };
    const Curve curves[] = {{{1250, 2250}, {838, 2250}, {544, 1956}, 6, {35, 104}, true},
                            {{2987, 4814}, {2939, 4807}, {2907, 4771}, 3, {146, 239}, false},
                            {{3799, 949}, {3836, 918}, {3878, 917}, 2, {191, 46}, false}};
    for (const Curve &c : curves) {
        const auto px = [](Twips t) { return QPointF(t.first / 20.0, t.second / 20.0); };
        QPainterPath curve;
        curve.moveTo(px(c.from));
        curve.quadTo(px(c.control), px(c.to));
        curve.lineTo(px({c.to.first, c.from.second}));
        std::vector<Twips> cut = {c.from};
        for (int k = 1; k < c.steps; ++k) {
            const double t = double(k) / c.steps, u = 1 - t;
            const auto at = [&](long long a, long long b, long long d) {
                return std::llround(u * u * a + 2 * t * u * b + t * t * d);
            };
            cut.emplace_back(at(c.from.first, c.control.first, c.to.first),
                             at(c.from.second, c.control.second, c.to.second));
        }
        cut.push_back(c.to);
        cut.emplace_back(c.to.first, c.from.second);
        const QRect clip(0, 0, 256, 256);
        const std::vector<Span> spans = scanConvert(curve, clip);
        EXPECT_EQ(spans, scanConvert(polygon(cut, Qt::OddEvenFill), clip)) << c.steps;
        EXPECT_EQ(pixelsOf(spans).count(c.pixel) == 1, c.closedOff) << c.steps;
    }
}

TEST(ScanFill, EditTextGlyphsRoundTheirPointsDownToTheTwip)
{
    // A stem of an edit text field's glyph, from x = 90.3 to 98.5375 px (1970.75 twips):
    // rounded down to the twip its right edge lies on the centre of column 98, which the
    // player leaves out; a shape's corner there rounds to 1971 twips and takes it.
    QPainterPath stem;
    stem.addRect(QRectF(QPointF(90.3, 68.05), QPointF(98.5375, 83.52)));
    const QRect clip(0, 0, 128, 128);
    const auto glyph = pixelsOf(scanConvert(stem, clip, EdgeGrid::TwipsDown));
    EXPECT_FALSE(glyph.count({98, 70}));
    EXPECT_TRUE(glyph.count({97, 70}));
    EXPECT_TRUE(glyph.count({90, 70}));
    EXPECT_TRUE(pixelsOf(scanConvert(stem, clip)).count({98, 70}));
    // The cuts of its curves round down as well: the middle of a curve at (3837.25, 925.5)
    // twips goes to (3837, 925), and the chord to it passes left of pixel (191, 46).
    QPainterPath corner;
    corner.moveTo(3799 / 20.0, 949 / 20.0);
    corner.quadTo(3836 / 20.0, 918 / 20.0, 3878 / 20.0, 917 / 20.0);
    corner.lineTo(3878 / 20.0, 949 / 20.0);
    const QRect wide(0, 0, 256, 256);
    EXPECT_TRUE(pixelsOf(scanConvert(corner, wide, EdgeGrid::TwipsDown)).count({191, 46}));
    EXPECT_FALSE(pixelsOf(scanConvert(corner, wide)).count({191, 46}));
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

TEST(PenOutline, ARoundJoinIsTheArcFromOneBandToTheOther)
{
    // A reference movie's circle of eight quadratics, stroked 20 px wide with round
    // joins. The chords of its centre line meet at small turns, where the arc between
    // the two bands' corners reaches pixels (322, 206) and (304, 237) that a polygon with
    // corners at fixed angles cuts off; the reference image gives them to the stroke.
    const auto px = [](double x, double y) { return QPointF((x + 4759) / 20, (y + 3249) / 20); };
    QPainterPath circle;
    circle.moveTo(px(1500, 750));
    const double arcs[8][4] = {{1500, 1061, 1280, 1280}, {1061, 1500, 750, 1500}, {439, 1500, 219, 1280},
                               {0, 1061, 0, 750},        {0, 439, 219, 219},      {439, 0, 750, 0},
                               {1061, 0, 1280, 219},     {1500, 439, 1500, 750}};
    for (const auto &a : arcs)
        circle.quadTo(px(a[0], a[1]), px(a[2], a[3]));
    LineStyle style;
    const auto pixels = pixelsOf(
        scanConvert(penOutline(circle, style, 20, kCurveFlatness), QRect(0, 0, 550, 400), EdgeGrid::Exact));
    EXPECT_TRUE(pixels.count({322, 206}));
    EXPECT_TRUE(pixels.count({304, 237}));
    EXPECT_FALSE(pixels.count({305, 237}));
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
