// Reads fill/line styles and shape records, and turns a shape's "edge soup" (each
// edge naming the fill on its left and its right) into closed contours per style.
#pragma once

#include "controls/swf/bitreader.h"
#include "controls/swf/movie.h"

namespace velmora::swf {

// shapeVersion: 1..4 for DefineShape..DefineShape4 (decides RGB vs RGBA, LINESTYLE2).
FillStyle readFillStyle(BitReader &in, int shapeVersion);
LineStyle readLineStyle(BitReader &in, int shapeVersion);
StyleSet readStyles(BitReader &in, int shapeVersion);

// Reads NumFillBits/NumLineBits and the records up to the end record. A NewStyles
// record appends to styleSets and names its index. With stylesFollow false (glyphs,
// the end shape of a morph) a NewStyles flag is not expected.
std::vector<ShapeRecord> readShapeRecords(BitReader &in, int shapeVersion, std::vector<StyleSet> &styleSets);

// Builds closed fill contours and stroke runs. Style indices beyond the arrays
// count as "no style".
ShapeGeometry buildGeometry(const std::vector<ShapeRecord> &records, const std::vector<StyleSet> &styleSets,
                            bool windingFill);

// Reads a DefineMorphShape/DefineMorphShape2 body after the character id.
MorphShape readMorphShape(BitReader &in, int morphVersion);

} // namespace velmora::swf
