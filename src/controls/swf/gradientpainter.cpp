#include "controls/swf/gradientpainter.h"

#include <cmath>

namespace velmora::swf {

namespace {

double srgbToLinear(double c)
{
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}
double linearToSrgb(double c)
{
    return c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
}

} // namespace

std::array<QRgb, kRampSteps> gradientRamp(const Gradient &g, const ColorTransform &cx, bool smooth)
{
    std::array<QRgb, kRampSteps> ramp{};
    if (g.stops.empty()) {
        ramp.fill(qRgb(0, 0, 0)); // a gradient without records is drawn black
        return ramp;
    }
    std::vector<GradientStop> stops = g.stops;
    for (GradientStop &s : stops)
        s.color = cx.apply(s.color);
    auto channel = [&g](int a, int b, double t) {
        if (!g.linearRgb)
            return a + (b - a) * t;
        return linearToSrgb(srgbToLinear(a / 255.0) * (1 - t) + srgbToLinear(b / 255.0) * t) * 255;
    };
    for (int step = 0; step < kRampSteps; ++step) {
        // Smoothed, colours are interpolated at the position on the 0..255 scale and
        // which two stops apply is decided on the whole ratio the position falls in,
        // as an 8-bit lookup would. Unsmoothed, the gradient's 256ths stand for ratios
        // 0..255 at their middles, as texels of a row of 256 would, and the position
        // between two middles decides both.
        const double i = smooth ? step * 255.0 / (kRampSteps - 1)
                                : std::clamp((step + 0.5) * 256.0 / kRampSteps - 0.5, 0.0, 255.0);
        const double sel = smooth ? std::floor(step * 256.0 / kRampSteps) : i;
        // The first stop after the first whose ratio reaches i closes the segment;
        // so of stops sharing a ratio the later one starts a segment and the earlier
        // one ends it, and ratios that fall back are passed over.
        std::size_t k = 1;
        while (k < stops.size() && stops[k].ratio < sel)
            ++k;
        Rgba c;
        if (sel <= stops.front().ratio || stops.size() == 1) {
            c = stops.front().color;
        } else if (k >= stops.size()) {
            c = stops.back().color;
        } else if (stops[k].ratio <= stops[k - 1].ratio) {
            c = stops[k].color;
        } else {
            const GradientStop &a = stops[k - 1], &b = stops[k];
            const double t = (i - a.ratio) / (b.ratio - a.ratio);
            auto ch = [](double v) {
                return static_cast<std::uint8_t>(
                    std::clamp(static_cast<long>(std::floor(v)), 0l, 255l)); // truncated, as Flash does
            };
            c = {ch(channel(a.color.r, b.color.r, t)), ch(channel(a.color.g, b.color.g, t)),
                 ch(channel(a.color.b, b.color.b, t)), ch(a.color.a + (b.color.a - a.color.a) * t)};
        }
        ramp[static_cast<std::size_t>(step)] = qPremultiply(qRgba(c.r, c.g, c.b, c.a));
    }
    return ramp;
}

QImage gradientImage(const FillStyle &style, const ColorTransform &cx, const QTransform &gradientToDevice,
                     const QRect &deviceRect, bool smooth)
{
    QImage image(deviceRect.size(), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull() || !gradientToDevice.isInvertible())
        return {};
    const auto ramp = gradientRamp(style.gradient, cx, smooth);
    const QTransform toGradient = gradientToDevice.inverted();
    const Spread spread = style.gradient.spread;
    const double focal = style.type == FillStyle::Type::Focal ? style.gradient.focal * 16384 : 0;
    const double sample = 0.5; // pixel centres
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        const double dy = deviceRect.y() + y + sample;
        for (int x = 0; x < image.width(); ++x) {
            const QPointF p = toGradient.map(QPointF(deviceRect.x() + x + sample, dy));
            double t;
            if (style.type == FillStyle::Type::Linear) {
                t = (p.x() + 16384) / 32768;
            } else if (focal == 0) {
                t = std::hypot(p.x(), p.y()) / 16384;
            } else {
                // Where the ray from the focal point through p meets the circle.
                const double dx = p.x() - focal, dyy = p.y();
                const double dd = dx * dx + dyy * dyy;
                if (dd == 0) {
                    t = 0;
                } else {
                    const double fd = focal * dx;
                    const double s = (-fd + std::sqrt(fd * fd - dd * (focal * focal - 16384.0 * 16384))) / dd;
                    t = s > 0 ? 1 / s : 1;
                }
            }
            if (spread == Spread::Repeat) {
                t -= std::floor(t);
            } else if (spread == Spread::Reflect) {
                t = std::fmod(std::abs(t), 2.0);
                if (t > 1)
                    t = 2 - t;
            }
            t = std::isfinite(t) ? std::clamp(t, 0.0, 1.0) : 1.0; // a degenerate matrix gives no number
            const int index = std::min(kRampSteps - 1, static_cast<int>(t * kRampSteps));
            line[x] = ramp[static_cast<std::size_t>(index)];
        }
    }
    return image;
}

} // namespace velmora::swf
