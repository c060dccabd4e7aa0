// Paints a display list with QPainter. What it derives from the model (Qt paths,
// in-between shapes, tinted bitmaps, gradient images) is kept in a RenderCache.
#pragma once

#include "controls/swf/displaylist.h"
#include "controls/swf/filters.h"
#include "controls/swf/quality.h"
#include "controls/swf/rendercache.h"

#include <QBrush>
#include <QPainterPath>
#include <QTransform>

class QPainter;

namespace velmora::swf {

class Renderer {
public:
    // Filter work one frame may spend, in steps (see filterWorkPerPixel). A layer whose
    // filters would cost more than is left is drawn coarser, so that a hostile or heavy
    // movie cannot hold up whatever draws it; once none is left, each layer still gets
    // a small share.
    static constexpr double kFilterWorkPerFrame = 1 << 23;
    static constexpr double kFilterWorkShares = 32;

    // viewScale: device pixels per twip of the stage as the view shows it, the width
    // of strokes that scale in neither direction.
    Renderer(const Movie &movie, RenderCache &cache, Quality quality, double viewScale = 1 / kTwipsPerPixel,
             double filterWork = kFilterWorkPerFrame)
        : m_movie(movie), m_cache(cache), m_quality(quality), m_viewScale(viewScale),
          m_filterWorkLeft(filterWork), m_filterWorkShare(filterWork / kFilterWorkShares)
    {
    }

    void paint(QPainter &painter, const DisplayList &list, const QTransform &world, const ColorTransform &cx);
    double filterWorkSpent() const { return m_filterWorkSpent; }

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
    int layerCoarseness(const QRect &area, const std::vector<Filter> &filters) const;
    QTransform paintBackground(QPainter &painter, const Instance &object, const QTransform &world,
                               const ColorTransform &cx);
    void paintGeometry(QPainter &painter, const ShapeGeometry &geometry, const QTransform &world,
                       const ColorTransform &cx);
    void paintStroke(QPainter &painter, const QPainterPath &line, const LineStyle &style,
                     const QTransform &world, const ColorTransform &cx);
    void paintText(QPainter &painter, const StaticText &text, const QTransform &world,
                   const ColorTransform &cx);
    void fillGlyph(QPainter &painter, const QPainterPath &glyph, const QTransform &world,
                   const QColor &color);
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
    double m_filterWorkLeft;
    double m_filterWorkShare;
    double m_filterWorkSpent = 0;
};

} // namespace velmora::swf
