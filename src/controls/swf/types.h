// Plain value types of the movie model: twips geometry, matrices, colours, colour
// transforms, fill and line styles. Nothing here knows how to draw.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace velmora::swf {

// A movie twip is a twentieth of the movie's pixel; every coordinate in a movie is in
// movie twips (the window's twips, 15 to a pixel, are kWindowTwipsPerPixel).
constexpr double kTwipsPerPixel = 20.0;

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
    friend bool operator==(const Rgba &, const Rgba &) = default;
};

// The format's rectangle: its edges in movie twips.
struct TwipsRect {
    std::int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    std::int32_t width() const { return xMax - xMin; }
    std::int32_t height() const { return yMax - yMin; }
};

// x' = a·x + c·y + tx, y' = b·x + d·y + ty (translation in twips).
struct Matrix {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    // this ∘ inner: first inner, then this.
    Matrix operator*(const Matrix &inner) const
    {
        return {a * inner.a + c * inner.b,        b * inner.a + d * inner.b,
                a * inner.c + c * inner.d,        b * inner.c + d * inner.d,
                a * inner.tx + c * inner.ty + tx, b * inner.tx + d * inner.ty + ty};
    }
    friend bool operator==(const Matrix &, const Matrix &) = default;
};

// Per channel: clamp(c·mult + add) with mult 1.0 = 256/256; multiply first.
struct ColorTransform {
    double rMul = 1, gMul = 1, bMul = 1, aMul = 1;
    double rAdd = 0, gAdd = 0, bAdd = 0, aAdd = 0;

    bool isIdentity() const
    {
        return rMul == 1 && gMul == 1 && bMul == 1 && aMul == 1 && rAdd == 0 && gAdd == 0 && bAdd == 0 &&
               aAdd == 0;
    }
    Rgba apply(Rgba c) const
    {
        auto ch = [](double v, double mul, double add) {
            return static_cast<std::uint8_t>(std::clamp(v * mul + add, 0.0, 255.0));
        };
        return {ch(c.r, rMul, rAdd), ch(c.g, gMul, gAdd), ch(c.b, bMul, bAdd), ch(c.a, aMul, aAdd)};
    }
    // this ∘ inner: the inner transform is applied first.
    ColorTransform operator*(const ColorTransform &inner) const
    {
        return {rMul * inner.rMul,        gMul * inner.gMul,        bMul * inner.bMul,
                aMul * inner.aMul,        inner.rAdd * rMul + rAdd, inner.gAdd * gMul + gAdd,
                inner.bAdd * bMul + bAdd, inner.aAdd * aMul + aAdd};
    }
    friend bool operator==(const ColorTransform &, const ColorTransform &) = default;
};

struct GradientStop {
    std::uint8_t ratio = 0;
    Rgba color;
    friend bool operator==(const GradientStop &, const GradientStop &) = default;
};

enum class Spread { Pad, Reflect, Repeat };

struct Gradient {
    Matrix matrix;
    Spread spread = Spread::Pad;
    bool linearRgb = false;
    double focal = 0; // focal point on the x axis, -1..1
    std::vector<GradientStop> stops;
    friend bool operator==(const Gradient &, const Gradient &) = default;
};

struct FillStyle {
    enum class Type { Solid, Linear, Radial, Focal, Bitmap };
    Type type = Type::Solid;
    Rgba color;
    Gradient gradient;
    std::uint16_t bitmapId = 0;
    Matrix bitmapMatrix; // bitmap pixels to shape twips
    bool repeat = true;
    bool smooth = true;
    friend bool operator==(const FillStyle &, const FillStyle &) = default;
};

enum class Cap { Round, None, Square };
enum class Join { Round, Bevel, Miter };

struct LineStyle {
    std::uint16_t width = 0; // twips
    Rgba color;
    Cap startCap = Cap::Round, endCap = Cap::Round;
    Join join = Join::Round;
    double miterLimit = 3;
    bool noHScale = false, noVScale = false, noClose = false;
    bool hasFill = false;
    FillStyle fill;
    friend bool operator==(const LineStyle &, const LineStyle &) = default;
};

struct StyleSet {
    std::vector<FillStyle> fills;
    std::vector<LineStyle> lines;
};

// Sums of coordinates and deltas from a file can exceed 32 bits; they are held to
// ±2^30 twips (far beyond any stage), so that later sums and differences fit too.
inline std::int32_t addTwips(std::int64_t a, std::int64_t b, std::int64_t c = 0)
{
    constexpr std::int64_t limit = std::int64_t(1) << 30;
    return static_cast<std::int32_t>(std::clamp(a + b + c, -limit, limit));
}

struct Point {
    std::int32_t x = 0, y = 0;
    friend bool operator==(const Point &, const Point &) = default;
    friend auto operator<=>(const Point &, const Point &) = default;
};

// One edge of a contour: a straight line, or a quadratic curve through control.
struct Edge {
    bool curve = false;
    Point control;
    Point to;
};

struct Contour {
    Point start;
    std::vector<Edge> edges;
    Point end() const { return edges.empty() ? start : edges.back().to; }
};

// One record of a shape's drawing stream, as read from the file.
struct ShapeRecord {
    enum class Kind { StyleChange, Line, Curve };
    Kind kind = Kind::StyleChange;
    // StyleChange fields; -1 means "unchanged".
    bool hasMove = false;
    Point move;
    int fill0 = -1, fill1 = -1, line = -1;
    int newStyles = -1; // index into the shape's style sets
    // Edge fields (deltas in twips).
    std::int32_t dx = 0, dy = 0, cdx = 0, cdy = 0;
};

// Fills and strokes that result from a shape's records, grouped in drawing layers
// (each NewStyles record starts a layer). Fills come in style order, then strokes.
struct ShapeGeometry {
    struct Fill {
        FillStyle style;
        std::vector<Contour> contours;
    };
    struct Stroke {
        LineStyle style;
        std::vector<Contour> contours;
    };
    struct Layer {
        std::vector<Fill> fills;
        std::vector<Stroke> strokes;
    };
    std::vector<Layer> layers;
    bool windingFill = false;
};

} // namespace velmora::swf
