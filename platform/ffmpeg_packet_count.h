#pragma once
// The length of an audio stream counted from its packets alone: the
// container's sample tables and durations, the frame headers and the
// encoder delay and padding the demuxer marks for the decoder to drop, with
// nothing decoded.
#include <cstdint>
#include <optional>
#include <string>

extern "C" {
#include <libavformat/avformat.h>
}

namespace tembrel::decoding {

// Samples per channel that FFmpeg's decoder delivers for `stream` (of the
// already analysed file at `path`). Nothing when its codec is not one whose
// output follows from the packets, or the stream changes format part-way, or
// the file cannot be read again: then only decoding can tell.
std::optional<std::int64_t> CountSamplesFromPackets(const std::string& path, const AVStream& stream);

}  // namespace tembrel::decoding
