// A cheap fingerprint of what a player shows: built from the display list as it stands
// (whatever changed it: the timeline, the mouse or a script), so that a host can skip
// painting a frame that looks like the one on screen.
#pragma once

#include <cstdint>

namespace velmora::swf {

class Player;

// Equal signatures mean the same picture for the same target rectangle: every object's
// character, depth, matrix, colour transform, ratio, clipping, visibility, blend mode,
// filters, opaque background and button state, nested lists included, and the background
// colour. Whatever else the renderer comes to draw from an object must be added here.
std::uint64_t frameSignature(const Player &player);

} // namespace velmora::swf
