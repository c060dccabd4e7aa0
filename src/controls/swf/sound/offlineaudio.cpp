#include "controls/swf/sound/offlineaudio.h"

#include "controls/swf/player.h"
#include "controls/swf/sound/moviesound.h"

#include <cmath>

namespace velmora::swf {

namespace {

constexpr std::size_t kMaxRenderedFrames = std::size_t{3600} * kMixRate;
// A movie without a usable frame rate is rendered at the rate players fall back to.
constexpr double kFallbackFrameRate = 12;

} // namespace

PcmBuffer renderAudio(Player &player, int frames, const InputBatches &input)
{
    const double rate = player.frameRate() > 0 ? player.frameRate() : kFallbackFrameRate;
    PcmBuffer out;
    out.channels = 2;
    for (int frame = 1; frame <= frames; ++frame) {
        const auto end = static_cast<std::size_t>(std::floor(frame * kMixRate / rate));
        if (end > kMaxRenderedFrames)
            break;
        const std::size_t offset = out.samples.size();
        out.samples.resize(end * 2);
        player.sound().render(std::span(out.samples).subspan(offset));
        if (static_cast<std::size_t>(frame) <= input.size())
            applyInput(player, input[static_cast<std::size_t>(frame - 1)]);
        if (frame < frames)
            player.stepFrame();
    }
    return out;
}

} // namespace velmora::swf
