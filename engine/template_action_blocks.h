#pragma once
// The four DoAction tags a template carries in frames 3 to 6, and the place
// in a timing template's start actions where the frame rate goes.
#include <string_view>

#include "swf/action_block.h"
#include "swf/swf_template.h"

namespace tembrel {

// Clears the four blocks, then walks the template's tag list (as the last
// ScanAndRecolour built it) counting frames: the DoAction tags of frames
// 3, 4, 5 and 6 go to startPlay, startStop, endLoop and endStop (a later
// DoAction in the same frame wins). True only when all four hold a tag.
bool ExtractActionBlocks(SwfTemplate& tmpl, ActionBlock& startPlay, ActionBlock& startStop, ActionBlock& endLoop,
                         ActionBlock& endStop);

// A template whose full path contains "time" in any letter case carries the
// frame-rate constant in its start actions.
bool IsTimingTemplatePath(std::string_view path);

// Finds the first Push of (constant 2, integer 12) followed by SetVariable
// in the block and marks the integer as its patch location. False, with no
// patch location, when the block does not hold it.
bool LocateFrameRatePatch(ActionBlock& block);

}  // namespace tembrel
