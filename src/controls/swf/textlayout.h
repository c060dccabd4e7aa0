// Lays out the initial text of an edit field with its embedded font: lines broken
// at line ends (and at spaces when the field wraps), aligned in the field's bounds.
#pragma once

#include "controls/swf/movie.h"

#include <string>
#include <vector>

namespace velmora::swf {

struct PlacedGlyph {
    std::size_t index = 0; // into the font's glyphs
    double x = 0, y = 0;   // baseline origin in the field's twips
    Rgba color;
};

// The field's text as characters with their colours: UTF-8 decoded, and for HTML
// fields with markup removed, entities resolved and <font color> applied.
struct StyledText {
    std::u32string chars;
    std::vector<Rgba> colors;
};
StyledText styledText(const EditText &text);

std::vector<PlacedGlyph> layoutEditText(const EditText &text, const Font &font);

} // namespace velmora::swf
