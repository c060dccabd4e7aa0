// What the renderer derives from the model and keeps between frames: Qt paths of
// shapes, in-between shapes of morphs, colour-transformed bitmaps and gradient
// images. Keys are hashed values, cheap to build at every lookup.
#pragma once

#include "controls/swf/devicetext.h"
#include "controls/swf/layercache.h"
#include "controls/swf/movie.h"

#include <QImage>
#include <QPainterPath>
#include <QTransform>

#include <array>
#include <unordered_map>

namespace velmora::swf {

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
                    const QRect &area, bool smooth = true);
    // Finished filter and blend layers.
    LayerCache &layers() { return m_layers; }
    DeviceTextCache &deviceText() { return m_deviceText; }

private:
    struct MorphKey {
        const MorphShape *morph;
        std::uint16_t ratio;
        friend bool operator==(const MorphKey &, const MorphKey &) = default;
    };
    struct ImageKey {
        qint64 source;
        ColorTransform cx;
        friend bool operator==(const ImageKey &, const ImageKey &) = default;
    };
    struct GradientKey {
        const FillStyle *style;
        ColorTransform cx;
        std::array<double, 6> matrix;
        std::array<int, 4> area;
        bool smooth;
        friend bool operator==(const GradientKey &, const GradientKey &) = default;
    };
    struct Hash {
        std::size_t operator()(const MorphKey &k) const;
        std::size_t operator()(const ImageKey &k) const;
        std::size_t operator()(const GradientKey &k) const;
    };

    std::unordered_map<const ShapeGeometry *, ShapePaths> m_paths;
    std::unordered_map<MorphKey, ShapeGeometry, Hash> m_morphs;
    std::unordered_map<ImageKey, QImage, Hash> m_images;
    std::unordered_map<GradientKey, QImage, Hash> m_gradients;
    LayerCache m_layers;
    DeviceTextCache m_deviceText;
};

} // namespace velmora::swf
