// Filters drawn on an object's offscreen layer: a colour matrix and a glow (blurred,
// strengthened, coloured alpha), and a colour transform applied to a whole layer.
#pragma once

#include "controls/swf/movie.h"

#include <QImage>

namespace velmora::swf {

// Each works on an ARGB32 premultiplied image in place.
void applyColorMatrix(QImage &image, const Filter &filter);
// pixelsPerStagePixel: the device scale, as the blur sizes are given in stage pixels.
void applyGlow(QImage &image, const Filter &glow, double pixelsPerStagePixel);
void applyColorTransform(QImage &image, const ColorTransform &cx);

} // namespace velmora::swf
