#pragma once
// A decoding stream on FFmpeg: demuxes one audio stream of a sound file,
// decodes it and converts it to interleaved signed 16-bit samples at the rate
// and channel count of the first decoded frame, as FFmpeg's own command-line
// tool does.
#include <memory>
#include <string>

#include "platform/decoding_channel.h"

namespace tembrel::decoding {

// Null when FFmpeg cannot open the file as audio, the file is a tracker
// module (music has its own channel kind), or its format is unusable.
std::unique_ptr<DecodingChannel> OpenFfmpegStream(const std::string& path);

}  // namespace tembrel::decoding
