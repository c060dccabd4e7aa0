// Nellymoser through libavcodec: 64-byte blocks of 256 mono samples each, decoded in
// order (each block overlaps the one before). The decoder yields floats; they are
// rounded to 16 bits as the reference conversion does.
#include "controls/swf/movieerror.h"
#include "controls/swf/sound/decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <cmath>
#include <memory>

namespace velmora::swf {

namespace {

constexpr std::size_t kBlockBytes = 64;
// Blocks handed to the decoder per packet.
constexpr std::size_t kBlocksPerPacket = 16;

struct ContextDeleter {
    void operator()(AVCodecContext *c) const { avcodec_free_context(&c); }
};
struct PacketDeleter {
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};
struct FrameDeleter {
    void operator()(AVFrame *f) const { av_frame_free(&f); }
};

std::int16_t toSample(float value)
{
    return static_cast<std::int16_t>(std::clamp(std::lrint(value * 32768.0f), -32768L, 32767L));
}

// Appends what the decoder has ready; false when the buffer is full.
bool drain(AVCodecContext *context, AVFrame *frame, PcmBuffer &out)
{
    while (avcodec_receive_frame(context, frame) == 0) {
        const auto count = static_cast<std::size_t>(frame->nb_samples);
        if (frame->format != AV_SAMPLE_FMT_FLT || out.samples.size() + count > kMaxDecodedSamples)
            return false;
        const auto *samples = reinterpret_cast<const float *>(frame->data[0]);
        for (std::size_t i = 0; i < count; ++i)
            out.samples.push_back(toSample(samples[i]));
    }
    return true;
}

} // namespace

Result<PcmBuffer> decodeNellymoser(const SoundFormat &format, std::span<const std::uint8_t> data)
{
    static const bool quiet = (av_log_set_level(AV_LOG_QUIET), true);
    (void)quiet;
    const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_NELLYMOSER);
    std::unique_ptr<AVCodecContext, ContextDeleter> context(codec ? avcodec_alloc_context3(codec) : nullptr);
    std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameDeleter> frame(av_frame_alloc());
    if (!context || !packet || !frame)
        return movieError(MovieError::NellymoserMissing);
    PcmBuffer out;
    out.rate = format.rate();
    out.channels = 1;
    context->sample_rate = static_cast<int>(out.rate);
    av_channel_layout_default(&context->ch_layout, 1);
    if (avcodec_open2(context.get(), codec, nullptr) < 0)
        return movieError(MovieError::NellymoserCannotStart);
    const std::size_t usable = data.size() / kBlockBytes * kBlockBytes;
    for (std::size_t at = 0; at < usable; at += kBlockBytes * kBlocksPerPacket) {
        const std::size_t size = std::min(usable - at, kBlockBytes * kBlocksPerPacket);
        if (av_new_packet(packet.get(), static_cast<int>(size)) < 0)
            break;
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(at), size, packet->data);
        const int sent = avcodec_send_packet(context.get(), packet.get());
        av_packet_unref(packet.get());
        if (sent < 0 || !drain(context.get(), frame.get(), out))
            break;
    }
    avcodec_send_packet(context.get(), nullptr);
    drain(context.get(), frame.get(), out);
    return out;
}

} // namespace velmora::swf
