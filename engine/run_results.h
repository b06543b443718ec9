#pragma once
// What a run and each of its files come to, kept apart from the options
// that shaped them: the settings record holds only what is stored.
#include <cstdint>

#include "swf/action_block.h"

namespace tembrel {

// What a run takes from its template, once, before the first file: the
// movie's stage and SWF version and the template's four action blocks.
struct PreparedMovie {
    std::int32_t width = 0;  // stage size in pixels
    std::int32_t height = 0;
    std::int32_t version = 0;
    ActionBlock startPlay;  // first-frame actions that start playing
    ActionBlock startStop;  // ... that hold the movie
    ActionBlock endLoop;    // last-frame actions that loop
    ActionBlock endStop;
};

// What encoding one file came to.
struct EncodedSound {
    std::uint32_t sampleCount = 0;      // samples per channel at the output rate
    std::uint32_t durationSeconds = 0;  // whole seconds
};

}  // namespace tembrel
