// Playing and painting: timeline commands and loops, actions, frame timing,
// ShowAll fitting, masks and button states, checked at named pixels.
#include "swfbytes.h"

#include "controls/swf/avm1/runtime.h"
#include "controls/swf/displaylist.h"
#include "controls/swf/movie.h"
#include "controls/swf/player.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace velmora::swf {
namespace {

using test::BitWriter;
using test::MovieBytes;

std::shared_ptr<const Movie> load(const MovieBytes &m)
{
    auto movie = loadMovie(m.build('F'));
    EXPECT_TRUE(movie) << (movie ? "" : movie.error().description);
    return movie ? *movie : nullptr;
}

QImage paint(const Player &player, QSize size, Quality quality = Quality::Low)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    player.render(painter, QRectF(QPointF(0, 0), QSizeF(size)), quality);
    return image;
}

std::vector<int> depths(const Player &player)
{
    std::vector<int> out;
    for (const auto &[depth, object] : player.root().objects())
        out.push_back(depth);
    return out;
}

std::vector<std::uint8_t> doAction(std::initializer_list<std::uint8_t> codes)
{
    std::vector<std::uint8_t> out(codes);
    out.push_back(0);
    return out;
}

// Root: frame 1 empty, then one square added per frame (depths 1, 2, 3).
MovieBytes growingMovie()
{
    MovieBytes m;
    m.frameCount = 4;
    m.tag(TagCode::DefineShape, test::rectangleShape(1, 0, 0, 200, 200, 255, 0, 0)).showFrame();
    for (int d = 1; d <= 3; ++d)
        m.tag(TagCode::PlaceObject2, test::placeObject(1, static_cast<std::uint16_t>(d), d * 300, 0))
            .showFrame();
    return m;
}

TEST(Timeline, LoopIsARewindThatDropsLaterObjects)
{
    Player player(load(growingMovie()));
    const std::vector<std::vector<int>> expected{{}, {1}, {1, 2}, {1, 2, 3}, {}, {1}, {1, 2}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("after " + std::to_string(i + 1) + " frames");
        EXPECT_EQ(depths(player), expected[i]);
        player.stepFrame();
    }
}

TEST(Timeline, StopKeepsTheFrameOnScreenAndEndsAnimation)
{
    MovieBytes m = growingMovie();
    // Replace frame 3's ShowFrame: add stop() before it.
    MovieBytes s;
    s.frameCount = 4;
    s.tag(TagCode::DefineShape, test::rectangleShape(1, 0, 0, 200, 200, 255, 0, 0)).showFrame();
    s.tag(TagCode::PlaceObject2, test::placeObject(1, 1)).showFrame();
    s.tag(TagCode::PlaceObject2, test::placeObject(1, 2, 300, 0))
        .tag(TagCode::DoAction, doAction({raw(ActionCode::Stop)}))
        .showFrame();
    s.tag(TagCode::PlaceObject2, test::placeObject(1, 3, 600, 0)).showFrame();
    Player player(load(s));
    EXPECT_TRUE(player.isAnimated());
    for (int i = 0; i < 6; ++i)
        player.stepFrame();
    EXPECT_EQ(depths(player), (std::vector<int>{1, 2}));
    EXPECT_FALSE(player.isAnimated());
}

TEST(Timeline, GotoFrameForwardAndBack)
{
    MovieBytes m = growingMovie();
    auto movie = load(m);
    InstanceBudget budget;
    DisplayList list(*movie, &movie->root, budget);
    list.tick();
    list.gotoFrame(3);
    EXPECT_EQ(list.objects().size(), 3u);
    const std::uint64_t kept = list.objects().at(1).serial;
    list.gotoFrame(1);
    ASSERT_EQ(list.objects().size(), 1u);
    EXPECT_EQ(list.objects().at(1).serial, kept) << "an object that exists at the target frame is kept";
}

TEST(Timeline, SpriteShowsItsFirstFrameWhenPlacedAndAdvancesWithTheRoot)
{
    // Sprite 2: frame 1 places shape at depth 1, frame 2 adds depth 2, then loops.
    BitWriter sprite;
    MovieBytes inner;
    inner.tag(TagCode::PlaceObject2, test::placeObject(1, 1))
        .showFrame()
        .tag(TagCode::PlaceObject2, test::placeObject(1, 2, 300, 0))
        .showFrame();
    sprite.u16(2).u16(2).bytes(inner.tags).u16(0);
    MovieBytes m;
    m.frameCount = 1;
    m.tag(TagCode::DefineShape, test::rectangleShape(1, 0, 0, 200, 200, 0, 0, 255))
        .tag(TagCode::DefineSprite, sprite.take());
    m.tag(TagCode::PlaceObject2, test::placeObject(2, 1)).showFrame();
    Player player(load(m));
    auto spriteObjects = [&player] { return player.root().objects().at(1).children->objects().size(); };
    EXPECT_EQ(spriteObjects(), 1u);
    player.stepFrame();
    EXPECT_EQ(spriteObjects(), 2u);
    player.stepFrame();
    EXPECT_EQ(spriteObjects(), 1u);
}

TEST(Timeline, SpritesThatPlaceThemselvesStopAtTheLimits)
{
    // Sprite 1 places itself twice: unbounded, that is infinite recursion (and a
    // doubling of objects per level).
    MovieBytes inner;
    inner.tag(TagCode::PlaceObject2, test::placeObject(1, 1))
        .tag(TagCode::PlaceObject2, test::placeObject(1, 2))
        .showFrame();
    BitWriter sprite;
    sprite.u16(1).u16(1).bytes(inner.tags).u16(0);
    MovieBytes m;
    m.tag(TagCode::DefineSprite, sprite.take())
        .tag(TagCode::PlaceObject2, test::placeObject(1, 1))
        .showFrame();
    Player player(load(m));
    player.stepFrame();
    int depth = 0;
    for (const DisplayList *list = &player.root(); list && !list->objects().empty(); ++depth)
        list = list->objects().begin()->second.children.get();
    EXPECT_LE(depth, kMaxNesting + 1);
    QImage image = paint(player, QSize(100, 50));
    EXPECT_EQ(image.pixel(10, 10), qRgb(255, 255, 255));
}

TEST(Timeline, DuplicateActionPlacesAtTheDepthItIsGiven)
{
    // Sprite 2 (one empty frame) placed as "a"; the frame's script duplicates it. The
    // action's depth already carries the script depth offset. Depths wrap to 32 bits
    // (1e20 is 1661992960, 2^32 - 5 is -5, which lands on depth 0); one past the deepest
    // a script may use places nothing.
    BitWriter place;
    place.u8(0x22).u16(1).u16(2).bytes({'a', 0});
    auto push = [](BitWriter &w, std::initializer_list<std::pair<const char *, double>> items) {
        BitWriter body;
        for (const auto &[text, number] : items) {
            if (text) {
                body.u8(0).bytes(std::vector<std::uint8_t>(text, text + std::strlen(text) + 1));
                continue;
            }
            std::uint64_t bits = 0;
            std::memcpy(&bits, &number, sizeof bits);
            body.u8(6).u32(static_cast<std::uint32_t>(bits >> 32)).u32(static_cast<std::uint32_t>(bits));
        }
        const std::vector<std::uint8_t> bytes = body.take();
        w.u8(raw(ActionCode::Push)).u16(static_cast<std::uint16_t>(bytes.size())).bytes(bytes);
        w.u8(raw(ActionCode::CloneSprite));
    };
    BitWriter script;
    push(script, {{"a", 0}, {"b", 0}, {nullptr, 16387}});
    push(script, {{"a", 0}, {"c", 0}, {nullptr, 1e20}});
    push(script, {{"a", 0}, {"d", 0}, {nullptr, 4294967296.0 - 5}});
    push(script, {{"a", 0}, {"e", 0}, {nullptr, 2140000000}});
    script.u8(raw(ActionCode::Stop)).u8(0);
    MovieBytes m;
    m.version = 6;
    m.tag(TagCode::DefineSprite, BitWriter().u16(2).u16(1).u16(raw(TagCode::ShowFrame) << 6).u16(0).take())
        .tag(TagCode::PlaceObject2, place.take())
        .tag(TagCode::DoAction, script.take())
        .showFrame();
    Player player(load(m));
    player.stepFrame();
    EXPECT_EQ(depths(player), (std::vector<int>{0, 1, 16387, 1661992960}));
}

TEST(Timeline, FramesThatCallThemselvesStopAtTheRecursionLimit)
{
    // Frame 1 traces and calls itself: without a limit, only the stack ended it.
    MovieBytes m;
    m.tag(TagCode::DoAction,
          doAction({raw(ActionCode::Push), 4, 0, 0, 'i', 'n', 0, raw(ActionCode::Trace),
                    raw(ActionCode::Push), 5, 0, 7, 1, 0, 0, 0, raw(ActionCode::Call), 0, 0}))
        .showFrame();
    int lines = 0;
    Player player(load(m), {[&lines](const std::string &) { ++lines; }, {}});
    EXPECT_GT(lines, 1);
    EXPECT_LE(lines, avm1::Limits::kMaxCallDepth);
}

TEST(Timing, AdvanceRunsDueFramesAndCapsTheBacklog)
{
    MovieBytes m = growingMovie();
    m.frameRate = 10; // 100 ms per frame
    Player player(load(m));
    using namespace std::chrono;
    struct Row {
        const char *name;
        nanoseconds elapsed;
        int frames;
    } rows[] = {
        {"not yet due", milliseconds(60), 0},
        {"due with the carried time", milliseconds(60), 1},
        {"two frames", milliseconds(200), 2},
        {"a long pause runs at most five", seconds(10), 5},
        {"and the backlog is dropped", milliseconds(50), 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(player.advance(row.elapsed), row.frames);
    }
}

TEST(Render, ShowAllCentresTheStageOverTheBackground)
{
    // 100x50 stage, red square covering the left half-height square (0..50 px).
    MovieBytes m;
    m.tag(TagCode::SetBackgroundColor, {0, 255, 0})
        .tag(TagCode::DefineShape, test::rectangleShape(1, 0, 0, 1000, 1000, 255, 0, 0));
    m.tag(TagCode::PlaceObject2, test::placeObject(1, 1)).showFrame();
    Player player(load(m));
    QImage image = paint(player, QSize(200, 200)); // scale 2, stage at y 50..150
    struct Probe {
        const char *where;
        QPoint at;
        QRgb color;
    } probes[] = {
        {"top margin", {100, 20}, qRgb(0, 255, 0)},
        {"inside the square", {50, 100}, qRgb(255, 0, 0)},
        {"right of the square", {150, 100}, qRgb(0, 255, 0)},
        {"bottom margin", {50, 180}, qRgb(0, 255, 0)},
    };
    for (const Probe &p : probes) {
        SCOPED_TRACE(p.where);
        EXPECT_EQ(image.pixel(p.at), p.color);
    }
}

TEST(Render, ColorTransformAndMaskApplyToTheirObjects)
{
    // Depth 1: mask (square 0..25 px) clipping depth 2; depth 2: red 0..50 px
    // square with its red channel halved and 100 blue added.
    BitWriter mask;
    mask.u8(0x02 | 0x04 | 0x40).u16(1).u16(2).translate(0, 0).u16(2);
    BitWriter tinted;
    tinted.u8(0x02 | 0x04 | 0x08).u16(2).u16(1).translate(0, 0);
    tinted.bits(1, 1).bits(1, 1).bits(10, 4);
    for (int v : {128, 256, 256, 256})
        tinted.sbits(v, 10);
    for (int v : {0, 0, 100, 0})
        tinted.sbits(v, 10);
    MovieBytes m;
    m.tag(TagCode::DefineShape, test::rectangleShape(1, 0, 0, 1000, 1000, 255, 0, 0));
    m.tag(TagCode::DefineShape, test::rectangleShape(2, 0, 0, 500, 500, 0, 0, 0));
    m.tag(TagCode::PlaceObject2, mask.take()).tag(TagCode::PlaceObject2, tinted.take()).showFrame();
    Player player(load(m));
    QImage image = paint(player, QSize(100, 50));
    EXPECT_EQ(image.pixel(10, 10), qRgb(127, 0, 100)); // 255 * 128 / 256, truncated
    EXPECT_EQ(image.pixel(40, 10), qRgb(255, 255, 255)) << "outside the mask";
}

TEST(Render, ColourMatrixFilterAndBlendModeUseALayer)
{
    // PlaceObject3 with a colour matrix that swaps red and blue.
    BitWriter place;
    place.u8(0x02 | 0x04).u8(0x01).u16(1).u16(1).translate(0, 0);
    place.u8(1).u8(6);
    const float m[20] = {0, 0, 1, 0, 0, /**/ 0, 1, 0, 0, 0, /**/ 1, 0, 0, 0, 0, /**/ 0, 0, 0, 1, 0};
    for (float v : m) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        place.u32(bits);
    }
    // PlaceObject3 with blend mode multiply (3) over it, yellow square at the right.
    BitWriter multiply;
    multiply.u8(0x02 | 0x04).u8(0x02).u16(2).u16(2).translate(0, 0).u8(raw(BlendMode::Multiply));
    MovieBytes mv;
    mv.tag(TagCode::DefineShape, test::rectangleShape(1, 0, 0, 1000, 1000, 255, 0, 0));
    mv.tag(TagCode::DefineShape, test::rectangleShape(2, 500, 0, 1500, 1000, 255, 255, 0));
    mv.tag(TagCode::PlaceObject3, place.take()).tag(TagCode::PlaceObject3, multiply.take()).showFrame();
    Player player(load(mv));
    QImage image = paint(player, QSize(100, 50));
    EXPECT_EQ(image.pixel(10, 10), qRgb(0, 0, 255)) << "red shown as blue";
    EXPECT_EQ(image.pixel(40, 10), qRgb(0, 0, 0)) << "blue multiplied by yellow";
    EXPECT_EQ(image.pixel(60, 10), qRgb(255, 255, 0)) << "yellow over white";
}

// A 100x50 stage holding one shape placed with `matrix`: a 10 px stroke (scaling in
// neither direction unless `scales`) around a 40 px square, drawn with or without a
// small fill (the stroke's own colour, under its left side) before it.
std::shared_ptr<const Movie> strokeMovie(bool fillFirst, bool scales = false, Matrix matrix = {})
{
    auto movie = std::make_shared<Movie>();
    movie->header.frameRect = {0, 2000, 0, 1000};
    movie->header.frameRate = 12;
    movie->header.frameCount = 1;
    ShapeGeometry::Layer layer;
    const Contour square{{200, 200},
                         {{false, {}, {1000, 200}},
                          {false, {}, {1000, 1000}},
                          {false, {}, {200, 1000}},
                          {false, {}, {200, 200}}}};
    if (fillFirst) {
        FillStyle fill;
        fill.color = {0, 0, 255, 255};
        layer.fills.push_back({fill,
                               {{{180, 400},
                                 {{false, {}, {220, 400}},
                                  {false, {}, {220, 800}},
                                  {false, {}, {180, 800}},
                                  {false, {}, {180, 400}}}}}});
    }
    LineStyle line;
    line.width = 200;
    line.color = {0, 0, 255, 255};
    line.noHScale = line.noVScale = !scales;
    layer.strokes.push_back({line, {square}});
    Shape shape;
    shape.bounds = {0, 1200, 0, 1200};
    shape.geometry.layers.push_back(layer);
    movie->characters.emplace(1, shape);
    PlaceCommand place;
    place.depth = 1;
    place.characterId = 1;
    place.matrix = matrix;
    movie->root.frames.push_back({});
    movie->root.frames.back().commands.push_back(place);
    return movie;
}

// How many pixels of a row or a column are the stroke's blue.
int bluePixels(const QImage &image, int y)
{
    int n = 0;
    for (int x = 0; x < image.width(); ++x)
        n += image.pixel(x, y) == qRgb(0, 0, 255);
    return n;
}
int bluePixelsInColumn(const QImage &image, int x)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        n += image.pixel(x, y) == qRgb(0, 0, 255);
    return n;
}

TEST(Render, NoScaleStrokeWidthComesFromTheViewAlone)
{
    for (Quality quality : {Quality::High, Quality::Low}) {
        SCOPED_TRACE(quality == Quality::High ? "high" : "low");
        Player plain(strokeMovie(false)), filled(strokeMovie(true));
        const QImage stroke = paint(plain, QSize(100, 50), quality);
        EXPECT_TRUE(paint(filled, QSize(100, 50), quality) == stroke)
            << "the fill drawn before changes nothing";
        EXPECT_EQ(bluePixels(stroke, 30), 2 * 10) << "both sides 10 px wide";
        EXPECT_EQ(bluePixels(paint(plain, QSize(200, 100), quality), 60), 2 * 20) << "twice the view";
    }
}

TEST(Render, StrokeUnderUnevenScaleKeepsARoundPen)
{
    // Four times as wide as high: the pen grows by √((1² + 0.25²) / 2) to 7.3 px, as wide
    // across the upright sides as across the top and bottom (a stretched pen would be
    // 10 px and 2.5 px).
    Player player(strokeMovie(false, true, Matrix{1, 0, 0, 0.25, 0, 300}));
    const QImage image = paint(player, QSize(100, 50));
    const double pen = 10 * std::sqrt((1 + 0.25 * 0.25) / 2);
    EXPECT_NEAR(bluePixels(image, 22) / 2.0, pen, 1) << "the upright sides";
    EXPECT_NEAR(bluePixelsInColumn(image, 30) / 2.0, pen, 1) << "the top and bottom";
}

TEST(Button, StatesFollowTheMouseAndAClickIsCounted)
{
    // Button 3: up = shape 1 (red), over = shape 2 (blue), down = shape 1, hit = shape 1.
    BitWriter b;
    b.u16(3).u8(0).u16(0);
    auto record = [&b](std::uint8_t states, std::uint16_t id) {
        b.u8(states).u16(id).u16(1).translate(0, 0);
        b.bits(0, 1).bits(0, 1).bits(0, 4).align(); // empty colour transform
    };
    record(0x01 | 0x04 | 0x08, 1);
    record(0x02, 2);
    b.u8(0);
    MovieBytes m;
    m.tag(TagCode::DefineShape, test::rectangleShape(1, 0, 0, 1000, 1000, 255, 0, 0));
    m.tag(TagCode::DefineShape, test::rectangleShape(2, 0, 0, 1000, 1000, 0, 0, 255));
    m.tag(TagCode::DefineButton2, b.take()).tag(TagCode::PlaceObject2, test::placeObject(3, 1)).showFrame();
    Player player(load(m));
    const QRectF target(0, 0, 100, 50);
    auto colorAt = [&] { return paint(player, QSize(100, 50)).pixel(10, 10); };
    EXPECT_FALSE(player.isAnimated()) << "a still button needs no timer; the mouse drives it";
    EXPECT_EQ(colorAt(), qRgb(255, 0, 0));
    player.mouseMove({80, 10}, target); // outside the hit shape
    EXPECT_EQ(colorAt(), qRgb(255, 0, 0));
    player.mouseMove({10, 10}, target);
    EXPECT_EQ(colorAt(), qRgb(0, 0, 255));
    player.mousePress();
    EXPECT_EQ(colorAt(), qRgb(255, 0, 0));
    player.mouseRelease();
    EXPECT_EQ(colorAt(), qRgb(0, 0, 255));
    EXPECT_EQ(player.clickCount(), 1);
    player.mousePress();
    player.mouseMove({80, 10}, target); // dragged off: no click on release
    player.mouseRelease();
    EXPECT_EQ(player.clickCount(), 1);
    player.mouseLeave();
    EXPECT_EQ(colorAt(), qRgb(255, 0, 0));
}

TEST(Button, ARecordOfBothStatesKeepsItsObjectAcrossTheChange)
{
    // Button 2: shape 1 at depth 1 in the up, over and hit states; nothing when down.
    BitWriter b;
    b.u16(2).u8(0).u16(0);
    b.u8(0x01 | 0x02 | 0x08).u16(1).u16(1).translate(0, 0);
    b.bits(0, 1).bits(0, 1).bits(0, 4).align();
    b.u8(0);
    MovieBytes m;
    m.tag(TagCode::DefineShape, test::rectangleShape(1, 0, 0, 1000, 1000, 255, 0, 0));
    m.tag(TagCode::DefineButton2, b.take()).tag(TagCode::PlaceObject2, test::placeObject(2, 1)).showFrame();
    Player player(load(m));
    const QRectF target(0, 0, 100, 50);
    auto childSerial = [&]() -> std::uint64_t {
        const auto &shown = player.root().objects().at(1).children->objects();
        return shown.empty() ? 0 : shown.begin()->second.serial;
    };
    const std::uint64_t up = childSerial();
    ASSERT_NE(up, 0U);
    player.mouseMove({10, 10}, target);
    EXPECT_EQ(player.root().objects().at(1).buttonState, ButtonRecord::Over);
    EXPECT_EQ(childSerial(), up);
    player.mousePress();
    EXPECT_EQ(childSerial(), 0U) << "the down state shows nothing";
    player.mouseRelease();
    EXPECT_NE(childSerial(), 0U);
    EXPECT_NE(childSerial(), up) << "a record shown again after a state without it is a new object";
}

TEST(Button, ARemovedButtonUnderThePointerOutlivesTheCollector)
{
    // Button 2 over shape 1 traces "over" and "out"; frame 2 removes it and makes
    // enough garbage for the collector to run before the pointer moves away.
    auto traceAction = [](const std::string &text) {
        BitWriter a;
        a.u8(0x96).u16(static_cast<std::uint16_t>(text.size() + 2)).u8(0);
        for (char c : text)
            a.u8(static_cast<std::uint8_t>(c));
        a.u8(0).u8(0x26).u8(0);
        return a.take();
    };
    BitWriter records;
    records.u8(0x01 | 0x02 | 0x04 | 0x08).u16(1).u16(1).translate(0, 0);
    records.bits(0, 1).bits(0, 1).bits(0, 4).align().u8(0);
    const std::vector<std::uint8_t> recordBytes = records.take(), over = traceAction("over"),
                                    out = traceAction("out");
    BitWriter b;
    b.u16(2).u8(0).u16(static_cast<std::uint16_t>(2 + recordBytes.size())).bytes(recordBytes);
    b.u16(static_cast<std::uint16_t>(4 + over.size())).u16(0x0001).bytes(over);
    b.u16(0).u16(0x0002).bytes(out);
    BitWriter garbage;
    for (int i = 0; i < 12000; ++i)
        garbage.u8(0x96).u16(5).u8(7).u32(0).u8(0x43).u8(0x17); // new Object with no members, dropped
    garbage.u8(0x07).u8(0);
    MovieBytes m;
    m.frameCount = 2;
    m.tag(TagCode::DefineShape, test::rectangleShape(1, 0, 0, 1000, 1000, 255, 0, 0));
    m.tag(TagCode::DefineButton2, b.take()).tag(TagCode::PlaceObject2, test::placeObject(2, 1)).showFrame();
    m.tag(TagCode::RemoveObject2, test::removeObject(1)).tag(TagCode::DoAction, garbage.take()).showFrame();
    std::vector<std::string> traces;
    ScriptHost host;
    host.trace = [&](const std::string &line) { traces.push_back(line); };
    Player player(load(m), host);
    const QRectF target(0, 0, 100, 50);
    player.mouseMove({10, 10}, target);
    ASSERT_EQ(traces, std::vector<std::string>{"over"});
    player.stepFrame();
    player.mouseMove({90, 40}, target);
    player.mousePress();
    player.mouseRelease();
    EXPECT_EQ(traces, std::vector<std::string>{"over"}) << "the removed button hears nothing more";
}

} // namespace
} // namespace velmora::swf
