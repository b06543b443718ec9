#pragma once
// The recorder's status line and the volume slider's arithmetic.
#include <string>

namespace tembrel {

std::string RecordingStatus(int elapsedSeconds);
std::string ReadyStatus(int lengthSeconds);
std::string PlayingStatus(int playedSeconds, int lengthSeconds);
std::string PausedStatus(int playedSeconds, int lengthSeconds);

// The volume slider runs 0 (top, loudest) .. 16384 (silent). The device
// volume is 16 bits per channel, 0xFFFF the loudest.
inline constexpr int kVolumeSliderMax = 16384;
inline constexpr int kVolumeSliderStep = 2048;
int VolumeForSliderPosition(int position);
int SliderPositionForVolume(int volume);

}  // namespace tembrel
