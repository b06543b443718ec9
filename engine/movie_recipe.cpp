#include "engine/movie_recipe.h"

namespace tembrel {

SoundMovieRecipe RecipeFor(const ConversionSettings& settings, const PreparedMovie& movie,
                           const EncodedSound& sound) {
    SoundMovieRecipe recipe;
    recipe.version = movie.version;
    recipe.width = movie.width;
    recipe.height = movie.height;
    recipe.background = settings.SWFBkgColor;
    recipe.frameRate = settings.SWFFrameRate;
    recipe.blankFrames = settings.BlankFrames;
    recipe.withControls = settings.CreateCtrlSWF != 0;
    recipe.initPlay = settings.SWFInitPlay != 0;
    recipe.loopPlay = settings.SWFLoopPlay != 0;
    recipe.encodedSampleCount = sound.sampleCount;
    recipe.durationSeconds = sound.durationSeconds;
    recipe.startPlay = movie.startPlay;
    recipe.startStop = movie.startStop;
    recipe.endLoop = movie.endLoop;
    recipe.endStop = movie.endStop;
    return recipe;
}

}  // namespace tembrel
