// Runs a movie without a window, as a test harness does: a number of frames,
// scripted input between them, and the trace text the scripts print.
#pragma once

#include "controls/swf/inputevents.h"

#include <memory>
#include <string>

namespace velmora::swf {
class Movie;
}

namespace velmora::swf::avm1 {

// Runs `frames` frames (fewer when the movie calls fscommand "quit"); batch k of
// the input applies after frame k. Returns the trace text, "\n" after each line.
std::string runHeadless(std::shared_ptr<const Movie> movie, int frames, const InputBatches &input);

} // namespace velmora::swf::avm1
