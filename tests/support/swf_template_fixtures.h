#pragma once
// Small control-SWF templates built in memory with the project's record
// helpers, remembering where each recolourable colour lies so tests can
// check a scan byte for byte.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "swf/colour_ref.h"
#include "swf/swf_movie_bytes.h"
#include "swf/swf_records.h"

namespace tembrel::test {

// A tag body and the offsets (in the body) of its recolourable RGB bytes.
struct FixtureBody {
    ByteBuffer bytes;
    std::vector<std::size_t> colourAt;
};

inline void PutColour(FixtureBody& body, ColourRef colour, bool rgba, std::uint8_t alpha = 0x80) {
    body.colourAt.push_back(body.bytes.size());
    if (rgba)
        PutRgba(body.bytes, colour, alpha);
    else
        PutRgb(body.bytes, colour);
}

// Matrix with scale and translate, so the walks must skip real bit fields.
inline void PutTestMatrix(ByteBuffer& out) {
    int bitPos = 0;
    PutBits(out, bitPos, 1, 1);  // HasScale
    PutBits(out, bitPos, 18, 5);
    PutSignedBits(out, bitPos, 65536, 18);
    PutSignedBits(out, bitPos, -65536, 18);
    PutBits(out, bitPos, 0, 1);  // no rotation
    PutBits(out, bitPos, 7, 5);
    PutSignedBits(out, bitPos, 40, 7);
    PutSignedBits(out, bitPos, -40, 7);
}

// Fill styles: solid, linear gradient (2 stops), radial gradient (1 stop),
// bitmap; one line style. Five colours in file order.
inline void PutTestStyles(FixtureBody& body, bool rgba, std::initializer_list<ColourRef> colours) {
    auto c = colours.begin();
    ByteBuffer& out = body.bytes;
    PutByte(out, 4);  // fill styles
    PutByte(out, 0x00);
    PutColour(body, *c++, rgba);
    PutByte(out, 0x10);
    PutTestMatrix(out);
    PutByte(out, 2);
    PutByte(out, 0);
    PutColour(body, *c++, rgba, 0x11);
    PutByte(out, 255);
    PutColour(body, *c++, rgba, 0x22);
    PutByte(out, 0x12);
    PutTestMatrix(out);
    PutByte(out, 1);
    PutByte(out, 128);
    PutColour(body, *c++, rgba, 0x33);
    PutByte(out, 0x41);  // clipped bitmap: its id and matrix must be skipped
    Put16(out, 0x0011);
    PutTestMatrix(out);
    PutByte(out, 1);     // line styles
    Put16(out, 40);
    PutColour(body, *c++, rgba, 0x44);
}

// DefineShape/2/3 body: styles with five colours, then records that move,
// pick styles, draw straight and curved edges, add one solid fill and one
// line colour through NewStyles, and end. Seven colours in all.
inline FixtureBody ShapeBody(std::uint16_t id, bool rgba, std::initializer_list<ColourRef> colours) {
    FixtureBody body;
    ByteBuffer& out = body.bytes;
    auto c = colours.begin();
    Put16(out, id);
    PutRect(out, -100, 700, -50, 550);
    PutTestStyles(body, rgba, {c[0], c[1], c[2], c[3], c[4]});
    int bitPos = 0;
    PutBits(out, bitPos, 3, 4);  // NumFillBits
    PutBits(out, bitPos, 1, 4);  // NumLineBits
    // Style change: MoveTo, FillStyle1, LineStyle.
    PutBits(out, bitPos, 0, 1);
    PutBits(out, bitPos, 0x0D, 5);
    PutBits(out, bitPos, 11, 5);
    PutSignedBits(out, bitPos, 600, 11);
    PutSignedBits(out, bitPos, -500, 11);
    PutBits(out, bitPos, 4, 3);
    PutBits(out, bitPos, 1, 1);
    // Straight general line, vertical line, curve.
    PutBits(out, bitPos, 0x3, 2);
    PutBits(out, bitPos, 9, 4);
    PutBits(out, bitPos, 1, 1);
    PutSignedBits(out, bitPos, 300, 11);
    PutSignedBits(out, bitPos, -200, 11);
    PutBits(out, bitPos, 0x3, 2);
    PutBits(out, bitPos, 8, 4);
    PutBits(out, bitPos, 0x1, 2);
    PutSignedBits(out, bitPos, 500, 10);
    PutBits(out, bitPos, 0x2, 2);
    PutBits(out, bitPos, 5, 4);
    for (int v : {20, -20, 30, -30}) PutSignedBits(out, bitPos, v, 7);
    // NewStyles with FillStyle0.
    PutBits(out, bitPos, 0, 1);
    PutBits(out, bitPos, 0x12, 5);
    PutBits(out, bitPos, 2, 3);
    EndBits(bitPos);
    PutByte(out, 1);
    PutByte(out, 0x00);
    PutColour(body, c[5], rgba, 0x55);
    PutByte(out, 1);
    Put16(out, 20);
    PutColour(body, c[6], rgba, 0x66);
    PutBits(out, bitPos, 2, 4);
    PutBits(out, bitPos, 2, 4);
    // Horizontal line, then the end record.
    PutBits(out, bitPos, 0x3, 2);
    PutBits(out, bitPos, 10, 4);
    PutBits(out, bitPos, 0x0, 2);
    PutSignedBits(out, bitPos, -600, 12);
    PutBits(out, bitPos, 0, 6);
    return body;
}

// DefineText body: a style record with font, colour, X and Y, two glyphs; a
// record with a colour only, one glyph; the end byte. Two colours.
inline FixtureBody TextBody(std::uint16_t id, ColourRef first, ColourRef second) {
    FixtureBody body;
    ByteBuffer& out = body.bytes;
    Put16(out, id);
    PutRect(out, 0, 2000, 0, 400);
    PutTestMatrix(out);
    PutByte(out, 5);   // GlyphBits
    PutByte(out, 9);   // AdvanceBits
    PutByte(out, 0x8F);
    Put16(out, 7);     // font id
    PutColour(body, first, false);
    Put16(out, 10);    // X
    Put16(out, 300);   // Y
    Put16(out, 240);   // height
    PutByte(out, 2);   // glyphs: 2 × 14 bits
    int bitPos = 0;
    for (int i = 0; i < 2; ++i) {
        PutBits(out, bitPos, 0x1F, 5);   // all ones: would look like data if misread
        PutBits(out, bitPos, 0x1FF, 9);
    }
    EndBits(bitPos);
    PutByte(out, 0x84);
    PutColour(body, second, false);
    PutByte(out, 1);
    PutBits(out, bitPos, 3, 5);
    PutBits(out, bitPos, 100, 9);
    EndBits(bitPos);
    PutByte(out, 0);
    return body;
}

// DefineEditText body with font, RGBA text colour, variable name and text;
// with `fontClass`, the font is named by class (SWF 9 layout).
inline FixtureBody EditTextBody(std::uint16_t id, ColourRef colour, std::uint8_t alpha, bool fontClass = false) {
    FixtureBody body;
    ByteBuffer& out = body.bytes;
    Put16(out, id);
    PutRect(out, -40, 4000, -40, 480);
    PutByte(out, static_cast<std::uint8_t>(0x80 | 0x04 | (fontClass ? 0x00 : 0x01)));  // HasText, colour, font
    PutByte(out, fontClass ? 0x80 : 0x00);
    if (fontClass) {
        for (char ch : std::string("Arial")) PutByte(out, static_cast<std::uint8_t>(ch));
        PutByte(out, 0);
    } else {
        Put16(out, 7);
    }
    Put16(out, 240);
    PutColour(body, colour, true, alpha);
    for (char ch : std::string("title")) PutByte(out, static_cast<std::uint8_t>(ch));
    PutByte(out, 0);
    for (char ch : std::string("hi")) PutByte(out, static_cast<std::uint8_t>(ch));
    PutByte(out, 0);
    return body;
}

// A movie under construction: tags appended in order, colour offsets kept
// relative to the whole movie.
class TemplateFixture {
public:
    explicit TemplateFixture(std::uint8_t version = 6, std::int32_t widthTwips = 4000, std::int32_t heightTwips = 1000,
                             std::uint16_t frameRate88 = 0x0C80)
        : frameRate88_(frameRate88) {
        PutMovieHeader(bytes_, version, widthTwips, heightTwips, frameRate88, 0);
    }

    // Appends a tag; returns the offset of its body in the movie.
    std::size_t Add(unsigned code, const FixtureBody& body, bool recolourable = true) {
        PutTagHeader(bytes_, code, static_cast<std::uint32_t>(body.bytes.size()));
        std::size_t bodyAt = bytes_.size();
        bytes_.insert(bytes_.end(), body.bytes.begin(), body.bytes.end());
        if (recolourable)
            for (std::size_t at : body.colourAt) colourAt_.push_back(bodyAt + at);
        if (code == kTagShowFrame) ++frames_;
        return bodyAt;
    }
    std::size_t Add(unsigned code, const ByteBuffer& body) { return Add(code, FixtureBody{body, {}}); }
    void ShowFrame() { Add(kTagShowFrame, ByteBuffer{}); }
    void End() { Add(kTagEnd, ByteBuffer{}); }

    // The finished movie: length and frame count filled in.
    ByteBuffer Bytes() const {
        ByteBuffer movie = bytes_;
        SetMovieLength(movie);
        std::size_t countAt = FrameCountOffset();
        movie[countAt] = static_cast<std::uint8_t>(frames_ & 0xFF);
        movie[countAt + 1] = static_cast<std::uint8_t>(frames_ >> 8);
        return movie;
    }
    const std::vector<std::size_t>& ColourOffsets() const { return colourAt_; }
    std::size_t Size() const { return bytes_.size(); }

private:
    std::size_t FrameCountOffset() const {
        int nbits = bytes_[8] >> 3;
        std::size_t rectBytes = (5 + 4 * static_cast<std::size_t>(nbits) + 7) / 8;
        return 8 + rectBytes + 2;
    }

    ByteBuffer bytes_;
    std::vector<std::size_t> colourAt_;
    std::uint16_t frameRate88_;
    std::uint16_t frames_ = 0;
};

// A DefineSprite body holding the given (already encoded) tags.
inline FixtureBody SpriteBody(std::uint16_t id, std::uint16_t frames, const ByteBuffer& tags,
                              const std::vector<std::size_t>& colourAt = {}) {
    FixtureBody body;
    Put16(body.bytes, id);
    Put16(body.bytes, frames);
    for (std::size_t at : colourAt) body.colourAt.push_back(4 + at);
    body.bytes.insert(body.bytes.end(), tags.begin(), tags.end());
    return body;
}

// One encoded tag and its colour offsets relative to the tag's first byte.
inline FixtureBody EncodedTag(unsigned code, const FixtureBody& body) {
    FixtureBody tag;
    PutTagHeader(tag.bytes, code, static_cast<std::uint32_t>(body.bytes.size()));
    for (std::size_t at : body.colourAt) tag.colourAt.push_back(tag.bytes.size() + at);
    tag.bytes.insert(tag.bytes.end(), body.bytes.begin(), body.bytes.end());
    return tag;
}

// A DoAction body: the given actions and the end-of-actions byte.
inline ByteBuffer ActionsBody(std::initializer_list<std::uint8_t> actions) {
    ByteBuffer body(actions);
    body.push_back(0x00);
    return body;
}

}  // namespace tembrel::test
