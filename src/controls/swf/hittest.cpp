#include "controls/swf/hittest.h"

#include "controls/swf/qtgeometry.h"

namespace velmora::swf {

QPainterPath HitTester::coverage(const Instance &object, const QTransform &parent)
{
    QPainterPath area;
    area.setFillRule(Qt::WindingFill);
    if (!object.character)
        return area;
    const QTransform world = toQt(object.matrix) * parent;
    const ShapeGeometry *geometry = nullptr;
    if (const auto *shape = std::get_if<Shape>(object.character))
        geometry = &shape->geometry;
    else if (const auto *morph = std::get_if<MorphShape>(object.character))
        geometry = &m_cache.morph(*morph, object.ratio);
    if (geometry) {
        for (const auto &layer : m_cache.paths(*geometry).layers) {
            for (const auto &fill : layer.fills)
                area.addPath(world.map(fill));
        }
    } else if (const auto *text = std::get_if<StaticText>(object.character)) {
        const QTransform base = toQt(text->matrix) * world;
        for (const TextRecord &record : text->records) {
            const auto *font = m_movie.find<Font>(record.fontId);
            double x = record.x;
            for (const TextGlyph &g : record.glyphs) {
                if (font && g.index < font->glyphs.size()) {
                    const double s = record.height / font->emSquare;
                    area.addPath((QTransform(s, 0, 0, s, x, record.y) * base)
                                     .map(m_cache.paths(font->glyphs[g.index]).outline));
                }
                x += g.advance;
            }
        }
    } else if (object.children) {
        for (const auto &[depth, child] : object.children->objects()) {
            if (child.clipDepth == 0)
                area.addPath(coverage(child, world));
        }
    }
    return area;
}

// The hit area is the shapes of the hit-state records, not their bounds. Sprites and
// buttons there are passed over, so a button naming itself cannot recurse.
bool HitTester::hitAreaContains(const Button &button, const QTransform &world, QPointF point)
{
    for (const ButtonRecord &r : button.records) {
        if (!(r.states & ButtonRecord::Hit))
            continue;
        auto c = m_movie.characters.find(r.characterId);
        if (c == m_movie.characters.end() || std::holds_alternative<Sprite>(c->second) ||
            std::holds_alternative<Button>(c->second))
            continue;
        Instance probe;
        probe.character = &c->second;
        probe.matrix = r.matrix;
        if (coverage(probe, world).contains(point))
            return true;
    }
    return false;
}

Instance *HitTester::buttonAt(DisplayList &list, const QTransform &world, QPointF point, DisplayList **owner)
{
    for (auto it = list.objects().rbegin(); it != list.objects().rend(); ++it) {
        Instance &object = it->second;
        if (!object.character || !object.visible || object.clipDepth > 0)
            continue;
        const QTransform objectWorld = toQt(object.matrix) * world;
        if (const auto *button = std::get_if<Button>(object.character)) {
            // A button among the ones its state shows takes the pointer before it.
            if (object.children) {
                if (Instance *inner = buttonAt(*object.children, objectWorld, point, owner))
                    return inner;
            }
            if (hitAreaContains(*button, objectWorld, point)) {
                *owner = &list;
                return &object;
            }
        } else if (object.children) {
            if (Instance *found = buttonAt(*object.children, objectWorld, point, owner))
                return found;
        }
    }
    return nullptr;
}

Instance *HitTester::drawnAt(DisplayList &list, const QTransform &world, QPointF point, const Instance *skip,
                             DisplayList **owner)
{
    for (auto it = list.objects().rbegin(); it != list.objects().rend(); ++it) {
        Instance &object = it->second;
        if (&object == skip || !object.character || !object.visible || object.clipDepth > 0)
            continue;
        const QTransform objectWorld = toQt(object.matrix) * world;
        auto boundsContain = [&](const TwipsRect &r) {
            const QRectF rect(r.xMin, r.yMin, r.width(), r.height());
            return objectWorld.map(QPolygonF(rect)).containsPoint(point, Qt::OddEvenFill);
        };
        bool hit = false;
        if (object.children) {
            if (Instance *found = drawnAt(*object.children, objectWorld, point, skip, owner))
                return found;
        } else if (const auto *text = std::get_if<StaticText>(object.character)) {
            hit = boundsContain(text->bounds);
        } else if (const auto *field = std::get_if<EditText>(object.character)) {
            hit = boundsContain(field->bounds);
        } else {
            hit = coverage(object, world).contains(point);
        }
        if (hit) {
            *owner = &list;
            return &object;
        }
    }
    return nullptr;
}

} // namespace velmora::swf
