// The model's matrices and colours as Qt takes them.
#pragma once

#include "controls/swf/types.h"

#include <QColor>
#include <QPainterPath>
#include <QTransform>

#include <cmath>

namespace velmora::swf {

inline QTransform toQt(const Matrix &m)
{
    return QTransform(m.a, m.b, m.c, m.d, m.tx, m.ty);
}

inline QColor toQColor(Rgba c)
{
    return QColor(c.r, c.g, c.b, c.a);
}

// Without anti-aliasing outlines are placed on the device's twip grid, as the movies'
// own player does, and a pixel whose centre lies exactly on an edge goes to the
// shape on its right (or below); Qt gives it to the other side, so a nudge far below
// a twip moves such edges off the centres.
inline QPainterPath snapToDeviceTwips(QPainterPath path)
{
    constexpr double kEdgeNudge = -0.01;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        path.setElementPositionAt(i, std::round(e.x * kTwipsPerPixel) / kTwipsPerPixel + kEdgeNudge,
                                  std::round(e.y * kTwipsPerPixel) / kTwipsPerPixel + kEdgeNudge);
    }
    return path;
}

} // namespace velmora::swf
