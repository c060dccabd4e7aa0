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
// `viewScale` is the view's device pixels per stage twip, which alone sizes strokes
// that scale in neither direction. Never thinner than one device pixel, as the movies
// were drawn.
QPainterPath strokeOutline(const QPainterPath &line, const LineStyle &style, const QTransform &world,
                           double viewScale, Quality quality);

} // namespace velmora::swf
