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

} // namespace velmora::swf
