// Runs a movie without a window, as a test harness does: a number of frames,
// scripted input between them, and the trace text the scripts print.
#pragma once

#include "common/result.h"

#include <memory>
#include <string>
#include <vector>

namespace velmora::swf {
class Movie;
}

namespace velmora::swf::avm1 {

// One input event of an events file; `Wait` ends a batch (applied after a frame).
struct InputEvent {
    enum class Kind { MouseMove, MouseDown, MouseUp, KeyDown, KeyUp, Wait };
    Kind kind = Kind::Wait;
    double x = 0, y = 0; // stage pixels
    int keyCode = 0;     // Flash key code
    int character = 0;   // the character a key types, 0 for none
};

// Reads the JSON array of an events file ({"type":"MouseMove","pos":[x,y]}, ...).
Result<std::vector<InputEvent>> parseInputEvents(const std::string &json);

// Runs `frames` frames (fewer when the movie calls fscommand "quit"); batch k of
// the events applies after frame k. Returns the trace text, "\n" after each line.
std::string runHeadless(std::shared_ptr<const Movie> movie, int frames,
                        const std::vector<InputEvent> &events);

} // namespace velmora::swf::avm1
