#pragma once
// DWVW (delta with variable word width), the compression of AIFC "DWVW"
// files: each sample is a delta whose bit width is coded as a change of the
// previous width.
#include <cstddef>
#include <cstdint>
#include <functional>

namespace tembrel {

class DwvwDecoder {
public:
    // Fills `buffer` with up to `capacity` bytes of coded data and returns
    // how many it gave (0 at the end of the data).
    using Refill = std::function<std::size_t(std::uint8_t* buffer, std::size_t capacity)>;

    // bitWidth: 8 to 24.
    DwvwDecoder(int bitWidth, Refill refill);

    // Decodes up to `count` samples, each justified to the top of a 32-bit
    // value; returns how many were decoded (0 once the data are used up).
    int Decode(std::int32_t* out, int count);

private:
    // Takes `count` bits (most significant first); -1 when the input holds
    // fewer.
    int LoadBits(int count);
    // Counts zero bits up to the next one bit (at most the maximum
    // modifier); -1 at the end of the input.
    int LoadWidthModifier();
    bool Fill(int count);

    int maxModifier_;
    int bitWidth_;
    int maxDelta_;
    int span_;
    std::uint64_t bits_ = 0;
    int bitCount_ = 0;
    int lastDeltaWidth_ = 0;
    int lastSample_ = 0;
    std::uint8_t buffer_[256] = {};
    std::size_t bufferEnd_ = 0;
    std::size_t bufferIndex_ = 0;
    Refill refill_;
};

}  // namespace tembrel
