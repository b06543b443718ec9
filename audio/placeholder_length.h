#pragma once
// A writer that cannot seek back to its header (one writing to a pipe, or
// still recording) leaves a stand-in in the header's length: 0, or a round
// value near 2 or 4 GiB. Such a length says nothing of the sound's.
#include <cstdint>

namespace tembrel {

inline bool IsPlaceholderLength(std::uint32_t bytes) {
    switch (bytes) {
        case 0:
        case 0x7F000000u:  // sox's AIFF sound data
        case 0x7FFFF000u:  // sox's WAV data
        case 0x7FFFFFFFu:
        case 0xFFFFFFFFu:  // FFmpeg's WAV, AU's "size not given"
            return true;
        default:
            return false;
    }
}

}  // namespace tembrel
