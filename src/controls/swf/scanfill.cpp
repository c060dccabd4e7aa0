#include "controls/swf/scanfill.h"

#include "controls/swf/types.h"

#include <QBrush>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace velmora::swf {
namespace {

// The player held every corner to a device grid of 1/256 pixel, after rounding it to
// device twips: a sloped edge passing within a hundredth of a twip of a pixel centre
// falls on the side of it that the rounded corners give (the letters of the blend-mode
// movies lose or gain pixels there when the edges are taken exactly).
constexpr double kDeviceSteps = 256; // per pixel
// It cut a curve into equal parameter steps, as many as keep the distance between the
// curve and its chords within a limit (n steps divide a quadratic's bend by n²), and did
// both in whole twips: the bend (p0 - 2c + p2) / 4 rounded down, and each cut rounded to
// the twip before it went to the device grid. Fitted to the edge pixels of Flash-made
// reference images: a circle of eight 45° arcs (bends 79.2-79.9 twips) is cut into six
// steps each, a letter's corner with a bend of (4, -8) twips into three, one with (1, 7)
// into two, which holds for limits from 2.218 to 2.236 twips. (A traced photograph's
// thousands of small curves would rather have their cuts on a grid finer than twips,
// 1748 pixel channels amiss instead of 2225, but then a letter's curve in the blend-mode
// movies takes a pixel the player left out.)
constexpr double kFlatness = 2.225 / kTwipsPerPixel; // pixels
// A hostile curve spanning the 2^30-twip coordinate range still costs bounded work.
constexpr int kMaxCurveSteps = 256;

struct Segment {
    double x0, y0, x1, y1; // y0 < y1
    int winding;           // +1 downwards in the path's direction, -1 upwards
};

double length(QPointF v)
{
    return std::hypot(v.x(), v.y());
}

QPointF rounded(QPointF p)
{
    return {std::round(p.x()), std::round(p.y())};
}

// Whole twips, rounded to the nearest or (for edit text) down: a glyph of an edit text
// field whose stem ends three quarters of a twip past a pixel centre leaves that pixel
// out in the player's drawing.
QPointF wholeTwips(QPointF twips, EdgeGrid grid)
{
    if (grid == EdgeGrid::TwipsDown) {
        // Far below a twip, so that arithmetic landing just under a whole twip stays on it.
        constexpr double kSlack = 1e-6;
        return {std::floor(twips.x() + kSlack), std::floor(twips.y() + kSlack)};
    }
    return rounded(twips);
}

// Device twips of a device point.
QPointF inTwips(QPointF p, EdgeGrid grid = EdgeGrid::Twips)
{
    return wholeTwips(p * kTwipsPerPixel, grid);
}

QPointF onDeviceGrid(QPointF twips)
{
    return {std::round(twips.x() / kTwipsPerPixel * kDeviceSteps) / kDeviceSteps,
            std::round(twips.y() / kTwipsPerPixel * kDeviceSteps) / kDeviceSteps};
}

QPointF onTwipGrid(QPointF p, EdgeGrid grid = EdgeGrid::Twips)
{
    return onDeviceGrid(inTwips(p, grid));
}

// A quadratic's bend in whole twips, as the player measured it.
double bendInTwips(QPointF from, QPointF control, QPointF to)
{
    const QPointF fourfold = from - 2 * control + to;
    return length({std::floor(fourfold.x() / 4), std::floor(fourfold.y() / 4)});
}

// Exact corners are still held to a grid far below a twip, so that the rounding of
// their arithmetic (a pen's half width across a line) does not move an edge that lies
// on pixel centres off them.
QPointF onFineGrid(QPointF p)
{
    constexpr double kSteps = kTwipsPerPixel * 1024;
    return {std::round(p.x() * kSteps) / kSteps, std::round(p.y() * kSteps) / kSteps};
}

int stepsFor(double bend)
{
    const double steps = std::ceil(std::sqrt(bend / kFlatness));
    return steps >= kMaxCurveSteps ? kMaxCurveSteps : std::max(1, static_cast<int>(steps));
}

class Flattener {
public:
    Flattener(std::vector<Segment> &out, EdgeGrid grid) : m_out(out), m_grid(grid) {}

    void moveTo(QPointF exact)
    {
        close();
        m_start = m_last = snap(exact);
        m_lastExact = exact;
    }
    void lineTo(QPointF exact)
    {
        addEdge(snap(exact));
        m_lastExact = exact;
    }
    // Qt keeps quadratic curves as cubics; the player's curves are quadratics, cut by
    // their own bend, and only true cubics (round caps of strokes) by the cubic's. A
    // quadratic is cut in device twips from its corners and control point rounded to
    // them (rounding the control point to the device grid first would bend the curve),
    // and the cuts are rounded as the corners are; a cubic's cuts are put on the grid as
    // its corners are.
    void cubicTo(QPointF c1, QPointF c2, QPointF end)
    {
        const QPointF p0 = m_last, to = onTwipGrid(end, m_grid);
        const QPointF elevation = m_lastExact - 3 * c1 + 3 * c2 - end;
        const double size = length(end - m_lastExact) + length(c1 - m_lastExact) + length(c2 - end);
        if (length(elevation) <= 1e-9 * std::max(1.0, size)) {
            const QPointF from = inTwips(m_lastExact, m_grid),
                          control = inTwips((3 * c1 - m_lastExact) / 2, m_grid), far = inTwips(end, m_grid);
            const int n = stepsFor(bendInTwips(from, control, far) / kTwipsPerPixel);
            for (int i = 1; i < n; ++i) {
                const double t = double(i) / n, u = 1 - t;
                addEdge(onDeviceGrid(wholeTwips(u * u * from + 2 * t * u * control + t * t * far, m_grid)));
            }
        } else {
            const int n = stepsFor(0.75 * std::max(length(p0 - 2 * c1 + c2), length(c1 - 2 * c2 + to)));
            for (int i = 1; i < n; ++i) {
                const double t = double(i) / n, u = 1 - t;
                addEdge(onTwipGrid(u * u * u * p0 + 3 * u * u * t * c1 + 3 * u * t * t * c2 + t * t * t * to,
                                   m_grid));
            }
        }
        addEdge(to);
        m_lastExact = end;
    }
    void close() { addEdge(m_start); }

private:
    QPointF snap(QPointF exact) const
    {
        return m_grid == EdgeGrid::Exact ? onFineGrid(exact) : onTwipGrid(exact, m_grid);
    }

    // p is on the grid.
    void addEdge(QPointF p)
    {
        if (p.y() != m_last.y()) {
            if (p.y() > m_last.y())
                m_out.push_back({m_last.x(), m_last.y(), p.x(), p.y(), 1});
            else
                m_out.push_back({p.x(), p.y(), m_last.x(), m_last.y(), -1});
        }
        m_last = p;
    }

    std::vector<Segment> &m_out;
    EdgeGrid m_grid;
    QPointF m_start, m_last, m_lastExact;
};

std::vector<Segment> segmentsOf(const QPainterPath &path, EdgeGrid grid)
{
    std::vector<Segment> segments;
    segments.reserve(static_cast<std::size_t>(path.elementCount()));
    Flattener flattener(segments, grid);
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            flattener.moveTo(e);
            break;
        case QPainterPath::LineToElement:
            flattener.lineTo(e);
            break;
        case QPainterPath::CurveToElement:
            if (i + 2 < path.elementCount()) {
                flattener.cubicTo(e, path.elementAt(i + 1), path.elementAt(i + 2));
                i += 2;
            }
            break;
        case QPainterPath::CurveToDataElement:
            break;
        }
    }
    flattener.close();
    return segments;
}

} // namespace

std::vector<Span> scanConvert(const QPainterPath &devicePath, const QRect &clip, EdgeGrid grid)
{
    std::vector<Span> spans;
    if (clip.isEmpty())
        return spans;
    std::vector<Segment> segments = segmentsOf(devicePath, grid);
    if (segments.empty())
        return spans;
    std::sort(segments.begin(), segments.end(),
              [](const Segment &a, const Segment &b) { return a.y0 < b.y0; });
    double bottom = segments.front().y1;
    for (const Segment &s : segments)
        bottom = std::max(bottom, s.y1);

    const bool winding = devicePath.fillRule() == Qt::WindingFill;
    // Rows whose centre y + 0.5 lies in [top edge, bottom edge) of an edge see it.
    // Held to the clip as doubles: a hostile movie's coordinates lie far outside an int.
    const auto rowIn = [&clip](double y) {
        return static_cast<int>(
            std::clamp(std::ceil(y - 0.5), double(clip.top()), double(clip.bottom() + 1)));
    };
    const int firstRow = rowIn(segments.front().y0);
    const int endRow = rowIn(bottom);
    std::vector<const Segment *> active;
    std::vector<std::pair<double, int>> crossings;
    std::size_t next = 0;
    for (int row = firstRow; row < endRow; ++row) {
        const double y = row + 0.5;
        while (next < segments.size() && segments[next].y0 <= y)
            active.push_back(&segments[next++]);
        std::erase_if(active, [y](const Segment *s) { return s->y1 <= y; });
        crossings.clear();
        for (const Segment *s : active)
            crossings.emplace_back(s->x0 + (y - s->y0) * (s->x1 - s->x0) / (s->y1 - s->y0), s->winding);
        std::sort(crossings.begin(), crossings.end());
        int count = 0;
        for (std::size_t i = 0; i + 1 < crossings.size(); ++i) {
            count += winding ? crossings[i].second : 1;
            if (winding ? count == 0 : count % 2 == 0)
                continue;
            // Pixel x is inside when crossing[i] <= x + 0.5 < crossing[i + 1].
            const double left = std::ceil(crossings[i].first - 0.5);
            const double right = std::ceil(crossings[i + 1].first - 0.5);
            const int x0 = static_cast<int>(std::clamp(left, double(clip.left()), double(clip.right() + 1)));
            const int x1 = static_cast<int>(std::clamp(right, double(clip.left()), double(clip.right() + 1)));
            if (x0 >= x1)
                continue;
            if (!spans.empty() && spans.back().y == row && spans.back().x1 == x0)
                spans.back().x1 = x1;
            else
                spans.push_back({row, x0, x1});
        }
    }
    return spans;
}

namespace {

// Rows with the same span make one rectangle: the common case of the straight sides
// of a shape.
template <typename Visit> void forEachRect(const std::vector<Span> &spans, Visit visit)
{
    for (std::size_t i = 0; i < spans.size();) {
        std::size_t j = i + 1;
        while (j < spans.size() && spans[j].y == spans[j - 1].y + 1 && spans[j].x0 == spans[i].x0 &&
               spans[j].x1 == spans[i].x1)
            ++j;
        visit(QRect(spans[i].x0, spans[i].y, spans[i].x1 - spans[i].x0, static_cast<int>(j - i)));
        i = j;
    }
}

} // namespace

QRegion aliasedRegion(const QPainterPath &devicePath, const QRect &clip, EdgeGrid grid)
{
    // One rectangle per span: spans come row by row, left to right, apart, the order
    // QRegion::setRects asks for.
    std::vector<QRect> rects;
    for (const Span &span : scanConvert(devicePath, clip, grid))
        rects.emplace_back(span.x0, span.y, span.x1 - span.x0, 1);
    QRegion region;
    region.setRects(rects.data(), static_cast<int>(rects.size()));
    return region;
}

void fillAliased(QPainter &painter, const QPainterPath &devicePath, const QBrush &brush, EdgeGrid grid)
{
    const QRect device(0, 0, painter.device()->width(), painter.device()->height());
    forEachRect(scanConvert(devicePath, device, grid),
                [&painter, &brush](const QRect &r) { painter.fillRect(r, brush); });
}

} // namespace velmora::swf
