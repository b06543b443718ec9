#include "app/widgets/hex_colour.h"

#include <cstdio>

namespace tembrel::app {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A pair reads like "%X": leading digits count, a pair that starts with
// anything else is 0.
int PairValue(char high, char low) {
    int h = HexDigit(high);
    if (h < 0) return 0;
    int l = HexDigit(low);
    return l < 0 ? h : h * 16 + l;
}

}  // namespace

std::string HexText(ColourRef colour) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", static_cast<unsigned>(colour & 0xFF),
                  static_cast<unsigned>((colour >> 8) & 0xFF), static_cast<unsigned>((colour >> 16) & 0xFF));
    return text;
}

std::string HashHexText(ColourRef colour) { return "#" + HexText(colour); }

ColourRef ParseHexColour(std::string_view text) {
    char digits[6] = {'0', '0', '0', '0', '0', '0'};
    for (std::size_t i = 0; i < text.size() && i < 6; ++i) digits[i] = text[i];
    const int red = PairValue(digits[0], digits[1]);
    const int green = PairValue(digits[2], digits[3]);
    const int blue = PairValue(digits[4], digits[5]);
    return static_cast<ColourRef>(blue << 16 | green << 8 | red);
}

}  // namespace tembrel::app
