#pragma once
// Colours are held as 0x00BBGGRR (red in the low byte), in memory and in the
// stored options alike; SWF files get them as the bytes red, green, blue.
#include <cstdint>
#include <cstdio>
#include <string>

namespace tembrel {

using ColourRef = std::uint32_t;

constexpr ColourRef MakeColourRef(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return static_cast<ColourRef>(red) | (static_cast<ColourRef>(green) << 8) |
           (static_cast<ColourRef>(blue) << 16);
}
constexpr std::uint8_t RedOf(ColourRef c) { return static_cast<std::uint8_t>(c & 0xFF); }
constexpr std::uint8_t GreenOf(ColourRef c) { return static_cast<std::uint8_t>((c >> 8) & 0xFF); }
constexpr std::uint8_t BlueOf(ColourRef c) { return static_cast<std::uint8_t>((c >> 16) & 0xFF); }

// "#RRGGBB" as pages and text fields show a colour.
inline std::string ColourToHex(ColourRef c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", RedOf(c), GreenOf(c), BlueOf(c));
    return text;
}

}  // namespace tembrel
