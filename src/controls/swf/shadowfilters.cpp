// Blur, drop shadow, glow and bevel filters and their gradient forms: each blurs the
// object's alpha (all of its channels for a plain blur), strengthens it and colours
// the result, then sets it beside, behind, over or instead of the object.
#include "controls/swf/boxblur.h"
#include "controls/swf/filters.h"

#include <array>
#include <cmath>

namespace velmora::swf {

namespace {

// A premultiplied colour with channels 0..255.
struct Colour {
    float r = 0, g = 0, b = 0, a = 0;

    Colour operator*(float k) const { return {r * k, g * k, b * k, a * k}; }
    Colour operator+(const Colour &o) const { return {r + o.r, g + o.g, b + o.b, a + o.a}; }
    static Colour of(QRgb p) { return {float(qRed(p)), float(qGreen(p)), float(qBlue(p)), float(qAlpha(p))}; }
    static Colour of(Rgba c, float alpha = 1)
    {
        const float k = c.a / 255.0f * alpha;
        return {c.r * k, c.g * k, c.b * k, 255 * k};
    }
    QRgb toQRgb() const
    {
        auto ch = [](float v) { return static_cast<int>(std::lrint(std::clamp(v, 0.0f, 255.0f))); };
        const int alpha = ch(a);
        return qRgba(std::min(ch(r), alpha), std::min(ch(g), alpha), std::min(ch(b), alpha), alpha);
    }
};

using GradientTable = std::array<Colour, 256>;

// The filter's gradient at each ratio, interpolated between its stops.
GradientTable gradientTable(const std::vector<GradientStop> &stops)
{
    GradientTable table{};
    if (stops.empty())
        return table;
    std::size_t next = 0;
    for (int ratio = 0; ratio < 256; ++ratio) {
        while (next < stops.size() && stops[next].ratio < ratio)
            ++next;
        const GradientStop &after = stops[std::min(next, stops.size() - 1)];
        const GradientStop &before = stops[next == 0 ? 0 : next - 1];
        const int span = after.ratio - before.ratio;
        const float t = span > 0 ? std::clamp(float(ratio - before.ratio) / float(span), 0.0f, 1.0f) : 1.0f;
        auto mix = [t](int from, int to) {
            return static_cast<std::uint8_t>(std::lround(from + (to - from) * t));
        };
        table[std::size_t(ratio)] =
            Colour::of({mix(before.color.r, after.color.r), mix(before.color.g, after.color.g),
                        mix(before.color.b, after.color.b), mix(before.color.a, after.color.a)});
    }
    return table;
}

Colour lookUp(const GradientTable &table, float position)
{
    return table[std::size_t(std::lround(std::clamp(position, 0.0f, 1.0f) * 255))];
}

Plane alphaPlane(const QImage &layer)
{
    Plane plane(layer.width(), layer.height());
    for (int y = 0; y < layer.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(layer.constScanLine(y));
        for (int x = 0; x < layer.width(); ++x)
            plane.at(x, y) = qAlpha(line[x]) / 255.0f;
    }
    return plane;
}

// The filter's offset in whole device pixels, along its angle.
QPoint offset(const Filter &f, FilterScale scale)
{
    const double d = scale.pixels(f.distance);
    return {static_cast<int>(std::lround(std::cos(f.angle) * d)),
            static_cast<int>(std::lround(std::sin(f.angle) * d))};
}

// Sets a coloured effect with the object: `inside` effects lie on the object (atop
// it), the others behind it; knockout keeps only the effect where the object is not
// (inside: where it is), and a hidden object leaves the effect alone.
QRgb compose(Colour source, Colour effect, bool inside, const Filter &f)
{
    const float objectAlpha = source.a / 255.0f;
    if (inside) {
        const Colour clipped = effect * objectAlpha;
        if (f.knockout || f.hideObject)
            return clipped.toQRgb();
        return (clipped + source * (1 - effect.a / 255.0f)).toQRgb();
    }
    if (f.knockout)
        return (effect * (1 - objectAlpha)).toQRgb();
    if (f.hideObject)
        return effect.toQRgb();
    return (source + effect * (1 - objectAlpha)).toQRgb();
}

// What a drop shadow, glow or bevel colours its blurred alpha with (the gradient of
// its gradient form), how far it moves it and how much it strengthens it.
struct EffectPaint {
    EffectPaint(const Filter &f, FilterScale scale, FilterId gradientForm)
        : gradient(f.kind == gradientForm), table(gradient ? gradientTable(f.gradient) : GradientTable{}),
          shift(offset(f, scale)), strength(static_cast<float>(f.strength))
    {
    }
    bool gradient;
    GradientTable table;
    QPoint shift;
    float strength;
};

// Calls perPixel(x, y, pixel) for every pixel of the layer, the pixel to be changed.
template <typename PerPixel> void forEachPixel(QImage &layer, PerPixel perPixel)
{
    for (int y = 0; y < layer.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(layer.scanLine(y));
        for (int x = 0; x < layer.width(); ++x)
            perPixel(x, y, line[x]);
    }
}

} // namespace

void applyBlur(QImage &layer, const Filter &blur, FilterScale scale)
{
    const int w = layer.width(), h = layer.height();
    std::array<Plane, 4> channels{Plane(w, h), Plane(w, h), Plane(w, h), Plane(w, h)};
    for (int y = 0; y < h; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(layer.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            channels[0].at(x, y) = float(qRed(line[x]));
            channels[1].at(x, y) = float(qGreen(line[x]));
            channels[2].at(x, y) = float(qBlue(line[x]));
            channels[3].at(x, y) = float(qAlpha(line[x]));
        }
    }
    for (Plane &channel : channels)
        boxBlur(channel, scale.pixels(blur.blurX), scale.pixels(blur.blurY), blur.passes);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(layer.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] =
                Colour{channels[0].at(x, y), channels[1].at(x, y), channels[2].at(x, y), channels[3].at(x, y)}
                    .toQRgb();
    }
}

// Drop shadows, glows and gradient glows: the object's alpha (its inverse for an
// inner effect) blurred, moved by the offset, strengthened and coloured.
void applyShadow(QImage &layer, const Filter &f, FilterScale scale)
{
    Plane spread = alphaPlane(layer);
    const float outside = f.inner ? 1.0f : 0.0f;
    if (f.inner) {
        for (float &a : spread.values)
            a = 1 - a;
    }
    boxBlur(spread, scale.pixels(f.blurX), scale.pixels(f.blurY), f.passes, outside);
    const EffectPaint paint(f, scale, FilterId::GradientGlow);
    forEachPixel(layer, [&](int x, int y, QRgb &pixel) {
        const float s =
            std::min(1.0f, spread.sample(x - paint.shift.x(), y - paint.shift.y(), outside) * paint.strength);
        const Colour effect = paint.gradient ? lookUp(paint.table, s) : Colour::of(f.color, s);
        pixel = compose(Colour::of(pixel), effect, f.inner, f);
    });
}

// Bevels: the blurred alpha seen from either side of the offset; where the side away
// from the light holds more of the object there is shadow, where the side towards
// it does there is highlight. Inner bevels lie on the object, outer ones around it,
// full ones (on top) both.
void applyBevel(QImage &layer, const Filter &f, FilterScale scale)
{
    Plane spread = alphaPlane(layer);
    boxBlur(spread, scale.pixels(f.blurX), scale.pixels(f.blurY), f.passes);
    const EffectPaint paint(f, scale, FilterId::GradientBevel);
    const QPoint shift = paint.shift;
    forEachPixel(layer, [&](int x, int y, QRgb &pixel) {
        const float towards = spread.sample(x - shift.x(), y - shift.y(), 0);
        const float away = spread.sample(x + shift.x(), y + shift.y(), 0);
        const float v = std::clamp((towards - away) * paint.strength, -1.0f, 1.0f); // > 0: shadow
        Colour effect;
        if (paint.gradient)
            effect = lookUp(paint.table, (1 + v) / 2);
        else
            effect = v > 0 ? Colour::of(f.color, v) : Colour::of(f.highlight, -v);
        const Colour source = Colour::of(pixel);
        if (f.onTop && !f.knockout && !f.hideObject)
            pixel = (effect + source * (1 - effect.a / 255.0f)).toQRgb();
        else if (f.onTop)
            pixel = effect.toQRgb();
        else
            pixel = compose(source, effect, f.inner, f);
    });
}

} // namespace velmora::swf
