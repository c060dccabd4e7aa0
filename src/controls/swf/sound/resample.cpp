// Brings a decoded sound to the mixer's format, 44.1 kHz stereo, once, with
// libswresample at its default filter; a mono sound plays on both channels at full level.
#include "controls/swf/sound/decoder.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <cmath>
#include <memory>

namespace velmora::swf {

namespace {

struct SwrDeleter {
    void operator()(SwrContext *s) const { swr_free(&s); }
};

// The resampler takes whole hertz; 5512.5 Hz goes up by exactly 8 as 5512 to 44096.
std::pair<int, int> resamplerRates(double rate)
{
    const double whole = std::floor(rate);
    return {static_cast<int>(whole), static_cast<int>(std::lround(kMixRate * whole / rate))};
}

std::vector<std::int16_t> resample(const PcmBuffer &pcm, std::size_t frames)
{
    const auto [inRate, outRate] = resamplerRates(pcm.rate);
    AVChannelLayout layout;
    av_channel_layout_default(&layout, pcm.channels);
    SwrContext *raw = nullptr;
    if (swr_alloc_set_opts2(&raw, &layout, AV_SAMPLE_FMT_S16, outRate, &layout, AV_SAMPLE_FMT_S16, inRate, 0,
                            nullptr) < 0)
        return {};
    std::unique_ptr<SwrContext, SwrDeleter> swr(raw);
    if (swr_init(swr.get()) < 0)
        return {};
    const auto channels = static_cast<std::size_t>(pcm.channels);
    std::vector<std::int16_t> out((frames + 64) * channels);
    const auto *in = reinterpret_cast<const std::uint8_t *>(pcm.samples.data());
    auto *to = reinterpret_cast<std::uint8_t *>(out.data());
    const int made =
        swr_convert(swr.get(), &to, static_cast<int>(frames + 64), &in, static_cast<int>(pcm.frames()));
    if (made < 0)
        return {};
    std::size_t total = static_cast<std::size_t>(made);
    if (total < out.size() / channels) { // what the filter still holds
        auto *rest = reinterpret_cast<std::uint8_t *>(out.data() + total * channels);
        const int flushed =
            swr_convert(swr.get(), &rest, static_cast<int>(out.size() / channels - total), nullptr, 0);
        total += static_cast<std::size_t>(std::max(0, flushed));
    }
    out.resize(std::min(total, frames) * channels);
    out.resize(frames * channels); // a filter that gave less is padded with silence
    return out;
}

} // namespace

PcmBuffer toMixFormat(const PcmBuffer &pcm)
{
    PcmBuffer out;
    out.channels = 2;
    if (pcm.channels < 1 || pcm.channels > 2 || pcm.rate <= 0)
        return out;
    const auto frames =
        static_cast<std::size_t>(std::lround(static_cast<double>(pcm.frames()) * kMixRate / pcm.rate));
    if (frames > kMaxDecodedSamples || frames == 0)
        return out;
    const std::vector<std::int16_t> resampled = pcm.rate == kMixRate ? pcm.samples : resample(pcm, frames);
    if (pcm.channels == 2) {
        out.samples = resampled;
        return out;
    }
    out.samples.resize(resampled.size() * 2);
    for (std::size_t i = 0; i < resampled.size(); ++i)
        out.samples[2 * i] = out.samples[2 * i + 1] = resampled[i];
    return out;
}

} // namespace velmora::swf
