#pragma once
// The ActionScript of the players, assembled to AVM1 bytes (ActionEnd
// included). A single player drives its own timeline ("_root", sound from
// frame 2); a shell player drives the sound SWF it loads into "_level1".
#include <cstdint>

#include "swf/swf_records.h"

namespace tembrel {

// Where a track bar lies on the stage, in pixels.
struct TrackGeometry {
    int x0;      // left end of the groove
    int width;   // groove length
    int knobX0;  // knob _x at the start
};

// The four blocks of frames 3..6 of a single player or empty.swf. Both
// start blocks hold `fps = 12` as Push(pool[2], int 12) + SetVariable, the
// place where the builder writes the movie's frame rate.
ByteBuffer StartActions(bool play);
ByteBuffer EndActions(bool loop);
// The same slots of a shell player, which never reaches them: they only
// record the option in a variable (and carry the frame-rate place too).
ByteBuffer ShellStartActions(bool play);
ByteBuffer ShellEndActions(bool loop);

// Frame-1 actions of a template. The builders drop them: they only hold a
// template shown on its own (options preview) at its controls.
ByteBuffer PreviewActions();
// Frame 1 of a shell player: stops its own timeline, loads `soundswf` into
// level 1 and keeps it at its first frame when `autoplay` is 0.
ByteBuffer ShellLoaderActions();

// Button actions.
ByteBuffer PlayButtonActions(bool shell);
ByteBuffer StopButtonActions(bool shell);
ByteBuffer ToggleButtonActions();
ByteBuffer SeekButtonActions(bool shell, const TrackGeometry& track);

// Runs every frame inside the display sprite: moves the progress fill and
// knob, shows elapsed and total m:ss on the digit sprites e0..e2, t0..t2,
// and (shell) holds or rewinds the sound SWF as autoplay and loops say.
ByteBuffer DisplayUpdateActions(bool shell, const TrackGeometry* track, bool withTime);

// frame 1 of a digit sprite
ByteBuffer StopActions();

}  // namespace tembrel
