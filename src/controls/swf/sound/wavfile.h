// 16-bit PCM WAV files, for the tools and tests that write and compare sounds.
#pragma once

#include "controls/swf/sound/sound.h"

#include <optional>
#include <span>

namespace velmora::swf {

// The whole file; the rate is rounded down to whole hertz (5512.5 Hz is written 5512).
std::vector<std::uint8_t> encodeWav(const PcmBuffer &pcm);
// Reads a 16-bit PCM WAV; nullopt for anything else.
std::optional<PcmBuffer> decodeWav(std::span<const std::uint8_t> file);

} // namespace velmora::swf
