// Lays out the initial text of an edit field with its embedded font: lines broken
// at line ends (and at spaces when the field wraps), aligned in the field's bounds.
#pragma once

#include "controls/swf/movie.h"

#include <vector>

namespace velmora::swf {

struct PlacedGlyph {
    std::size_t index = 0; // into the font's glyphs
    double x = 0, y = 0;   // baseline origin in the field's twips
};

std::vector<PlacedGlyph> layoutEditText(const EditText &text, const Font &font);

} // namespace velmora::swf
