#include "controls/swf/objectbounds.h"

#include "controls/swf/qtgeometry.h"

#include <algorithm>

namespace velmora::swf {

namespace {

QRectF rectOf(const TwipsRect &r)
{
    return QRectF(r.xMin, r.yMin, r.width(), r.height());
}

// In-between shapes keep no bounds: every point, control points too, and half the
// widest line around them.
QRectF geometryBounds(const ShapeGeometry &geometry)
{
    std::int32_t xMin = INT32_MAX, yMin = INT32_MAX, xMax = INT32_MIN, yMax = INT32_MIN;
    auto add = [&](Point p) {
        xMin = std::min(xMin, p.x);
        yMin = std::min(yMin, p.y);
        xMax = std::max(xMax, p.x);
        yMax = std::max(yMax, p.y);
    };
    auto addContours = [&](const std::vector<Contour> &contours) {
        for (const Contour &c : contours) {
            add(c.start);
            for (const Edge &e : c.edges) {
                if (e.curve)
                    add(e.control);
                add(e.to);
            }
        }
    };
    double halfLine = 0;
    for (const auto &layer : geometry.layers) {
        for (const auto &fill : layer.fills)
            addContours(fill.contours);
        for (const auto &stroke : layer.strokes) {
            addContours(stroke.contours);
            halfLine = std::max(halfLine, stroke.style.width / 2.0);
        }
    }
    if (xMin > xMax)
        return {};
    return QRectF(xMin, yMin, double(xMax) - xMin, double(yMax) - yMin)
        .adjusted(-halfLine, -halfLine, halfLine, halfLine);
}

QRectF childrenBounds(RenderCache &cache, const DisplayList &list, const QTransform &world)
{
    QRectF all;
    for (const auto &[depth, child] : list.objects()) {
        if (child.clipDepth == 0 && child.visible)
            all |= objectBounds(cache, child, world);
    }
    return all;
}

} // namespace

QRectF objectBounds(RenderCache &cache, const Instance &object, const QTransform &parentWorld)
{
    if (!object.character)
        return {};
    const QTransform world = toQt(object.matrix) * parentWorld;
    if (const auto *shape = std::get_if<Shape>(object.character))
        return world.mapRect(rectOf(shape->bounds));
    if (const auto *morph = std::get_if<MorphShape>(object.character))
        return world.mapRect(geometryBounds(cache.morph(*morph, object.ratio)));
    if (const auto *text = std::get_if<StaticText>(object.character))
        return world.mapRect(rectOf(text->bounds));
    if (const auto *edit = std::get_if<EditText>(object.character))
        return world.mapRect(rectOf(edit->bounds));
    if (object.children)
        return childrenBounds(cache, *object.children, world);
    return {};
}

} // namespace velmora::swf
