#pragma once
// Which decoder opens a source: the AU reader alone for ".au"/".snd"; for
// every other type the decoding library first, then the program's own WAV
// or AIFF reader as a fallback.
#include <memory>
#include <string>

#include "audio/audio_source.h"

namespace tembrel {

// The opened source, or null when no decoder accepts the file. rate is the
// rate tracker music is rendered at (0 when a file is only probed); the
// fallback readers are always opened with 0.
std::unique_ptr<AudioSource> OpenSourceForType(int typeCode, const std::string& path, int rate);

}  // namespace tembrel
