// The device-space area a stroke covers. Qt draws thin aliased pens as plain lines,
// corners filled in; filling the stroke's own outline keeps round joins and caps at
// every width.
#pragma once

#include "controls/swf/quality.h"
#include "controls/swf/types.h"

#include <QPainterPath>
#include <QTransform>

namespace velmora::swf {

// `line` is the stroke's centre line in shape twips, `world` maps it to the device;
// `deviceScale` is the device's size of a pixel, for strokes that scale in neither
// direction. Never thinner than one device pixel, as the movies were drawn.
QPainterPath strokeOutline(const QPainterPath &line, const LineStyle &style, const QTransform &world,
                           double deviceScale, Quality quality);

} // namespace velmora::swf
