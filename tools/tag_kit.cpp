#include "tools/tag_kit.h"

#include "swf/swf_movie_bytes.h"

#include <algorithm>

namespace tembrel {

namespace {

void PutTranslate(ByteBuffer& out, std::int32_t x, std::int32_t y) {
    int bit = 0;
    PutBits(out, bit, 0, 2);  // no scale, no rotation
    int n = (x == 0 && y == 0) ? 0 : std::max(SignedBitWidth(x), SignedBitWidth(y));
    PutBits(out, bit, static_cast<std::uint32_t>(n), 5);
    if (n) {
        PutSignedBits(out, bit, x, n);
        PutSignedBits(out, bit, y, n);
    }
    EndBits(bit);
}

}  // namespace

ByteBuffer WrapTag(unsigned code, const ByteBuffer& body) {
    ByteBuffer tag;
    PutTag(tag, code, body);
    return tag;
}

ByteBuffer ShowFrameTag() { return WrapTag(kTagShowFrame, {}); }

ByteBuffer DoActionTag(const ByteBuffer& actions) { return WrapTag(kTagDoAction, actions); }

ByteBuffer PlaceTag(const Placement& p) {
    ByteBuffer body;
    PutByte(body, static_cast<std::uint8_t>(0x02 | 0x04 | (p.name.empty() ? 0 : 0x20)));
    Put16(body, p.depth);
    Put16(body, p.characterId);
    PutTranslate(body, p.x, p.y);
    if (!p.name.empty()) {
        body.insert(body.end(), p.name.begin(), p.name.end());
        body.push_back(0);
    }
    return WrapTag(kTagPlaceObject2, body);
}

ByteBuffer RemoveTag(std::uint16_t depth) {
    ByteBuffer body;
    Put16(body, depth);
    return WrapTag(kTagRemoveObject2, body);
}

ByteBuffer ButtonTag(std::uint16_t id, const std::vector<std::uint16_t>& looks, std::uint16_t hitId,
                     const ByteBuffer& actions) {
    ByteBuffer body;
    Put16(body, id);
    PutByte(body, 0);  // push button
    std::size_t offsetAt = body.size();
    Put16(body, 0);
    auto record = [&body](std::uint8_t states, std::uint16_t character, std::uint16_t depth) {
        PutByte(body, states);
        Put16(body, character);
        Put16(body, depth);
        PutTranslate(body, 0, 0);
        PutByte(body, 0);  // colour transform without terms
    };
    std::uint16_t depth = 1;
    for (auto look : looks) record(0x07, look, depth++);
    record(0x08, hitId, depth);
    PutByte(body, 0);  // end of characters
    std::size_t actionsAt = body.size();
    body[offsetAt] = static_cast<std::uint8_t>(actionsAt - offsetAt);
    body[offsetAt + 1] = static_cast<std::uint8_t>((actionsAt - offsetAt) >> 8);
    Put16(body, 0);     // last (only) condition record
    PutByte(body, 0x08);  // OverDownToOverUp: released over the button
    PutByte(body, 0x00);
    body.insert(body.end(), actions.begin(), actions.end());
    return WrapTag(kTagDefineButton2, body);
}

ByteBuffer SpriteTag(std::uint16_t id, const std::vector<ByteBuffer>& tags) {
    ByteBuffer body;
    Put16(body, id);
    std::uint16_t frames = 0;
    for (const auto& t : tags)
        if (t.size() >= 2 && ((t[0] | (t[1] << 8)) >> 6) == kTagShowFrame) ++frames;
    Put16(body, frames);
    for (const auto& t : tags) body.insert(body.end(), t.begin(), t.end());
    Put16(body, 0);  // End
    return WrapTag(kTagDefineSprite, body);
}

ByteBuffer FontTag(std::uint16_t id, const std::vector<ByteBuffer>& glyphs) {
    ByteBuffer body;
    Put16(body, id);
    std::size_t offset = glyphs.size() * 2;
    for (const auto& g : glyphs) {
        Put16(body, static_cast<std::uint16_t>(offset));
        offset += g.size();
    }
    for (const auto& g : glyphs) body.insert(body.end(), g.begin(), g.end());
    return WrapTag(kTagDefineFont, body);
}

ByteBuffer TextTag(std::uint16_t id, const TextLine& line, std::int32_t x0, std::int32_t y0, std::int32_t x1,
                   std::int32_t y1) {
    ByteBuffer body;
    Put16(body, id);
    PutRect(body, x0, x1, y0, y1);
    PutTranslate(body, 0, 0);
    const int glyphBits = 8, advanceBits = 16;
    PutByte(body, glyphBits);
    PutByte(body, advanceBits);
    PutByte(body, 0x80 | 0x08 | 0x04 | 0x02 | 0x01);  // font, colour, y, x
    Put16(body, line.fontId);
    PutRgb(body, line.colour);
    Put16(body, static_cast<std::uint16_t>(line.x));
    Put16(body, static_cast<std::uint16_t>(line.y));
    Put16(body, line.height);
    PutByte(body, static_cast<std::uint8_t>(line.glyphs.size()));
    int bit = 0;
    for (auto g : line.glyphs) {
        PutBits(body, bit, g, glyphBits);
        PutSignedBits(body, bit, line.advance, advanceBits);
    }
    EndBits(bit);
    PutByte(body, 0);  // end of records
    return WrapTag(kTagDefineText, body);
}

ByteBuffer JpegTag(std::uint16_t id, const ByteBuffer& jpeg) {
    ByteBuffer body;
    Put16(body, id);
    body.insert(body.end(), jpeg.begin(), jpeg.end());
    return WrapTag(kTagDefineBitsJpeg2, body);
}

}  // namespace tembrel
