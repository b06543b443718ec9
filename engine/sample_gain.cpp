#include "engine/sample_gain.h"

namespace tembrel {
namespace {

void Scale(std::int16_t* samples, int count, float gain) {
    for (int i = 0; i < count; ++i) {
        long double value = static_cast<long double>(samples[i]) * gain;
        if (value > 32767.0L) value = 32767.0L;
        if (value < -32767.0L) value = -32767.0L;
        samples[i] = static_cast<std::int16_t>(value);  // truncates toward zero
    }
}

}  // namespace

void ApplyGain(std::int16_t* left, std::int16_t* right, int count, int channels, float gain) {
    if (left) Scale(left, count, gain);
    if (channels == 2 && right) Scale(right, count, gain);
}

void WidenEightBitSamples(const std::uint8_t* in, std::int16_t* out, int count) {
    for (int i = 0; i < count; ++i) out[i] = static_cast<std::int16_t>((in[i] - 128) * 256);
}

}  // namespace tembrel
