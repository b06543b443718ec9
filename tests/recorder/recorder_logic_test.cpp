// The recorder's tables and texts: presets with their fallback, the buttons
// each state allows, the status clock, the volume slider's arithmetic and the
// level meter's readings.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "recorder/level_meter.h"

#include "recorder/recorder_state.h"
#include "recorder/recorder_texts.h"
#include "recorder/recording_quality.h"

namespace tembrel {
namespace {

TEST(RecordingQuality, PresetsDescribeTheirFormatAndUnknownCodesFallBackToMediumMono) {
    int code = 100;
    for (const RecordingQuality& q : RecordingQualities()) {
        EXPECT_EQ(q.code, code);
        code += 100;
        // A buffer holds a little over one second of sound.
        EXPECT_GT(q.bufferBytes, q.AvgBytesPerSec()) << q.text;
        EXPECT_LT(q.bufferBytes, q.AvgBytesPerSec() * 21 / 20) << q.text;
        EXPECT_EQ(&RecordingQualityFor(q.code), &q);
    }
    const RecordingQuality& high = RecordingQualityFor(600);
    EXPECT_STREQ(high.text, "High quality [Stereo]");
    EXPECT_EQ(high.AvgBytesPerSec(), 176400);
    for (int unknown : {0, 150, 700, -300}) {
        EXPECT_STREQ(RecordingQualityFor(unknown).text, "Medium quality [Mono]");
        EXPECT_EQ(RecordingQualityFor(unknown).code, 300);
        EXPECT_FALSE(IsRecordingQuality(unknown));
    }
}

TEST(RecorderButtons, EachStateAllowsWhatItShould) {
    auto flags = [](RecorderButtons b) {
        return std::string(b.playPauseText) + " " + std::to_string(b.record) + std::to_string(b.stopRecording) +
               std::to_string(b.playPause) + std::to_string(b.stop) + std::to_string(b.quality) +
               std::to_string(b.saveAndConvert);
    };
    EXPECT_EQ(flags(ButtonsFor(RecorderState::Idle, 0)), "&Play 100010");
    EXPECT_EQ(flags(ButtonsFor(RecorderState::Idle, 3)), "&Play 101011");
    EXPECT_EQ(flags(ButtonsFor(RecorderState::Recording, 3)), "&Play 010000");
    EXPECT_EQ(flags(ButtonsFor(RecorderState::Playing, 3)), "&Pause 101111");
    EXPECT_EQ(flags(ButtonsFor(RecorderState::Paused, 3)), "&Play 101111");
}

TEST(RecorderTexts, StatusClockAndVolumeArithmetic) {
    EXPECT_EQ(RecordingStatus(75), "Recording...  01:15");
    EXPECT_EQ(ReadyStatus(0), "Ready.  Length: 00:00");
    EXPECT_EQ(PlayingStatus(9, 3600 + 61), "Playing...  00:09 / 61:01");
    EXPECT_EQ(PausedStatus(59, 60), "Paused  00:59 / 01:00");
    EXPECT_EQ(VolumeForSliderPosition(0), 0xFFFF);
    EXPECT_EQ(VolumeForSliderPosition(2048), 0xFFFF - 8192);
    EXPECT_EQ(VolumeForSliderPosition(kVolumeSliderMax), 0);  // 65536 clamps to 0xFFFF
    EXPECT_EQ(SliderPositionForVolume(0xFFFF), 0);
    EXPECT_EQ(SliderPositionForVolume(0), 16383);
    for (int position : {0, 4, 2048, 10000, 16383})
        EXPECT_EQ(SliderPositionForVolume(VolumeForSliderPosition(position)), position);
}

// Frames of interleaved 16-bit little-endian samples, as the input hands them over.
std::string Frames(const std::vector<std::int16_t>& samples) {
    std::string bytes;
    for (std::int16_t s : samples) {
        bytes.push_back(static_cast<char>(s & 0xFF));
        bytes.push_back(static_cast<char>((s >> 8) & 0xFF));
    }
    return bytes;
}

TEST(LevelMeter, PeaksPerChannelFallBackHoldAndMarkClipping) {
    EXPECT_NEAR(SampleDb(8192), -12.04, 0.01);
    EXPECT_EQ(SampleDb(0), kLevelFloorDb);
    EXPECT_EQ(SampleDb(32768), 0.0);
    // Times are of the sound: at 1000 frames a second, a frame is a millisecond.
    const auto silence = [](int frames, int channels) {
        return Frames(std::vector<std::int16_t>(std::size_t(frames * channels), 100));
    };

    LevelMeter meter;
    meter.Reset(2, 1000);
    // Left at a quarter of full scale, right at an eighth, split mid-sample.
    const std::string loud = Frames({8192, -4096, -8000, 4000, 100, 4096});
    meter.Feed(loud.data(), 3);
    meter.Feed(loud.data() + 3, loud.size() - 3);
    std::vector<ChannelLevel> levels = meter.Read();
    ASSERT_EQ(levels.size(), 2u);
    EXPECT_NEAR(levels[0].peakDb, -12.04, 0.01);
    EXPECT_NEAR(levels[1].peakDb, -18.06, 0.01);
    EXPECT_EQ(levels[0].holdDb, levels[0].peakDb);
    EXPECT_FALSE(levels[0].clipped || levels[1].clipped);

    // Nothing new: the reading stands.
    EXPECT_EQ(meter.Read()[0].peakDb, levels[0].peakDb);
    // Half a second of quiet: the reading falls 10 dB, the hold stays.
    std::string quiet = silence(500, 2);
    meter.Feed(quiet.data(), quiet.size());
    levels = meter.Read();
    EXPECT_NEAR(levels[0].peakDb, -22.04, 0.01);
    EXPECT_NEAR(levels[0].holdDb, -12.04, 0.01);
    // Past the hold time the hold follows the reading down.
    quiet = silence(1100, 2);
    meter.Feed(quiet.data(), quiet.size());
    levels = meter.Read();
    EXPECT_NEAR(levels[0].peakDb, -44.04, 0.01);
    EXPECT_EQ(levels[0].holdDb, levels[0].peakDb);

    // Full scale, or within 0.1 dB of it, is clipping; 0.2 dB below is not.
    // The mark outlasts the clipped sound by its time, then goes.
    const int markFrames = int(kClipMarkSeconds * 1000);
    for (std::int16_t sample : {std::int16_t(-32768), std::int16_t(32500)}) {
        meter.Reset(1, 1000);
        const std::string clipped = Frames({1000, sample, 1000});
        meter.Feed(clipped.data(), clipped.size());
        levels = meter.Read();
        ASSERT_EQ(levels.size(), 1u);
        EXPECT_TRUE(levels[0].clipped) << sample;
        EXPECT_GE(levels[0].peakDb, kClipDb);
        quiet = silence(markFrames - 1, 1);
        meter.Feed(quiet.data(), quiet.size());
        EXPECT_TRUE(meter.Read()[0].clipped);
        meter.Feed(quiet.data(), 2);
        EXPECT_FALSE(meter.Read()[0].clipped);
    }
    meter.Reset(1, 1000);
    const std::string nearly = Frames({32000});
    meter.Feed(nearly.data(), nearly.size());
    EXPECT_FALSE(meter.Read()[0].clipped);
    meter.Reset(1, 1000);
    EXPECT_EQ(meter.Read()[0].peakDb, kLevelFloorDb);
}

}  // namespace
}  // namespace tembrel
