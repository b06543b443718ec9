#pragma once
// Drives an audio reader as the conversion does: open, then read blocks
// until it reports the end, checking the promises every caller relies on.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "audio/audio_source.h"

namespace tembrel::fuzz {

inline void ReadWholeSource(AudioSource& source, const std::string& path) {
    if (!source.Open(path, 0)) {
        source.Close();
        return;
    }
    const int channels = source.GetChannels();
    const int bits = source.GetBitsPerSample();
    if (channels < 1 || channels > 2 || (bits != 8 && bits != 16)) std::abort();
    alignas(8) std::uint8_t left[kBlockBufferBytes];
    alignas(8) std::uint8_t right[kBlockBufferBytes];
    for (;;) {
        const int n = source.Read(left, channels == 2 ? right : nullptr);
        if (n == 0) break;
        if (n < 0 || n > kSamplesPerBlock) std::abort();
    }
    source.Close();
}

}  // namespace tembrel::fuzz
