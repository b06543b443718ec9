#include "recorder/recorder_state.h"

namespace tembrel {

RecorderButtons ButtonsFor(RecorderState state, int lengthSeconds) {
    const bool recorded = lengthSeconds > 0;
    switch (state) {
        case RecorderState::Recording: return {"&Play", false, true, false, false, false, false};
        case RecorderState::Playing: return {"&Pause", true, false, true, true, true, true};
        case RecorderState::Paused: return {"&Play", true, false, true, true, true, true};
        case RecorderState::Idle: break;
    }
    return {"&Play", true, false, recorded, false, true, recorded};
}

}  // namespace tembrel
