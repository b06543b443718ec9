#pragma once
// Reads SWF fields from one window [begin, end) of a buffer. Any read that
// would leave the window marks the reader failed; from then on every read
// yields 0 and moves nothing, so a walk over a malformed tag simply stops
// where the tag stops making sense.
#include <cstddef>
#include <cstdint>

namespace tembrel {

class SwfBitReader {
public:
    SwfBitReader(std::uint8_t* data, std::size_t begin, std::size_t end)
        : data_(data), pos_(begin), end_(end < begin ? begin : end) {}

    bool Ok() const { return ok_; }
    // Offset of the next byte-aligned read (bits left in a started byte are
    // not counted).
    std::size_t Position() const { return pos_; }
    std::size_t End() const { return end_; }

    // Byte-aligned reads drop the bits left in the current byte.
    void Align() { bitsLeft_ = 0; }
    std::uint32_t ReadU8();
    std::uint32_t ReadU16();
    std::uint32_t ReadU32();
    void SkipBytes(std::size_t count);
    // Skips a zero-terminated string, terminator included.
    void SkipString();
    // Byte-aligned access to `count` bytes in place, for recolouring; null
    // (and the reader failed) when they do not all lie in the window.
    std::uint8_t* TakeBytes(std::size_t count);

    // Bit fields, most significant bit first; count up to 32.
    std::uint32_t ReadUBits(int count);
    std::int32_t ReadSBits(int count);
    void SkipBits(std::uint64_t count);

    // Standard records whose values the walks do not need; each starts on a
    // fresh byte.
    void SkipRect();
    void SkipMatrix();

private:
    bool Fail() {
        ok_ = false;
        return false;
    }

    std::uint8_t* data_;
    std::size_t pos_;
    std::size_t end_;
    int bitsLeft_ = 0;
    std::uint8_t current_ = 0;
    bool ok_ = true;
};

}  // namespace tembrel
