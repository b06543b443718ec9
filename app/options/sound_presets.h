#pragma once
// The encoding presets of the sound options and the rules that keep a
// chosen bit rate and sample rate a pair the encoder can make.
#include <cstdint>
#include <span>

namespace tembrel::app {

struct SoundPreset {
    const char* text;
    int code;  // item data of the preset list
    // What choosing it sets; a bit rate of 0 sets nothing.
    std::int32_t bitRate;
    std::int32_t sampleRate;
    std::int32_t channels;
};

inline constexpr int kPresetAuto = 0x188;
inline constexpr int kPresetCustom = 0x988;

// In list order: "Auto", the four fixed pairs, "Custom".
std::span<const SoundPreset> SoundPresets();

// The preset shown for stored values: "Auto" when automatic, the fixed preset
// that matches all three values, else "Custom".
int PresetCodeFor(bool automatic, std::int32_t bitRate, std::int32_t sampleRate, std::int32_t channels);

// The sample rate that goes with a newly chosen bit rate.
std::int32_t SampleRateForBitRate(std::int32_t bitRate, std::int32_t sampleRate);
// The bit rate that goes with a newly chosen sample rate.
std::int32_t BitRateForSampleRate(std::int32_t sampleRate, std::int32_t bitRate);

}  // namespace tembrel::app
