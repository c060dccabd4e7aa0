// Edge soup to closed contours: fill0 edges reversed, shared edges, holes, layers.
#include "controls/swf/morphgeometry.h"
#include "controls/swf/shapereader.h"

#include <gtest/gtest.h>

namespace velmora::swf {
namespace {

ShapeRecord style(int fill0, int fill1, int line = -1)
{
    ShapeRecord r;
    r.fill0 = fill0;
    r.fill1 = fill1;
    r.line = line;
    return r;
}

ShapeRecord moveTo(int x, int y, int fill0 = -1, int fill1 = -1)
{
    ShapeRecord r = style(fill0, fill1);
    r.hasMove = true;
    r.move = {x, y};
    return r;
}

ShapeRecord lineBy(int dx, int dy)
{
    ShapeRecord r;
    r.kind = ShapeRecord::Kind::Line;
    r.dx = dx;
    r.dy = dy;
    return r;
}

StyleSet solids(int n)
{
    StyleSet s;
    for (int i = 0; i < n; ++i) {
        FillStyle f;
        f.color = {static_cast<std::uint8_t>(i * 50), 0, 0, 255};
        s.fills.push_back(f);
    }
    LineStyle l;
    l.width = 20;
    s.lines.push_back(l);
    return s;
}

// Every contour must end where it starts: an open one shows as a wedge.
void expectClosed(const std::vector<Contour> &contours)
{
    for (const Contour &c : contours)
        EXPECT_EQ(c.end(), c.start);
}

TEST(ShapeBuilder, SquareDrawnWithFill0IsReversedIntoOneClosedContour)
{
    //  (0,0) ---> (100,0)
    //    ^           |        counter-clockwise on screen when read backwards:
    //    |           v        fill0 is on the left, so the edges are reversed
    //  (0,100) <-- (100,100)
    std::vector<ShapeRecord> records{moveTo(0, 0, 1, 0), lineBy(100, 0), lineBy(0, 100), lineBy(-100, 0),
                                     lineBy(0, -100)};
    ShapeGeometry g = buildGeometry(records, {solids(1)}, false);
    ASSERT_EQ(g.layers.size(), 1u);
    ASSERT_EQ(g.layers[0].fills.size(), 1u);
    const auto &contours = g.layers[0].fills[0].contours;
    ASSERT_EQ(contours.size(), 1u);
    expectClosed(contours);
    ASSERT_EQ(contours[0].edges.size(), 4u);
    // Reversed: the contour runs (100,0) -> (0,0) -> (0,100), against the drawing order.
    EXPECT_EQ(contours[0].start, (Point{100, 0}));
    EXPECT_EQ(contours[0].edges[0].to, (Point{0, 0}));
    EXPECT_EQ(contours[0].edges[1].to, (Point{0, 100}));
}

TEST(ShapeBuilder, EdgesInAnyOrderJoinByTheirEndpoints)
{
    // The square's four sides come as separate runs, out of order.
    std::vector<ShapeRecord> records{moveTo(100, 100, 0, 1), lineBy(-100, 0), moveTo(0, 0),   lineBy(100, 0),
                                     moveTo(0, 100),         lineBy(0, -100), moveTo(100, 0), lineBy(0, 100)};
    ShapeGeometry g = buildGeometry(records, {solids(1)}, false);
    const auto &contours = g.layers.at(0).fills.at(0).contours;
    ASSERT_EQ(contours.size(), 1u);
    EXPECT_EQ(contours[0].edges.size(), 4u);
    expectClosed(contours);
}

TEST(ShapeBuilder, SharedEdgeBelongsToBothFills)
{
    //  +-----+-----+
    //  |  1  |  2  |   the middle edge has fill 1 on one side, fill 2 on the other
    //  +-----+-----+
    std::vector<ShapeRecord> records{
        moveTo(0, 0, 0, 1),     lineBy(100, 0), // top of left, fill1 (right side) inside
        moveTo(100, 0, 2, 1),   lineBy(0, 100), // shared: right of travel = 1 (left square), left = 2
        moveTo(100, 100, 0, 1), lineBy(-100, 0), lineBy(0, -100), moveTo(100, 0, 0, 2),
        lineBy(100, 0),         lineBy(0, 100),  lineBy(-100, 0),
    };
    ShapeGeometry g = buildGeometry(records, {solids(2)}, false);
    const auto &fills = g.layers.at(0).fills;
    ASSERT_EQ(fills.size(), 2u);
    for (const auto &fill : fills) {
        ASSERT_EQ(fill.contours.size(), 1u);
        EXPECT_EQ(fill.contours[0].edges.size(), 4u);
        expectClosed(fill.contours);
    }
}

TEST(ShapeBuilder, HoleIsASecondContourOfTheSameFill)
{
    std::vector<ShapeRecord> records{
        moveTo(0, 0, 0, 1),     lineBy(300, 0), lineBy(0, 300), lineBy(-300, 0), lineBy(0, -300),
        moveTo(100, 100, 1, 0), lineBy(100, 0), lineBy(0, 100), lineBy(-100, 0), lineBy(0, -100),
    };
    ShapeGeometry g = buildGeometry(records, {solids(1)}, false);
    const auto &contours = g.layers.at(0).fills.at(0).contours;
    ASSERT_EQ(contours.size(), 2u);
    expectClosed(contours);
}

TEST(ShapeBuilder, FillsComeInStyleOrderNotEdgeOrder)
{
    std::vector<ShapeRecord> records{
        moveTo(0, 0, 0, 2), lineBy(10, 0), lineBy(0, 10), lineBy(-10, 0), lineBy(0, -10),
        moveTo(0, 0, 0, 1), lineBy(20, 0), lineBy(0, 20), lineBy(-20, 0), lineBy(0, -20),
    };
    ShapeGeometry g = buildGeometry(records, {solids(2)}, false);
    const auto &fills = g.layers.at(0).fills;
    ASSERT_EQ(fills.size(), 2u);
    EXPECT_EQ(fills[0].style.color.r, 0);  // style 1
    EXPECT_EQ(fills[1].style.color.r, 50); // style 2
}

TEST(ShapeBuilder, NewStylesStartsALayerAndOutOfRangeIndicesMeanNone)
{
    ShapeRecord second = moveTo(0, 0, 0, 1);
    second.newStyles = 1;
    std::vector<ShapeRecord> records{
        moveTo(0, 0, 0, 9), lineBy(10, 0), lineBy(0, 10), lineBy(-10, 10), // style 9 does not exist
        moveTo(0, 0, 0, 1), lineBy(10, 0), lineBy(0, 10), lineBy(-10, 0),  lineBy(0, -10), second,
        lineBy(5, 0),       lineBy(0, 5),  lineBy(-5, 0), lineBy(0, -5),
    };
    ShapeGeometry g = buildGeometry(records, {solids(1), solids(1)}, false);
    ASSERT_EQ(g.layers.size(), 2u);
    EXPECT_EQ(g.layers[0].fills.size(), 1u);
    EXPECT_EQ(g.layers[1].fills.size(), 1u);
}

TEST(ShapeBuilder, StrokeRunsBreakAtMovesAndKnowWhetherTheyClose)
{
    std::vector<ShapeRecord> records{moveTo(0, 0),     style(-1, -1, 1), lineBy(10, 0), lineBy(0, 10),
                                     lineBy(-10, -10), moveTo(50, 50),   lineBy(10, 0)};
    ShapeGeometry g = buildGeometry(records, {solids(0)}, false);
    const auto &strokes = g.layers.at(0).strokes;
    ASSERT_EQ(strokes.size(), 1u);
    ASSERT_EQ(strokes[0].contours.size(), 2u);
    EXPECT_EQ(strokes[0].contours[0].end(), strokes[0].contours[0].start);
    EXPECT_NE(strokes[0].contours[1].end(), strokes[0].contours[1].start);
}

TEST(MorphShape, RatioInterpolatesPointsAndColours)
{
    MorphShape m;
    FillStyle red, blue;
    red.color = {255, 0, 0, 255};
    blue.color = {0, 0, 255, 255};
    m.fills.push_back({red, blue});
    m.startRecords = {moveTo(0, 0, 0, 1), lineBy(100, 0), lineBy(0, 100), lineBy(-100, 0), lineBy(0, -100)};
    ShapeRecord endMove;
    endMove.hasMove = true;
    endMove.move = {0, 0};
    m.endRecords = {endMove, lineBy(200, 0), lineBy(0, 200), lineBy(-200, 0), lineBy(0, -200)};
    struct Row {
        double t;
        int corner;
        Rgba color;
    } rows[] = {{0.0, 100, {255, 0, 0, 255}}, {0.5, 150, {127, 0, 127, 255}}, {1.0, 200, {0, 0, 255, 255}}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.t);
        ShapeGeometry g = morphGeometry(m, row.t);
        const auto &fill = g.layers.at(0).fills.at(0);
        EXPECT_EQ(fill.style.color, row.color);
        ASSERT_EQ(fill.contours.size(), 1u);
        EXPECT_EQ(fill.contours[0].edges.at(1).to, (Point{row.corner, row.corner}));
        expectClosed(fill.contours);
    }
}

} // namespace
} // namespace velmora::swf
