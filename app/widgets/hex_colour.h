#pragma once
// Colours as the options sheet shows and reads them: six hexadecimal digits
// of red, green and blue.
#include <string>
#include <string_view>

#include "swf/colour_ref.h"

namespace tembrel::app {

// "RRGGBB" of a 0x00BBGGRR colour.
std::string HexText(ColourRef colour);
// "#RRGGBB", the form the Flash view takes.
std::string HashHexText(ColourRef colour);

// Reads at most six characters two at a time as red, green and blue; a
// missing character counts as "0" and a pair that is not hexadecimal as 0.
// So "A" is A00000 and "FF" is pure red.
ColourRef ParseHexColour(std::string_view text);

}  // namespace tembrel::app
