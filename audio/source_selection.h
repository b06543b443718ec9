#pragma once
// Picks and opens the reader for a source file by its type code: AU/SND only
// through the AU reader; everything else through the decoding library first,
// with the program's own WAV or AIFF reader as the fallback for those types.
#include <memory>
#include <string>

#include "audio/audio_source.h"

namespace tembrel {

// rate: 0 when a file is only probed, the wanted rate when it is converted
// (the rate tracker music is rendered at). Returns the opened source, or
// null when the file is rejected, with the reason in *reason when given.
std::unique_ptr<AudioSource> OpenAudioSource(const std::string& path, int typeCode, int rate,
                                             std::string* reason = nullptr);

}  // namespace tembrel
