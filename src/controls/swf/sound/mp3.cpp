// MP3 through libmpg123, fed from memory. Every audio frame is kept: the caller skips
// SeekSamples or LatencySeek, and no gapless trimming is applied.
#include "controls/swf/movieerror.h"
#include "controls/swf/sound/decoder.h"

#include <mpg123.h>

#include <memory>

namespace velmora::swf {

namespace {

struct HandleDeleter {
    void operator()(mpg123_handle *h) const
    {
        mpg123_close(h);
        mpg123_delete(h);
    }
};
using Handle = std::unique_ptr<mpg123_handle, HandleDeleter>;

Handle openDecoder()
{
    static const bool initialised = mpg123_init() == MPG123_OK;
    if (!initialised)
        return nullptr;
    Handle h(mpg123_new(nullptr, nullptr));
    if (!h)
        return nullptr;
    mpg123_param(h.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_param(h.get(), MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0);
    // 16-bit samples at the stream's own rate and channel count, whatever they are.
    mpg123_format_none(h.get());
    const long *rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t i = 0; i < count; ++i)
        mpg123_format(h.get(), rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_open_feed(h.get()) != MPG123_OK)
        return nullptr;
    return h;
}

} // namespace

Result<PcmBuffer> decodeMp3(std::span<const std::uint8_t> data)
{
    Handle h = openDecoder();
    if (!h)
        return movieError(MovieError::Mp3DecoderCannotStart);
    if (mpg123_feed(h.get(), data.data(), data.size()) != MPG123_OK)
        return movieError(MovieError::Mp3DataUnreadable);
    PcmBuffer out;
    out.channels = 0;
    std::vector<std::int16_t> chunk(4096);
    for (;;) {
        std::size_t bytes = 0;
        const int status = mpg123_read(h.get(), chunk.data(), chunk.size() * sizeof(std::int16_t), &bytes);
        if (status == MPG123_NEW_FORMAT) {
            long rate = 0;
            int channels = 0, encoding = 0;
            mpg123_getformat(h.get(), &rate, &channels, &encoding);
            if (out.channels != 0 && channels != out.channels)
                break; // a stream that changes its channel count midway ends there
            out.rate = static_cast<double>(rate);
            out.channels = channels;
            continue;
        }
        const std::size_t samples = bytes / sizeof(std::int16_t);
        if (out.samples.size() + samples > kMaxDecodedSamples)
            break;
        out.samples.insert(out.samples.end(), chunk.begin(),
                           chunk.begin() + static_cast<std::ptrdiff_t>(samples));
        if (status != MPG123_OK)
            break; // the end of the data, or data past which nothing decodes
    }
    if (out.channels == 0)
        return movieError(MovieError::NoMp3Frame);
    return out;
}

} // namespace velmora::swf
