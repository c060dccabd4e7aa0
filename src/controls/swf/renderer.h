// Paints a display list with QPainter. What it derives from the model (Qt paths,
// in-between shapes, tinted bitmaps, gradient images) is kept in a RenderCache.
#pragma once

#include "controls/swf/displaylist.h"
#include "controls/swf/filterbudget.h"
#include "controls/swf/filters.h"
#include "controls/swf/quality.h"
#include "controls/swf/rendercache.h"
#include "controls/swf/scanfill.h"

#include <QBrush>
#include <QPainterPath>
#include <QTransform>

class QPainter;

namespace velmora::swf {

class Renderer {
public:
    // viewScale: device pixels per twip of the stage as the view shows it, the width
    // of strokes that scale in neither direction. Filters draw from `filterBudget`, so
    // that a hostile or heavy movie cannot hold up whatever draws it.
    Renderer(const Movie &movie, RenderCache &cache, Quality quality, FilterBudget &filterBudget,
             double viewScale = 1 / kTwipsPerPixel)
        : m_movie(movie), m_cache(cache), m_quality(quality), m_viewScale(viewScale),
          m_filterBudget(filterBudget)
    {
    }

    void paint(QPainter &painter, const DisplayList &list, const QTransform &world, const ColorTransform &cx);
    // Whether a layer was drawn coarser than a budget of its own would have allowed,
    // because other layers or movies had spent it.
    bool wasStinted() const { return m_stinted; }

private:
    // ownColor false: the object's own colour transform is left out (the caller
    // applies it to a layer after the filters).
    void paintObject(QPainter &painter, const Instance &object, const QTransform &world,
                     const ColorTransform &cx, bool ownColor = true);
    void paintBlended(QPainter &painter, const Instance &object, const QTransform &world,
                      const ColorTransform &cx);
    // coarseness: device pixels per layer pixel either way.
    QImage drawLayer(const QPainter &painter, const Instance &object, const QTransform &world,
                     const ColorTransform &cx, const QRect &area, FilterScale scale, int coarseness);
    int layerCoarseness(const QRect &area, const std::vector<Filter> &filters, bool whole = false) const;
    QTransform paintBackground(QPainter &painter, const Instance &object, const QTransform &world,
                               const ColorTransform &cx);
    void paintGeometry(QPainter &painter, const ShapeGeometry &geometry, const QTransform &world,
                       const ColorTransform &cx);
    void paintStroke(QPainter &painter, const QPainterPath &line, const LineStyle &style,
                     const QTransform &world, const ColorTransform &cx);
    void paintText(QPainter &painter, const StaticText &text, const QTransform &world,
                   const ColorTransform &cx);
    // The outline in world coordinates, filled as the quality asks.
    void fillOutline(QPainter &painter, const QPainterPath &outline, const QTransform &world, QBrush brush,
                     EdgeGrid grid = EdgeGrid::Twips);
    void paintEditText(QPainter &painter, const EditText &text, const QTransform &world,
                       const ColorTransform &cx);
    void fillPath(QPainter &painter, const QPainterPath &path, const FillStyle &style,
                  const QTransform &world, const ColorTransform &cx);
    QBrush brush(const FillStyle &style, const ColorTransform &cx);

    const Movie &m_movie;
    RenderCache &m_cache;
    Quality m_quality;
    double m_viewScale;
    int m_layers = 0; // enclosing objects drawn on layers of their own
    FilterBudget &m_filterBudget;
    bool m_stinted = false;
};

} // namespace velmora::swf
