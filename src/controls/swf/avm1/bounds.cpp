#include "controls/swf/avm1/bounds.h"

#include "controls/swf/avm1/clipobject.h"

#include <cmath>

namespace velmora::swf::avm1 {

namespace {

constexpr int kMaxNesting = 64;

void addRect(Rect &out, const TwipsRect &r, const Matrix &m)
{
    const double xs[2] = {static_cast<double>(r.xMin), static_cast<double>(r.xMax)};
    const double ys[2] = {static_cast<double>(r.yMin), static_cast<double>(r.yMax)};
    for (double x : xs) {
        for (double y : ys)
            out.add(m.a * x + m.c * y + m.tx, m.b * x + m.d * y + m.ty);
    }
}

Rect listBounds(const DisplayList &list, const Matrix &toSpace, int nesting)
{
    Rect r;
    for (const auto &[depth, child] : list.objects())
        r.add(contentBounds(child, toSpace * child.matrix, nesting + 1));
    return r;
}

} // namespace

void Rect::add(double x, double y)
{
    if (!valid) {
        xMin = xMax = x;
        yMin = yMax = y;
        valid = true;
        return;
    }
    xMin = std::min(xMin, x);
    xMax = std::max(xMax, x);
    yMin = std::min(yMin, y);
    yMax = std::max(yMax, y);
}

void Rect::add(const Rect &r)
{
    if (!r.valid)
        return;
    add(r.xMin, r.yMin);
    add(r.xMax, r.yMax);
}

Rect contentBounds(const Instance &object, const Matrix &toSpace, int nesting)
{
    Rect r;
    if (nesting > kMaxNesting || !object.character)
        return r;
    if (const auto *shape = std::get_if<Shape>(object.character)) {
        addRect(r, shape->bounds, toSpace);
    } else if (const auto *text = std::get_if<StaticText>(object.character)) {
        addRect(r, text->bounds, toSpace * text->matrix);
    } else if (const auto *edit = std::get_if<EditText>(object.character)) {
        addRect(r, edit->bounds, toSpace);
    } else if (object.children) {
        r = listBounds(*object.children, toSpace, nesting);
    }
    return r;
}

Rect clipBounds(ClipObject *clip, const Matrix &toSpace)
{
    Rect own;
    if (clip->list)
        own = listBounds(*clip->list, Matrix{}, 0);
    else if (clip->instance)
        own = contentBounds(*clip->instance, Matrix{});
    // The clip's own box in whole twips under the matrix, in whole twips again, as
    // Flash takes it: a rotated clip's box grows, though its content may fit a
    // smaller one.
    Rect r;
    if (!own.empty()) {
        for (double x : {std::round(own.xMin), std::round(own.xMax)}) {
            for (double y : {std::round(own.yMin), std::round(own.yMax)})
                r.add(std::round(toSpace.a * x + toSpace.c * y + toSpace.tx),
                      std::round(toSpace.b * x + toSpace.d * y + toSpace.ty));
        }
    }
    return r;
}

} // namespace velmora::swf::avm1
