// Paints a display list with QPainter, and finds the button under a point. Keeps
// the Qt paths and colour-transformed images it derives from the model.
#pragma once

#include "controls/swf/devicetext.h"
#include "controls/swf/displaylist.h"
#include "controls/swf/filters.h"
#include "controls/swf/layercache.h"
#include "controls/swf/player.h"

#include <QImage>
#include <QPainterPath>
#include <QTransform>

#include <map>
#include <tuple>

namespace velmora::swf {

QTransform toQt(const Matrix &m);

// Qt paths of one shape geometry, in twips: per layer, one path per fill and stroke.
struct ShapePaths {
    struct Layer {
        std::vector<QPainterPath> fills;
        std::vector<QPainterPath> strokes;
    };
    std::vector<Layer> layers;
    QPainterPath outline; // every fill together, for masks and hit tests
};

class RenderCache {
public:
    const ShapePaths &paths(const ShapeGeometry &geometry);
    const ShapeGeometry &morph(const MorphShape &morph, std::uint16_t ratio);
    // The bitmap with a colour transform applied (the image itself when identity).
    QImage image(const QImage &source, const ColorTransform &cx);
    // A gradient fill over a device area; kept while the same fill is drawn the
    // same way, as in most frames of a button.
    QImage gradient(const FillStyle &style, const ColorTransform &cx, const QTransform &gradientToDevice,
                    const QRect &area);
    LayerCache &layers() { return m_layers; }
    DeviceTextCache &deviceText() { return m_deviceText; }

private:
    std::map<const ShapeGeometry *, ShapePaths> m_paths;
    std::map<std::pair<const MorphShape *, std::uint16_t>, ShapeGeometry> m_morphs;
    std::map<std::pair<qint64, std::vector<double>>, QImage> m_images;
    std::map<std::pair<const FillStyle *, std::vector<double>>, QImage> m_gradients;
    LayerCache m_layers;
    DeviceTextCache m_deviceText;
};

class Renderer {
public:
    Renderer(const Movie &movie, RenderCache &cache, Quality quality)
        : m_movie(movie), m_cache(cache), m_quality(quality)
    {
    }

    void paint(QPainter &painter, const DisplayList &list, const QTransform &world, const ColorTransform &cx);

    // The device-space area an object covers, as a mask uses it.
    QPainterPath coverage(const Instance &object, const QTransform &world);

    // The button instance whose hit area contains point (in the list's coordinates
    // under `world`), topmost first; null when none.
    Instance *buttonAt(DisplayList &list, const QTransform &world, QPointF point, DisplayList **owner);

private:
    // ownColor false: the object's own colour transform is left out (the caller
    // applies it to a layer after the filters).
    void paintObject(QPainter &painter, const Instance &object, const QTransform &world,
                     const ColorTransform &cx, bool ownColor = true);
    void paintBlended(QPainter &painter, const Instance &object, const QTransform &world,
                      const ColorTransform &cx);
    QImage drawLayer(const QPainter &painter, const Instance &object, const QTransform &world,
                     const ColorTransform &cx, const QRect &area, FilterScale scale);
    QTransform paintBackground(QPainter &painter, const Instance &object, const QTransform &world,
                               const ColorTransform &cx);
    void paintGeometry(QPainter &painter, const ShapeGeometry &geometry, const QTransform &world,
                       const ColorTransform &cx);
    void paintText(QPainter &painter, const StaticText &text, const QTransform &world,
                   const ColorTransform &cx);
    void fillGlyph(QPainter &painter, const QPainterPath &glyph, const QTransform &world,
                   const QColor &color);
    void paintEditText(QPainter &painter, const EditText &text, const QTransform &world,
                       const ColorTransform &cx);
    void fillPath(QPainter &painter, const QPainterPath &path, const FillStyle &style,
                  const QTransform &world, const ColorTransform &cx);
    QBrush brush(const FillStyle &style, const ColorTransform &cx);
    bool hits(const Instance &object, const QTransform &world, QPointF point, int depthLimit);

    const Movie &m_movie;
    RenderCache &m_cache;
    Quality m_quality;
    int m_depth = 0;
    int m_layers = 0; // enclosing objects drawn on layers of their own
};

} // namespace velmora::swf
