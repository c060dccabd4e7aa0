// Window coordinates are given in window twips: 1440 to the inch, 15 to a logical pixel
// at 96 dpi. Qt's logical pixels already carry the screen's device-pixel ratio. (A
// movie's twips are another unit, 20 to the movie's pixel: swf::kTwipsPerPixel.)
#pragma once

#include <QRect>
#include <QSize>

#include <cmath>

namespace velmora {

inline constexpr double kWindowTwipsPerPixel = 15.0;

// A control's place in window twips, from the top left of the client area.
struct WindowTwipsRect {
    int left;
    int top;
    int width;
    int height;
};

inline int twipsToPixels(double twips)
{
    return static_cast<int>(std::lround(twips / kWindowTwipsPerPixel));
}

inline QRect toPixels(const WindowTwipsRect &r)
{
    return QRect(twipsToPixels(r.left), twipsToPixels(r.top), twipsToPixels(r.width),
                 twipsToPixels(r.height));
}

inline QSize twipsSize(int width, int height)
{
    return QSize(twipsToPixels(width), twipsToPixels(height));
}

} // namespace velmora
