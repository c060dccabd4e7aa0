#include "controls/swf/boxblur.h"

#include <cmath>

namespace velmora::swf {

namespace {

// One pass along a line of `count` values `stride` apart, starting at `first`.
void blurLine(float *first, int count, int stride, double width, float outside, std::vector<float> &line)
{
    const double half = (width - 1) / 2;
    const auto whole = static_cast<std::size_t>(std::floor(half));
    const auto fraction = static_cast<float>(half - double(whole));
    const auto scale = static_cast<float>(1 / width);
    const auto n = static_cast<std::size_t>(count);
    // The line with `whole + 1` outside values either side, so the window never leaves it.
    const std::size_t pad = whole + 1;
    line.assign(n + 2 * pad, outside);
    for (std::size_t i = 0; i < n; ++i)
        line[i + pad] = first[static_cast<std::ptrdiff_t>(i) * stride];
    double sum = 0; // line[centre - whole .. centre + whole]
    for (std::size_t j = 1; j <= 2 * whole + 1; ++j)
        sum += line[j];
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t centre = i + pad;
        const float edges = line[centre - pad] + line[centre + pad];
        first[static_cast<std::ptrdiff_t>(i) * stride] = (static_cast<float>(sum) + fraction * edges) * scale;
        if (i + 1 < n)
            sum += line[centre + whole + 1] - line[centre - whole];
    }
}

} // namespace

void boxBlur(Plane &plane, double widthX, double widthY, int passes, float outside)
{
    std::vector<float> line;
    for (int pass = 0; pass < passes; ++pass) {
        if (widthX > 1) {
            for (int y = 0; y < plane.height; ++y)
                blurLine(&plane.at(0, y), plane.width, 1, widthX, outside, line);
        }
        if (widthY > 1) {
            for (int x = 0; x < plane.width; ++x)
                blurLine(&plane.at(x, 0), plane.height, plane.width, widthY, outside, line);
        }
    }
}

int blurReach(double width, int passes)
{
    return width > 1 ? passes * static_cast<int>(std::ceil((width - 1) / 2)) : 0;
}

} // namespace velmora::swf
