// The walks of SwfTemplate::ScanAndRecolour: each looks into one tag body
// through a reader bounded by that body, so a malformed tag is recoloured as
// far as it makes sense and nothing outside it is read or written.
#include "swf/shape_styles.h"
#include "swf/swf_bit_reader.h"
#include "swf/swf_tag_header.h"
#include "swf/swf_template.h"

namespace tembrel {

namespace {

// Sprites may not nest in a valid movie; a few levels are allowed for
// authoring tools that do it anyway, without letting a crafted file recurse
// without end.
constexpr int kMaxSpriteDepth = 8;

}  // namespace

void SwfTemplate::RecolourTag(unsigned code, std::size_t bodyStart, std::size_t bodyEnd, int spriteDepth) {
    switch (code) {
    case kTagDefineShape:
    case kTagDefineShape2:
        RecolourShape(bodyStart, bodyEnd, false);
        break;
    case kTagDefineShape3:
        RecolourShape(bodyStart, bodyEnd, true);
        break;
    case kTagSetBackgroundColor:
        if (bodyEnd - bodyStart >= 3) {
            data_[bodyStart] = RedOf(backgroundColour_);
            data_[bodyStart + 1] = GreenOf(backgroundColour_);
            data_[bodyStart + 2] = BlueOf(backgroundColour_);
        }
        break;
    case kTagDefineText:
        RecolourText(bodyStart, bodyEnd);
        break;
    case kTagDefineEditText:
        RecolourEditText(bodyStart, bodyEnd);
        break;
    case kTagDefineSprite:
        RecolourSprite(bodyStart, bodyEnd, spriteDepth + 1);
        break;
    default:
        break;
    }
}

void SwfTemplate::RecolourShape(std::size_t bodyStart, std::size_t bodyEnd, bool rgba) {
    SwfBitReader reader(data_.data(), bodyStart, bodyEnd);
    reader.SkipBytes(2);  // shape id
    reader.SkipRect();
    WalkShapeStyles(reader, rgba, &colours_);
    int fillBits = static_cast<int>(reader.ReadUBits(4));
    int lineBits = static_cast<int>(reader.ReadUBits(4));
    while (reader.Ok()) {
        if (reader.ReadUBits(1)) {  // edge record
            bool straight = reader.ReadUBits(1) != 0;
            std::uint64_t bits = reader.ReadUBits(4) + 2;
            if (straight) {
                bool generalLine = reader.ReadUBits(1) != 0;
                if (generalLine) {
                    reader.SkipBits(2 * bits);
                } else {
                    reader.SkipBits(1);  // vertical flag
                    reader.SkipBits(bits);
                }
            } else {
                reader.SkipBits(4 * bits);  // control and anchor deltas
            }
            continue;
        }
        std::uint32_t flags = reader.ReadUBits(5);
        if (flags == 0) break;  // end of shape (or of the readable body)
        if (flags & 0x01) {     // MoveTo
            std::uint64_t bits = reader.ReadUBits(5);
            reader.SkipBits(2 * bits);
        }
        if (flags & 0x02) reader.SkipBits(fillBits);  // FillStyle0
        if (flags & 0x04) reader.SkipBits(fillBits);  // FillStyle1
        if (flags & 0x08) reader.SkipBits(lineBits);  // LineStyle
        if (flags & 0x10) {                           // NewStyles
            WalkShapeStyles(reader, rgba, &colours_);
            fillBits = static_cast<int>(reader.ReadUBits(4));
            lineBits = static_cast<int>(reader.ReadUBits(4));
        }
    }
}

void SwfTemplate::RecolourText(std::size_t bodyStart, std::size_t bodyEnd) {
    SwfBitReader reader(data_.data(), bodyStart, bodyEnd);
    reader.SkipBytes(2);  // character id
    reader.SkipRect();
    reader.SkipMatrix();
    std::uint64_t glyphBits = reader.ReadU8();
    std::uint64_t advanceBits = reader.ReadU8();
    while (reader.Ok()) {
        std::uint32_t flags = reader.ReadU8();
        if (flags == 0) break;
        if (flags & 0x80) {  // style record
            if (flags & 0x08) reader.SkipBytes(2);  // font id
            if (flags & 0x04) {
                if (std::uint8_t* rgb = reader.TakeBytes(3)) colours_.RecolourInPlace(rgb);
            }
            if (flags & 0x01) reader.SkipBytes(2);  // X offset
            if (flags & 0x02) reader.SkipBytes(2);  // Y offset
            if (flags & 0x08) reader.SkipBytes(2);  // text height
        } else {  // glyph count
            reader.SkipBits(flags * (glyphBits + advanceBits));
        }
    }
}

void SwfTemplate::RecolourEditText(std::size_t bodyStart, std::size_t bodyEnd) {
    SwfBitReader reader(data_.data(), bodyStart, bodyEnd);
    reader.SkipBytes(2);  // character id
    reader.SkipRect();
    std::uint32_t flags = reader.ReadU8();
    std::uint32_t moreFlags = reader.ReadU8();
    bool hasFont = flags & 0x01;
    bool hasFontClass = moreFlags & 0x80;  // SWF 9 and later name the font by class
    if (hasFont) reader.SkipBytes(2);  // font id
    if (hasFontClass) reader.SkipString();
    if (hasFont || hasFontClass) reader.SkipBytes(2);  // font height
    if (flags & 0x04) {  // HasTextColor: RGBA
        if (std::uint8_t* rgba = reader.TakeBytes(4)) colours_.RecolourInPlace(rgba);
    }
}

void SwfTemplate::RecolourSprite(std::size_t bodyStart, std::size_t bodyEnd, int spriteDepth) {
    if (spriteDepth > kMaxSpriteDepth || bodyEnd - bodyStart < 4) return;
    std::size_t cursor = bodyStart + 4;  // sprite id and frame count
    while (cursor < bodyEnd) {
        SwfTagExtent tag;
        if (!ReadTagExtent(data_.data(), cursor, bodyEnd, tag)) break;
        RecolourTag(tag.code, tag.bodyStart, tag.bodyEnd, spriteDepth);
        if (tag.code == kTagEnd) break;
        cursor = tag.bodyEnd;
    }
}

}  // namespace tembrel
