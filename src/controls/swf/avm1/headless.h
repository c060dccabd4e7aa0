// Runs a movie without a window, as a test harness does: a number of frames,
// scripted input between them, and the trace text the scripts print.
#pragma once

#include "controls/swf/inputevents.h"

#include <cstddef>
#include <memory>
#include <string>

namespace velmora::swf {
class Movie;
}

namespace velmora::swf::avm1 {

// The trace text a run keeps: a line that would pass this size is left out, and
// so is everything after it, with the marker line in their place.
constexpr std::size_t kMaxTraceBytes = std::size_t{16} << 20;
constexpr const char *kTraceCutMarker = "[trace output cut: more than 16 MiB]";

// Runs `frames` frames (fewer when the movie calls fscommand "quit"); batch k of
// the input applies after frame k. Returns the trace text, "\n" after each line.
std::string runHeadless(std::shared_ptr<const Movie> movie, int frames, const InputBatches &input);

} // namespace velmora::swf::avm1
