// Gradient fills computed per pixel: Qt's gradient brushes interpolate through a
// table of their own and sample in their own way, which is visibly off from what
// the movies were made with. This draws the colour ramp from a table of its own.
#pragma once

#include "controls/swf/types.h"

#include <QImage>
#include <QTransform>

#include <array>

namespace velmora::swf {

// Steps of the colour ramp: finer than the 256 ratio values, so that a gradient
// stretched over many pixels still changes colour smoothly from pixel to pixel.
constexpr int kRampSteps = 1024;

// The colour ramp of a gradient (colour transform applied), premultiplied, as drawn
// with smoothing (high quality) or without.
std::array<QRgb, kRampSteps> gradientRamp(const Gradient &gradient, const ColorTransform &cx,
                                          bool smooth = true);

// The gradient over deviceRect; gradientToDevice maps gradient space (-16384..16384)
// to device pixels. Type must be Linear, Radial or Focal.
QImage gradientImage(const FillStyle &style, const ColorTransform &cx, const QTransform &gradientToDevice,
                     const QRect &deviceRect, bool smooth = true);

} // namespace velmora::swf
