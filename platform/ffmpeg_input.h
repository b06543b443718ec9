#pragma once
// A sound file opened for FFmpeg's demuxers: read through a descriptor we
// opened and checked ourselves, with only the containers and the file
// protocol we allow. The header is read; nothing is decoded.
#include <string>

extern "C" {
#include <libavformat/avformat.h>
}

namespace tembrel::decoding {

class FfmpegInput {
public:
    FfmpegInput() = default;
    ~FfmpegInput();
    FfmpegInput(const FfmpegInput&) = delete;
    FfmpegInput& operator=(const FfmpegInput&) = delete;

    // False when the file is not a regular file or no allowed demuxer takes
    // it; *reason then says why (empty: FFmpeg does not take the file).
    bool Open(const std::string& path, std::string* reason);

    AVFormatContext* Format() const { return format_; }
    AVIOContext* Io() const { return io_; }

private:
    int fd_ = -1;
    AVIOContext* io_ = nullptr;  // ours: FFmpeg does not free a custom context
    AVFormatContext* format_ = nullptr;
};

}  // namespace tembrel::decoding
