#include "controls/swf/avm1/bounds.h"

#include "controls/swf/avm1/clipobject.h"

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
    if (clip->list)
        return listBounds(*clip->list, toSpace, 0);
    if (clip->instance)
        return contentBounds(*clip->instance, toSpace);
    return {};
}

} // namespace velmora::swf::avm1
