// Shape tags from QPainterPaths: fill and line styles, and the edge records of each outline.
//
// Each contour is one run of edges. Its fill is put on the side where the inside lies, as a
// player that joins edges per fill style expects: fill1 on the right of the direction of
// travel (y grows downwards), fill0 on the left. Holes have the fill outside them.
#include "swfwriter.h"

#include <QFont>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace velmora::swfwriter {

namespace {

// A quadratic approximation is accepted when it strays from the cubic by at most this much.
constexpr qreal kCurveToleranceTwips = 1.0;
// Splitting a cubic stops here whatever the error (2^8 pieces at most).
constexpr int kMaxCurveSplits = 8;
// Edge deltas are stored in at most 17 bits; longer edges are cut in halves.
constexpr qreal kMaxEdgeDelta = 65535.0;

struct Segment {
    bool curved = false;
    QPointF control;
    QPointF end;
};

struct Contour {
    QPointF start;
    QList<Segment> segments;
};

QPointF mid(QPointF a, QPointF b)
{
    return (a + b) / 2;
}

void appendLine(Contour &c, QPointF from, QPointF to, int depth = 0)
{
    const QPointF d = to - from;
    if (depth < 16 && (std::abs(d.x()) > kMaxEdgeDelta || std::abs(d.y()) > kMaxEdgeDelta)) {
        appendLine(c, from, mid(from, to), depth + 1);
        appendLine(c, mid(from, to), to, depth + 1);
        return;
    }
    c.segments.append({false, {}, to});
}

void appendQuad(Contour &c, QPointF p0, QPointF p1, QPointF p2, int depth = 0)
{
    const qreal span = std::max({std::abs(p1.x() - p0.x()), std::abs(p1.y() - p0.y()),
                                 std::abs(p2.x() - p1.x()), std::abs(p2.y() - p1.y())});
    if (depth < 16 && span > kMaxEdgeDelta) {
        const QPointF a = mid(p0, p1), b = mid(p1, p2), m = mid(a, b);
        appendQuad(c, p0, a, m, depth + 1);
        appendQuad(c, m, b, p2, depth + 1);
        return;
    }
    c.segments.append({true, p1, p2});
}

// Cubic to quadratics: one quadratic with control (3(c1 + c2) - p0 - p3) / 4 is off by at most
// sqrt(3)/36 * |p3 - 3 c2 + 3 c1 - p0|; halve the cubic until that is small enough.
void appendCubic(Contour &c, QPointF p0, QPointF c1, QPointF c2, QPointF p3, int depth = 0)
{
    const QPointF e = p3 - 3 * c2 + 3 * c1 - p0;
    const qreal error = std::sqrt(3.0) / 36.0 * std::hypot(e.x(), e.y());
    if (error <= kCurveToleranceTwips || depth >= kMaxCurveSplits) {
        appendQuad(c, p0, (3 * (c1 + c2) - p0 - p3) / 4, p3);
        return;
    }
    const QPointF a = mid(p0, c1), b = mid(c1, c2), d = mid(c2, p3);
    const QPointF ab = mid(a, b), bd = mid(b, d), m = mid(ab, bd);
    appendCubic(c, p0, a, ab, m, depth + 1);
    appendCubic(c, m, bd, d, p3, depth + 1);
}

QList<Contour> contoursOf(const QPainterPath &path)
{
    QList<Contour> contours;
    QPointF current;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const QPointF p(e.x, e.y);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            contours.append({p, {}});
            break;
        case QPainterPath::LineToElement:
            if (contours.isEmpty())
                contours.append({current, {}});
            appendLine(contours.last(), current, p);
            break;
        case QPainterPath::CurveToElement: {
            if (i + 2 >= path.elementCount())
                return contours; // a cubic needs two more points; QPainterPath always has them
            const QPainterPath::Element e1 = path.elementAt(i + 1), e2 = path.elementAt(i + 2);
            if (contours.isEmpty())
                contours.append({current, {}});
            appendCubic(contours.last(), current, p, QPointF(e1.x, e1.y), QPointF(e2.x, e2.y));
            i += 2;
            current = QPointF(e2.x, e2.y);
            continue;
        }
        case QPainterPath::CurveToDataElement:
            break; // consumed with its CurveToElement
        }
        current = p;
    }
    return contours;
}

QPoint rounded(QPointF p)
{
    return {static_cast<int>(std::lround(p.x())), static_cast<int>(std::lround(p.y()))};
}

// A contour as whole-twip points; edges that round to nothing are dropped.
struct IntSegment {
    bool curved;
    QPoint control;
    QPoint end;
};

struct IntContour {
    QPoint start;
    QList<IntSegment> segments;
    QPolygonF outline; // for orientation and nesting
};

IntContour roundContour(const Contour &c, bool close)
{
    IntContour out;
    out.start = rounded(c.start);
    out.outline << out.start;
    QPoint at = out.start;
    for (const Segment &s : c.segments) {
        const QPoint end = rounded(s.end);
        if (s.curved) {
            const QPoint control = rounded(s.control);
            if (end == at && control == at)
                continue;
            out.segments.append({true, control, end});
            out.outline << mid(mid(at, control), mid(control, end)) << end;
        } else {
            if (end == at)
                continue;
            out.segments.append({false, {}, end});
            out.outline << end;
        }
        at = end;
    }
    if (close && at != out.start && !out.segments.isEmpty()) {
        out.segments.append({false, {}, out.start});
        out.outline << out.start;
    }
    return out;
}

// Twice the signed area; positive for a contour that runs clockwise on screen (y down).
qreal signedArea(const QPolygonF &poly)
{
    qreal sum = 0;
    for (qsizetype i = 0; i + 1 < poly.size(); ++i)
        sum += poly[i].x() * poly[i + 1].y() - poly[i + 1].x() * poly[i].y();
    if (!poly.isEmpty())
        sum += poly.last().x() * poly.first().y() - poly.first().x() * poly.last().y();
    return sum;
}

void writeColor(BitWriter &out, const QColor &color, bool withAlpha)
{
    out.writeU8(static_cast<std::uint8_t>(color.red()));
    out.writeU8(static_cast<std::uint8_t>(color.green()));
    out.writeU8(static_cast<std::uint8_t>(color.blue()));
    if (withAlpha)
        out.writeU8(static_cast<std::uint8_t>(color.alpha()));
}

void writeFillStyles(BitWriter &out, const std::optional<Fill> &fill, bool withAlpha)
{
    out.writeU8(fill ? 1 : 0);
    if (!fill)
        return;
    switch (fill->type) {
    case Fill::Type::Solid:
        out.writeU8(swf::raw(swf::FillStyleType::Solid));
        writeColor(out, fill->color, withAlpha);
        return;
    case Fill::Type::Linear:
    case Fill::Type::Radial:
        break;
    }
    out.writeU8(swf::raw(fill->type == Fill::Type::Linear ? swf::FillStyleType::LinearGradient
                                                          : swf::FillStyleType::RadialGradient));
    writeMatrix(out, fill->gradientMatrix);
    const auto count = static_cast<int>(std::min<qsizetype>(fill->stops.size(), 15));
    out.writeUB(static_cast<std::uint32_t>(fill->spread), 2);
    out.writeUB(0, 2); // normal (sRGB) interpolation
    out.writeUB(static_cast<std::uint32_t>(count), 4);
    for (int i = 0; i < count; ++i) {
        const auto &stop = fill->stops[i];
        out.writeU8(static_cast<std::uint8_t>(std::clamp<long>(std::lround(stop.first * 255.0), 0, 255)));
        writeColor(out, stop.second, withAlpha);
    }
}

void writeLineStyles(BitWriter &out, const std::optional<LineStyle> &line, bool withAlpha)
{
    out.writeU8(line ? 1 : 0);
    if (!line)
        return;
    out.writeU16(line->widthTwips);
    writeColor(out, line->color, withAlpha);
}

void writeEdge(BitWriter &out, QPoint from, const IntSegment &s)
{
    if (s.curved) {
        const QPoint c = s.control - from, a = s.end - s.control;
        const int bits = std::max({BitWriter::bitsForSigned(c.x()), BitWriter::bitsForSigned(c.y()),
                                   BitWriter::bitsForSigned(a.x()), BitWriter::bitsForSigned(a.y()), 2});
        out.writeUB(0b10, 2);
        out.writeUB(static_cast<std::uint32_t>(bits - 2), 4);
        out.writeSB(c.x(), bits);
        out.writeSB(c.y(), bits);
        out.writeSB(a.x(), bits);
        out.writeSB(a.y(), bits);
        return;
    }
    const QPoint d = s.end - from;
    out.writeUB(0b11, 2);
    if (d.x() != 0 && d.y() != 0) {
        const int bits = std::max({BitWriter::bitsForSigned(d.x()), BitWriter::bitsForSigned(d.y()), 2});
        out.writeUB(static_cast<std::uint32_t>(bits - 2), 4);
        out.writeUB(1, 1); // general line
        out.writeSB(d.x(), bits);
        out.writeSB(d.y(), bits);
    } else {
        const int value = d.x() != 0 ? d.x() : d.y();
        const int bits = std::max(BitWriter::bitsForSigned(value), 2);
        out.writeUB(static_cast<std::uint32_t>(bits - 2), 4);
        out.writeUB(0, 1);
        out.writeUB(d.x() != 0 ? 0 : 1, 1); // vertical?
        out.writeSB(value, bits);
    }
}

struct StyleChange {
    std::optional<QPoint> moveTo;
    std::optional<quint32> fill0, fill1, line;
};

void writeStyleChange(BitWriter &out, const StyleChange &sc, int fillBits, int lineBits)
{
    out.writeUB(0, 1);
    out.writeUB(0, 1); // new styles go in a record of their own
    out.writeUB(sc.line ? 1 : 0, 1);
    out.writeUB(sc.fill1 ? 1 : 0, 1);
    out.writeUB(sc.fill0 ? 1 : 0, 1);
    out.writeUB(sc.moveTo ? 1 : 0, 1);
    if (sc.moveTo) {
        const int bits =
            std::max(BitWriter::bitsForSigned(sc.moveTo->x()), BitWriter::bitsForSigned(sc.moveTo->y()));
        out.writeUB(static_cast<std::uint32_t>(bits), 5);
        out.writeSB(sc.moveTo->x(), bits);
        out.writeSB(sc.moveTo->y(), bits);
    }
    if (sc.fill0)
        out.writeUB(*sc.fill0, fillBits);
    if (sc.fill1)
        out.writeUB(*sc.fill1, fillBits);
    if (sc.line)
        out.writeUB(*sc.line, lineBits);
}

QList<IntContour> prepareLayer(const ShapeLayer &layer)
{
    QPainterPath path = layer.path;
    // Edges carry no fill rule; overlapping contours filled by winding are merged first so that
    // an even-odd reading gives the same picture.
    if (layer.fill && path.fillRule() == Qt::WindingFill)
        path = path.simplified();
    QList<IntContour> contours;
    for (const Contour &c : contoursOf(path)) {
        IntContour ic = roundContour(c, layer.fill.has_value());
        if (!ic.segments.isEmpty())
            contours.append(std::move(ic));
    }
    return contours;
}

} // namespace

Fill Fill::solid(const QColor &color)
{
    Fill f;
    f.color = color;
    return f;
}

Fill Fill::linear(QPointF start, QPointF end, const QGradientStops &stops)
{
    Fill f;
    f.type = Type::Linear;
    f.stops = stops;
    const QPointF d = (end - start) / 32768.0;
    const QPointF m = mid(start, end);
    // The gradient's x axis from -16384 to 16384 becomes the line from start to end.
    f.gradientMatrix = QTransform(d.x(), d.y(), -d.y(), d.x(), m.x(), m.y());
    return f;
}

Fill Fill::radial(QPointF centre, qreal radius, const QGradientStops &stops)
{
    Fill f;
    f.type = Type::Radial;
    f.stops = stops;
    const qreal s = radius / 16384.0;
    f.gradientMatrix = QTransform(s, 0, 0, s, centre.x(), centre.y());
    return f;
}

bool Fill::hasAlpha() const
{
    if (type == Type::Solid)
        return color.alpha() != 255;
    return std::any_of(stops.begin(), stops.end(), [](const auto &s) { return s.second.alpha() != 255; });
}

QRect shapeBounds(const QList<ShapeLayer> &layers)
{
    QRectF box;
    int widest = 0;
    for (const ShapeLayer &l : layers) {
        box = box.united(l.path.boundingRect());
        if (l.line)
            widest = std::max<int>(widest, l.line->widthTwips);
    }
    const qreal half = widest / 2.0;
    box.adjust(-half, -half, half, half);
    const int left = static_cast<int>(std::floor(box.left())), top = static_cast<int>(std::floor(box.top()));
    const int right = static_cast<int>(std::ceil(box.right())),
              bottom = static_cast<int>(std::ceil(box.bottom()));
    return QRect(left, top, right - left, bottom - top);
}

QByteArray encodeShapeRecords(const QList<ShapeLayer> &layers, ShapeVersion version)
{
    const bool withAlpha = version == ShapeVersion::Shape3;
    BitWriter out;
    int fillBits = 0, lineBits = 0;
    for (qsizetype li = 0; li < layers.size(); ++li) {
        const ShapeLayer &layer = layers[li];
        if (li > 0) {
            // A record with only the new style arrays; the next record uses their bit counts.
            out.writeUB(0, 1);
            out.writeUB(1, 1);
            out.writeUB(0, 4);
        }
        writeFillStyles(out, layer.fill, withAlpha);
        writeLineStyles(out, layer.line, withAlpha);
        fillBits = layer.fill ? 1 : 0;
        lineBits = layer.line ? 1 : 0;
        out.writeUB(static_cast<std::uint32_t>(fillBits), 4);
        out.writeUB(static_cast<std::uint32_t>(lineBits), 4);

        const QList<IntContour> contours = prepareLayer(layer);
        for (qsizetype ci = 0; ci < contours.size(); ++ci) {
            const IntContour &c = contours[ci];
            StyleChange sc;
            sc.moveTo = c.start;
            if (layer.fill) {
                int depth = 0;
                const QPointF probe = c.outline.first();
                for (qsizetype other = 0; other < contours.size(); ++other)
                    if (other != ci && contours[other].outline.containsPoint(probe, Qt::OddEvenFill))
                        ++depth;
                const bool clockwise = signedArea(c.outline) > 0;
                const bool insideOnRight = clockwise != (depth % 2 == 1);
                sc.fill0 = insideOnRight ? 0 : 1;
                sc.fill1 = insideOnRight ? 1 : 0;
            }
            if (ci == 0 && layer.line)
                sc.line = 1;
            if (ci == 0 && li > 0) {
                // After new style arrays every index is set again, unused ones to 0.
                sc.line = layer.line ? 1 : 0;
                if (!layer.fill)
                    sc.fill0 = sc.fill1 = 0;
            }
            writeStyleChange(out, sc, fillBits, lineBits);
            QPoint at = c.start;
            for (const IntSegment &s : c.segments) {
                writeEdge(out, at, s);
                at = s.end;
            }
        }
    }
    out.writeUB(0, 6); // end of shape
    out.align();
    return out.bytes();
}

QPainterPath textOutline(const QString &text, const QFont &font, QPointF originTwips)
{
    QFont unhinted = font;
    unhinted.setHintingPreference(QFont::PreferNoHinting);
    unhinted.setKerning(true);
    QPainterPath path;
    path.addText(0, 0, unhinted, text);
    QTransform toTwips;
    toTwips.translate(originTwips.x(), originTwips.y());
    toTwips.scale(kTwipsPerPixel, kTwipsPerPixel);
    return toTwips.map(path);
}

QPainterPath fittedTextOutline(const QString &text, const QFont &font, const QRectF &boxTwips,
                               qreal marginTwips)
{
    const QPainterPath outline = textOutline(text, font);
    const QRectF bounds = outline.boundingRect();
    const QRectF room = boxTwips.adjusted(marginTwips, marginTwips, -marginTwips, -marginTwips);
    if (bounds.isEmpty() || room.width() <= 0 || room.height() <= 0)
        return {};
    const qreal scale = std::min(room.width() / bounds.width(), room.height() / bounds.height());
    QTransform fit;
    fit.translate(room.center().x(), room.center().y());
    fit.scale(scale, scale);
    fit.translate(-bounds.center().x(), -bounds.center().y());
    return fit.map(outline);
}

} // namespace velmora::swfwriter
