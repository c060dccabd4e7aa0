// The area a display object covers, in twips of a chosen space: for _width,
// _height, getBounds and hitTest.
#pragma once

#include "controls/swf/displaylist.h"

namespace velmora::swf::avm1 {

class ClipObject;

struct Rect {
    double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    bool valid = false;
    bool empty() const { return !valid; }
    void add(double x, double y);
    void add(const Rect &r);
    bool contains(double x, double y) const
    {
        return valid && x >= xMin && x <= xMax && y >= yMin && y <= yMax;
    }
};

// The content of an instance (its children, shape or text) under `toSpace`.
Rect contentBounds(const Instance &object, const Matrix &toSpace, int nesting = 0);
// A clip's content under `toSpace` (the root: everything on stage): the box around
// its content in its own space, under `toSpace`.
Rect clipBounds(ClipObject *clip, const Matrix &toSpace);

} // namespace velmora::swf::avm1
