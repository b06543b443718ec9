#pragma once
// The recipe a sound-SWF builder works from: the options that shape the
// movie, what the run took from its template and what encoding the file came
// to.
#include "engine/conversion_settings.h"
#include "engine/run_results.h"
#include "swf/sound_movie_recipe.h"

namespace tembrel {

SoundMovieRecipe RecipeFor(const ConversionSettings& settings, const PreparedMovie& movie,
                           const EncodedSound& sound);

}  // namespace tembrel
