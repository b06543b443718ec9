#pragma once
// The three ways a converted MP3 becomes SWF output: a streaming-sound movie
// (with the template's controls or without any), a 1 x 1 sound movie plus
// the recoloured template saved as its shell player, and an event-sound
// movie. Each builder writes whole files and, when it fails, removes what it
// wrote.
#include <cstdint>
#include <string>

#include "swf/sound_movie_recipe.h"
#include "swf/swf_template.h"

namespace tembrel {

// What a build came to: the output complete, or why it is not (the first
// thing that went wrong).
struct BuildResult {
    bool built = false;
    std::string reason;
    explicit operator bool() const { return built; }
};

// Common form of the builders: the movie's recipe, the MP3 to read and the
// files to write, and the loaded template.
using SwfBuilder = BuildResult (*)(const SoundMovieRecipe& recipe, const SoundMovieFiles& files, SwfTemplate& tmpl);

// Streaming movies keep to about 16000 frames: above that the rate drops to
// 16000 / duration (at least 1).
int EffectiveFrameRate(std::uint32_t durationSeconds, std::int32_t frameRate);
int EffectiveFrameRate(const SoundMovieRecipe& recipe);

// Background, stream head, start actions and (with CreateCtrlSWF) the
// template's first-frame tags; blankFrames empty frames; one frame per
// SoundStreamBlock; a last frame with the end actions. The start block goes
// out with the effective frame rate at its patch place.
BuildResult BuildStreamingSwf(const SoundMovieRecipe& recipe, const SoundMovieFiles& files, SwfTemplate& tmpl);

// A 1 x 1 movie of background, stream head, blankFrames empty frames and the
// blocks; no actions, no template tags.
BuildResult BuildSoundOnlySwf(const SoundMovieRecipe& recipe, const std::string& swfPath, const std::string& mp3Path);

// BuildSoundOnlySwf at the SWF path, then the template saved as the player;
// the sound SWF is removed again when the player cannot be saved.
BuildResult BuildShellPlayerPair(const SoundMovieRecipe& recipe, const SoundMovieFiles& files, SwfTemplate& tmpl);

// Version 6 movie at the chosen frame rate with the MP3 as one DefineSound
// and a StartSound (looping with loopPlay); without initPlay the start-stop
// actions hold it in frame 1. The template itself is not used.
BuildResult BuildEventSoundSwf(const SoundMovieRecipe& recipe, const SoundMovieFiles& files, SwfTemplate& tmpl);

}  // namespace tembrel
