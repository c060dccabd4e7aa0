// Gradient fills computed per pixel: Qt's gradient brushes interpolate through a
// table of their own and sample in their own way, which is visibly off from what
// the movies were made with. This draws the colour ramp from a 256-step table.
#pragma once

#include "controls/swf/types.h"

#include <QImage>
#include <QTransform>

#include <array>

namespace velmora::swf {

// The 256-step colour ramp of a gradient (colour transform applied), premultiplied.
std::array<QRgb, 256> gradientRamp(const Gradient &gradient, const ColorTransform &cx);

// The gradient over deviceRect; gradientToDevice maps gradient space (-16384..16384)
// to device pixels. Type must be Linear, Radial or Focal.
QImage gradientImage(const FillStyle &style, const ColorTransform &cx, const QTransform &gradientToDevice,
                     const QRect &deviceRect);

} // namespace velmora::swf
