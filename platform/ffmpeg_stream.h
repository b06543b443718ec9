#pragma once
// A decoding stream on FFmpeg: demuxes one audio stream of a sound file,
// decodes it and converts it to interleaved signed 16-bit samples at the rate
// and channel count of the first decoded frame, as FFmpeg's own command-line
// tool does.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/decoding_channel.h"

namespace tembrel::decoding {

// Null when the file is not a regular file, FFmpeg cannot open it as audio,
// it is a tracker module (music has its own channel kind), or its format is
// unusable; then *reason says why.
std::unique_ptr<DecodingChannel> OpenFfmpegStream(const std::string& path, std::string* reason);

// Frames FFmpeg's decoders have handed to the streams of this process.
std::uint64_t FfmpegFramesDecoded();

}  // namespace tembrel::decoding
