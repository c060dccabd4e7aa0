#include "shapedecoder.h"

namespace velmora::swfwriter::testing {

namespace {

void skipMatrix(BitReader &in)
{
    if (in.readUB(1)) {
        const int n = static_cast<int>(in.readUB(5));
        in.readUB(2 * n);
    }
    if (in.readUB(1)) {
        const int n = static_cast<int>(in.readUB(5));
        in.readUB(2 * n);
    }
    const int n = static_cast<int>(in.readUB(5));
    in.readUB(2 * n);
    in.align();
}

void skipStyles(BitReader &in, bool alpha)
{
    const int colour = alpha ? 4 : 3;
    const int fills = in.readU8();
    for (int i = 0; i < fills; ++i) {
        const int type = in.readU8();
        if (type == 0x00) {
            for (int c = 0; c < colour; ++c)
                in.readU8();
            continue;
        }
        skipMatrix(in);
        in.readUB(4);
        const int stops = static_cast<int>(in.readUB(4));
        for (int s = 0; s < stops; ++s)
            for (int c = 0; c < 1 + colour; ++c)
                in.readU8();
    }
    const int lines = in.readU8();
    for (int i = 0; i < lines; ++i) {
        in.readU16();
        for (int c = 0; c < colour; ++c)
            in.readU8();
    }
}

} // namespace

DecodedShape decodeShapeRecords(const QByteArray &bytes, bool alpha)
{
    DecodedShape shape;
    BitReader in(bytes);
    skipStyles(in, alpha);
    int fillBits = static_cast<int>(in.readUB(4));
    int lineBits = static_cast<int>(in.readUB(4));
    shape.layers = 1;
    QPoint at;
    std::uint32_t fill0 = 0, fill1 = 0, line = 0;
    for (int guard = 0; guard < 100000 && !in.overrun(); ++guard) {
        if (in.readUB(1) == 0) {
            const std::uint32_t flags = in.readUB(5);
            if (flags == 0) {
                shape.ok = !in.overrun();
                return shape;
            }
            if (flags & 0x01) {
                const int n = static_cast<int>(in.readUB(5));
                at = QPoint(in.readSB(n), in.readSB(n));
            }
            if (flags & 0x02)
                fill0 = in.readUB(fillBits);
            if (flags & 0x04)
                fill1 = in.readUB(fillBits);
            if (flags & 0x08)
                line = in.readUB(lineBits);
            if (flags & 0x10) {
                skipStyles(in, alpha);
                fillBits = static_cast<int>(in.readUB(4));
                lineBits = static_cast<int>(in.readUB(4));
                ++shape.layers;
            }
            if (flags & 0x01)
                shape.contours.append({shape.layers - 1, at, fill0, fill1, line, {}});
            continue;
        }
        if (shape.contours.isEmpty())
            return shape; // an edge before any MoveTo: not something the writer does
        const bool straight = in.readUB(1);
        const int n = static_cast<int>(in.readUB(4)) + 2;
        DecodedEdge e;
        if (straight) {
            QPoint d;
            if (in.readUB(1)) {
                d.setX(in.readSB(n));
                d.setY(in.readSB(n));
            } else if (in.readUB(1)) {
                d.setY(in.readSB(n));
            } else {
                d.setX(in.readSB(n));
            }
            e.end = at + d;
        } else {
            e.curved = true;
            e.control = at + QPoint(in.readSB(n), in.readSB(n));
            e.end = e.control + QPoint(in.readSB(n), in.readSB(n));
        }
        at = e.end;
        shape.contours.last().edges.append(e);
    }
    return shape;
}

} // namespace velmora::swfwriter::testing
