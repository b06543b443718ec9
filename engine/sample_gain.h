#pragma once
// Sample conversions of the decode-and-encode stage.
#include <cstdint>

namespace tembrel {

// Scales count samples of left, and of right when channels is 2, in place:
// sample x gain, truncated toward zero, limited to -32767..32767.
void ApplyGain(std::int16_t* left, std::int16_t* right, int count, int channels, float gain);

// Unsigned 8-bit samples to 16-bit: (value - 128) x 256.
void WidenEightBitSamples(const std::uint8_t* in, std::int16_t* out, int count);

}  // namespace tembrel
