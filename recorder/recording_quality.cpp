#include "recorder/recording_quality.h"

namespace tembrel {

const std::array<RecordingQuality, 6>& RecordingQualities() {
    static const std::array<RecordingQuality, 6> presets{{
        {100, "Low quality [Mono]", 1, 11025, 22528},
        {200, "Low quality [Stereo]", 2, 11025, 45056},
        {300, "Medium quality [Mono]", 1, 22050, 45056},
        {400, "Medium quality [Stereo]", 2, 22050, 89088},
        {500, "High quality [Mono]", 1, 44100, 89088},
        {600, "High quality [Stereo]", 2, 44100, 177152},
    }};
    return presets;
}

bool IsRecordingQuality(int code) {
    for (const RecordingQuality& q : RecordingQualities())
        if (q.code == code) return true;
    return false;
}

const RecordingQuality& RecordingQualityFor(int code) {
    for (const RecordingQuality& q : RecordingQualities())
        if (q.code == code) return q;
    return RecordingQualities()[2];
}

int RecordedSeconds(std::int64_t bytes, const RecordingQuality& quality) {
    const std::int64_t perSecond = quality.AvgBytesPerSec();
    if (bytes <= 0 || perSecond <= 0) return 0;
    // Half a second exactly goes down, so 2.5 s reads 00:02 as a count of
    // whole seconds would.
    return static_cast<int>((bytes + perSecond / 2 - 1) / perSecond);
}

}  // namespace tembrel
