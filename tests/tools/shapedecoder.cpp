#include "shapedecoder.h"

#include "controls/swf/bitreader.h"
#include "controls/swf/shapereader.h"

#include <span>

namespace velmora::swfwriter::testing {

DecodedShape decodeShapeRecords(const QByteArray &bytes, bool alpha)
{
    // DefineShape3 reads RGBA colours; DefineShape2 RGB ones.
    const int shapeVersion = alpha ? 3 : 2;
    std::vector<swf::StyleSet> styleSets;
    std::vector<swf::ShapeRecord> records;
    try {
        swf::BitReader in(std::span(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                                    static_cast<std::size_t>(bytes.size())));
        styleSets.push_back(swf::readStyles(in, shapeVersion));
        records = swf::readShapeRecords(in, shapeVersion, styleSets);
    } catch (const std::runtime_error &) {
        return {};
    }
    DecodedShape shape;
    shape.layers = 1;
    QPoint at;
    std::uint32_t fill0 = 0, fill1 = 0, line = 0;
    for (const swf::ShapeRecord &r : records) {
        if (r.kind == swf::ShapeRecord::Kind::StyleChange) {
            if (r.hasMove)
                at = QPoint(r.move.x, r.move.y);
            fill0 = r.fill0 >= 0 ? static_cast<std::uint32_t>(r.fill0) : fill0;
            fill1 = r.fill1 >= 0 ? static_cast<std::uint32_t>(r.fill1) : fill1;
            line = r.line >= 0 ? static_cast<std::uint32_t>(r.line) : line;
            if (r.newStyles >= 0)
                ++shape.layers;
            if (r.hasMove)
                shape.contours.append({shape.layers - 1, at, fill0, fill1, line, {}});
            continue;
        }
        if (shape.contours.isEmpty())
            return {}; // an edge before any MoveTo: not something the writer does
        DecodedEdge e;
        e.curved = r.kind == swf::ShapeRecord::Kind::Curve;
        if (e.curved)
            e.control = at + QPoint(r.cdx, r.cdy);
        e.end = (e.curved ? e.control : at) + QPoint(r.dx, r.dy);
        at = e.end;
        shape.contours.last().edges.append(e);
    }
    shape.ok = true;
    return shape;
}

} // namespace velmora::swfwriter::testing
