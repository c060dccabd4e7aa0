// Aliased filling as the movies' own player does it at low quality. A pixel belongs
// to a fill when its centre lies inside the outline, decided exactly from corners held
// to the player's device grid (twips, then 1/256 pixel). QPainter's aliased fill first rounds every edge to
// 1/64 pixel, which moves pixels whose centres lie within a fraction of a twip of an edge to the wrong side;
// and it flattens curves more finely than the player did, so pixels along curves differ too.
#pragma once

#include <QPainterPath>
#include <QRect>
#include <QRegion>

#include <vector>

class QBrush;
class QPainter;

namespace velmora::swf {

// Pixels x0 <= x < x1 of row y.
struct Span {
    int y = 0, x0 = 0, x1 = 0;
    friend bool operator==(const Span &, const Span &) = default;
};

// Where the corners of an outline lie: shapes and glyphs on the device's twip grid and
// then its 1/256-pixel grid, where the player kept them (the glyphs of edit text fields
// rounded down to the twip, not to the nearest); the outlines of strokes where they fall (the player
// builds them on the device from the centre line).
enum class EdgeGrid { Twips, TwipsDown, Exact };

// How far the chords the centre line of a stroke is cut into may stray from it, in
// device pixels: 2.2 twips. (The outlines of fills measure their curves in whole twips
// against a limit of their own.)
constexpr double kCurveFlatness = 2.2 / 20;

// The spans of a device-space path within clip, row by row, each row from left to
// right. The path's fill rule applies; every subpath is closed. A pixel whose centre
// lies exactly on an edge goes to the area on its right, or below.
std::vector<Span> scanConvert(const QPainterPath &devicePath, const QRect &clip,
                              EdgeGrid grid = EdgeGrid::Twips);

// The pixels scanConvert gives, as a region: what a mask lets through at low quality.
QRegion aliasedRegion(const QPainterPath &devicePath, const QRect &clip, EdgeGrid grid = EdgeGrid::Twips);

// Fills a device-space path with brush on a painter whose transform is the identity.
void fillAliased(QPainter &painter, const QPainterPath &devicePath, const QBrush &brush,
                 EdgeGrid grid = EdgeGrid::Twips);

} // namespace velmora::swf
