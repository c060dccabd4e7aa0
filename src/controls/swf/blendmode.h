// Which Qt composition mode draws an object's blend mode.
#pragma once

#include "controls/swf/swfcodes.h"

#include <QPainter>

namespace velmora::swf {

// Layer, and the modes Qt lacks (subtract, invert), composite normally.
QPainter::CompositionMode compositionMode(BlendMode mode);

} // namespace velmora::swf
