#pragma once
// FILLSTYLEARRAY followed by LINESTYLEARRAY, as DefineShape, DefineShape2
// and DefineShape3 hold them at the start of a shape and in NewStyles records.
#include "swf/colour_map.h"
#include "swf/swf_bit_reader.h"

namespace tembrel {

// Walks both arrays from the reader's next byte. With a map, every solid,
// gradient and line colour is recoloured in place; RGBA colours (DefineShape3)
// keep their alpha. Stops wherever the reader fails.
void WalkShapeStyles(SwfBitReader& reader, bool rgba, const ColourMap* map);

}  // namespace tembrel
