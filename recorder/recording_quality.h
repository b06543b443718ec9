#pragma once
// The recording quality presets: the list's texts and codes, the format each
// records in (always 16-bit PCM) and the size of the device buffers.
#include <array>
#include <cstdint>

namespace tembrel {

struct RecordingQuality {
    int code;            // the list's item data and the stored "RecQuality" value
    const char* text;
    int channels;
    int samplesPerSec;
    int bufferBytes;     // a little over one second of sound

    int BlockAlign() const { return channels * 2; }
    int AvgBytesPerSec() const { return samplesPerSec * BlockAlign(); }
};

inline constexpr int kBitsPerRecordedSample = 16;
inline constexpr int kDefaultRecordingQuality = 300;

// In list order.
const std::array<RecordingQuality, 6>& RecordingQualities();

// The preset with that code; any other value gets medium quality mono.
const RecordingQuality& RecordingQualityFor(int code);
// True when the code is one of the presets'.
bool IsRecordingQuality(int code);

// The length shown for `bytes` of sound recorded in `quality`: whole
// seconds to the nearest, never more than half a second from the file's.
int RecordedSeconds(std::int64_t bytes, const RecordingQuality& quality);

}  // namespace tembrel
