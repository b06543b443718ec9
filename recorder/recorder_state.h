#pragma once
// The recorder's states and what each lets the user press.

namespace tembrel {

enum class RecorderState { Idle = 0, Recording = 100, Playing = 200, Paused = 300 };

struct RecorderButtons {
    const char* playPauseText;  // "&Play" or "&Pause"
    bool record;
    bool stopRecording;
    bool playPause;
    bool stop;
    bool quality;
    bool saveAndConvert;        // Save As and Convert to SWF
};

// lengthSeconds > 0 when a recording exists.
RecorderButtons ButtonsFor(RecorderState state, int lengthSeconds);

}  // namespace tembrel
