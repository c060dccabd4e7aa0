// Window coordinates are given in twips: 1440 to the inch, 15 to a logical pixel at
// 96 dpi. Qt's logical pixels already carry the screen's device-pixel ratio.
#pragma once

#include <QRect>
#include <QSize>

#include <cmath>

namespace velmora {

inline constexpr double kTwipsPerPixel = 15.0;

inline int twipsToPixels(double twips)
{
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

inline QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
}

inline QSize twipsSize(int width, int height)
{
    return QSize(twipsToPixels(width), twipsToPixels(height));
}

} // namespace velmora
