#pragma once
// Record helpers: encode SWF fields at the end of a byte buffer. Each returns
// the buffer position after what it wrote. Multi-byte integers are
// little-endian; bit fields are packed most significant bit first.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "swf/colour_ref.h"

namespace tembrel {

using ByteBuffer = std::vector<std::uint8_t>;

// SWF tag codes used across the program.
enum SwfTagCode : unsigned {
    kTagEnd = 0,
    kTagShowFrame = 1,
    kTagDefineShape = 2,
    kTagSetBackgroundColor = 9,
    kTagDefineText = 11,
    kTagDoAction = 12,
    kTagDefineSound = 14,
    kTagStartSound = 15,
    kTagSoundStreamHead = 18,
    kTagSoundStreamBlock = 19,
    kTagDefineBitsJpeg2 = 21,
    kTagDefineShape2 = 22,
    kTagDefineShape3 = 32,
    kTagDefineText2 = 33,
    kTagDefineEditText = 37,
    kTagDefineSprite = 39,
    kTagSoundStreamHead2 = 45,
};

std::size_t PutByte(ByteBuffer& out, std::uint8_t value);
std::size_t Put16(ByteBuffer& out, std::uint16_t value);
std::size_t Put32(ByteBuffer& out, std::uint32_t value);
std::size_t PutRgb(ByteBuffer& out, ColourRef colour);
std::size_t PutRgba(ByteBuffer& out, ColourRef colour, std::uint8_t alpha);

// Short form (code*64 + length) below 63 bytes of body, long form from 63 on.
std::size_t PutTagHeader(ByteBuffer& out, unsigned code, std::uint32_t length);
// Size of the header PutTagHeader writes for a body of this length.
constexpr std::size_t TagHeaderSize(std::uint32_t length) { return length < 63 ? 2 : 6; }

// Bit fields. bitPos counts the bits already used in the last byte of `out`
// (0: the next field starts a fresh byte). End a run of fields with
// EndBits, which moves on to the next byte.
std::size_t PutBits(ByteBuffer& out, int& bitPos, std::uint32_t value, int bitCount);
std::size_t PutSignedBits(ByteBuffer& out, int& bitPos, std::int32_t value, int bitCount);
inline void EndBits(int& bitPos) { bitPos = 0; }

// Bits a signed field needs for v: 1 for 0, else binary digits of |v| plus one.
int SignedBitWidth(std::int64_t value);

// A complete, byte-aligned RECT (twips). False, and nothing written, when a
// coordinate needs more than 31 bits.
bool PutRect(ByteBuffer& out, std::int32_t xMin, std::int32_t xMax, std::int32_t yMin, std::int32_t yMax);

}  // namespace tembrel
