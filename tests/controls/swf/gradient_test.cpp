// Gradient ramps: stops that share a ratio, padding beyond the ends, truncation, where
// unsmoothed ratios lie.
#include "controls/swf/gradientpainter.h"

#include <gtest/gtest.h>

namespace velmora::swf {
namespace {

Gradient gradient(std::initializer_list<GradientStop> stops)
{
    Gradient g;
    g.stops = stops;
    return g;
}

constexpr Rgba kRed{255, 0, 0, 255}, kBlue{0, 0, 255, 255}, kGreen{0, 255, 0, 255}, kBlack{0, 0, 0, 255};

QRgb rgb(Rgba c)
{
    return qRgba(c.r, c.g, c.b, c.a);
}

// The ramp entry for a position on the 0..256 scale of the gradient (256 = its end).
QRgb at(const std::array<QRgb, kRampSteps> &ramp, double ratio)
{
    return ramp[static_cast<std::size_t>(std::min(kRampSteps - 1.0, ratio / 256.0 * kRampSteps))];
}

TEST(GradientRamp, StopsSharingARatio)
{
    struct Row {
        const char *name;
        Gradient g;
        double ratio;
        QRgb expected;
    } rows[] = {
        //  0:red 0:blue ........ 255:green 255:black
        {"both ends shared: the start is the first stop",
         gradient({{0, kRed}, {0, kBlue}, {255, kGreen}, {255, kBlack}}), 0, rgb(kRed)},
        {"both ends shared: the end is the earlier stop",
         gradient({{0, kRed}, {0, kBlue}, {255, kGreen}, {255, kBlack}}), 256, rgb(kGreen)},
        //  70:red 70:blue .... 140:green 140:black
        {"before the first ratio", gradient({{70, kRed}, {70, kBlue}, {140, kGreen}, {140, kBlack}}), 30,
         rgb(kRed)},
        {"past the last ratio", gradient({{70, kRed}, {70, kBlue}, {140, kGreen}, {140, kBlack}}), 200,
         rgb(kBlack)},
        {"a single stop pads everywhere", gradient({{128, kBlue}}), 10, rgb(kBlue)},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(at(gradientRamp(row.g, {}), row.ratio), row.expected);
    }
}

TEST(GradientRamp, InterpolatesBetweenTheSharedStopsAndTruncates)
{
    const auto ramp = gradientRamp(gradient({{0, kRed}, {0, kBlue}, {255, kGreen}, {255, kBlack}}), {});
    const QRgb middle = at(ramp, 127.5);
    EXPECT_EQ(qRed(middle), 0) << "the segment runs from blue to green, red plays no part";
    EXPECT_NEAR(qBlue(middle), 127, 1);
    EXPECT_NEAR(qGreen(middle), 127, 1);
    EXPECT_EQ(qBlue(ramp[0]), 0);
}

TEST(GradientRamp, NoRecordsMeansBlackAndColourTransformApplies)
{
    EXPECT_EQ(gradientRamp(Gradient{}, {})[500], qRgb(0, 0, 0));
    ColorTransform half;
    half.rMul = 0.5;
    EXPECT_EQ(qRed(gradientRamp(gradient({{0, kRed}}), half)[0]), 127);
}

TEST(GradientRamp, UnsmoothedEachRatioLiesInTheMiddleOfItsOwn256th)
{
    // Black to white: ratio k is grey k. The middle of the k-th 256th is ramp step 4k+2.
    const auto ramp = gradientRamp(gradient({{0, kBlack}, {255, {255, 255, 255, 255}}}), {}, false);
    for (int k : {0, 1, 42, 128, 200, 254, 255})
        EXPECT_EQ(qRed(ramp[static_cast<std::size_t>(4 * k + 2)]), k) << "ratio " << k;
    EXPECT_EQ(qRed(ramp[0]), 0) << "the first half 256th holds the first colour";
    EXPECT_EQ(qRed(ramp[kRampSteps - 1]), 255) << "the last half 256th holds the last colour";
    // A stop past the start: its colour up to its ratio's middle, then the blend.
    const auto late = gradientRamp(gradient({{10, kBlack}, {20, {250, 250, 250, 255}}}), {}, false);
    EXPECT_EQ(qRed(late[4 * 10 + 1]), 0);
    EXPECT_EQ(qRed(late[4 * 15 + 2]), 128); // ratio 15.125
}

TEST(GradientImage, PadSpreadFillsBeyondTheRadius)
{
    FillStyle f;
    f.type = FillStyle::Type::Radial;
    f.gradient = gradient({{0, kRed}, {255, kBlue}});
    // Radius 16384 twips mapped to 4 pixels, centred at (4, 4) in an 8x8 area.
    QTransform toDevice(4.0 / 16384, 0, 0, 4.0 / 16384, 4, 4);
    QImage image = gradientImage(f, {}, toDevice, QRect(0, 0, 8, 8));
    ASSERT_FALSE(image.isNull());
    EXPECT_GT(qRed(image.pixel(4, 4)), 200);  // centre
    EXPECT_EQ(image.pixel(0, 0), rgb(kBlue)); // corner, beyond the radius
}

} // namespace
} // namespace velmora::swf
