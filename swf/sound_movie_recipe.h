#pragma once
// Everything a sound-SWF builder needs to know about the movie it writes,
// gathered once per file by the conversion run. Builders only read it.
#include <cstdint>
#include <string>

#include "swf/action_block.h"
#include "swf/colour_ref.h"

namespace tembrel {

struct SoundMovieRecipe {
    std::int32_t version = 0;  // SWF version of the streaming movies (the template's)
    std::int32_t width = 0;    // stage size in pixels
    std::int32_t height = 0;
    ColourRef background = 0xFFFFFF;
    std::int32_t frameRate = 12;  // as chosen; streaming movies may lower it
    std::int32_t blankFrames = 0;  // empty frames before the sound
    bool withControls = false;     // the template's first frame goes into the streaming movie
    bool initPlay = true;          // starts playing at once
    bool loopPlay = false;
    std::uint32_t encodedSampleCount = 0;  // of the encoded MP3
    std::uint32_t durationSeconds = 0;
    // The template's DoAction tags. The start block chosen by initPlay may
    // carry a frame-rate patch place; builders patch their own copy.
    ActionBlock startPlay;
    ActionBlock startStop;
    ActionBlock endLoop;
    ActionBlock endStop;
};

// Where a builder reads the sound and writes its files.
struct SoundMovieFiles {
    std::string mp3Path;
    std::string swfPath;
    std::string playerPath;  // the shell player; only the pair builder writes it
};

}  // namespace tembrel
