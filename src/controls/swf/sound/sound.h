// The sounds of a movie as the file stores them: definitions, the sound info that
// starts one, a button's four transition sounds and a timeline's stream. Decoded
// samples (PcmBuffer) are the decoders' output at the sound's own rate.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velmora::swf {

// The codec numbers of DefineSound and SoundStreamHead.
enum class SoundCodec : std::uint8_t {
    PcmNativeEndian = 0,
    Adpcm = 1,
    Mp3 = 2,
    PcmLittleEndian = 3,
    Nellymoser16k = 4,
    Nellymoser8k = 5,
    Nellymoser = 6,
};

// The output rate of the mixer and the unit of SOUNDINFO positions.
constexpr int kMixRate = 44100;

struct SoundFormat {
    SoundCodec codec = SoundCodec::PcmLittleEndian;
    int rateCode = 3; // 0..3: 5512.5, 11025, 22050, 44100 Hz
    bool sixteenBit = true;
    int channels = 1;

    // The rate the samples play at: the rate code, except where the codec fixes it.
    double rate() const;
    bool operator==(const SoundFormat &) const = default;
};

struct SoundDefinition {
    SoundFormat format;
    std::uint32_t sampleCount = 0;  // per channel, as the tag says
    std::uint16_t seekSamples = 0;  // MP3: decoded samples that precede the sound
    std::vector<std::uint8_t> data; // the codec's bytes (MP3: after SeekSamples)
};

struct EnvelopePoint {
    std::uint32_t position = 0;        // 44.1 kHz samples from the start of playing
    std::uint16_t left = 0, right = 0; // 0..32768
    bool operator==(const EnvelopePoint &) const = default;
};

struct SoundInfo {
    bool syncStop = false;
    bool syncNoMultiple = false;
    std::optional<std::uint32_t> inPoint, outPoint; // 44.1 kHz samples
    int loops = 1;                                  // plays in all
    std::vector<EnvelopePoint> envelope;
    bool operator==(const SoundInfo &) const = default;
};

// StartSound names its sound by id; StartSound2 by the class name an export gives it,
// looked up when it plays (the export may come later in the file).
struct StartSound {
    std::uint16_t soundId = 0;
    SoundInfo info;
    std::string className; // StartSound2 only
};

// DefineButtonSound's entries in the order the tag stores them.
enum class ButtonTransition { RollOut = 0, RollOver = 1, Press = 2, Release = 3 };
using ButtonSounds = std::array<std::optional<StartSound>, 4>;

struct StreamHead {
    SoundFormat format;
    std::uint16_t samplesPerBlock = 0; // per frame, as the head says
    std::int16_t latencySeek = 0;      // MP3: decoded samples not played
};

struct StreamBlock {
    int frame = 0; // 0-based frame of the timeline the block is in
    std::vector<std::uint8_t> data;
};

struct StreamSound {
    StreamHead head;
    std::vector<StreamBlock> blocks;
};

// Interleaved 16-bit samples.
struct PcmBuffer {
    double rate = kMixRate;
    int channels = 1;
    std::vector<std::int16_t> samples;

    std::size_t frames() const
    {
        return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0;
    }
};

} // namespace velmora::swf
