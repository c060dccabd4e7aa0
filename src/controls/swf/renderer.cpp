#include "controls/swf/renderer.h"

#include "controls/swf/blendmode.h"
#include "controls/swf/filters.h"
#include "controls/swf/hittest.h"
#include "controls/swf/layercache.h"
#include "controls/swf/objectbounds.h"
#include "controls/swf/qtgeometry.h"
#include "controls/swf/scanfill.h"
#include "controls/swf/strokeoutline.h"
#include "controls/swf/textlayout.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <cmath>

namespace velmora::swf {

namespace {

// Offscreen layers (blend modes, filters) nest at most this deep.
constexpr int kMaxLayers = 8;

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

// Layer pixels along `pixels` device pixels, `coarseness` of them to one.
int coarse(int pixels, int coarseness)
{
    return (pixels + coarseness - 1) / coarseness;
}

// The fewest device pixels either way per layer pixel that keep a layer's filters,
// at `perPixel` steps a layer pixel, within `allowed` steps.
int coarsenessWithin(const QRect &area, double perPixel, double allowed)
{
    auto work = [&](int k) {
        return double(coarse(area.width(), k)) * double(coarse(area.height(), k)) * perPixel;
    };
    if (work(1) <= allowed)
        return 1;
    // From the estimate up: rounding each side up may need a step or two more.
    const int widest = std::max(area.width(), area.height());
    int k = static_cast<int>(std::min(std::ceil(std::sqrt(work(1) / allowed)), double(widest)));
    while (k < widest && work(k) > allowed)
        ++k;
    return k;
}

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

} // namespace

void Renderer::paint(QPainter &painter, const DisplayList &list, const QTransform &world,
                     const ColorTransform &cx)
{
    std::vector<int> masks; // clip depths of the masks in force, innermost last
    for (const auto &[depth, object] : list.objects()) {
        while (!masks.empty() && depth > masks.back()) {
            painter.restore();
            masks.pop_back();
        }
        if (object.clipDepth > 0) {
            // A mask is not drawn; its area clips the objects up to its clip depth.
            QPainterPath area = HitTester(m_movie, m_cache).coverage(object, world);
            painter.save();
            painter.resetTransform();
            // Unsmoothed, a mask lets through the pixels a fill of it would cover.
            if (m_quality == Quality::Low)
                painter.setClipRegion(
                    aliasedRegion(area, QRect(0, 0, painter.device()->width(), painter.device()->height())),
                    Qt::IntersectClip);
            else
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

// How many device pixels either way one layer pixel stands for, so that the layer's
// filters cost no more than the budget lets one layer spend now (`whole`: than it
// would let a layer spend that had the budget to itself).
int Renderer::layerCoarseness(const QRect &area, const std::vector<Filter> &filters, bool whole) const
{
    return coarsenessWithin(area, filterWorkPerPixel(filters),
                            whole ? m_filterBudget.whole() : m_filterBudget.allowed());
}

// The object drawn on a layer over `area`, its filters and then its colour transform
// applied.
QImage Renderer::drawLayer(const QPainter &painter, const Instance &object, const QTransform &world,
                           const ColorTransform &cx, const QRect &area, FilterScale scale, int coarseness)
{
    QImage layer(coarse(area.width(), coarseness), coarse(area.height(), coarseness),
                 QImage::Format_ARGB32_Premultiplied);
    if (layer.isNull())
        return layer;
    layer.fill(Qt::transparent);
    {
        QPainter inner(&layer);
        inner.setRenderHints(painter.renderHints());
        // A coarser layer stands for the averages of the fine one, which edges drawn
        // without smoothing would move by up to a layer pixel.
        const Quality quality = m_quality;
        if (coarseness > 1) {
            inner.setRenderHint(QPainter::Antialiasing);
            m_quality = Quality::High;
        }
        ++m_layers;
        // Filters work on the object as drawn; its colour transform then tints the
        // result, glow included.
        const bool filtered = !object.filters.empty();
        const QTransform shifted = world * QTransform::fromTranslate(-area.x(), -area.y()) *
                                   QTransform::fromScale(1.0 / coarseness, 1.0 / coarseness);
        paintObject(inner, object, shifted, filtered ? ColorTransform{} : cx, !filtered);
        --m_layers;
        m_quality = quality;
    }
    const double work = double(layer.width()) * double(layer.height()) * filterWorkPerPixel(object.filters);
    m_filterBudget.spend(work);
    applyFilters(layer, object.filters, FilterScale{scale.pixelsPerStagePixel / coarseness});
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
    int coarseness = layerCoarseness(area, object.filters);
    LayerCache::Key key{contentSignature(object),
                        placement * QTransform::fromTranslate(-pixels.x(), -pixels.y()),
                        cx,
                        object.blendMode,
                        object.filters,
                        area.translated(-pixels),
                        static_cast<int>(m_quality),
                        coarseness};
    QImage layer;
    if (const LayerCache::Kept kept = m_cache.layers().find(object.serial, key); kept.layer) {
        layer = *kept.layer;
        coarseness = kept.coarseness;
    } else {
        // Drawn coarser than the budget would have allowed had others not spent it first:
        // the host paints again later.
        if (coarseness > 1 && coarseness > layerCoarseness(area, object.filters, true))
            m_stinted = true;
        layer = drawLayer(painter, object, world, cx, area, scale, coarseness);
        if (layer.isNull())
            return;
        m_cache.layers().store(object.serial, std::move(key), layer);
    }
    painter.save();
    painter.resetTransform();
    painter.setCompositionMode(compositionMode(object.blendMode));
    if (coarseness > 1) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(area.topLeft(), QSizeF(layer.size()) * coarseness), layer);
    } else {
        painter.drawImage(area.topLeft(), layer);
    }
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
        QImage image = m_cache.gradient(style, cx, toQt(style.gradient.matrix) * world, area,
                                        m_quality == Quality::High);
        b = QBrush(image);
        b.setTransform(QTransform::fromTranslate(area.x(), area.y()) * world.inverted());
    }
    fillOutline(painter, path, world, b); // a shared handle: a copy is cheap
}

void Renderer::paintGeometry(QPainter &painter, const ShapeGeometry &geometry, const QTransform &world,
                             const ColorTransform &cx)
{
    const ShapePaths &paths = m_cache.paths(geometry);
    for (std::size_t l = 0; l < geometry.layers.size(); ++l) {
        const auto &layer = geometry.layers[l];
        for (std::size_t i = 0; i < layer.fills.size(); ++i)
            fillPath(painter, paths.layers[l].fills[i], layer.fills[i].style, world, cx);
        for (std::size_t i = 0; i < layer.strokes.size(); ++i)
            paintStroke(painter, paths.layers[l].strokes[i], layer.strokes[i].style, world, cx);
    }
}

void Renderer::paintStroke(QPainter &painter, const QPainterPath &line, const LineStyle &style,
                           const QTransform &world, const ColorTransform &cx)
{
    const QPainterPath outline = strokeOutline(line, style, world, m_viewScale, m_quality);
    painter.resetTransform();
    QBrush b = style.hasFill ? brush(style.fill, cx) : QBrush(toQColor(cx.apply(style.color)));
    if (style.hasFill && style.fill.type == FillStyle::Type::Bitmap) {
        b.setTransform(b.transform() * world);
    } else if (style.hasFill && style.fill.type != FillStyle::Type::Solid) {
        const QRect area = outline.boundingRect().toAlignedRect() &
                           QRect(0, 0, painter.device()->width(), painter.device()->height());
        if (area.isEmpty())
            return;
        b = QBrush(m_cache.gradient(style.fill, cx, toQt(style.fill.gradient.matrix) * world, area,
                                    m_quality == Quality::High));
        b.setTransform(QTransform::fromTranslate(area.x(), area.y()));
    }
    if (m_quality == Quality::Low)
        fillAliased(painter, outline, b, EdgeGrid::Exact);
    else
        painter.fillPath(outline, b);
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
                fillOutline(painter, paths.outline, QTransform(scale, 0, 0, scale, x, record.y) * base,
                            color);
            }
            x += g.advance;
        }
    }
}

// Shapes and glyphs alike: without anti-aliasing the outline is placed on the device's
// twip grid (grid says how), as the movies' own player does, and a pixel whose centre lies exactly on
// an edge goes to the shape on its right (or below); Qt gives it to the other side, so
// a nudge far below a twip moves such edges off the centres.
void Renderer::fillOutline(QPainter &painter, const QPainterPath &outline, const QTransform &world,
                           QBrush brush, EdgeGrid grid)
{
    if (m_quality == Quality::Low) {
        painter.resetTransform();
        if (brush.style() != Qt::SolidPattern)
            brush.setTransform(brush.transform() * world);
        fillAliased(painter, world.map(outline), brush, grid);
        return;
    }
    painter.setTransform(world);
    painter.fillPath(outline, brush);
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
        fillOutline(painter, m_cache.paths(font->glyphs[g.index]).outline,
                    QTransform(scale, 0, 0, scale, g.x, g.y) * world, toQColor(cx.apply(g.color)),
                    EdgeGrid::TwipsDown);
    }
}

} // namespace velmora::swf
