// The area an aliased stroke covers, as the movies' own player builds it: each
// straight piece of the centre line a band as wide as the pen, a round cap a 32-sided
// polygon with its corners on the pen's circle, a round join the arc of that circle
// from one band's outer corner to the other's in equal angles (each chord within half
// the curve flatness of the circle), bevel and miter joins and square caps by their
// corners. Qt's stroker rounds with finer arcs, which moves
// pixels around every round corner of a wide stroke.
#pragma once

#include "controls/swf/types.h"

#include <QPainterPath>

namespace velmora::swf {

// The result is filled with the winding rule, every piece turning the same way, and
// holds only straight edges. Curves of `line` are cut into equal steps, as many as
// keep each chord within `flatness` of its curve (in the units of `line` and `width`).
QPainterPath penOutline(const QPainterPath &line, const LineStyle &style, double width, double flatness);

} // namespace velmora::swf
