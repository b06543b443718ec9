#pragma once
// One open channel of the decoding library. Implementations decode a stream
// (FFmpeg) or render music (libopenmpt) into interleaved signed 16-bit
// samples.
#include <cstdint>

namespace tembrel::decoding {

class DecodingChannel {
public:
    virtual ~DecodingChannel() = default;

    virtual bool IsMusic() const = 0;
    virtual std::uint32_t Rate() const = 0;
    virtual std::uint32_t Channels() const = 0;
    // Bytes of output, all channels.
    virtual std::uint64_t LengthBytes() const = 0;
    // Size of the source file; all ones when there is none to report.
    virtual std::uint64_t FileBytes() const = 0;
    // Writes up to `bytes` bytes rounded down to whole frames; returns the
    // count, or -1 when nothing is left.
    virtual std::int64_t Read(void* buffer, std::uint32_t bytes) = 0;

    std::uint64_t Position() const { return position_; }

protected:
    std::uint64_t position_ = 0;  // bytes delivered
};

}  // namespace tembrel::decoding
