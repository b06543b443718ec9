#pragma once
// Kilobits per second as the WAV and AIFF readers report them: the data size
// over the whole seconds when the sound lasts at least one, else what the
// stored format implies (bits x channels x rate), capped to the int range.
#include <algorithm>
#include <cstdint>

namespace tembrel {

inline int StoredDataBitrate(std::uint64_t dataBytes, int durationSeconds, int fileBits, int channels, int rate) {
    std::uint64_t kbps;
    if (durationSeconds > 0) {
        kbps = dataBytes / (static_cast<std::uint64_t>(durationSeconds) * 125);
    } else {
        kbps = static_cast<std::uint64_t>(std::max(fileBits, 0)) * static_cast<std::uint64_t>(std::max(channels, 0)) *
               static_cast<std::uint64_t>(std::max(rate, 0)) / 1000;
    }
    return static_cast<int>(std::min<std::uint64_t>(kbps, 0x7FFFFFFF));
}

}  // namespace tembrel
