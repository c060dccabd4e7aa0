#include "controls/swf/filters.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace velmora::swf {

namespace {

// One pass of a box blur of the given width over a row or column of alpha values.
void boxBlur(std::vector<float> &values, int count, int stride, int offset, int width)
{
    if (width <= 1)
        return;
    const int before = width / 2, after = width - before - 1;
    std::vector<float> line(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        line[static_cast<std::size_t>(i)] = values[static_cast<std::size_t>(offset + i * stride)];
    double sum = 0;
    for (int i = -before; i <= after; ++i)
        sum += (i >= 0 && i < count) ? line[static_cast<std::size_t>(i)] : 0;
    for (int i = 0; i < count; ++i) {
        values[static_cast<std::size_t>(offset + i * stride)] = static_cast<float>(sum / width);
        const int out = i - before, in = i + after + 1;
        sum -= (out >= 0 && out < count) ? line[static_cast<std::size_t>(out)] : 0;
        sum += (in >= 0 && in < count) ? line[static_cast<std::size_t>(in)] : 0;
    }
}

} // namespace

// Applies a colour matrix to every pixel of a premultiplied image.
void applyColorMatrix(QImage &image, const Filter &filter)
{
    const auto &m = filter.m;
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = qUnpremultiply(line[x]);
            const double in[4] = {double(qRed(p)), double(qGreen(p)), double(qBlue(p)), double(qAlpha(p))};
            int out[4];
            for (int row = 0; row < 4; ++row) {
                const float *r = &m[static_cast<std::size_t>(row) * 5];
                const double v = r[0] * in[0] + r[1] * in[1] + r[2] * in[2] + r[3] * in[3] + r[4];
                out[row] = static_cast<int>(std::lround(std::clamp(v, 0.0, 255.0)));
            }
            line[x] = qPremultiply(qRgba(out[0], out[1], out[2], out[3]));
        }
    }
}

// A glow: the object's alpha blurred, strengthened and coloured, drawn outside
// the object (inside it for an inner glow), with or without the object itself.
void applyGlow(QImage &image, const Filter &glow, double pixelsPerStagePixel)
{
    const int w = image.width(), h = image.height();
    std::vector<float> alpha(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < w; ++x)
            alpha[static_cast<std::size_t>(y) * w + x] = qAlpha(line[x]) / 255.0f;
    }
    std::vector<float> blurred = alpha;
    if (glow.inner) {
        for (float &a : blurred)
            a = 1 - a;
    }
    const int bx = std::max(1, static_cast<int>(std::lround(glow.blurX * pixelsPerStagePixel)));
    const int by = std::max(1, static_cast<int>(std::lround(glow.blurY * pixelsPerStagePixel)));
    for (int pass = 0; pass < glow.passes; ++pass) {
        for (int y = 0; y < h; ++y)
            boxBlur(blurred, w, 1, y * w, bx);
        for (int x = 0; x < w; ++x)
            boxBlur(blurred, h, w, x, by);
    }
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * w + x;
            float g = std::min(1.0f, blurred[i] * static_cast<float>(glow.strength)) * glow.color.a / 255.0f;
            // Inside: only where the object is. Outside with knockout: only where it
            // is not; otherwise the object covers the glow by being drawn over it.
            if (glow.inner)
                g *= alpha[i];
            else if (glow.knockout)
                g *= 1 - alpha[i];
            const QRgb glowPixel =
                qRgba(static_cast<int>(glow.color.r * g), static_cast<int>(glow.color.g * g),
                      static_cast<int>(glow.color.b * g), static_cast<int>(255 * g));
            const QRgb src = glow.knockout ? 0 : line[x];
            // Premultiplied "glow under source" for an outer glow, "over" for an inner one.
            const QRgb top = glow.inner ? glowPixel : src, bottom = glow.inner ? src : glowPixel;
            const int ta = qAlpha(top);
            auto mix = [ta](int t, int b) { return std::min(255, t + b * (255 - ta) / 255); };
            line[x] = glow.inner && glow.knockout
                          ? glowPixel
                          : qRgba(mix(qRed(top), qRed(bottom)), mix(qGreen(top), qGreen(bottom)),
                                  mix(qBlue(top), qBlue(bottom)), mix(ta, qAlpha(bottom)));
        }
    }
}

void applyColorTransform(QImage &image, const ColorTransform &cx)
{
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = qUnpremultiply(line[x]);
            const Rgba c =
                cx.apply({static_cast<std::uint8_t>(qRed(p)), static_cast<std::uint8_t>(qGreen(p)),
                          static_cast<std::uint8_t>(qBlue(p)), static_cast<std::uint8_t>(qAlpha(p))});
            line[x] = qPremultiply(qRgba(c.r, c.g, c.b, c.a));
        }
    }
}

} // namespace velmora::swf
