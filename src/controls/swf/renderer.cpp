#include "controls/swf/renderer.h"

#include "controls/swf/filters.h"
#include "controls/swf/gradientpainter.h"
#include "controls/swf/layercache.h"
#include "controls/swf/objectbounds.h"
#include "controls/swf/scanfill.h"
#include "controls/swf/shapereader.h"
#include "controls/swf/textlayout.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPathStroker>
#include <QRadialGradient>

#include <cmath>

namespace velmora::swf {

namespace {

// Nested sprites deeper than this are not drawn (a sprite cannot contain itself
// through the timeline, but a button state can name its own button).
constexpr int kMaxNesting = 64;
constexpr int kMaxLayers = 8;

// See fillPath: far below a twip, so no edge crosses a pixel centre because of it.
constexpr double kEdgeNudge = -0.01;

QPainterPath snapToDeviceTwips(QPainterPath path)
{
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        path.setElementPositionAt(i, std::round(e.x * kTwipsPerPixel) / kTwipsPerPixel + kEdgeNudge,
                                  std::round(e.y * kTwipsPerPixel) / kTwipsPerPixel + kEdgeNudge);
    }
    return path;
}

QColor toQColor(Rgba c)
{
    return QColor(c.r, c.g, c.b, c.a);
}

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

double srgbToLinear(double c)
{
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}
double linearToSrgb(double c)
{
    return c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
}

QGradientStops gradientStops(const Gradient &g, const ColorTransform &cx)
{
    QGradientStops stops;
    if (g.stops.empty()) {
        stops.push_back({0.0, Qt::black}); // a gradient without records is drawn black
        return stops;
    }
    double last = -1;
    auto add = [&](double pos, QColor color) {
        // Positions must rise; a repeated or falling ratio is nudged just past the last.
        pos = std::clamp(std::max(pos, last + 1e-6), 0.0, 1.0);
        last = pos;
        stops.push_back({pos, color});
    };
    for (std::size_t i = 0; i < g.stops.size(); ++i) {
        const GradientStop &s = g.stops[i];
        Rgba color = cx.apply(s.color);
        if (g.linearRgb && i > 0) {
            // Qt interpolates in sRGB; linear-light blending is approximated by extra stops.
            const GradientStop &p = g.stops[i - 1];
            Rgba from = cx.apply(p.color);
            for (int k = 1; k < 8; ++k) {
                double t = k / 8.0;
                auto mix = [t](int a, int b) {
                    double v = srgbToLinear(a / 255.0) * (1 - t) + srgbToLinear(b / 255.0) * t;
                    return static_cast<int>(std::lround(linearToSrgb(v) * 255));
                };
                double pos = (p.ratio + (s.ratio - p.ratio) * t) / 255.0;
                add(pos, QColor(mix(from.r, color.r), mix(from.g, color.g), mix(from.b, color.b),
                                static_cast<int>(std::lround(from.a + (color.a - from.a) * t))));
            }
        }
        add(s.ratio / 255.0, toQColor(color));
    }
    return stops;
}

double strokeScale(const QTransform &t, const LineStyle &style)
{
    if (style.noHScale && style.noVScale)
        return -1;
    if (style.noHScale)
        return std::abs(t.m21() + t.m22());
    if (style.noVScale)
        return std::abs(t.m11() + t.m12());
    double x = t.m11() + t.m21(), y = t.m12() + t.m22();
    return std::sqrt((x * x + y * y) / 2);
}

QPainter::CompositionMode compositionMode(BlendMode mode)
{
    switch (mode) {
    case BlendMode::Multiply:
        return QPainter::CompositionMode_Multiply;
    case BlendMode::Screen:
        return QPainter::CompositionMode_Screen;
    case BlendMode::Lighten:
        return QPainter::CompositionMode_Lighten;
    case BlendMode::Darken:
        return QPainter::CompositionMode_Darken;
    case BlendMode::Difference:
        return QPainter::CompositionMode_Difference;
    case BlendMode::Add:
        return QPainter::CompositionMode_Plus;
    case BlendMode::Overlay:
        return QPainter::CompositionMode_Overlay;
    case BlendMode::HardLight:
        return QPainter::CompositionMode_HardLight;
    case BlendMode::Alpha:
        return QPainter::CompositionMode_DestinationIn;
    case BlendMode::Erase:
        return QPainter::CompositionMode_DestinationOut;
    default:
        return QPainter::CompositionMode_SourceOver; // layer, and the modes Qt lacks
    }
}

// An object in the alpha mode takes the layer below to its own alpha, but only where
// it draws: its transparent pixels become opaque, which leaves the layer as it is.
void keepWhereTransparent(QImage &layer)
{
    for (int y = 0; y < layer.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(layer.scanLine(y));
        for (int x = 0; x < layer.width(); ++x) {
            if (qAlpha(line[x]) == 0)
                line[x] = 0xFFFFFFFF;
        }
    }
}

// How far a layer may reach past the device for filters of what lies beside it.
constexpr int kMaxLayerReach = 1024;

// The device pixels of an object's layer: its bounds rounded out and grown by what
// its filters add, within the device grown the same (what lies just off the device
// still blurs into view).
QRect layerArea(const QRectF &bounds, QMargins reach, const QRect &device)
{
    if (bounds.isNull())
        return {};
    auto held = [](int v) { return std::clamp(v, 0, kMaxLayerReach); };
    reach = QMargins(held(reach.left()), held(reach.top()), held(reach.right()), held(reach.bottom()));
    const QRect pixels(
        QPoint(static_cast<int>(std::floor(bounds.left())), static_cast<int>(std::floor(bounds.top()))),
        QPoint(static_cast<int>(std::ceil(bounds.right())) - 1,
               static_cast<int>(std::ceil(bounds.bottom())) - 1));
    return pixels.marginsAdded(reach) & device.marginsAdded(reach);
}

// How much the transform scales lengths in the direction it shrinks most.
double thinnestScale(const QTransform &t)
{
    const double half = (t.m11() * t.m11() + t.m12() * t.m12() + t.m21() * t.m21() + t.m22() * t.m22()) / 2;
    const double det = t.m11() * t.m22() - t.m12() * t.m21();
    return std::sqrt(std::max(0.0, half - std::sqrt(std::max(0.0, half * half - det * det))));
}

} // namespace

QTransform toQt(const Matrix &m)
{
    return QTransform(m.a, m.b, m.c, m.d, m.tx, m.ty);
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
    auto key = std::make_pair(&morph, ratio);
    auto it = m_morphs.find(key);
    if (it == m_morphs.end()) {
        if (m_morphs.size() > 256) { // a morph animating through many ratios: start afresh
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
    std::vector<double> k{cx.rMul, cx.gMul, cx.bMul, cx.aMul, cx.rAdd, cx.gAdd, cx.bAdd, cx.aAdd};
    auto key = std::make_pair(source.cacheKey(), k);
    auto it = m_images.find(key);
    if (it != m_images.end())
        return it->second;
    if (m_images.size() > 64)
        m_images.clear();
    QImage out = source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            QRgb p = line[x];
            Rgba c = cx.apply({static_cast<std::uint8_t>(qRed(p)), static_cast<std::uint8_t>(qGreen(p)),
                               static_cast<std::uint8_t>(qBlue(p)), static_cast<std::uint8_t>(qAlpha(p))});
            line[x] = qRgba(c.r, c.g, c.b, c.a);
        }
    }
    out = out.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    m_images.emplace(key, out);
    return out;
}

QImage RenderCache::gradient(const FillStyle &style, const ColorTransform &cx,
                             const QTransform &gradientToDevice, const QRect &area)
{
    const QTransform &m = gradientToDevice;
    std::vector<double> key{cx.rMul,
                            cx.gMul,
                            cx.bMul,
                            cx.aMul,
                            cx.rAdd,
                            cx.gAdd,
                            cx.bAdd,
                            cx.aAdd,
                            m.m11(),
                            m.m12(),
                            m.m21(),
                            m.m22(),
                            m.dx(),
                            m.dy(),
                            double(area.x()),
                            double(area.y()),
                            double(area.width()),
                            double(area.height())};
    auto k = std::make_pair(&style, std::move(key));
    auto it = m_gradients.find(k);
    if (it != m_gradients.end())
        return it->second;
    if (m_gradients.size() > 64)
        m_gradients.clear();
    QImage image = gradientImage(style, cx, gradientToDevice, area);
    m_gradients.emplace(std::move(k), image);
    return image;
}

void Renderer::paint(QPainter &painter, const DisplayList &list, const QTransform &world,
                     const ColorTransform &cx)
{
    if (m_depth >= kMaxNesting)
        return;
    ++m_depth;
    std::vector<int> masks; // clip depths of the masks in force, innermost last
    for (const auto &[depth, object] : list.objects()) {
        while (!masks.empty() && depth > masks.back()) {
            painter.restore();
            masks.pop_back();
        }
        if (object.clipDepth > 0) {
            // A mask is not drawn; its area clips the objects up to its clip depth.
            QPainterPath area = coverage(object, world);
            painter.save();
            painter.resetTransform();
            painter.setClipPath(area, Qt::IntersectClip);
            masks.push_back(object.clipDepth);
            continue;
        }
        if (!object.visible)
            continue;
        const QTransform placed =
            object.opaqueBackground ? paintBackground(painter, object, world, cx) : world;
        // Alpha and erase act on an enclosing layer; without one they draw normally.
        // Layers nest only so deep (each is as large as the device); deeper ones draw plainly.
        const bool plain =
            (object.blendMode == BlendMode::Normal && object.filters.empty()) || m_layers >= kMaxLayers ||
            (m_layers == 0 && (object.blendMode == BlendMode::Alpha || object.blendMode == BlendMode::Erase));
        if (plain)
            paintObject(painter, object, placed, cx);
        else
            paintBlended(painter, object, placed, cx);
    }
    for (std::size_t i = 0; i < masks.size(); ++i)
        painter.restore();
    --m_depth;
}

void Renderer::paintObject(QPainter &painter, const Instance &object, const QTransform &parent,
                           const ColorTransform &parentCx, bool ownColor)
{
    if (!object.character)
        return;
    const QTransform world = toQt(object.matrix) * parent;
    const ColorTransform cx = ownColor ? parentCx * object.colorTransform : parentCx;
    if (const auto *shape = std::get_if<Shape>(object.character))
        paintGeometry(painter, shape->geometry, world, cx);
    else if (const auto *morph = std::get_if<MorphShape>(object.character))
        paintGeometry(painter, m_cache.morph(*morph, object.ratio), world, cx);
    else if (const auto *text = std::get_if<StaticText>(object.character))
        paintText(painter, *text, world, cx);
    else if (const auto *edit = std::get_if<EditText>(object.character))
        paintEditText(painter, *edit, world, cx);
    else if (object.children)
        paint(painter, *object.children, world, cx);
}

// The object drawn on a layer over `area`, its filters and then its colour transform
// applied.
QImage Renderer::drawLayer(const QPainter &painter, const Instance &object, const QTransform &world,
                           const ColorTransform &cx, const QRect &area, FilterScale scale)
{
    QImage layer(area.size(), QImage::Format_ARGB32_Premultiplied);
    if (layer.isNull())
        return layer;
    layer.fill(Qt::transparent);
    {
        QPainter inner(&layer);
        inner.setRenderHints(painter.renderHints());
        ++m_layers;
        // Filters work on the object as drawn; its colour transform then tints the
        // result, glow included.
        const bool filtered = !object.filters.empty();
        const QTransform shifted = world * QTransform::fromTranslate(-area.x(), -area.y());
        paintObject(inner, object, shifted, filtered ? ColorTransform{} : cx, !filtered);
        --m_layers;
    }
    applyFilters(layer, object.filters, scale);
    if (!object.filters.empty()) {
        const ColorTransform tint = cx * object.colorTransform;
        if (!tint.isIdentity())
            applyColorTransform(layer, tint);
    }
    if (object.blendMode == BlendMode::Alpha)
        keepWhereTransparent(layer);
    return layer;
}

// An object with a blend mode or filters is drawn on a layer of its own, as large
// as its bounds and what its filters add, which is then composited onto what lies
// below with the mode's formula. The finished layer is kept for the next frames while
// they would draw it the same.
void Renderer::paintBlended(QPainter &painter, const Instance &object, const QTransform &world,
                            const ColorTransform &cx)
{
    const FilterScale scale{std::sqrt(std::abs(world.determinant())) * kTwipsPerPixel};
    const QRect area = layerArea(objectBounds(m_cache, object, world), filterReach(object.filters, scale),
                                 QRect(0, 0, painter.device()->width(), painter.device()->height()));
    if (area.isEmpty())
        return;
    const QTransform placement = toQt(object.matrix) * world;
    const QPoint pixels(static_cast<int>(std::floor(placement.dx())),
                        static_cast<int>(std::floor(placement.dy())));
    LayerCache::Key key{contentSignature(object),
                        placement * QTransform::fromTranslate(-pixels.x(), -pixels.y()),
                        cx,
                        object.blendMode,
                        object.filters,
                        area.translated(-pixels),
                        static_cast<int>(m_quality)};
    QImage layer;
    if (const QImage *kept = m_cache.layers().find(object.serial, key)) {
        layer = *kept;
    } else {
        layer = drawLayer(painter, object, world, cx, area, scale);
        if (layer.isNull())
            return;
        m_cache.layers().store(object.serial, std::move(key), layer);
    }
    painter.save();
    painter.resetTransform();
    painter.setCompositionMode(compositionMode(object.blendMode));
    painter.drawImage(area.topLeft(), layer);
    painter.restore();
}

// An object with an opaque background is kept as a bitmap of whole pixels: its
// bounds, from the pixel nearest their top-left corner, are filled with the colour and
// the object is drawn over them moved by as much. Returns the parent transform that
// moves it so.
QTransform Renderer::paintBackground(QPainter &painter, const Instance &object, const QTransform &world,
                                     const ColorTransform &cx)
{
    const QRectF bounds = objectBounds(m_cache, object, world);
    if (bounds.isNull())
        return world;
    const QPointF corner(std::round(bounds.left()), std::round(bounds.top()));
    const QRect pixels = QRectF(corner, bounds.size()).toAlignedRect();
    painter.save();
    painter.resetTransform();
    painter.fillRect(pixels, toQColor((cx * object.colorTransform).apply(*object.opaqueBackground)));
    painter.restore();
    return world * QTransform::fromTranslate(corner.x() - bounds.left(), corner.y() - bounds.top());
}

QBrush Renderer::brush(const FillStyle &style, const ColorTransform &cx)
{
    switch (style.type) {
    case FillStyle::Type::Solid:
        return QBrush(toQColor(cx.apply(style.color)));
    case FillStyle::Type::Linear:
    case FillStyle::Type::Radial:
    case FillStyle::Type::Focal: {
        const Gradient &g = style.gradient;
        QGradient gradient;
        if (style.type == FillStyle::Type::Linear)
            gradient = QLinearGradient(-16384, 0, 16384, 0);
        else
            gradient = QRadialGradient(QPointF(0, 0), 16384, QPointF(g.focal * 16384, 0));
        gradient.setSpread(g.spread == Spread::Reflect  ? QGradient::ReflectSpread
                           : g.spread == Spread::Repeat ? QGradient::RepeatSpread
                                                        : QGradient::PadSpread);
        gradient.setStops(gradientStops(g, cx));
        QBrush b(gradient);
        b.setTransform(toQt(g.matrix));
        return b;
    }
    case FillStyle::Type::Bitmap: {
        const auto *bitmap = m_movie.find<Bitmap>(style.bitmapId);
        if (!bitmap)
            return Qt::NoBrush;
        QBrush b(m_cache.image(bitmap->image, cx));
        b.setTransform(toQt(style.bitmapMatrix));
        return b;
    }
    }
    return Qt::NoBrush;
}

void Renderer::fillPath(QPainter &painter, const QPainterPath &path, const FillStyle &style,
                        const QTransform &world, const ColorTransform &cx)
{
    if (style.type == FillStyle::Type::Bitmap) {
        const auto *bitmap = m_movie.find<Bitmap>(style.bitmapId);
        if (!bitmap)
            return; // a fill naming a missing bitmap draws nothing
        const bool smooth = m_quality == Quality::High && style.smooth && m_movie.header.version >= 8;
        painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
        if (!style.repeat) {
            // A clipped bitmap shows once, inside the shape.
            painter.save();
            painter.setTransform(world);
            painter.setClipPath(path, Qt::IntersectClip);
            painter.setTransform(toQt(style.bitmapMatrix) * world);
            painter.drawImage(QPointF(0, 0), m_cache.image(bitmap->image, cx));
            painter.restore();
            return;
        }
    }
    QBrush b = brush(style, cx);
    if (style.type != FillStyle::Type::Solid && style.type != FillStyle::Type::Bitmap &&
        world.isInvertible()) {
        // Gradients are computed per pixel over the device area the shape covers.
        const QRect area = world.map(path).boundingRect().toAlignedRect() &
                           QRect(0, 0, painter.device()->width(), painter.device()->height());
        if (area.isEmpty())
            return;
        QImage image = m_cache.gradient(style, cx, toQt(style.gradient.matrix) * world, area);
        b = QBrush(image);
        b.setTransform(QTransform::fromTranslate(area.x(), area.y()) * world.inverted());
    }
    if (m_quality == Quality::Low) {
        // Without anti-aliasing the outline is placed on the device's twip grid, as
        // the movies' own player does, and a pixel whose centre lies exactly on an
        // edge goes to the shape on its right (or below); Qt gives it to the other
        // side, so a nudge far below a twip moves such edges off the centres.
        painter.resetTransform();
        if (b.style() != Qt::SolidPattern)
            b.setTransform(b.transform() * world);
        fillAliased(painter, world.map(path), b);
        return;
    }
    painter.setTransform(world);
    painter.fillPath(path, b);
}

void Renderer::paintGeometry(QPainter &painter, const ShapeGeometry &geometry, const QTransform &world,
                             const ColorTransform &cx)
{
    const ShapePaths &paths = m_cache.paths(geometry);
    for (std::size_t l = 0; l < geometry.layers.size(); ++l) {
        const auto &layer = geometry.layers[l];
        for (std::size_t i = 0; i < layer.fills.size(); ++i)
            fillPath(painter, paths.layers[l].fills[i], layer.fills[i].style, world, cx);
        for (std::size_t i = 0; i < layer.strokes.size(); ++i) {
            const LineStyle &style = layer.strokes[i].style;
            double scale = strokeScale(world, style);
            if (scale < 0)
                scale = std::sqrt(std::abs(painter.deviceTransform().determinant())) / kTwipsPerPixel;
            // Never thinner than one device pixel, as the movies were drawn. Strokes that
            // do not scale are outlined in device space at their own width.
            double width = std::max(1.0, style.width * scale);
            QPen pen(style.hasFill ? brush(style.fill, cx) : QBrush(toQColor(cx.apply(style.color))), width);
            pen.setCapStyle(style.startCap == Cap::None     ? Qt::FlatCap
                            : style.startCap == Cap::Square ? Qt::SquareCap
                                                            : Qt::RoundCap);
            pen.setJoinStyle(style.join == Join::Bevel   ? Qt::BevelJoin
                             : style.join == Join::Miter ? Qt::SvgMiterJoin
                                                         : Qt::RoundJoin);
            pen.setMiterLimit(style.miterLimit);
            painter.resetTransform();
            QPainterPath device = world.map(paths.layers[l].strokes[i]);
            // Qt draws thin aliased pens as plain lines, corners filled in; filling
            // the stroke's own outline keeps round joins and caps at every width.
            QPainterPath outline;
            const bool scales = !style.noHScale && !style.noVScale;
            const double diagonal = strokeScale(world, LineStyle{});
            // A pen that scales in neither direction is divided by the shape's scale
            // along its diagonal and stretched with the shape, as long as it stays a
            // device pixel wide in the shape's thinnest direction.
            const bool stretchedFixed = style.noHScale && style.noVScale && diagonal > 0 &&
                                        width / diagonal * thinnestScale(world) >= 1;
            if ((scales || stretchedFixed) && scale > 0 && world.isInvertible()) {
                // A stroke is outlined in the shape's own space and transformed with it,
                // so a stretched shape has a stretched pen.
                QPen local = pen;
                local.setWidthF(scales ? std::max<double>(style.width, 1.0 / scale) : width / diagonal);
                QPainterPathStroker stroker(local);
                outline = world.map(stroker.createStroke(paths.layers[l].strokes[i]));
                if (m_quality == Quality::Low)
                    outline = snapToDeviceTwips(outline);
            } else {
                QPainterPathStroker stroker(pen);
                outline =
                    stroker.createStroke(m_quality == Quality::Low ? snapToDeviceTwips(device) : device);
            }
            outline.setFillRule(Qt::WindingFill);
            QBrush b = pen.brush();
            if (style.hasFill && style.fill.type != FillStyle::Type::Solid) {
                if (style.fill.type == FillStyle::Type::Bitmap) {
                    b.setTransform(b.transform() * world);
                } else {
                    const QRect area = outline.boundingRect().toAlignedRect() &
                                       QRect(0, 0, painter.device()->width(), painter.device()->height());
                    if (area.isEmpty())
                        continue;
                    b = QBrush(
                        m_cache.gradient(style.fill, cx, toQt(style.fill.gradient.matrix) * world, area));
                    b.setTransform(QTransform::fromTranslate(area.x(), area.y()));
                }
            }
            painter.fillPath(outline, b);
        }
    }
}

void Renderer::paintText(QPainter &painter, const StaticText &text, const QTransform &world,
                         const ColorTransform &cx)
{
    const QTransform base = toQt(text.matrix) * world;
    if (deviceFontsAvailable())
        paintDeviceText(painter, m_cache.deviceText().staticText(text, m_movie), base, cx);
    for (const TextRecord &record : text.records) {
        const auto *font = m_movie.find<Font>(record.fontId);
        if (!font || !font->hasOutlines())
            continue;
        const double scale = record.height / font->emSquare;
        double x = record.x;
        const QColor color = toQColor(cx.apply(record.color));
        for (const TextGlyph &g : record.glyphs) {
            if (g.index < font->glyphs.size()) {
                const ShapePaths &paths = m_cache.paths(font->glyphs[g.index]);
                fillGlyph(painter, paths.outline, QTransform(scale, 0, 0, scale, x, record.y) * base, color);
            }
            x += g.advance;
        }
    }
}

// Glyphs are filled like shapes: without anti-aliasing on the device twip grid.
void Renderer::fillGlyph(QPainter &painter, const QPainterPath &glyph, const QTransform &world,
                         const QColor &color)
{
    if (m_quality == Quality::Low) {
        painter.resetTransform();
        fillAliased(painter, world.map(glyph), color);
        return;
    }
    painter.setTransform(world);
    painter.fillPath(glyph, color);
}

void Renderer::paintEditText(QPainter &painter, const EditText &text, const QTransform &world,
                             const ColorTransform &cx)
{
    const auto *font = m_movie.find<Font>(text.fontId);
    if (text.text.empty())
        return;
    if (text.drawsWithDeviceFont(font)) {
        if (deviceFontsAvailable())
            paintDeviceText(painter, m_cache.deviceText().editText(text, font), world, cx);
        return;
    }
    const double scale = text.height / font->emSquare;
    for (const PlacedGlyph &g : layoutEditText(text, *font)) {
        if (g.index >= font->glyphs.size())
            continue;
        fillGlyph(painter, m_cache.paths(font->glyphs[g.index]).outline,
                  QTransform(scale, 0, 0, scale, g.x, g.y) * world, toQColor(cx.apply(g.color)));
    }
}

QPainterPath Renderer::coverage(const Instance &object, const QTransform &parent)
{
    QPainterPath area;
    area.setFillRule(Qt::WindingFill);
    if (!object.character || m_depth >= kMaxNesting)
        return area;
    const QTransform world = toQt(object.matrix) * parent;
    const ShapeGeometry *geometry = nullptr;
    if (const auto *shape = std::get_if<Shape>(object.character))
        geometry = &shape->geometry;
    else if (const auto *morph = std::get_if<MorphShape>(object.character))
        geometry = &m_cache.morph(*morph, object.ratio);
    if (geometry) {
        const ShapePaths &paths = m_cache.paths(*geometry);
        for (const auto &layer : paths.layers) {
            for (const auto &fill : layer.fills)
                area.addPath(world.map(fill));
        }
    } else if (const auto *text = std::get_if<StaticText>(object.character)) {
        QTransform base = toQt(text->matrix) * world;
        for (const TextRecord &record : text->records) {
            const auto *font = m_movie.find<Font>(record.fontId);
            double x = record.x;
            for (const TextGlyph &g : record.glyphs) {
                if (font && g.index < font->glyphs.size()) {
                    double s = record.height / font->emSquare;
                    area.addPath((QTransform(s, 0, 0, s, x, record.y) * base)
                                     .map(m_cache.paths(font->glyphs[g.index]).outline));
                }
                x += g.advance;
            }
        }
    } else if (object.children) {
        ++m_depth;
        for (const auto &[depth, child] : object.children->objects()) {
            if (child.clipDepth == 0)
                area.addPath(coverage(child, world));
        }
        --m_depth;
    }
    return area;
}

bool Renderer::hits(const Instance &object, const QTransform &world, QPointF point, int depthLimit)
{
    if (depthLimit <= 0)
        return false;
    QPainterPath area = coverage(object, world);
    return area.contains(point);
}

Instance *Renderer::buttonAt(DisplayList &list, const QTransform &world, QPointF point, DisplayList **owner)
{
    if (m_depth >= kMaxNesting)
        return nullptr;
    for (auto it = list.objects().rbegin(); it != list.objects().rend(); ++it) {
        Instance &object = it->second;
        if (!object.character || !object.visible || object.clipDepth > 0)
            continue;
        const QTransform objectWorld = toQt(object.matrix) * world;
        if (const auto *button = std::get_if<Button>(object.character)) {
            // The hit area is the shapes of the hit-state records, not their bounds.
            for (const ButtonRecord &r : button->records) {
                if (!(r.states & ButtonRecord::Hit))
                    continue;
                Instance probe;
                auto c = m_movie.characters.find(r.characterId);
                if (c == m_movie.characters.end() || std::holds_alternative<Sprite>(c->second) ||
                    std::holds_alternative<Button>(c->second))
                    continue;
                probe.character = &c->second;
                probe.matrix = r.matrix;
                if (hits(probe, objectWorld, point, 1)) {
                    *owner = &list;
                    return &object;
                }
            }
        } else if (object.children) {
            ++m_depth;
            Instance *found = buttonAt(*object.children, objectWorld, point, owner);
            --m_depth;
            if (found)
                return found;
        }
    }
    return nullptr;
}

} // namespace velmora::swf
