#pragma once
// Encoders for the tags a player template is made of, beyond shapes:
// placements, buttons, sprites, actions, fonts, text and JPEG data.
#include <cstdint>
#include <string>
#include <vector>

#include "swf/swf_records.h"

namespace tembrel {

enum TemplateTagCode : unsigned {
    kTagDefineFont = 10,
    kTagPlaceObject2 = 26,
    kTagRemoveObject2 = 28,
    kTagDefineButton2 = 34,
};

ByteBuffer WrapTag(unsigned code, const ByteBuffer& body);
ByteBuffer ShowFrameTag();
ByteBuffer DoActionTag(const ByteBuffer& actions);

struct Placement {
    std::uint16_t depth;
    std::uint16_t characterId;
    std::int32_t x = 0, y = 0;  // twips
    std::string name;           // instance name, empty for none
};
ByteBuffer PlaceTag(const Placement& p);
ByteBuffer RemoveTag(std::uint16_t depth);

// A button whose up, over and down looks are the given characters (in depth
// order), whose hit area is `hitId`, and which runs `actions` on release.
ByteBuffer ButtonTag(std::uint16_t id, const std::vector<std::uint16_t>& looks, std::uint16_t hitId,
                     const ByteBuffer& actions);

// A sprite from its inner tags (ShowFrame counted as frames).
ByteBuffer SpriteTag(std::uint16_t id, const std::vector<ByteBuffer>& tags);

// DefineFont from glyph shape records (each from ShapeBuilder::GlyphRecords).
ByteBuffer FontTag(std::uint16_t id, const std::vector<ByteBuffer>& glyphs);

// DefineText: one line of glyph indices with fixed advance, in one colour.
struct TextLine {
    std::uint16_t fontId;
    ColourRef colour;
    std::int32_t x, y;        // baseline origin, twips
    std::uint16_t height;     // twips
    std::vector<std::uint8_t> glyphs;
    std::int32_t advance;     // twips per glyph
};
ByteBuffer TextTag(std::uint16_t id, const TextLine& line, std::int32_t x0, std::int32_t y0, std::int32_t x1,
                   std::int32_t y1);

ByteBuffer JpegTag(std::uint16_t id, const ByteBuffer& jpeg);

}  // namespace tembrel
