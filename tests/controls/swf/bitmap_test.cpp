// Bitmap decoding: lossless formats with palettes and row padding, premultiplied
// alpha, and JPEG repairs.
#include "controls/swf/bitmapdecoder.h"

#include <QBuffer>

#include <gtest/gtest.h>
#include <zlib.h>

namespace velmora::swf {
namespace {

std::vector<std::uint8_t> zipped(const std::vector<std::uint8_t> &raw)
{
    uLongf size = compressBound(raw.size());
    std::vector<std::uint8_t> out(size);
    compress(out.data(), &size, raw.data(), raw.size());
    out.resize(size);
    return out;
}

std::vector<std::uint8_t> losslessBody(int format, int width, int height,
                                       const std::vector<std::uint8_t> &raw, int paletteSize = 0)
{
    std::vector<std::uint8_t> body{static_cast<std::uint8_t>(format), static_cast<std::uint8_t>(width), 0,
                                   static_cast<std::uint8_t>(height), 0};
    if (format == 3)
        body.push_back(static_cast<std::uint8_t>(paletteSize - 1));
    auto z = zipped(raw);
    body.insert(body.end(), z.begin(), z.end());
    return body;
}

TEST(Lossless, PaletteRowsArePaddedToFourBytes)
{
    // 3x2, palette red/green; rows of 3 indices padded to 4; index 7 is out of range.
    std::vector<std::uint8_t> raw{255, 0, 0, 0, 255, 0, /* row 0 */ 0, 1, 0, 9, /* row 1 */ 1, 7, 1, 9};
    std::string error;
    QImage image = decodeLossless(losslessBody(3, 3, 2, raw, 2), false, error);
    ASSERT_FALSE(image.isNull()) << error;
    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(1, 0), qRgb(0, 255, 0));
    EXPECT_EQ(image.pixel(0, 1), qRgb(0, 255, 0)) << "the padding byte of row 0 must be skipped";
    EXPECT_EQ(image.pixel(1, 1), qRgb(0, 0, 0)) << "an unknown index is black";
}

TEST(Lossless, FifteenBitPixelsAreBigEndianAndExpanded)
{
    // 1x1: 0x7C00 = pure red in xRRRRRGGGGGBBBBB, padded to 4 bytes.
    std::string error;
    QImage image = decodeLossless(losslessBody(4, 1, 1, {0x7C, 0x00, 0, 0}), false, error);
    ASSERT_FALSE(image.isNull()) << error;
    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 0, 0));
}

TEST(Lossless, ArgbWithAlphaIsPremultipliedAndClamped)
{
    // A,R,G,B bytes: half-transparent grey stored premultiplied, and a colour
    // channel above its alpha (clamped to the alpha).
    std::string error;
    QImage image = decodeLossless(losslessBody(5, 2, 1, {128, 64, 64, 64, 100, 200, 50, 0}), true, error);
    ASSERT_FALSE(image.isNull()) << error;
    ASSERT_EQ(image.format(), QImage::Format_ARGB32_Premultiplied);
    const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(0));
    EXPECT_EQ(line[0], qRgba(64, 64, 64, 128));
    EXPECT_EQ(line[1], qRgba(100, 50, 0, 100));
}

TEST(Lossless, RefusesHostileHeaders)
{
    struct Row {
        const char *name;
        std::vector<std::uint8_t> body;
    } rows[] = {
        {"cut header", {5, 1}},
        {"zero width", {5, 0, 0, 1, 0}},
        {"unknown format", {9, 1, 0, 1, 0}},
        {"too many pixels", {5, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"15-bit with alpha", {4, 1, 0, 1, 0}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        std::string error;
        bool alpha = std::string(row.name) == "15-bit with alpha";
        EXPECT_TRUE(decodeLossless(row.body, alpha, error).isNull());
        EXPECT_FALSE(error.empty());
    }
}

std::vector<std::uint8_t> sampleJpeg()
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(qRgb(200, 30, 30));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 100);
    return {bytes.begin(), bytes.end()};
}

TEST(Jpeg, RepairsTheStrayEndStartPairAndAMissingEnd)
{
    const auto jpeg = sampleJpeg();
    std::vector<std::uint8_t> withPair{0xFF, 0xD9, 0xFF, 0xD8};
    withPair.insert(withPair.end(), jpeg.begin(), jpeg.end());
    std::vector<std::uint8_t> noEnd(jpeg.begin(), jpeg.end() - 2);
    // Tables and image split as DefineBits + JPEGTables do: SOI+tables+EOI, SOI+rest.
    struct Row {
        const char *name;
        std::vector<std::uint8_t> data;
    } rows[] = {{"plain", jpeg}, {"stray EOI/SOI at the start", withPair}, {"missing EOI", noEnd}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        QImage image = decodeJpegPayload(row.data);
        ASSERT_FALSE(image.isNull());
        EXPECT_NEAR(qRed(image.pixel(4, 4)), 200, 6);
    }
}

TEST(Jpeg, AlphaPlaneClampsColoursToAlpha)
{
    QImage image = decodeJpegPayload(sampleJpeg());
    std::vector<std::uint8_t> alpha(64, 100);
    QImage out = applyJpegAlpha(image, zipped(alpha));
    const auto *line = reinterpret_cast<const QRgb *>(out.constScanLine(4));
    EXPECT_EQ(qAlpha(line[4]), 100);
    EXPECT_LE(qRed(line[4]), 100);
}

TEST(Inflate, StopsAtTheLimitAndKeepsAShortStream)
{
    std::vector<std::uint8_t> raw(100000, 7);
    auto z = zipped(raw);
    EXPECT_EQ(inflateBounded(z, 1000).size(), 1000u);
    std::vector<std::uint8_t> cut(z.begin(), z.begin() + static_cast<std::ptrdiff_t>(z.size() / 2));
    std::string partial = inflateBounded(cut, raw.size());
    EXPECT_GT(partial.size(), 0u);
    EXPECT_LT(partial.size(), raw.size());
}

} // namespace
} // namespace velmora::swf
