// Renders what a movie plays over a number of frames, offline and the same every run:
// frame k sounds from sample floor((k - 1) * 44100 / rate), and the mouse events of
// batch k are applied after frame k (the test corpus's events files).
#pragma once

#include "controls/swf/inputevents.h"
#include "controls/swf/sound/sound.h"

namespace velmora::swf {

// 44.1 kHz stereo; at most an hour.
PcmBuffer renderAudio(Player &player, int frames, const InputBatches &input = {});

} // namespace velmora::swf
