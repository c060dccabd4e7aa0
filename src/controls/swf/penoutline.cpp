#include "controls/swf/penoutline.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <vector>

namespace velmora::swf {

namespace {

// Corners of the polygon that stands for the pen's circle, the first at angle 0.
constexpr int kRoundCorners = 32;
// A join that turns so little that a round one would reach no further than this
// past the bevel (device pixels) is drawn as the bevel, which costs three edges.
constexpr double kRoundNegligible = 1e-3;
// Pieces a curve of the centre line is cut into at most, however large.
constexpr int kMaxSteps = 256;

// The angle of the pieces a round join of the given radius is cut into: as wide as
// keeps each chord within `flatness` of the circle.
double arcStep(double radius, double flatness)
{
    return flatness >= radius ? std::numbers::pi : 2 * std::acos(1 - flatness / radius);
}

class PenBuilder {
public:
    PenBuilder(const LineStyle &style, double width, double flatness)
        : m_style(style), m_half(width / 2), m_joinStep(arcStep(m_half, flatness / 2))
    {
        m_out.setFillRule(Qt::WindingFill);
    }

    void addPolyline(const std::vector<QPointF> &points)
    {
        const bool closed = points.size() > 2 && points.front() == points.back();
        if (points.size() == 1) {
            if (m_style.startCap == Cap::Round)
                addRound(points.front());
            return;
        }
        const std::size_t last = points.size() - 1;
        for (std::size_t i = 0; i < last; ++i) {
            addBand(points[i], points[i + 1], !closed && i == 0 && m_style.startCap == Cap::Square,
                    !closed && i + 1 == last && m_style.endCap == Cap::Square);
        }
        for (std::size_t i = 1; i < last; ++i)
            addJoin(points[i - 1], points[i], points[i + 1]);
        if (closed) {
            addJoin(points[last - 1], points[0], points[1]);
            return;
        }
        if (m_style.startCap == Cap::Round)
            addRound(points.front());
        if (m_style.endCap == Cap::Round)
            addRound(points.back());
    }

    const QPainterPath &outline() const { return m_out; }

private:
    // Half the pen across the direction d.
    QPointF across(QPointF d) const
    {
        const double length = std::hypot(d.x(), d.y());
        return length > 0 ? QPointF(-d.y(), d.x()) * (m_half / length) : QPointF();
    }

    void addBand(QPointF from, QPointF to, bool squareStart, bool squareEnd)
    {
        const QPointF side = across(to - from);
        const QPointF along(side.y(), -side.x()); // half the pen along the piece
        if (squareStart)
            from -= along;
        if (squareEnd)
            to += along;
        addPolygon({from + side, to + side, to - side, from - side});
    }

    void addJoin(QPointF before, QPointF at, QPointF after)
    {
        const QPointF in = at - before, out = after - at;
        const double cross = in.x() * out.y() - in.y() * out.x();
        const double turn = std::abs(std::atan2(cross, in.x() * out.x() + in.y() * out.y()));
        // The outer corners of the two bands, on the side the line turns away from.
        const QPointF a = cross > 0 ? at - across(in) : at + across(in);
        const QPointF b = cross > 0 ? at - across(out) : at + across(out);
        if (m_style.join == Join::Round && m_half * (1 - std::cos(turn / 2)) >= kRoundNegligible) {
            addArc(at, a, b);
            return;
        }
        addPolygon({at, a, b});
        if (m_style.join != Join::Miter)
            return;
        const QPointF middle = (a + b) / 2 - at;
        const double reach = std::hypot(middle.x(), middle.y());
        if (reach <= 0)
            return;
        const double tip = m_half * m_half / reach; // from the corner to the miter's point
        if (tip <= m_style.miterLimit * m_half)
            addPolygon({a, at + middle * (tip / reach), b, at});
    }

    // A round join: the arc of the pen's circle from one band's outer corner to the
    // other's, cut into equal angles.
    void addArc(QPointF centre, QPointF from, QPointF to)
    {
        const QPointF a = from - centre, b = to - centre;
        const double sweep = std::atan2(a.x() * b.y() - a.y() * b.x(), a.x() * b.x() + a.y() * b.y());
        const double steps = std::ceil(std::abs(sweep) / m_joinStep - 1e-9);
        const int n = !(steps < kMaxSteps) ? kMaxSteps : std::max(1, static_cast<int>(steps));
        const double start = std::atan2(a.y(), a.x());
        std::vector<QPointF> corners = {centre, from};
        for (int k = 1; k < n; ++k) {
            const double angle = start + sweep * k / n;
            corners.push_back(centre + QPointF(std::cos(angle), std::sin(angle)) * m_half);
        }
        corners.push_back(to);
        addPolygon(std::move(corners));
    }

    void addRound(QPointF centre)
    {
        std::vector<QPointF> corners;
        corners.reserve(kRoundCorners);
        for (int i = 0; i < kRoundCorners; ++i) {
            const double angle = 2 * std::numbers::pi * i / kRoundCorners;
            corners.push_back(centre + QPointF(std::cos(angle), std::sin(angle)) * m_half);
        }
        addPolygon(std::move(corners));
    }

    // Every piece is added turning the same way, so that overlaps add up under the
    // winding rule instead of cancelling.
    void addPolygon(std::vector<QPointF> corners)
    {
        double area = 0;
        for (std::size_t i = 0; i < corners.size(); ++i) {
            const QPointF &p = corners[i], &q = corners[(i + 1) % corners.size()];
            area += p.x() * q.y() - q.x() * p.y();
        }
        if (area == 0)
            return;
        if (area < 0)
            std::reverse(corners.begin(), corners.end());
        m_out.moveTo(corners.front());
        for (std::size_t i = 1; i < corners.size(); ++i)
            m_out.lineTo(corners[i]);
        m_out.closeSubpath();
    }

    const LineStyle &m_style;
    double m_half;
    double m_joinStep; // radians
    QPainterPath m_out;
};

} // namespace

QPainterPath penOutline(const QPainterPath &line, const LineStyle &style, double width, double flatness)
{
    PenBuilder builder(style, width, flatness);
    std::vector<QPointF> points;
    auto add = [&points](QPointF p) {
        if (points.empty() || points.back() != p)
            points.push_back(p);
    };
    auto flush = [&]() {
        if (!points.empty())
            builder.addPolyline(points);
        points.clear();
    };
    for (int i = 0; i < line.elementCount(); ++i) {
        const QPainterPath::Element e = line.elementAt(i);
        if (e.type == QPainterPath::MoveToElement) {
            flush();
            add(e);
        } else if (e.type == QPainterPath::LineToElement) {
            add(e);
        } else if (e.type == QPainterPath::CurveToElement && i + 2 < line.elementCount()) {
            const QPointF from = points.empty() ? QPointF(e) : points.back();
            const QPointF c1 = e, to = line.elementAt(i + 2);
            i += 2;
            // The centre line's curves are cut as the fills' are: Qt keeps a quadratic
            // as a cubic, whose first control point gives the quadratic's back.
            const QPointF control = (3 * c1 - from) / 2;
            const QPointF bend = from - 2 * control + to;
            const double steps = std::ceil(std::sqrt(std::hypot(bend.x(), bend.y()) / 4 / flatness));
            const int n = !(steps < kMaxSteps) ? kMaxSteps : std::max(1, static_cast<int>(steps));
            for (int k = 1; k < n; ++k) {
                const double t = double(k) / n, u = 1 - t;
                add(u * u * from + 2 * t * u * control + t * t * to);
            }
            add(to);
        }
    }
    flush();
    return builder.outline();
}

} // namespace velmora::swf
