// Reads the filter lists of placements and button records.
#pragma once

#include "controls/swf/bitreader.h"
#include "controls/swf/movie.h"

namespace velmora::swf {

// Every filter of a list, its values held to what the player can draw in bounded
// time: blurs and distances to 255 px, at most 15 passes and gradient stops, and
// convolution kernels of at most 15 × 15 (larger kernels are read past).
std::vector<Filter> readFilterList(BitReader &in);

} // namespace velmora::swf
