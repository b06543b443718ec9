#include "app/options/sound_presets.h"

namespace tembrel::app {
namespace {

constexpr SoundPreset kPresets[] = {
    {"Auto", kPresetAuto, 0, 0, 0},
    {"11025 Hz, 16 kbps, Mono (OK quality, smaller file size)", 0x288, 16, 11025, 1},
    {"22050 Hz, 24 kbps, Mono (normal quality, small file size)", 0x388, 24, 22050, 1},
    {"22050 Hz, 64 kbps, Mono (good quality, normal file size)", 0x488, 64, 22050, 1},
    {"44100 Hz, 128 kbps, Stereo (close to CD-quality, large size)", 0x588, 128, 44100, 2},
    {"Custom", kPresetCustom, 0, 0, 0},
};

}  // namespace

std::span<const SoundPreset> SoundPresets() { return kPresets; }

int PresetCodeFor(bool automatic, std::int32_t bitRate, std::int32_t sampleRate, std::int32_t channels) {
    if (automatic) return kPresetAuto;
    for (const SoundPreset& p : kPresets) {
        if (p.bitRate != 0 && p.bitRate == bitRate && p.sampleRate == sampleRate && p.channels == channels)
            return p.code;
    }
    return kPresetCustom;
}

std::int32_t SampleRateForBitRate(std::int32_t bitRate, std::int32_t sampleRate) {
    if (sampleRate == 11025 && bitRate > 64) return bitRate <= 160 ? 22050 : 44100;
    if (sampleRate == 22050 && bitRate > 160) return 44100;
    if (sampleRate == 44100 && bitRate < 32) return 22050;
    return sampleRate;
}

std::int32_t BitRateForSampleRate(std::int32_t sampleRate, std::int32_t bitRate) {
    if (sampleRate == 11025 && bitRate > 64) return 64;
    if (sampleRate == 22050 && bitRate > 160) return 160;
    if (sampleRate == 44100 && bitRate < 32) return 32;
    return bitRate;
}

}  // namespace tembrel::app
