// Box blurs of a plane of values, the building block of every blurring filter.
#pragma once

#include <vector>

namespace velmora::swf {

// One channel of a layer, row by row, values 0..1.
struct Plane {
    int width = 0, height = 0;
    std::vector<float> values;

    Plane(int w, int h, float fill = 0) : width(w), height(h), values(std::size_t(w) * std::size_t(h), fill)
    {
    }
    float &at(int x, int y) { return values[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
    float at(int x, int y) const { return values[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
    // The value at (x, y), or `outside` beyond the plane.
    float sample(int x, int y, float outside) const
    {
        return x >= 0 && y >= 0 && x < width && y < height ? at(x, y) : outside;
    }
};

// `passes` box blurs, each `widthX` × `widthY` pixels wide (a width of 1 or less leaves
// that direction alone; a fractional width weighs the outermost pixels by the fraction).
// Beyond the plane the values are `outside`.
void boxBlur(Plane &plane, double widthX, double widthY, int passes, float outside = 0);

// How far `passes` blurs of that width spread a value, in whole pixels.
int blurReach(double width, int passes);

} // namespace velmora::swf
