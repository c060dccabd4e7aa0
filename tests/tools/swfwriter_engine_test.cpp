// What the writer writes, the player reads and paints: pixels at named points of small movies.
#include "controls/swf/movie.h"
#include "controls/swf/player.h"
#include "swfwriter.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace velmora::swfwriter;

namespace {

constexpr int kStagePx = 100;
constexpr int kStage = kStagePx * kTwipsPerPixel;

std::shared_ptr<const velmora::swf::Movie> load(const MovieBuilder &builder)
{
    const QByteArray bytes = builder.build();
    auto movie = velmora::swf::loadMovie(std::span(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                                                   static_cast<size_t>(bytes.size())));
    EXPECT_TRUE(movie.ok()) << (movie.ok() ? "" : movie.error().description);
    if (!movie.ok())
        return nullptr;
    EXPECT_TRUE((*movie)->warnings.empty()) << (*movie)->warnings.front();
    return *movie;
}

QImage render(const velmora::swf::Player &player)
{
    QImage image(kStagePx, kStagePx, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    player.render(painter, QRectF(image.rect()), velmora::swf::Quality::High);
    return image;
}

// Channel-wise closeness; anti-aliasing is kept away from the probes.
::testing::AssertionResult near(QRgb actual, QColor expected, int tolerance = 8)
{
    const QColor a = QColor::fromRgba(actual);
    if (std::abs(a.red() - expected.red()) <= tolerance &&
        std::abs(a.green() - expected.green()) <= tolerance &&
        std::abs(a.blue() - expected.blue()) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "pixel " << a.name().toStdString() << ", expected " << expected.name().toStdString();
}

MovieBuilder stage()
{
    MovieBuilder movie(QSize(kStagePx, kStagePx));
    movie.setBackgroundColor(Qt::black);
    return movie;
}

QPainterPath square(qreal x, qreal y, qreal side)
{
    QPainterPath p;
    p.addRect(x, y, side, side);
    return p;
}

class WriterToEngine : public ::testing::TestWithParam<Compression> {};

TEST_P(WriterToEngine, SolidSquareOnBackground)
{
    MovieBuilder movie = stage();
    movie.setCompression(GetParam());
    movie.placeObject(1, movie.defineShape(square(400, 400, 1200), Fill::solid(Qt::red)));
    auto m = load(movie);
    ASSERT_TRUE(m);
    velmora::swf::Player player(m);
    EXPECT_EQ(player.stageSize(), QSizeF(kStagePx, kStagePx));
    const QImage image = render(player);
    EXPECT_TRUE(near(image.pixel(50, 50), Qt::red));
    EXPECT_TRUE(near(image.pixel(5, 5), Qt::black));
    EXPECT_TRUE(near(image.pixel(95, 50), Qt::black));
}

INSTANTIATE_TEST_SUITE_P(Compression, WriterToEngine, ::testing::Values(Compression::None, Compression::Zlib),
                         [](const auto &info) { return info.param == Compression::None ? "FWS" : "CWS"; });

TEST(WriterToEngineShapes, HoleStaysOpenWhateverItsDirection)
{
    // outer 20..80 px; hole 40..60 px drawn once each way
    for (bool sameDirection : {true, false}) {
        SCOPED_TRACE(sameDirection ? "hole runs like the outline" : "hole runs against the outline");
        QPainterPath ring = square(400, 400, 1200);
        QPainterPath hole = square(800, 800, 400);
        ring.addPath(sameDirection ? hole : hole.toReversed());
        ring.setFillRule(Qt::OddEvenFill);
        MovieBuilder movie = stage();
        movie.placeObject(1, movie.defineShape(ring, Fill::solid(Qt::green)));
        auto m = load(movie);
        ASSERT_TRUE(m);
        const QImage image = render(velmora::swf::Player(m));
        EXPECT_TRUE(near(image.pixel(30, 30), Qt::green));
        EXPECT_TRUE(near(image.pixel(50, 50), Qt::black));
    }
}

TEST(WriterToEngineShapes, OverlappingWindingContoursFillTheirUnion)
{
    // Two overlapping squares filled by winding: the overlap must not become a hole.
    QPainterPath both = square(200, 200, 1000);
    both.addPath(square(800, 800, 1000));
    both.setFillRule(Qt::WindingFill);
    MovieBuilder movie = stage();
    movie.placeObject(1, movie.defineShape(both, Fill::solid(Qt::blue)));
    auto m = load(movie);
    ASSERT_TRUE(m);
    const QImage image = render(velmora::swf::Player(m));
    EXPECT_TRUE(near(image.pixel(50, 50), Qt::blue)) << "the overlap";
    EXPECT_TRUE(near(image.pixel(20, 20), Qt::blue));
    EXPECT_TRUE(near(image.pixel(80, 80), Qt::blue));
    EXPECT_TRUE(near(image.pixel(80, 20), Qt::black));
}

TEST(WriterToEngineShapes, LinearGradientRunsFromStartToEnd)
{
    MovieBuilder movie = stage();
    const Fill fill = Fill::linear({0, 0}, {kStage, 0}, {{0, Qt::red}, {1, Qt::blue}});
    movie.placeObject(1, movie.defineShape(square(0, 0, kStage), fill));
    auto m = load(movie);
    ASSERT_TRUE(m);
    const QImage image = render(velmora::swf::Player(m));
    EXPECT_TRUE(near(image.pixel(1, 50), Qt::red, 12));
    EXPECT_TRUE(near(image.pixel(98, 50), Qt::blue, 12));
    EXPECT_TRUE(near(image.pixel(50, 50), QColor(128, 0, 128), 12));
}

TEST(WriterToEngineShapes, LaterLayersPaintOverEarlierOnes)
{
    MovieBuilder movie = stage();
    movie.placeObject(1, movie.defineShape({{square(0, 0, kStage), Fill::solid(Qt::white), {}},
                                            {square(600, 600, 800), Fill::solid(Qt::red), {}}}));
    auto m = load(movie);
    ASSERT_TRUE(m);
    const QImage image = render(velmora::swf::Player(m));
    EXPECT_TRUE(near(image.pixel(50, 50), Qt::red));
    EXPECT_TRUE(near(image.pixel(10, 10), Qt::white));
}

TEST(WriterToEnginePlacement, AlphaTransformHalvesTheColour)
{
    MovieBuilder movie = stage();
    const quint16 white = movie.defineShape(square(0, 0, kStage), Fill::solid(Qt::white));
    Placement p;
    p.colorTransform = ColorTransform::alpha(0.5);
    movie.placeObject(1, white, p);
    auto m = load(movie);
    ASSERT_TRUE(m);
    EXPECT_TRUE(near(render(velmora::swf::Player(m)).pixel(50, 50), QColor(128, 128, 128), 10));
}

TEST(WriterToEnginePlacement, SpriteMovesFrameByFrameAndLoops)
{
    MovieBuilder movie = stage();
    const quint16 dot = movie.defineShape(square(0, 0, 400), Fill::solid(Qt::yellow));
    Timeline inner;
    for (int i = 0; i < 3; ++i) {
        Placement p;
        p.matrix = QTransform::fromTranslate(i * 600, 0);
        if (i == 0)
            inner.placeObject(1, dot, p);
        else
            inner.moveObject(1, p);
        inner.showFrame();
    }
    const quint16 sprite = movie.defineSprite(inner);
    Placement down;
    down.matrix = QTransform::fromTranslate(0, 800);
    movie.placeObject(1, sprite, down);
    auto m = load(movie);
    ASSERT_TRUE(m);
    velmora::swf::Player player(m);
    // Each step shows the dot 30 px further right, 40 px down; the fourth step is back at 0.
    const int expectedX[] = {10, 40, 70, 10};
    for (int step = 0; step < 4; ++step) {
        SCOPED_TRACE(step);
        const QImage image = render(player);
        EXPECT_TRUE(near(image.pixel(expectedX[step], 50), Qt::yellow));
        for (int other : {10, 40, 70}) {
            if (other != expectedX[step]) {
                EXPECT_TRUE(near(image.pixel(other, 50), Qt::black));
            }
        }
        player.stepFrame();
    }
}

TEST(WriterToEnginePlacement, StopHoldsTheFirstFrame)
{
    MovieBuilder movie = stage();
    const quint16 red = movie.defineShape(square(0, 0, kStage), Fill::solid(Qt::red));
    const quint16 blue = movie.defineShape(square(0, 0, kStage), Fill::solid(Qt::blue));
    movie.placeObject(1, red);
    movie.stop();
    movie.showFrame();
    movie.timeline().replaceObject(1, blue);
    movie.showFrame();
    auto m = load(movie);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->header.frameCount, 2);
    velmora::swf::Player player(m);
    player.stepFrame();
    player.stepFrame();
    EXPECT_TRUE(near(render(player).pixel(50, 50), Qt::red));
}

TEST(WriterToEngineButton, OverStateShowsWhenTheMouseIsOverTheHitArea)
{
    MovieBuilder movie = stage();
    const quint16 up = movie.defineShape(square(400, 400, 1200), Fill::solid(Qt::red));
    const quint16 over = movie.defineShape(square(400, 400, 1200), Fill::solid(Qt::green));
    const quint16 button = movie.defineButton2({{ButtonRecord::Up, up, 1, {}, {}},
                                                {ButtonRecord::Over | ButtonRecord::Down, over, 2, {}, {}},
                                                {ButtonRecord::HitTest, up, 3, {}, {}}});
    movie.placeObject(1, button);
    auto m = load(movie);
    ASSERT_TRUE(m);
    velmora::swf::Player player(m);
    const QRectF target(0, 0, kStagePx, kStagePx);
    EXPECT_TRUE(near(render(player).pixel(50, 50), Qt::red));
    player.mouseMove({50, 50}, target);
    EXPECT_TRUE(near(render(player).pixel(50, 50), Qt::green));
    player.mouseMove({5, 5}, target);
    EXPECT_TRUE(near(render(player).pixel(50, 50), Qt::red));
}

} // namespace
