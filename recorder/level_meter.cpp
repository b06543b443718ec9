#include "recorder/level_meter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tembrel {

namespace {

constexpr double kFullScale = 32768.0;

}  // namespace

double SampleDb(int magnitude) {
    if (magnitude <= 0) return kLevelFloorDb;
    return std::clamp(20.0 * std::log10(magnitude / kFullScale), kLevelFloorDb, 0.0);
}

void LevelMeter::Reset(int channels, int samplesPerSec) {
    levels_.assign(static_cast<std::size_t>(std::max(channels, 0)), {kLevelFloorDb, kLevelFloorDb, false});
    held_.assign(levels_.size(), {});
    samplesPerSec_ = std::max(samplesPerSec, 1);
    frames_ = 0;
    framesAtRead_ = 0;
    nextChannel_ = 0;
    oddByte_ = -1;
}

void LevelMeter::Feed(const char* bytes, std::size_t size) {
    if (held_.empty()) return;
    for (std::size_t i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (oddByte_ < 0) {
            oddByte_ = byte;
            continue;
        }
        const auto sample = static_cast<std::int16_t>(oddByte_ | byte << 8);
        oddByte_ = -1;
        Held& channel = held_[nextChannel_];
        channel.pendingPeak = std::max(channel.pendingPeak, std::abs(int(sample)));
        nextChannel_ = (nextChannel_ + 1) % held_.size();
        if (nextChannel_ == 0) ++frames_;
    }
}

const std::vector<ChannelLevel>& LevelMeter::Read() {
    if (frames_ == framesAtRead_) return levels_;
    const double fallen = kLevelFallDbPerSecond * double(frames_ - framesAtRead_) / samplesPerSec_;
    const auto holdFrames = static_cast<std::int64_t>(kLevelHoldSeconds * samplesPerSec_);
    const auto clipFrames = static_cast<std::int64_t>(kClipMarkSeconds * samplesPerSec_);
    for (std::size_t c = 0; c < levels_.size(); ++c) {
        ChannelLevel& level = levels_[c];
        Held& held = held_[c];
        const double heard = SampleDb(held.pendingPeak);
        level.peakDb = std::max(heard, level.peakDb - fallen);
        if (level.peakDb >= level.holdDb || frames_ - held.holdSince >= holdFrames) {
            level.holdDb = level.peakDb;
            held.holdSince = frames_;
        }
        if (heard >= kClipDb) held.clipUntil = frames_ + clipFrames;
        level.clipped = frames_ < held.clipUntil;
        held.pendingPeak = 0;
    }
    framesAtRead_ = frames_;
    return levels_;
}

}  // namespace tembrel
