#include "controls/swf/strokeoutline.h"

#include "controls/swf/penoutline.h"
#include "controls/swf/scanfill.h"

#include <QPainterPathStroker>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace velmora::swf {

namespace {

// How much the world scales a stroke's width: the device length of the shape's unit
// diagonal, over √2. A stroke that does not scale horizontally takes the diagonal's
// vertical extent on the device, one that does not scale vertically its horizontal
// extent; -1 when it scales in neither direction.
double strokeScale(const QTransform &t, const LineStyle &style)
{
    if (style.noHScale && style.noVScale)
        return -1;
    if (style.noHScale)
        return std::abs(t.m12() + t.m22());
    if (style.noVScale)
        return std::abs(t.m11() + t.m21());
    const double x = t.m11() + t.m21(), y = t.m12() + t.m22();
    return std::sqrt((x * x + y * y) / 2);
}

// How much the transform scales lengths in the direction it shrinks most.
double thinnestScale(const QTransform &t)
{
    const double half = (t.m11() * t.m11() + t.m12() * t.m12() + t.m21() * t.m21() + t.m22() * t.m22()) / 2;
    const double det = t.m11() * t.m22() - t.m12() * t.m21();
    return std::sqrt(std::max(0.0, half - std::sqrt(std::max(0.0, half * half - det * det))));
}

// True when the transform scales its two axes by different amounts but keeps them at
// right angles. The player then draws such strokes with a round pen on the device
// (as wide across a stretched rectangle's sides as along its ends), not with the
// shape's stretched pen as under skew.
bool scalesAxesUnevenly(const QTransform &t)
{
    constexpr double kRightAngle = 0.01, kSameScale = 1e-3; // cosine, relative difference
    const double x = std::hypot(t.m11(), t.m12()), y = std::hypot(t.m21(), t.m22());
    const double cosine = std::abs(t.m11() * t.m21() + t.m12() * t.m22());
    return cosine < kRightAngle * x * y && std::abs(x - y) > kSameScale * std::max(x, y);
}

Qt::PenCapStyle qtCap(Cap cap)
{
    return cap == Cap::None ? Qt::FlatCap : cap == Cap::Square ? Qt::SquareCap : Qt::RoundCap;
}

Qt::PenJoinStyle qtJoin(Join join)
{
    return join == Join::Bevel ? Qt::BevelJoin : join == Join::Miter ? Qt::SvgMiterJoin : Qt::RoundJoin;
}

} // namespace

QPainterPath strokeOutline(const QPainterPath &line, const LineStyle &style, const QTransform &world,
                           double viewScale, Quality quality)
{
    double scale = strokeScale(world, style);
    if (scale < 0)
        scale = viewScale;
    const double width = std::max(1.0, style.width * scale);
    QPen pen(Qt::black, width);
    pen.setCapStyle(qtCap(style.startCap));
    pen.setJoinStyle(qtJoin(style.join));
    pen.setMiterLimit(style.miterLimit);
    const bool low = quality == Quality::Low;
    const bool scales = !style.noHScale && !style.noVScale;
    const double diagonal = strokeScale(world, LineStyle{});
    // A pen that scales in neither direction is divided by the shape's scale along its
    // diagonal and stretched with the shape, as long as it stays a device pixel wide in
    // the shape's thinnest direction.
    const bool stretchedFixed =
        style.noHScale && style.noVScale && diagonal > 0 && width / diagonal * thinnestScale(world) >= 1;
    QPainterPath outline;
    if ((scales || stretchedFixed) && !scalesAxesUnevenly(world) && scale > 0 && world.isInvertible()) {
        // A stroke is outlined in the shape's own space and transformed with it, so a
        // skewed shape has a skewed pen.
        pen.setWidthF(scales ? std::max<double>(style.width, 1.0 / scale) : width / diagonal);
        outline = low ? world.map(penOutline(line, style, pen.widthF(), kCurveFlatness / diagonal))
                      : world.map(QPainterPathStroker(pen).createStroke(line));
    } else {
        // Strokes that do not scale, and those under uneven scales, are outlined in
        // device space at their own width.
        const QPainterPath device = world.map(line);
        outline = low ? penOutline(device, style, width, kCurveFlatness)
                      : QPainterPathStroker(pen).createStroke(device);
    }
    outline.setFillRule(Qt::WindingFill);
    return outline;
}

} // namespace velmora::swf
