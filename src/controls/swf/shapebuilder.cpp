// Edge soup to closed contours. Each edge has the fill0 style on its left and fill1
// on its right; reversing the fill0 edges gives every style its region on the right
// of all its edges, so walking edges end to start traces closed outlines.
#include "controls/swf/shapereader.h"

#include <unordered_map>

namespace velmora::swf {

namespace {

struct DirectedEdge {
    Point from;
    Edge edge;
};

std::uint64_t key(Point p)
{
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(p.x)) << 32) |
           static_cast<std::uint32_t>(p.y);
}

// Chains a style's directed edges into contours: from each unused edge, follow an
// unused edge that starts where the previous one ended until the loop closes.
std::vector<Contour> traceContours(const std::vector<DirectedEdge> &edges)
{
    std::unordered_map<std::uint64_t, std::vector<std::size_t>> byStart;
    byStart.reserve(edges.size());
    for (std::size_t i = edges.size(); i-- > 0;)
        byStart[key(edges[i].from)].push_back(i);
    std::vector<bool> used(edges.size(), false);
    std::vector<Contour> contours;
    for (std::size_t first = 0; first < edges.size(); ++first) {
        if (used[first])
            continue;
        Contour c;
        c.start = edges[first].from;
        std::size_t current = first;
        for (;;) {
            used[current] = true;
            c.edges.push_back(edges[current].edge);
            Point at = edges[current].edge.to;
            if (at == c.start)
                break;
            auto it = byStart.find(key(at));
            if (it == byStart.end())
                break;
            auto &candidates = it->second;
            while (!candidates.empty() && used[candidates.back()])
                candidates.pop_back();
            if (candidates.empty())
                break;
            current = candidates.back();
            candidates.pop_back();
        }
        contours.push_back(std::move(c));
    }
    return contours;
}

class Builder {
public:
    Builder(const std::vector<StyleSet> &sets, bool winding) : m_sets(sets)
    {
        m_geometry.windingFill = winding;
    }

    ShapeGeometry run(const std::vector<ShapeRecord> &records)
    {
        startLayer(0);
        Point pen;
        for (const ShapeRecord &r : records) {
            switch (r.kind) {
            case ShapeRecord::Kind::StyleChange:
                if (r.newStyles >= 0) {
                    flushStroke();
                    finishLayer();
                    startLayer(static_cast<std::size_t>(r.newStyles));
                    m_fill0 = m_fill1 = m_line = 0;
                }
                if (r.fill0 >= 0)
                    m_fill0 = validFill(r.fill0);
                if (r.fill1 >= 0)
                    m_fill1 = validFill(r.fill1);
                if (r.line >= 0 && validLine(r.line) != m_line) {
                    flushStroke();
                    m_line = validLine(r.line);
                }
                if (r.hasMove) {
                    flushStroke();
                    pen = r.move;
                }
                break;
            case ShapeRecord::Kind::Line:
            case ShapeRecord::Kind::Curve: {
                Edge e;
                e.curve = r.kind == ShapeRecord::Kind::Curve;
                if (e.curve) {
                    e.control = {addTwips(pen.x, r.cdx), addTwips(pen.y, r.cdy)};
                    e.to = {addTwips(e.control.x, r.dx), addTwips(e.control.y, r.dy)};
                } else {
                    e.to = {addTwips(pen.x, r.dx), addTwips(pen.y, r.dy)};
                }
                addEdge(pen, e);
                pen = e.to;
                break;
            }
            }
        }
        flushStroke();
        finishLayer();
        return std::move(m_geometry);
    }

private:
    int validFill(int index) const { return index <= static_cast<int>(m_set->fills.size()) ? index : 0; }
    int validLine(int index) const { return index <= static_cast<int>(m_set->lines.size()) ? index : 0; }

    void startLayer(std::size_t set)
    {
        static const StyleSet empty;
        m_set = set < m_sets.size() ? &m_sets[set] : &empty;
        m_fillEdges.assign(m_set->fills.size() + 1, {});
        m_strokes.assign(m_set->lines.size() + 1, {});
    }

    void addEdge(Point from, const Edge &e)
    {
        if (m_fill1 > 0)
            m_fillEdges[static_cast<std::size_t>(m_fill1)].push_back({from, e});
        if (m_fill0 > 0) {
            Edge reversed = e;
            reversed.to = from;
            m_fillEdges[static_cast<std::size_t>(m_fill0)].push_back({e.to, reversed});
        }
        if (m_line > 0) {
            if (!m_stroke)
                m_stroke = Contour{from, {}};
            m_stroke->edges.push_back(e);
        }
    }

    void flushStroke()
    {
        if (m_stroke && m_line > 0)
            m_strokes[static_cast<std::size_t>(m_line)].push_back(std::move(*m_stroke));
        m_stroke.reset();
    }

    void finishLayer()
    {
        ShapeGeometry::Layer layer;
        for (std::size_t i = 1; i < m_fillEdges.size(); ++i) {
            if (!m_fillEdges[i].empty())
                layer.fills.push_back({m_set->fills[i - 1], traceContours(m_fillEdges[i])});
        }
        for (std::size_t i = 1; i < m_strokes.size(); ++i) {
            if (!m_strokes[i].empty())
                layer.strokes.push_back({m_set->lines[i - 1], std::move(m_strokes[i])});
        }
        if (!layer.fills.empty() || !layer.strokes.empty())
            m_geometry.layers.push_back(std::move(layer));
    }

    const std::vector<StyleSet> &m_sets;
    const StyleSet *m_set = nullptr;
    ShapeGeometry m_geometry;
    std::vector<std::vector<DirectedEdge>> m_fillEdges;
    std::vector<std::vector<Contour>> m_strokes;
    std::optional<Contour> m_stroke;
    int m_fill0 = 0, m_fill1 = 0, m_line = 0;
};

} // namespace

ShapeGeometry buildGeometry(const std::vector<ShapeRecord> &records, const std::vector<StyleSet> &styleSets,
                            bool windingFill)
{
    return Builder(styleSets, windingFill).run(records);
}

} // namespace velmora::swf
