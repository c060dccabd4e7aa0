#include "controls/swf/rendercache.h"

#include "controls/swf/gradientpainter.h"
#include "controls/swf/morphgeometry.h"

#include <functional>

namespace velmora::swf {

namespace {

// Cached entries of one kind beyond which the cache starts afresh.
constexpr std::size_t kMaxImages = 64;
constexpr std::size_t kMaxMorphs = 256;

QPainterPath toPath(const std::vector<Contour> &contours, bool closeWhenJoined)
{
    QPainterPath path;
    for (const Contour &c : contours) {
        path.moveTo(c.start.x, c.start.y);
        for (const Edge &e : c.edges) {
            if (e.curve)
                path.quadTo(e.control.x, e.control.y, e.to.x, e.to.y);
            else
                path.lineTo(e.to.x, e.to.y);
        }
        if (closeWhenJoined && c.end() == c.start && !c.edges.empty())
            path.closeSubpath();
    }
    return path;
}

void mix(std::size_t &seed, std::size_t value)
{
    seed ^= value + 0x9E3779B97F4A7C15ULL + (seed << 6) + (seed >> 2);
}

void mix(std::size_t &seed, const ColorTransform &cx)
{
    for (double v : {cx.rMul, cx.gMul, cx.bMul, cx.aMul, cx.rAdd, cx.gAdd, cx.bAdd, cx.aAdd})
        mix(seed, std::hash<double>{}(v));
}

} // namespace

std::size_t RenderCache::Hash::operator()(const MorphKey &k) const
{
    std::size_t seed = std::hash<const void *>{}(k.morph);
    mix(seed, k.ratio);
    return seed;
}

std::size_t RenderCache::Hash::operator()(const ImageKey &k) const
{
    std::size_t seed = std::hash<qint64>{}(k.source);
    mix(seed, k.cx);
    return seed;
}

std::size_t RenderCache::Hash::operator()(const GradientKey &k) const
{
    std::size_t seed = std::hash<const void *>{}(k.style);
    mix(seed, k.cx);
    for (double v : k.matrix)
        mix(seed, std::hash<double>{}(v));
    for (int v : k.area)
        mix(seed, std::hash<int>{}(v));
    return seed;
}

const ShapePaths &RenderCache::paths(const ShapeGeometry &geometry)
{
    auto it = m_paths.find(&geometry);
    if (it != m_paths.end())
        return it->second;
    ShapePaths p;
    p.outline.setFillRule(Qt::WindingFill);
    for (const auto &layer : geometry.layers) {
        ShapePaths::Layer out;
        for (const auto &fill : layer.fills) {
            QPainterPath path = toPath(fill.contours, true);
            path.setFillRule(geometry.windingFill ? Qt::WindingFill : Qt::OddEvenFill);
            p.outline.addPath(path);
            out.fills.push_back(std::move(path));
        }
        for (const auto &stroke : layer.strokes)
            out.strokes.push_back(toPath(stroke.contours, !stroke.style.noClose));
        p.layers.push_back(std::move(out));
    }
    return m_paths.emplace(&geometry, std::move(p)).first->second;
}

const ShapeGeometry &RenderCache::morph(const MorphShape &morph, std::uint16_t ratio)
{
    const MorphKey key{&morph, ratio};
    auto it = m_morphs.find(key);
    if (it == m_morphs.end()) {
        if (m_morphs.size() > kMaxMorphs) { // a morph animating through many ratios: start afresh
            for (auto &[k, g] : m_morphs)
                m_paths.erase(&g);
            m_morphs.clear();
            m_gradients.clear(); // keyed by fill styles that lived in those shapes
        }
        it = m_morphs.emplace(key, morphGeometry(morph, ratio / 65535.0)).first;
    }
    return it->second;
}

QImage RenderCache::image(const QImage &source, const ColorTransform &cx)
{
    if (cx.isIdentity())
        return source;
    const ImageKey key{source.cacheKey(), cx};
    auto it = m_images.find(key);
    if (it != m_images.end())
        return it->second;
    if (m_images.size() > kMaxImages)
        m_images.clear();
    QImage out = source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = line[x];
            const Rgba c =
                cx.apply({static_cast<std::uint8_t>(qRed(p)), static_cast<std::uint8_t>(qGreen(p)),
                          static_cast<std::uint8_t>(qBlue(p)), static_cast<std::uint8_t>(qAlpha(p))});
            line[x] = qRgba(c.r, c.g, c.b, c.a);
        }
    }
    out = out.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    m_images.emplace(key, out);
    return out;
}

QImage RenderCache::gradient(const FillStyle &style, const ColorTransform &cx,
                             const QTransform &gradientToDevice, const QRect &area, bool smooth)
{
    const QTransform &m = gradientToDevice;
    GradientKey key{&style,
                    cx,
                    {m.m11(), m.m12(), m.m21(), m.m22(), m.dx(), m.dy()},
                    {area.x(), area.y(), area.width(), area.height()},
                    smooth};
    auto it = m_gradients.find(key);
    if (it != m_gradients.end())
        return it->second;
    if (m_gradients.size() > kMaxImages)
        m_gradients.clear();
    QImage image = gradientImage(style, cx, gradientToDevice, area, smooth);
    m_gradients.emplace(key, image);
    return image;
}

} // namespace velmora::swf
