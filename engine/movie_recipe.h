#pragma once
// The recipe a sound-SWF builder works from, taken from the settings: the
// options that shape the movie, the template's results of this run and the
// encoded file's results.
#include "engine/conversion_settings.h"
#include "swf/sound_movie_recipe.h"

namespace tembrel {

SoundMovieRecipe RecipeFor(const ConversionSettings& settings);

}  // namespace tembrel
