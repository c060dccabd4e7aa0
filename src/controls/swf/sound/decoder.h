// Turns a sound's bytes into 16-bit samples at the sound's own rate and channel count:
// the whole decode (for MP3 every audio frame, SeekSamples not yet skipped). A sound no
// decoder takes gives an error; one that breaks off gives what was decoded before.
#pragma once

#include "common/result.h"
#include "controls/swf/sound/sound.h"

#include <span>

namespace velmora::swf {

// Past this many samples (all channels) a decode stops: about three minutes of
// 44.1 kHz stereo, so that a hostile sample total costs at most 32 MiB.
constexpr std::size_t kMaxDecodedSamples = std::size_t{1} << 24;

Result<PcmBuffer> decodeSound(const SoundDefinition &sound);

// A stream decoded whole, with the first native frame of each block's samples.
struct DecodedStream {
    PcmBuffer pcm;
    std::vector<std::size_t> blockStart; // one per block of the stream
    std::size_t skip = 0;                // frames at the start that are not played (MP3 latency)
};
Result<DecodedStream> decodeStream(const StreamSound &stream);

// The same samples at 44.1 kHz stereo, as the mixer plays them: empty when there are
// none or more than the bound allows.
PcmBuffer toMixFormat(const PcmBuffer &pcm);

// The codecs, for one run of bytes each.
PcmBuffer decodePcm(const SoundFormat &format, std::span<const std::uint8_t> data);
PcmBuffer decodeAdpcm(const SoundFormat &format, std::span<const std::uint8_t> data);
Result<PcmBuffer> decodeMp3(std::span<const std::uint8_t> data);
Result<PcmBuffer> decodeNellymoser(const SoundFormat &format, std::span<const std::uint8_t> data);

} // namespace velmora::swf
