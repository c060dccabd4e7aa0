// The device rectangle an object draws in, for the layers of filters, blend modes and
// opaque backgrounds.
#pragma once

#include "controls/swf/displaylist.h"
#include "controls/swf/rendercache.h"

#include <QRectF>
#include <QTransform>

namespace velmora::swf {

// The object's character bounds (strokes included) under the object's matrix and
// `parentWorld`; a sprite's or button's are its children's together. Empty when
// the object draws nothing.
QRectF objectBounds(RenderCache &cache, const Instance &object, const QTransform &parentWorld);

} // namespace velmora::swf
