#include "swf/swf_records.h"

#include <algorithm>
#include <cstdlib>

namespace tembrel {

std::size_t PutByte(ByteBuffer& out, std::uint8_t value) {
    out.push_back(value);
    return out.size();
}

std::size_t Put16(ByteBuffer& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    return out.size();
}

std::size_t Put32(ByteBuffer& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
    return out.size();
}

std::size_t PutRgb(ByteBuffer& out, ColourRef colour) {
    out.push_back(RedOf(colour));
    out.push_back(GreenOf(colour));
    out.push_back(BlueOf(colour));
    return out.size();
}

std::size_t PutRgba(ByteBuffer& out, ColourRef colour, std::uint8_t alpha) {
    PutRgb(out, colour);
    return PutByte(out, alpha);
}

std::size_t PutTagHeader(ByteBuffer& out, unsigned code, std::uint32_t length) {
    if (length < 63) return Put16(out, static_cast<std::uint16_t>(code * 64 + length));
    Put16(out, static_cast<std::uint16_t>(code * 64 + 63));
    return Put32(out, length);
}

std::size_t PutBits(ByteBuffer& out, int& bitPos, std::uint32_t value, int bitCount) {
    for (int bit = bitCount - 1; bit >= 0; --bit) {
        if (bitPos == 0) out.push_back(0);  // a byte is cleared when writing into it begins
        if (bit < 32 && ((value >> bit) & 1u)) out.back() |= static_cast<std::uint8_t>(0x80u >> bitPos);
        bitPos = (bitPos + 1) & 7;
    }
    return out.size();
}

std::size_t PutSignedBits(ByteBuffer& out, int& bitPos, std::int32_t value, int bitCount) {
    // The low bits of the two's complement are exactly v + 2^n for negative v.
    return PutBits(out, bitPos, static_cast<std::uint32_t>(value), bitCount);
}

static int BinaryDigits(std::uint64_t magnitude) {
    int digits = 0;
    while (magnitude) {
        ++digits;
        magnitude >>= 1;
    }
    return digits;
}

int SignedBitWidth(std::int64_t value) {
    if (value == 0) return 1;
    std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    return BinaryDigits(magnitude) + 1;
}

static std::uint64_t Magnitude(std::int32_t v) {
    return v < 0 ? 0 - static_cast<std::uint64_t>(static_cast<std::int64_t>(v)) : static_cast<std::uint64_t>(v);
}

bool PutRect(ByteBuffer& out, std::int32_t xMin, std::int32_t xMax, std::int32_t yMin, std::int32_t yMax) {
    int digits = std::max({BinaryDigits(Magnitude(xMin)), BinaryDigits(Magnitude(xMax)),
                           BinaryDigits(Magnitude(yMin)), BinaryDigits(Magnitude(yMax))});
    int nBits = digits + 1;
    if (nBits > 31) return false;
    int bitPos = 0;
    PutBits(out, bitPos, static_cast<std::uint32_t>(nBits), 5);  // Nbits
    PutSignedBits(out, bitPos, xMin, nBits);                      // Xmin
    PutSignedBits(out, bitPos, xMax, nBits);                      // Xmax
    PutSignedBits(out, bitPos, yMin, nBits);                      // Ymin
    PutSignedBits(out, bitPos, yMax, nBits);                      // Ymax
    EndBits(bitPos);
    return true;
}

}  // namespace tembrel
