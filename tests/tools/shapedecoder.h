// The shape records the writer emits, read back by the movie engine's own shape reader
// and laid out as contours with absolute points, so tests can check geometry and fill
// sides without the player.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPoint>

#include <cstdint>

namespace velmora::swfwriter::testing {

struct DecodedEdge {
    bool curved = false;
    QPoint control; // absolute
    QPoint end;     // absolute
};

struct DecodedContour {
    int layer = 0;
    QPoint start;
    std::uint32_t fill0 = 0, fill1 = 0, line = 0;
    QList<DecodedEdge> edges;
};

struct DecodedShape {
    QList<DecodedContour> contours;
    int layers = 0;
    bool ok = false;
};

// Reads style arrays and records as written by encodeShapeRecords (`alpha`: RGBA colours).
DecodedShape decodeShapeRecords(const QByteArray &bytes, bool alpha);

} // namespace velmora::swfwriter::testing
