#include "controls/swf/filters.h"

#include "controls/swf/boxblur.h"

#include <algorithm>
#include <cmath>

namespace velmora::swf {

namespace {

struct Unpremultiplied {
    float channel[4]; // r, g, b, a, 0..255
};

Unpremultiplied unpremultiplied(QRgb p)
{
    const QRgb u = qUnpremultiply(p);
    return {{float(qRed(u)), float(qGreen(u)), float(qBlue(u)), float(qAlpha(u))}};
}

QRgb premultiplied(const float (&channel)[4])
{
    int v[4];
    for (int i = 0; i < 4; ++i)
        v[i] = static_cast<int>(std::lround(std::clamp(channel[i], 0.0f, 255.0f)));
    return qPremultiply(qRgba(v[0], v[1], v[2], v[3]));
}

void applyColorMatrix(QImage &layer, const Filter &filter)
{
    const auto &m = filter.matrix;
    for (int y = 0; y < layer.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(layer.scanLine(y));
        for (int x = 0; x < layer.width(); ++x) {
            const Unpremultiplied in = unpremultiplied(line[x]);
            float out[4];
            for (std::size_t row = 0; row < 4; ++row) {
                const float *r = &m[row * 5];
                out[row] =
                    static_cast<float>(double(r[0]) * in.channel[0] + double(r[1]) * in.channel[1] +
                                       double(r[2]) * in.channel[2] + double(r[3]) * in.channel[3] + r[4]);
            }
            line[x] = premultiplied(out);
        }
    }
}

} // namespace

// Each pixel becomes the kernel's sum of its neighbours (unpremultiplied), divided and
// biased; beyond the layer the edge repeats (clamp) or the filter's colour stands.
void applyConvolution(QImage &layer, const Filter &f)
{
    const int w = layer.width(), h = layer.height();
    if (f.columns == 0 || f.rows == 0 || w == 0 || h == 0)
        return;
    std::vector<Unpremultiplied> source(std::size_t(w) * std::size_t(h));
    for (int y = 0; y < h; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(layer.constScanLine(y));
        for (int x = 0; x < w; ++x)
            source[std::size_t(y) * std::size_t(w) + std::size_t(x)] = unpremultiplied(line[x]);
    }
    const Unpremultiplied beyond = {{float(f.color.r), float(f.color.g), float(f.color.b), float(f.color.a)}};
    const float divisor = f.divisor != 0 ? f.divisor : 1;
    const int left = f.columns / 2, top = f.rows / 2;
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(layer.scanLine(y));
        for (int x = 0; x < w; ++x) {
            float sum[4] = {0, 0, 0, 0};
            for (int ky = 0; ky < f.rows; ++ky) {
                for (int kx = 0; kx < f.columns; ++kx) {
                    int sx = x + kx - left, sy = y + ky - top;
                    const bool inside = sx >= 0 && sy >= 0 && sx < w && sy < h;
                    if (!inside && f.clamp) {
                        sx = std::clamp(sx, 0, w - 1);
                        sy = std::clamp(sy, 0, h - 1);
                    }
                    const Unpremultiplied &p =
                        inside || f.clamp ? source[std::size_t(sy) * std::size_t(w) + std::size_t(sx)]
                                          : beyond;
                    const float k = f.kernel[std::size_t(ky) * std::size_t(f.columns) + std::size_t(kx)];
                    for (int c = 0; c < 4; ++c)
                        sum[c] += k * p.channel[c];
                }
            }
            for (float &s : sum)
                s = s / divisor + f.bias;
            if (f.preserveAlpha)
                sum[3] = source[std::size_t(y) * std::size_t(w) + std::size_t(x)].channel[3];
            line[x] = premultiplied(sum);
        }
    }
}

QMargins filterReach(const std::vector<Filter> &filters, FilterScale scale)
{
    QMargins reach;
    for (const Filter &f : filters) {
        if (f.kind == FilterId::ColorMatrix || f.kind == FilterId::Convolution || (f.inner && !f.onTop))
            continue;
        const int x = blurReach(scale.pixels(f.blurX), f.passes);
        const int y = blurReach(scale.pixels(f.blurY), f.passes);
        const double d = scale.pixels(f.distance);
        const int dx = static_cast<int>(std::ceil(std::abs(std::cos(f.angle) * d)));
        const int dy = static_cast<int>(std::ceil(std::abs(std::sin(f.angle) * d)));
        // A shadow moves one way; a bevel reaches both ways.
        reach += QMargins(x + dx, y + dy, x + dx, y + dy);
    }
    return reach;
}

double filterWorkPerPixel(const std::vector<Filter> &filters)
{
    double steps = 0;
    for (const Filter &f : filters) {
        const double blurred = 1 + 2.0 * f.passes; // into the plane, then each pass both ways
        switch (f.kind) {
        case FilterId::ColorMatrix:
            steps += 1;
            break;
        case FilterId::Convolution:
            steps += 1 + 4.0 * f.columns * f.rows;
            break;
        case FilterId::Blur:
            steps += 4 * blurred; // every channel
            break;
        case FilterId::DropShadow:
        case FilterId::Glow:
        case FilterId::GradientGlow:
        case FilterId::Bevel:
        case FilterId::GradientBevel:
            steps += blurred + 1; // the alpha, then the colouring
            break;
        }
    }
    return steps;
}

void applyFilters(QImage &layer, const std::vector<Filter> &filters, FilterScale scale)
{
    for (const Filter &f : filters) {
        switch (f.kind) {
        case FilterId::ColorMatrix:
            applyColorMatrix(layer, f);
            break;
        case FilterId::Blur:
            applyBlur(layer, f, scale);
            break;
        case FilterId::DropShadow:
        case FilterId::Glow:
        case FilterId::GradientGlow:
            applyShadow(layer, f, scale);
            break;
        case FilterId::Bevel:
        case FilterId::GradientBevel:
            applyBevel(layer, f, scale);
            break;
        case FilterId::Convolution:
            applyConvolution(layer, f);
            break;
        }
    }
}

void applyColorTransform(QImage &layer, const ColorTransform &cx)
{
    for (int y = 0; y < layer.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(layer.scanLine(y));
        for (int x = 0; x < layer.width(); ++x) {
            const QRgb p = qUnpremultiply(line[x]);
            const Rgba c =
                cx.apply({static_cast<std::uint8_t>(qRed(p)), static_cast<std::uint8_t>(qGreen(p)),
                          static_cast<std::uint8_t>(qBlue(p)), static_cast<std::uint8_t>(qAlpha(p))});
            line[x] = qPremultiply(qRgba(c.r, c.g, c.b, c.a));
        }
    }
}

} // namespace velmora::swf
