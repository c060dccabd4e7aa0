// Sound tags from hostile files and the stream rules of the timeline: what cannot be
// played is skipped and bounded, a stream ends when its timeline stops or goes, a sound
// is started by its exported name and stopAllSounds() silences everything.
#include "swfbytes.h"

#include "controls/swf/displaylist.h"
#include "controls/swf/movie.h"
#include "controls/swf/player.h"
#include "controls/swf/sound/decoder.h"
#include "controls/swf/sound/moviesound.h"
#include "controls/swf/sound/offlineaudio.h"

#include <gtest/gtest.h>

namespace velmora::swf {
namespace {

using test::BitWriter;
using test::MovieBytes;

constexpr std::uint8_t kPcm16Mono44k = (3 << 4) | (3 << 2) | 2;

std::shared_ptr<const Movie> load(const MovieBytes &m)
{
    auto movie = loadMovie(m.build('F'));
    EXPECT_TRUE(movie);
    return movie ? *movie : nullptr;
}

std::vector<std::uint8_t> defineSound(std::uint16_t id, std::uint8_t format, std::uint32_t samples,
                                      const std::vector<std::uint8_t> &data)
{
    return BitWriter().u16(id).u8(format).u32(samples).bytes(data).take();
}

// 44.1 kHz mono 16-bit samples, all of one value.
std::vector<std::uint8_t> level(std::size_t samples, std::int16_t value)
{
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < samples; ++i) {
        out.push_back(static_cast<std::uint8_t>(value & 0xFF));
        out.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    return out;
}

// Frames of a 12 fps rendering that carry sound.
std::vector<bool> audibleFrames(const PcmBuffer &pcm)
{
    std::vector<bool> out;
    for (std::size_t at = 0; at < pcm.frames(); at += kMixRate / 12) {
        bool any = false;
        for (std::size_t i = at; i < std::min(pcm.frames(), at + kMixRate / 12); ++i)
            any = any || pcm.samples[2 * i] != 0;
        out.push_back(any);
    }
    return out;
}

TEST(SoundTags, HostileSoundsAreSkippedOrBounded)
{
    MovieBytes m;
    m.tag(TagCode::DefineSound, defineSound(1, kPcm16Mono44k, 0xFFFFFFFF, level(4, 1000))); // says 27 hours
    m.tag(TagCode::DefineSound,
          defineSound(2, 2 << 4 | 3 << 2 | 2, 1000, {0, 0, 1, 2, 3, 4}));           // MP3 of nothing
    m.tag(TagCode::DefineSound, defineSound(3, 15 << 4, 10, level(10, 1)));         // no such codec
    m.tag(TagCode::DefineSound, defineSound(4, 1 << 4 | 3 << 2 | 2, 4096, {0x80})); // ADPCM, one byte
    m.tag(TagCode::StartSound, BitWriter().u16(1).u8(0x08).u8(255).take());         // envelope cut short
    m.tag(TagCode::StartSound, BitWriter().u16(1).u8(0).take());
    m.showFrame();
    auto movie = load(m);
    ASSERT_TRUE(movie);
    EXPECT_EQ(movie->sounds.count(3), 0u);
    ASSERT_EQ(movie->root.frames.at(0).sounds.size(), 1u);
    EXPECT_FALSE(movie->warnings.empty());

    MovieSound sound(*movie);
    EXPECT_LE(sound.clip(1).length, 4u + kMixRate); // padding stops a second past the data
    EXPECT_EQ(sound.clip(2).pcm, nullptr);
    EXPECT_EQ(sound.clip(4).pcm, nullptr);
    EXPECT_EQ(sound.clip(9).pcm, nullptr);
    EXPECT_FALSE(decodeMp3(std::vector<std::uint8_t>(3000, 0xFF)));
    EXPECT_TRUE(decodeNellymoser({SoundCodec::Nellymoser, 1, true, 1}, std::vector<std::uint8_t>(63, 7)));
}

TEST(StreamSound, EndsWhenItsTimelineStopsOrGoes)
{
    const auto head = BitWriter().u8(0x0E).u8(kPcm16Mono44k).u16(3675).take();
    const auto block = level(3675, 8000);

    // Root: a stream over four frames, stop() on the third.
    MovieBytes stopping;
    stopping.frameCount = 4;
    stopping.tag(TagCode::SoundStreamHead2, head);
    for (int f = 1; f <= 4; ++f) {
        stopping.tag(TagCode::SoundStreamBlock, block);
        if (f == 3)
            stopping.tag(TagCode::DoAction, {0x07, 0});
        stopping.showFrame();
    }
    Player stopped(load(stopping));
    EXPECT_EQ(audibleFrames(renderAudio(stopped, 4)), (std::vector<bool>{true, true, false, false}));

    // A sprite with a stream of four frames, removed from the root after two.
    MovieBytes removing;
    removing.frameCount = 4;
    MovieBytes sprite;
    sprite.tag(TagCode::SoundStreamHead, head);
    for (int f = 0; f < 4; ++f)
        sprite.tag(TagCode::SoundStreamBlock, block).showFrame();
    removing.tag(TagCode::DefineSprite, BitWriter().u16(5).u16(4).bytes(sprite.tags).u16(0).take());
    removing.tag(TagCode::PlaceObject2, test::placeObject(5, 1)).showFrame().showFrame();
    removing.tag(TagCode::RemoveObject2, test::removeObject(1)).showFrame().showFrame();
    Player removed(load(removing));
    EXPECT_EQ(audibleFrames(renderAudio(removed, 4)), (std::vector<bool>{true, true, false, false}));
}

TEST(StreamSound, KeepsPlayingWhileALateTimelineDropsFramesAndStopsOnAGotoPastItsBlocks)
{
    const auto head = BitWriter().u8(0x0E).u8(kPcm16Mono44k).u16(3675).take();
    const auto blockLevel = [](int frame) { return static_cast<std::int16_t>(1000 * (frame + 1)); };
    MovieBytes m;
    m.frameCount = 12;
    m.tag(TagCode::SoundStreamHead2, head);
    for (int f = 0; f < 12; ++f)
        m.tag(TagCode::SoundStreamBlock, level(3675, blockLevel(f))).showFrame();
    // The output plays six frames of sound while the clock gives the timeline one.
    Player late(load(m));
    constexpr std::size_t kBlockFrames = 3675;
    std::vector<std::int16_t> out(kBlockFrames * 6 * 2); // six frames, stereo
    late.sound().render(out);
    EXPECT_EQ(late.advance(std::chrono::nanoseconds(1'000'000'000 / 12)), 5);
    EXPECT_EQ(late.root().currentFrame(), 5);
    late.sound().render(std::span(out).first(2));
    EXPECT_EQ(out[0], blockLevel(6)) << "the sound plays on from where it was";

    // Frame 1 jumps to frame 3 and plays on (GotoFrame alone stops there, as in
    // Flash), which holds no block: the stream ends there.
    MovieBytes jumping;
    jumping.frameCount = 5;
    jumping.tag(TagCode::SoundStreamHead2, head);
    for (int f = 0; f < 5; ++f) {
        if (f != 3)
            jumping.tag(TagCode::SoundStreamBlock, level(3675, 8000));
        if (f == 1)
            jumping.tag(TagCode::DoAction, BitWriter().u8(0x81).u16(2).u16(3).u8(0x06).u8(0).take());
        jumping.showFrame();
    }
    Player jumped(load(jumping));
    EXPECT_EQ(audibleFrames(renderAudio(jumped, 3)), (std::vector<bool>{true, false, true}));
}

TEST(StreamSound, AHeadClaimingTheLargestBlocksStillPlaysItsBlocks)
{
    // 65535 samples a frame: more than a 32-bit product with the mixing rate holds.
    MovieBytes m;
    m.frameCount = 2;
    m.tag(TagCode::SoundStreamHead2, BitWriter().u8(0x0E).u8(kPcm16Mono44k).u16(0xFFFF).take());
    for (int f = 0; f < 2; ++f)
        m.tag(TagCode::SoundStreamBlock, level(3675, 8000)).showFrame();
    Player player(load(m));
    EXPECT_EQ(audibleFrames(renderAudio(player, 2)).front(), true);
}

TEST(StartSound2, PlaysTheSoundOfItsExportedNameUntilStopAllSounds)
{
    const auto text = [](const std::string &name) {
        std::vector<std::uint8_t> out(name.begin(), name.end());
        out.push_back(0);
        return out;
    };
    const auto startByName = [&](const std::string &name) {
        return BitWriter().bytes(text(name)).u8(0).take();
    };
    const auto head = BitWriter().u8(0x0E).u8(kPcm16Mono44k).u16(3675).take();
    MovieBytes m;
    m.frameCount = 4;
    m.tag(TagCode::DefineSound, defineSound(1, kPcm16Mono44k, kMixRate, level(kMixRate, 8000)));
    m.tag(TagCode::SymbolClass, BitWriter().u16(1).u16(1).bytes(text("Chime")).take());
    m.tag(TagCode::SoundStreamHead2, head);
    m.tag(TagCode::StartSound2, startByName("Missing"));
    m.showFrame();
    m.tag(TagCode::StartSound2, startByName("Chime")).showFrame();
    m.tag(TagCode::SoundStreamBlock, level(3675, 8000)).tag(TagCode::DoAction, {0x09, 0}).showFrame();
    m.tag(TagCode::SoundStreamBlock, level(3675, 8000)).showFrame();
    Player player(load(m));
    EXPECT_EQ(audibleFrames(renderAudio(player, 4)), (std::vector<bool>{false, true, false, true}))
        << "no sound of an unknown name; the chime until stopAllSounds(); the stream's next block";
}

} // namespace
} // namespace velmora::swf
