// Where objects lie on the device: the area an object covers (a mask clips to it)
// and the button under a point. Recursion follows the display lists, which never
// nest deeper than kMaxNesting.
#pragma once

#include "controls/swf/displaylist.h"
#include "controls/swf/rendercache.h"

#include <QPainterPath>
#include <QPointF>
#include <QTransform>

namespace velmora::swf {

class HitTester {
public:
    HitTester(const Movie &movie, RenderCache &cache) : m_movie(movie), m_cache(cache) {}

    // The device-space area of an object's shapes, glyphs and children (masks among
    // the children left out), under the parent transform `world`.
    QPainterPath coverage(const Instance &object, const QTransform &world);

    // The button instance whose hit area contains point (in the list's coordinates
    // under `world`), topmost first, and the list holding it; null when none.
    Instance *buttonAt(DisplayList &list, const QTransform &world, QPointF point, DisplayList **owner);
    // The topmost drawn object (a shape by its fills, a text by its bounds) under the
    // point, outside the object `skip`, and the list holding it; null when none.
    Instance *drawnAt(DisplayList &list, const QTransform &world, QPointF point, const Instance *skip,
                      DisplayList **owner);

private:
    bool hitAreaContains(const Button &button, const QTransform &world, QPointF point);

    const Movie &m_movie;
    RenderCache &m_cache;
};

} // namespace velmora::swf
