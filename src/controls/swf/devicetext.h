// Text drawn with system fonts: edit fields whose font is not embedded or whose outlines
// they do not use, and static text in a font without outlines. The text is laid out once
// in its own twips with Qt's text layout (line breaks, alignment, margins, leading, bullets,
// letter spacing) and drawn on the device pixel grid as the player drew system text: each
// glyph on a whole pixel, at a whole-pixel size, without anti-aliasing.
#pragma once

#include "controls/swf/movie.h"

#include <QGlyphRun>
#include <QRawFont>
#include <QRectF>

#include <map>
#include <optional>
#include <vector>

class QPainter;
class QTransform;

namespace velmora::swf {

struct DeviceGlyphs {
    QGlyphRun glyphs; // font size and positions in twips
    Rgba color;
    mutable QRawFont deviceFont; // the font at the size last drawn
};

struct DeviceText {
    std::vector<DeviceGlyphs> runs;
    std::optional<QRectF> clip; // twips: a field shows only what lies within its bounds
};

// System fonts need a running QGuiApplication; without one device text is not drawn.
bool deviceFontsAvailable();

DeviceText layoutDeviceEditText(const EditText &text, const Font *font);
// The records whose font has no outlines; the others are drawn from their glyphs.
DeviceText layoutDeviceStaticText(const StaticText &text, const Movie &movie);

void paintDeviceText(QPainter &painter, const DeviceText &text, const QTransform &world,
                     const ColorTransform &cx);

// Layouts kept for the texts of one movie, which do not change while it plays.
class DeviceTextCache {
public:
    const DeviceText &editText(const EditText &text, const Font *font);
    const DeviceText &staticText(const StaticText &text, const Movie &movie);

private:
    std::map<const void *, DeviceText> m_texts;
};

} // namespace velmora::swf
