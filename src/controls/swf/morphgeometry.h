// The in-between shapes of a morph: its start and end records and styles
// interpolated for a ratio.
#pragma once

#include "controls/swf/movie.h"

namespace velmora::swf {

// The shape of a morph at ratio t in [0, 1] (0 = start shape).
ShapeGeometry morphGeometry(const MorphShape &morph, double t);

} // namespace velmora::swf
