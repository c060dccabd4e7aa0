#include "controls/swf/sound/decoder.h"

#include "controls/swf/bitreader.h"
#include "controls/swf/movieerror.h"

namespace velmora::swf {

namespace {

// Bytes of a stream block's MP3 header: SampleCount and SeekSamples.
constexpr std::size_t kMp3BlockHeader = 4;

Result<PcmBuffer> decodeRun(const SoundFormat &format, std::span<const std::uint8_t> data)
{
    switch (format.codec) {
    case SoundCodec::PcmNativeEndian:
    case SoundCodec::PcmLittleEndian:
        return decodePcm(format, data);
    case SoundCodec::Adpcm:
        return decodeAdpcm(format, data);
    case SoundCodec::Mp3:
        return decodeMp3(data);
    case SoundCodec::Nellymoser16k:
    case SoundCodec::Nellymoser8k:
    case SoundCodec::Nellymoser:
        return decodeNellymoser(format, data);
    }
    return movieError(MovieError::UnknownSoundCodec);
}

} // namespace

PcmBuffer decodePcm(const SoundFormat &format, std::span<const std::uint8_t> data)
{
    PcmBuffer out;
    out.rate = format.rate();
    out.channels = format.channels;
    const std::size_t bytesPerFrame = (format.sixteenBit ? 2 : 1) * static_cast<std::size_t>(format.channels);
    const std::size_t samples =
        std::min(data.size() / bytesPerFrame * static_cast<std::size_t>(format.channels), kMaxDecodedSamples);
    out.samples.resize(samples);
    for (std::size_t i = 0; i < samples; ++i) {
        // The machines the format was made on were little-endian, so "native" is too;
        // 8-bit samples are unsigned around 128.
        out.samples[i] = format.sixteenBit ? static_cast<std::int16_t>(data[2 * i] | (data[2 * i + 1] << 8))
                                           : static_cast<std::int16_t>((data[i] - 128) * 256);
    }
    return out;
}

Result<PcmBuffer> decodeSound(const SoundDefinition &sound)
{
    return decodeRun(sound.format, sound.data);
}

Result<DecodedStream> decodeStream(const StreamSound &stream)
{
    DecodedStream out;
    const SoundFormat &format = stream.head.format;
    out.pcm.rate = format.rate();
    out.pcm.channels = format.channels;
    if (format.codec == SoundCodec::Mp3) {
        // The blocks' MP3 frames form one bit stream (a frame's bit reservoir may
        // reach into the block before). MP3 frames do not line up with movie frames,
        // so a block's place is its frame's: the head's samples per frame after the
        // first block; failing that, the samples the blocks before it say they hold.
        std::vector<std::uint8_t> frames;
        std::size_t position = 0;
        const std::size_t perFrame = stream.head.samplesPerBlock;
        for (const StreamBlock &block : stream.blocks) {
            const auto frame = static_cast<std::size_t>(block.frame - stream.blocks.front().frame);
            out.blockStart.push_back(perFrame ? frame * perFrame : position);
            if (block.data.size() < kMp3BlockHeader)
                continue;
            position += static_cast<std::size_t>(block.data[0] | (block.data[1] << 8));
            frames.insert(frames.end(), block.data.begin() + kMp3BlockHeader, block.data.end());
        }
        auto pcm = decodeMp3(frames);
        if (!pcm)
            return pcm.error();
        out.pcm = std::move(*pcm);
        out.skip = static_cast<std::size_t>(std::max<int>(0, stream.head.latencySeek));
        return out;
    }
    for (const StreamBlock &block : stream.blocks) {
        out.blockStart.push_back(out.pcm.frames());
        auto pcm = decodeRun(format, block.data);
        const std::size_t samples =
            pcm ? pcm->samples.size()
                : std::size_t{stream.head.samplesPerBlock} * static_cast<std::size_t>(format.channels);
        if (out.pcm.samples.size() + samples > kMaxDecodedSamples)
            break;
        if (pcm)
            out.pcm.samples.insert(out.pcm.samples.end(), pcm->samples.begin(), pcm->samples.end());
        else // a block that does not decode is silence: the later ones keep their place
            out.pcm.samples.resize(out.pcm.samples.size() + samples);
    }
    return out;
}

} // namespace velmora::swf
