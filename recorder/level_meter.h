#pragma once
// The input's level as a peak meter shows it, per channel: the loudest
// sample heard in dB of full scale, falling back slowly; the highest reading
// held for a while; and a mark that stays on for a while after the sound
// reached full scale. Times are of the sound fed, not of a clock: a stalled
// input or a busy window neither drops nor freezes a reading falsely.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tembrel {

struct ChannelLevel {
    double peakDb;  // kLevelFloorDb..0
    double holdDb;  // the highest reading of the last kLevelHoldSeconds
    bool clipped;   // full scale reached in the last kClipMarkSeconds
};

inline constexpr double kLevelFloorDb = -60.0;
// A sample within 0.1 dB of full scale counts as clipping: a converter
// driven past its limit rarely lands exactly on the last code.
inline constexpr double kClipDb = -0.1;
inline constexpr double kLevelFallDbPerSecond = 20.0;
inline constexpr double kLevelHoldSeconds = 1.5;
inline constexpr double kClipMarkSeconds = 3.0;

// dB of full scale of a 16-bit sample's magnitude, kLevelFloorDb at most.
double SampleDb(int magnitude);

class LevelMeter {
public:
    // Every channel silent, nothing held, no mark.
    void Reset(int channels, int samplesPerSec);
    int Channels() const { return static_cast<int>(levels_.size()); }

    // Interleaved 16-bit little-endian PCM, in pieces of any size.
    void Feed(const char* bytes, std::size_t size);

    // The levels, taking in what was fed since the last reading. Without
    // new sound the reading stands.
    const std::vector<ChannelLevel>& Read();

private:
    struct Held {
        std::int64_t holdSince = 0;  // in frames fed
        std::int64_t clipUntil = 0;
        int pendingPeak = 0;  // loudest magnitude fed since the last reading
    };

    std::vector<ChannelLevel> levels_;
    std::vector<Held> held_;
    int samplesPerSec_ = 1;
    std::int64_t frames_ = 0;  // whole frames fed since Reset
    std::int64_t framesAtRead_ = 0;
    std::size_t nextChannel_ = 0;
    int oddByte_ = -1;  // a sample's low byte awaiting its high byte
};

}  // namespace tembrel
