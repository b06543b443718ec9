#include "swf/shape_styles.h"

namespace tembrel {

namespace {

// 8-bit count, or 0xFF and a 16-bit count after it.
std::uint32_t ReadStyleCount(SwfBitReader& reader) {
    std::uint32_t count = reader.ReadU8();
    if (count == 0xFF) count = reader.ReadU16();
    return count;
}

void Colour(SwfBitReader& reader, bool rgba, const ColourMap* map) {
    std::uint8_t* bytes = reader.TakeBytes(rgba ? 4 : 3);
    if (bytes && map) map->RecolourInPlace(bytes);
}

}  // namespace

void WalkShapeStyles(SwfBitReader& reader, bool rgba, const ColourMap* map) {
    std::uint32_t fills = ReadStyleCount(reader);
    for (std::uint32_t i = 0; i < fills && reader.Ok(); ++i) {
        std::uint32_t type = reader.ReadU8();
        if (type & 0x10) {  // linear or radial gradient
            reader.SkipMatrix();
            std::uint32_t stops = reader.ReadU8();
            for (std::uint32_t s = 0; s < stops && reader.Ok(); ++s) {
                reader.SkipBytes(1);  // ratio
                Colour(reader, rgba, map);
            }
        } else if (type & 0x40) {  // bitmap
            reader.SkipBytes(2);
            reader.SkipMatrix();
        } else {  // solid
            Colour(reader, rgba, map);
        }
    }
    std::uint32_t lines = ReadStyleCount(reader);
    for (std::uint32_t i = 0; i < lines && reader.Ok(); ++i) {
        reader.SkipBytes(2);  // width
        Colour(reader, rgba, map);
    }
}

}  // namespace tembrel
