// The reader: bit fields, compression variants, tolerance for short files and
// refusal of files that are not movies.
#include "swfbytes.h"

#include "controls/swf/actionreader.h"
#include "controls/swf/bitmapdecoder.h"
#include "controls/swf/bitreader.h"
#include "controls/swf/movieerror.h"
#include "controls/swf/moviereader.h"
#include "controls/swf/player.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <filesystem>

namespace velmora::swf {
namespace {

using test::BitWriter;
using test::MovieBytes;

TEST(BitReader, SignedFieldsExtendTheirTopBit)
{
    struct Row {
        const char *name;
        std::uint32_t raw;
        int bits;
        std::int32_t expected;
    } rows[] = {
        {"one bit set is -1", 1, 1, -1},
        {"positive 5-bit", 0b01111, 5, 15},
        {"negative 5-bit", 0b10000, 5, -16},
        {"negative 16-bit", 0xFFFE, 16, -2},
        {"full 32-bit", 0x80000000u, 32, INT32_MIN},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        auto bytes = BitWriter().bits(row.raw, row.bits).take();
        BitReader in(bytes);
        EXPECT_EQ(in.sbits(row.bits), row.expected);
    }
}

TEST(BitReader, MatrixKeepsRotateSkewOrderAndDefaultsScaleToOne)
{
    // HasScale 0, HasRotate 1 (NBits 18: RotateSkew0 = 0.5, RotateSkew1 = -0.25), translate 20, -40.
    auto bytes = BitWriter()
                     .bits(0, 1)
                     .bits(1, 1)
                     .bits(18, 5)
                     .sbits(0x8000, 18)
                     .sbits(-0x4000, 18)
                     .bits(8, 5)
                     .sbits(20, 8)
                     .sbits(-40, 8)
                     .take();
    BitReader in(bytes);
    Matrix m = in.matrix();
    EXPECT_DOUBLE_EQ(m.a, 1.0);
    EXPECT_DOUBLE_EQ(m.d, 1.0);
    EXPECT_DOUBLE_EQ(m.b, 0.5);   // RotateSkew0 maps x into y'
    EXPECT_DOUBLE_EQ(m.c, -0.25); // RotateSkew1 maps y into x'
    EXPECT_DOUBLE_EQ(m.tx, 20);
    EXPECT_DOUBLE_EQ(m.ty, -40);
}

TEST(BitReader, ColorTransformReadsMultipliersBeforeAddTerms)
{
    // HasAdd 1, HasMult 1, NBits 11; mult 128,256,512,256 then add -10,20,30,-255.
    BitWriter w;
    w.bits(1, 1).bits(1, 1).bits(11, 4);
    for (int v : {128, 256, 512, 256})
        w.sbits(v, 11);
    for (int v : {-10, 20, 30, -255})
        w.sbits(v, 11);
    auto bytes = w.take();
    BitReader in(bytes);
    ColorTransform cx = in.colorTransform(true);
    Rgba out = cx.apply({100, 100, 100, 200});
    EXPECT_EQ(out, (Rgba{40, 120, 230, 0})); // multiplied first, then added, then clamped
}

TEST(BitReader, ReadingPastTheEndThrows)
{
    std::vector<std::uint8_t> bytes{0x01};
    BitReader in(bytes);
    EXPECT_EQ(in.u8(), 1);
    EXPECT_THROW(in.u8(), TruncatedData);
    EXPECT_THROW(in.bits(1), TruncatedData);
}

class Compression : public ::testing::TestWithParam<char> {};

TEST_P(Compression, HeaderAndTagsSurvive)
{
    MovieBytes m;
    m.widthPx = 320;
    m.heightPx = 240;
    m.frameRate = 24;
    m.frameCount = 2;
    m.tag(TagCode::SetBackgroundColor, {0x10, 0x20, 0x30})
        .tag(TagCode::DefineShape, test::rectangleShape(1, 0, 0, 200, 200, 255, 0, 0));
    m.tag(TagCode::PlaceObject2, test::placeObject(1, 1)).showFrame().showFrame();
    auto movie = readMovie(m.build(GetParam()));
    ASSERT_TRUE(movie) << movie.error().description;
    const Movie &mv = **movie;
    EXPECT_EQ(mv.header.frameRect.width(), 320 * 20);
    EXPECT_EQ(mv.header.frameRect.height(), 240 * 20);
    EXPECT_DOUBLE_EQ(mv.header.frameRate, 24);
    EXPECT_EQ(mv.root.frameCount, 2);
    EXPECT_EQ(mv.background, (Rgba{0x10, 0x20, 0x30, 255}));
    EXPECT_NE(mv.find<Shape>(1), nullptr);
    EXPECT_TRUE(mv.warnings.empty());
}

INSTANTIATE_TEST_SUITE_P(AllSignatures, Compression, ::testing::Values('F', 'C', 'Z'),
                         [](const auto &info) { return std::string(1, info.param) + "WS"; });

// Every action list keeps its bytes for a script engine, the frame controls decoded
// beside them: frames, init actions, button conditions and clip events.
TEST(MovieReader, KeepsTheBytesOfEveryActionList)
{
    const std::vector<std::uint8_t> pushThenStop{raw(ActionCode::Push), 2, 0, 0, 7, raw(ActionCode::Stop), 0};
    auto withId = [](std::uint16_t id, const std::vector<std::uint8_t> &actions) {
        return BitWriter().u16(id).bytes(actions).take();
    };
    BitWriter button; // no records; one condition record (the last, size 0) for the click
    button.u16(3).u8(0).u16(3).u8(0).u16(0).u16(OverDownToOverUp).bytes(pushThenStop);
    BitWriter place; // PlaceObject2 at depth 1 with clip actions on one event (version 6: 32-bit flags)
    place.u8(0x80 | 0x02).u16(1).u16(2).u16(0).u32(1).u32(1).u32(7).bytes(pushThenStop).u32(0);
    MovieBytes m;
    m.version = 6;
    m.tag(TagCode::DefineButton2, button.take()).tag(TagCode::DoInitAction, withId(2, pushThenStop));
    m.tag(TagCode::PlaceObject2, place.take()).tag(TagCode::DoAction, pushThenStop).showFrame();
    auto movie = readMovie(m.build());
    ASSERT_TRUE(movie) << movie.error().description;
    const Frame &frame = (*movie)->root.frames.at(0);
    const Button *b = (*movie)->find<Button>(3);
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(frame.actions.size(), 1u);
    ASSERT_EQ(frame.initActions.size(), 1u);
    ASSERT_EQ(b->actions.size(), 1u);
    ASSERT_EQ(frame.commands.at(0).clipActions.size(), 1u);
    EXPECT_EQ(frame.initActions[0].spriteId, 2);
    EXPECT_EQ(b->actions[0].conditions, OverDownToOverUp);
    EXPECT_EQ(frame.commands[0].clipActions[0].events, 1u);
    for (const ActionBlock *block : {&frame.actions[0], &frame.initActions[0].actions, &b->actions[0].actions,
                                     &frame.commands[0].clipActions[0].actions}) {
        EXPECT_EQ(block->bytes, pushThenStop);
        ASSERT_EQ(block->simple.size(), 1u);
        EXPECT_EQ(block->simple[0].op, ActionOp::Stop);
    }
    // Stepping through the records: the body of Push, then Stop, then the End record.
    auto first = readActionRecord(pushThenStop, 0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->code, ActionCode::Push);
    EXPECT_EQ(first->body.size(), 2u);
    auto second = readActionRecord(pushThenStop, first->next);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->code, ActionCode::Stop);
    EXPECT_FALSE(readActionRecord(pushThenStop, second->next));
    const std::vector<std::uint8_t> cut{raw(ActionCode::Push), 9, 0, 1};
    EXPECT_EQ(readActionRecord(cut, 0)->body.size(), 1u) << "a body past the end is cut there";
}

TEST(MovieReader, RefusesWhatIsNotAMovie)
{
    struct Row {
        const char *name;
        std::vector<std::uint8_t> bytes;
        MovieError cause;
    } rows[] = {
        {"empty", {}, MovieError::FileTooShort},
        {"shorter than the header", {'F', 'W', 'S', 10}, MovieError::FileTooShort},
        {"bad signature", {'G', 'W', 'S', 10, 20, 0, 0, 0, 0, 0, 0, 0}, MovieError::NoSignature},
        {"version 0", {'F', 'W', 'S', 0, 20, 0, 0, 0, 0x50, 0, 0, 0}, MovieError::VersionZero},
        {"header rectangle cut", {'F', 'W', 'S', 10, 20, 0, 0, 0, 0x80}, MovieError::HeaderEndsEarly},
        {"zlib garbage", {'C', 'W', 'S', 10, 100, 0, 0, 0, 1, 2, 3, 4, 5}, MovieError::BodyUndecodable},
        {"LZMA header cut", {'Z', 'W', 'S', 13, 100, 0, 0, 0, 5, 0, 0}, MovieError::LzmaHeaderIncomplete},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        auto movie = loadMovie(row.bytes);
        EXPECT_FALSE(movie);
        if (!movie) {
            EXPECT_EQ(movie.error().description.rfind("SWF:", 0), 0u);
            EXPECT_EQ(movie.error(), movieError(row.cause));
        }
    }
}

TEST(MovieReader, CompressedStreamThatEndsEarlyStillGivesItsFrames)
{
    MovieBytes m;
    m.frameCount = 3;
    for (int i = 0; i < 40; ++i) // enough tags that a cut falls well after the first frame
        m.tag(TagCode::DefineShape,
              test::rectangleShape(static_cast<std::uint16_t>(i + 1), 0, 0, 100 + i, 100, 1, 2, 3));
    m.tag(TagCode::PlaceObject2, test::placeObject(1, 1)).showFrame().showFrame().showFrame();
    for (char c : {'C', 'Z'}) {
        SCOPED_TRACE(c);
        auto bytes = m.build(c);
        bytes.resize(bytes.size() * 3 / 4);
        auto movie = readMovie(bytes);
        ASSERT_TRUE(movie) << movie.error().description;
        EXPECT_GE((*movie)->characters.size(), 1u);
        EXPECT_EQ((*movie)->header.frameCount, 3);
    }
}

TEST(MovieReader, TagLongerThanTheFileIsCutNotFatal)
{
    MovieBytes m;
    m.tag(TagCode::DefineShape, test::rectangleShape(1, 0, 0, 100, 100, 1, 2, 3));
    auto bytes = m.build('F');
    // Claim a long DefineShape at the end: 0x3F length escape and a huge length.
    std::vector<std::uint8_t> tail{0xBF, 0x00, 0xFF, 0xFF, 0xFF, 0x7F, 0x01};
    bytes.resize(bytes.size() - 2); // drop End
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    auto movie = readMovie(bytes);
    ASSERT_TRUE(movie);
    EXPECT_NE((*movie)->find<Shape>(1), nullptr);
    EXPECT_FALSE((*movie)->warnings.empty());
}

TEST(MovieReader, CompressedStreamOfEmptyFramesIsCapped)
{
    // Four million ShowFrame tags inflate from a few kilobytes; the model keeps
    // the 65535 frames a frame number can name.
    MovieBytes m;
    m.frameCount = 65535;
    m.tags.reserve(8'000'000);
    for (int i = 0; i < 4'000'000; ++i)
        m.tags.insert(m.tags.end(), {0x40, 0x00});
    auto movie = readMovie(m.build('C'));
    ASSERT_TRUE(movie);
    EXPECT_LE((*movie)->root.frames.size(), 65535u);
    EXPECT_FALSE((*movie)->warnings.empty());
}

TEST(MovieReader, TheBitmapsOfAMovieAreHeldToOneBudget)
{
    // Each tag claims 4096 x 4096 pixels from an empty zlib stream of eight bytes.
    MovieBytes m;
    for (std::uint16_t id = 1; id <= 4; ++id)
        m.tag(
            TagCode::DefineBitsLossless2,
            test::BitWriter().u16(id).u8(5).u16(4096).u16(4096).bytes({0x78, 0x9c, 3, 0, 0, 0, 0, 1}).take());
    m.showFrame();
    auto movie = readMovie(m.build());
    ASSERT_TRUE(movie);
    std::int64_t pixels = 0;
    for (const auto &[id, character] : (*movie)->characters) {
        if (const auto *bitmap = std::get_if<Bitmap>(&character))
            pixels += std::int64_t{bitmap->image.width()} * bitmap->image.height();
    }
    EXPECT_GT(pixels, 0);
    EXPECT_LE(pixels, kMaxMovieBitmapPixels);
    EXPECT_FALSE((*movie)->warnings.empty());
}

TEST(MovieReader, HugeTextAdvancesAreHeldInRange)
{
    // DefineText whose three glyph advances of nearly 2^31 twips each would run the
    // pen position past 32 bits (a fuzzer find).
    BitWriter text;
    text.u16(1).rect(0, 100, 0, 100).translate(0, 0).u8(1).u8(32);
    text.u8(0x80 | 0x08).u16(9).u16(200).u8(3);
    for (int i = 0; i < 3; ++i)
        text.bits(0, 1).sbits(0x7FFFFFF0, 32);
    text.align().u8(0);
    MovieBytes m;
    m.tag(TagCode::DefineText, text.take()).tag(TagCode::PlaceObject2, test::placeObject(1, 1)).showFrame();
    auto movie = readMovie(m.build('F'));
    ASSERT_TRUE(movie);
    const auto *t = (*movie)->find<StaticText>(1);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->records.size(), 1u);
    EXPECT_EQ(t->records[0].glyphs.size(), 3u);
    Player player(*movie);
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    player.render(painter, QRectF(0, 0, 32, 32), Quality::Low);
}

TEST(MovieReader, EveryTruncationOfAValidMovieIsHandled)
{
    MovieBytes m;
    m.frameCount = 2;
    m.tag(TagCode::DefineShape, test::rectangleShape(1, 0, 0, 400, 400, 200, 0, 0));
    m.tag(TagCode::PlaceObject2, test::placeObject(1, 1, 100, 100)).showFrame();
    m.tag(TagCode::RemoveObject2, test::removeObject(1)).showFrame();
    const auto full = m.build('F');
    for (std::size_t n = 0; n <= full.size(); ++n) {
        std::vector<std::uint8_t> cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        auto movie = loadMovie(cut);
        if (movie) {
            Player player(*movie);
            player.stepFrame();
            player.stepFrame();
        }
    }
    SUCCEED();
}

} // namespace
} // namespace velmora::swf

namespace velmora::swf {
namespace {

// Inputs the fuzzer found slow or crashing; each must load (or fail) and play three
// frames, clicked in the middle, as the fuzzer plays them.
TEST(FuzzRegressions, EachInputLoadsAndPlays)
{
    const std::filesystem::path folder = VELMORA_SOURCE_DIR "/tests/controls/swf/fuzz-regressions";
    int count = 0;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        SCOPED_TRACE(entry.path().filename().string());
        auto movie = loadMovieFile(entry.path());
        if (movie) {
            Player player(*movie);
            QImage image(64, 48, QImage::Format_ARGB32_Premultiplied);
            for (int frame = 0; frame < 3; ++frame) {
                QPainter painter(&image);
                player.render(painter, QRectF(0, 0, 64, 48), Quality::High);
                painter.end();
                player.mouseMove({32, 24}, QRectF(0, 0, 64, 48));
                player.mousePress();
                player.mouseRelease();
                player.stepFrame();
            }
        }
        ++count;
    }
    EXPECT_GT(count, 0);
}

} // namespace
} // namespace velmora::swf
