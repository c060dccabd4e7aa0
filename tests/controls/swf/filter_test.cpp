// Filters, layer blend modes and opaque backgrounds, drawn from hand-written movies
// and compared with the same effect worked out here pixel by pixel: plain windowed
// averages instead of the engine's running sums, composited by the textbook formulas.
#include "swfbytes.h"

#include "controls/swf/displaylist.h"
#include "controls/swf/player.h"
#include "controls/swf/renderer.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <numbers>

namespace velmora::swf {
namespace {

using test::BitWriter;
using test::MovieBytes;

constexpr int kStage = 60;
constexpr std::size_t kStagePixels = std::size_t(kStage) * kStage; // pixels, square
constexpr int kSquareLeft = 20, kSquareSize = 20;                  // the red square, pixels
const QRgb kRed = qRgb(255, 0, 0), kWhite = qRgb(255, 255, 255);

// --- Writing filter lists ---------------------------------------------------------

BitWriter &fixed16(BitWriter &w, double v)
{
    return w.u32(static_cast<std::uint32_t>(static_cast<std::int32_t>(std::lround(v * 65536))));
}

BitWriter &rgba(BitWriter &w, QRgb c)
{
    return w.u8(qRed(c)).u8(qGreen(c)).u8(qBlue(c)).u8(qAlpha(c));
}

struct Shadow {
    QRgb color = qRgba(0, 0, 0, 255);
    double blur = 5, angle = 0, distance = 0, strength = 1;
    bool inner = false, knockout = false, hideObject = false;
    int passes = 1;
};

std::uint8_t shadowFlags(const Shadow &s)
{
    return static_cast<std::uint8_t>((s.inner ? 0x80 : 0) | (s.knockout ? 0x40 : 0) |
                                     (s.hideObject ? 0 : 0x20) | s.passes);
}

std::vector<std::uint8_t> dropShadow(const Shadow &s)
{
    BitWriter w;
    rgba(w.u8(raw(FilterId::DropShadow)), s.color);
    fixed16(fixed16(fixed16(fixed16(w, s.blur), s.blur), s.angle), s.distance);
    w.u16(static_cast<std::uint16_t>(std::lround(s.strength * 256))).u8(shadowFlags(s));
    return w.take();
}

std::vector<std::uint8_t> glow(const Shadow &s)
{
    BitWriter w;
    rgba(w.u8(raw(FilterId::Glow)), s.color);
    fixed16(fixed16(w, s.blur), s.blur);
    w.u16(static_cast<std::uint16_t>(std::lround(s.strength * 256))).u8(shadowFlags(s));
    return w.take();
}

std::vector<std::uint8_t> blur(double width, int passes)
{
    BitWriter w;
    fixed16(fixed16(w.u8(raw(FilterId::Blur)), width), width);
    return w.u8(static_cast<std::uint8_t>(passes << 3)).take();
}

const QRgb kBevelShadow = qRgb(0, 0, 255), kBevelHighlight = qRgb(0, 255, 0);

// A bevel of blue shadow and green highlight; `kind` 0x80 inner, 0x10 full, 0 outer.
std::vector<std::uint8_t> bevel(double width, double angle, double distance, int kind)
{
    BitWriter w;
    rgba(rgba(w.u8(raw(FilterId::Bevel)), kBevelShadow), kBevelHighlight);
    fixed16(fixed16(fixed16(fixed16(w, width), width), angle), distance);
    return w.u16(256).u8(static_cast<std::uint8_t>(kind | 0x20 | 1)).take();
}

std::vector<std::uint8_t> gradientGlow(const std::vector<std::pair<std::uint8_t, QRgb>> &stops, double width)
{
    BitWriter w;
    w.u8(raw(FilterId::GradientGlow)).u8(static_cast<std::uint8_t>(stops.size()));
    for (const auto &stop : stops)
        rgba(w, stop.second);
    for (const auto &stop : stops)
        w.u8(stop.first);
    fixed16(fixed16(fixed16(fixed16(w, width), width), 0), 0);
    return w.u16(256).u8(0x20 | 1).take();
}

std::vector<std::uint8_t> convolution(int columns, int rows, const std::vector<float> &kernel)
{
    BitWriter w;
    w.u8(raw(FilterId::Convolution))
        .u8(static_cast<std::uint8_t>(columns))
        .u8(static_cast<std::uint8_t>(rows));
    auto f32 = [&w](float v) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        w.u32(bits);
    };
    f32(1);
    f32(0);
    for (float k : kernel)
        f32(k);
    for (std::size_t i = kernel.size(); i < std::size_t(columns) * std::size_t(rows); ++i)
        f32(0);
    return rgba(w, qRgba(0, 0, 0, 0)).u8(0).take();
}

std::vector<std::uint8_t> colorMatrix(const std::array<float, 20> &m)
{
    BitWriter w;
    w.u8(raw(FilterId::ColorMatrix));
    for (float v : m) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        w.u32(bits);
    }
    return w.take();
}

std::vector<std::uint8_t> filterList(const std::vector<std::vector<std::uint8_t>> &filters)
{
    BitWriter w;
    w.u8(static_cast<std::uint8_t>(filters.size()));
    for (const auto &f : filters)
        w.bytes(f);
    return w.take();
}

struct Place3 {
    std::uint16_t id = 1, depth = 1;
    int tx = 0, ty = 0;                  // twips
    std::vector<std::uint8_t> filters;   // a whole filter list, or none
    BlendMode blend = BlendMode::Normal; // written unless normal
    QRgb background = 0;                 // written unless 0
};

std::vector<std::uint8_t> placeObject3(const Place3 &p)
{
    BitWriter w;
    w.u8(0x02 | 0x04)
        .u8(static_cast<std::uint8_t>((p.filters.empty() ? 0 : 0x01) |
                                      (p.blend != BlendMode::Normal ? 0x02 : 0) | (p.background ? 0x40 : 0)))
        .u16(p.depth)
        .u16(p.id)
        .translate(p.tx, p.ty)
        .bytes(p.filters);
    if (p.blend != BlendMode::Normal)
        w.u8(raw(p.blend));
    if (p.background)
        rgba(w, p.background);
    return w.take();
}

// The red square as character 1, placed by `place` on a white stage.
QImage render(const std::vector<std::uint8_t> &place, const std::function<void(MovieBytes &)> &more = {})
{
    MovieBytes m;
    m.widthPx = m.heightPx = kStage;
    const int t = 20;
    m.tag(TagCode::SetBackgroundColor, {255, 255, 255})
        .tag(TagCode::DefineShape,
             test::rectangleShape(1, kSquareLeft * t, kSquareLeft * t, (kSquareLeft + kSquareSize) * t,
                                  (kSquareLeft + kSquareSize) * t, 255, 0, 0));
    if (more)
        more(m);
    m.tag(TagCode::PlaceObject3, place).showFrame();
    auto movie = loadMovie(m.build('F'));
    EXPECT_TRUE(movie) << (movie ? "" : movie.error().description);
    QImage image(kStage, kStage, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (!movie)
        return image;
    Player player(*movie);
    QPainter painter(&image);
    player.render(painter, QRectF(0, 0, kStage, kStage), Quality::Low);
    return image;
}

// --- Working the effects out by hand ----------------------------------------------

// Premultiplied RGBA, 0..1, on the stage grid.
struct Pixel {
    double r = 0, g = 0, b = 0, a = 0;
};
using Picture = std::vector<Pixel>;

Pixel &at(Picture &p, int x, int y)
{
    return p[std::size_t(y) * kStage + std::size_t(x)];
}
Pixel at(const Picture &p, int x, int y)
{
    if (x < 0 || y < 0 || x >= kStage || y >= kStage)
        return {};
    return p[std::size_t(y) * kStage + std::size_t(x)];
}

Picture square()
{
    Picture p(kStagePixels);
    for (int y = kSquareLeft; y < kSquareLeft + kSquareSize; ++y)
        for (int x = kSquareLeft; x < kSquareLeft + kSquareSize; ++x)
            at(p, x, y) = {1, 0, 0, 1};
    return p;
}

// Each pass: every value the mean of the `width` values centred on it (odd widths).
std::vector<double> windowedMean(std::vector<double> v, int width, int passes, double outside = 0)
{
    auto get = [&](const std::vector<double> &s, int x, int y) {
        return x < 0 || y < 0 || x >= kStage || y >= kStage ? outside
                                                            : s[std::size_t(y) * kStage + std::size_t(x)];
    };
    for (int pass = 0; pass < passes; ++pass) {
        for (int horizontal = 1; horizontal >= 0; --horizontal) {
            std::vector<double> out(v.size());
            for (int y = 0; y < kStage; ++y)
                for (int x = 0; x < kStage; ++x) {
                    double sum = 0;
                    for (int k = -width / 2; k <= width / 2; ++k)
                        sum += horizontal ? get(v, x + k, y) : get(v, x, y + k);
                    out[std::size_t(y) * kStage + std::size_t(x)] = sum / width;
                }
            v = std::move(out);
        }
    }
    return v;
}

std::vector<double> channel(const Picture &p, double Pixel::*c)
{
    std::vector<double> out;
    for (const Pixel &px : p)
        out.push_back(px.*c);
    return out;
}

Pixel over(Pixel top, Pixel bottom)
{
    const double k = 1 - top.a;
    return {top.r + bottom.r * k, top.g + bottom.g * k, top.b + bottom.b * k, top.a + bottom.a * k};
}

QImage onWhite(const Picture &p)
{
    QImage image(kStage, kStage, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < kStage; ++y)
        for (int x = 0; x < kStage; ++x) {
            const Pixel c = over(at(p, x, y), {1, 1, 1, 1});
            auto v = [](double d) { return static_cast<int>(std::lround(d * 255)); };
            image.setPixel(x, y, qRgb(v(c.r), v(c.g), v(c.b)));
        }
    return image;
}

// The number of pixels that differ by more than `tolerance` in some channel.
int differing(const QImage &actual, const QImage &expected, int tolerance, std::string *first = nullptr)
{
    int count = 0;
    for (int y = 0; y < kStage; ++y)
        for (int x = 0; x < kStage; ++x) {
            const QRgb a = actual.pixel(x, y), e = expected.pixel(x, y);
            const int d = std::max({std::abs(qRed(a) - qRed(e)), std::abs(qGreen(a) - qGreen(e)),
                                    std::abs(qBlue(a) - qBlue(e))});
            if (d > tolerance && count++ == 0 && first)
                *first = "first at " + std::to_string(x) + "," + std::to_string(y);
        }
    return count;
}

#define EXPECT_SAME_PICTURE(actual, expected)                                                                \
    do {                                                                                                     \
        std::string where;                                                                                   \
        EXPECT_EQ(differing(actual, expected, 2, &where), 0) << where;                                       \
    } while (0)

// --- Filters ----------------------------------------------------------------------

TEST(Filters, BlurPassesAreRepeatedBoxes)
{
    const QImage actual = render(placeObject3({.filters = filterList({blur(5, 2)})}));
    const Picture sq = square();
    const auto r = windowedMean(channel(sq, &Pixel::r), 5, 2), a = windowedMean(channel(sq, &Pixel::a), 5, 2);
    Picture expected(sq.size());
    for (std::size_t i = 0; i < sq.size(); ++i)
        expected[i] = {r[i], 0, 0, a[i]};
    EXPECT_SAME_PICTURE(actual, onWhite(expected));
}

TEST(Filters, DropShadowLiesBehindTheObjectAlongItsAngle)
{
    // Angle 90 degrees: straight down, 4 pixels; half-transparent blue, doubled strength.
    const Shadow s{.color = qRgba(0, 0, 255, 128),
                   .blur = 3,
                   .angle = std::numbers::pi / 2,
                   .distance = 4,
                   .strength = 2};
    const QImage actual = render(placeObject3({.filters = filterList({dropShadow(s)})}));
    const Picture sq = square();
    const auto spread = windowedMean(channel(sq, &Pixel::a), 3, 1);
    Picture expected(sq.size());
    for (int y = 0; y < kStage; ++y)
        for (int x = 0; x < kStage; ++x) {
            const double shifted = y - 4 >= 0 ? spread[std::size_t(y - 4) * kStage + std::size_t(x)] : 0;
            const double alpha = std::min(1.0, shifted * 2) * 128 / 255;
            at(expected, x, y) = over(at(sq, x, y), {0, 0, alpha, alpha});
        }
    EXPECT_SAME_PICTURE(actual, onWhite(expected));
    EXPECT_EQ(actual.pixel(30, 10), kWhite) << "nothing above the square";
}

TEST(Filters, ShadowAngleIsOnTheStageNotTurnedWithTheObject)
{
    // The square turned a quarter turn about its centre covers the same pixels; its
    // shadow, cast to the right, stays to the right instead of turning downwards.
    const Shadow s{.color = qRgba(0, 0, 255, 255), .angle = 0, .distance = 4};
    const std::vector<std::uint8_t> filters = filterList({dropShadow(s)});
    BitWriter turned;
    turned.u8(0x02 | 0x04).u8(0x01).u16(1).u16(1);
    turned.bits(1, 1).bits(2, 5).sbits(0, 2).sbits(0, 2); // no scale: the turn alone
    turned.bits(1, 1).bits(18, 5).sbits(1 << 16, 18).sbits(-(1 << 16), 18);
    const int across = (2 * kSquareLeft + kSquareSize) * 20; // x' = across - y, y' = x
    turned.bits(13, 5).sbits(across, 13).sbits(0, 13).align().bytes(filters);
    const QImage actual = render(turned.take());
    EXPECT_EQ(differing(actual, render(placeObject3({.filters = filters})), 0), 0);
    EXPECT_NE(actual.pixel(42, 30), kWhite) << "the shadow right of the square";
    EXPECT_EQ(actual.pixel(30, 43), kWhite) << "none below it";
}

TEST(Filters, KnockoutAndHiddenObjectLeaveOnlyTheEffect)
{
    const Picture sq = square();
    const auto outer = windowedMean(channel(sq, &Pixel::a), 5, 1);
    std::vector<double> inverse = channel(sq, &Pixel::a);
    for (double &v : inverse)
        v = 1 - v;
    const auto inner = windowedMean(inverse, 5, 1, 1);
    struct Row {
        const char *name;
        Shadow shadow;
        std::function<Pixel(std::size_t)> expected;
    } rows[] = {
        {"outer knockout: the glow around a hole",
         {.color = qRgba(0, 255, 0, 255), .knockout = true},
         [&](std::size_t i) {
             return Pixel{0, outer[i] * (1 - sq[i].a), 0, outer[i] * (1 - sq[i].a)};
         }},
        {"hidden object: the whole glow alone",
         {.color = qRgba(0, 255, 0, 255), .hideObject = true},
         [&](std::size_t i) {
             return Pixel{0, outer[i], 0, outer[i]};
         }},
        {"inner glow: over the object, inside it only",
         {.color = qRgba(0, 255, 0, 255), .inner = true},
         [&](std::size_t i) {
             const double g = inner[i] * sq[i].a;
             return over(Pixel{0, g, 0, g}, sq[i]);
         }},
        {"inner knockout: the inner glow alone",
         {.color = qRgba(0, 255, 0, 255), .inner = true, .knockout = true},
         [&](std::size_t i) {
             return Pixel{0, inner[i] * sq[i].a, 0, inner[i] * sq[i].a};
         }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const QImage actual = render(placeObject3({.filters = filterList({glow(row.shadow)})}));
        Picture expected(sq.size());
        for (std::size_t i = 0; i < sq.size(); ++i)
            expected[i] = row.expected(i);
        EXPECT_SAME_PICTURE(actual, onWhite(expected));
    }
}

int distance(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
}

TEST(Filters, BevelLightsTheSideTowardsItsAngleAndShadesTheOther)
{
    // Light from the top left (45 degrees): offset one pixel each way, blur 3. An inner
    // bevel lies on the square's edges, an outer one around them.
    struct Row {
        const char *name;
        int kind;
        QRgb base;
        QPoint highlight, shadow, untouched;
    } rows[] = {
        {"inner", 0x80, kRed, {20, 20}, {39, 39}, {19, 19}},
        {"outer", 0x00, kWhite, {19, 19}, {40, 40}, {30, 30}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const QImage image = render(placeObject3(
            {.filters = filterList({bevel(3, std::numbers::pi / 4, std::sqrt(2.0), row.kind)})}));
        EXPECT_LT(distance(image.pixel(row.highlight), kBevelHighlight),
                  distance(row.base, kBevelHighlight) - 150);
        EXPECT_LT(distance(image.pixel(row.shadow), kBevelShadow), distance(row.base, kBevelShadow) - 150);
        EXPECT_EQ(image.pixel(row.untouched), row.kind ? kWhite : kRed);
    }
}

TEST(Filters, GradientGlowColoursByStrengthOfTheSpread)
{
    // Transparent far away, yellow half way, blue where the object is whole.
    const auto stops = std::vector<std::pair<std::uint8_t, QRgb>>{
        {0, qRgba(0, 0, 0, 0)}, {128, qRgba(255, 255, 0, 255)}, {255, qRgba(0, 0, 255, 255)}};
    const QImage image = render(placeObject3({.filters = filterList({gradientGlow(stops, 9)})}));
    EXPECT_EQ(image.pixel(30, 30), kRed) << "the object covers its glow";
    EXPECT_EQ(image.pixel(5, 30), kWhite) << "beyond the spread";
    // Just outside the left edge the spread is 4/9: between transparent and yellow.
    const QRgb edge = image.pixel(19, 30);
    EXPECT_GT(qRed(edge), 200);
    EXPECT_LT(qBlue(edge), 160);
}

TEST(Filters, ConvolutionSumsTheKernelOverNeighbours)
{
    // A kernel that takes each pixel from its left neighbour moves the square right by
    // one, within the object's bounds; beyond them is the transparent default colour.
    const QImage image =
        render(placeObject3({.filters = filterList({convolution(3, 3, {0, 0, 0, 1, 0, 0})})}));
    EXPECT_EQ(image.pixel(20, 30), kWhite);
    EXPECT_EQ(image.pixel(21, 30), kRed);
    EXPECT_EQ(image.pixel(39, 30), kRed);
    EXPECT_EQ(image.pixel(40, 30), kWhite);
}

TEST(Filters, AppliedInListOrderThenTheColourTransform)
{
    // A green glow, then a matrix that swaps green and blue: the glow comes out blue.
    std::array<float, 20> swap{};
    swap[0] = 1;  // red from red
    swap[7] = 1;  // green from blue
    swap[11] = 1; // blue from green
    swap[18] = 1; // alpha from alpha
    const QImage image = render(placeObject3(
        {.filters = filterList({glow({.color = qRgba(0, 255, 0, 255), .strength = 4}), colorMatrix(swap)})}));
    const QRgb beside = image.pixel(18, 30);
    EXPECT_GT(qBlue(beside), qGreen(beside) + 100) << "the glow went through the matrix";
    EXPECT_EQ(image.pixel(30, 30), kRed);
}

TEST(Filters, ShadowsReachPastTheObjectButNotPastTheStageEdge)
{
    // The square at the stage's top-left corner, its shadow moved 25 pixels right and down.
    const QImage image = render(placeObject3(
        {.tx = -400,
         .ty = -400,
         .filters = filterList(
             {dropShadow({.blur = 1, .angle = std::numbers::pi / 4, .distance = 25 * std::sqrt(2.0)})})}));
    EXPECT_EQ(image.pixel(5, 5), kRed);
    EXPECT_EQ(image.pixel(30, 30), qRgb(0, 0, 0)) << "the shadow, well outside the object's bounds";
    EXPECT_EQ(image.pixel(50, 50), kWhite);
}

TEST(Filters, HostileValuesAreHeldToDrawableLimits)
{
    // Passes 31 and blurs of 30000 pixels; a 16 x 16 convolution (past the 15 x 15 limit).
    BitWriter w;
    w.u8(3).u8(raw(FilterId::Blur));
    fixed16(fixed16(w, 30000), 30000).u8(31 << 3);
    w.bytes(convolution(16, 16, {}));
    w.bytes(glow({.passes = 31}));
    MovieBytes m;
    m.tag(TagCode::DefineShape, test::rectangleShape(1, 0, 0, 200, 200, 255, 0, 0))
        .tag(TagCode::PlaceObject3, placeObject3({.filters = w.take()}))
        .showFrame();
    auto movie = loadMovie(m.build('F'));
    ASSERT_TRUE(movie);
    Player player(*movie);
    const auto &filters = player.root().objects().at(1).filters;
    ASSERT_EQ(filters.size(), 2u) << "the oversized kernel is read past";
    EXPECT_EQ(filters[0].blurX, 255);
    EXPECT_EQ(filters[0].passes, 15);
    EXPECT_EQ(filters[1].kind, FilterId::Glow);
    EXPECT_EQ(filters[1].passes, 15);
}

// What a frame spends on filters is bounded: a layer that would cost more than is left
// is drawn coarser, and still looks much like the full drawing.
TEST(Filters, HeavyLayersAreDrawnCoarserWithinTheFrameWork)
{
    auto draw = [](const std::shared_ptr<const Movie> &movie, QSize size, double filterWork,
                   double *spent = nullptr) {
        Player player(movie);
        RenderCache cache;
        FilterBudget budget(filterWork);
        Renderer renderer(*movie, cache, Quality::Low, budget);
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        renderer.paint(painter, player.root(), QTransform::fromScale(1 / kTwipsPerPixel, 1 / kTwipsPerPixel),
                       {});
        if (spent)
            *spent = budget.spent();
        return image;
    };
    // A 205-byte movie of the largest blur, 15 passes, over a layer reaching 1024 pixels
    // past the stage: about 600 million steps when drawn in full.
    auto hostile = loadMovieFile(
        VELMORA_SOURCE_DIR "/tests/controls/swf/fuzz-regressions/blur-of-largest-width-and-passes-slow.swf");
    ASSERT_TRUE(hostile);
    double spent = 0;
    draw(*hostile, {550, 400}, FilterBudget::kWorkPerFrame, &spent);
    EXPECT_GT(spent, 0);
    EXPECT_LE(spent, FilterBudget::kWorkPerFrame);

    MovieBytes m;
    m.widthPx = m.heightPx = kStage;
    m.tag(TagCode::DefineShape, test::rectangleShape(1, 400, 400, 800, 800, 255, 0, 0))
        .tag(TagCode::PlaceObject3, placeObject3({.filters = filterList({blur(15, 3)})}))
        .showFrame();
    auto movie = loadMovie(m.build('F'));
    ASSERT_TRUE(movie);
    double full = 0, quarter = 0;
    const QImage fine = draw(*movie, {kStage, kStage}, 1e9, &full);
    const QImage coarse = draw(*movie, {kStage, kStage}, full / 4, &quarter);
    EXPECT_LE(quarter, full / 4);
    EXPECT_EQ(differing(coarse, fine, 6), 0) << "a quarter of the work, four pixels to one";
}

// Movies drawn together share one budget: the second is stinted while the first has
// spent it, says so, and is drawn in full once the budget is refilled; a layer kept
// from a full drawing is reused whatever is left.
TEST(Filters, MoviesDrawnTogetherShareOneBudget)
{
    MovieBytes m;
    m.widthPx = m.heightPx = kStage;
    m.tag(TagCode::DefineShape, test::rectangleShape(1, 400, 400, 800, 800, 255, 0, 0))
        .tag(TagCode::PlaceObject3, placeObject3({.filters = filterList({blur(15, 3)})}))
        .showFrame();
    auto movie = loadMovie(m.build('F'));
    ASSERT_TRUE(movie);
    QImage image(kStage, kStage, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    const QRectF target(0, 0, kStage, kStage);
    FilterBudget unlimited(1e9);
    ASSERT_TRUE(Player(*movie).render(painter, target, Quality::Low, unlimited));
    const double full = unlimited.spent();

    Player first(*movie), second(*movie);
    FilterBudget shared(full * 1.5);
    EXPECT_TRUE(first.render(painter, target, Quality::Low, shared));
    EXPECT_FALSE(second.render(painter, target, Quality::Low, shared)) << "half a drawing was left";
    EXPECT_LE(shared.spent(), full * 1.5);
    shared.refill();
    EXPECT_TRUE(second.render(painter, target, Quality::Low, shared));
    EXPECT_EQ(shared.spent(), full) << "drawn again in full, not kept coarse";
    shared.spend(full);
    EXPECT_TRUE(first.render(painter, target, Quality::Low, shared));
    EXPECT_EQ(shared.spent(), 2 * full) << "its full layer was kept";
}

TEST(Filters, KeptLayersFollowMovesAndChanges)
{
    // Frame by frame: a glowing square, moved 5 px (its kept layer moves with it), moved
    // half a pixel, tinted blue; each frame drawn after the others matches a fresh drawing.
    MovieBytes m;
    m.widthPx = m.heightPx = kStage;
    m.frameCount = 4;
    m.tag(TagCode::DefineShape, test::rectangleShape(1, 400, 400, 800, 800, 255, 0, 0))
        .tag(TagCode::PlaceObject3,
             placeObject3({.filters = filterList({glow({.color = qRgba(0, 0, 0, 255)})})}))
        .showFrame();
    auto move = [](int tx, bool tint) {
        BitWriter w;
        w.u8(0x01 | 0x04 | (tint ? 0x08 : 0)).u16(1).translate(tx, 0);
        if (tint) // CXFORMWITHALPHA: multiply terms, 9 bits each; red and green to zero
            w.bits(0, 1).bits(1, 1).bits(9, 4).sbits(0, 9).sbits(0, 9).sbits(256, 9).sbits(256, 9);
        return w.take();
    };
    m.tag(TagCode::PlaceObject2, move(100, false)).showFrame();
    m.tag(TagCode::PlaceObject2, move(110, false)).showFrame();
    m.tag(TagCode::PlaceObject2, move(110, true)).showFrame();
    auto movie = loadMovie(m.build('F'));
    ASSERT_TRUE(movie);
    auto draw = [](const Player &player) {
        QImage image(kStage, kStage, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        player.render(painter, QRectF(0, 0, kStage, kStage), Quality::Low);
        return image;
    };
    Player playing(*movie);
    for (int frame = 1; frame <= 4; ++frame) {
        SCOPED_TRACE("frame " + std::to_string(frame));
        const QImage shown = draw(playing);
        Player fresh(*movie);
        for (int f = 1; f < frame; ++f)
            fresh.stepFrame();
        EXPECT_EQ(shown, draw(fresh));
        playing.stepFrame();
    }
}

// --- Layers and backgrounds -------------------------------------------------------

// Character 2: a DefineShape3 rectangle over x 0..30 px, y 0..60 px, black with `alpha`.
void defineHalf(MovieBytes &m, std::uint8_t alpha)
{
    BitWriter shape;
    shape.u16(2).rect(0, 600, 0, 1200);
    shape.u8(1).u8(0).u8(0).u8(0).u8(0).u8(alpha).u8(0); // one solid RGBA fill, no lines
    shape.bits(1, 4).bits(0, 4);                         // 1 fill bit, 0 line bits
    shape.bits(0, 1).bits(0b00011, 5).bits(1, 5).sbits(0, 1).sbits(0, 1).bits(1, 1); // move to 0,0; fill0
    auto line = [&shape](int dx, int dy) {
        shape.bits(1, 1)
            .bits(1, 1)
            .bits(12 - 2, 4)
            .bits(0, 1)
            .bits(dx == 0 ? 1 : 0, 1)
            .sbits(dx == 0 ? dy : dx, 12);
    };
    line(600, 0);
    line(0, 1200);
    line(-600, 0);
    line(0, -1200);
    shape.bits(0, 6);
    m.tag(TagCode::DefineShape3, shape.take());
}

// A sprite (id 3) holding the red square and, above it, character 2 in `mode`.
std::function<void(MovieBytes &)> layerWithChild(BlendMode mode, std::uint8_t alpha)
{
    return [mode, alpha](MovieBytes &m) {
        defineHalf(m, alpha);
        MovieBytes sprite;
        sprite.tag(TagCode::PlaceObject2, test::placeObject(1, 1))
            .tag(TagCode::PlaceObject3, placeObject3({.id = 2, .depth = 2, .filters = {}, .blend = mode}))
            .showFrame()
            .tag(TagCode::End, {});
        BitWriter body;
        body.u16(3).u16(1).bytes(sprite.tags);
        m.tag(TagCode::DefineSprite, body.take());
    };
}

TEST(Layers, AlphaAndEraseChildrenCutTheirLayerWhereTheyDraw)
{
    struct Row {
        const char *name;
        BlendMode mode;
        QRgb left, right; // inside the child's half, and beyond it
    } rows[] = {
        {"alpha 25 %", BlendMode::Alpha, qRgb(255, 191, 191), kRed},
        {"erase 75 %", BlendMode::Erase, qRgb(255, 191, 191), kRed},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const std::uint8_t alpha = row.mode == BlendMode::Alpha ? 64 : 191;
        const QImage image = render(placeObject3({.id = 3, .filters = {}, .blend = BlendMode::Layer}),
                                    layerWithChild(row.mode, alpha));
        EXPECT_NEAR(qGreen(image.pixel(25, 30)), qGreen(row.left), 2);
        EXPECT_EQ(image.pixel(35, 30), row.right) << "untouched beyond the child";
        EXPECT_EQ(image.pixel(10, 30), kWhite) << "the child itself is not drawn";
    }
}

TEST(Layers, OpaqueBackgroundFillsWholePixelsUnderTheObject)
{
    // A transparent rectangle placed half a pixel right: its bounds 0.5..30.5 become
    // pixels 1..30.
    const QImage image =
        render(placeObject3({.id = 2, .tx = 10, .filters = {}, .background = qRgb(0, 255, 0)}),
               [](MovieBytes &m) { defineHalf(m, 0); });
    EXPECT_EQ(image.pixel(0, 30), kWhite);
    EXPECT_EQ(image.pixel(1, 30), qRgb(0, 255, 0));
    EXPECT_EQ(image.pixel(30, 59), qRgb(0, 255, 0));
    EXPECT_EQ(image.pixel(31, 30), kWhite);
}

} // namespace
} // namespace velmora::swf
