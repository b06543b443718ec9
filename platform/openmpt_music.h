#pragma once
// Tracker music on libopenmpt, rendered once through in interleaved stereo
// signed 16-bit samples at a chosen rate.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/decoding_channel.h"

namespace tembrel::decoding {

// Null when the file is not a module libopenmpt loads or the rate is outside
// what it renders (8000..192000). *reason says why, except for a readable
// file that is simply no module (left empty). Rendering is undithered, so
// the same module gives the same samples every time.
std::unique_ptr<DecodingChannel> OpenOpenmptMusic(const std::string& path, std::uint32_t rate,
                                                  std::string* reason);

}  // namespace tembrel::decoding
