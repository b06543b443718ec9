#include "recorder/recorder_texts.h"

#include <algorithm>
#include <cstdio>

namespace tembrel {

namespace {

std::string Clock(const char* format, int first, int second = 0) {
    first = std::max(first, 0);
    second = std::max(second, 0);
    char text[64];
    std::snprintf(text, sizeof text, format, first / 60, first % 60, second / 60, second % 60);
    return text;
}

}  // namespace

std::string RecordingStatus(int elapsedSeconds) { return Clock("Recording...  %02d:%02d", elapsedSeconds); }

std::string ReadyStatus(int lengthSeconds) { return Clock("Ready.  Length: %02d:%02d", lengthSeconds); }

std::string PlayingStatus(int playedSeconds, int lengthSeconds) {
    return Clock("Playing...  %02d:%02d / %02d:%02d", playedSeconds, lengthSeconds);
}

std::string PausedStatus(int playedSeconds, int lengthSeconds) {
    return Clock("Paused  %02d:%02d / %02d:%02d", playedSeconds, lengthSeconds);
}

int VolumeForSliderPosition(int position) {
    const int scaled = std::min(std::max(position, 0) * 4, 0xFFFF);
    return 0xFFFF - scaled;
}

int SliderPositionForVolume(int volume) {
    // Bits 2..15 of the volume, inverted within 14 bits.
    return 16383 - ((volume & 0xFFFF) / 4);
}

}  // namespace tembrel
