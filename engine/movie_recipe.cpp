#include "engine/movie_recipe.h"

namespace tembrel {

SoundMovieRecipe RecipeFor(const ConversionSettings& settings) {
    SoundMovieRecipe recipe;
    recipe.version = settings.MovieVersion;
    recipe.width = settings.MovieWidth;
    recipe.height = settings.MovieHeight;
    recipe.background = settings.SWFBkgColor;
    recipe.frameRate = settings.SWFFrameRate;
    recipe.blankFrames = settings.BlankFrames;
    recipe.withControls = settings.CreateCtrlSWF != 0;
    recipe.initPlay = settings.SWFInitPlay != 0;
    recipe.loopPlay = settings.SWFLoopPlay != 0;
    recipe.encodedSampleCount = settings.EncodedSampleCount;
    recipe.durationSeconds = settings.DurationSeconds;
    recipe.startPlay = settings.StartPlayActions;
    recipe.startStop = settings.StartStopActions;
    recipe.endLoop = settings.EndLoopActions;
    recipe.endStop = settings.EndStopActions;
    return recipe;
}

}  // namespace tembrel
