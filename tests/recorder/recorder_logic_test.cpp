// The recorder's tables and texts: presets with their fallback, the buttons
// each state allows, the status clock and the volume slider's arithmetic.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tembrel
